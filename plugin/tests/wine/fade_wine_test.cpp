// The fade-in of a resume through the real gen_hushbell.dll in the stand-in player, which records
// every volume set with its time and acts as the user at given moments.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host_test.h"

namespace {

constexpr UINT Play = HostCommandPlay, Pause = HostCommandPause;
constexpr intptr_t Volume = 200;      // the player's volume before the fade (the stand-in's own)
constexpr DWORD FadeMs = 1000;        // ResumeFadeSeconds=1
constexpr DWORD MidFadeMs = 400;      // when a fade is interrupted
constexpr DWORD LateStepMs = 300;     // how late a step or the fade's end may come on a busy machine
constexpr uintptr_t OldPlayer = 0x2095;

std::vector<HostVolumeSet> Sets() {
  std::vector<HostVolumeSet> sets;
  for (size_t i = 0; i < HostVolumeSetCount(); ++i) sets.push_back(HostVolumeSetAt(i));
  return sets;
}

class FadeTest : public HostTest {
 protected:
  void Start(int seconds, uintptr_t version = 0) {
    ASSERT_NO_FATAL_FAILURE(Fresh());
    WriteIniSettings(ini_, "LockAction=1 LockAutoResume=1 ScreenSaverAction=0 StandbyAction=0 ResumeFadeSeconds=" +
                               std::to_string(seconds));
    ASSERT_TRUE(HostTest::Start(false, true));
    HostSetPlayState(HostPlaying);
    if (version != 0) HostSetVersion(version);
    ASSERT_EQ(HostInitPlugin(), 0);
    ASSERT_EQ(HostGetVolume(), Volume);
  }
  // A lock and an unlock as Windows announces them, the timer's ticks held: the resume's play
  // has arrived when this returns, and whatever follows comes from the plug-in's own window.
  static void AwayAndBack() {
    SimHoldTicks(true);
    SimSetLocked(true);
    ASSERT_TRUE(SimAnnounce(WTS_SESSION_LOCK));
    HostPump(0);
    SimSetLocked(false);
    ASSERT_TRUE(SimAnnounce(WTS_SESSION_UNLOCK));
    HostPump(0);
    ASSERT_EQ(Commands(), (std::vector<UINT>{Pause, Play}));
  }
  static bool FadeOver() {
    return HostVolumeSetCount() > 1 && HostVolumeSetAt(HostVolumeSetCount() - 1).Volume == Volume;
  }
};

// The unlock found by the poll: the timer's thread hands the play over; the steps come from the
// plug-in's window while the ticks are held.
TEST_F(FadeTest, FadesInAfterTheUnlockToExactlyTheVolumeReadInTheSetTime) {
  ASSERT_NO_FATAL_FAILURE(Start(1));
  SimSetLocked(true);
  ASSERT_TRUE(SimWaitForFreshTicks(1, 3000));
  SimSetLocked(false);
  ASSERT_TRUE(SimWaitForFreshTicks(1, 3000));
  SimHoldTicks(true);
  ASSERT_EQ(Commands(), (std::vector<UINT>{Pause, Play}));
  ASSERT_TRUE(HostPumpUntil(FadeOver, FadeMs + 2000));
  const size_t count = HostVolumeSetCount();
  HostPump(LateStepMs);
  const std::vector<HostVolumeSet> sets = Sets();
  EXPECT_EQ(sets.size(), count) << "a step after the end";
  EXPECT_EQ(HostGetVolume(), Volume);

  const uint64_t playAt = HostCommandAt(1).AtMs;
  EXPECT_EQ(sets.front().Volume, 0);
  EXPECT_EQ(sets.front().CommandsBefore, 1u) << "silent just before the play";
  EXPECT_GE(sets.back().AtMs, playAt + FadeMs);
  EXPECT_LE(sets.back().AtMs, playAt + FadeMs + LateStepMs);
  EXPECT_GE(sets.size(), 10u * FadeMs / 1000) << "fewer than 10 steps a second";
  for (size_t i = 1; i < sets.size(); ++i) {
    EXPECT_GE(sets[i].Volume, sets[i - 1].Volume) << "step " << i;
    if (i + 1 < sets.size()) EXPECT_LT(sets[i].Volume, Volume) << "step " << i;
  }
}

// Halfway through, the user or the system steps in.
TEST_F(FadeTest, TheUserWinsAndTheFadesVolumeNeverStays) {
  const struct {
    const char* Name;
    void (*Act)();
    intptr_t VolumeAfter;
    int StateAfter;
  } cases[] = {
      {"the user's volume", [] { HostSetVolume(90); }, 90, HostPlaying},
      {"the user's pause", [] { HostSetPlayState(HostPaused); }, Volume, HostPaused},
      {"the user's stop", [] { HostSetPlayState(HostStopped); }, Volume, HostStopped},
      {"a new lock",
       [] {
         SimSetLocked(true);
         SimAnnounce(WTS_SESSION_LOCK);
       },
       Volume, HostPaused},
      {"the player closing", [] { SendMessageW(HostWindowHandle(), WM_CLOSE, 0, 0); }, Volume, HostPlaying},
      {"the session ending", [] { SendMessageW(HostWindowHandle(), WM_QUERYENDSESSION, 0, 0); }, Volume,
       HostPlaying},
      {"the session ended", [] { SendMessageW(HostWindowHandle(), WM_ENDSESSION, TRUE, 0); }, Volume,
       HostPlaying},
      {"quit", [] { HostQuitPlugin(); }, Volume, HostPlaying},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(Start(1));
    ASSERT_NO_FATAL_FAILURE(AwayAndBack());
    HostPump(MidFadeMs);
    ASSERT_FALSE(FadeOver());
    const size_t commands = HostCommandCount();
    c.Act();
    HostPump(FadeMs + LateStepMs);
    EXPECT_EQ(HostGetVolume(), c.VolumeAfter);
    EXPECT_EQ(HostGetPlayState(), c.StateAfter);
    if (HostLastSave().Message != 0) EXPECT_EQ(HostLastSave().Volume, Volume) << "the player saved a fade's volume";
    // The pause of a new lock: the volume goes back right after it, before anything else.
    if (HostCommandCount() > commands) EXPECT_EQ(Sets().back().CommandsBefore, commands + 1);
  }
}

// Nothing of the fade where it cannot or need not be: the play goes out alone.
TEST_F(FadeTest, PlaysWithoutAVolumeMessageWhenOffOrForAnOldPlayer) {
  const struct {
    const char* Name;
    int Seconds;
    uintptr_t Version;
  } cases[] = {
      {"setting 0", 0, 0},
      {"an old player would take the read as a volume", 1, OldPlayer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(Start(c.Seconds, c.Version));
    ASSERT_NO_FATAL_FAILURE(AwayAndBack());
    HostPump(LateStepMs);
    EXPECT_EQ(HostVolumeMessages(), 0);
    EXPECT_EQ(HostGetVolume(), Volume);
    EXPECT_EQ(HostGetPlayState(), HostPlaying);
  }
}

}  // namespace
