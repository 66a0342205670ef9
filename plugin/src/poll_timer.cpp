// The poll: a one-second multimedia timer whose ticks run the monitor, and the early ticks the
// plug-in's notification window asks for, one at a time through the same gate.
#include "plugin.h"

#include <mmsystem.h>

#include <atomic>

#include "tick_gate.h"

namespace {
UINT TimerId;  // the running poll timer, 0 for none (UI thread only)
// A tick only runs while the timer is open, and StopPolling waits for a running one to
// finish. Sequentially consistent: the open flag and the busy count form a handshake
// between the two threads, which relaxed order would not guarantee.
std::atomic<int32_t> TimerOpen{0};
std::atomic<int32_t> TicksRunning{0};
// The timer's ticks and the early ones a notification asks for, one at a time.
TickGate Gate;

void CALLBACK PollTickCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  TicksRunning.fetch_add(1);
  if (TimerOpen.load() != 0) {
    RunTick(Gate, TimerOpen, State, WinMonitorIo);
    AskForSessionRetry();
  }
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

void StartPolling() {
  if (TimerId != 0) return;
  TimerOpen.store(1);
  // TIME_KILL_SYNCHRONOUS: once timeKillEvent returns no callback is left running, so the
  // host may unload the module right after quit. A resolution of a whole second: the finest (0)
  // would hold the system timer at about 1 ms for as long as the player runs, machine-wide on
  // most Windows versions, for a poll that needs no better than its own period.
  TimerId = timeSetEvent(1000, 1000, PollTickCallback, 0, TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
  if (TimerId == 0) TimerOpen.store(0);
}

void StopPolling() {
  if (TimerId == 0) return;
  // Close first so that no new tick sends to the host, then let a running one finish
  // (it may be waiting for this thread), and only then kill the timer synchronously.
  TimerOpen.store(0);
  WaitForRunningTick();
  timeKillEvent(TimerId);
  TimerId = 0;
}
}  // namespace

void SetPolling(bool run) {
  if (run)
    StartPolling();
  else
    StopPolling();
  HoldModuleWhileRunning();
}

bool PollingRuns() { return TimerId != 0; }

// No early tick runs once StopPolling has returned: it runs on this thread too (quit, the dialog).
void RunEarlyTick() { RunTick(Gate, TimerOpen, State, WinMonitorIo); }
