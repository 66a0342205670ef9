// Presence monitor scenarios against a fake host whose player takes commands as the real one does.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "monitor.h"
#include "plugin_fakes.h"

namespace {

constexpr PlayerState Keep{};  // Step: the player as it was

constexpr uint64_t Minute = 60000;
constexpr uintptr_t Tick = ~uintptr_t{0};  // Step::WParam for a timer tick instead of a message

// Designated fields must follow this order: Desk, Expect, After, Set, Advance, Before, WParam, Message.
struct Step {
  Desktop Desk = Free;
  const char* Expect = "";                 // commands sent during the step, one digit each
  PlayerState After = Keep;                // player state after the step
  PlayerState Set = Keep;                  // the user changes the player before the step
  uint64_t Advance = 1000;                 // ms since the previous step
  void (*Before)(PluginState&) = nullptr;  // settings stored before the step (dialog OK)
  uintptr_t WParam = Tick;                 // power broadcast wParam, or Tick
  uint32_t Message = WmPowerBroadcast;
};

struct Setup {
  const char* Name;
  Settings Config;
  Desktop Desk;
  PlayerState Player;
};

struct Scenario {
  Setup At;  // the settings, and what init finds
  std::vector<Step> Steps;
};

constexpr Settings Saver1{.ScreenSaverAction = 1, .ScreenSaverAutoResume = 1};
constexpr Settings Dark1{.ScreenSaverAction = 1, .ScreenSaverAutoResume = 1, .ScreenSaverDisplayOff = 1};
constexpr Settings Saver1Timed{.ScreenSaverAction = 1, .ScreenSaverAutoResume = 1, .ScreenSaverTimeout = 1};
constexpr Settings Dark1Timed{
    .ScreenSaverAction = 1, .ScreenSaverAutoResume = 1, .ScreenSaverTimeout = 1, .ScreenSaverDisplayOff = 1};
constexpr Settings Saver1Standby2{.ScreenSaverAction = 1, .ScreenSaverAutoResume = 1, .StandbyAction = 2};
constexpr Settings Standby(uint8_t a) { return {.StandbyAction = a}; }
void LockTimeout0(PluginState& s) { Put(s.LockTimeout, 0); }
void LockTimeoutMinus1(PluginState& s) { Put(s.LockTimeout, -1); }
const Step Suspend{.WParam = PbtApmSuspend};
const Step Resume{.WParam = PbtApmResumeSuspend};

const std::vector<Scenario> Scenarios = {
    {{"LockWhilePlayingPausesThenPlays", {}, Free, Playing},
     {
         {Free},
         {Locked, "1", Paused},
         {Locked},
         {Free, "3", Playing},
         {Free},
     }},
    {{"LockWhilePausedOrStoppedSendsNothing", {}, Free, Paused},
     {
         {Locked},
         {Free},
         {.Desk = Locked, .Set = Stopped},
         {Free},
     }},
    {{"LockStopsWithAction2OnlyWhenPlaying", {.LockAction = 2}, Free, Playing},
     {
         {Locked, "2", Stopped},
         {Free, "3", Playing},
         {.Desk = Free, .Set = Paused},
         {Locked},
         {Free},
     }},
    {{"UnlockIntoScreenSaverWaitsForItsEnd", {}, Free, Playing},
     {
         {Locked, "1", Paused},
         {Saver},
         {Free, "3", Playing},
     }},
    {{"LockAction3WouldRestartSoNothingIsSent", {.LockAction = 3}, Free, Playing},
     {
         {Locked},
         {Free},
     }},
    {{"LockActionOutOfRangeTakesOverSilently", {.LockAction = 200}, Free, Playing},
     {
         {Locked},
         {.Desk = Locked, .Set = Paused},
         {Free, "3", Playing},
     }},
    {{"LockWithoutAutoResume", {.LockAutoResume = 0}, Free, Playing},
     {
         {Locked, "1", Paused},
         {Free},
     }},
    // Lock action 0 keeps the music going; play at the unlock only if the user paused meanwhile.
    {{"LockAction0WithScreenSaverSet", {.LockAction = 0, .ScreenSaverAction = 1}, Free, Playing},
     {
         {Locked},
         {Free},
         {Locked},
         {.Desk = Locked, .Set = Paused},
         {Free, "3", Playing},
     }},
    {{"ScreenSaverAction2Pauses", {.ScreenSaverAction = 2, .ScreenSaverAutoResume = 1}, Free, Playing},
     {
         {Saver, "1", Paused},
         {Saver},
         {Free, "3", Playing},
     }},
    {{"ScreenSaverWithoutAutoResume", {.ScreenSaverAction = 1}, Free, Playing},
     {
         {Saver, "1", Paused},
         {Free},
     }},
    {{"ScreenSaverWhilePausedSendsNothing", Saver1, Free, Paused},
     {
         {Saver},
         {Saver},
         {Free},
     }},
    {{"ScreenSaverEndsWhileUserPlaysSendsNoPlay", Saver1, Free, Playing},
     {
         {Saver, "1", Paused},
         {.Desk = Saver, .Set = Playing},
         {Free},
     }},
    {{"PasswordProtectedScreenSaver", Saver1, Free, Playing},
     {
         Step{Free},
         Step{SaverLocked, "1", Paused},
         Step{SaverLocked},
         Step{Locked},
         Step{Locked},
         Step{Free, "3", Playing},
         Step{Free},
         Step{Locked, "1", Paused},
         Step{Free, "3", Playing},
     }},
    // Without a screen-saver action a password-protected screen saver's lock is still not a lock.
    {{"ScreenSaverAction0PasswordLockIsNotALock", {}, Free, Playing},
     {
         {Saver},
         {SaverLocked},
         {Locked},
         {Locked},
         {Free},
         {Locked, "1", Paused},
         {Free, "3", Playing},
     }},
    // The tick that resumes has seen the screen saver gone: a lock right after it is a lock.
    {{"LockRightAfterScreenSaverResumeIsALock", Saver1, Free, Playing},
     {
         {Saver, "1", Paused},
         {Saver},
         {Free, "3", Playing},
         {Locked, "1", Paused},
         {Free, "3", Playing},
     }},
    {{"SingleTickScreenSaverIntoLockedDesktop", Saver1, Free, Playing},
     {
         {Saver, "1", Paused},
         {Locked, "3", Playing},
         {Locked, "1", Paused},
         {Locked},
         {Free, "3", Playing},
     }},
    {{"InitWhileScreenSaverRuns", Saver1, Saver, Playing},
     {
         {Saver},
         {Saver},
         {Free},
         {Saver, "1", Paused},
         {Free, "3", Playing},
     }},
    {{"InitWhileScreenSaverRunsWithAction0BlocksLockUntilEnabled", {}, Saver, Playing},
     {
         Step{Free},
         Step{Locked},
         Step{Free},
         Step{.Desk = Free, .Before = [](PluginState& s) { Put(s.ScreenSaverAction, 1); }},
         Step{Locked, "1", Paused},
         Step{Free, "3", Playing},
     }},
    {{"BothFlagsSeededOnlyStandbyWorks", Saver1Standby2, SaverLocked, Playing},
     {
         Step{Free},
         Step{Saver},
         Step{Locked},
         Step{Free},
         Suspend,
         Step{.Expect = "2", .After = Stopped, .WParam = PbtApmResumeSuspend},
         Step{.Desk = Locked, .Set = Playing},
         Step{Saver},
         Step{Free},
     }},
    {{"StandbyAction0IgnoresPower", {}, Free, Playing},
     {
         Suspend,
         {Locked, "1", Paused},
         Resume,
         {Free, "3", Playing},
     }},
    {{"ResumeWithoutSuspendAndSecondResume", Standby(2), Free, Playing},
     {
         Resume,
         Suspend,
         Step{.Expect = "2", .After = Stopped, .WParam = PbtApmResumeAutomatic},
         Step{.WParam = PbtApmResumeCritical},
         Resume,
     }},
    {{"StandbyTicksIdleAndWParam5And8DoNothing", Standby(1), Free, Playing},
     {
         Step{.WParam = 5},
         Step{.WParam = 8},
         Step{Locked, "1", Paused},
         Step{Free, "3", Playing},
         Suspend,
         Step{Locked},
         Step{.WParam = 8},
         Step{Free},
         Step{.Expect = "1", .After = Paused, .WParam = PbtApmResumeCritical},
         Step{Locked},
         Step{Free},
     }},
    {{"OtherMessageWithSuspendWParamIsIgnored", Standby(2), Free, Playing},
     {
         {.WParam = PbtApmSuspend, .Message = 0x10},
         {Locked, "1", Paused},
         Resume,
     }},
    // Standby pause/play only to a player in the right state; stop always; other codes nothing.
    {{"StandbyCommandsSuitThePlayer", Standby(1), Free, Paused},
     {
         Suspend,
         Resume,
         Suspend,
         {.Expect = "1", .After = Paused, .Set = Playing, .WParam = PbtApmResumeSuspend},
         {.Before = [](PluginState& s) { Put(s.StandbyAction, 3); }, .WParam = PbtApmSuspend},
         {.Set = Playing, .WParam = PbtApmResumeSuspend},
         Suspend,
         {.Expect = "3", .After = Playing, .Set = Stopped, .WParam = PbtApmResumeSuspend},
         {.Set = Stopped, .Before = [](PluginState& s) { Put(s.StandbyAction, 2); }, .WParam = PbtApmSuspend},
         {.Expect = "2", .After = Stopped, .WParam = PbtApmResumeSuspend},
         {.Before = [](PluginState& s) { Put(s.StandbyAction, 4); }, .WParam = PbtApmSuspend},
         Resume,
         {.Desk = Locked, .Expect = "1", .After = Paused, .Set = Playing},
     }},
    // A suspend and its resumes heard on the player's window, the plug-in's own and the registration.
    {{"StandbyHeardThreeWaysActsOnce", Standby(2), Free, Playing},
     {
         Suspend,
         Suspend,
         Suspend,
         Step{.Expect = "2", .After = Stopped, .WParam = PbtApmResumeAutomatic},
         Step{.WParam = PbtApmResumeAutomatic},
         Step{.WParam = PbtApmResumeAutomatic},
         Resume,
         Resume,
         Resume,
         Step{Free},
     }},
    // Modern standby: the display goes off and the session locks before the suspend. The standby
    // action at the resume wins over their resume, even when it had nothing to send.
    {{"StandbyStopCancelsTheLocksPlay", {.StandbyAction = 2}, Free, Playing},
     {
         Step{Locked, "1", Paused},
         Suspend,
         Step{.Desk = Locked, .Expect = "2", .After = Stopped, .WParam = PbtApmResumeAutomatic},
         Step{Locked},
         Step{Free},
     }},
    {{"StandbyPauseCancelsTheLocksPlay", {.StandbyAction = 1}, Free, Playing},
     {
         Step{Locked, "1", Paused},
         Suspend,
         Resume,
         Step{Free},
     }},
    {{"StandbyStopCancelsTheDisplaysPlay",
      {.LockAction = 0,
       .ScreenSaverAction = 1,
       .ScreenSaverAutoResume = 1,
       .StandbyAction = 2,
       .ScreenSaverDisplayOff = 1},
      Free,
      Playing},
     {
         Step{Dark, "1", Paused},
         Step{DarkLocked},
         Suspend,
         Step{.Desk = DarkLocked, .Expect = "2", .After = Stopped, .WParam = PbtApmResumeAutomatic},
         Step{Locked},
         Step{Free},
     }},
    // Timeouts count from the take-over, not from start-up; exactly the limit still resumes.
    {{"LockTimeoutBoundary", {.LockTimeout = 5}, Free, Playing},
     {
         {.Desk = Locked, .Expect = "1", .After = Paused, .Advance = 60 * Minute},
         {.Desk = Free, .Expect = "3", .After = Playing, .Advance = 5 * Minute},
         {Locked, "1", Paused},
         {.Desk = Free, .Advance = 5 * Minute + 1},
         {.Desk = Locked, .Expect = "1", .After = Paused, .Set = Playing},
         {.Desk = Free, .Expect = "3", .After = Playing, .Advance = 400 * Minute, .Before = LockTimeout0},
         {Locked, "1", Paused},
         {.Desk = Free,
          .Expect = "3",
          .After = Playing,
          .Advance = 400 * Minute,
          .Before = LockTimeoutMinus1},
     }},
    {{"LockTimeoutHugeDoesNotOverflow", {.LockTimeout = INT32_MAX}, Free, Playing},
     {
         Step{Locked, "1", Paused},
         Step{.Desk = Free, .Expect = "3", .After = Playing, .Advance = 2147483647ull * Minute},
         Step{Locked, "1", Paused},
         Step{.Desk = Free, .Advance = 2147483647ull * Minute + 1},
     }},
    {{"ScreenSaverTimeoutBoundary", Dark1Timed, Free, Playing},
     {
         Step{.Desk = Saver, .Expect = "1", .After = Paused, .Advance = 30 * Minute},
         Step{.Desk = Free, .Expect = "3", .After = Playing, .Advance = Minute},
         Step{Saver, "1", Paused},
         Step{.Desk = Free, .Advance = Minute + 1},
         Step{.Desk = Dark, .Expect = "1", .After = Paused, .Set = Playing},  // the display, alike
         Step{.Desk = Free, .Advance = Minute + 1},
     }},
    {{"ScreenSaverTimeoutCountsFromStartAcrossPasswordLock", Saver1Timed, Free, Playing},
     {
         Step{SaverLocked, "1", Paused},
         Step{.Desk = SaverLocked, .Advance = 40000},
         Step{.Desk = Locked, .Advance = 19000},
         Step{Free, "3", Playing},
         Step{SaverLocked, "1", Paused},
         Step{.Desk = SaverLocked, .Advance = 40000},
         Step{.Desk = Locked, .Advance = 19000},
         Step{.Desk = Free, .Advance = 1001},
         Step{Free},
     }},
    // The display turning off stands for the screen saver, with the same rules; dimmed is not off.
    {{"DisplayOffNotDimmed", Dark1, Free, Playing},
     {
         {Dim},
         {Dark, "1", Paused},
         {Dark},
         {Dim, "3", Playing},
     }},
    {{"DisplayOffWhilePaused", Dark1, Free, Paused},
     {
         {Dark},
         {Free},
     }},
    {{"DisplayOffNoResume", {.ScreenSaverAction = 1, .ScreenSaverDisplayOff = 1}, Free, Playing},
     {
         {Dark, "1", Paused},
         {Free},
     }},
    {{"SaverOutlastsDisplay", Dark1, Free, Playing},
     {
         {Dark, "1", Paused},
         {DarkSaver},
         {Saver},
         {Free, "3", Playing},
     }},
    {{"DisplayOffIntoLock", Dark1, Free, Playing},
     {
         {Dark, "1", Paused},
         {Dark},
         {DarkLocked},
         {Locked},
         {Free, "3", Playing},
     }},
    {{"DisplayOffInLock", Dark1, Free, Playing},
     {
         {Locked, "1", Paused},
         {DarkLocked},
         {Dark},
         {Free, "3", Playing},
     }},
    // Without the choice, or without a screen-saver action, the display is nothing; a lock is a lock.
    {{"NoChoice", Saver1, Free, Playing},
     {
         {Dark},
         {DarkLocked, "1", Paused},
         {Free, "3", Playing},
     }},
    {{"NoSaverAction", {.ScreenSaverDisplayOff = 1}, Free, Playing},
     {
         {Dark},
         {DarkLocked, "1", Paused},
         {Free, "3", Playing},
     }},
};

class MonitorScenario : public testing::TestWithParam<Scenario> {};

TEST_P(MonitorScenario, SendsExpectedCommands) {
  const Scenario& sc = GetParam();
  FakeHost host{.Desk = sc.At.Desk, .Player = {sc.At.Player}};
  const MonitorIo io = host.Io();
  PluginState s{};
  SeedMonitor(s, io);
  Store(s, sc.At.Config);
  for (size_t i = 0; i < sc.Steps.size(); ++i) {
    const Step& step = sc.Steps[i];
    SCOPED_TRACE("step " + std::to_string(i + 1) + ", the list's line " + std::to_string(i + 1));
    if (step.Before) step.Before(s);
    if (step.Set != Keep) host.Player.State = step.Set;
    const PlayerState before = host.Player.State;
    host.Desk = step.Desk;
    host.Now += step.Advance;
    host.Sent.clear();
    host.ProbeCalls = 0;
    if (step.WParam == Tick) {
      PollTick(s, io);
      // Each desktop probe at most once a tick, whatever the state.
      EXPECT_LE(host.ProbeCalls, 2);
    } else
      OnPowerBroadcast(s, io, step.Message, step.WParam);
    EXPECT_EQ(host.Sent, step.Expect);
    EXPECT_EQ(char(host.Player.State), char(step.After == Keep ? before : step.After));
  }
  EXPECT_EQ(host.Player.Restarts, 0) << "play reached a playing track";
}

INSTANTIATE_TEST_SUITE_P(Table, MonitorScenario, testing::ValuesIn(Scenarios),
                         [](const auto& info) { return std::string(info.param.At.Name); });

TEST(Monitor, SeedTakesStateFromProbes) {
  FakeHost host{.Desk = SaverLocked, .Now = 1234};
  PluginState s{};
  Put(s.WasPlaying, 1);
  Put(s.StandbyPending, 1);
  SeedMonitor(s, host.Io());
  EXPECT_EQ((std::array{Get(s.LockEngaged), Get(s.ScreenSaverEngaged), Get(s.ScreenSaverSeen),
                        Get(s.WasPlaying), Get(s.StandbyPending)}),
            (std::array{1, 1, 1, 0, 0}));
  EXPECT_EQ((std::array{s.LockEngagedAtMs, s.ScreenSaverEngagedAtMs}), (std::array<uint64_t, 2>{1234, 1234}));
}

// The host's command numbers as its documentation gives them, typed here on purpose: the fakes
// and the stand-in host take theirs from the same header, so only this catches a wrong one.
TEST(Monitor, CommandMapAndTriggers) {
  const uint32_t documented[] = {
      0,      // 0: nothing
      40046,  // 1: pause
      40047,  // 2: stop
      40045,  // 3: play
  };
  for (int code = 0; code < 256; ++code)
    EXPECT_EQ(HostCommandFor(static_cast<uint8_t>(code)), code < 4 ? documented[code] : 0u) << code;
  EXPECT_EQ((std::array{HostQueryMessage, uint32_t{HostQueryPlayState}, uint32_t{HostQueryIniPath}}),
            (std::array<uint32_t, 3>{0x400, 104, 334}));
  PluginState s{};
  EXPECT_FALSE(AnyTriggerEnabled(s));
  Put(s.StandbyAction, 1);
  EXPECT_FALSE(AnyTriggerEnabled(s));
  Put(s.ScreenSaverAction, 255);
  EXPECT_TRUE(AnyTriggerEnabled(s));
  Put(s.ScreenSaverAction, 0);
  Put(s.LockAction, 2);
  EXPECT_TRUE(AnyTriggerEnabled(s));
}

// Either setting may report the display, each at its registration and at every change: the
// monitor's state changes, and a tick is due, only when off turns on or on turns off.
TEST(Monitor, DisplayReportsActOncePerChange) {
  const struct {
    uint32_t Reported;
    bool Changed;
  } reports[] = {
      {DisplayOn, false},     // the answer to a registration
      {DisplayOff, true},     // one setting reports off
      {DisplayOff, false},    // the other one too
      {DisplayDimmed, true},  // the console's dimmed is on, the monitor's 1 then no change
      {DisplayOff, true},     // and off again
      {7, true},              // a value unknown today is not off
  };
  std::atomic<uint32_t> shown{DisplayOn};
  for (size_t i = 0; i < std::size(reports); ++i) {
    EXPECT_EQ(TakeDisplayReport(shown, reports[i].Reported), reports[i].Changed) << "report " << i;
    EXPECT_EQ(Get(shown), reports[i].Reported == DisplayOff ? DisplayOff : DisplayOn) << "report " << i;
  }
}

TEST(Monitor, SessionRegistrationRetriedForTenMinutesUntilTheServicesAreReady) {
  const struct {
    uint64_t Since;
    bool Ready, Retry;
  } rows[] = {
      {0, false, true},
      {SessionRetryMs - 1, false, true},
      {SessionRetryMs, false, false},
      {0, true, false},
  };
  constexpr uint64_t RefusedAt = 5000;
  for (const auto& r : rows)
    EXPECT_EQ(RetrySessionRegistration(RefusedAt, RefusedAt + r.Since, r.Ready), r.Retry)
        << r.Since << ' ' << r.Ready;
}

}  // namespace
