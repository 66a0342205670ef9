// The configuration dialog of the real gen_hushbell.dll under Wine: its resources as the module
// carries them, and its values: filling, enable rules, tab order, typed timeouts, arrows, OK and
// Cancel.
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "config_dialog_test.h"
#include "dialog_template.h"

namespace {

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
    const char* Stored;  // the file before (empty: nothing stored)
    const char* Shown;
    bool LockGroupOn, SaverGroupOn;
    const char* SavedByOk;  // the file after OK without a change
  };
  const FillCase cases[] = {
      {"every key stored, through the host", Host, "2 0 15 1 1 0 2 0 1", "2 0 15 1 1 0 2 0 1", true, true,
       "2 0 15 1 1 0 2 0 1"},
      {"unknown lock action shows no choice and keeps its group on, through the installer", Installer,
       "7 1 -3 0 0 65536 0 0 1", "-1 1 -3 0 0 65536 0 0 1", true, false, "255 1 -3 0 0 65536 0 0 1"},
      {"empty file gives the defaults, through the host", Host, "", "1 1 0 0 0 0 0 0 0", true, false,
       "1 1 0 0 0 0 0 0 0"},
      {"actions keep their low 8 bits, through the installer", Installer, "258 1 5 3 0 7 3 1 0",
       "2 1 5 -1 0 7 -1 1 0", true, true, "2 1 5 255 0 7 255 1 0"},
      {"the host's file has only a UTF-16 name, which it gives", HostInUtf16, "258 0 15 1 1 0 7 0 1",
       "2 0 15 1 1 0 -1 0 1", true, true, "2 0 15 1 1 0 255 0 1"},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(Fresh());
    std::string file = c.Via == Installer ? NewIni() : c.Via == HostInUtf16 ? NewForeignIni() : ini_;
    WriteValues(file, Split(c.Stored));
    const std::string hostFileBefore = FileBytes(ini_);
    if (c.Via == HostInUtf16) HostAnswerWideIniQuery(Wide(file).c_str());
    ASSERT_TRUE(Start(c.Via != Installer));
    auto script = [&](HWND dialog) {
      for (int combo : ActionCombos)
        EXPECT_EQ(ComboItems(dialog, combo), (Values{"Do nothing", "Pause", "Stop"})) << combo;
      EXPECT_EQ(ShownValues(dialog), Split(c.Shown));
      ExpectGroups(dialog, c.LockGroupOn, c.SaverGroupOn);
      for (int bar : {IDC_LOCK_ARROWS, IDC_SAVER_ARROWS}) {
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
    EXPECT_EQ(StoredValues(file), Split(c.SavedByOk));
  }
}

TEST_F(ConfigDialogTest, TabOrderFollowsTheTemplateGroupsTheirChoiceAndDisabledValuesAreSaved) {
  WriteIniSettings(ini_, "LockAction=1 LockAutoResume=1 ScreenSaverAction=1");
  ASSERT_TRUE(Start());
  struct Step {
    int Combo, Index;
    WORD Notification;  // only the low word of WM_COMMAND counts
    bool LockOn, SaverOn;
  };
  const Step steps[] = {
      {IDC_LOCK_ACTION, 0, CBN_SELCHANGE, false, true},
      {IDC_LOCK_ACTION, 1, CBN_SELCHANGE, true, true},
      {IDC_SAVER_ACTION, 0, CBN_SELENDOK, true, false},
      {IDC_LOCK_ACTION, 0, 0, false, false},
      {IDC_STANDBY_ACTION, 0, CBN_SELCHANGE, false, false},
      {IDC_STANDBY_ACTION, 2, CBN_CLOSEUP, false, false},
      {IDC_SAVER_ACTION, 2, CBN_SELCHANGE, false, true},
      {IDC_LOCK_ACTION, 2, CBN_DROPDOWN, true, true},
      {IDC_SAVER_ACTION, 1, CBN_SELCHANGE, true, true},
      {IDC_LOCK_ACTION, 0, CBN_SELCHANGE, false, true},
  };
  const int alwaysOn[] = {IDC_LOCK_ACTION, IDC_SAVER_ACTION, IDC_STANDBY_ACTION, IDC_UPDATE_CHECK, IDOK,
                          IDCANCEL};
  std::vector<int> tabOrder;
  Configure([&](HWND dialog) {
    HWND first = GetDlgItem(dialog, IDC_LOCK_ACTION), at = first;
    do {
      tabOrder.push_back(GetDlgCtrlID(at));
      at = GetNextDlgTabItem(dialog, at, FALSE);
    } while (at != nullptr && at != first && tabOrder.size() < 40);
    SetControlText(dialog, IDC_LOCK_TIMEOUT, "12");
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
  EXPECT_EQ(StoredValues(ini_), Split("0 1 12 1 0 0 2 0 0"));
}

// Every control is changed each time; Cancel, the caption's close button and Esc keep none of
// it, and Enter presses OK, which writes every key to the host's file.
TEST_F(ConfigDialogTest, OnlyOkSavesAndTheNextOpeningShowsWhatWasSaved) {
  const Values stored = Split("2 0 15 1 1 3 2 0 0"), changed = Split("1 1 100000 2 0 42 1 1 1");
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
      ChooseItem(dialog, IDC_LOCK_ACTION, 1);
      Click(dialog, IDC_LOCK_RESUME);
      SetControlText(dialog, IDC_LOCK_TIMEOUT, "100000");
      ChooseItem(dialog, IDC_SAVER_ACTION, 2);
      Click(dialog, IDC_SAVER_RESUME);
      SetControlText(dialog, IDC_SAVER_TIMEOUT, "41");
      SendScroll(dialog, IDC_SAVER_ARROWS, SB_LINEUP);
      ChooseItem(dialog, IDC_STANDBY_ACTION, 1);
      Click(dialog, IDC_UPDATE_CHECK);
      Click(dialog, IDC_SAVER_DISPLAY_OFF);
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
      SetControlText(dialog, IDC_LOCK_TIMEOUT, c[0]);
      SetControlText(dialog, IDC_SAVER_TIMEOUT, c[0]);
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
      {IDC_LOCK_ARROWS, "65535", SB_LINEUP, "65535"},
      {IDC_LOCK_ARROWS, "0", SB_LINEDOWN, "0"},
      {IDC_LOCK_ARROWS, "", SB_LINEUP, "1"},
      {IDC_SAVER_ARROWS, "", SB_LINEDOWN, "0"},
      {IDC_SAVER_ARROWS, "007", SB_LINEUP, "8"},
      {IDC_LOCK_ARROWS, "41", SB_LINEDOWN, "40"},
      {IDC_LOCK_ARROWS, "100000", SB_LINEUP, "65535"},
      {IDC_SAVER_ARROWS, "100000", SB_LINEDOWN, "65535"},
      {IDC_LOCK_ARROWS, "-7", SB_LINEUP, "0"},
      {IDC_SAVER_ARROWS, tooLong.c_str(), SB_LINEDOWN, "65535"},
      // Anything but a plain line step changes nothing; the whole wParam counts.
      {IDC_LOCK_ARROWS, "12", SB_PAGEUP, "12"},
      {IDC_LOCK_ARROWS, "12", SB_PAGEDOWN, "12"},
      {IDC_SAVER_ARROWS, "12", MAKEWPARAM(SB_THUMBPOSITION, 3), "12"},
      {IDC_SAVER_ARROWS, "12", MAKEWPARAM(SB_LINEUP, 3), "12"},
      {IDC_LOCK_ARROWS, "12", SB_TOP, "12"},
      {IDC_LOCK_ARROWS, "12", SB_ENDSCROLL, "12"},
      // Scroll messages from anything but the two arrow bars change nothing.
      {IDC_LOCK_ACTION, "12", SB_LINEUP, "12"},
      {0, "12", SB_LINEUP, "12"},
  };
  WriteIniInt(ini_, "ScreenSaverAction", 1);
  ASSERT_TRUE(Start());
  const std::string bytes = FileBytes(ini_);
  Configure([&](HWND dialog) {
    for (const ArrowCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "bar " << c.Bar << " text '" << c.Before << "' code " << c.Code);
      int edit = c.Bar == IDC_SAVER_ARROWS ? IDC_SAVER_TIMEOUT : IDC_LOCK_TIMEOUT;
      int other = edit == IDC_LOCK_TIMEOUT ? IDC_SAVER_TIMEOUT : IDC_LOCK_TIMEOUT;
      SetControlText(dialog, edit, c.Before);
      SetControlText(dialog, other, "4321");
      SendScroll(dialog, c.Bar, c.Code);
      EXPECT_EQ(ControlText(dialog, edit), c.After);
      EXPECT_EQ(ControlText(dialog, other), "4321");
    }
    for (int bar : {IDC_LOCK_ARROWS, IDC_SAVER_ARROWS})
      EXPECT_EQ(GetScrollPos(GetDlgItem(dialog, bar), SB_CTL), 0) << bar << " never moves";
    return IDCANCEL;
  });
  EXPECT_EQ(FileBytes(ini_), bytes) << "the edits are scratch until OK";
}

// ---------------------------------------------------------------------------------------------
// Action captions that do not fit their buffers.

// A copy of the module whose first three strings (the action captions) are replaced.
bool WriteModuleWithCaptions(const std::string& path, const std::wstring (&captions)[3]) {
  const std::string source = Utf8(ProgramFolder()) + "gen_hushbell.dll";
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
  const std::string copy = Utf8(temp_.Path) + "hb_captions.dll";
  ASSERT_TRUE(WriteModuleWithCaptions(copy, captions));
  ASSERT_NE(HostLoadPlugin(copy.c_str()), nullptr);
  Values items;
  Configure([&](HWND dialog) {
    items = ComboItems(dialog, IDC_STANDBY_ACTION);
    EXPECT_EQ(ComboItems(dialog, IDC_LOCK_ACTION), items);
    return IDCANCEL;
  });
  const std::string third(captions[2].begin(), captions[2].end());
  EXPECT_EQ(items, (Values{std::string(48, 'N'), "Pause", third.substr(0, 48)}));
}

}  // namespace
