#pragma once
#include <cstdint>
#include "plugin_state.h"

inline constexpr uint32_t WmPowerBroadcast = 0x218;
inline constexpr uintptr_t PbtApmSuspend = 4;
inline constexpr uintptr_t PbtApmResumeCritical = 6;
inline constexpr uintptr_t PbtApmResumeSuspend = 7;
inline constexpr uintptr_t PbtApmResumeAutomatic = 18;

// Everything the monitor needs from the platform and the host, so the decisions run anywhere.
struct MonitorIo {
  void* Context;
  bool (*IsDesktopLocked)(void* context);
  bool (*IsScreenSaverRunning)(void* context);
  bool (*QueryIsPlaying)(void* context);                     // host query 104 == 1
  void (*SendPlayerCommand)(void* context, uint8_t action);  // raw sender: the caller maps the code with PlayerCommandFor and sends nothing for 0
  uint64_t (*NowMs)(void* context);                          // monotonic clock that keeps counting through standby
};

uint32_t PlayerCommandFor(uint8_t action);    // 1->40046, 2->40047, 3->40045, everything else 0 (nothing sent)
bool AnyTriggerEnabled(const PluginState& s); // LockAction or ScreenSaverAction non-zero
void SeedMonitor(PluginState& s, const MonitorIo& io);
void PollTick(PluginState& s, const MonitorIo& io);
void OnPowerBroadcast(PluginState& s, const MonitorIo& io, uint32_t message, uintptr_t wParam);
