// The timer thread ticks while the UI thread stores settings field by field (dialog OK),
// handles power notifications and takes early ticks for session notifications. Built with
// ThreadSanitizer: any unsynchronised access fails the run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

#include "monitor.h"
#include "plugin_fakes.h"
#include "tick_gate.h"

namespace {

TEST(Concurrency, TicksWhileSettingsChange) {
  FakeHost host;
  const MonitorIo io = host.Io();
  static PluginState s;  // zero-initialised like the module's global
  SeedMonitor(s, io);
  Store(s, {.ScreenSaverAction = 1, .ScreenSaverAutoResume = 1, .StandbyAction = 1});

  std::atomic<uint64_t> ticks{0};
  std::atomic<int> phase{1};           // 2: resume-free settings stored, 3: stop
  std::atomic<uint64_t> quietFrom{0};  // tick index when the ticker first saw phase 2
  std::atomic<bool> bothEngaged{false};
  // The player and the commands sent belong to the host's thread: reads and changes go through its lock.
  const auto locked = [&](auto access) {
    std::lock_guard<std::mutex> guard(host.Mutex);
    return access();
  };

  std::thread ticker([&] {
    // Free, locked, screen saver, password-protected screen saver, unlocked into a screen saver.
    constexpr Desktop cycle[] = {Free, Locked, Locked, Free, Saver, Saver, SaverLocked, Locked, Free, Saver};
    for (uint64_t i = 0;; ++i) {
      const int p = phase.load(std::memory_order_acquire);
      if (p == 3) break;
      if (p == 2 && quietFrom.load(std::memory_order_relaxed) == 0)
        quietFrom.store(i, std::memory_order_release);
      host.Desk = cycle[i % 10];
      host.Now += (i % 13 == 0) ? 7 * 60000 : 1000;
      PollTick(s, io);
      if (Get(s.LockEngaged) && Get(s.ScreenSaverEngaged)) bothEngaged.store(true, std::memory_order_relaxed);
      if (i % 7 == 0) locked([&] { host.Player.State = Playing; });
      if (i % 11 == 0) locked([&] { host.Player.State = Paused; });
      ticks.store(i + 1, std::memory_order_release);
    }
  });

  // Churn: every round is one dialog OK plus a power notification, as the UI thread would do them.
  constexpr uint32_t Rounds = 20000;  // at least this many dialog OKs, and as many ticks
  for (uint32_t round = 0; round < Rounds || ticks.load(std::memory_order_acquire) < Rounds; ++round) {
    // Codes 4 and 5 are out of range and must never reach the player.
    const uint8_t lock = round % 6, saver = (round / 4) % 3, standby = (round / 2) % 6;
    Store(s, {
                 .LockAction = lock,
                 .LockAutoResume = int32_t(round % 2),
                 .LockTimeout = int32_t(round % 3) * 5 - 5,
                 .ScreenSaverAction = saver,
                 .ScreenSaverAutoResume = int32_t(round / 3 % 2),
                 .ScreenSaverTimeout = int32_t(round % 5),
                 .StandbyAction = standby,
                 .UpdateCheck = 1,
                 .ScreenSaverDisplayOff = int32_t(round / 5 % 2),
             });
    EXPECT_EQ(AnyTriggerEnabled(s), lock != 0 || saver != 0);
    OnPowerBroadcast(s, io, WmPowerBroadcast, round % 2 == 0 ? PbtApmSuspend : PbtApmResumeSuspend);
  }
  const uint64_t churnCommands = locked([&] { return host.Sent.size(); });

  // New settings without any resume: from the next tick on, pauses (screen saver) and stops
  // (lock) must still go out, but never a play, which only the churn's settings could send.
  Put(s.StandbyAction, 1);
  OnPowerBroadcast(s, io, WmPowerBroadcast, PbtApmResumeAutomatic);  // ends any pending standby
  Store(s, {.LockAction = ActionStop, .LockAutoResume = 0, .ScreenSaverAction = ActionPause});
  phase.store(2, std::memory_order_release);
  while (quietFrom.load(std::memory_order_acquire) == 0) std::this_thread::yield();
  const FakePlayer before = locked([&] { return host.Player; });
  const uint64_t target = ticks.load(std::memory_order_acquire) + 1000;  // counted from the snapshot
  while (ticks.load(std::memory_order_acquire) < target) std::this_thread::yield();
  const FakePlayer after = locked([&] { return host.Player; });
  EXPECT_EQ(after.Counts[ActionPlay], before.Counts[ActionPlay])
      << "a tick used settings replaced by the other thread";
  EXPECT_GT(after.Counts[ActionPause], before.Counts[ActionPause]);
  EXPECT_GT(after.Counts[ActionStop], before.Counts[ActionStop]);

  phase.store(3, std::memory_order_release);
  ticker.join();

  EXPECT_GT(churnCommands, 0u) << "the churn phase never reached the player";
  EXPECT_FALSE(bothEngaged.load()) << "lock and screen-saver paths engaged together";
  for (int code = 0; code < 256; ++code)
    if (code < 1 || code > 3) EXPECT_EQ(host.Player.Counts[code], 0u) << "invalid command " << code;

  // Back on one thread: with the desktop free every path returns to idle within a few ticks.
  Store(s, {.ScreenSaverAction = 1, .ScreenSaverAutoResume = 1, .StandbyAction = 1});
  host.Desk = Free;
  for (int i = 0; i < 3; ++i) PollTick(s, io);
  EXPECT_EQ(Get(s.LockEngaged), 0);
  EXPECT_EQ(Get(s.ScreenSaverEngaged), 0);
  EXPECT_EQ(Get(s.ScreenSaverSeen), 0);
  EXPECT_EQ(Get(s.StandbyPending), 0);
}

// The fake host with its lock probe counting ticks, over a gate and a state of its own with the
// lock action alone, so each tick asks for the desktop exactly once. The plain fields are the
// tick's own, so two ticks at once are a race ThreadSanitizer sees. The overlap count is relaxed
// so that it orders nothing: only the gate may.
struct TickProbe : FakeHost {
  std::atomic<int> Inside{0};
  std::atomic<bool> Overlapped{false};
  uint64_t Ticks = 0;
  bool Locked = false;
  std::thread::id LastThread;
  void (*During)(TickProbe&) = nullptr;  // runs inside the tick, after the counting
  TickGate Gate{};
  std::atomic<int32_t> Open{1};
  PluginState S{};
  MonitorIo Counting = Io();

  TickProbe() {
    Counting.ProbeLocked = IsLocked;
    Store(S, {.LockAction = ActionPause, .LockAutoResume = 1});
    SeedMonitor(S, Counting);
    Ticks = 0;  // seeding asked too
  }
  void Tick() { RunTick(Gate, Open, S, Counting); }

  static bool IsLocked(void* c) {
    TickProbe& p = static_cast<TickProbe&>(Of(c));
    if (p.Inside.fetch_add(1, std::memory_order_relaxed) != 0)
      p.Overlapped.store(true, std::memory_order_relaxed);
    ++p.Ticks;
    p.LastThread = std::this_thread::get_id();
    p.Locked = !p.Locked;  // a lock and an unlock by turns, so commands go out
    if (p.During != nullptr) p.During(p);
    p.Inside.fetch_sub(1, std::memory_order_relaxed);
    return p.Locked;
  }
};

// True once `flag` is set; false after `seconds` without it.
bool WaitFor(const std::atomic<bool>& flag, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!flag.load()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

// The early tick arrives while the timer's tick runs (which, on Windows, may be waiting for the
// very thread asking): the request returns at once, and the running tick runs once more for it,
// unless the timer was closed meanwhile.
TEST(Concurrency, EarlyTickDuringARunningTickReturnsAtOnceAndIsRunByIt) {
  for (const bool closeBeforeRelease : {false, true}) {
    SCOPED_TRACE(closeBeforeRelease ? "timer closed meanwhile" : "timer open");
    static std::atomic<bool> inTick, requested;
    static bool requestArrivedInTime;
    inTick.store(false);
    requested.store(false);
    TickProbe probe;
    probe.During = [](TickProbe& p) {
      if (p.Ticks != 1) return;
      inTick.store(true);
      requestArrivedInTime = WaitFor(requested, 10);
    };

    std::thread timer([&] { probe.Tick(); });
    const std::thread::id timerThread = timer.get_id();
    ASSERT_TRUE(WaitFor(inTick, 10));
    probe.Tick();  // the early tick: must not wait for the running one
    if (closeBeforeRelease) probe.Open.store(0);
    requested.store(true);
    timer.join();

    EXPECT_TRUE(requestArrivedInTime) << "the request waited for the running tick";
    EXPECT_EQ(probe.Ticks, closeBeforeRelease ? 1u : 2u);
    EXPECT_EQ(probe.LastThread, timerThread) << "the request must not tick beside the running one";
    // The gate is free again: the next request ticks on its own thread.
    probe.Open.store(1);
    probe.Tick();
    EXPECT_EQ(probe.LastThread, std::this_thread::get_id());
  }
}

TEST(Concurrency, EarlyAndTimerTicksNeverRunTogether) {
  TickProbe probe;
  constexpr int Requests = 100000;
  auto hammer = [&] {
    for (int i = 0; i < Requests; ++i) probe.Tick();
  };
  std::thread timer(hammer);
  hammer();
  timer.join();

  EXPECT_FALSE(probe.Overlapped.load());
  EXPECT_GT(probe.Ticks, 0u);
  EXPECT_LE(probe.Ticks, 2u * Requests);
  const uint64_t before = probe.Ticks;
  probe.Tick();
  EXPECT_EQ(probe.Ticks, before + 1) << "a request was left behind in the gate";
}

}  // namespace
