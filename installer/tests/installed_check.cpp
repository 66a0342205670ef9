// Runs inside an installed Winamp folder (HB_WINAMP) against a local copy of the web site
// (HB_SITE): the installed plug-in, loaded by the stand-in host, starts the installed checker,
// which shows its dialog over the host window when the site advertises a newer plug-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "standin_host.h"

namespace {

std::string Env(const char* name) {
  char value[1024];
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

struct Installed {
  std::string Winamp = Env("HB_WINAMP");
  std::string Site = Env("HB_SITE");
  std::string Plugin() const { return Winamp + "\\Plugins\\gen_hushbell.dll"; }
  std::string UpdaterIni() const { return Winamp + "\\Plugins\\gen_hushbell.ini"; }
};

// Points the installed checker at one of the local sites and forgets the last check.
void UseSite(const Installed& installed, const std::string& path) {
  std::string homepage = installed.Site + path;
  WritePrivateProfileStringA("Update", "homepage", homepage.c_str(), installed.UpdaterIni().c_str());
  WritePrivateProfileStringA("LastCheck", nullptr, nullptr, installed.UpdaterIni().c_str());
}

HWND FindUpdateDialog() { return FindWindowA("#32770", "Automatic Update Check"); }

bool LastCheckWritten(const Installed& installed) {
  return GetPrivateProfileIntA("LastCheck", "hi", 0, installed.UpdaterIni().c_str()) != 0;
}

TEST(Installed, PluginStartsTheInstalledCheckerWhichShowsTheUpdateOverTheHost) {
  Installed installed;
  ASSERT_FALSE(installed.Winamp.empty());
  UseSite(installed, "/newer");
  std::string settings = installed.Winamp + "\\winamp.ini";
  WritePrivateProfileStringA("Hushbell", "Verlift", "1", settings.c_str());
  WritePrivateProfileStringA("Hushbell", "LockAction", "0", settings.c_str());

  ASSERT_TRUE(HostCreate(settings.c_str()));
  ASSERT_NE(HostLoadPlugin(installed.Plugin().c_str()), nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);

  HWND dialog = nullptr;
  for (ULONGLONG end = GetTickCount64() + 20000; dialog == nullptr && GetTickCount64() < end;) {
    HostPump(100);
    dialog = FindUpdateDialog();
  }
  ASSERT_NE(dialog, nullptr) << "no update dialog appeared";
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), HostWindowHandle());
  EXPECT_FALSE(IsWindowEnabled(HostWindowHandle())) << "the dialog is modal to the player";
  EXPECT_TRUE(LastCheckWritten(installed));

  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // Later
  for (ULONGLONG end = GetTickCount64() + 10000; IsWindow(dialog) && GetTickCount64() < end;) HostPump(50);
  EXPECT_FALSE(IsWindow(dialog));
  HostQuitPlugin();
  HostUnloadPlugin();
  HostDestroy();
}

TEST(Installed, ForcedCheckAgainstTheBuiltVersionShowsNothing) {
  Installed installed;
  UseSite(installed, "/equal");
  std::string command = "\"" + installed.Winamp.substr(0, 2) +
                        "\\Program Files\\Brennick\\Verlift\\Verlift.exe\" \"" + installed.UpdaterIni() +
                        "\" /FORCE";
  STARTUPINFOA startup{sizeof startup};
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  bool dialogSeen = false;
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
    if (FindUpdateDialog() != nullptr) {
      dialogSeen = true;
      PostMessageA(FindUpdateDialog(), WM_COMMAND, IDCANCEL, 0);
    }
  }
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(dialogSeen);
  EXPECT_TRUE(LastCheckWritten(installed));
}

}  // namespace
