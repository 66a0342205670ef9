// The fade-in of the plug-in's own resumes against a player that records every volume set.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "fade.h"
#include "fade_fakes.h"

namespace {

// Steps every FadeStepMs until the fade is over (at most far past the longest).
void StepToTheEnd(Fade& f, int32_t seconds, VolumePlayer& p) {
  for (int i = 0; i < 1000; ++i) {
    p.Now += FadeStepMs;
    if (!StepFade(f, seconds, p.Io())) return;
  }
}

TEST(FadeIn, ReachesTheVolumeReadInTheSetTime) {
  // clang-format off
  const struct {
    int32_t Stored;
    intptr_t Volume;
    uint64_t LengthMs;
  } rows[] = {
      {1, 255, 1000},
      {3, 2, 3000},
      {99, 128, 10000},  // beyond the range counts as its end
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Stored);
    VolumePlayer p{.Volume = row.Volume, .Now = 5000};
    Fade f{};
    ASSERT_TRUE(PlayResume(f, row.Stored, p.Io()));
    EXPECT_EQ(p.VolumeAtPlay, 0) << "the play must start silent";
    StepToTheEnd(f, row.Stored, p);
    EXPECT_EQ(p.Sets.back(), (VolumeSet{5000 + row.LengthMs, row.Volume}))
        << "the last step sets the volume read";
    EXPECT_GE(p.Sets.size(), row.LengthMs / 100) << "fewer than 10 steps a second";
    for (size_t i = 1; i + 1 < p.Sets.size(); ++i) {
      EXPECT_GE(p.Sets[i].Volume, p.Sets[i - 1].Volume) << "step " << i;
      EXPECT_LT(p.Sets[i].Volume, row.Volume) << "step " << i;
    }
    const int asked = p.Asked;
    EXPECT_FALSE(StepFade(f, row.Stored, p.Io()));
    EXPECT_EQ(p.Asked, asked) << "a step after the end";
  }
}

TEST(FadeIn, PlaysAsBeforeWhenItCannotFade) {
  const struct {
    const char* Name;
    int32_t Stored;
    uintptr_t Version;
    std::optional<intptr_t> ReadAnswer;
    int Asked;  // every message but the play
  } rows[] = {
      {"setting off", 0, 0x5091, {}, 0},
      {"setting negative", -3, 0x5091, {}, 0},
      {"an old player would take the read as a volume", 5, 0x4FFF, {}, 1},
      {"version not answered", 5, 1, {}, 1},
      {"volume not answered", 5, 0x5091, 0, 2},
      {"volume 1", 5, 0x5091, 1, 2},
      {"volume above range", 5, 0x5091, 256, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    VolumePlayer p{.Version = row.Version, .ReadAnswer = row.ReadAnswer};
    Fade f{};
    EXPECT_FALSE(PlayResume(f, row.Stored, p.Io()));
    EXPECT_FALSE(StepFade(f, row.Stored, p.Io()));
    EXPECT_EQ(p.Plays, 1);
    EXPECT_EQ(p.Asked, row.Asked);
    EXPECT_EQ(p.Volume, 200);
  }
}

constexpr uint64_t Mid = 1000;  // a second into a two-second fade to 200
void StepOnce(Fade& f, VolumePlayer& p, int32_t seconds = 2) {
  p.Now += FadeStepMs;
  StepFade(f, seconds, p.Io());
}

TEST(FadeIn, TheUserWinsAndNoFadeVolumeStays) {
  const struct {
    const char* Name;
    void (*Act)(Fade& f, VolumePlayer& p);  // the user, or the plug-in's own stop
    std::vector<VolumeSet> SetsAfter;
    intptr_t VolumeAfter;
  } rows[] = {
      {"user volume", [](Fade& f, VolumePlayer& p) { p.Volume = 90, StepOnce(f, p); }, {}, 90},
      {"user pause",
       [](Fade& f, VolumePlayer& p) { p.Playing = false, StepOnce(f, p); },
       {{Mid + 50, 200}},
       200},
      {"setting off", [](Fade& f, VolumePlayer& p) { StepOnce(f, p, 0); }, {{Mid + 50, 200}}, 200},
      {"stop", [](Fade& f, VolumePlayer& p) { StopFade(f, p.Io()); }, {{Mid, 200}}, 200},
      {"stop after user volume",
       [](Fade& f, VolumePlayer& p) { p.Volume = 90, StopFade(f, p.Io()); },
       {},
       90},
      // A resume before any step saw the pause fades to the volume first read, not the one reached.
      {"resume again before the next step",
       [](Fade& f, VolumePlayer& p) {
         p.Playing = false;
         PlayResume(f, 2, p.Io());
         p.Now += 2000;
         StepOnce(f, p);
       },
       {{Mid, 200}, {Mid, 0}, {Mid + 2050, 200}},
       200},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    VolumePlayer p{};
    Fade f{};
    ASSERT_TRUE(PlayResume(f, 2, p.Io()));
    while (p.Now < Mid) StepOnce(f, p);
    const size_t before = p.Sets.size();
    row.Act(f, p);
    EXPECT_EQ(std::vector<VolumeSet>(p.Sets.begin() + before, p.Sets.end()), row.SetsAfter);
    const int asked = p.Asked;
    StepToTheEnd(f, 2, p);
    StopFade(f, p.Io());
    EXPECT_EQ(p.Asked, asked) << "a fade that is over still sent";
    EXPECT_EQ(p.Volume, row.VolumeAfter);
  }
}

}  // namespace
