// Runs inside an installed Winamp folder (HB_WINAMP) against a local copy of the web site
// (HB_SITE): the installed plug-in, loaded by the stand-in host, starts the installed checker,
// which shows its dialog over the host window when the site advertises a newer plug-in.
// install_test.sh runs each suite at its own step; RunningPlayer and ConfigureNow run the
// installer (HB_SETUP) themselves.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>

#include "checker_registry.h"
#include "resource.h"
#include "version.h"
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
  std::wstring Checker() const {
    return Winamp.substr(0, 2) + L"\\Program Files\\Brennick\\Verlift\\Verlift.exe";
  }
} installed;

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

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

// A window to press a button in, and the button; null when there is none yet.
using Step = std::function<HWND(WPARAM& button)>;

// Prints the process's windows and their controls: what a driver that gave up was looking at.
void PrintWindowsOf(DWORD processId) {
  struct Print {
    static BOOL CALLBACK One(HWND window, LPARAM processId) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner != static_cast<DWORD>(processId)) return TRUE;
      char name[64] = {}, text[128] = {};
      GetClassNameA(window, name, sizeof name);
      GetWindowTextA(window, text, sizeof text);
      HWND parent = GetParent(window);
      printf("  %p parent %p id %d class %s text \"%s\"%s%s\n", static_cast<void*>(window),
             static_cast<void*>(parent), GetDlgCtrlID(window), name, text,
             IsWindowVisible(window) ? " visible" : "", IsWindowEnabled(window) ? " enabled" : "");
      if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) == 0) EnumChildWindows(window, One, processId);
      return TRUE;
    }
  };
  EnumWindows(Print::One, processId);
}

// Long enough for an interactive setup clicked through on a loaded machine.
constexpr DWORD RunBoundMs = 90000;

// Runs a command line to its end and returns its exit code; whatever window `step` finds
// meanwhile gets the button it names. A run that outlasts the bound fails with the windows it
// left open, and is ended.
DWORD RunToEnd(std::wstring command, const Step& step = nullptr) {
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return 0xDEAD;
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > RunBoundMs) {
      ADD_FAILURE() << Utf8(command) << " still running after " << RunBoundMs << " ms; its windows:";
      PrintWindowsOf(process.dwProcessId);
      fflush(stdout);
      TerminateProcess(process.hProcess, 0xDEAD);
      WaitForSingleObject(process.hProcess, INFINITE);
      break;
    }
    WPARAM button = IDCANCEL;
    HWND found = step ? step(button) : nullptr;
    if (found != nullptr) PostMessageA(found, WM_COMMAND, button, 0);
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
  // Setup wrote exactly the value the plug-in reads.
  wchar_t checker[MAX_PATH] = {};
  DWORD size = sizeof checker;
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, CheckerRegistryKey, CheckerRegistryValue, RRF_RT_REG_SZ, nullptr,
                         checker, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(checker, installed.Checker());

  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // Later
  EXPECT_TRUE(HostPumpUntil([dialog] { return !IsWindow(dialog); }, 10000));
  HostStop();
}

// Also run on an install whose folder the ANSI code page cannot hold: the checker must find the
// installed plug-in's version, or it offers the update whatever the site advertises.
TEST(Installed, ForcedCheckAgainstTheBuiltVersionShowsNothing) {
  UseSite(L"/equal");
  bool dialogSeen = false;
  EXPECT_EQ(RunToEnd(Quoted(installed.Checker()) + L" " + Quoted(installed.UpdaterIni()) + L" /FORCE",
                     [&](WPARAM&) {
                       HWND dialog = FindUpdateDialog();
                       dialogSeen = dialogSeen || dialog != nullptr;
                       return dialog;
                     }),
            0u);
  EXPECT_FALSE(dialogSeen);
  EXPECT_TRUE(LastCheckWritten());
}

std::wstring SilentSetup(const std::wstring& folder) { return Quoted(installed.Setup) + L" /S /D=" + folder; }

// Setup and uninstaller started while the player's main window is open: 2, "aborted by the script".
TEST(RunningPlayer, SetupAndUninstallerEndWithAnErrorAndTouchNothing) {
  ASSERT_FALSE(installed.Setup.empty());
  ASSERT_TRUE(HostCreate(nullptr));
  EXPECT_EQ(RunToEnd(SilentSetup(installed.Winamp)), 2u);
  EXPECT_EQ(RunToEnd(L"\"" + installed.Winamp + L"\\uninstall-hushbell.exe\" /S _?=" + installed.Winamp), 2u);
  HostDestroy();
}

// The window of an interactive setup to send IDOK: the plug-in's dialog that "Configure now"
// opens, else the wizard once its page is shown and Next, Install or Finish can be pressed, with
// HB_WINAMP typed into the folder page. Before Finish the installed plug-in is overwritten, as
// any process of the user could do in a portable player's folder: the dialog must come from the
// installer's own copy. Each page gets its button once: a second press posted before setup took
// the first would reach the wizard inside "Configure now" and run it again, over the plug-in it
// holds open.
bool overwriteBeforeFinish = false;
HWND pressedPage = nullptr;
// Every text the wizard showed, read from its controls as they were on screen.
std::set<std::string> wizardTexts;

BOOL CALLBACK CollectText(HWND control, LPARAM) {
  char text[512] = {};
  if (IsWindowVisible(control) && GetWindowTextA(control, text, sizeof text) > 0) wizardTexts.insert(text);
  return TRUE;
}

HWND SetupStep(WPARAM& button) {
  button = IDOK;
  constexpr int FolderEdit = 1019;  // NSIS's folder page
  HWND wizard = nullptr;
  for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr;) {
    if (GetDlgItem(window, IDC_LOCK_ACTION) != nullptr) return window;
    HWND next = GetDlgItem(window, IDOK);
    if (next != nullptr && IsWindowEnabled(window) && IsWindowEnabled(next)) wizard = window;
  }
  HWND page = wizard != nullptr ? FindWindowExA(wizard, nullptr, "#32770", nullptr) : nullptr;
  if (page == nullptr || !IsWindowVisible(page)) return nullptr;
  EnumChildWindows(wizard, CollectText, 0);
  // Setup leaves its progress page by itself: a press meant for it would land on the next page.
  if (page == pressedPage || FindWindowExA(page, nullptr, PROGRESS_CLASSA, nullptr) != nullptr) return nullptr;
  wchar_t folder[MAX_PATH] = {};
  if (GetDlgItemTextW(page, FolderEdit, folder, MAX_PATH) > 0 && installed.Winamp != folder) {
    SetDlgItemTextW(page, FolderEdit, installed.Winamp.c_str());
    return nullptr;  // Next at the next look
  }
  char text[32] = {};
  if (overwriteBeforeFinish && GetDlgItemTextA(wizard, IDOK, text, sizeof text) > 0 &&
      strstr(text, "Finish") != nullptr)
    CopyFileW(installed.UpdaterIni().c_str(), installed.Plugin().c_str(), FALSE);
  pressedPage = page;
  return wizard;
}

// Setup clicked through into HB_WINAMP, chosen on the folder page over another one given with
// /D=, "Configure now" left ticked, OK in the plug-in's dialog: install_test.sh looks where the
// settings went.
TEST(ConfigureNow, FinishOpensThePluginsDialog) {
  ASSERT_FALSE(installed.Setup.empty());
  overwriteBeforeFinish = true;
  wizardTexts.clear();
  EXPECT_EQ(RunToEnd(Quoted(installed.Setup) + L" /D=" + installed.Winamp + L"-not", SetupStep), 0u);
  overwriteBeforeFinish = false;
  // Under the buttons: the product and its version, never the packaging tool.
  const std::string version =
      std::to_string(HUSHBELL_VERSION_MAJOR) + "." + std::to_string(HUSHBELL_VERSION_MINOR) + "." +
      std::to_string(HUSHBELL_VERSION_PATCH) + "." + std::to_string(HUSHBELL_VERSION_BUILD);
  EXPECT_TRUE(wizardTexts.count("Tavo Hushbell " + version)) << "branding " << version;
  for (const std::string& text : wizardTexts) EXPECT_EQ(text.find("Nullsoft"), std::string::npos) << text;
}

// A new folder for a setup that must not happen: install_test.sh checks it never appears.
std::wstring FreshFolder() { return installed.Winamp + L"-fresh"; }

// The checker started and held before it runs any code, as during a check that shows no window.
struct HeldChecker {
  PROCESS_INFORMATION Process{};
  HeldChecker() {
    STARTUPINFOW startup{sizeof startup};
    std::wstring line = Quoted(installed.Checker());
    EXPECT_TRUE(CreateProcessW(installed.Checker().c_str(), line.data(), nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr, nullptr, &startup, &Process));
  }
  ~HeldChecker() {
    TerminateProcess(Process.hProcess, 0);
    WaitForSingleObject(Process.hProcess, INFINITE);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
  }
};

// A file setup would replace is in use: the checker (during a check, or its notice showing),
// or the plug-in loaded where no player window shows it (a player in another user's session).
// A silent setup ends with 2 before it writes anything; install_test.sh checks counts, entries
// and files.
TEST(FilesInUse, SilentSetupEndsWithTwoAndWritesNothing) {
  ASSERT_FALSE(installed.Setup.empty());
  {
    const HeldChecker checking;
    EXPECT_EQ(RunToEnd(SilentSetup(FreshFolder())), 2u) << "checker during a check";
  }
  UseSite(L"/newer");
  bool noticeSeen = false;
  const DWORD noticeEnd = RunToEnd(
      Quoted(installed.Checker()) + L" " + Quoted(installed.UpdaterIni()) + L" /FORCE", [&](WPARAM&) {
        HWND notice = FindUpdateDialog();
        if (notice != nullptr && !noticeSeen) {
          noticeSeen = true;
          EXPECT_EQ(RunToEnd(SilentSetup(FreshFolder())), 2u) << "checker showing its notice";
        }
        return notice;
      });
  EXPECT_EQ(noticeEnd, 0u);
  EXPECT_TRUE(noticeSeen);
  const HMODULE player = LoadLibraryW(installed.Plugin().c_str());
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(RunToEnd(SilentSetup(installed.Winamp)), 2u) << "plug-in loaded by another player";
  FreeLibrary(player);
}

// The finish page's "Configure now" box (its only check box), when it shows.
BOOL CALLBACK KeepCheckBox(HWND control, LPARAM found) {
  char type[16] = {};
  const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
  if (GetClassNameA(control, type, sizeof type) > 0 && lstrcmpiA(type, "Button") == 0 &&
      (style == BS_CHECKBOX || style == BS_AUTOCHECKBOX) && IsWindowVisible(control)) {
    *reinterpret_cast<HWND*>(found) = control;
    return FALSE;
  }
  return TRUE;
}

HWND FindConfigureNow() {
  HWND box = nullptr;
  for (HWND wizard = nullptr; box == nullptr && (wizard = FindWindowExA(nullptr, wizard, "#32770", nullptr));)
    EnumChildWindows(wizard, KeepCheckBox, reinterpret_cast<LPARAM>(&box));
  return box;
}

// Leaves "Configure now" on the finish page unticked: the settings are another test's matter.
void UntickConfigureNow() {
  HWND box = FindConfigureNow();
  if (box != nullptr) SendMessageA(box, BM_SETCHECK, BST_UNCHECKED, 0);
}

// Interactively the same Retry or Cancel as for a running player: Retry, once the plug-in is
// free, installs.
TEST(FilesInUse, RetryInstallsOnceTheFileIsFree) {
  HMODULE player = LoadLibraryW(installed.Plugin().c_str());
  ASSERT_NE(player, nullptr);
  bool retried = false;
  EXPECT_EQ(RunToEnd(Quoted(installed.Setup) + L" /D=" + installed.Winamp,
                     [&](WPARAM& button) {
                       for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", nullptr));) {
                         // The message box: Retry and Cancel, no OK as the wizard has.
                         if (GetDlgItem(box, IDRETRY) == nullptr || GetDlgItem(box, IDOK) != nullptr)
                           continue;
                         FreeLibrary(std::exchange(player, nullptr));
                         retried = true;
                         button = IDRETRY;
                         return box;
                       }
                       UntickConfigureNow();
                       return SetupStep(button);
                     }),
            0u);
  EXPECT_TRUE(retried);
  if (player != nullptr) FreeLibrary(player);
}

// The folder by another spelling (8.3, "..", another case) is the same install: setup ends well
// and install_test.sh finds one entry and one count.
TEST(OneFolder, OtherSpellingsAreTheSameInstall) {
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameW(installed.Winamp.c_str(), shortPath, MAX_PATH), 0u);
  ASSERT_NE(installed.Winamp, shortPath);
  const size_t last = installed.Winamp.rfind(L'\\');
  std::wstring other = installed.Winamp + L"\\..\\" + installed.Winamp.substr(last + 1) + L"\\";
  CharUpperW(other.data());
  for (const std::wstring& spelling : {std::wstring(shortPath), other}) {
    SCOPED_TRACE(Utf8(spelling));
    EXPECT_EQ(RunToEnd(SilentSetup(spelling)), 0u);
  }
}

BOOL CALLBACK AddIconImage(HMODULE from, LPCWSTR type, LPWSTR name, LONG_PTR images) {
  const HRSRC image = FindResourceW(from, name, type);
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(from, image)));
  reinterpret_cast<std::set<std::string>*>(images)->emplace(bytes, SizeofResource(from, image));
  return TRUE;
}

// The bytes of each icon image in a program's file.
std::set<std::string> IconImages(const std::wstring& path) {
  std::set<std::string> images;
  const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EnumResourceNamesW(module, reinterpret_cast<LPCWSTR>(RT_ICON), AddIconImage,
                     reinterpret_cast<LONG_PTR>(&images));
  if (module != nullptr) FreeLibrary(module);
  return images;
}

std::wstring EntryText(const std::wstring& key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
  return value;
}

// KiB of a file, rounded up; 0 when it is missing.
DWORD KibOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (data.nFileSizeLow + 1023) / 1024;
}

// The uninstall entry (HB_ENTRY, under HKLM) as Windows' list of programs and management tools
// use it, and setup's own icon: the product's, the checker's images.
TEST(UninstallEntry, ListsTheProductAsWindowsShowsIt) {
  const std::wstring key = Env(L"HB_ENTRY");
  const std::set<std::string> product = IconImages(installed.Checker());
  ASSERT_FALSE(product.empty());
  EXPECT_EQ(IconImages(installed.Setup), product) << "setup's icon";

  std::wstring icon = EntryText(key, L"DisplayIcon");
  icon = icon.substr(0, icon.rfind(L','));
  EXPECT_EQ(IconImages(icon), product) << Utf8(icon);

  DWORD size = 0, bytes = sizeof size;
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"EstimatedSize", RRF_RT_REG_DWORD, nullptr, &size,
                         &bytes),
            ERROR_SUCCESS);
  // This folder's files and the shared checker once, each rounded up.
  const DWORD expected = KibOf(installed.Plugin()) + KibOf(installed.UpdaterIni()) +
                         KibOf(installed.Winamp + L"\\uninstall-hushbell.exe") + KibOf(installed.Checker());
  EXPECT_GT(size, 0u);
  EXPECT_EQ(size, expected);

  EXPECT_EQ(EntryText(key, L"URLInfoAbout").rfind(L"https://", 0), 0u);

  // The quiet command as a management tool runs it: the entry goes, with no window on the way.
  const std::wstring quiet = EntryText(key, L"QuietUninstallString");
  ASSERT_NE(quiet.find(L" /S"), std::wstring::npos) << Utf8(quiet);
  bool windowSeen = false;
  EXPECT_EQ(RunToEnd(quiet,
                     [&](WPARAM&) {
                       windowSeen =
                           windowSeen || FindWindowExA(nullptr, nullptr, "#32770", nullptr) != nullptr;
                       return nullptr;
                     }),
            0u);
  HKEY gone = nullptr;
  for (int waited = 0;
       waited < 300 && RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &gone) == 0; ++waited) {
    RegCloseKey(gone);
    Sleep(100);
  }
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &gone), ERROR_SUCCESS);
  EXPECT_FALSE(windowSeen);
}

// Setup elevated as another account than the desktop's user (HB_SETUP is the build that models
// it): the finish page offers no "Configure now" and says where to configure instead.
TEST(OtherUser, FinishPageSaysWhereToConfigure) {
  ASSERT_FALSE(installed.Setup.empty());
  char text[128] = {};
  bool seen = false, enabled = true, ticked = true;
  int finishLooks = 0;
  EXPECT_EQ(RunToEnd(Quoted(installed.Setup) + L" /D=" + installed.Winamp,
                     [&](WPARAM& button) {
                       HWND box = FindConfigureNow();
                       if (box != nullptr && !seen) {
                         seen = true;
                         GetWindowTextA(box, text, sizeof text);
                         enabled = IsWindowEnabled(box);
                         ticked = SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
                       }
                       // Finish only once the page has shown its box (or after 10 s).
                       HWND wizard = SetupStep(button);
                       char label[32] = {};
                       const bool finish = wizard != nullptr &&
                                           GetDlgItemTextA(wizard, IDOK, label, sizeof label) > 0 &&
                                           strstr(label, "Finish") != nullptr;
                       return finish && !seen && ++finishLooks < 200 ? nullptr : wizard;
                     }),
            0u);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(enabled);
  EXPECT_FALSE(ticked);
  EXPECT_NE(strstr(text, "Preferences, Plug-ins, General Purpose"), nullptr) << text;
}

}  // namespace
