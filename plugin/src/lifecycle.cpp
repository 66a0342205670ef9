// Entry points: the module entry, the exports, the record operations and the window hook.
#include "plugin.h"

#include "fade.h"

// Constant-initialised: no code runs to set it up when the module loads.
constinit PluginState State{};

namespace {
int init();
void config() { ShowConfigDialog(); }
void quit();
LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace

PluginRecord Record{PluginRecordVersion, PluginDescription, init, config, quit, nullptr, nullptr};

namespace {
// Between an init that put the hook in place and quit (UI thread only).
bool Initialised;

// The hook's place in the host window's chain (UI thread only). It outlives quit when a later
// subclass holds it: then it stays there, forwarding only, until the process ends.
struct {
  HWND Window;      // the window it is in, or null
  WNDPROC Forward;  // the procedure it replaced
  bool Unicode;     // installed and forwarding with the W functions
} Hook;

LONG_PTR CurrentProc(HWND window) {
  return Hook.Unicode ? GetWindowLongPtrW(window, GWLP_WNDPROC) : GetWindowLongPtrA(window, GWLP_WNDPROC);
}

// Puts the hook in front of the window's procedure; returns the procedure it forwards to, or
// null. A Unicode window stays Unicode: through A functions every text message would be narrowed
// to the ANSI code page and back.
WNDPROC Subclass(HWND window) {
  if (Hook.Window != nullptr && IsWindow(Hook.Window)) {
    // Still in a chain from an earlier quit: a second copy of the hook would forward to itself,
    // so the one in place takes up its work again; another window goes without it.
    return Hook.Window == window ? Hook.Forward : nullptr;
  }
  Hook.Unicode = IsWindowUnicode(window) != FALSE;
  // On 32-bit Windows SetWindowLongPtr{A|W} is SetWindowLong{A|W} itself.
  const LONG_PTR ours = reinterpret_cast<LONG_PTR>(HostWindowHook);
  Hook.Forward = reinterpret_cast<WNDPROC>(Hook.Unicode ? SetWindowLongPtrW(window, GWLP_WNDPROC, ours)
                                                        : SetWindowLongPtrA(window, GWLP_WNDPROC, ours));
  Hook.Window = Hook.Forward != nullptr ? window : nullptr;
  return Hook.Forward;
}

// Puts back what the hook replaced, but only while the hook is the window's procedure: under a
// later subclass that would drop the later one out of the chain, and when that one quits it
// would put back the hook, in a module that may be gone by then.
void Unsubclass() {
  HWND window = Hook.Window;
  if (IsWindow(window) && CurrentProc(window) != reinterpret_cast<LONG_PTR>(HostWindowHook)) {
    // Left in the chain: its code must stay mapped for as long as the window may call it.
    AddModuleReference(GET_MODULE_HANDLE_EX_FLAG_PIN);
    return;
  }
  const LONG_PTR forward = reinterpret_cast<LONG_PTR>(Hook.Forward);
  if (Hook.Unicode)
    SetWindowLongPtrW(window, GWLP_WNDPROC, forward);
  else
    SetWindowLongPtrA(window, GWLP_WNDPROC, forward);
  Hook.Window = nullptr;
}

// The host calls init while it starts, and its window waits for whatever init does. So init
// does only what must hold when it returns and posts this message to the player's window; the
// rest starts when the hook meets it, once the player's message loop runs. UI thread only.
UINT FinishStartMessage;
bool FinishStartPending;

// What init leaves until the player's start is over: the checker, the poll and the plug-in's
// own window. Run once per init, and never after quit.
void FinishStart() {
  FinishStartPending = false;
  LaunchUpdater();
  UpdatePolling();
  OpenNotificationWindow();
  UpdateOutputWatch();
}
}  // namespace

// A host that unloads the module without quit would otherwise leave the timer or the window
// calling into unmapped code. Stopping them at DLL_PROCESS_DETACH is no remedy: that runs under
// the loader lock, and stopping means waiting for a tick that may itself wait for this thread.
// So while either runs the module stays loaded, and quit (or OK with no trigger) releases it.
void HoldModuleWhileRunning() {
  static HMODULE reference;  // UI thread only
  const bool running = PollingRuns() || NotificationWindowOpen();
  if (running && reference == nullptr) {
    reference = AddModuleReference();
  } else if (!running && reference != nullptr) {
    // The caller of init, quit or the dialog holds its own reference, so this is never the last.
    FreeLibrary(reference);
    reference = nullptr;
  }
}

void UpdatePolling() {
  // Outside an initialised host (an installer's process) a timer would send player commands
  // to the caller's window and keep the module busy after it is done with it.
  SetPolling(AnyTriggerEnabled(State) && Initialised);
  // Turned off in the dialog: a fade under way ends at once. Turned on: its steps need the
  // plug-in's window, closed where Windows took none of its registrations.
  if (FadeSeconds(Get(State.ResumeFadeSeconds)) == 0)
    EndFade();
  else if (Initialised && !FinishStartPending)
    OpenNotificationWindow();
}

void UpdateOutputWatch() {
  // Never in an installer's process, as the poll; the player's start is over by now.
  SetOutputWatch(Get(State.UnplugAction) != 0 && Initialised);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Record.ModuleInstance = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) PluginRecord* winampGetGeneralPurposePlugin() { return &Record; }

namespace {
int init() {
  if (Initialised) return 1;
  // Ticks and standby talk to the player through this window from now on, whatever window a
  // dialog opened through instConfig is given meanwhile.
  BindPlayerWindow(Record.HostWindow);
  SeedMonitor(State, WinMonitorIo);
  LoadSettings();
  Initialised = Subclass(Record.HostWindow) != nullptr;
  // Without the hook nothing would ever meet the message: not initialised, nothing to start.
  if (!Initialised) return 0;
  if (FinishStartMessage == 0) FinishStartMessage = RegisterWindowMessageA("Hushbell finish start");
  FinishStartPending = true;
  // A queue that takes no more messages: start it all now rather than never.
  if (FinishStartMessage == 0 || !PostMessageA(Record.HostWindow, FinishStartMessage, 0, 0)) FinishStart();
  return 0;
}

void quit() {
  FinishStartPending = false;  // a message still on its way finds nothing to do
  SetPolling(false);
  SetOutputWatch(false);
  CloseNotificationWindow();
  if (Initialised) {
    // From here on the hook only forwards, wherever it stays.
    Initialised = false;
    Unsubclass();
  }
}

LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The message is the plug-in's alone: the player has nothing to do with it.
  if (message == FinishStartMessage && FinishStartMessage != 0) {
    if (FinishStartPending) FinishStart();
    return 0;
  }
  if (Initialised) {
    OnPowerBroadcast(State, WinMonitorIo, message, wParam);
    // The player may save its volume here, before quit: never a fade's.
    if (message == WM_CLOSE || message == WM_QUERYENDSESSION || message == WM_ENDSESSION) EndFade();
  }
  const LRESULT result = Hook.Unicode ? CallWindowProcW(Hook.Forward, window, message, wParam, lParam)
                                      : CallWindowProcA(Hook.Forward, window, message, wParam, lParam);
  // A pause or a stop, the user's or a new lock's: the volume goes back right after it, with
  // nothing playing.
  const WORD command = LOWORD(wParam);
  if (Initialised && message == WM_COMMAND && (command == HostCommandPause || command == HostCommandStop))
    EndFade();
  return result;
}
}  // namespace

extern "C" int WINAPI instConfig(HWND window, const char* iniPath) {
  // Inside an initialised host the record must keep naming the host's window afterwards: quit
  // unhooks it and a later config is owned by it. Ticks never see the swap (BindPlayerWindow).
  const bool initialised = Initialised;
  HWND hostWindow = Record.HostWindow;
  UseInstallerIni(iniPath);
  Record.HostWindow = window;
  LoadSettings();
  int result = ShowConfigDialog();
  UseInstallerIni(nullptr);
  if (initialised) Record.HostWindow = hostWindow;
  return result;
}
