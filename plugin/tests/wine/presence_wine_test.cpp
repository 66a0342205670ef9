// Locks and screen savers end to end through the real gen_hushbell.dll: the stand-in host
// rewrites the plug-in's imports so the workstation can be locked and its clock moved on,
// and counts its timer ticks, so every wait is for a tick rather than for a guessed time.
#include <gtest/gtest.h>
#include <windows.h>

#include <tuple>
#include <utility>

#include "host_test.h"
#include "import_patch.h"
#include "monitor.h"

namespace {

constexpr UINT Play = HostCommandPlay, Pause = HostCommandPause;
constexpr uint64_t Minute = 60 * 1000;

// What the simulated Windows offers the plug-in.
struct World {
  uint32_t SessionRefusals = 0;
  SimDisplay Display = SimDisplay::Available;
  SimSystem System = SimSystem::Classic;
  bool ServicesReady = false;
  bool TickCount64 = true;  // false: no GetTickCount64, as on Windows XP
};
constexpr uint32_t Always = 1000;  // session refusals: more than any test waits for
// A once-a-second tick that has not come within this long means the timer stopped.
constexpr DWORD TickDeadlineMs = 3000;

class PresenceTest : public HostTest {
 protected:
  // A fresh host that loads the plug-in under the simulations, with these settings, and starts it.
  void Start(const std::string& settings, int playState, const World& world = {}) {
    ASSERT_NO_FATAL_FAILURE(Fresh());
    WriteIniSettings(ini_, settings);
    ASSERT_TRUE(HostTest::Start(false, true));
    SimRefuseSessionRegistrations(world.SessionRefusals);
    SimSetDisplayNotification(world.Display);
    SimSetSystem(world.System);
    SimSetSessionServicesReady(world.ServicesReady);
    if (!world.TickCount64) SimWithoutTickCount64();
    HostSetPlayState(playState);
    ASSERT_EQ(HostInitPlugin(), 0);
  }
  // One tick that began after now has run; whatever it was going to send has arrived.
  static void NextTick() { ASSERT_TRUE(SimWaitForFreshTicks(1, TickDeadlineMs)) << "the timer stopped"; }
  // Unlocks; the first tick after it adds `atUnlock` to the commands so far, the next adds nothing.
  static void UnlockAndExpect(std::vector<UINT> expected, const std::vector<UINT>& atUnlock, int finalState) {
    expected.insert(expected.end(), atUnlock.begin(), atUnlock.end());
    SimSetLocked(false);
    NextTick();
    EXPECT_EQ(Commands(), expected) << "at the first tick after the unlock";
    NextTick();
    EXPECT_EQ(Commands(), expected) << "and nothing after that";
    EXPECT_EQ(HostGetPlayState(), finalState);
  }
};

TEST_F(PresenceTest, LockActsAtTheNextTickAndResumesOnlyWhatItPausedWithinTheLimit) {
  // A time away: the limit set for it, how far the plug-in's clock moves on meanwhile, and the
  // commands at its start and after the unlock.
  const struct {
    const char* Name;
    int PlayState, Timeout;
    uint64_t AwayFor;
    std::vector<UINT> AtStart, AtUnlock;
    int FinalState;
  } cases[] = {
      {"playing, short lock", HostPlaying, 0, 0, {Pause}, {Play}, HostPlaying},
      {"paused", HostPaused, 0, 0, {}, {}, HostPaused},
      {"over a 1-minute limit", HostPlaying, 1, 2 * Minute, {Pause}, {}, HostPaused},
      {"under a 2-minute limit", HostPlaying, 2, 90 * 1000, {Pause}, {Play}, HostPlaying},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(Start("LockAction=1 LockAutoResume=1 LockTimeout=" + std::to_string(c.Timeout) +
                                      " ScreenSaverAction=0 StandbyAction=0",
                                  c.PlayState));
    // The finest resolution would keep the machine's timer at about 1 ms for the whole session.
    EXPECT_EQ(SimTimerResolution(), 1000u);

    SimSetLocked(true);
    NextTick();
    EXPECT_EQ(Commands(), c.AtStart) << "at the first tick after the lock";
    SimAdvanceClock(c.AwayFor);

    UnlockAndExpect(c.AtStart, c.AtUnlock, c.FinalState);
    for (size_t i = 0; i < HostCommandCount(); ++i) EXPECT_FALSE(HostCommandAt(i).Restarted);
  }
}

// Windows XP has no GetTickCount64: the plug-in carries the 32-bit count, which wraps every 49.7
// days, and its ticks see each wrap of a lock that lasts longer than one.
TEST_F(PresenceTest, WithoutGetTickCount64TheLockLimitHoldsAcrossTheCountsWraps) {
  constexpr uint64_t Day = 24 * 60 * Minute;
  const struct {
    uint64_t Days;
    std::vector<UINT> AtUnlock;
    int FinalState;
  } cases[] = {
      {60, {Play}, HostPlaying},
      {70, {}, HostPaused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Days);
    ASSERT_NO_FATAL_FAILURE(Start("LockAction=1 LockAutoResume=1 LockTimeout=100000 ScreenSaverAction=0",
                                  HostPlaying, {.TickCount64 = false}));
    SimSetLocked(true);
    NextTick();
    // Half the time, twice, each half shorter than a wrap and followed by a tick.
    for (int half = 0; half < 2; ++half) {
      SimAdvanceClock(c.Days * Day / 2);
      NextTick();
    }
    UnlockAndExpect({Pause}, c.AtUnlock, c.FinalState);
    EXPECT_GT(SimTickCountReads(), 0u) << "the 32-bit count was not what the plug-in read";
  }
}

// A password-protected screen saver ends into a locked desktop: the plug-in waits for the
// unlock, and the lock is the screen saver's, never a lock of its own. (Its time limit then is
// the screen saver's: ScreenSaverTimeoutCountsFromStartAcrossPasswordLock of the native scenarios.)
TEST_F(PresenceTest, ScreenSaverEndingIntoALockedDesktopWaitsForTheUnlock) {
  ASSERT_NO_FATAL_FAILURE(
      Start("LockAction=1 LockAutoResume=1 ScreenSaverAction=1 ScreenSaverAutoResume=1 StandbyAction=0",
            HostPlaying));
  SetScreenSaverRunning(true);
  NextTick();
  ASSERT_EQ(Commands(), std::vector<UINT>{Pause});
  // Seen running on a second tick: from now on a locked desktop belongs to it.
  NextTick();
  SimSetLocked(true);
  SetScreenSaverRunning(false);
  NextTick();
  NextTick();
  EXPECT_EQ(Commands(), std::vector<UINT>{Pause}) << "nothing while the desktop stays locked";
  EXPECT_EQ(HostGetPlayState(), HostPaused);
  // No lock command and no second play after the unlock.
  UnlockAndExpect({Pause}, {Play}, HostPlaying);
}

constexpr WPARAM Display = ~WPARAM{0};  // Announcement::Change for a display report

struct Announcement {
  bool Locked;  // what the desktop reads when the notification arrives
  WPARAM Change;
  DWORD DisplayState = DisplayOn;  // reported when Change is Display
};
// Leaving (the desktop then reads locked) and coming back.
std::vector<Announcement> Away(WPARAM away, WPARAM back) { return {{true, away}, {false, back}}; }

// The timer's ticks are held back: whatever is sent comes from the notifications alone, and it
// has arrived by the time the notification has been dispatched.
TEST_F(PresenceTest, SessionNotificationTakesATickAtOnceThatDecidesFromTheProbes) {
  const struct {
    const char* Name;
    int LockAction;
    std::vector<Announcement> Announcements;
    bool Looks;  // whether the notifications made the plug-in look at the desktop
    std::vector<UINT> Expected;
    int DisplayOffChoice = -1;  // with a screen-saver action: ScreenSaverDisplayOff; -1: no action
    SimSystem System = SimSystem::Classic;
  } cases[] = {
      {"lock, then unlock", 1, Away(WTS_SESSION_LOCK, WTS_SESSION_UNLOCK), true, {Pause, Play}},
      {"console away and back", 1, Away(WTS_CONSOLE_DISCONNECT, WTS_CONSOLE_CONNECT), true, {Pause, Play}},
      {"remote away and back", 1, Away(WTS_REMOTE_DISCONNECT, WTS_REMOTE_CONNECT), true, {Pause, Play}},
      {"a logon is no reason to look", 1, {{true, WTS_SESSION_LOGON}}, false, {}},
      {"no lock or screen-saver action: no timer, nothing to do", 0, {{true, WTS_SESSION_LOCK}}, false, {}},
      // Off stands for the screen saver, whose tick needs no look at the desktop. Both settings
      // report each change: one tick for it, or the second would look at the desktop.
      {"display off, then on", 1, {{false, Display, DisplayOff}, {false, Display}}, false, {Pause, Play}, 1},
      {"display dimmed is no change", 1, {{false, Display, DisplayDimmed}}, false, {}, 1},
      {"display off without the choice", 1, {{false, Display, DisplayOff}}, true, {}, 0},
      {"Windows 7: display off, then on",
       1,
       {{false, Display, DisplayOff}, {false, Display}},
       false,
       {Pause, Play},
       1,
       SimSystem::Seven},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(
        Start("LockAction=" + std::to_string(c.LockAction) +
                  " LockAutoResume=1 ScreenSaverAction=" + (c.DisplayOffChoice >= 0 ? "1" : "0") +
                  " ScreenSaverAutoResume=1 ScreenSaverDisplayOff=" + std::to_string(c.DisplayOffChoice) +
                  " StandbyAction=0",
              HostPlaying, {.System = c.System}));
    SimHoldTicks(true);
    const uint32_t probes = SimDesktopProbes();
    for (const Announcement& a : c.Announcements) {
      SimSetLocked(a.Locked);
      ASSERT_TRUE(a.Change == Display ? SimAnnounceDisplay(a.DisplayState) : SimAnnounce(a.Change));
      HostPump(0);
    }
    EXPECT_EQ(Commands(), c.Expected);
    EXPECT_EQ(SimDesktopProbes() != probes, c.Looks);
  }
}

// The probe has the last word: a lock announced before the desktop reads locked is left to the
// next tick of the timer, which still takes it over.
TEST_F(PresenceTest, LockAnnouncedTooEarlyIsTakenOverByTheNextTick) {
  ASSERT_NO_FATAL_FAILURE(Start("LockAction=1 ScreenSaverAction=0", HostPlaying));
  SimHoldTicks(true);
  ASSERT_TRUE(SimAnnounce(WTS_SESSION_LOCK));
  HostPump(0);
  EXPECT_EQ(Commands(), std::vector<UINT>{});
  SimSetLocked(true);
  SimHoldTicks(false);
  NextTick();
  EXPECT_EQ(Commands(), std::vector<UINT>{Pause});
}

// A window of the plug-in's own, never the host's, holds the registrations from init to quit:
// the session's, both display settings and suspend and resume, each where Windows has it.
TEST_F(PresenceTest, NotificationWindowAndItsRegistrationsLastFromInitToQuit) {
  const std::pair<const char*, World> cases[] = {
      {"every registration", {}},
      {"Windows 7", {.System = SimSystem::Seven}},
      {"session refused for now", {.SessionRefusals = Always}},
      {"display refused", {.Display = SimDisplay::Refused, .System = SimSystem::ModernStandby}},
      {"display missing, as on XP", {.Display = SimDisplay::Missing, .System = SimSystem::Seven}},
      {"all refused, the session to be retried",
       {.SessionRefusals = Always, .Display = SimDisplay::Refused, .System = SimSystem::Seven}},
  };
  for (const auto& [name, world] : cases) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(Start("LockAction=1 ScreenSaverAction=0", HostPlaying, world));
    HWND window = SimNotificationWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(SimRegisteredWindow(), world.SessionRefusals != 0 ? nullptr : window);
    HWND display = world.Display == SimDisplay::Available ? window : nullptr;
    EXPECT_EQ(SimPowerRegistered(SimConsoleDisplay), display);
    EXPECT_EQ(SimPowerRegistered(SimMonitorPower), display);
    EXPECT_EQ(SimPowerRegistered(SimSuspendResume), world.System == SimSystem::Seven ? nullptr : window);
    const ATOM atom = GetClassWord(window, GCW_ATOM);
    SimSetLocked(true);
    NextTick();
    EXPECT_EQ(Commands(), std::vector<UINT>{Pause});

    HostQuitPlugin();
    EXPECT_EQ(SimNotificationWindow(), nullptr);
    EXPECT_EQ(SimRegisteredWindow(), nullptr);
    for (SimPower kind : {SimConsoleDisplay, SimMonitorPower, SimSuspendResume})
      EXPECT_EQ(SimPowerRegistered(kind), nullptr) << kind;
    EXPECT_EQ(SimMisdirectedRegistrations(), 0u);
    WNDCLASSA info;
    EXPECT_FALSE(GetClassInfoA(HostPluginModule(), MAKEINTATOM(atom), &info)) << "class left registered";
  }
}

// Early in a logon the session's registration fails; a tick has the host's thread try again,
// and from then on a lock is acted on the moment it is announced.
TEST_F(PresenceTest, LateSessionRegistrationBringsBackTheInstantReaction) {
  ASSERT_NO_FATAL_FAILURE(Start("LockAction=1 ScreenSaverAction=0", HostPlaying, {.SessionRefusals = 1}));
  EXPECT_EQ(SimRegisteredWindow(), nullptr);
  ASSERT_TRUE(HostPumpUntil([] { return SimRegisteredWindow() != nullptr; }, 3000));
  EXPECT_EQ(SimRegisteredWindow(), SimNotificationWindow());
  EXPECT_EQ(SimSessionRegistrationAttempts(), 2u);
  SimHoldTicks(true);
  SimSetLocked(true);
  ASSERT_TRUE(SimAnnounce(WTS_SESSION_LOCK));
  HostPump(0);
  EXPECT_EQ(Commands(), std::vector<UINT>{Pause});
  SimHoldTicks(false);
  NextTick();
  EXPECT_EQ(SimSessionRegistrationAttempts(), 2u) << "no retry once registered";
}

// The retries end after ten minutes, or at once when the session's services have started and
// still refuse; a window nothing else needs then closes, and the poll goes on alone.
TEST_F(PresenceTest, SessionRetriesEndAfterTenMinutesOrOnceTheServicesAreUp) {
  for (const bool ready : {false, true}) {
    SCOPED_TRACE(ready ? "services up" : "ten minutes");
    ASSERT_NO_FATAL_FAILURE(Start("LockAction=1 ScreenSaverAction=0", HostPlaying,
                                  {Always, SimDisplay::Refused, SimSystem::Seven, ready}));
    if (!ready) {
      NextTick();
      ASSERT_TRUE(HostPumpUntil([] { return SimSessionRegistrationAttempts() >= 2; }, 3000));
      EXPECT_NE(SimNotificationWindow(), nullptr) << "kept for the retries";
      SimAdvanceClock(SessionRetryMs);
      NextTick();
      ASSERT_TRUE(HostPumpUntil([] { return SimNotificationWindow() == nullptr; }, 3000));
    }
    EXPECT_EQ(SimNotificationWindow(), nullptr);
    const uint32_t attempts = SimSessionRegistrationAttempts();
    NextTick();
    NextTick();
    EXPECT_EQ(SimSessionRegistrationAttempts(), attempts) << "no retry after the last";
    SimSetLocked(true);
    NextTick();
    EXPECT_EQ(Commands(), std::vector<UINT>{Pause}) << "the poll goes on";
    EXPECT_EQ(SimMisdirectedRegistrations(), 0u);
  }
}

constexpr UINT Stop = HostCommandStop;

// Standby heard every way the system delivers it, and only through the registration on a
// modern-standby laptop: one command at the resume either way.
TEST_F(PresenceTest, StandbyActsOnceWhicheverWaysTheSystemDeliversIt) {
  for (SimSystem system : {SimSystem::Classic, SimSystem::ModernStandby, SimSystem::Seven}) {
    SCOPED_TRACE(static_cast<int>(system));
    ASSERT_NO_FATAL_FAILURE(
        Start("StandbyAction=2 LockAction=0 ScreenSaverAction=0", HostPlaying, {.System = system}));
    SimPowerEvent(PBT_APMSUSPEND);
    EXPECT_EQ(Commands(), std::vector<UINT>{}) << "nothing before the resume";
    SimPowerEvent(PBT_APMRESUMEAUTOMATIC);
    SimPowerEvent(PBT_APMRESUMESUSPEND);
    EXPECT_EQ(Commands(), std::vector<UINT>{Stop});
    EXPECT_EQ(HostGetPlayState(), HostStopped);
  }
}

// A modern-standby laptop locks before it suspends, and resumes before the user unlocks: the
// standby action chosen wins over the lock's resume; without one the lock resumes as ever.
TEST_F(PresenceTest, LockThenModernStandbyResumesOnlyWithoutAStandbyAction) {
  const struct {
    const char* Name;
    int StandbyAction;
    std::vector<UINT> Expected;
  } cases[] = {
      {"stop at standby", 2, {Pause, Stop}},
      {"nothing at standby", 0, {Pause, Play}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(Start(
        "LockAction=1 LockAutoResume=1 ScreenSaverAction=0 StandbyAction=" + std::to_string(c.StandbyAction),
        HostPlaying, {.System = SimSystem::ModernStandby}));
    SimHoldTicks(true);
    SimSetLocked(true);
    ASSERT_TRUE(SimAnnounce(WTS_SESSION_LOCK));
    HostPump(0);
    SimPowerEvent(PBT_APMSUSPEND);
    SimPowerEvent(PBT_APMRESUMEAUTOMATIC);
    SimSetLocked(false);
    ASSERT_TRUE(SimAnnounce(WTS_SESSION_UNLOCK));
    HostPump(0);
    EXPECT_EQ(Commands(), c.Expected);
  }
}

// Only the plug-in's calls are redirected: the host itself still sees the real desktop.
TEST_F(PresenceTest, SimulatedLockReachesThePluginAlone) {
  ASSERT_NO_FATAL_FAILURE(Start("LockAction=1 ScreenSaverAction=0", HostPlaying));
  SimSetLocked(true);
  HDESK desktop = OpenInputDesktop(0, FALSE, DESKTOP_ENUMERATE);
  EXPECT_NE(desktop, nullptr);
  if (desktop != nullptr) CloseDesktop(desktop);
  NextTick();
  EXPECT_EQ(Commands(), std::vector<UINT>{Pause});
}

int WINAPI FirstStandIn() { return 1; }
int WINAPI SecondStandIn() { return 2; }

TEST_F(PresenceTest, ImportPatchFindsImportsByNameWhateverTheDllNamesCase) {
  ASSERT_NE(HostLoadPlugin("gen_hushbell.dll"), nullptr);
  HMODULE plugin = HostPluginModule();
  void* const first = reinterpret_cast<void*>(FirstStandIn);
  void* const second = reinterpret_cast<void*>(SecondStandIn);
  // DLL, function, whether the import is patched.
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"USER32.dll", "CloseDesktop", true},
      {"user32.DLL", "CloseDesktop", true},
      {"winmm.dll", "timeKillEvent", true},
      {"user32.dll", "MessageBoxA", false},   // from a DLL it imports, but not this function
      {"gdi32.dll", "CloseDesktop", false},   // a DLL it does not import
      {"user32", "CloseDesktop", false},      // names are compared whole
      {"user32.dll", "closedesktop", false},  // function names are case-sensitive
  };
  for (auto [dll, function, patched] : cases) {
    SCOPED_TRACE(std::string(dll) + " " + function);
    void* original = nullptr;
    EXPECT_EQ(HostPatchImport(plugin, dll, function, first, &original), patched);
    if (!patched) EXPECT_EQ(original, nullptr) << "untouched on failure";
  }

  // The slot really changed: the next patch hands back the previous replacement, and the
  // first one handed back the system's own function.
  HostUnloadPlugin();
  ASSERT_NE(HostLoadPlugin("gen_hushbell.dll"), nullptr);
  plugin = HostPluginModule();
  void* real = nullptr;
  ASSERT_TRUE(HostPatchImport(plugin, "user32.dll", "CloseDesktop", first, &real));
  EXPECT_EQ(real, reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "CloseDesktop")));
  void* previous = nullptr;
  ASSERT_TRUE(HostPatchImport(plugin, "user32.dll", "CloseDesktop", second, &previous));
  EXPECT_EQ(previous, first);
  void* again = real;
  EXPECT_TRUE(HostPatchImport(plugin, "user32.dll", "CloseDesktop", second, &again));
  EXPECT_EQ(again, real) << "patching twice must not record the replacement as the original";

  void* none = nullptr;
  EXPECT_FALSE(HostPatchImport(nullptr, "user32.dll", "CloseDesktop", first, &none));
  EXPECT_FALSE(HostPatchImport(plugin, "user32.dll", "CloseDesktop", nullptr, &none));
  // The plug-in is never started here; unloading it leaves the patched slots unused.
}

}  // namespace
