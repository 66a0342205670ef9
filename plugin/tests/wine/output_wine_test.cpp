// The sound output going away, end to end through the real gen_hushbell.dll: the stand-in host
// hands the plug-in a stand-in audio enumerator, whose own thread calls the plug-in's client as
// the audio service does, every id overwritten as soon as its call returns.
#include <gtest/gtest.h>
#include <windows.h>

#include "audio_sim.h"
#include "dialog_driver.h"
#include "host_test.h"

namespace {

constexpr UINT Pause = HostCommandPause, Stop = HostCommandStop;
constexpr DWORD Settle = 3000;

class OutputTest : public HostTest {
 protected:
  // A fresh host that loads the plug-in under the stand-in enumerator, with these settings, and
  // starts it; with the action on, the defaults it finds at the start have reached it.
  void Start(int action, int playState, bool audioApi = true) {
    ASSERT_NO_FATAL_FAILURE(Fresh());
    WriteIniSettings(ini_, "UnplugAction=" + std::to_string(action));
    ASSERT_TRUE(HostTest::Start(false));
    ASSERT_TRUE(AudioSimInstall(HostPluginModule(), audioApi));
    HostSetPlayState(playState);
    ASSERT_EQ(HostInitPlugin(), 0);
    if (audioApi && action != 0) ASSERT_TRUE(AudioSimWatching(Settle));
    ASSERT_TRUE(AudioSimSettle(Settle));
  }
  // After quit: nothing registered, every enumerator released, COM left as it was found.
  static void ExpectAllTakenBack() {
    const AudioSimRecord r = AudioSimState();
    EXPECT_FALSE(r.Registered);
    EXPECT_EQ(r.Registrations, r.Unregistrations);
    EXPECT_EQ(r.Alive, 0u);
    EXPECT_EQ(r.ComBalance, 0);
  }
};

TEST_F(OutputTest, WhatTheActionDoesWhenTheOutputInUseGoesAway) {
  const struct {
    const char* Name;
    int Action;
    int PlayState;
    void (*Announce)();
    std::vector<UINT> Expected;
    int FinalState;
  } cases[] = {
      {"unplugged, then the default moves: pause",
       1,
       HostPlaying,
       [] { AudioSimUnplug(false); },
       {Pause},
       HostPaused},
      {"the default moves, then unplugged: pause",
       1,
       HostPlaying,
       [] { AudioSimUnplug(true); },
       {Pause},
       HostPaused},
      {"the last output removed, no default left", 1, HostPlaying, AudioSimRemoveLast, {Pause}, HostPaused},
      {"stop with 2", 2, HostPlaying, [] { AudioSimUnplug(false); }, {Stop}, HostStopped},
      {"nothing while paused", 2, HostPaused, [] { AudioSimUnplug(true); }, {}, HostPaused},
      {"nothing while stopped", 1, HostStopped, AudioSimRemoveLast, {}, HostStopped},
      {"the user's switch", 2, HostPlaying, AudioSimSwitchToSpeakers, {}, HostPlaying},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(Start(c.Action, c.PlayState));
    c.Announce();
    ASSERT_TRUE(AudioSimSettle(Settle));
    EXPECT_EQ(Commands(), c.Expected);
    EXPECT_EQ(HostGetPlayState(), c.FinalState);
    // The enumerator is the plug-in's own thread's, in a multithreaded apartment of its own.
    const AudioSimRecord r = AudioSimState();
    EXPECT_EQ(r.Made, 1u);
    EXPECT_TRUE(r.Registered);
    EXPECT_TRUE(r.MadeOffHostThread);
    EXPECT_TRUE(r.MadeInMta);
    Unload();
    ExpectAllTakenBack();
  }
}

TEST_F(OutputTest, OffMakesNothingAndMissingApiDoesNothing) {
  ASSERT_NO_FATAL_FAILURE(Start(0, HostPlaying));
  AudioSimUnplug(false);
  ASSERT_TRUE(AudioSimSettle(Settle));
  EXPECT_EQ(Commands(), std::vector<UINT>{});
  AudioSimRecord r = AudioSimState();
  EXPECT_EQ(r.Made, 0u) << "no enumerator, so no audio DLL either";
  EXPECT_EQ(r.ComBalance, 0) << "no COM set up for it";
  EXPECT_GT(r.CallsWithoutClient, 0u);
  Unload();

  // As on Windows XP: the enumerator cannot be made; the setting stays and does nothing.
  ASSERT_NO_FATAL_FAILURE(Start(1, HostPlaying, false));
  AudioSimUnplug(false);
  ASSERT_TRUE(AudioSimSettle(Settle));
  EXPECT_EQ(Commands(), std::vector<UINT>{});
  r = AudioSimState();
  EXPECT_EQ(r.Made, 0u);
  EXPECT_FALSE(r.Registered);
  Unload();
  ExpectAllTakenBack();
  EXPECT_EQ(IniValue(ini_, "UnplugAction"), "1");
}

// The dialog's OK turns the watch on without a restart, and off again, taking everything back.
TEST_F(OutputTest, TheDialogTurnsTheWatchOnAndOff) {
  ASSERT_NO_FATAL_FAILURE(Start(0, HostPlaying));
  for (int action : {int{ActionPause}, 0}) {
    Configure([action](HWND dialog) {
      ChooseItem(dialog, IDC_UNPLUG_ACTION, action);
      return IDOK;
    });
    EXPECT_EQ(IniValue(ini_, "UnplugAction"), std::to_string(action));
    if (action == 0) break;
    ASSERT_TRUE(AudioSimWatching(Settle));
    AudioSimUnplug(true);
    ASSERT_TRUE(AudioSimSettle(Settle));
    EXPECT_EQ(Commands(), std::vector<UINT>{Pause});
  }
  ExpectAllTakenBack();
  EXPECT_EQ(AudioSimState().Made, 1u);
}

// Without the stand-in, Wine's own enumerator: the audio DLL is loaded only while the action is on
// (once loaded, COM keeps it for the process: off comes first).
TEST_F(OutputTest, TheAudioDllIsLoadedOnlyWhenTheActionIsOn) {
  for (bool on : {false, true}) {
    SCOPED_TRACE(on ? "on" : "off");
    ASSERT_NO_FATAL_FAILURE(Fresh());
    WriteIniSettings(ini_, on ? "UnplugAction=1" : "UnplugAction=0");
    ASSERT_EQ(GetModuleHandleW(L"mmdevapi.dll"), nullptr);
    ASSERT_TRUE(HostTest::Start());
    EXPECT_EQ(HostPumpUntil([] { return GetModuleHandleW(L"mmdevapi.dll") != nullptr; }, on ? Settle : 300),
              on);
    Unload();
  }
}

// Quit unregisters while the audio service is inside a callback: a callback that waited for the
// player's thread would never return, and quit with it. Afterwards, with the module unloaded,
// the stand-in's announcements find no client to call.
TEST_F(OutputTest, QuitWhileACallbackIsOnItsWayAndNothingCallsTheUnloadedModule) {
  ASSERT_NO_FATAL_FAILURE(Start(1, HostPlaying));
  AudioSimCallDuringUnregister(true);
  HostQuitPlugin();
  EXPECT_TRUE(AudioSimCallbacksReturned());
  ExpectAllTakenBack();
  HostUnloadPlugin();
  const uint32_t unanswered = AudioSimState().CallsWithoutClient;
  AudioSimUnplug(false);
  ASSERT_TRUE(AudioSimSettle(Settle));
  EXPECT_EQ(AudioSimState().CallsWithoutClient, unanswered + 2);
  EXPECT_EQ(Commands(), std::vector<UINT>{});
}

}  // namespace
