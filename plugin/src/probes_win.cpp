// The portable monitor's view of Windows: the desktop probes, the player, the display's last
// report and the clock.
#include "plugin.h"

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
void CommandSender(void*, uint8_t action) { SendPlayerCommand(action); }
// Keeps counting through standby, so lock and screen-saver durations include it.
uint64_t MonotonicMs(void*) { return GetTickCount64(); }
uint32_t DisplayProbe(void*) { return ReportedDisplayState(); }
}  // namespace

constexpr MonitorIo WinMonitorIo{nullptr,       LockedProbe, SaverProbe,  PlayingProbe,
                                 CommandSender, MonotonicMs, DisplayProbe};
