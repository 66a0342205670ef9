// The real gen_hushbell.dll loaded by the stand-in host under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "host_test.h"
#include "plugin.h"  // the description it hands the host
#include "pe_image.h"
#include "profile_section.h"

namespace {

constexpr UINT Play = HostCommandPlay, Pause = HostCommandPause, Stop = HostCommandStop;

class PluginTest : public HostTest {
 protected:
  bool StartWith(const std::string& settings, int playState = HostPlaying) {
    WriteIniSettings(ini_, settings);
    const bool started = HostTest::Start();
    HostSetPlayState(playState);
    return started;
  }
};

TEST_F(PluginTest, ExportsExactlyThreeNamesAtFixedOrdinalsAndHandsOverItsRecord) {
  HostPluginRecord* record = HostLoadPlugin("gen_hushbell.dll");
  ASSERT_NE(record, nullptr);
  PeImage image;
  ASSERT_TRUE(ViewMappedImage(HostPluginModule(), image));
  EXPECT_EQ(ExportOrdinals(image),
            (std::map<std::string, uint32_t>{
                {"instConfig", 1}, {"winampGetGeneralPurposePlugin", 2}, {"DllMain", 12}}));
  EXPECT_EQ(ExportedFunctionCount(image), 3u);
  EXPECT_EQ(record->version, PluginRecordVersion);
  EXPECT_STREQ(record->description, PluginDescription);
  EXPECT_TRUE(record->init && record->config && record->quit);
  // The same record every time, and the module handle was filled in by the entry point too.
  const auto get = ExportOf<HostPluginRecord* (*)()>(HostPluginModule(), "winampGetGeneralPurposePlugin");
  EXPECT_EQ(get(), record);
  EXPECT_EQ(record->ModuleInstance, HostPluginModule());
}

TEST_F(PluginTest, SecondInitFailsWithoutReloadingOrResubclassing) {
  WNDPROC original = WindowProcOf(HostWindowHandle());
  ASSERT_TRUE(Start());
  WNDPROC hooked = WindowProcOf(HostWindowHandle());
  EXPECT_NE(hooked, original);
  int iniQueries = HostIniQueries();
  EXPECT_GE(iniQueries, 1);

  EXPECT_EQ(HostInitPlugin(), 1);
  EXPECT_EQ(HostIniQueries(), iniQueries);
  EXPECT_EQ(WindowProcOf(HostWindowHandle()), hooked);

  HostQuitPlugin();
  EXPECT_EQ(WindowProcOf(HostWindowHandle()), original);
}

// Through a hook of the A kind every text message to the player's Unicode window is narrowed to
// the ANSI code page and back.
TEST_F(PluginTest, TheHookedPlayerWindowKeepsTitlesInEveryScript) {
  ASSERT_TRUE(Start());
  const wchar_t title[] = L"日本語 · Ελληνικά · Łódź";
  SetWindowTextW(HostWindowHandle(), title);
  wchar_t shown[64] = {};
  SendMessageW(HostWindowHandle(), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(shown));
  EXPECT_STREQ(shown, title);
}

WNDPROC ChainedPrevious;
int LaterSubclassMessages;
LRESULT CALLBACK LaterSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  ++LaterSubclassMessages;
  return CallWindowProcW(ChainedPrevious, w, m, wp, lp);
}

// Another plug-in subclasses the player after init and puts back the hook when it goes, after
// this one is unloaded. A copy under its own name: the module stays pinned in this process.
TEST_F(PluginTest, QuitUnderALaterSubclassLeavesItInTheChainAndTheHookForwarding) {
  const std::string copy = Utf8(temp_.Path) + "hb_pinned.dll";
  ASSERT_TRUE(CopyFileA("gen_hushbell.dll", copy.c_str(), FALSE));
  WriteIniSettings(ini_, "StandbyAction=2 LockAction=0");
  HostSetPlayState(HostPlaying);
  HWND window = HostWindowHandle();
  WNDPROC original = WindowProcOf(window);
  auto standbyAndPlayState = [window] {
    SendMessageW(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    SendMessageW(window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    return SendMessageW(window, HostQueryMessage, 0, HostQueryPlayState);
  };
  ASSERT_NE(HostLoadPlugin(copy.c_str()), nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);
  ChainedPrevious = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterSubclass)));
  Unload();
  LaterSubclassMessages = 0;
  EXPECT_EQ(standbyAndPlayState(), HostPlaying) << "once quit, the hook only forwards";
  EXPECT_EQ(LaterSubclassMessages, 3);
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChainedPrevious));
  EXPECT_EQ(SendMessageW(window, HostQueryMessage, 0, HostQueryPlayState), HostPlaying);

  // A later start in the same process takes up the hook where it is.
  ASSERT_NE(HostLoadPlugin(copy.c_str()), nullptr);
  ASSERT_EQ(HostInitPlugin(), 0);
  EXPECT_EQ(standbyAndPlayState(), HostStopped);
  HostQuitPlugin();
  EXPECT_EQ(WindowProcOf(window), original);
  HostUnloadPlugin();
  EXPECT_EQ(standbyAndPlayState(), HostStopped);
  EXPECT_EQ(HostCommandCount(), 1u);
}

// Standby travels through the hooked window procedure of the host's main window.
TEST_F(PluginTest, StandbyCommandGoesOutOnceAtResumeWithSettingsFromTheHostsIniFile) {
  ASSERT_TRUE(StartWith("StandbyAction=2 LockAction=0"));
  // Each power event and the commands sent by then: a standby request and a resume without a
  // suspend do nothing, nor does the suspend itself; the first resume after it acts, once.
  // clang-format off
  const std::pair<WPARAM, size_t> events[] = {
      {PBT_APMSTANDBY, 0},
      {PBT_APMRESUMESUSPEND, 0},
      {PBT_APMSUSPEND, 0},
      {PBT_APMRESUMESTANDBY, 0},
      {PBT_APMRESUMESUSPEND, 1},
      {PBT_APMRESUMESUSPEND, 1},
      {PBT_APMRESUMEAUTOMATIC, 1},
  };
  // clang-format on
  for (auto [event, commands] : events) {
    SendMessageA(HostWindowHandle(), WM_POWERBROADCAST, event, 0);
    EXPECT_EQ(HostCommandCount(), commands) << "after event " << event;
  }
  ASSERT_EQ(HostCommandCount(), 1u);
  EXPECT_EQ(HostCommandAt(0).Command, Stop);
}

TEST_F(PluginTest, StandbyPauseIsNotSentToAPausedPlayer) {
  ASSERT_TRUE(StartWith("StandbyAction=1", HostPaused));
  SendMessageA(HostWindowHandle(), WM_POWERBROADCAST, 4, 0);
  SendMessageA(HostWindowHandle(), WM_POWERBROADCAST, 6, 0);
  EXPECT_EQ(HostCommandCount(), 0u);
  EXPECT_EQ(HostGetPlayState(), HostPaused) << "pause toggles: it would have restarted the music";
}

TEST_F(PluginTest, ScreenSaverPausesWithinASecondOfPollingAndResumesWhenItEnds) {
  ASSERT_TRUE(StartWith("ScreenSaverAction=2 ScreenSaverAutoResume=1 LockAction=0"));
  // The screen saver always pauses, whatever the action; its end plays on without a restart.
  const std::pair<bool, int> steps[] = {{true, HostPaused}, {false, HostPlaying}};
  for (size_t i = 0; i < std::size(steps); ++i) {
    SetScreenSaverRunning(steps[i].first);
    ASSERT_TRUE(HostWaitForCommands(i + 1, 2500));
    EXPECT_FALSE(HostCommandAt(i).Restarted);
    EXPECT_EQ(HostGetPlayState(), steps[i].second);
  }
  HostPump(1200);
  EXPECT_EQ(Commands(), (std::vector<UINT>{Pause, Play}));
}

TEST_F(PluginTest, NoPollingWhenNoLockOrScreenSaverActionIsSet) {
  ASSERT_TRUE(StartWith("LockAction=0 ScreenSaverAction=0 ScreenSaverAutoResume=1"));
  SetScreenSaverRunning(true);
  HostPump(1600);
  EXPECT_EQ(HostPlayQueries(), 0);
  EXPECT_EQ(HostCommandCount(), 0u);
}

// A tick blocked in SendMessageA waits for this very thread; quit must still return, and no
// tick may run once it has.
TEST_F(PluginTest, QuitDoesNotDeadlockOnATickWaitingForTheHostThread) {
  ASSERT_TRUE(StartWith("ScreenSaverAction=1"));
  SetScreenSaverRunning(true);
  Sleep(1600);  // not pumping: the tick now waits in its query to this thread
  ULONGLONG start = GetTickCount64();
  HostQuitPlugin();
  EXPECT_LT(GetTickCount64() - start, 3000u);
  EXPECT_GE(HostPlayQueries(), 1) << "the waiting tick was answered";
  HostUnloadPlugin();
  size_t commands = HostCommandCount();
  HostPump(2200);
  EXPECT_EQ(HostCommandCount(), commands);
}

// After a failed subclassing init runs again in full; the first timer must not be lost, or
// it would call into the module after it is unloaded.
TEST_F(PluginTest, InitAfterFailedSubclassingLeavesNoTimerBehind) {
  HostPluginRecord* record = HostLoadPlugin("gen_hushbell.dll");
  ASSERT_NE(record, nullptr);
  HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  record->HostWindow = gone;
  EXPECT_EQ(HostInitPlugin(), 0);
  EXPECT_EQ(HostInitPlugin(), 0) << "not initialised after the failed subclassing";
  Unload();
  Sleep(2200);  // a lost timer would fire into unmapped code here
}

// The notification window's procedure must stay mapped while the window exists, also when a host
// unloads the plug-in without quit and no timer holds the module.
TEST_F(PluginTest, UnloadWithoutQuitKeepsTheNotificationWindowsCodeLoaded) {
  WriteIniSettings(ini_, "LockAction=0 ScreenSaverAction=0");
  HostPluginRecord* const record = HostLoadPlugin("gen_hushbell.dll");
  ASSERT_TRUE(record != nullptr && SimInstall(HostPluginModule()) && HostInitPlugin() == 0);
  HostUnloadPlugin();
  ASSERT_NE(GetModuleHandleA("gen_hushbell.dll"), nullptr);
  HMODULE ours = LoadLibraryA("gen_hushbell.dll");  // so that quit does not unload the code it runs
  EXPECT_TRUE(SimAnnounce(WTS_SESSION_LOCK));
  HostPump(0);
  record->quit();
  FreeLibrary(ours);
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr);
}

TEST_F(PluginTest, FiftyLoadInitQuitUnloadCyclesWithTheTimerRunning) {
  WriteIniSettings(ini_, "LockAction=1 ScreenSaverAction=1");
  HostSetPlayState(HostPlaying);
  for (int cycle = 0; cycle < 50; ++cycle) {
    ASSERT_TRUE(Start(true, true)) << cycle;  // simulated, to see its session registration
    HWND window = SimNotificationWindow();
    ASSERT_NE(window, nullptr) << cycle;
    EXPECT_EQ(SimRegisteredWindow(), window) << cycle;
    SetScreenSaverRunning(cycle % 2 == 1);
    // Every tenth cycle lets ticks run so quit meets them in flight.
    HostPump(cycle % 10 == 9 ? 1100 : 10);
    HostQuitPlugin();
    EXPECT_FALSE(IsWindow(window)) << cycle;
    EXPECT_EQ(SimRegisteredWindow(), nullptr) << cycle;
    EXPECT_EQ(SimMisdirectedRegistrations(), 0u) << cycle;
    HostUnloadPlugin();
  }
  SetScreenSaverRunning(false);
  HostPump(1200);
  EXPECT_EQ(HostPluginModule(), nullptr);
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr);
}

// init reads the settings' section once; each key must come out as GetPrivateProfileIntA
// reads it from the same file, whatever a hand-edited file holds.
TEST_F(PluginTest, SectionReadOnceGivesWhatEachKeysProfileReadGives) {
  const char* values[] = {"2",     " 12 ",        "-7",         "+3",    "0x1F",  "0o17",       "0b101",
                          "12abc", "abc",         "4294967297", "-0x10", "\"5\"", "",           "0x",
                          "258",   "-2147483648", "\"6",        "' 7'",  "1 2",   "99999999999"};
  std::string text = "[hushbell]\r\n; LockAction=9\r\nlockaction = 3\r\nNoValue\r\n";
  for (size_t i = 0; i < std::size(values); ++i) text += "Key" + std::to_string(i) + "=" + values[i] + "\r\n";
  text += "LOCKACTION=4\r\n[Other]\r\nKey0=8\r\n";
  ASSERT_TRUE(WriteFileBytes(Wide(ini_), text));
  char block[4096];
  const DWORD length = GetPrivateProfileSectionA("Hushbell", block, sizeof block, ini_.c_str());
  const std::string_view section(block, length);
  std::vector<std::string> keys = {"LockAction", "NoValue", "Missing"};
  for (size_t i = 0; i < std::size(values); ++i) keys.push_back("Key" + std::to_string(i));
  for (const std::string& key : keys)
    EXPECT_EQ(ProfileIntFromBlock(section, key, 77),
              static_cast<int32_t>(GetPrivateProfileIntA("Hushbell", key.c_str(), 77, ini_.c_str())))
        << key;
}

}  // namespace
