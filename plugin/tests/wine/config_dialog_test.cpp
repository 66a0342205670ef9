// The configuration dialog of the real gen_hushbell.dll under Wine: opened through the host's
// record and through instConfig, and driven through its live controls.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "dialog_driver.h"
#include "dialog_template.h"
#include "presence_sim.h"
#include "standin_host.h"

namespace {

constexpr UINT Pause = HostCommandPause;
constexpr int ActionCombos[] = {LockAction, SaverAction, StandbyAction};
constexpr WORD NeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

DialogSession Checked(const DialogSession& session) {
  EXPECT_TRUE(session.Shown);
  EXPECT_FALSE(session.TimedOut);
  return session;
}
DialogSession Configure(const DialogScript& script) { return Checked(RunHostConfig(script)); }
DialogSession Install(HWND window, const char* ini, const DialogScript& script) {
  return Checked(RunInstConfig(window, ini, script));
}

// The controls that follow each action choice.
void ExpectGroups(HWND dialog, bool lockOn, bool saverOn) {
  for (int id : {LockResume, LockTimeout, LockArrows, LockMinutes})
    EXPECT_EQ(IsControlEnabled(dialog, id), lockOn) << id;
  for (int id : {SaverResume, SaverTimeout, SaverArrows, SaverMinutes, SaverDisplayOff})
    EXPECT_EQ(IsControlEnabled(dialog, id), saverOn) << id;
}

enum class Timer { Stopped, Running };

// Starts the screen saver with music playing: a running poll timer pauses within about a
// second; with a stopped one the host sees neither a query nor a command.
bool TimerIs(Timer expected, DWORD milliseconds = 2500) {
  HostSetPlayState(HostPlaying);
  size_t commands = HostCommandCount();
  int queries = HostPlayQueries();
  SetScreenSaverRunning(true);
  bool seen;
  if (expected == Timer::Running) {
    seen = HostWaitForCommands(commands + 1, milliseconds) && HostCommandAt(commands).Command == Pause;
  } else {
    HostPump(milliseconds);
    seen = HostCommandCount() == commands && HostPlayQueries() == queries;
  }
  SetScreenSaverRunning(false);
  return seen;
}

class ConfigDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The host registers the common controls, so the dialog gets its tips.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
  }
  void SetUp() override {
    SetScreenSaverRunning(false);
    ini_ = NewIni();
    ASSERT_TRUE(HostCreate(ini_.c_str()));
  }
  void TearDown() override {
    Unload();
    HostDestroy();
    SetScreenSaverRunning(false);
    // Newest first: a folder is empty once the files made after it are gone.
    for (auto file = files_.rbegin(); file != files_.rend(); ++file)
      if (!DeleteFileW(Wide(*file).c_str())) RemoveDirectoryW(Wide(*file).c_str());
  }
  std::string NewIni() {
    files_.push_back(UniqueTempPath("hbc"));
    return files_.back();
  }
  // An INI file in a folder named outside the ANSI code page (1252 here), as under a user
  // profile named so: its 8-bit name is not the file's.
  std::string NewForeignIni() {
    std::string folder = NewIni() + " Łódź 日本";
    EXPECT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr));
    files_.push_back(folder);
    files_.push_back(folder + "\\winamp.ini");
    return files_.back();
  }
  static bool Start(bool init = true) {
    return HostLoadPlugin("gen_hushbell.dll") != nullptr && (!init || HostInitPlugin() == 0);
  }
  static void Unload() {
    if (HostPluginModule() == nullptr) return;
    HostQuitPlugin();
    HostUnloadPlugin();
  }
  // Makes the screen-saver action non-zero without touching the timer: instConfig inside the
  // host loads the settings from another file, and Cancel starts and stops nothing.
  void ArmScreenSaverAction() {
    std::string armed = NewIni();
    WriteIniInts(armed, {{"LockAction", 0}, {"ScreenSaverAction", 1}});
    EXPECT_EQ(Install(HostWindowHandle(), armed.c_str(), [](HWND) { return IDCANCEL; }).Result, 0);
  }

  std::string ini_;
  std::vector<std::string> files_;
};

// ---------------------------------------------------------------------------------------------
// The resources as the module carries them.

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD ComboStyle = Child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD CheckStyle = Child | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD EditStyle = Child | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD ArrowStyle = Child | SBS_VERT;
constexpr DWORD UnitStyle = Child | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | WS_GROUP;
constexpr DWORD GroupStyle = Child | BS_GROUPBOX;

const std::vector<DialogItem> Layout = {
    {-1, "BUTTON", "PC &Lock", GroupStyle, 7, 7, 221, 48},
    {1004, "COMBOBOX", "", ComboStyle | CBS_AUTOHSCROLL, 14, 17, 100, 240},
    {1005, "BUTTON", "&Auto Resume if paused/stopped less than", CheckStyle, 14, 37, 148, 14},
    {1007, "EDIT", "", EditStyle, 162, 37, 21, 14},
    {1008, "SCROLLBAR", "", ArrowStyle, 183, 37, 10, 14},
    {1015, "STATIC", "minutes", UnitStyle, 195, 37, 26, 14},
    {-1, "BUTTON", "&Screen Saver", GroupStyle, 7, 56, 221, 60},
    {1011, "COMBOBOX", "", ComboStyle, 14, 66, 100, 240},
    {1010, "BUTTON", "Auto &Resume if paused/stopped less than", CheckStyle, 14, 86, 148, 14},
    {1009, "EDIT", "", EditStyle, 162, 86, 21, 14},
    {1013, "SCROLLBAR", "", ArrowStyle, 183, 86, 10, 14},
    {1016, "STATIC", "minutes", UnitStyle, 195, 86, 26, 14},
    {1017, "BUTTON", "Also when the display turns off", CheckStyle, 14, 101, 207, 10},
    {-1, "BUTTON", "&PC Standby", GroupStyle, 7, 118, 221, 29},
    {1012, "COMBOBOX", "", ComboStyle, 14, 128, 100, 240},
    {-1, "BUTTON", "Online &Update", GroupStyle, 7, 150, 221, 29},
    {1014, "BUTTON", "Automatically check for updates once a week", CheckStyle, 14, 163, 207, 10},
    {1, "BUTTON", "OK", Child | BS_DEFPUSHBUTTON | WS_TABSTOP, 121, 185, 50, 14},
    {2, "BUTTON", "Cancel", Child | BS_PUSHBUTTON | WS_TABSTOP, 178, 185, 50, 14},
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

TEST_F(ConfigDialogTest, TemplateAndStringTableAreStoredAsLaidOut) {
  HMODULE module = LoadLibraryExA("gen_hushbell.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  // Dialog 101 and the string block of 1..15, stored under the neutral language only.
  for (auto [type, name] : {std::pair{RT_DIALOG, 101}, std::pair{RT_STRING, 1}}) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(name), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{NeutralLanguage}) << name;
  }

  HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(101), NeutralLanguage);
  ASSERT_NE(found, nullptr);
  DialogTemplate dialog;
  ASSERT_TRUE(ReadDialogTemplate(
      {static_cast<const uint8_t*>(LockResource(LoadResource(module, found))), SizeofResource(module, found)},
      dialog));
  EXPECT_EQ(dialog.ExStyle, DWORD{WS_EX_CONTROLPARENT | WS_EX_CONTEXTHELP});
  EXPECT_EQ(dialog.Style, DWORD{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER |
                                DS_CONTEXTHELP | DS_SETFONT});
  // No menu, the standard dialog class; 8 points, FW_DONTCARE, not italic, DEFAULT_CHARSET.
  EXPECT_EQ(
      std::tie(dialog.X, dialog.Y, dialog.Width, dialog.Height, dialog.Menu, dialog.Class, dialog.Caption,
               dialog.PointSize, dialog.Weight, dialog.Italic, dialog.Charset, dialog.Face),
      std::make_tuple(0, 0, 235, 206, "", "", ConfigCaption, 8, 0, 0, 1, "MS Sans Serif"));
  EXPECT_EQ(dialog.Items, Layout);

  const char* const strings[] = {
      // ids 1..11
      "Do nothing",
      "Pause",
      "Stop",
      "Select the action to be taken when the computer is locked.",
      "Check this box to resume music after the PC has been unlocked.",
      "If the computer has been locked for more than this amount of minutes the music will not "
      "resume.\r\n\r\nSet this value to zero to disable it.",
      "Select the action to be taken when the screen saver kicks in.",
      "Check this box to resume music after the screen saver stops.",
      "If the screen saver has been on for more than this amount of minutes the music will not "
      "resume.\r\n\r\nSet this value to zero to disable it.",
      "Select the action to be taken when the computer goes standby.",
      "Get notified when a new version of\nTavo Hushbell is available."};
  for (UINT id = 1; id <= std::size(strings); ++id) {
    char loaded[512] = {};
    int length = LoadStringA(module, id, loaded, sizeof loaded);
    EXPECT_EQ(length, static_cast<int>(strlen(strings[id - 1]))) << id;
    EXPECT_STREQ(loaded, strings[id - 1]) << id;
  }
  FreeLibrary(module);
}

// ---------------------------------------------------------------------------------------------
// Filling, enable rules, tab order, OK and Cancel.

TEST_F(ConfigDialogTest, OpensFilledFromTheLoadedSettingsAndOkWithoutChangeKeepsThem) {
  enum Through { Host, Installer, HostInUtf16 };
  struct FillCase {
    const char* Name;
    Through Via;
    Values Stored;  // the file before (empty: nothing stored)
    Values Shown;
    bool LockGroupOn, SaverGroupOn;
    Values SavedByOk;  // the file after OK without a change
  };
  const FillCase cases[] = {
      {"every key stored, through the host",
       Host,
       {"2", "0", "15", "1", "1", "0", "2", "0", "1"},
       {"2", "0", "15", "1", "1", "0", "2", "0", "1"},
       true,
       true,
       {"2", "0", "15", "1", "1", "0", "2", "0", "1"}},
      {"unknown lock action shows no choice and keeps its group on, through the installer",
       Installer,
       {"7", "1", "-3", "0", "0", "65536", "0", "0", "1"},
       {"-1", "1", "-3", "0", "0", "65536", "0", "0", "1"},
       true,
       false,
       {"255", "1", "-3", "0", "0", "65536", "0", "0", "1"}},
      {"empty file gives the defaults, through the host",
       Host,
       {},
       {"1", "1", "0", "0", "0", "0", "0", "0", "0"},
       true,
       false,
       {"1", "1", "0", "0", "0", "0", "0", "0", "0"}},
      {"actions keep their low 8 bits, through the installer",
       Installer,
       {"258", "1", "5", "3", "0", "7", "3", "1", "0"},
       {"2", "1", "5", "-1", "0", "7", "-1", "1", "0"},
       true,
       true,
       {"2", "1", "5", "255", "0", "7", "255", "1", "0"}},
      {"the host's file has only a UTF-16 name, which it gives",
       HostInUtf16,
       {"258", "0", "15", "1", "1", "0", "7", "0", "1"},
       {"2", "0", "15", "1", "1", "0", "-1", "0", "1"},
       true,
       true,
       {"2", "0", "15", "1", "1", "0", "255", "0", "1"}},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string file = c.Via == Installer ? NewIni() : c.Via == HostInUtf16 ? NewForeignIni() : ini_;
    WriteValues(file, c.Stored);
    const std::string hostFileBefore = FileBytes(ini_);
    if (c.Via == HostInUtf16) HostAnswerWideIniQuery(Wide(file).c_str());
    ASSERT_TRUE(Start(c.Via != Installer));
    auto script = [&](HWND dialog) {
      for (int combo : ActionCombos)
        EXPECT_EQ(ComboItems(dialog, combo), (Values{"Do nothing", "Pause", "Stop"})) << combo;
      EXPECT_EQ(ShownValues(dialog), c.Shown);
      ExpectGroups(dialog, c.LockGroupOn, c.SaverGroupOn);
      for (int bar : {LockArrows, SaverArrows}) {
        int low = -1, high = -1;
        GetScrollRange(GetDlgItem(dialog, bar), SB_CTL, &low, &high);
        EXPECT_EQ(std::to_string(low) + ".." + std::to_string(high), "0..65535") << bar;
      }
      return IDOK;
    };
    if (c.Via == Installer) {
      EXPECT_EQ(Install(HostWindowHandle(), file.c_str(), script).Result, 1);
      EXPECT_EQ(HostIniQueries(), 0) << "the installer's file is used; the host is not asked";
      EXPECT_EQ(FileBytes(ini_), hostFileBefore);
    } else {
      Configure(script);
    }
    EXPECT_EQ(StoredValues(file), c.SavedByOk);
    Unload();
    HostDestroy();
    ASSERT_TRUE(HostCreate(ini_.c_str()));
    WritePrivateProfileStringA("Hushbell", nullptr, nullptr, ini_.c_str());
  }
}

TEST_F(ConfigDialogTest, TabOrderFollowsTheTemplateGroupsTheirChoiceAndDisabledValuesAreSaved) {
  WriteIniInts(ini_, {{"LockAction", 1}, {"LockAutoResume", 1}, {"ScreenSaverAction", 1}});
  ASSERT_TRUE(Start());
  struct Step {
    int Combo, Index;
    WORD Notification;  // only the low word of WM_COMMAND counts
    bool LockOn, SaverOn;
  };
  const Step steps[] = {
      {LockAction, 0, CBN_SELCHANGE, false, true},     {LockAction, 1, CBN_SELCHANGE, true, true},
      {SaverAction, 0, CBN_SELENDOK, true, false},     {LockAction, 0, 0, false, false},
      {StandbyAction, 0, CBN_SELCHANGE, false, false}, {StandbyAction, 2, CBN_CLOSEUP, false, false},
      {SaverAction, 2, CBN_SELCHANGE, false, true},    {LockAction, 2, CBN_DROPDOWN, true, true},
      {SaverAction, 1, CBN_SELCHANGE, true, true},     {LockAction, 0, CBN_SELCHANGE, false, true},
  };
  const int alwaysOn[] = {LockAction, SaverAction, StandbyAction, UpdateCheck, IDOK, IDCANCEL};
  std::vector<int> tabOrder;
  Configure([&](HWND dialog) {
    HWND first = GetDlgItem(dialog, LockAction), at = first;
    do {
      tabOrder.push_back(GetDlgCtrlID(at));
      at = GetNextDlgTabItem(dialog, at, FALSE);
    } while (at != nullptr && at != first && tabOrder.size() < 40);
    SetControlText(dialog, LockTimeout, "12");
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::Message() << "combo " << step.Combo << " item " << step.Index);
      ChooseItem(dialog, step.Combo, step.Index, step.Notification);
      ExpectGroups(dialog, step.LockOn, step.SaverOn);
      for (int id : alwaysOn) EXPECT_TRUE(IsControlEnabled(dialog, id)) << id;
    }
    return IDOK;
  });
  // The group boxes, labels and arrows take no tab stop.
  EXPECT_EQ(tabOrder, (std::vector<int>{1004, 1005, 1007, 1011, 1010, 1009, 1017, 1012, 1014, 1, 2}));
  EXPECT_EQ(StoredValues(ini_), (Values{"0", "1", "12", "1", "0", "0", "2", "0", "0"}));
}

// Every control is changed each time; Cancel, the caption's close button and Esc keep none of
// it, and Enter presses OK, which writes every key to the host's file.
TEST_F(ConfigDialogTest, OnlyOkSavesAndTheNextOpeningShowsWhatWasSaved) {
  const Values stored{"2", "0", "15", "1", "1", "3", "2", "0", "0"};
  const Values changed{"1", "1", "100000", "2", "0", "42", "1", "1", "1"};
  WriteValues(ini_, stored);
  ASSERT_TRUE(Start());
  const std::string bytes = FileBytes(ini_);
  struct Closer {
    const char* Name;
    UINT Message;  // 0: the Cancel button
    WPARAM Code;
  };
  const Closer closers[] = {{"Cancel", 0, 0},
                            {"close button", WM_SYSCOMMAND, SC_CLOSE},
                            {"Esc", WM_KEYDOWN, VK_ESCAPE},
                            {"Enter, for OK", WM_KEYDOWN, VK_RETURN}};
  for (const Closer& closer : closers) {
    SCOPED_TRACE(closer.Name);
    int iniQueries = HostIniQueries();
    Configure([&](HWND dialog) {
      EXPECT_EQ(ShownValues(dialog), stored);
      ChooseItem(dialog, LockAction, 1);
      Click(dialog, LockResume);
      SetControlText(dialog, LockTimeout, "100000");
      ChooseItem(dialog, SaverAction, 2);
      Click(dialog, SaverResume);
      SetControlText(dialog, SaverTimeout, "41");
      SendScroll(dialog, SaverArrows, SB_LINEUP);
      ChooseItem(dialog, StandbyAction, 1);
      Click(dialog, UpdateCheck);
      Click(dialog, SaverDisplayOff);
      if (closer.Message == 0) return IDCANCEL;
      PostMessageA(dialog, closer.Message, closer.Code, 0);
      return 0;
    });
    if (closer.Code != VK_RETURN) {
      EXPECT_EQ(FileBytes(ini_), bytes);
      continue;
    }
    EXPECT_GT(HostIniQueries(), iniQueries) << "the save asks the host for its INI file";
    EXPECT_EQ(StoredValues(ini_), changed);
    char section[1024] = {};
    DWORD length = GetPrivateProfileSectionA("Hushbell", section, sizeof section, ini_.c_str());
    int keys = 0;
    for (const char* key = section; key < section + length && *key != '\0'; key += strlen(key) + 1) ++keys;
    EXPECT_EQ(keys, 9) << "exactly the nine keys";
  }
  Configure([&](HWND dialog) {
    EXPECT_EQ(ShownValues(dialog), changed);
    return IDCANCEL;
  });
}

TEST_F(ConfigDialogTest, TypedTimeoutsAreStoredAsReadWithoutOverflow) {
  const char* const cases[][2] = {
      // typed, stored
      {"100000", "100000"},
      {"007", "7"},
      {"", "0"},
      {"-5", "-5"},
      {"2147483647", "2147483647"},
      {"2147483648", "2147483647"},
      // Only the first 31 characters are read: still far beyond 32 bits here, and the digit
      // after them does not count.
      {"99999999999999999999999999999999999999999", "2147483647"},
      {"00000000000000000000000000000005", "0"},
      {"12abc", "12"}};
  ASSERT_TRUE(Start());
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    Configure([&](HWND dialog) {
      SetControlText(dialog, LockTimeout, c[0]);
      SetControlText(dialog, SaverTimeout, c[0]);
      return IDOK;
    });
    EXPECT_EQ(IniValue(ini_, "LockTimeout"), c[1]);
    EXPECT_EQ(IniValue(ini_, "ScreenSaverTimeout"), c[1]);
  }
}

TEST_F(ConfigDialogTest, ArrowsStepTheirOwnEditThroughScrollMessagesOnly) {
  struct ArrowCase {
    int Bar;
    const char* Before;
    WPARAM Code;
    const char* After;
  };
  const std::string tooLong(40, '9');
  const ArrowCase cases[] = {
      {LockArrows, "65535", SB_LINEUP, "65535"},
      {LockArrows, "0", SB_LINEDOWN, "0"},
      {LockArrows, "", SB_LINEUP, "1"},
      {SaverArrows, "", SB_LINEDOWN, "0"},
      {SaverArrows, "007", SB_LINEUP, "8"},
      {LockArrows, "41", SB_LINEDOWN, "40"},
      {LockArrows, "100000", SB_LINEUP, "65535"},
      {SaverArrows, "100000", SB_LINEDOWN, "65535"},
      {LockArrows, "-7", SB_LINEUP, "0"},
      {SaverArrows, tooLong.c_str(), SB_LINEDOWN, "65535"},
      // Anything but a plain line step changes nothing; the whole wParam counts.
      {LockArrows, "12", SB_PAGEUP, "12"},
      {LockArrows, "12", SB_PAGEDOWN, "12"},
      {SaverArrows, "12", MAKEWPARAM(SB_THUMBPOSITION, 3), "12"},
      {SaverArrows, "12", MAKEWPARAM(SB_LINEUP, 3), "12"},
      {LockArrows, "12", SB_TOP, "12"},
      {LockArrows, "12", SB_ENDSCROLL, "12"},
      // Scroll messages from anything but the two arrow bars change nothing.
      {LockAction, "12", SB_LINEUP, "12"},
      {0, "12", SB_LINEUP, "12"},
  };
  WriteIniInt(ini_, "ScreenSaverAction", 1);
  ASSERT_TRUE(Start());
  const std::string bytes = FileBytes(ini_);
  Configure([&](HWND dialog) {
    for (const ArrowCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "bar " << c.Bar << " text '" << c.Before << "' code " << c.Code);
      int edit = c.Bar == SaverArrows ? SaverTimeout : LockTimeout;
      int other = edit == LockTimeout ? SaverTimeout : LockTimeout;
      SetControlText(dialog, edit, c.Before);
      SetControlText(dialog, other, "4321");
      SendScroll(dialog, c.Bar, c.Code);
      EXPECT_EQ(ControlText(dialog, edit), c.After);
      EXPECT_EQ(ControlText(dialog, other), "4321");
    }
    for (int bar : {LockArrows, SaverArrows})
      EXPECT_EQ(GetScrollPos(GetDlgItem(dialog, bar), SB_CTL), 0) << bar << " never moves";
    return IDCANCEL;
  });
  EXPECT_EQ(FileBytes(ini_), bytes) << "the edits are scratch until OK";
}

// ---------------------------------------------------------------------------------------------
// The owner window and the tips.

HWND CreateDialogWindow(HWND owner, bool withTree) {
  HWND window = CreateWindowExA(0, "#32770", "Decoy", WS_POPUP | WS_CAPTION, 0, 0, 200, 100, owner, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window != nullptr && withTree)
    CreateWindowExA(0, WC_TREEVIEWA, "Tree1", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, window, nullptr,
                    GetModuleHandleA(nullptr), nullptr);
  return window;
}

TEST_F(ConfigDialogTest, OwnerIsThePreferencesWindowWhileItIsOpenOtherwiseTheHostWindow) {
  ASSERT_TRUE(Start());
  HWND host = HostWindowHandle();
  bool ownerDisabled = false;
  auto script = [&](HWND dialog) {
    ownerDisabled = !IsWindowEnabled(GetWindow(dialog, GW_OWNER));
    EXPECT_EQ(GetParent(dialog), GetWindow(dialog, GW_OWNER));
    return IDCANCEL;
  };
  EXPECT_EQ(Configure(script).Owner, host);
  EXPECT_TRUE(ownerDisabled) << "modal to its owner";
  EXPECT_TRUE(IsWindowEnabled(host));

  // Look-alikes that are not the host's preferences window are created last, so the walk meets
  // them first.
  HWND preferences = HostOpenPreferences();
  ASSERT_NE(preferences, nullptr);
  HWND noTree = CreateDialogWindow(host, false);
  HWND foreignOwner = CreateDialogWindow(noTree, true);
  HWND unowned = CreateDialogWindow(nullptr, true);
  ASSERT_TRUE(noTree && foreignOwner && unowned);
  ownerDisabled = false;
  EXPECT_EQ(Configure(script).Owner, preferences);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(preferences));
  HostClosePreferences();
  EXPECT_EQ(Configure(script).Owner, host);

  // An installer without a window: no window of the session may become the owner, not even
  // an unowned dialog that has the tree view.
  DialogSession installer = Install(nullptr, NewIni().c_str(), script);
  EXPECT_EQ(installer.Owner, nullptr);
  EXPECT_EQ(installer.Result, 0);
  EXPECT_TRUE(IsWindowEnabled(unowned));
  for (HWND window : {unowned, foreignOwner, noTree}) DestroyWindow(window);
}

TEST_F(ConfigDialogTest, BalloonTipsExplainTheInputControlsWhileTheDialogIsOpen) {
  const int tips[][2] = {
      {1004, 4}, {1005, 5}, {1007, 6}, {1008, 6},  {1011, 7},  // control, string
      {1010, 8}, {1009, 9}, {1013, 9}, {1012, 10}, {1014, 11}, {SaverDisplayOff, IDS_TIP_SAVER_DISPLAY_OFF}};
  ASSERT_TRUE(Start());
  HMODULE module = HostPluginModule();
  for (int opening = 0; opening < 2; ++opening) {
    SCOPED_TRACE(opening);
    int helpBefore = HostHelpMessages();
    HWND tooltip = nullptr;
    Configure([&](HWND dialog) {
      std::vector<HWND> tooltips = ThreadTooltips(dialog);
      EXPECT_EQ(tooltips.size(), 1u);
      if (tooltips.size() != 1) return IDCANCEL;
      tooltip = tooltips[0];
      constexpr DWORD Style = WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP;
      EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(tooltip, GWL_STYLE)) & Style, Style);
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), static_cast<LRESULT>(std::size(tips)));
      for (size_t i = 0; i < std::size(tips); ++i) {
        SCOPED_TRACE(tips[i][0]);
        TTTOOLINFOA tool{sizeof tool};
        EXPECT_TRUE(SendMessageA(tooltip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
        HWND control = GetDlgItem(dialog, tips[i][0]);
        EXPECT_EQ(tool.hwnd, control);
        EXPECT_EQ(tool.uId, 0u);
        EXPECT_EQ(tool.uFlags & (TTF_SUBCLASS | TTF_ABSOLUTE | TTF_TRANSPARENT | TTF_IDISHWND),
                  UINT{TTF_SUBCLASS | TTF_ABSOLUTE | TTF_TRANSPARENT});
        EXPECT_EQ(tool.hinst, module);
        RECT client{};
        GetClientRect(control, &client);
        EXPECT_TRUE(EqualRect(&tool.rect, &client));
        // The control loads the text from the plug-in's string table. Wine reports no text
        // pointer for such tools in TTM_ENUMTOOLSA, so the text is asked for instead.
        WCHAR text[1024] = {}, expected[1024] = {};
        EXPECT_GT(LoadStringW(module, tips[i][1], expected, std::size(expected)), 0);
        TTTOOLINFOW query{sizeof query, 0, control, 0, {}, nullptr, text};
        SendMessageW(tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&query));
        EXPECT_STREQ(text, expected);
      }
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETMAXTIPWIDTH, 0, 0), 225);
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 2000);
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 10000);
      // Wine's tooltip control does not answer TTM_GETTITLE, so the title is not read back.
      SendHelp(dialog, LockAction);  // redraws the tip and goes on to the owner
      EXPECT_TRUE(IsWindow(tooltip));
      return IDCANCEL;
    });
    EXPECT_EQ(HostHelpMessages(), helpBefore + 1) << "WM_HELP reaches the owner";
    ASSERT_NE(tooltip, nullptr);
    EXPECT_FALSE(IsWindow(tooltip)) << "the tooltip goes with the dialog";
  }
}

// Where Windows cannot report the display (no function, as on Windows XP, or a refused
// registration), the box stays disabled and keeps its value; its tip, watching the box's area
// of the dialog (a disabled control gets no mouse messages), says why.
TEST_F(ConfigDialogTest, DisplayOffBoxIsDisabledWhereWindowsCannotReportTheDisplay) {
  const struct {
    SimDisplay Mode;
    bool Init;
    bool Enabled;
  } cases[] = {{SimDisplay::Available, true, true},
               {SimDisplay::Refused, true, false},
               {SimDisplay::Missing, true, false},
               {SimDisplay::Missing, false, false}};
  WriteIniInts(ini_, {{"ScreenSaverAction", 1}, {"ScreenSaverDisplayOff", 1}});
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.Mode) << (c.Init ? " after init" : " without"));
    ASSERT_TRUE(Start(false) && SimInstall(HostPluginModule()));
    SimSetDisplayNotification(c.Mode);
    ASSERT_TRUE(!c.Init || HostInitPlugin() == 0);
    Install(HostWindowHandle(), ini_.c_str(), [&](HWND dialog) {
      EXPECT_EQ(IsControlEnabled(dialog, SaverDisplayOff), c.Enabled);
      EXPECT_EQ(ShownValues(dialog)[8], "1");
      std::vector<HWND> tooltips = ThreadTooltips(dialog);
      EXPECT_EQ(tooltips.size(), 1u);
      if (tooltips.size() != 1) return IDOK;
      WCHAR text[512] = {}, expected[512] = {};
      LoadStringW(HostPluginModule(), c.Enabled ? IDS_TIP_SAVER_DISPLAY_OFF : IDS_TIP_DISPLAY_OFF_UNAVAILABLE,
                  expected, std::size(expected));
      HWND box = GetDlgItem(dialog, SaverDisplayOff);
      TTTOOLINFOW query{sizeof query, 0, c.Enabled ? box : dialog, 0, {}, nullptr, text};
      SendMessageW(tooltips[0], TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&query));
      EXPECT_STREQ(text, expected);
      return IDOK;
    });
    EXPECT_EQ(IniValue(ini_, "ScreenSaverDisplayOff"), "1");
    Unload();
  }
}

// ---------------------------------------------------------------------------------------------
// The poll timer and the module's lifetime.

TEST_F(ConfigDialogTest, OkStartsOrStopsThePollTimerAndCancelLeavesItAsItWas) {
  struct TimerCase {
    const char* Name;
    int Lock, Saver;  // the stored actions
    int Choose[3];    // for lock, screen saver, standby; -1 leaves the choice alone
    int Button;
    Timer After;
  };
  const TimerCase cases[] = {
      {"OK with a screen-saver action starts it", 0, 0, {-1, 1, -1}, IDOK, Timer::Running},
      {"OK with neither action stops it, standby or not", 1, 2, {0, 0, 2}, IDOK, Timer::Stopped},
      {"Cancel leaves a running timer running", 0, 1, {0, 0, -1}, IDCANCEL, Timer::Running},
      {"Cancel leaves a stopped timer stopped", 0, 0, {1, 2, -1}, IDCANCEL, Timer::Stopped},
      {"OK with both actions keeps it running", 1, 1, {-1, -1, -1}, IDOK, Timer::Running},
  };
  for (const TimerCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteIniInts(ini_, {{"LockAction", c.Lock}, {"ScreenSaverAction", c.Saver}});
    ASSERT_TRUE(Start());
    Configure([&](HWND dialog) {
      for (int i = 0; i < 3; ++i)
        if (c.Choose[i] >= 0) ChooseItem(dialog, ActionCombos[i], c.Choose[i]);
      return c.Button;
    });
    ArmScreenSaverAction();
    EXPECT_TRUE(TimerIs(c.After));
    Unload();
    HostClearCommands();
  }
}

// An installer's process has no initialised plug-in: OK saves, but no timer may be left to send
// player commands to the installer's window, and nothing may keep the module loaded.
TEST_F(ConfigDialogTest, InstConfigInAPlainProcessSavesAndLeavesNoTimerRunning) {
  ASSERT_TRUE(Start(false));
  std::string installerIni = NewIni();
  WriteIniInts(installerIni, {{"LockAction", 1}, {"ScreenSaverAction", 1}});
  const std::string installerBytes = FileBytes(installerIni);
  HWND installer = HostWindowHandle();
  auto choose = [](int combo, int index, int button) {
    return [=](HWND dialog) {
      ChooseItem(dialog, combo, index);
      return button;
    };
  };
  EXPECT_EQ(Install(installer, installerIni.c_str(), choose(StandbyAction, 2, IDCANCEL)).Result, 0);
  EXPECT_EQ(FileBytes(installerIni), installerBytes);
  DialogSession confirmed = Install(installer, installerIni.c_str(), choose(SaverAction, 2, IDOK));
  EXPECT_EQ(confirmed.Owner, installer);
  EXPECT_EQ(confirmed.Result, 1);
  EXPECT_EQ(StoredValues(installerIni), (Values{"1", "1", "0", "2", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(HostIniQueries(), 0);
  EXPECT_EQ(FileBytes(ini_), "") << "the host's file is not touched";
  EXPECT_TRUE(TimerIs(Timer::Stopped)) << "no query and no command reached the installer's window";
  HostUnloadPlugin();
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr) << "nothing holds the module";

  // Without a path the window is asked for its INI file, as the host would be.
  ASSERT_TRUE(Start(false));
  EXPECT_EQ(Install(installer, nullptr, choose(StandbyAction, 1, IDOK)).Result, 1);
  EXPECT_GE(HostIniQueries(), 1);
  EXPECT_EQ(IniValue(ini_, "StandbyAction"), "1");
  EXPECT_TRUE(TimerIs(Timer::Stopped, 1500));
}

// Called inside an initialised host, instConfig must hand the record back its host window: quit
// unhooks it. Ticks meanwhile go on asking and commanding the player, never the caller's window.
TEST_F(ConfigDialogTest, InstConfigInsideTheHostRestoresTheHostWindow) {
  WriteIniInt(ini_, "ScreenSaverAction", 1);
  HWND host = HostWindowHandle();
  WNDPROC original = WindowProcOf(host);
  ASSERT_TRUE(Start());
  ASSERT_NE(WindowProcOf(host), original);
  HWND other = CreateWindowExA(0, "STATIC", "installer", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  WNDPROC otherProc = WindowProcOf(other);
  std::string installerIni = NewIni();
  WriteIniInt(installerIni, "ScreenSaverAction", 1);
  bool playerPausedMeanwhile = false;
  DialogSession session = Install(other, installerIni.c_str(), [&](HWND dialog) {
    playerPausedMeanwhile = TimerIs(Timer::Running);
    HostPump(1500);  // a tick sees the screen saver gone before the next one starts
    ChooseItem(dialog, LockAction, 2);
    return IDOK;
  });
  EXPECT_TRUE(playerPausedMeanwhile);
  EXPECT_EQ(session.Owner, other) << "the caller's window owns the dialog";
  EXPECT_EQ(session.Result, 1);
  EXPECT_EQ(IniValue(installerIni, "LockAction"), "2");
  EXPECT_TRUE(TimerIs(Timer::Running)) << "the timer talks to the host window again";
  HostQuitPlugin();
  EXPECT_EQ(WindowProcOf(host), original);
  EXPECT_EQ(WindowProcOf(other), otherProc);
  DestroyWindow(other);
}

// A host that unloads the module without quit: the running timer keeps the module mapped, and
// a later quit stops it and lets the module go.
TEST_F(ConfigDialogTest, UnloadWithoutQuitCannotPullTheModuleFromUnderItsTimer) {
  WriteIniInt(ini_, "ScreenSaverAction", 1);
  HostPluginRecord* record = HostLoadPlugin("gen_hushbell.dll");
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);
  void (*quitPlugin)() = record->quit;
  WNDPROC hooked = WindowProcOf(HostWindowHandle());
  HostUnloadPlugin();
  ASSERT_NE(GetModuleHandleA("gen_hushbell.dll"), nullptr);
  EXPECT_TRUE(TimerIs(Timer::Running)) << "ticks still run in mapped code";
  EXPECT_EQ(WindowProcOf(HostWindowHandle()), hooked);
  HMODULE again = LoadLibraryA("gen_hushbell.dll");
  ASSERT_NE(again, nullptr);
  quitPlugin();
  FreeLibrary(again);
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr);
  EXPECT_TRUE(TimerIs(Timer::Stopped, 1500));
}

// ---------------------------------------------------------------------------------------------
// Action captions that do not fit their buffers.

// A copy of the module whose first three strings (the action captions) are replaced.
bool WriteModuleWithCaptions(const std::string& path, const std::wstring (&captions)[3]) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string source(exe);
  source.replace(source.find_last_of('\\') + 1, std::string::npos, "gen_hushbell.dll");
  HMODULE original = LoadLibraryExA(source.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (original == nullptr || !CopyFileA(source.c_str(), path.c_str(), FALSE)) return false;
  // Block 1 holds strings 0 to 15, each a length and its UTF-16 characters.
  std::vector<WORD> block;
  for (UINT id = 0; id < 16; ++id) {
    WCHAR kept[512] = {};
    int length = id >= 4 ? LoadStringW(original, id, kept, std::size(kept)) : 0;
    std::wstring text = id >= 1 && id <= 3 ? captions[id - 1] : std::wstring(kept, length > 0 ? length : 0);
    block.push_back(static_cast<WORD>(text.size()));
    for (wchar_t c : text) block.push_back(static_cast<WORD>(c));
  }
  FreeLibrary(original);
  HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
  return update != nullptr &&
         UpdateResourceA(update, RT_STRING, MAKEINTRESOURCEA(1), NeutralLanguage, block.data(),
                         static_cast<DWORD>(block.size() * sizeof(WORD))) &&
         EndUpdateResourceA(update, FALSE);
}

TEST_F(ConfigDialogTest, OverlongActionCaptionsAreCutToFortyEightCharacters) {
  const std::wstring captions[3] = {
      std::wstring(60, L'N') + L"othing", L"Pause",
      L"Stop, and then a great deal of explanation that no combo box could ever need"};
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  files_.push_back(std::string(folder) + "hb_captions_" + std::to_string(GetCurrentProcessId()) + ".dll");
  ASSERT_TRUE(WriteModuleWithCaptions(files_.back(), captions));
  ASSERT_NE(HostLoadPlugin(files_.back().c_str()), nullptr);
  Values items;
  Configure([&](HWND dialog) {
    items = ComboItems(dialog, StandbyAction);
    EXPECT_EQ(ComboItems(dialog, LockAction), items);
    return IDCANCEL;
  });
  const std::string third(captions[2].begin(), captions[2].end());
  EXPECT_EQ(items, (Values{std::string(48, 'N'), "Pause", third.substr(0, 48)}));
}

}  // namespace
