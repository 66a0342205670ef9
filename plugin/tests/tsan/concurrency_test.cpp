// The timer thread ticks while the UI thread stores settings field by field (dialog OK),
// handles power notifications and takes early ticks for session notifications. Built with
// ThreadSanitizer: any unsynchronised access fails the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

#include "monitor.h"
#include "tick_gate.h"

namespace {

// Stands in for the host, whose UI thread serialises every query and command.
struct SharedHost {
  std::mutex Mutex;
  bool Playing = true;
  uint64_t Counts[256] = {};
  uint64_t Total = 0;
  // Probe state and clock: used only by whichever thread is ticking.
  bool Locked = false, Saver = false;
  uint64_t Now = 0;

  static SharedHost& Of(void* c) { return *static_cast<SharedHost*>(c); }
  static bool IsLocked(void* c) { return Of(c).Locked; }
  static bool IsSaver(void* c) { return Of(c).Saver; }
  static uint64_t NowMs(void* c) { return Of(c).Now; }
  static uint32_t DisplayIsOn(void*) { return DisplayOn; }
  static bool IsPlaying(void* c) {
    std::lock_guard<std::mutex> guard(Of(c).Mutex);
    return Of(c).Playing;
  }
  static void Send(void* c, uint8_t action) {
    SharedHost& h = Of(c);
    std::lock_guard<std::mutex> guard(h.Mutex);
    ++h.Counts[action];
    ++h.Total;
    if (action == ActionPause) h.Playing = !h.Playing;
    if (action == ActionStop) h.Playing = false;
    if (action == ActionPlay) h.Playing = true;
  }
  void UserSets(bool playing) {
    std::lock_guard<std::mutex> guard(Mutex);
    Playing = playing;
  }
  uint64_t CommandsSoFar() {
    std::lock_guard<std::mutex> guard(Mutex);
    return Total;
  }
};

// The dialog's OK stores each field separately; a tick may see any mix of old and new values.
void StoreSettings(PluginState& s, uint8_t lock, int32_t lockResume, int32_t lockTimeout, uint8_t saver,
                   int32_t saverResume, int32_t saverTimeout, uint8_t standby) {
  Put(s.LockAction, lock);
  Put(s.LockAutoResume, lockResume);
  Put(s.LockTimeout, lockTimeout);
  Put(s.ScreenSaverAction, saver);
  Put(s.ScreenSaverAutoResume, saverResume);
  Put(s.ScreenSaverTimeout, saverTimeout);
  Put(s.StandbyAction, standby);
  Put(s.UpdateCheck, 1);
}

void WaitForTicks(const std::atomic<uint64_t>& ticks, uint64_t target) {
  while (ticks.load(std::memory_order_acquire) < target) std::this_thread::yield();
}

TEST(Concurrency, TicksWhileSettingsChange) {
  SharedHost host;
  const MonitorIo io{&host,
                     SharedHost::IsLocked,
                     SharedHost::IsSaver,
                     SharedHost::IsPlaying,
                     SharedHost::Send,
                     SharedHost::NowMs,
                     SharedHost::DisplayIsOn};
  static PluginState s;  // zero-initialised like the module's global
  SeedMonitor(s, io);
  StoreSettings(s, 1, 1, 0, 1, 1, 0, 1);

  std::atomic<uint64_t> ticks{0};
  std::atomic<int> phase{1};           // 2: resume-free settings stored, 3: stop
  std::atomic<uint64_t> quietFrom{0};  // tick index when the ticker first saw phase 2
  std::atomic<bool> bothEngaged{false};

  std::thread ticker([&] {
    // Free, locked, screen saver, password-protected screen saver, unlocked into a screen saver.
    constexpr bool cycle[][2] = {{false, false}, {true, false}, {true, false}, {false, false}, {false, true},
                                 {false, true},  {true, true},  {true, false}, {false, false}, {false, true}};
    for (uint64_t i = 0;; ++i) {
      const int p = phase.load(std::memory_order_acquire);
      if (p == 3) break;
      if (p == 2 && quietFrom.load(std::memory_order_relaxed) == 0)
        quietFrom.store(i, std::memory_order_release);
      host.Locked = cycle[i % 10][0];
      host.Saver = cycle[i % 10][1];
      host.Now += (i % 13 == 0) ? 7 * 60000 : 1000;
      PollTick(s, io);
      if (Get(s.LockEngaged) && Get(s.ScreenSaverEngaged)) bothEngaged.store(true, std::memory_order_relaxed);
      if (i % 7 == 0) host.UserSets(true);
      if (i % 11 == 0) host.UserSets(false);
      ticks.store(i + 1, std::memory_order_release);
    }
  });

  // Churn: every round is one dialog OK plus a power notification, as the UI thread would do them.
  for (uint32_t round = 0; round < 20000 || ticks.load(std::memory_order_acquire) < 20000; ++round) {
    // Codes 4 and 5 are out of range and must never reach the player.
    const uint8_t lock = round % 6, saver = (round / 4) % 3, standby = (round / 2) % 6;
    StoreSettings(s, lock, round % 2, int32_t(round % 3) * 5 - 5, saver, (round / 3) % 2, int32_t(round % 5),
                  standby);
    EXPECT_EQ(AnyTriggerEnabled(s), lock != 0 || saver != 0);
    OnPowerBroadcast(s, io, WmPowerBroadcast, round % 2 == 0 ? PbtApmSuspend : PbtApmResumeSuspend);
  }
  const uint64_t churnCommands = host.CommandsSoFar();

  // New settings without any resume: from the next tick on, pauses (screen saver) and stops
  // (lock) must still go out, but never a play, which only the churn's settings could send.
  Put(s.StandbyAction, 1);
  OnPowerBroadcast(s, io, WmPowerBroadcast, PbtApmResumeAutomatic);  // ends any pending standby
  StoreSettings(s, ActionStop, 0, 0, ActionPause, 0, 0, 0);
  phase.store(2, std::memory_order_release);
  while (quietFrom.load(std::memory_order_acquire) == 0) std::this_thread::yield();
  uint64_t before[4];
  {
    std::lock_guard<std::mutex> guard(host.Mutex);
    std::copy(host.Counts, host.Counts + 4, before);
  }
  WaitForTicks(ticks, ticks.load(std::memory_order_acquire) + 1000);  // counted from the snapshot
  {
    std::lock_guard<std::mutex> guard(host.Mutex);
    EXPECT_EQ(host.Counts[ActionPlay], before[ActionPlay])
        << "a tick used settings replaced by the other thread";
    EXPECT_GT(host.Counts[ActionPause], before[ActionPause]);
    EXPECT_GT(host.Counts[ActionStop], before[ActionStop]);
  }

  phase.store(3, std::memory_order_release);
  ticker.join();

  EXPECT_GT(churnCommands, 0u) << "the churn phase never reached the player";
  EXPECT_FALSE(bothEngaged.load()) << "lock and screen-saver paths engaged together";
  for (int code = 0; code < 256; ++code)
    if (code < 1 || code > 3) EXPECT_EQ(host.Counts[code], 0u) << "invalid command " << code;

  // Back on one thread: with the desktop free every path returns to idle within a few ticks.
  StoreSettings(s, 1, 1, 0, 1, 1, 0, 1);
  host.Locked = host.Saver = false;
  for (int i = 0; i < 3; ++i) PollTick(s, io);
  EXPECT_EQ(Get(s.LockEngaged), 0);
  EXPECT_EQ(Get(s.ScreenSaverEngaged), 0);
  EXPECT_EQ(Get(s.ScreenSaverSeen), 0);
  EXPECT_EQ(Get(s.StandbyPending), 0);
}

// A tick's probes, counted. With the lock action alone each tick asks for the desktop exactly
// once; the plain fields are the tick's own, so two ticks at once are a race ThreadSanitizer sees.
// The overlap count is relaxed so that it orders nothing: only the gate may.
struct TickProbe {
  std::atomic<int> Inside{0};
  std::atomic<bool> Overlapped{false};
  uint64_t Ticks = 0;
  bool Locked = false;
  std::thread::id LastThread;
  void (*During)(TickProbe&) = nullptr;  // runs inside the tick, after the counting

  static TickProbe& Of(void* c) { return *static_cast<TickProbe*>(c); }
  static bool IsLocked(void* c) {
    TickProbe& p = Of(c);
    if (p.Inside.fetch_add(1, std::memory_order_relaxed) != 0)
      p.Overlapped.store(true, std::memory_order_relaxed);
    ++p.Ticks;
    p.LastThread = std::this_thread::get_id();
    p.Locked = !p.Locked;  // a lock and an unlock by turns, so commands go out
    if (p.During != nullptr) p.During(p);
    p.Inside.fetch_sub(1, std::memory_order_relaxed);
    return p.Locked;
  }
  static bool No(void*) { return false; }
  static bool Yes(void*) { return true; }
  static void Send(void*, uint8_t) {}
  static uint64_t Zero(void*) { return 0; }
  MonitorIo Io() { return {this, IsLocked, No, Yes, Send, Zero, SharedHost::DisplayIsOn}; }
};

struct Latch {
  std::atomic<bool> Set{false};
  // True once set; false after `seconds` without it.
  bool Wait(int seconds) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!Set.load()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::yield();
    }
    return true;
  }
};

// The early tick arrives while the timer's tick runs (which, on Windows, may be waiting for the
// very thread asking): the request returns at once, and the running tick runs once more for it,
// unless the timer was closed meanwhile.
TEST(Concurrency, EarlyTickDuringARunningTickReturnsAtOnceAndIsRunByIt) {
  for (const bool closeBeforeRelease : {false, true}) {
    SCOPED_TRACE(closeBeforeRelease ? "timer closed meanwhile" : "timer open");
    static TickGate gate;
    static std::atomic<int32_t> open;
    static Latch inTick, requested;
    static bool requestArrivedInTime;
    open.store(1);
    inTick.Set.store(false);
    requested.Set.store(false);
    TickProbe probe;
    static PluginState s;
    const MonitorIo io = probe.Io();
    Put(s.LockAction, ActionPause);
    SeedMonitor(s, io);
    probe.Ticks = 0;  // seeding asked too
    probe.During = [](TickProbe& p) {
      if (p.Ticks != 1) return;
      inTick.Set.store(true);
      requestArrivedInTime = requested.Wait(10);
    };

    std::thread timer([&] { RunTick(gate, open, s, io); });
    const std::thread::id timerThread = timer.get_id();
    ASSERT_TRUE(inTick.Wait(10));
    RunTick(gate, open, s, io);  // the early tick: must not wait for the running one
    if (closeBeforeRelease) open.store(0);
    requested.Set.store(true);
    timer.join();

    EXPECT_TRUE(requestArrivedInTime) << "the request waited for the running tick";
    EXPECT_EQ(probe.Ticks, closeBeforeRelease ? 1u : 2u);
    EXPECT_EQ(probe.LastThread, timerThread) << "the request must not tick beside the running one";
    // The gate is free again: the next request ticks on its own thread.
    open.store(1);
    RunTick(gate, open, s, io);
    EXPECT_EQ(probe.LastThread, std::this_thread::get_id());
  }
}

TEST(Concurrency, EarlyAndTimerTicksNeverRunTogether) {
  static TickGate gate;
  static std::atomic<int32_t> open{1};
  TickProbe probe;
  static PluginState s;
  const MonitorIo io = probe.Io();
  Put(s.LockAction, ActionPause);
  Put(s.LockAutoResume, 1);
  SeedMonitor(s, io);
  probe.Ticks = 0;

  constexpr int Requests = 100000;
  auto hammer = [&] {
    for (int i = 0; i < Requests; ++i) RunTick(gate, open, s, io);
  };
  std::thread timer(hammer);
  hammer();
  timer.join();

  EXPECT_FALSE(probe.Overlapped.load());
  EXPECT_GT(probe.Ticks, 0u);
  EXPECT_LE(probe.Ticks, 2u * Requests);
  const uint64_t before = probe.Ticks;
  RunTick(gate, open, s, io);
  EXPECT_EQ(probe.Ticks, before + 1) << "a request was left behind in the gate";
}

}  // namespace
