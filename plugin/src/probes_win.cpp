// The portable monitor's view of Windows: the desktop probes, the player, the display's last
// report and the clock.
#include "plugin.h"

#include <atomic>

#include "resolve.h"
#include "tick_clock.h"

namespace {
// The input desktop cannot be opened while the workstation is locked.
bool LockedProbe(void*) {
  HDESK desktop = OpenInputDesktop(0, FALSE, DESKTOP_ENUMERATE);
  if (desktop == nullptr) return true;
  CloseDesktop(desktop);
  return false;
}

bool SaverProbe(void*) {
  BOOL running = FALSE;
  // A failed query counts as no screen saver.
  if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return false;
  return running != FALSE;
}

bool PlayingProbe(void*) { return QueryIsPlaying(); }
void CommandSender(void*, uint8_t action) { SendMonitorAction(action); }
// GetTickCount64 came with Windows Vista: looked up, so that the DLL still loads on XP, where the
// 32-bit count is carried across its wraps instead. Both keep counting through standby, so lock
// and screen-saver durations include it.
using TickCount64Fn = decltype(&GetTickCount64);
std::atomic<TickCount64Fn> TickCount64{nullptr};
std::atomic<int32_t> TickCount64Known{0};  // looked up; two threads doing it at once find the same
CarriedTicks Carried{0};

uint32_t TickCount(void*) { return GetTickCount(); }

uint64_t MonotonicMs(void*) {
  if (TickCount64Known.load(std::memory_order_acquire) == 0) {
    TickCount64.store(Resolved<TickCount64Fn>(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64"),
                      std::memory_order_relaxed);
    TickCount64Known.store(1, std::memory_order_release);
  }
  const TickCount64Fn tickCount64 = TickCount64.load(std::memory_order_relaxed);
  return tickCount64 != nullptr ? tickCount64() : CarryTicks(Carried, TickCount, nullptr);
}
uint32_t DisplayProbe(void*) { return ReportedDisplayState(); }
}  // namespace

constexpr MonitorIo WinMonitorIo{nullptr,       LockedProbe, SaverProbe,  PlayingProbe,
                                 CommandSender, MonotonicMs, DisplayProbe};
