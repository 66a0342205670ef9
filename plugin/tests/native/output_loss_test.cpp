// The sound output going away: the audio service's news in the orders Windows sends them, and
// the slots that carry them to the player's thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output_loss.h"
#include "plugin_fakes.h"

namespace {

constexpr uint32_t Unplugged = 8, NotPresent = 4, Disabled = 2;
constexpr uint8_t FlowCapture = 1, RoleCommunications = 2;

OutputEvent Make(OutputChange change, const char16_t* id, uint64_t at, uint8_t role = RoleMultimedia,
                 uint32_t state = Unplugged, uint8_t flow = FlowRender) {
  OutputEvent e{change, flow, role, state, at, false, {}};
  SetEventId(e, id);
  return e;
}
OutputEvent Gone(const char16_t* id, uint64_t at = 0, uint32_t state = Unplugged) {
  return Make(OutputChange::State, id, at, RoleMultimedia, state);
}
OutputEvent Moved(uint8_t role, const char16_t* id, uint64_t at = 0, uint8_t flow = FlowRender) {
  return Make(OutputChange::Default, id, at, role, 0, flow);
}

struct Step {
  OutputEvent Event;
  const char* Expect = "";  // commands sent, one digit each
  PlayerState Set = {};     // the user changes the player before the step
};

struct Setup {
  const char* Name;
  uint8_t Action;
  PlayerState Player;
  const char16_t* Console;  // the defaults found at the start (console, multimedia)
  const char16_t* Multimedia;
};

struct Scenario {
  Setup At;
  std::vector<Step> Steps;
};

// Pause only to a playing player, stop as chosen and nothing with 0: the Windows tests' cases.
const std::vector<Scenario> Scenarios = {
    {{"UnplugThenWindowsMovesTheDefault", 1, Playing, u"hp", u"hp"},
     {
         {Gone(u"hp", 10), "1"},
         {Moved(RoleConsole, u"spk", 11)},
         {Moved(RoleMultimedia, u"spk", 12)},
     }},
    {{"DefaultMovesFirstThenTheStateChanges", 1, Playing, u"hp", u"hp"},
     {
         {Moved(RoleConsole, u"spk", 10)},
         {Moved(RoleMultimedia, u"spk", 10)},
         {Gone(u"hp", 15), "1"},
         {Make(OutputChange::Removed, u"hp", 16)},
     }},
    {{"LastOutputGoneLeavesNoDefault", 1, Playing, u"hp", u"hp"},
     {
         {Moved(RoleConsole, nullptr), "1"},
         {Moved(RoleMultimedia, nullptr)},
         {Gone(u"hp")},
     }},
    {{"UsersSwitchSendsNothingNorALaterUnplugOfTheOldOne", 1, Playing, u"hp", u"hp"},
     {
         {Moved(RoleConsole, u"spk", 1000)},
         {Moved(RoleMultimedia, u"spk", 1000)},
         {Gone(u"hp", 1000 + DefaultMoveWindowMs + 1)},
         {Gone(u"spk", 90000), "1"},
     }},
    {{"StateChangeAtTheEdgeOfTheMoveStillCounts", 1, Playing, u"hp", u"hp"},
     {
         {Moved(RoleMultimedia, u"spk", 1000)},
         {Gone(u"hp", 1000 + DefaultMoveWindowMs), "1"},
     }},
    {{"RemovedDisabledOrNotPresentAreLossesToo", 1, Playing, u"hp", u"hp"},
     {
         {Make(OutputChange::Removed, u"hp", 0), "1"},
         {Moved(RoleMultimedia, u"spk"), "", Playing},
         {Gone(u"spk", 0, Disabled), "1"},
         {Moved(RoleMultimedia, u"usb"), "", Playing},
         {Gone(u"usb", 0, NotPresent), "1"},
     }},
    {{"PlugBackAndOutAgain", 1, Playing, u"hp", u"hp"},
     {
         {Gone(u"hp"), "1"},
         {Moved(RoleMultimedia, u"spk")},
         {Make(OutputChange::State, u"hp", 500, RoleMultimedia, EndpointActive)},
         {Moved(RoleMultimedia, u"hp", 500), "", Playing},
         {Gone(u"hp", 9000), "1"},
     }},
    {{"PlayIsNeverSentForAnOutputGone", 3, Paused, u"hp", u"hp"}, {{Gone(u"hp")}}},
    {{"EitherRoleCounts", 1, Playing, u"hp", u"spk"},
     {
         {Gone(u"hp"), "1"},
         {Gone(u"spk", 0, Disabled), "1", Playing},
     }},
    {{"OtherOutputsCapturesAndCommunicationsDoNotCount", 1, Playing, u"hp", u"hp"},
     {
         {Gone(u"hdmi")},
         {Moved(RoleMultimedia, nullptr, 0, FlowCapture)},
         {Moved(RoleCommunications, nullptr)},
         {Make(OutputChange::State, u"hp", 0, RoleMultimedia, EndpointActive)},
         {Gone(u"hp"), "1"},
     }},
    {{"TheDefaultFoundAtTheStartYieldsToNewerNews", 1, Playing, nullptr, nullptr},
     {
         {Moved(RoleMultimedia, u"spk")},
         {Make(OutputChange::FirstDefault, u"hp", 1)},
         {Gone(u"hp", 9000)},
         {Gone(u"spk"), "1"},
     }},
    {{"NoOutputKnownNoLoss", 1, Playing, nullptr, nullptr},
     {
         {Moved(RoleMultimedia, nullptr)},
         {Gone(u"hp")},
     }},
};

class OutputLoss : public ::testing::TestWithParam<Scenario> {};

TEST_P(OutputLoss, Scenario) {
  const Scenario& sc = GetParam();
  FakeHost host;
  host.Player.State = sc.At.Player;
  PluginState s{};
  Put(s.UnplugAction, sc.At.Action);
  OutputWatch watch;
  ResetOutputWatch(watch);
  for (uint8_t role : {RoleConsole, RoleMultimedia}) {
    const char16_t* id = role == RoleConsole ? sc.At.Console : sc.At.Multimedia;
    if (id != nullptr) OnOutputEvent(s, watch, Make(OutputChange::FirstDefault, id, 0, role), host.Io());
  }
  for (size_t i = 0; i < sc.Steps.size(); ++i) {
    const Step& step = sc.Steps[i];
    if (step.Set != PlayerState{}) host.Player.State = step.Set;
    host.Sent.clear();
    OnOutputEvent(s, watch, step.Event, host.Io());
    EXPECT_EQ(host.Sent, step.Expect) << "step " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, OutputLoss, ::testing::ValuesIn(Scenarios),
                         [](const auto& info) { return std::string(info.param.At.Name); });

TEST(OutputEventId, NullTooLongAndFullLength) {
  const std::u16string fits(EndpointIdCapacity - 1, u'x'), tooLong(EndpointIdCapacity, u'x');
  OutputEvent e{};
  SetEventId(e, nullptr);
  EXPECT_TRUE(e.NoId);
  SetEventId(e, fits.c_str());
  EXPECT_FALSE(e.NoId);
  EXPECT_EQ(std::u16string(e.Id), fits);
  SetEventId(e, tooLong.c_str());
  EXPECT_FALSE(e.NoId);
  EXPECT_EQ(e.Id[0], u'\0');
  // An id cut short could match another output's: one that does not fit matches nothing.
  OutputWatch watch;
  ResetOutputWatch(watch);
  EXPECT_FALSE(IsOutputLoss(watch, Make(OutputChange::FirstDefault, tooLong.c_str(), 0)));
  EXPECT_FALSE(IsOutputLoss(watch, Gone(fits.c_str())));
  EXPECT_FALSE(IsOutputLoss(watch, Gone(tooLong.c_str())));
}

struct Poster {
  std::vector<uint32_t> Slots;
  bool Accept = true;
  static bool Post(void* c, uint32_t slot) {
    auto& p = *static_cast<Poster*>(c);
    if (p.Accept) p.Slots.push_back(slot);
    return p.Accept;
  }
};

TEST(OutputEventQueue, SlotsFillFreeAndClear) {
  static OutputEventQueue queue;
  Poster poster;
  for (uint32_t i = 0; i < OutputEventSlots; ++i)
    EXPECT_TRUE(QueueOutputEvent(queue, Gone(u"hp", i), Poster::Post, &poster));
  EXPECT_FALSE(QueueOutputEvent(queue, Gone(u"hp"), Poster::Post, &poster)) << "every slot is taken";
  OutputEvent out{};
  ASSERT_TRUE(TakeOutputEvent(queue, poster.Slots[3], out));
  EXPECT_EQ(out.AtMs, 3u);
  EXPECT_EQ(std::u16string(out.Id), u"hp");
  EXPECT_FALSE(TakeOutputEvent(queue, poster.Slots[3], out)) << "taken once";
  EXPECT_FALSE(TakeOutputEvent(queue, OutputEventSlots, out));

  // A post that fails frees its slot again.
  poster.Accept = false;
  EXPECT_FALSE(QueueOutputEvent(queue, Gone(u"spk", 77), Poster::Post, &poster));
  poster.Accept = true;
  ASSERT_TRUE(QueueOutputEvent(queue, Gone(u"spk", 78), Poster::Post, &poster));
  ASSERT_TRUE(TakeOutputEvent(queue, poster.Slots.back(), out));
  EXPECT_EQ(out.AtMs, 78u);

  ClearOutputEvents(queue);
  for (uint32_t slot = 0; slot < OutputEventSlots; ++slot) EXPECT_FALSE(TakeOutputEvent(queue, slot, out));
  EXPECT_TRUE(QueueOutputEvent(queue, Gone(u"hp"), Poster::Post, &poster)) << "cleared slots are free";
}

}  // namespace
