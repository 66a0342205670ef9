// The configuration dialog in a process that never registered the common controls, as in an
// installer calling instConfig. Wine would load them on demand for the tooltip class, so this
// program runs with comctl32 disabled; here the tooltip control cannot be created at all.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "standin_host.h"

namespace {

using InstConfig = int(WINAPI*)(HWND window, const char* iniPath);

BOOL CALLBACK NoteTooltip(HWND window, LPARAM context) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, "tooltips_class32") == 0) *reinterpret_cast<bool*>(context) = true;
  return TRUE;
}

bool ThreadHasTooltip() {
  bool found = false;
  EnumThreadWindows(GetCurrentThreadId(), NoteTooltip, reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST(ConfigDialogWithoutCommonControls, WorksWithoutTipsAndSaves) {
  ASSERT_EQ(GetModuleHandleA("comctl32.dll"), nullptr) << "the process must start without them";
  std::string hostIni = UniqueTempPath("hbp");
  std::string installerIni = UniqueTempPath("hbp");
  WriteIniValue(installerIni, "LockAction", "0");
  ASSERT_TRUE(HostCreate(hostIni.c_str()));
  ASSERT_NE(HostLoadPlugin("gen_hushbell.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("comctl32.dll"), nullptr) << "the plug-in does not load them itself";
  auto instConfig = reinterpret_cast<InstConfig>(
      reinterpret_cast<void*>(GetProcAddress(HostPluginModule(), "instConfig")));
  ASSERT_NE(instConfig, nullptr);

  // OK saves, then Cancel leaves the file as OK left it.
  for (int opening = 0; opening < 2; ++opening) {
    SCOPED_TRACE(opening);
    WriteIniValue(installerIni, "LockAction", "0");
    const std::string before = FileBytes(installerIni);
    int result = -7;
    int helpBefore = HostHelpMessages();
    bool tooltip = true;
    DialogSession session = RunConfigDialog(
        [&] { result = instConfig(HostWindowHandle(), installerIni.c_str()); },
        [&](HWND dialog) {
          tooltip = ThreadHasTooltip();
          EXPECT_EQ(ComboItems(dialog, LockAction),
                    (std::vector<std::string>{"Do nothing", "Pause", "Stop"}));
          EXPECT_FALSE(IsControlEnabled(dialog, LockResume));
          ChooseItem(dialog, LockAction, 2);
          EXPECT_TRUE(IsControlEnabled(dialog, LockResume));
          Click(dialog, UpdateCheck);
          SendScroll(dialog, LockArrows, SB_LINEUP);
          // Help has no tip to redraw and still goes on to the owner.
          HELPINFO help{sizeof help, HELPINFO_WINDOW, LockAction, GetDlgItem(dialog, LockAction),
                        0, {0, 0}};
          SendMessageA(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
          return opening == 0 ? IDOK : IDCANCEL;
        });
    ASSERT_TRUE(session.Shown);
    EXPECT_FALSE(session.TimedOut);
    EXPECT_FALSE(tooltip) << "no tooltip control can exist here";
    EXPECT_EQ(HostHelpMessages(), helpBefore + 1);
    EXPECT_EQ(result, opening == 0 ? 1 : 0);
    if (opening == 0) {
      EXPECT_EQ(IniValue(installerIni, "LockAction"), "2");
      EXPECT_EQ(IniValue(installerIni, "LockTimeout"), "1");
      EXPECT_EQ(IniValue(installerIni, "Verlift"), "1");
    } else {
      EXPECT_EQ(FileBytes(installerIni), before);
    }
  }
  EXPECT_EQ(GetModuleHandleA("comctl32.dll"), nullptr);

  HostUnloadPlugin();
  HostDestroy();
  DeleteFileA(hostIni.c_str());
  DeleteFileA(installerIni.c_str());
}

}  // namespace
