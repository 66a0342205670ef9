// The configuration dialog in a process that never registered the common controls, as in an
// installer calling instConfig. Wine would load them on demand for the tooltip class, so this
// program runs with comctl32 disabled; here the tooltip control cannot be created at all.
#include <string>

#include "dialog_driver.h"
#include "host_test.h"

namespace {

using ConfigDialogWithoutCommonControls = HostTest;

TEST_F(ConfigDialogWithoutCommonControls, WorksWithoutTipsAndSaves) {
  ASSERT_EQ(GetModuleHandleA("comctl32.dll"), nullptr) << "the process must start without them";
  const std::string installerIni = NewIni();
  ASSERT_TRUE(Start(false));
  EXPECT_EQ(GetModuleHandleA("comctl32.dll"), nullptr) << "the plug-in does not load them itself";

  // OK saves, then Cancel leaves the file as OK left it.
  for (int button : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(button);
    WriteIniValue(installerIni, "LockAction", "0");
    const std::string before = FileBytes(installerIni);
    int helpBefore = HostHelpMessages();
    size_t tooltips = 1;
    DialogSession session = Install(HostWindowHandle(), installerIni.c_str(), [&](HWND dialog) {
      tooltips = ThreadTooltips(nullptr).size();
      EXPECT_EQ(ComboItems(dialog, IDC_LOCK_ACTION), ActionCaptions());
      EXPECT_FALSE(IsControlEnabled(dialog, IDC_LOCK_RESUME));
      ChooseItem(dialog, IDC_LOCK_ACTION, 2);
      EXPECT_TRUE(IsControlEnabled(dialog, IDC_LOCK_RESUME));
      Click(dialog, IDC_UPDATE_CHECK);
      SendScroll(dialog, IDC_LOCK_ARROWS, SB_LINEUP);
      SendHelp(dialog, IDC_LOCK_ACTION);  // no tip to redraw; it still goes on to the owner
      return button;
    });
    EXPECT_EQ(tooltips, 0u) << "no tooltip control can exist here";
    EXPECT_EQ(HostHelpMessages(), helpBefore + 1);
    EXPECT_EQ(session.Result, button == IDOK ? 1 : 0);
    if (button == IDOK)
      EXPECT_EQ(StoredValues(installerIni), Named("LockAction=2 LockTimeout=1 Verlift=1"));
    else
      EXPECT_EQ(FileBytes(installerIni), before);
  }
  EXPECT_EQ(GetModuleHandleA("comctl32.dll"), nullptr);
}

}  // namespace
