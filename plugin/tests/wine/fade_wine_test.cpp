// The fade-in of a resume through the real gen_hushbell.dll in the stand-in player, which records
// every volume set with its time.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "host_test.h"

namespace {

constexpr UINT Play = HostCommandPlay, Pause = HostCommandPause;
constexpr intptr_t Volume = HostInitialVolume;
// ResumeFadeSeconds=1; a fade is interrupted this far in; a step or the end may come this late.
constexpr DWORD FadeMs = 1000, MidFadeMs = 400, LateMs = 300;

class FadeTest : public HostTest {
 protected:
  // Starts with a fade of `seconds`, then a lock and an unlock found by the timer's ticks or
  // announced by Windows. The resume's play has arrived on return; the ticks are held from then on,
  // so whatever follows comes from the plug-in's own window.
  void StartAwayAndBack(int seconds, bool byTicks, uintptr_t version = 0x5091) {
    ASSERT_NO_FATAL_FAILURE(Fresh());
    WriteIniSettings(ini_, "LockAction=1 LockAutoResume=1 ScreenSaverAction=0 ResumeFadeSeconds=" +
                               std::to_string(seconds));
    ASSERT_TRUE(HostTest::Start(false, true));
    HostSetPlayState(HostPlaying);
    HostSetVersion(version);
    ASSERT_EQ(HostInitPlugin(), 0);
    for (const bool locked : {true, false}) {
      SimSetLocked(locked);
      if (byTicks) ASSERT_TRUE(SimWaitForFreshTicks(1, 3000));
      if (!byTicks) ASSERT_TRUE(SimAnnounce(locked ? WTS_SESSION_LOCK : WTS_SESSION_UNLOCK));
      HostPump(0);
    }
    SimHoldTicks(true);
    ASSERT_EQ(Commands(), (std::vector<UINT>{Pause, Play}));
  }
};

// The timer's thread hands the play over; the steps come from the plug-in's window.
TEST_F(FadeTest, FadesInAfterTheUnlockToExactlyTheVolumeReadInTheSetTime) {
  ASSERT_NO_FATAL_FAILURE(StartAwayAndBack(1, true));
  HostPump(FadeMs + LateMs);
  const std::vector<HostVolumeSet> sets = HostVolumeSets();
  ASSERT_GE(sets.size(), 10u * FadeMs / 1000) << "fewer than 10 steps a second";
  EXPECT_EQ(sets.front().Volume, 0);
  EXPECT_EQ(sets.front().CommandsBefore, 1u) << "silent just before the play";
  const uint64_t playAt = HostCommandAt(1).AtMs;
  EXPECT_GE(sets.back().AtMs, playAt + FadeMs);
  EXPECT_LE(sets.back().AtMs, playAt + FadeMs + LateMs);
  EXPECT_EQ(sets.back().Volume, Volume);
  for (size_t i = 1; i + 1 < sets.size(); ++i) {
    EXPECT_GE(sets[i].Volume, sets[i - 1].Volume) << "step " << i;
    EXPECT_LT(sets[i].Volume, Volume) << "step " << i;
  }
  HostPump(LateMs);
  EXPECT_EQ(HostVolumeSets().size(), sets.size()) << "a step after the end";
}

// Mid-fade the user or the system steps in: the fade ends, and the volume is the user's.
TEST_F(FadeTest, TheUserWinsAndTheFadesVolumeNeverStays) {
  const struct {
    const char* Name;
    void (*Act)();
    intptr_t VolumeAfter;
  } cases[] = {
      {"the user's volume", [] { HostSetVolume(90); }, 90},
      {"the user's pause", [] { HostSetPlayState(HostPaused); }, Volume},
      {"the user's stop", [] { HostSetPlayState(HostStopped); }, Volume},
      {"a new lock", [] { SimSetLocked(true), SimAnnounce(WTS_SESSION_LOCK); }, Volume},
      {"the player closing", [] { SendMessageW(HostWindowHandle(), WM_CLOSE, 0, 0); }, Volume},
      {"the session ending", [] { SendMessageW(HostWindowHandle(), WM_QUERYENDSESSION, 0, 0); }, Volume},
      {"the session ended", [] { SendMessageW(HostWindowHandle(), WM_ENDSESSION, TRUE, 0); }, Volume},
      {"quit", HostQuitPlugin, Volume},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(StartAwayAndBack(1, false));
    HostPump(MidFadeMs);
    ASSERT_NE(HostGetVolume(), Volume) << "the fade is over too soon";
    const size_t commands = HostCommandCount();
    c.Act();
    // Saved as the player closes or the session ends: the volume must be back before that.
    if (HostSavedVolume() != -1) EXPECT_EQ(HostSavedVolume(), Volume);
    HostPump(FadeMs + LateMs);
    EXPECT_EQ(HostGetVolume(), c.VolumeAfter);
    // A new lock's pause: the volume goes back right after it.
    if (HostCommandCount() > commands) EXPECT_EQ(HostVolumeSets().back().CommandsBefore, commands + 1);
  }
}

TEST_F(FadeTest, PlaysWithoutAVolumeMessageWhenOffOrForAnOldPlayer) {
  for (const auto& [seconds, version] : {std::pair{0, 0x5091}, {1, 0x2095}}) {
    SCOPED_TRACE(version);
    ASSERT_NO_FATAL_FAILURE(StartAwayAndBack(seconds, false, version));
    HostPump(LateMs);
    EXPECT_EQ(HostVolumeMessages(), 0);
    EXPECT_EQ(HostGetPlayState(), HostPlaying);
  }
}

}  // namespace
