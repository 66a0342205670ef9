// Desktop probes, the clock and the one-second multimedia timer around the portable monitor.
#include "plugin.h"

#include <mmsystem.h>

#include <atomic>

namespace {
bool LockedProbe(void*) { return IsDesktopLocked(); }
bool SaverProbe(void*) { return IsScreenSaverRunning(); }
bool PlayingProbe(void*) { return QueryIsPlaying(); }
void CommandSender(void*, uint8_t action) { SendPlayerCommand(action); }
// Keeps counting through standby, so lock and screen-saver durations include it.
uint64_t MonotonicMs(void*) { return GetTickCount64(); }

constexpr MonitorIo Io{nullptr, LockedProbe, SaverProbe, PlayingProbe, CommandSender, MonotonicMs};

// A tick only runs while the timer is open, and StopPolling waits for a running one to
// finish. Sequentially consistent: the open flag and the busy count form a handshake
// between the two threads, which relaxed order would not guarantee.
std::atomic<int32_t> TimerOpen{0};
std::atomic<int32_t> TicksRunning{0};

void CALLBACK PollTickCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  TicksRunning.fetch_add(1);
  if (TimerOpen.load() != 0) PollTick(State, Io);
  TicksRunning.fetch_sub(1);
}

// While a tick waits in SendMessageA for this very thread, only handling sent messages
// lets it finish.
void WaitForRunningTick() {
  while (TicksRunning.load() != 0) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
  }
}
}  // namespace

const MonitorIo& WinMonitorIo() { return Io; }

bool IsDesktopLocked() {
  HDESK desktop = OpenInputDesktop(0, FALSE, DESKTOP_ENUMERATE);
  if (desktop == nullptr) return true;
  CloseDesktop(desktop);
  return false;
}

bool IsScreenSaverRunning() {
  BOOL running = FALSE;
  // A failed query counts as no screen saver.
  if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return false;
  return running != FALSE;
}

void StartPolling() {
  if (Get(State.TimerId) != 0) return;
  TimerOpen.store(1);
  // TIME_KILL_SYNCHRONOUS: once timeKillEvent returns no callback is left running, so the
  // host may unload the module right after quit.
  UINT id = timeSetEvent(1000, 0, PollTickCallback, reinterpret_cast<DWORD_PTR>(Record.HostWindow),
                         TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
  if (id == 0) TimerOpen.store(0);
  Put(State.TimerId, id);
}

void StopPolling() {
  UINT id = Get(State.TimerId);
  if (id == 0) return;
  // Close first so that no new tick sends to the host, then let a running one finish
  // (it may be waiting for this thread), and only then kill the timer synchronously.
  TimerOpen.store(0);
  WaitForRunningTick();
  timeKillEvent(id);
  Put(State.TimerId, 0);
}
