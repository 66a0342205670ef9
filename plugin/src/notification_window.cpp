// The plug-in's own hidden window for what Windows announces: session changes (lock, unlock, user
// switch) and the display's state take a tick at once; suspend and resume act on standby as the
// player's window does. Opened when the player's start is over and closed by quit, on the host's
// thread, which owns every registration; while open it keeps the module loaded.
#include "plugin.h"

#include <wtsapi32.h>

#include <atomic>

#include "fade.h"
#include "resolve.h"
#include "system_library.h"

namespace {
// A top-level window: it hears the suspend and resume broadcasts as well as its registrations.
// Not a message-only window: that Windows notifies those too could not be checked.
// Its class is named by the plug-in's description, which the record already holds.
constexpr const char* NotificationWindowClass = PluginDescription;
// What the tick asks for while a refused session registration waits to be tried again.
constexpr UINT RetrySessionMessage = WM_APP;

// UI thread only.
HWND NotificationWindow;
bool SessionRegistered;
uint64_t SessionRefusedAtMs;
// Modern standby announces suspend and resume only to registrations (Windows 8 and later).
HPOWERNOTIFY SuspendResumeRegistration;
// The window to ask for a retry, null while none is due; read by the timer's ticks.
std::atomic<HWND> RetryWindow;

// wtsapi32 is loaded only when the window first opens, and only from the system folder: imported,
// it made every start of the player wait for its load. Once loaded it stays, as an import would
// have: freeing it in quit would make the player's exit wait for its unload instead.
using SessionRegisterFn = BOOL(WINAPI*)(HWND, DWORD);
using SessionUnregisterFn = BOOL(WINAPI*)(HWND);
using SuspendRegisterFn = HPOWERNOTIFY(WINAPI*)(HANDLE, DWORD);
using SuspendUnregisterFn = BOOL(WINAPI*)(HPOWERNOTIFY);
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

// Set once every service the session's notifications depend on has started.
bool SessionServicesReady() {
  HANDLE ready = OpenEventA(SYNCHRONIZE, FALSE, "Global\\TermSrvReadyEvent");
  if (ready == nullptr) return false;
  const bool set = WaitForSingleObject(ready, 0) == WAIT_OBJECT_0;
  CloseHandle(ready);
  return set;
}

uint64_t NowMs() { return WinMonitorIo.NowMs(WinMonitorIo.Context); }

// Without registrations, with no retry due, no fades to step and no sound output watched, the
// window has no use: the poll goes on alone.
void CloseIfUnused() {
  if (!SessionRegistered && RetryWindow.load() == nullptr && SuspendResumeRegistration == nullptr &&
      !DisplayNotificationRegistered() && FadeSeconds(Get(State.ResumeFadeSeconds)) == 0 &&
      !OutputWatchWanted())
    CloseNotificationWindow();
}

// Early in a logon the session's services may not be up yet; the poll covers the meantime.
void TrySessionRegistration() {
  SessionRegistered = RegisterSession(NotificationWindow);
  if (SessionRegistered || UnregisterSession == nullptr ||
      !RetrySessionRegistration(SessionRefusedAtMs, NowMs(), SessionServicesReady()))
    RetryWindow.store(nullptr);
  CloseIfUnused();
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

// A notification only says when to look: the tick decides from the probes as always. Suspend
// and resume may come here twice (broadcast and registration) and to the player's window too:
// the monitor acts once per suspend.
LRESULT CALLBACK NotificationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (TakeOutputNews(message, wParam)) return 0;
  LRESULT result;
  if (TakeFadeMessage(window, message, wParam, result)) return result;
  if (message == RetrySessionMessage) {
    if (RetryWindow.load() != nullptr) TrySessionRegistration();
    return 0;
  }
  if (message == WM_POWERBROADCAST) OnPowerBroadcast(State, WinMonitorIo, message, wParam);
  if ((message == WM_WTSSESSION_CHANGE && IsPresenceChange(wParam)) ||
      (message == WM_POWERBROADCAST && TakeDisplayChange(wParam, lParam)))
    RunEarlyTick();
  return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

void AskForSessionRetry() {
  HWND window = RetryWindow.load();
  if (window != nullptr) PostMessageA(window, RetrySessionMessage, 0, 0);
}

bool NotificationWindowOpen() { return NotificationWindow != nullptr; }
HWND NotificationWindowHandle() { return NotificationWindow; }
void CloseNotificationWindowIfUnused() { CloseIfUnused(); }

void OpenNotificationWindow() {
  if (NotificationWindow != nullptr) return;
  const HINSTANCE self = ThisModule();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = NotificationWindowProc;
  windowClass.hInstance = self;
  windowClass.lpszClassName = NotificationWindowClass;
  RegisterClassA(&windowClass);
  NotificationWindow = CreateWindowExA(WS_EX_TOOLWINDOW, NotificationWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                       nullptr, nullptr, self, nullptr);
  if (NotificationWindow == nullptr) return CloseNotificationWindow();
  HoldModuleWhileRunning();
  SetFadeWindow(NotificationWindow);
  auto registerSuspend = Resolved<SuspendRegisterFn>(User32(), "RegisterSuspendResumeNotification");
  if (registerSuspend != nullptr)
    SuspendResumeRegistration = registerSuspend(NotificationWindow, DEVICE_NOTIFY_WINDOW_HANDLE);
  RegisterDisplayNotification(NotificationWindow);
  SessionRefusedAtMs = NowMs();
  RetryWindow.store(NotificationWindow);
  TrySessionRegistration();
}

void CloseNotificationWindow() {
  RetryWindow.store(nullptr);
  SetFadeWindow(nullptr);
  EndFade();
  UnregisterDisplayNotification();
  auto unregisterSuspend = Resolved<SuspendUnregisterFn>(User32(), "UnregisterSuspendResumeNotification");
  if (SuspendResumeRegistration != nullptr && unregisterSuspend != nullptr)
    unregisterSuspend(SuspendResumeRegistration);
  SuspendResumeRegistration = nullptr;
  if (NotificationWindow != nullptr) {
    if (SessionRegistered) UnregisterSession(NotificationWindow);
    SessionRegistered = false;
    DestroyWindow(NotificationWindow);
    NotificationWindow = nullptr;
  }
  // Classes a DLL registers outlive it; a later load must not find one naming unmapped code.
  UnregisterClassA(NotificationWindowClass, ThisModule());
  HoldModuleWhileRunning();
}
