// The configuration dialog of the real gen_hushbell.dll under Wine: its owner window and its
// tips, and what it does to the poll timer and the module's lifetime.
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "audio_sim.h"
#include "config_dialog_test.h"
#include "presence_sim.h"

namespace {

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

// The text `tooltip` shows for its tool over the whole of `window`.
std::wstring TipText(HWND tooltip, HWND window) {
  WCHAR text[1024] = {};
  TTTOOLINFOW query{sizeof query, 0, window, 0, {}, nullptr, text};
  SendMessageW(tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&query));
  return text;
}

TEST_F(ConfigDialogTest, BalloonTipsExplainTheInputControlsWhileTheDialogIsOpen) {
  ASSERT_TRUE(Start());
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
      // Each setting's control, then its arrows, explained by the same string.
      std::vector<std::pair<int, int>> tips;
      for (const SettingRow& row : SettingRows)
        for (int id : {row.Control, row.Arrows})
          if (id != 0) tips.push_back({id, row.Tip});
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), static_cast<LRESULT>(tips.size()));
      for (size_t i = 0; i < tips.size(); ++i) {
        const auto [id, string] = tips[i];
        SCOPED_TRACE(id);
        TTTOOLINFOA tool{sizeof tool};
        EXPECT_TRUE(SendMessageA(tooltip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
        HWND control = GetDlgItem(dialog, id);
        EXPECT_EQ(std::tie(tool.hwnd, tool.uId, tool.hinst),
                  std::make_tuple(control, UINT_PTR{0}, HostPluginModule()));
        EXPECT_EQ(tool.uFlags & (TTF_SUBCLASS | TTF_ABSOLUTE | TTF_TRANSPARENT | TTF_IDISHWND),
                  UINT{TTF_SUBCLASS | TTF_ABSOLUTE | TTF_TRANSPARENT});
        RECT client{};
        GetClientRect(control, &client);
        EXPECT_TRUE(EqualRect(&tool.rect, &client));
        // The control loads the text from the plug-in's string table. Wine reports no text
        // pointer for such tools in TTM_ENUMTOOLSA, so the text is asked for instead.
        EXPECT_EQ(TipText(tooltip, control), PluginString(string));
      }
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETMAXTIPWIDTH, 0, 0), 225);
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 2000);
      EXPECT_EQ(SendMessageA(tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 10000);
      // Wine's tooltip control does not answer TTM_GETTITLE, so the title is not read back.
      SendHelp(dialog, IDC_LOCK_ACTION);  // redraws the tip and goes on to the owner
      EXPECT_TRUE(IsWindow(tooltip));
      return IDCANCEL;
    });
    EXPECT_EQ(HostHelpMessages(), helpBefore + 1) << "WM_HELP reaches the owner";
    ASSERT_NE(tooltip, nullptr);
    EXPECT_FALSE(IsWindow(tooltip)) << "the tooltip goes with the dialog";
  }
}

// Opens the dialog through instConfig: the row's control is enabled where this Windows offers what
// its setting needs, else disabled with the tip that says so watching its area of the dialog (a
// disabled control gets no mouse messages); either way it shows the stored value and keeps it.
void ExpectOffered(const std::string& ini, const char* key, bool offered, const char* value) {
  const SettingRow& row = *FindSetting(key);
  Install(HostWindowHandle(), ini.c_str(), [&](HWND dialog) {
    EXPECT_EQ(IsControlEnabled(dialog, row.Control), offered);
    EXPECT_EQ(ShownValues(dialog)[&row - SettingRows], value);
    std::vector<HWND> tooltips = ThreadTooltips(dialog);
    EXPECT_EQ(tooltips.size(), 1u);
    if (tooltips.size() == 1)
      EXPECT_EQ(TipText(tooltips[0], offered ? GetDlgItem(dialog, row.Control) : dialog),
                PluginString(offered ? row.Tip : row.TipWhereMissing));
    return IDOK;
  });
  EXPECT_EQ(IniValue(ini, key), value);
}

// Where Windows cannot report the display (no function, as on Windows XP, or a refused
// registration), the box stays disabled.
TEST_F(ConfigDialogTest, DisplayOffBoxIsDisabledWhereWindowsCannotReportTheDisplay) {
  // What Windows offers, whether init ran, whether the box is enabled.
  const std::tuple<SimDisplay, bool, bool> cases[] = {{SimDisplay::Available, true, true},
                                                      {SimDisplay::Refused, true, false},
                                                      {SimDisplay::Missing, true, false},
                                                      {SimDisplay::Missing, false, false}};
  WriteIniSettings(ini_, "ScreenSaverAction=1 ScreenSaverDisplayOff=1");
  for (auto [mode, init, enabled] : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(mode) << (init ? " after init" : " without"));
    ASSERT_TRUE(Start(false) && SimInstall(HostPluginModule()));
    SimSetDisplayNotification(mode);
    ASSERT_TRUE(!init || HostInitPlugin() == 0);
    ExpectOffered(ini_, "ScreenSaverDisplayOff", enabled, "1");
    Unload();
  }
}

// Without the audio endpoint API (Windows XP: no such DLL in the system folder), the headphones'
// list stays disabled.
TEST_F(ConfigDialogTest, HeadphonesOutIsDisabledWhereWindowsHasNoAudioEndpoints) {
  WriteIniSettings(ini_, "UnplugAction=2");
  for (bool present : {true, false}) {
    SCOPED_TRACE(present ? "present" : "missing");
    ASSERT_TRUE(Start(false) && AudioSimInstall(HostPluginModule(), present));
    ExpectOffered(ini_, "UnplugAction", present, "2");
    Unload();
  }
}

// ---------------------------------------------------------------------------------------------
// The poll timer and the module's lifetime.

TEST_F(ConfigDialogTest, OkStartsOrStopsThePollTimerAndCancelLeavesItAsItWas) {
  const struct {
    const char* Name;
    int Lock, Saver;  // the stored actions
    int Choose[3];    // for lock, screen saver, standby; -1 leaves the choice alone
    int Button;
    Timer After;
  } cases[] = {{"OK with a screen-saver action starts it", 0, 0, {-1, 1, -1}, IDOK, Timer::Running},
               {"OK with neither action stops it, standby or not", 1, 2, {0, 0, 2}, IDOK, Timer::Stopped},
               {"Cancel leaves a running timer running", 0, 1, {0, 0, -1}, IDCANCEL, Timer::Running},
               {"Cancel leaves a stopped timer stopped", 0, 0, {1, 2, -1}, IDCANCEL, Timer::Stopped},
               {"OK with both actions keeps it running", 1, 1, {-1, -1, -1}, IDOK, Timer::Running}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(Fresh());
    WriteIniSettings(
        ini_, "LockAction=" + std::to_string(c.Lock) + " ScreenSaverAction=" + std::to_string(c.Saver));
    ASSERT_TRUE(Start());
    Configure([&](HWND dialog) {
      for (int i = 0; i < 3; ++i)
        if (c.Choose[i] >= 0) ChooseItem(dialog, ActionCombos[i], c.Choose[i]);
      return c.Button;
    });
    // Makes the screen-saver action non-zero without touching the timer: instConfig inside the
    // host loads the settings from another file, and Cancel starts and stops nothing.
    std::string armed = NewIni();
    WriteIniSettings(armed, "LockAction=0 ScreenSaverAction=1");
    EXPECT_EQ(Install(HostWindowHandle(), armed.c_str(), [](HWND) { return IDCANCEL; }).Result, 0);
    EXPECT_TRUE(TimerIs(c.After));
  }
}

// An installer's process has no initialised plug-in: OK saves, but no timer may be left to send
// player commands to the installer's window, and nothing may keep the module loaded.
TEST_F(ConfigDialogTest, InstConfigInAPlainProcessSavesAndLeavesNoTimerRunning) {
  ASSERT_TRUE(Start(false));
  std::string installerIni = NewIni();
  WriteIniSettings(installerIni, "LockAction=1 ScreenSaverAction=1");
  const std::string installerBytes = FileBytes(installerIni);
  HWND installer = HostWindowHandle();
  auto choose = [](int combo, int index, int button) {
    return [=](HWND dialog) {
      ChooseItem(dialog, combo, index);
      return button;
    };
  };
  EXPECT_EQ(Install(installer, installerIni.c_str(), choose(IDC_STANDBY_ACTION, 2, IDCANCEL)).Result, 0);
  EXPECT_EQ(FileBytes(installerIni), installerBytes);
  DialogSession confirmed = Install(installer, installerIni.c_str(), choose(IDC_SAVER_ACTION, 2, IDOK));
  EXPECT_EQ(confirmed.Owner, installer);
  EXPECT_EQ(confirmed.Result, 1);
  EXPECT_EQ(StoredValues(installerIni), Named("ScreenSaverAction=2"));
  EXPECT_EQ(HostIniQueries(), 0);
  EXPECT_EQ(FileBytes(ini_), "") << "the host's file is not touched";
  EXPECT_TRUE(TimerIs(Timer::Stopped)) << "no query and no command reached the installer's window";
  HostUnloadPlugin();
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr) << "nothing holds the module";

  // Without a path the window is asked for its INI file, as the host would be.
  ASSERT_TRUE(Start(false));
  EXPECT_EQ(Install(installer, nullptr, choose(IDC_STANDBY_ACTION, 1, IDOK)).Result, 1);
  EXPECT_GE(HostIniQueries(), 1);
  EXPECT_EQ(IniValue(ini_, "StandbyAction"), "1");
  EXPECT_TRUE(TimerIs(Timer::Stopped, 1500));
}

// Called inside an initialised host, instConfig must hand the record back its host window: quit
// unhooks it. Ticks meanwhile go on asking and commanding the player, never the caller's window.
TEST_F(ConfigDialogTest, InstConfigInsideTheHostRestoresTheHostWindow) {
  WriteIniValue(ini_, "ScreenSaverAction", "1");
  HWND host = HostWindowHandle();
  WNDPROC original = WindowProcOf(host);
  ASSERT_TRUE(Start());
  ASSERT_NE(WindowProcOf(host), original);
  HWND other = CreateDialogWindow(nullptr, false);  // an installer's window
  ASSERT_NE(other, nullptr);
  WNDPROC otherProc = WindowProcOf(other);
  std::string installerIni = NewIni();
  WriteIniValue(installerIni, "ScreenSaverAction", "1");
  bool playerPausedMeanwhile = false;
  DialogSession session = Install(other, installerIni.c_str(), [&](HWND dialog) {
    playerPausedMeanwhile = TimerIs(Timer::Running);
    HostPump(1500);  // a tick sees the screen saver gone before the next one starts
    ChooseItem(dialog, IDC_LOCK_ACTION, 2);
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
  WriteIniValue(ini_, "ScreenSaverAction", "1");
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

}  // namespace
