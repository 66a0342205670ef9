// The configuration dialog of the real gen_hushbell.dll under Wine: its resources as the module
// carries them, and its values: filling, enable rules, tab order, typed timeouts, arrows, OK and
// Cancel.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "config_dialog_test.h"
#include "dialog_template.h"
#include "plugin.h"

namespace {

// ---------------------------------------------------------------------------------------------
// The resources as the module carries them.

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

// Checked against the resource header and for a sound layout, not against a copy of the script:
// every control the code drives is there once, and every string it loads is there whole.
TEST_F(ConfigDialogTest, TemplateAndStringTableAreStoredAsLaidOut) {
  HMODULE module = LoadLibraryExA("gen_hushbell.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  // The template and the string block of 1..15, stored under the neutral language only.
  for (auto [type, name] : {std::pair{RT_DIALOG, IDD_CONFIG}, std::pair{RT_STRING, 1}}) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(name), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{NeutralLanguage}) << name;
  }

  HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(IDD_CONFIG), NeutralLanguage);
  ASSERT_NE(found, nullptr);
  DialogTemplate dialog;
  ASSERT_TRUE(ReadDialogTemplate(
      {static_cast<const uint8_t*>(LockResource(LoadResource(module, found))), SizeofResource(module, found)},
      dialog));
  EXPECT_EQ(dialog.Caption.rfind(PluginDescription, 0), 0u) << "the caption names the plug-in";
  // Every string is there, whole, with its escapes resolved, and none is another's copy.
  std::set<std::string> texts;
  for (UINT id = IDS_ACTION_NOTHING; id <= IDS_TIP_UNPLUG_UNAVAILABLE; ++id) {
    char text[512] = {};
    int length = LoadStringA(module, id, text, sizeof text);
    EXPECT_TRUE(length > 0 && length < static_cast<int>(sizeof text) - 1) << id;
    EXPECT_EQ(strchr(text, '\\'), nullptr) << id;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), size_t{IDS_TIP_UNPLUG_UNAVAILABLE});
  FreeLibrary(module);

  // Open, every control lies inside the dialog and none but a group box (id -1) covers another.
  ASSERT_TRUE(Start());
  Configure([](HWND live) {
    // The caption's help button (F1's twin) and its close button.
    EXPECT_NE(GetWindowLongA(live, GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);
    EXPECT_EQ(GetWindowLongA(live, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    RECT all{}, both{};
    GetClientRect(live, &all);
    std::vector<RECT> placed;
    std::multiset<int> ids;
    for (HWND control = GetWindow(live, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
      SCOPED_TRACE(GetDlgCtrlID(control));
      RECT at{};
      GetWindowRect(control, &at);
      MapWindowPoints(nullptr, live, reinterpret_cast<POINT*>(&at), 2);
      EXPECT_TRUE(IsWindowVisible(control) && UnionRect(&both, &all, &at) && EqualRect(&both, &all));
      if (GetDlgCtrlID(control) == -1) continue;
      InflateRect(&at, -1, -1);  // from dialog units, abutting controls may share a pixel
      for (const RECT& other : placed) EXPECT_FALSE(IntersectRect(&both, &at, &other));
      placed.push_back(at);
      ids.insert(GetDlgCtrlID(control));
    }
    EXPECT_EQ(ids,
              (std::multiset<int>{IDC_LOCK_ACTION, IDC_LOCK_RESUME, IDC_LOCK_TIMEOUT, IDC_LOCK_ARROWS,
                                  IDC_LOCK_MINUTES, IDC_SAVER_ACTION, IDC_SAVER_RESUME, IDC_SAVER_TIMEOUT,
                                  IDC_SAVER_ARROWS, IDC_SAVER_MINUTES, IDC_SAVER_DISPLAY_OFF, IDC_RESUME_FADE,
                                  IDC_RESUME_FADE_ARROWS, IDC_RESUME_FADE_SECONDS, IDC_STANDBY_ACTION,
                                  IDC_UNPLUG_ACTION, IDC_UPDATE_CHECK, IDOK, IDCANCEL}));
    // An item's index is the action it stands for, so the lists keep their order.
    for (int combo : ActionCombos)
      EXPECT_EQ(GetWindowLongA(GetDlgItem(live, combo), GWL_STYLE) & (CBS_SORT | CBS_DROPDOWNLIST),
                CBS_DROPDOWNLIST);
    for (int edit : {IDC_LOCK_TIMEOUT, IDC_SAVER_TIMEOUT, IDC_RESUME_FADE})
      EXPECT_NE(GetWindowLongA(GetDlgItem(live, edit), GWL_STYLE) & ES_NUMBER, 0) << "digits only";
    return IDCANCEL;
  });
}

// ---------------------------------------------------------------------------------------------
// Filling, enable rules, tab order, OK and Cancel.

TEST_F(ConfigDialogTest, OpensFilledFromTheLoadedSettingsAndOkWithoutChangeKeepsThem) {
  enum Through { Host, Installer, HostInUtf16 };
  // Stored is the file before, SavedByOk the file after OK without a change; a setting not named
  // is absent from the file, and shown and saved as its default.
  const struct {
    const char* Name;
    Through Via;
    const char *Stored, *Shown;
    bool LockGroupOn, SaverGroupOn;
    const char* SavedByOk;
  } cases[] = {
      {"every key stored, through the host", Host,
       "LockAction=2 LockAutoResume=0 LockTimeout=15 ScreenSaverAction=1 ScreenSaverAutoResume=1 "
       "ScreenSaverTimeout=0 StandbyAction=2 Verlift=0 ScreenSaverDisplayOff=1 UnplugAction=2",
       "LockAction=2 LockAutoResume=0 LockTimeout=15 ScreenSaverAction=1 ScreenSaverAutoResume=1 "
       "StandbyAction=2 "
       "ScreenSaverDisplayOff=1 UnplugAction=2",
       true, true,
       "LockAction=2 LockAutoResume=0 LockTimeout=15 ScreenSaverAction=1 ScreenSaverAutoResume=1 "
       "StandbyAction=2 "
       "ScreenSaverDisplayOff=1 UnplugAction=2"},
      {"unknown lock action shows no choice and keeps its group on, through the installer", Installer,
       "LockAction=7 LockTimeout=-3 ScreenSaverTimeout=65536 ScreenSaverDisplayOff=1 ResumeFadeSeconds=99",
       // The fade's seconds past their range count as its end.
       "LockAction=-1 LockTimeout=-3 ScreenSaverTimeout=65536 ScreenSaverDisplayOff=1 ResumeFadeSeconds=10",
       true, false,
       "LockAction=255 LockTimeout=-3 ScreenSaverTimeout=65536 ScreenSaverDisplayOff=1 ResumeFadeSeconds=10"},
      {"empty file gives the defaults, through the host", Host, "", "", true, false, ""},
      {"actions keep their low 8 bits, through the installer", Installer,
       "LockAction=258 LockTimeout=5 ScreenSaverAction=3 ScreenSaverTimeout=7 StandbyAction=3 Verlift=1 "
       "UnplugAction=257",
       "LockAction=2 LockTimeout=5 ScreenSaverAction=-1 ScreenSaverTimeout=7 StandbyAction=-1 Verlift=1 "
       "UnplugAction=1",
       true, true,
       "LockAction=2 LockTimeout=5 ScreenSaverAction=255 ScreenSaverTimeout=7 StandbyAction=255 Verlift=1 "
       "UnplugAction=1"},
      {"the host's file has only a UTF-16 name, which it gives", HostInUtf16,
       "LockAction=258 LockAutoResume=0 LockTimeout=15 ScreenSaverAction=1 ScreenSaverAutoResume=1 "
       "StandbyAction=7 "
       "ScreenSaverDisplayOff=1",
       "LockAction=2 LockAutoResume=0 LockTimeout=15 ScreenSaverAction=1 ScreenSaverAutoResume=1 "
       "StandbyAction=-1 "
       "ScreenSaverDisplayOff=1",
       true, true,
       "LockAction=2 LockAutoResume=0 LockTimeout=15 ScreenSaverAction=1 ScreenSaverAutoResume=1 "
       "StandbyAction=255 "
       "ScreenSaverDisplayOff=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(Fresh());
    std::string file = c.Via == Installer ? NewIni() : c.Via == HostInUtf16 ? NewForeignIni() : ini_;
    WriteIniSettings(file, c.Stored);
    const std::string hostFileBefore = FileBytes(ini_);
    if (c.Via == HostInUtf16) HostAnswerWideIniQuery(Wide(file).c_str());
    ASSERT_TRUE(Start(c.Via != Installer));
    auto script = [&](HWND dialog) {
      for (int combo : ActionCombos) EXPECT_EQ(ComboItems(dialog, combo), ActionCaptions()) << combo;
      EXPECT_EQ(ShownValues(dialog), Named(c.Shown));
      ExpectGroups(dialog, c.LockGroupOn, c.SaverGroupOn);
      for (int bar : {IDC_LOCK_ARROWS, IDC_SAVER_ARROWS, IDC_RESUME_FADE_ARROWS}) {
        int low = -1, high = -1;
        GetScrollRange(GetDlgItem(dialog, bar), SB_CTL, &low, &high);
        EXPECT_EQ(std::to_string(low) + ".." + std::to_string(high),
                  bar == IDC_RESUME_FADE_ARROWS ? "0..10" : "0..65535");
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
    EXPECT_EQ(StoredValues(file), Named(c.SavedByOk));
  }
}

TEST_F(ConfigDialogTest, TabOrderFollowsTheTemplateGroupsTheirChoiceAndDisabledValuesAreSaved) {
  WriteIniSettings(ini_, "LockAction=1 LockAutoResume=1 ScreenSaverAction=1");
  ASSERT_TRUE(Start());
  // Combo, item, notification (only the low word of WM_COMMAND counts), then whether the lock
  // and the screen-saver groups are on.
  const std::tuple<int, int, WORD, bool, bool> steps[] = {
      {IDC_LOCK_ACTION, 0, CBN_SELCHANGE, false, true},
      {IDC_LOCK_ACTION, 1, CBN_SELCHANGE, true, true},
      {IDC_SAVER_ACTION, 0, CBN_SELENDOK, true, false},
      {IDC_LOCK_ACTION, 0, 0, false, false},
      {IDC_STANDBY_ACTION, 0, CBN_SELCHANGE, false, false},
      {IDC_STANDBY_ACTION, 2, CBN_CLOSEUP, false, false},
      {IDC_SAVER_ACTION, 2, CBN_SELCHANGE, false, true},
      {IDC_LOCK_ACTION, 2, CBN_DROPDOWN, true, true},
      {IDC_SAVER_ACTION, 1, CBN_SELCHANGE, true, true},
      {IDC_LOCK_ACTION, 0, CBN_SELCHANGE, false, true}};
  const int alwaysOn[] = {IDC_LOCK_ACTION,
                          IDC_SAVER_ACTION,
                          IDC_RESUME_FADE,
                          IDC_STANDBY_ACTION,
                          IDC_UNPLUG_ACTION,
                          IDC_UPDATE_CHECK,
                          IDOK,
                          IDCANCEL};
  std::vector<int> tabOrder;
  Configure([&](HWND dialog) {
    HWND first = GetDlgItem(dialog, IDC_LOCK_ACTION), at = first;
    do {
      tabOrder.push_back(GetDlgCtrlID(at));
      at = GetNextDlgTabItem(dialog, at, FALSE);
    } while (at != nullptr && at != first && tabOrder.size() < 40);
    SetControlText(dialog, IDC_LOCK_TIMEOUT, "12");
    for (auto [combo, index, notification, lockOn, saverOn] : steps) {
      SCOPED_TRACE(testing::Message() << "combo " << combo << " item " << index);
      ChooseItem(dialog, combo, index, notification);
      ExpectGroups(dialog, lockOn, saverOn);
      for (int id : alwaysOn) EXPECT_TRUE(IsControlEnabled(dialog, id)) << id;
    }
    return IDOK;
  });
  // The group boxes, labels and arrows take no tab stop.
  EXPECT_EQ(tabOrder,
            (std::vector<int>{IDC_LOCK_ACTION, IDC_LOCK_RESUME, IDC_LOCK_TIMEOUT, IDC_SAVER_ACTION,
                              IDC_SAVER_RESUME, IDC_SAVER_TIMEOUT, IDC_SAVER_DISPLAY_OFF, IDC_RESUME_FADE,
                              IDC_STANDBY_ACTION, IDC_UNPLUG_ACTION, IDC_UPDATE_CHECK, IDOK, IDCANCEL}));
  EXPECT_EQ(StoredValues(ini_), Named("LockAction=0 LockTimeout=12 ScreenSaverAction=1 StandbyAction=2"));
}

// Every control is changed each time; Cancel, the caption's close button and Esc keep none of
// it, and Enter presses OK, which writes every key to the host's file.
TEST_F(ConfigDialogTest, OnlyOkSavesAndTheNextOpeningShowsWhatWasSaved) {
  const char* const storedText =
      "LockAction=2 LockAutoResume=0 LockTimeout=15 ScreenSaverAction=1 ScreenSaverAutoResume=1 "
      "ScreenSaverTimeout=3 StandbyAction=2 UnplugAction=1";
  const Values stored = Named(storedText),
               changed = Named(
                   "LockTimeout=100000 ScreenSaverAction=2 ScreenSaverTimeout=42 StandbyAction=1 "
                   "Verlift=1 ScreenSaverDisplayOff=1 ResumeFadeSeconds=10 UnplugAction=2");
  WriteIniSettings(ini_, storedText);
  ASSERT_TRUE(Start());
  const std::string bytes = FileBytes(ini_);
  // Message 0: the Cancel button.
  const std::tuple<const char*, UINT, WPARAM> closers[] = {{"Cancel", 0, 0},
                                                           {"close button", WM_SYSCOMMAND, SC_CLOSE},
                                                           {"Esc", WM_KEYDOWN, VK_ESCAPE},
                                                           {"Enter, for OK", WM_KEYDOWN, VK_RETURN}};
  for (auto [name, message, code] : closers) {
    SCOPED_TRACE(name);
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
      // The fade's arrows stop at its 10 seconds.
      SetControlText(dialog, IDC_RESUME_FADE, "9");
      SendScroll(dialog, IDC_RESUME_FADE_ARROWS, SB_LINEUP);
      SendScroll(dialog, IDC_RESUME_FADE_ARROWS, SB_LINEUP);
      ChooseItem(dialog, IDC_UNPLUG_ACTION, 2);
      if (message == 0) return IDCANCEL;
      PostMessageA(dialog, message, code, 0);
      return 0;
    });
    if (code != VK_RETURN) {
      EXPECT_EQ(FileBytes(ini_), bytes);
      continue;
    }
    EXPECT_GT(HostIniQueries(), iniQueries) << "the save asks the host for its INI file";
    EXPECT_EQ(StoredValues(ini_), changed);
    const std::string saved = FileBytes(ini_);
    EXPECT_EQ(size_t(std::count(saved.begin(), saved.end(), '=')), std::size(SettingRows))
        << "every key once";
  }
  Configure([&](HWND dialog) {
    EXPECT_EQ(ShownValues(dialog), changed);
    return IDCANCEL;
  });
}

TEST_F(ConfigDialogTest, TypedTimeoutsAreStoredAsReadWithoutOverflow) {
  // Typed, stored. The parsing is the native TimeoutText cases'; these rows are the dialog's: it
  // parses as they do (past 32 bits too), keeps the sign, does not clamp to the arrows' range, and
  // reads only the first 31 characters (the digit after the zeros does not count).
  const char* const cases[][2] = {{"100000", "100000"},
                                  {"-5", "-5"},
                                  {"2147483648", "2147483647"},
                                  {"00000000000000000000000000000005", "0"}};
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
  // Bar, text before, code, text after. The arithmetic is the native TimeoutText.ArrowSteps';
  // these rows step each edit both ways within the range, read only 31 characters (the digit
  // after the zeros does not count), and from the row of "12" on: anything but a plain line
  // step changes nothing, the whole wParam counts, and scroll messages from anything but the two
  // arrow bars change nothing.
  const std::tuple<int, const char*, WPARAM, const char*> cases[] = {
      {IDC_LOCK_ARROWS, "65535", SB_LINEUP, "65535"},
      {IDC_LOCK_ARROWS, "", SB_LINEUP, "1"},
      {IDC_SAVER_ARROWS, "", SB_LINEDOWN, "0"},
      {IDC_SAVER_ARROWS, "007", SB_LINEUP, "8"},
      {IDC_LOCK_ARROWS, "41", SB_LINEDOWN, "40"},
      {IDC_SAVER_ARROWS, "00000000000000000000000000000005", SB_LINEUP, "1"},
      {IDC_LOCK_ARROWS, "12", SB_PAGEDOWN, "12"},
      {IDC_SAVER_ARROWS, "12", MAKEWPARAM(SB_THUMBPOSITION, 3), "12"},
      {IDC_SAVER_ARROWS, "12", MAKEWPARAM(SB_LINEUP, 3), "12"},
      {IDC_LOCK_ARROWS, "12", SB_TOP, "12"},
      {IDC_LOCK_ACTION, "12", SB_LINEUP, "12"},
      {0, "12", SB_LINEUP, "12"}};
  WriteIniValue(ini_, "ScreenSaverAction", "1");
  ASSERT_TRUE(Start());
  const std::string bytes = FileBytes(ini_);
  Configure([&](HWND dialog) {
    for (auto [bar, before, code, after] : cases) {
      SCOPED_TRACE(testing::Message() << "bar " << bar << " text '" << before << "' code " << code);
      int edit = bar == IDC_SAVER_ARROWS ? IDC_SAVER_TIMEOUT : IDC_LOCK_TIMEOUT;
      int other = edit == IDC_LOCK_TIMEOUT ? IDC_SAVER_TIMEOUT : IDC_LOCK_TIMEOUT;
      SetControlText(dialog, edit, before);
      SetControlText(dialog, other, "4321");
      SendScroll(dialog, bar, code);
      EXPECT_EQ(ControlText(dialog, edit), after);
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

TEST_F(ConfigDialogTest, OverlongActionCaptionsAreCutToFortyEightCharacters) {
  const std::wstring captions[3] = {
      std::wstring(60, L'N') + L"othing", L"Pause",
      L"Stop, and then a great deal of explanation that no combo box could ever need"};
  // A copy of the module whose first three strings (the action captions) are replaced. Block 1
  // holds strings 0 to 15, each a length and its UTF-16 characters.
  const std::string copy = Utf8(temp_.Path) + "hb_captions.dll";
  HMODULE original = LoadLibraryExA("gen_hushbell.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(original != nullptr && CopyFileA("gen_hushbell.dll", copy.c_str(), FALSE));
  std::vector<WORD> block;
  for (UINT id = 0; id < 16; ++id) {
    WCHAR kept[512] = {};
    int length = id >= 4 ? LoadStringW(original, id, kept, std::size(kept)) : 0;
    std::wstring text = id >= 1 && id <= 3 ? captions[id - 1] : std::wstring(kept, length);
    block.push_back(static_cast<WORD>(text.size()));
    for (wchar_t c : text) block.push_back(static_cast<WORD>(c));
  }
  FreeLibrary(original);
  HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
  ASSERT_TRUE(update != nullptr &&
              UpdateResourceA(update, RT_STRING, MAKEINTRESOURCEA(1), NeutralLanguage, block.data(),
                              static_cast<DWORD>(block.size() * sizeof(WORD))) &&
              EndUpdateResourceA(update, FALSE));
  ASSERT_NE(HostLoadPlugin(copy.c_str()), nullptr);
  Values items;
  Configure([&](HWND dialog) {
    items = ComboItems(dialog, IDC_STANDBY_ACTION);
    EXPECT_EQ(ComboItems(dialog, IDC_LOCK_ACTION), items);
    return IDCANCEL;
  });
  EXPECT_EQ(items, (Values{std::string(48, 'N'), "Pause", Utf8(captions[2]).substr(0, 48)}));
}

}  // namespace
