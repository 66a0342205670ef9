// The plug-in's one global record of settings and presence flags, shared by the host's thread
// and the timer's thread through single relaxed loads and stores.
#pragma once
#include <atomic>
#include <cstdint>

// 0 does nothing.
enum ActionCode : uint8_t { ActionPause = 1, ActionStop = 2, ActionPlay = 3 };

// Fields shared between the UI thread and the timer thread are single relaxed loads and stores.
template <class T>
inline T Get(const std::atomic<T>& a) {
  return a.load(std::memory_order_relaxed);
}
template <class T, class V>
inline void Put(std::atomic<T>& a, V v) {
  a.store(static_cast<T>(v), std::memory_order_relaxed);
}

static_assert(std::atomic<uint8_t>::is_always_lock_free);
static_assert(std::atomic<int32_t>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);

struct PluginState {
  // Settings: written on the UI thread (dialog OK, load), read by the timer thread.
  std::atomic<uint8_t> LockAction;
  std::atomic<int32_t> LockAutoResume;
  std::atomic<int32_t> LockTimeout;
  std::atomic<uint8_t> ScreenSaverAction;
  std::atomic<int32_t> ScreenSaverAutoResume;
  std::atomic<int32_t> ScreenSaverTimeout;
  std::atomic<int32_t> ScreenSaverDisplayOff;  // the display turning off counts as the screen saver
  std::atomic<uint8_t> StandbyAction;
  std::atomic<int32_t> UpdateCheck;
  std::atomic<int32_t> ResumeFadeSeconds;  // the plug-in's own resumes fade in over this many seconds
  std::atomic<uint8_t> UnplugAction;  // when the sound output in use goes away
  std::atomic<int32_t> LockEngaged, ScreenSaverEngaged, ScreenSaverSeen, WasPlaying, StandbyPending;
  // When each path was taken over (monotonic ms). Touched only by the tick holding the tick gate, and by init
  // while no timer runs.
  uint64_t LockEngagedAtMs;
  uint64_t ScreenSaverEngagedAtMs;
};
