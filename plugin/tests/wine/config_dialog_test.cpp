// The configuration dialog of the real gen_hushbell.dll under Wine: opened through the host's
// record and through instConfig, and driven through its live controls.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "standin_host.h"

namespace {

constexpr UINT Pause = 40046;
constexpr WORD NeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
using InstConfig = int(WINAPI*)(HWND window, const char* iniPath);

// Eight key values in storage order; nullptr leaves a key out of the file.
using KeyValues = const char* [8];

void WriteSettings(const std::string& ini, const KeyValues& values) {
  for (int i = 0; i < 8; ++i)
    if (values[i] != nullptr) WriteIniValue(ini, SettingKeys[i], values[i]);
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
    if (HostPluginModule() != nullptr) {
      HostQuitPlugin();
      HostUnloadPlugin();
    }
    HostDestroy();
    SetScreenSaverRunning(false);
    for (const std::string& file : files_) DeleteFileA(file.c_str());
  }
  std::string NewIni() {
    files_.push_back(UniqueTempPath("hbc"));
    return files_.back();
  }
  HostPluginRecord* Load() {
    HostPluginRecord* record = HostLoadPlugin("gen_hushbell.dll");
    EXPECT_NE(record, nullptr);
    return record;
  }
  InstConfig InstConfigExport() {
    return reinterpret_cast<InstConfig>(
        reinterpret_cast<void*>(GetProcAddress(HostPluginModule(), "instConfig")));
  }
  // Through the record, the way the host opens it.
  DialogSession Configure(const std::function<int(HWND)>& script) {
    return RunConfigDialog([] { HostConfigPlugin(); }, script);
  }
  // Through the export, the way an installer opens it.
  DialogSession Install(HWND window, const char* iniPath, int* result,
                        const std::function<int(HWND)>& script) {
    InstConfig instConfig = InstConfigExport();
    EXPECT_NE(instConfig, nullptr);
    if (instConfig == nullptr) return {};
    return RunConfigDialog([&] { *result = instConfig(window, iniPath); }, script);
  }
  // A running poll timer takes over a screen-saver start within about a second.
  bool TimerPausesForTheScreenSaver() {
    HostSetPlayState(HostPlaying);
    size_t before = HostCommandCount();
    SetScreenSaverRunning(true);
    bool paused = HostWaitForCommands(before + 1, 2500);
    SetScreenSaverRunning(false);
    return paused && HostCommandAt(before).Command == Pause;
  }
  // Makes the screen-saver action non-zero without touching the timer: instConfig inside the
  // host loads the settings from another file, and Cancel starts and stops nothing.
  void ArmScreenSaverAction(const std::string& armedIni) {
    int result = -7;
    DialogSession session =
        Install(HostWindowHandle(), armedIni.c_str(), &result, [](HWND) { return IDCANCEL; });
    EXPECT_TRUE(session.Shown);
    EXPECT_EQ(result, 0);
  }
  bool NoTickWithin(DWORD milliseconds) {
    HostSetPlayState(HostPlaying);
    size_t commands = HostCommandCount();
    int queries = HostPlayQueries();
    SetScreenSaverRunning(true);
    HostPump(milliseconds);
    SetScreenSaverRunning(false);
    return HostCommandCount() == commands && HostPlayQueries() == queries;
  }

  std::string ini_;
  std::vector<std::string> files_;
};

// ---------------------------------------------------------------------------------------------
// The resources as the module carries them.

struct ControlLayout {
  int Id;
  const char* Class;
  const char* Caption;
  DWORD Style;
  short X, Y, Width, Height;
};

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD ComboStyle = Child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD CheckStyle = Child | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD EditStyle = Child | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD ArrowStyle = Child | SBS_VERT;
constexpr DWORD UnitStyle = Child | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | WS_GROUP;
constexpr DWORD GroupStyle = Child | BS_GROUPBOX;

constexpr ControlLayout Layout[] = {
    {-1, "BUTTON", "PC &Lock", GroupStyle, 7, 7, 221, 48},
    {1004, "COMBOBOX", "", ComboStyle | CBS_AUTOHSCROLL, 14, 17, 100, 240},
    {1005, "BUTTON", "&Auto Resume if paused/stopped less than", CheckStyle, 14, 37, 148, 14},
    {1007, "EDIT", "", EditStyle, 162, 37, 21, 14},
    {1008, "SCROLLBAR", "", ArrowStyle, 183, 37, 10, 14},
    {1015, "STATIC", "minutes", UnitStyle, 195, 37, 26, 14},
    {-1, "BUTTON", "&Screen Saver", GroupStyle, 7, 56, 221, 48},
    {1011, "COMBOBOX", "", ComboStyle, 14, 66, 100, 240},
    {1010, "BUTTON", "Auto &Resume if paused/stopped less than", CheckStyle, 14, 86, 148, 14},
    {1009, "EDIT", "", EditStyle, 162, 86, 21, 14},
    {1013, "SCROLLBAR", "", ArrowStyle, 183, 86, 10, 14},
    {1016, "STATIC", "minutes", UnitStyle, 195, 86, 26, 14},
    {-1, "BUTTON", "&PC Standby", GroupStyle, 7, 106, 221, 29},
    {1012, "COMBOBOX", "", ComboStyle, 14, 116, 100, 240},
    {-1, "BUTTON", "Online &Update", GroupStyle, 7, 138, 221, 29},
    {1014, "BUTTON", "Automatically check for updates once a week", Child | BS_AUTOCHECKBOX | WS_TABSTOP,
     14, 151, 207, 10},
    {1, "BUTTON", "OK", Child | BS_DEFPUSHBUTTON | WS_TABSTOP, 121, 173, 50, 14},
    {2, "BUTTON", "Cancel", Child | BS_PUSHBUTTON | WS_TABSTOP, 178, 173, 50, 14},
};

// Reads the extended dialog template word by word.
struct TemplateReader {
  const BYTE* At;
  WORD Word() {
    WORD value;
    memcpy(&value, At, 2);
    At += 2;
    return value;
  }
  DWORD Dword() {
    DWORD value;
    memcpy(&value, At, 4);
    At += 4;
    return value;
  }
  short Short() { return static_cast<short>(Word()); }
  std::string Text() {
    std::string text;
    for (WORD c = Word(); c != 0; c = Word()) text += c < 128 ? static_cast<char>(c) : '?';
    return text;
  }
  // A name or an ordinal; ordinals of the predefined classes become their names.
  std::string NameOrOrdinal() {
    WORD first;
    memcpy(&first, At, 2);
    if (first != 0xFFFF) return Text();
    Word();
    WORD ordinal = Word();
    static const char* const Classes[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR",
                                          "COMBOBOX"};
    if (ordinal >= 0x80 && ordinal <= 0x85) return Classes[ordinal - 0x80];
    return "#" + std::to_string(ordinal);
  }
  void AlignDword(const BYTE* base) {
    while ((At - base) % 4 != 0) ++At;
  }
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

std::vector<WORD> ResourceLanguages(HMODULE module, LPCSTR type, LPCSTR name) {
  std::vector<WORD> languages;
  EnumResourceLanguagesA(module, type, name, CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

TEST_F(ConfigDialogTest, TemplateAndStringTableAreStoredAsLaidOut) {
  HMODULE module = LoadLibraryExA("gen_hushbell.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  // Dialog 101 and the string block of 1..15, stored under the neutral language only.
  EXPECT_EQ(ResourceLanguages(module, RT_DIALOG, MAKEINTRESOURCEA(101)),
            std::vector<WORD>{NeutralLanguage});
  EXPECT_EQ(ResourceLanguages(module, RT_STRING, MAKEINTRESOURCEA(1)),
            std::vector<WORD>{NeutralLanguage});

  HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(101), NeutralLanguage);
  ASSERT_NE(found, nullptr);
  auto base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  ASSERT_NE(base, nullptr);
  TemplateReader read{base};
  EXPECT_EQ(read.Word(), 1) << "extended template version";
  EXPECT_EQ(read.Word(), 0xFFFF) << "extended template signature";
  read.Dword();  // help id
  EXPECT_EQ(read.Dword(), DWORD{WS_EX_CONTROLPARENT | WS_EX_CONTEXTHELP});
  EXPECT_EQ(read.Dword(), DWORD{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER |
                                DS_CONTEXTHELP | DS_SETFONT});
  WORD controlCount = read.Word();
  ASSERT_EQ(controlCount, std::size(Layout));
  EXPECT_EQ(read.Short(), 0);
  EXPECT_EQ(read.Short(), 0);
  EXPECT_EQ(read.Short(), 235);
  EXPECT_EQ(read.Short(), 194);
  EXPECT_EQ(read.NameOrOrdinal(), "") << "no menu";
  EXPECT_EQ(read.NameOrOrdinal(), "") << "the standard dialog class";
  EXPECT_EQ(read.Text(), "Tavo Hushbell Configuration");
  EXPECT_EQ(read.Word(), 8) << "point size";
  EXPECT_EQ(read.Word(), 0) << "weight FW_DONTCARE";
  EXPECT_EQ(read.At[0], 0) << "not italic";
  EXPECT_EQ(read.At[1], 1) << "DEFAULT_CHARSET";
  read.At += 2;
  EXPECT_EQ(read.Text(), "MS Sans Serif");

  for (const ControlLayout& expected : Layout) {
    SCOPED_TRACE(expected.Caption[0] != '\0' ? expected.Caption : std::to_string(expected.Id));
    read.AlignDword(base);
    read.Dword();  // help id
    EXPECT_EQ(read.Dword(), 0u) << "extended style";
    EXPECT_EQ(read.Dword(), expected.Style);
    EXPECT_EQ(read.Short(), expected.X);
    EXPECT_EQ(read.Short(), expected.Y);
    EXPECT_EQ(read.Short(), expected.Width);
    EXPECT_EQ(read.Short(), expected.Height);
    EXPECT_EQ(static_cast<int>(read.Dword()), expected.Id);
    EXPECT_EQ(read.NameOrOrdinal(), expected.Class);
    EXPECT_EQ(read.NameOrOrdinal(), expected.Caption);
    WORD extra = read.Word();
    read.At += extra;
  }

  struct StringEntry {
    UINT Id;
    const char* Text;
  };
  const StringEntry strings[] = {
      {1, "Do nothing"},
      {2, "Pause"},
      {3, "Stop"},
      {4, "Select the action to be taken when the computer is locked."},
      {5, "Check this box to resume music after the PC has been unlocked."},
      {6, "If the computer has been locked for more than this amount of minutes the music will "
          "not resume.\r\n\r\nSet this value to zero to disable it."},
      {7, "Select the action to be taken when the screen saver kicks in."},
      {8, "Check this box to resume music after the screen saver stops."},
      {9, "If the screen saver has been on for more than this amount of minutes the music will "
          "not resume.\r\n\r\nSet this value to zero to disable it."},
      {10, "Select the action to be taken when the computer goes standby."},
      {11, "Get notified when a new version of\nTavo Hushbell is available."},
  };
  for (const StringEntry& entry : strings) {
    char text[512] = {};
    int length = LoadStringA(module, entry.Id, text, sizeof text);
    EXPECT_STREQ(text, entry.Text) << "string " << entry.Id;
    EXPECT_EQ(length, static_cast<int>(strlen(entry.Text))) << "string " << entry.Id;
  }
  FreeLibrary(module);
}

// ---------------------------------------------------------------------------------------------
// Filling from the loaded settings, and OK without a change.

struct FillCase {
  const char* Name;
  bool ThroughInstaller;
  KeyValues Stored;  // what the file holds before
  int LockSelection, SaverSelection, StandbySelection;
  bool LockResume, SaverResume, Update;
  const char* LockTimeout;
  const char* SaverTimeout;
  bool LockGroupOn, SaverGroupOn;
  KeyValues SavedByOk;  // what the file holds after OK without a change
};

const FillCase FillCases[] = {
    {"every key stored, through the host",
     false,
     {"2", "0", "15", "1", "1", "0", "2", "0"},
     2, 1, 2, false, true, false, "15", "0", true, true,
     {"2", "0", "15", "1", "1", "0", "2", "0"}},
    {"unknown lock action shows no choice and keeps its group on, through the installer",
     true,
     {"7", "1", "-3", "0", "0", "65536", "0", "0"},
     CB_ERR, 0, 0, true, false, false, "-3", "65536", true, false,
     {"255", "1", "-3", "0", "0", "65536", "0", "0"}},
    {"empty file gives the defaults, through the host",
     false,
     {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
     1, 0, 0, true, false, false, "0", "0", true, false,
     {"1", "1", "0", "0", "0", "0", "0", "0"}},
    {"actions keep their low 8 bits, through the installer",
     true,
     {"258", "1", "5", "3", "0", "7", "3", "1"},
     2, CB_ERR, CB_ERR, true, false, true, "5", "7", true, true,
     {"2", "1", "5", "255", "0", "7", "255", "1"}},
};

TEST_F(ConfigDialogTest, OpensFilledFromTheLoadedSettingsAndOkWithoutChangeKeepsThem) {
  for (const FillCase& c : FillCases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NE(Load(), nullptr);
    std::string file = c.ThroughInstaller ? NewIni() : ini_;
    WriteSettings(file, c.Stored);
    const std::string hostFileBefore = FileBytes(ini_);
    int result = -7;
    auto script = [&](HWND dialog) {
      const std::vector<std::string> labels{"Do nothing", "Pause", "Stop"};
      for (int combo : {LockAction, SaverAction, StandbyAction})
        EXPECT_EQ(ComboItems(dialog, combo), labels) << combo;
      EXPECT_EQ(ComboSelection(dialog, LockAction), c.LockSelection);
      EXPECT_EQ(ComboSelection(dialog, SaverAction), c.SaverSelection);
      EXPECT_EQ(ComboSelection(dialog, StandbyAction), c.StandbySelection);
      EXPECT_EQ(IsChecked(dialog, LockResume), c.LockResume);
      EXPECT_EQ(IsChecked(dialog, SaverResume), c.SaverResume);
      EXPECT_EQ(IsChecked(dialog, UpdateCheck), c.Update);
      EXPECT_EQ(ControlText(dialog, LockTimeout), c.LockTimeout);
      EXPECT_EQ(ControlText(dialog, SaverTimeout), c.SaverTimeout);
      for (int id : {LockResume, LockTimeout, LockArrows, LockMinutes})
        EXPECT_EQ(IsControlEnabled(dialog, id), c.LockGroupOn) << id;
      for (int id : {SaverResume, SaverTimeout, SaverArrows, SaverMinutes})
        EXPECT_EQ(IsControlEnabled(dialog, id), c.SaverGroupOn) << id;
      for (int bar : {LockArrows, SaverArrows}) {
        int low = -1, high = -1;
        GetScrollRange(GetDlgItem(dialog, bar), SB_CTL, &low, &high);
        EXPECT_EQ(low, 0) << bar;
        EXPECT_EQ(high, 65535) << bar;
      }
      return IDOK;
    };
    DialogSession session;
    if (c.ThroughInstaller) {
      session = Install(HostWindowHandle(), file.c_str(), &result, script);
      EXPECT_EQ(result, 1);
      EXPECT_EQ(HostIniQueries(), 0) << "the installer's file is used; the host is not asked";
      EXPECT_EQ(FileBytes(ini_), hostFileBefore);
    } else {
      ASSERT_EQ(HostInitPlugin(), 0);
      session = Configure(script);
    }
    EXPECT_TRUE(session.Shown);
    EXPECT_FALSE(session.TimedOut);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(IniValue(file, SettingKeys[i]), c.SavedByOk[i]) << SettingKeys[i];
    HostQuitPlugin();
    HostUnloadPlugin();
    HostDestroy();
    ASSERT_TRUE(HostCreate(ini_.c_str()));
    WritePrivateProfileStringA("Hushbell", nullptr, nullptr, ini_.c_str());
  }
}

// The template's order is the tab order; the group boxes, labels and arrows take no tab stop.
TEST_F(ConfigDialogTest, TabOrderFollowsTheTemplate) {
  ASSERT_NE(Load(), nullptr);
  WriteIniValue(ini_, "ScreenSaverAction", "1");
  ASSERT_EQ(HostInitPlugin(), 0);
  std::vector<int> order;
  DialogSession session = Configure([&](HWND dialog) {
    HWND first = GetDlgItem(dialog, LockAction);
    HWND at = first;
    do {
      order.push_back(GetDlgCtrlID(at));
      at = GetNextDlgTabItem(dialog, at, FALSE);
    } while (at != nullptr && at != first && order.size() < 40);
    return IDCANCEL;
  });
  ASSERT_TRUE(session.Shown);
  EXPECT_EQ(order, (std::vector<int>{1004, 1005, 1007, 1011, 1010, 1009, 1012, 1014, 1, 2}));
}

// ---------------------------------------------------------------------------------------------
// Enable rules.

TEST_F(ConfigDialogTest, GroupsFollowTheirActionChoiceAndDisabledValuesAreStillSaved) {
  ASSERT_NE(Load(), nullptr);
  WriteIniValue(ini_, "LockAction", "1");
  WriteIniValue(ini_, "LockAutoResume", "1");
  WriteIniValue(ini_, "ScreenSaverAction", "1");
  ASSERT_EQ(HostInitPlugin(), 0);

  struct Step {
    int Combo;
    int Index;
    WORD Notification;  // only the low word of WM_COMMAND counts
    bool LockOn, SaverOn;
  };
  const Step steps[] = {
      {LockAction, 0, CBN_SELCHANGE, false, true},  {LockAction, 1, CBN_SELCHANGE, true, true},
      {SaverAction, 0, CBN_SELENDOK, true, false},  {LockAction, 0, 0, false, false},
      {StandbyAction, 0, CBN_SELCHANGE, false, false}, {StandbyAction, 2, CBN_CLOSEUP, false, false},
      {SaverAction, 2, CBN_SELCHANGE, false, true}, {LockAction, 2, CBN_DROPDOWN, true, true},
      {SaverAction, 1, CBN_SELCHANGE, true, true},  {LockAction, 0, CBN_SELCHANGE, false, true},
  };
  DialogSession session = Configure([&](HWND dialog) {
    SetControlText(dialog, LockTimeout, "12");
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::Message() << "combo " << step.Combo << " item " << step.Index);
      ChooseItem(dialog, step.Combo, step.Index, step.Notification);
      for (int id : {LockResume, LockTimeout, LockArrows, LockMinutes})
        EXPECT_EQ(IsControlEnabled(dialog, id), step.LockOn) << id;
      for (int id : {SaverResume, SaverTimeout, SaverArrows, SaverMinutes})
        EXPECT_EQ(IsControlEnabled(dialog, id), step.SaverOn) << id;
      for (int id : {int{LockAction}, int{SaverAction}, int{StandbyAction}, int{UpdateCheck}, IDOK, IDCANCEL})
        EXPECT_TRUE(IsControlEnabled(dialog, id)) << id;
    }
    // The lock group is now off; its values are kept and read back all the same.
    EXPECT_TRUE(IsChecked(dialog, LockResume));
    return IDOK;
  });
  ASSERT_TRUE(session.Shown);
  EXPECT_EQ(IniValue(ini_, "LockAction"), "0");
  EXPECT_EQ(IniValue(ini_, "LockAutoResume"), "1");
  EXPECT_EQ(IniValue(ini_, "LockTimeout"), "12");
  EXPECT_EQ(IniValue(ini_, "ScreenSaverAction"), "1");
  EXPECT_EQ(IniValue(ini_, "StandbyAction"), "2");
}

// ---------------------------------------------------------------------------------------------
// OK and Cancel.

TEST_F(ConfigDialogTest, OkWritesEveryKeyToTheHostsIniFileAndTheNextOpeningShowsIt) {
  ASSERT_NE(Load(), nullptr);
  KeyValues before = {"1", "1", "0", "0", "0", "0", "0", "0"};
  WriteSettings(ini_, before);
  ASSERT_EQ(HostInitPlugin(), 0);
  int iniQueries = HostIniQueries();
  DialogSession first = Configure([&](HWND dialog) {
    ChooseItem(dialog, LockAction, 2);
    Click(dialog, LockResume);
    SetControlText(dialog, LockTimeout, "100000");
    ChooseItem(dialog, SaverAction, 1);
    Click(dialog, SaverResume);
    SetControlText(dialog, SaverTimeout, "41");
    SendScroll(dialog, SaverArrows, SB_LINEUP);
    ChooseItem(dialog, StandbyAction, 1);
    Click(dialog, UpdateCheck);
    return IDOK;
  });
  ASSERT_TRUE(first.Shown);
  EXPECT_GT(HostIniQueries(), iniQueries) << "the save asks the host for its INI file";
  const char* expected[8] = {"2", "0", "100000", "1", "1", "42", "1", "1"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(IniValue(ini_, SettingKeys[i]), expected[i]) << SettingKeys[i];
  char section[1024] = {};
  DWORD length = GetPrivateProfileSectionA("Hushbell", section, sizeof section, ini_.c_str());
  int keys = 0;
  for (const char* at = section; at < section + length && *at != '\0'; at += strlen(at) + 1) ++keys;
  EXPECT_EQ(keys, 8) << "exactly the eight keys";

  DialogSession second = Configure([&](HWND dialog) {
    EXPECT_EQ(ComboSelection(dialog, LockAction), 2);
    EXPECT_FALSE(IsChecked(dialog, LockResume));
    EXPECT_EQ(ControlText(dialog, LockTimeout), "100000");
    EXPECT_EQ(ComboSelection(dialog, SaverAction), 1);
    EXPECT_TRUE(IsChecked(dialog, SaverResume));
    EXPECT_EQ(ControlText(dialog, SaverTimeout), "42");
    EXPECT_EQ(ComboSelection(dialog, StandbyAction), 1);
    EXPECT_TRUE(IsChecked(dialog, UpdateCheck));
    return IDCANCEL;
  });
  EXPECT_TRUE(second.Shown);
}

TEST_F(ConfigDialogTest, TypedTimeoutsAreStoredAsReadWithoutOverflow) {
  struct TimeoutCase {
    const char* Typed;
    const char* Stored;
  };
  const TimeoutCase cases[] = {
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
      {"12abc", "12"},
  };
  ASSERT_NE(Load(), nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);
  for (const TimeoutCase& c : cases) {
    SCOPED_TRACE(c.Typed);
    DialogSession session = Configure([&](HWND dialog) {
      SetControlText(dialog, LockTimeout, c.Typed);
      SetControlText(dialog, SaverTimeout, c.Typed);
      return IDOK;
    });
    ASSERT_TRUE(session.Shown);
    EXPECT_EQ(IniValue(ini_, "LockTimeout"), c.Stored);
    EXPECT_EQ(IniValue(ini_, "ScreenSaverTimeout"), c.Stored);
  }
}

TEST_F(ConfigDialogTest, CancelLeavesTheFileAndTheSettingsAsTheyWere) {
  ASSERT_NE(Load(), nullptr);
  KeyValues stored = {"2", "0", "15", "1", "1", "3", "2", "0"};
  WriteSettings(ini_, stored);
  ASSERT_EQ(HostInitPlugin(), 0);
  const std::string bytes = FileBytes(ini_);

  // Cancel by button, by the caption's close button and by Esc.
  enum Closer { CancelButton, CloseCommand, EscapeKey };
  for (Closer closer : {CancelButton, CloseCommand, EscapeKey}) {
    SCOPED_TRACE(closer);
    DialogSession session = Configure([&](HWND dialog) {
      ChooseItem(dialog, LockAction, 0);
      Click(dialog, LockResume);
      SetControlText(dialog, LockTimeout, "99");
      ChooseItem(dialog, SaverAction, 0);
      Click(dialog, SaverResume);
      SendScroll(dialog, SaverArrows, SB_LINEUP);
      ChooseItem(dialog, StandbyAction, 0);
      Click(dialog, UpdateCheck);
      switch (closer) {
        case CancelButton:
          return IDCANCEL;
        case CloseCommand:
          PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
          return 0;
        case EscapeKey:
          PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
          return 0;
      }
      return IDCANCEL;
    });
    ASSERT_TRUE(session.Shown);
    EXPECT_FALSE(session.TimedOut);
    EXPECT_EQ(FileBytes(ini_), bytes);
  }
  DialogSession again = Configure([&](HWND dialog) {
    EXPECT_EQ(ComboSelection(dialog, LockAction), 2);
    EXPECT_FALSE(IsChecked(dialog, LockResume));
    EXPECT_EQ(ControlText(dialog, LockTimeout), "15");
    EXPECT_EQ(ComboSelection(dialog, SaverAction), 1);
    EXPECT_TRUE(IsChecked(dialog, SaverResume));
    EXPECT_EQ(ControlText(dialog, SaverTimeout), "3");
    EXPECT_EQ(ComboSelection(dialog, StandbyAction), 2);
    EXPECT_FALSE(IsChecked(dialog, UpdateCheck));
    return IDCANCEL;
  });
  EXPECT_TRUE(again.Shown);
  EXPECT_EQ(FileBytes(ini_), bytes);

  // Enter presses the default button, OK.
  DialogSession entered = Configure([&](HWND dialog) {
    ChooseItem(dialog, StandbyAction, 1);
    PostMessageA(dialog, WM_KEYDOWN, VK_RETURN, 0);
    return 0;
  });
  EXPECT_TRUE(entered.Shown);
  EXPECT_FALSE(entered.TimedOut);
  EXPECT_EQ(IniValue(ini_, "StandbyAction"), "1");
}

// ---------------------------------------------------------------------------------------------
// The arrow buttons.

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
  ASSERT_NE(Load(), nullptr);
  WriteIniValue(ini_, "ScreenSaverAction", "1");
  ASSERT_EQ(HostInitPlugin(), 0);
  const std::string bytes = FileBytes(ini_);
  DialogSession session = Configure([&](HWND dialog) {
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
    // The bars' positions are never moved.
    EXPECT_EQ(GetScrollPos(GetDlgItem(dialog, LockArrows), SB_CTL), 0);
    EXPECT_EQ(GetScrollPos(GetDlgItem(dialog, SaverArrows), SB_CTL), 0);
    return IDCANCEL;
  });
  ASSERT_TRUE(session.Shown);
  EXPECT_EQ(FileBytes(ini_), bytes) << "the edits are scratch until OK";
}

// ---------------------------------------------------------------------------------------------
// The owner window.

HWND CreateDialogWindow(HWND owner, bool withTree) {
  HWND window = CreateWindowExA(0, "#32770", "Decoy", WS_POPUP | WS_CAPTION, 0, 0, 200, 100,
                                owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window != nullptr && withTree)
    CreateWindowExA(0, WC_TREEVIEWA, "Tree1", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, window, nullptr,
                    GetModuleHandleA(nullptr), nullptr);
  return window;
}

TEST_F(ConfigDialogTest, OwnerIsThePreferencesWindowWhileItIsOpenOtherwiseTheHostWindow) {
  ASSERT_NE(Load(), nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);
  HWND host = HostWindowHandle();

  bool ownerDisabled = false;
  auto script = [&](HWND dialog) {
    ownerDisabled = !IsWindowEnabled(GetWindow(dialog, GW_OWNER));
    EXPECT_EQ(GetParent(dialog), GetWindow(dialog, GW_OWNER));
    return IDCANCEL;
  };
  DialogSession plain = Configure(script);
  EXPECT_EQ(plain.Owner, host);
  EXPECT_TRUE(ownerDisabled) << "modal to its owner";
  EXPECT_TRUE(IsWindowEnabled(host));

  // Windows that look alike but are not the host's preferences window are passed over; they
  // are created last, so the walk meets them first.
  HWND preferences = HostOpenPreferences();
  ASSERT_NE(preferences, nullptr);
  HWND noTree = CreateDialogWindow(host, false);
  HWND foreignOwner = CreateDialogWindow(noTree, true);
  HWND unowned = CreateDialogWindow(nullptr, true);
  ASSERT_TRUE(noTree && foreignOwner && unowned);
  DialogSession withPreferences = Configure(script);
  EXPECT_EQ(withPreferences.Owner, preferences);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(preferences));

  HostClosePreferences();
  DialogSession closed = Configure(script);
  EXPECT_EQ(closed.Owner, host);

  // An installer without a window: no window of the session may become the owner, not even
  // an unowned dialog that has the tree view.
  std::string installerIni = NewIni();
  int result = -7;
  DialogSession installer = Install(nullptr, installerIni.c_str(), &result, script);
  EXPECT_TRUE(installer.Shown);
  EXPECT_EQ(installer.Owner, nullptr);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(IsWindowEnabled(unowned));
  DestroyWindow(unowned);
  DestroyWindow(foreignOwner);
  DestroyWindow(noTree);
}

// ---------------------------------------------------------------------------------------------
// Tooltips.

struct ThreadTooltips {
  HWND Owner;
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectTooltip(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<ThreadTooltips*>(context);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, TOOLTIPS_CLASSA) == 0 && GetWindow(window, GW_OWNER) == search->Owner)
    search->Found.push_back(window);
  return TRUE;
}

std::vector<HWND> TooltipsOwnedBy(HWND owner) {
  ThreadTooltips search{owner, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectTooltip, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

TEST_F(ConfigDialogTest, BalloonTipsExplainTheInputControlsWhileTheDialogIsOpen) {
  struct Tip {
    int Control;
    UINT String;
  };
  const Tip tips[] = {{1004, 4}, {1005, 5}, {1007, 6},  {1008, 6},  {1011, 7},
                      {1010, 8}, {1009, 9}, {1013, 9}, {1012, 10}, {1014, 11}};
  ASSERT_NE(Load(), nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);
  HMODULE module = HostPluginModule();
  std::vector<HWND> tooltipsSeen;
  for (int opening = 0; opening < 2; ++opening) {
    SCOPED_TRACE(opening);
    int helpBefore = HostHelpMessages();
    DialogSession session = Configure([&](HWND dialog) {
      std::vector<HWND> tooltips = TooltipsOwnedBy(dialog);
      EXPECT_EQ(tooltips.size(), 1u);
      if (tooltips.size() != 1) return IDCANCEL;
      HWND tooltip = tooltips[0];
      tooltipsSeen.push_back(tooltip);
      DWORD style = static_cast<DWORD>(GetWindowLongA(tooltip, GWL_STYLE));
      EXPECT_EQ(style & (WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP),
                DWORD{WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP});
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), static_cast<LRESULT>(std::size(tips)));
      for (size_t i = 0; i < std::size(tips); ++i) {
        SCOPED_TRACE(tips[i].Control);
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        EXPECT_TRUE(SendMessageA(tooltip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
        HWND control = GetDlgItem(dialog, tips[i].Control);
        EXPECT_EQ(tool.hwnd, control);
        EXPECT_EQ(tool.uId, 0u);
        EXPECT_EQ(tool.uFlags & (TTF_SUBCLASS | TTF_ABSOLUTE | TTF_TRANSPARENT | TTF_IDISHWND),
                  UINT{TTF_SUBCLASS | TTF_ABSOLUTE | TTF_TRANSPARENT});
        EXPECT_EQ(tool.hinst, module);
        RECT client{};
        GetClientRect(control, &client);
        EXPECT_TRUE(EqualRect(&tool.rect, &client));
        // The control loads the text itself from the plug-in's string table. (Wine reports no
        // text pointer for such tools in TTM_ENUMTOOLSA, so the text is asked for instead.)
        WCHAR text[1024] = {};
        WCHAR expected[1024] = {};
        EXPECT_GT(LoadStringW(module, tips[i].String, expected, std::size(expected)), 0);
        TTTOOLINFOW query{};
        query.cbSize = sizeof query;
        query.hwnd = control;
        query.uId = 0;
        query.lpszText = text;
        SendMessageW(tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&query));
        EXPECT_STREQ(text, expected);
      }
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETMAXTIPWIDTH, 0, 0), 225);
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 2000);
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 10000);
      // Wine's tooltip control does not answer TTM_GETTITLE, so the title is not read back here.

      // Help (F1 or the caption's button) redraws the tip and goes on to the owner.
      HELPINFO help{sizeof help, HELPINFO_WINDOW, LockAction, GetDlgItem(dialog, LockAction), 0, {0, 0}};
      SendMessageA(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
      EXPECT_TRUE(IsWindow(tooltip));
      return IDCANCEL;
    });
    ASSERT_TRUE(session.Shown);
    EXPECT_EQ(HostHelpMessages(), helpBefore + 1) << "WM_HELP reaches the owner";
    ASSERT_EQ(tooltipsSeen.size(), static_cast<size_t>(opening + 1));
    EXPECT_FALSE(IsWindow(tooltipsSeen.back())) << "the tooltip goes with the dialog";
  }
}

// ---------------------------------------------------------------------------------------------
// The poll timer.

TEST_F(ConfigDialogTest, OkStartsOrStopsThePollTimerAndCancelLeavesItAsItWas) {
  struct TimerCase {
    const char* Name;
    const char* LockAction;
    const char* SaverAction;
    int ChooseLock, ChooseSaver, ChooseStandby;  // -1 leaves the choice alone
    int Button;
    bool RunningAfter;
  };
  const TimerCase cases[] = {
      {"OK with a screen-saver action starts it", "0", "0", -1, 1, -1, IDOK, true},
      {"OK with neither action stops it, standby or not", "1", "2", 0, 0, 2, IDOK, false},
      {"Cancel leaves a running timer running", "0", "1", 0, 0, -1, IDCANCEL, true},
      {"Cancel leaves a stopped timer stopped", "0", "0", 1, 2, -1, IDCANCEL, false},
      {"OK with both actions keeps it running", "1", "1", -1, -1, -1, IDOK, true},
  };
  std::string armedIni = NewIni();
  WriteIniValue(armedIni, "LockAction", "0");
  WriteIniValue(armedIni, "ScreenSaverAction", "1");
  for (const TimerCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteIniValue(ini_, "LockAction", c.LockAction);
    WriteIniValue(ini_, "ScreenSaverAction", c.SaverAction);
    ASSERT_NE(Load(), nullptr);
    ASSERT_EQ(HostInitPlugin(), 0);
    DialogSession session = Configure([&](HWND dialog) {
      if (c.ChooseLock >= 0) ChooseItem(dialog, LockAction, c.ChooseLock);
      if (c.ChooseSaver >= 0) ChooseItem(dialog, SaverAction, c.ChooseSaver);
      if (c.ChooseStandby >= 0) ChooseItem(dialog, StandbyAction, c.ChooseStandby);
      return c.Button;
    });
    ASSERT_TRUE(session.Shown);
    ArmScreenSaverAction(armedIni);
    if (c.RunningAfter)
      EXPECT_TRUE(TimerPausesForTheScreenSaver());
    else
      EXPECT_TRUE(NoTickWithin(2500));
    HostQuitPlugin();
    HostUnloadPlugin();
    HostClearCommands();
  }
}

// An installer's process has no initialised plug-in: OK saves, but no timer may be left to send
// player commands to the installer's window, and nothing may keep the module loaded.
TEST_F(ConfigDialogTest, InstConfigInAPlainProcessSavesAndLeavesNoTimerRunning) {
  ASSERT_NE(Load(), nullptr);
  std::string installerIni = NewIni();
  WriteIniValue(installerIni, "LockAction", "1");
  WriteIniValue(installerIni, "ScreenSaverAction", "1");
  const std::string installerBytes = FileBytes(installerIni);
  HWND installerWindow = HostWindowHandle();

  int result = -7;
  DialogSession cancelled = Install(installerWindow, installerIni.c_str(), &result, [](HWND dialog) {
    ChooseItem(dialog, StandbyAction, 2);
    return IDCANCEL;
  });
  ASSERT_TRUE(cancelled.Shown);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(FileBytes(installerIni), installerBytes);

  DialogSession confirmed = Install(installerWindow, installerIni.c_str(), &result, [](HWND dialog) {
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), HostWindowHandle());
    ChooseItem(dialog, SaverAction, 2);
    return IDOK;
  });
  ASSERT_TRUE(confirmed.Shown);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(IniValue(installerIni, "LockAction"), "1");
  EXPECT_EQ(IniValue(installerIni, "ScreenSaverAction"), "2");
  EXPECT_EQ(IniValue(installerIni, "Verlift"), "0");
  EXPECT_EQ(HostIniQueries(), 0);
  EXPECT_EQ(FileBytes(ini_), "") << "the host's file is not touched";

  EXPECT_TRUE(NoTickWithin(2500)) << "no query and no command reached the installer's window";
  HostUnloadPlugin();
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr) << "nothing holds the module";

  // Without a path the window is asked for its INI file, as the host would be.
  ASSERT_NE(Load(), nullptr);
  DialogSession hostFile = Install(installerWindow, nullptr, &result, [](HWND dialog) {
    ChooseItem(dialog, StandbyAction, 1);
    return IDOK;
  });
  ASSERT_TRUE(hostFile.Shown);
  EXPECT_EQ(result, 1);
  EXPECT_GE(HostIniQueries(), 1);
  EXPECT_EQ(IniValue(ini_, "StandbyAction"), "1");
  EXPECT_TRUE(NoTickWithin(1500));
}

// Called inside an initialised host, instConfig must hand the record back its host window: the
// timer sends to it and quit unhooks it.
TEST_F(ConfigDialogTest, InstConfigInsideTheHostRestoresTheHostWindow) {
  WriteIniValue(ini_, "ScreenSaverAction", "1");
  ASSERT_NE(Load(), nullptr);
  HWND host = HostWindowHandle();
  WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongA(host, GWL_WNDPROC));
  ASSERT_EQ(HostInitPlugin(), 0);
  ASSERT_NE(reinterpret_cast<WNDPROC>(GetWindowLongA(host, GWL_WNDPROC)), original);

  HWND other = CreateWindowExA(0, "STATIC", "installer", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  LONG otherProc = GetWindowLongA(other, GWL_WNDPROC);
  std::string installerIni = NewIni();
  WriteIniValue(installerIni, "ScreenSaverAction", "1");
  int result = -7;
  DialogSession session = Install(other, installerIni.c_str(), &result, [](HWND dialog) {
    ChooseItem(dialog, LockAction, 2);
    return IDOK;
  });
  ASSERT_TRUE(session.Shown);
  EXPECT_EQ(session.Owner, other) << "the caller's window owns the dialog";
  EXPECT_EQ(result, 1);
  EXPECT_EQ(IniValue(installerIni, "LockAction"), "2");

  EXPECT_TRUE(TimerPausesForTheScreenSaver()) << "the timer talks to the host window again";
  HostQuitPlugin();
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(host, GWL_WNDPROC)), original);
  EXPECT_EQ(GetWindowLongA(other, GWL_WNDPROC), otherProc);
  DestroyWindow(other);
}

// A host that unloads the module without quit: the running timer keeps the module mapped, and
// a later quit stops it and lets the module go.
TEST_F(ConfigDialogTest, UnloadWithoutQuitCannotPullTheModuleFromUnderItsTimer) {
  WriteIniValue(ini_, "ScreenSaverAction", "1");
  HostPluginRecord* record = Load();
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);
  void (*quitPlugin)() = record->quit;
  HWND host = HostWindowHandle();
  WNDPROC hooked = reinterpret_cast<WNDPROC>(GetWindowLongA(host, GWL_WNDPROC));
  HostUnloadPlugin();
  ASSERT_NE(GetModuleHandleA("gen_hushbell.dll"), nullptr);
  EXPECT_TRUE(TimerPausesForTheScreenSaver()) << "ticks still run in mapped code";
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(host, GWL_WNDPROC)), hooked);

  HMODULE again = LoadLibraryA("gen_hushbell.dll");
  ASSERT_NE(again, nullptr);
  quitPlugin();
  FreeLibrary(again);
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr);
  EXPECT_TRUE(NoTickWithin(1500));
}

// ---------------------------------------------------------------------------------------------
// Texts that do not fit their buffers.

// A copy of the module whose first three strings (the action captions) are replaced.
bool WriteModuleWithCaptions(const std::string& path, const std::wstring (&captions)[3]) {
  char source[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, source, sizeof source);
  std::string folder(source);
  folder.resize(folder.find_last_of('\\') + 1);
  if (!CopyFileA((folder + "gen_hushbell.dll").c_str(), path.c_str(), FALSE)) return false;
  HMODULE original = LoadLibraryExA((folder + "gen_hushbell.dll").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
  // Block 1 holds strings 0 to 15, each a length and its UTF-16 characters.
  std::vector<WORD> block;
  for (UINT id = 0; id < 16; ++id) {
    std::wstring text;
    if (id >= 1 && id <= 3) {
      text = captions[id - 1];
    } else if (id >= 4) {
      WCHAR kept[512] = {};
      int length = LoadStringW(original, id, kept, std::size(kept));
      text.assign(kept, length > 0 ? length : 0);
    }
    block.push_back(static_cast<WORD>(text.size()));
    for (wchar_t c : text) block.push_back(static_cast<WORD>(c));
  }
  FreeLibrary(original);
  HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
  if (update == nullptr) return false;
  if (!UpdateResourceA(update, RT_STRING, MAKEINTRESOURCEA(1), NeutralLanguage, block.data(),
                       static_cast<DWORD>(block.size() * sizeof(WORD))))
    return false;
  return EndUpdateResourceA(update, FALSE) != FALSE;
}

TEST_F(ConfigDialogTest, OverlongActionCaptionsAreCutToFortyEightCharacters) {
  const std::wstring captions[3] = {
      std::wstring(60, L'N') + L"othing", L"Pause",
      L"Stop, and then a great deal of explanation that no combo box could ever need"};
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  std::string copy = std::string(folder) + "hb_captions_" + std::to_string(GetCurrentProcessId()) + ".dll";
  files_.push_back(copy);
  ASSERT_TRUE(WriteModuleWithCaptions(copy, captions));
  ASSERT_NE(HostLoadPlugin(copy.c_str()), nullptr);
  std::vector<std::string> items;
  DialogSession session = Configure([&](HWND dialog) {
    items = ComboItems(dialog, StandbyAction);
    EXPECT_EQ(ComboItems(dialog, LockAction), items);
    return IDCANCEL;
  });
  ASSERT_TRUE(session.Shown);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], std::string(48, 'N'));
  EXPECT_EQ(items[1], "Pause");
  const std::string third(captions[2].begin(), captions[2].end());
  EXPECT_EQ(items[2], third.substr(0, 48));
  HostUnloadPlugin();
}

}  // namespace
