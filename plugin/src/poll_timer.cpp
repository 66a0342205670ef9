// What runs the monitor's ticks: the one-second multimedia timer, and the plug-in's own hidden
// window, which takes a tick at once when the session or the display reports a change. While
// either runs it keeps the module loaded.
#include "plugin.h"

#include <mmsystem.h>
#include <wtsapi32.h>

#include <atomic>

#include "resolve.h"
#include "system_library.h"
#include "tick_gate.h"

namespace {
UINT TimerId;  // the running poll timer, 0 for none (UI thread only)
// A tick only runs while the timer is open, and StopPolling waits for a running one to
// finish. Sequentially consistent: the open flag and the busy count form a handshake
// between the two threads, which relaxed order would not guarantee.
std::atomic<int32_t> TimerOpen{0};
std::atomic<int32_t> TicksRunning{0};
// The timer's ticks and the early ones a session notification asks for, one at a time.
TickGate Gate;

void CALLBACK PollTickCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  TicksRunning.fetch_add(1);
  if (TimerOpen.load() != 0) RunTick(Gate, TimerOpen, State, WinMonitorIo);
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

// A hidden top-level window of the plug-in's own, on the host's thread, registered for the
// session's notifications and the display's; the host's window may hold a registration of its
// own. Not a message-only window: that Windows notifies those too could not be checked. UI
// thread only.
constexpr char SessionWindowClass[] = "Hushbell session";
HWND SessionWindow;
bool SessionRegistered;  // for the session's notifications; the display's may hold it alone

// wtsapi32 is loaded only when the window first opens, and only from the system folder: imported,
// it made every start of the player wait for its load. Once loaded it stays, as an import would
// have: freeing it in quit would make the player's exit wait for its unload instead.
using SessionRegisterFn = BOOL(WINAPI*)(HWND, DWORD);
using SessionUnregisterFn = BOOL(WINAPI*)(HWND);
HMODULE SessionApi;
SessionUnregisterFn UnregisterSession;

// Registers the window for the session's notifications; false where the system offers none.
bool RegisterSession(HWND window) {
  if (SessionApi == nullptr) SessionApi = LoadSystemLibrary(L"wtsapi32.dll");
  if (SessionApi == nullptr) return false;
  auto registerSession = Resolved<SessionRegisterFn>(SessionApi, "WTSRegisterSessionNotification");
  UnregisterSession = Resolved<SessionUnregisterFn>(SessionApi, "WTSUnRegisterSessionNotification");
  return registerSession != nullptr && UnregisterSession != nullptr &&
         registerSession(window, NOTIFY_FOR_THIS_SESSION);
}

bool IsPresenceChange(WPARAM change) {
  switch (change) {
    case WTS_CONSOLE_CONNECT:
    case WTS_CONSOLE_DISCONNECT:
    case WTS_REMOTE_CONNECT:
    case WTS_REMOTE_DISCONNECT:
    case WTS_SESSION_LOCK:
    case WTS_SESSION_UNLOCK: return true;
    default: return false;
  }
}

// The notification only says when to look: the tick decides from the probes as always. No
// early tick runs once StopPolling has returned: it runs on this thread too (quit, the dialog).
LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if ((message == WM_WTSSESSION_CHANGE && IsPresenceChange(wParam)) ||
      TakeDisplayChange(message, wParam, lParam))
    RunTick(Gate, TimerOpen, State, WinMonitorIo);
  return DefWindowProcA(window, message, wParam, lParam);
}

// A host that unloads the module without quit would otherwise leave the timer or the window
// calling into unmapped code. Stopping them at DLL_PROCESS_DETACH is no remedy: that runs under
// the loader lock, and stopping means waiting for a tick that may itself wait for this thread.
// So while either runs the module stays loaded, and quit (or OK with no trigger) releases it.
HMODULE ModuleReference;  // UI thread only

void HoldModuleWhileRunning() {
  const bool running = TimerId != 0 || SessionWindow != nullptr;
  if (running && ModuleReference == nullptr) {
    ModuleReference = AddModuleReference();
  } else if (!running && ModuleReference != nullptr) {
    // The caller of init, quit or the dialog holds its own reference, so this is never the last.
    FreeLibrary(ModuleReference);
    ModuleReference = nullptr;
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

void OpenSessionWindow() {
  if (SessionWindow != nullptr) return;
  const HINSTANCE self = ThisModule();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = SessionWindowProc;
  windowClass.hInstance = self;
  windowClass.lpszClassName = SessionWindowClass;
  RegisterClassA(&windowClass);
  SessionWindow = CreateWindowExA(WS_EX_TOOLWINDOW, SessionWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, self, nullptr);
  SessionRegistered = SessionWindow != nullptr && RegisterSession(SessionWindow);
  // Without notifications the window has no use: the poll alone goes on as before.
  if (!RegisterDisplayNotification(SessionWindow) && !SessionRegistered)
    CloseSessionWindow();
  else
    HoldModuleWhileRunning();
}

void CloseSessionWindow() {
  UnregisterDisplayNotification();
  if (SessionWindow != nullptr) {
    if (SessionRegistered) UnregisterSession(SessionWindow);
    SessionRegistered = false;
    DestroyWindow(SessionWindow);
    SessionWindow = nullptr;
  }
  // Classes a DLL registers outlive it; a later load must not find one naming unmapped code.
  UnregisterClassA(SessionWindowClass, ThisModule());
  HoldModuleWhileRunning();
}
