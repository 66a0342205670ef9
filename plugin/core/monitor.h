// The presence monitor, portable: what it needs from the platform (MonitorIo) and the
// operations the timer, the window hook and init call.
#pragma once
#include <cstdint>
#include "plugin_state.h"

inline constexpr uint32_t WmPowerBroadcast = 0x218;
inline constexpr uintptr_t PbtApmSuspend = 4;
inline constexpr uintptr_t PbtApmResumeCritical = 6;
inline constexpr uintptr_t PbtApmResumeSuspend = 7;
inline constexpr uintptr_t PbtApmResumeAutomatic = 18;
// The display's power state as Windows reports it; only off counts as away, dimmed does not.
inline constexpr uint32_t DisplayOff = 0, DisplayOn = 1, DisplayDimmed = 2;
// A session registration refused while the session's services start is tried again this long.
inline constexpr uint64_t SessionRetryMs = 10 * 60000;

// Everything the monitor needs from the platform and the host, so the decisions run anywhere.
struct MonitorIo {
  void* Context;
  bool (*ProbeLocked)(void* context);       // the workstation is locked
  bool (*ProbeScreenSaver)(void* context);  // the screen saver runs
  bool (*ProbePlaying)(void* context);      // the player is playing
  // Sends an action code to the player; the platform maps it to the host's command (nothing
  // for codes without one).
  void (*SendAction)(void* context, uint8_t action);
  uint64_t (*NowMs)(void* context);  // monotonic clock that keeps counting through standby
  // The display state last reported (DisplayOn until a report): a stored value, cheap to read.
  uint32_t (*DisplayState)(void* context);
};
bool AnyTriggerEnabled(const PluginState& s);  // LockAction or ScreenSaverAction non-zero
void SeedMonitor(PluginState& s, const MonitorIo& io);
void PollTick(PluginState& s, const MonitorIo& io);
// Sends `action` only to a playing player, and only one that suits it (pause, stop).
void SendIfPlaying(const MonitorIo& io, uint8_t action);
void OnPowerBroadcast(PluginState& s, const MonitorIo& io, uint32_t message, uintptr_t wParam);
// Stores a display report as off or on (dimmed is on), whichever of the two settings Windows
// reports it through; true when that changed, so each change is acted on once.
bool TakeDisplayReport(std::atomic<uint32_t>& shown, uint32_t reported);
// Whether a session registration refused at refusedAtMs is worth another try at nowMs: not once
// the session's services report ready (a refusal then is final), nor after SessionRetryMs.
bool RetrySessionRegistration(uint64_t refusedAtMs, uint64_t nowMs, bool servicesReady);
