// Runs inside an installed Winamp folder (HB_WINAMP) against a local copy of the web site
// (HB_SITE): the installed plug-in, loaded by the stand-in host, starts the installed checker,
// which shows its dialog over the host window when the site advertises a newer plug-in.
// install_test.sh runs each suite at its own step; RunningPlayer and ConfigureNow run the
// installer (HB_SETUP) themselves.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "resource.h"
#include "standin_host.h"
#include "test_files.h"

namespace {

// Wide throughout: install folders may hold characters outside the ANSI code page.
std::wstring Env(const wchar_t* name) { return _wgetenv(name) != nullptr ? _wgetenv(name) : L""; }

// The stand-in host takes 8-bit paths.
std::string Ansi(const std::wstring& text) {
  char value[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, value, sizeof value - 1, nullptr, nullptr);
  return value;
}

const struct Installed {
  std::wstring Winamp = Env(L"HB_WINAMP"), Site = Env(L"HB_SITE"), Setup = Env(L"HB_SETUP");
  std::wstring Plugin() const { return Winamp + L"\\Plugins\\gen_hushbell.dll"; }
  std::wstring UpdaterIni() const { return Winamp + L"\\Plugins\\gen_hushbell.ini"; }
} installed;

// Points the installed checker at one of the local sites and forgets the last check.
void UseSite(const std::wstring& path) {
  std::wstring homepage = installed.Site + path;
  WritePrivateProfileStringW(L"Update", L"homepage", homepage.c_str(), installed.UpdaterIni().c_str());
  WritePrivateProfileStringW(L"LastCheck", nullptr, nullptr, installed.UpdaterIni().c_str());
}

HWND FindUpdateDialog() { return FindWindowA("#32770", "Automatic Update Check"); }

bool LastCheckWritten() {
  return GetPrivateProfileIntW(L"LastCheck", L"hi", 0, installed.UpdaterIni().c_str()) != 0;
}

// Runs a command line to its end and returns its exit code; a window that `dialog` finds
// meanwhile is closed with `button` and reported in `seen`.
DWORD RunToEnd(std::wstring command, HWND (*dialog)() = nullptr, WPARAM button = IDCANCEL,
               bool* seen = nullptr) {
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return 0xDEAD;
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
    HWND found = dialog != nullptr ? dialog() : nullptr;
    if (found == nullptr) continue;
    if (seen != nullptr) *seen = true;
    PostMessageA(found, WM_COMMAND, button, 0);
  }
  DWORD exitCode = 0xDEAD;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

TEST(Installed, PluginStartsTheInstalledCheckerWhichShowsTheUpdateOverTheHost) {
  ASSERT_FALSE(installed.Winamp.empty());
  UseSite(L"/newer");
  const std::wstring settings = installed.Winamp + L"\\winamp.ini";
  WriteIniSettings(Utf8(settings), "Verlift=1 LockAction=0");

  ASSERT_TRUE(HostCreate(Ansi(settings).c_str()));
  ASSERT_NE(HostLoadPlugin(Ansi(installed.Plugin()).c_str()), nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);

  HWND dialog = nullptr;
  ASSERT_TRUE(HostPumpUntil([&] { return (dialog = FindUpdateDialog()) != nullptr; }, 20000))
      << "no update dialog appeared";
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), HostWindowHandle());
  EXPECT_FALSE(IsWindowEnabled(HostWindowHandle())) << "the dialog is modal to the player";
  EXPECT_TRUE(LastCheckWritten());

  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // Later
  EXPECT_TRUE(HostPumpUntil([dialog] { return !IsWindow(dialog); }, 10000));
  HostStop();
}

// Also run on an install whose folder the ANSI code page cannot hold: the checker must find the
// installed plug-in's version, or it offers the update whatever the site advertises.
TEST(Installed, ForcedCheckAgainstTheBuiltVersionShowsNothing) {
  UseSite(L"/equal");
  bool dialogSeen = false;
  EXPECT_EQ(RunToEnd(L"\"" + installed.Winamp.substr(0, 2) +
                         L"\\Program Files\\Brennick\\Verlift\\Verlift.exe\" \"" + installed.UpdaterIni() +
                         L"\" /FORCE",
                     FindUpdateDialog, IDCANCEL, &dialogSeen),
            0u);
  EXPECT_FALSE(dialogSeen);
  EXPECT_TRUE(LastCheckWritten());
}

// Setup and uninstaller started while the player's main window is open: 2, "aborted by the script".
TEST(RunningPlayer, SetupAndUninstallerEndWithAnErrorAndTouchNothing) {
  ASSERT_FALSE(installed.Setup.empty());
  ASSERT_TRUE(HostCreate(nullptr));
  EXPECT_EQ(RunToEnd(L"\"" + installed.Setup + L"\" /S /D=" + installed.Winamp), 2u);
  EXPECT_EQ(RunToEnd(L"\"" + installed.Winamp + L"\\uninstall-hushbell.exe\" /S _?=" + installed.Winamp), 2u);
  HostDestroy();
}

// The window of an interactive setup to send IDOK: the plug-in's dialog that "Configure now"
// opens, else the wizard once its page is shown and Next, Install or Finish can be pressed, with
// HB_WINAMP typed into the folder page. Before Finish the installed plug-in is overwritten, as
// any process of the user could do in a portable player's folder: the dialog must come from the
// installer's own copy.
HWND SetupStep() {
  constexpr int FolderEdit = 1019;  // NSIS's folder page
  HWND wizard = nullptr;
  for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr;) {
    if (GetDlgItem(window, IDC_LOCK_ACTION) != nullptr) return window;
    HWND next = GetDlgItem(window, IDOK);
    if (next != nullptr && IsWindowEnabled(window) && IsWindowEnabled(next)) wizard = window;
  }
  HWND page = wizard != nullptr ? FindWindowExA(wizard, nullptr, "#32770", nullptr) : nullptr;
  if (page == nullptr || !IsWindowVisible(page)) return nullptr;
  wchar_t folder[MAX_PATH] = {};
  if (GetDlgItemTextW(page, FolderEdit, folder, MAX_PATH) > 0 && installed.Winamp != folder) {
    SetDlgItemTextW(page, FolderEdit, installed.Winamp.c_str());
    return nullptr;  // Next at the next look
  }
  char text[32] = {};
  if (GetDlgItemTextA(wizard, IDOK, text, sizeof text) > 0 && strstr(text, "Finish") != nullptr)
    CopyFileW(installed.UpdaterIni().c_str(), installed.Plugin().c_str(), FALSE);
  return wizard;
}

// Setup clicked through into HB_WINAMP, chosen on the folder page over another one given with
// /D=, "Configure now" left ticked, OK in the plug-in's dialog: install_test.sh looks where the
// settings went.
TEST(ConfigureNow, FinishOpensThePluginsDialog) {
  ASSERT_FALSE(installed.Setup.empty());
  EXPECT_EQ(RunToEnd(L"\"" + installed.Setup + L"\" /D=" + installed.Winamp + L"-not", SetupStep, IDOK), 0u);
}

}  // namespace
