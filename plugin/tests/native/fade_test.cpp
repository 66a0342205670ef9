// The fade-in of the plug-in's own resumes against a player that records every volume set.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fade.h"
#include "fade_fakes.h"

namespace {

constexpr int MaxSteps = 1000;  // far past the longest fade: a fade that never ends fails

// Steps the fade every FadeStepMs until it is over; the number of steps taken.
int StepToTheEnd(Fade& f, int32_t seconds, VolumePlayer& p) {
  int steps = 0;
  for (; steps < MaxSteps; ++steps) {
    p.Now += FadeStepMs;
    if (!StepFade(f, seconds, p.Io())) break;
  }
  return steps;
}

struct FullFade {
  int32_t Stored;  // ResumeFadeSeconds as stored
  intptr_t Volume;
  uint64_t LengthMs;
};

TEST(FadeIn, ReachesTheVolumeReadInTheSetTime) {
  const FullFade rows[] = {
      {1, 255, 1000},
      {3, 2, 3000},
      {10, 200, 10000},
      {99, 128, 10000},  // beyond the range counts as its end
  };
  for (const FullFade& row : rows) {
    SCOPED_TRACE(std::to_string(row.Stored) + " s to " + std::to_string(row.Volume));
    VolumePlayer p{.Volume = row.Volume, .Now = 5000};
    Fade f{};
    ASSERT_TRUE(PlayResume(f, row.Stored, p.Io()));
    EXPECT_EQ(p.Plays, 1);
    EXPECT_EQ(p.VolumeAtPlay, 0) << "the play must start silent";
    StepToTheEnd(f, row.Stored, p);
    ASSERT_FALSE(p.Sets.empty());
    EXPECT_EQ(p.Sets.back(), (VolumeSet{5000 + row.LengthMs, row.Volume})) << "the last step sets the volume read";
    EXPECT_GE(p.Sets.size(), 10 * row.LengthMs / 1000) << "fewer than 10 steps a second";
    for (size_t i = 1; i < p.Sets.size(); ++i) {
      EXPECT_GE(p.Sets[i].Volume, p.Sets[i - 1].Volume) << "step " << i;
      EXPECT_LE(p.Sets[i].AtMs - p.Sets[i - 1].AtMs, FadeStepMs) << "step " << i;
      if (i + 1 < p.Sets.size()) EXPECT_LT(p.Sets[i].Volume, row.Volume) << "step " << i;
    }
    const size_t messages = p.Asked;
    EXPECT_FALSE(StepFade(f, row.Stored, p.Io()));
    EXPECT_EQ(p.Asked, messages) << "a step after the end";
  }
}

struct PlainPlay {
  const char* Name;
  int32_t Stored;
  uintptr_t Version;
  std::optional<intptr_t> ReadAnswer;
  int VolumeMessages;  // the read alone, or none at all
};

TEST(FadeIn, PlaysAsBeforeWhenItCannotFade) {
  const PlainPlay rows[] = {
      {"SettingOff", 0, 0x5091, {}, 0},
      {"SettingNegative", -3, 0x5091, {}, 0},
      {"OldPlayerWouldTakeTheReadAsVolume", 5, 0x4FFF, {}, 0},
      {"VersionNotAnswered", 5, 1, {}, 0},
      {"VolumeNotAnswered", 5, 0x5091, 0, 1},
      {"VolumeOne", 5, 0x5091, 1, 1},
      {"VolumeAboveRange", 5, 0x5091, 256, 1},
      {"VolumeNegative", 5, 0x5091, -1, 1},
  };
  for (const PlainPlay& row : rows) {
    SCOPED_TRACE(row.Name);
    VolumePlayer p{.Version = row.Version, .ReadAnswer = row.ReadAnswer};
    Fade f{};
    EXPECT_FALSE(PlayResume(f, row.Stored, p.Io()));
    EXPECT_EQ(p.Plays, 1);
    EXPECT_EQ(p.VolumeMessages, row.VolumeMessages);
    EXPECT_TRUE(p.Sets.empty());
    if (row.Stored <= 0) EXPECT_EQ(p.Asked, 0) << "no message at all with the setting off";
    EXPECT_FALSE(StepFade(f, row.Stored, p.Io()));
    EXPECT_EQ(p.Volume, 200);
  }
}

// What happens after a second of a two-second fade to 200.
struct Interruption {
  const char* Name;
  void (*Act)(Fade& f, VolumePlayer& p);  // the user, or the plug-in's own stop
  std::vector<VolumeSet> SetsAfter;       // every volume set from then on
  intptr_t VolumeAfter;
};

constexpr uint64_t Mid = 1000;  // the moment of the interruption
constexpr int32_t Seconds = 2;
void StepOnce(Fade& f, VolumePlayer& p, int32_t seconds = Seconds) {
  p.Now += FadeStepMs;
  StepFade(f, seconds, p.Io());
}

TEST(FadeIn, TheUserWinsAndNoFadeVolumeStays) {
  const Interruption rows[] = {
      {"UserVolumeEndsIt", [](Fade& f, VolumePlayer& p) { p.Volume = 90; StepOnce(f, p); }, {}, 90},
      {"UserPausePutsItBack",
       [](Fade& f, VolumePlayer& p) { p.Playing = false; StepOnce(f, p); },
       {{Mid + FadeStepMs, 200}},
       200},
      {"SettingOffPutsItBack",
       [](Fade& f, VolumePlayer& p) { StepOnce(f, p, 0); },
       {{Mid + FadeStepMs, 200}},
       200},
      {"StopPutsItBackAtOnce", [](Fade& f, VolumePlayer& p) { StopFade(f, p.Io()); }, {{Mid, 200}}, 200},
      {"StopKeepsTheUserVolume",
       [](Fade& f, VolumePlayer& p) { p.Volume = 90; StopFade(f, p.Io()); },
       {},
       90},
      // The user paused and the next resume came before a step saw it: the fade starts again from
      // 0 to the volume first read, never to the one it had reached.
      {"ResumeAgainBeforeTheNextStep",
       [](Fade& f, VolumePlayer& p) {
         p.Playing = false;
         PlayResume(f, Seconds, p.Io());
         p.Now += Seconds * 1000;
         StepOnce(f, p);
       },
       {{Mid, 200}, {Mid, 0}, {Mid + Seconds * 1000 + FadeStepMs, 200}},
       200},
  };
  for (const Interruption& row : rows) {
    SCOPED_TRACE(row.Name);
    VolumePlayer p{};
    Fade f{};
    ASSERT_TRUE(PlayResume(f, Seconds, p.Io()));
    while (p.Now < Mid) StepOnce(f, p);
    const size_t before = p.Sets.size();
    row.Act(f, p);
    EXPECT_EQ(std::vector<VolumeSet>(p.Sets.begin() + before, p.Sets.end()), row.SetsAfter);
    const size_t messages = p.Asked;
    EXPECT_EQ(StepToTheEnd(f, Seconds, p), 0);
    StopFade(f, p.Io());
    EXPECT_EQ(p.Asked, messages) << "a fade that is over still sent";
    EXPECT_EQ(p.Volume, row.VolumeAfter);
  }
}

}  // namespace
