// Entry points: the module entry, the exports, the record operations and the window hook.
#include "plugin.h"

PluginState State;

namespace {
void config() { ShowConfigDialog(); }
}  // namespace

PluginRecord Record{PluginRecordVersion, PluginDescription, init, config, quit, nullptr, nullptr};

namespace {
// The module reference the running timer holds (UI thread only).
HMODULE TimerModuleReference;
}  // namespace

// A host that unloads the module without quit would otherwise leave the timer calling into
// unmapped code. Stopping it at DLL_PROCESS_DETACH is no remedy: that runs under the loader
// lock, and stopping means waiting for a tick that may itself wait for this thread. So the
// timer keeps the module loaded instead, and quit (or OK with no trigger) releases it.
void SetPolling(bool run) {
  if (run)
    StartPolling();
  else
    StopPolling();
  bool running = Get(State.TimerId) != 0;
  if (running && TimerModuleReference == nullptr) {
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<const char*>(&Record),
                       &TimerModuleReference);
  } else if (!running && TimerModuleReference != nullptr) {
    // The caller of quit or of the dialog holds its own reference, so this is never the last.
    FreeLibrary(TimerModuleReference);
    TimerModuleReference = nullptr;
  }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    State.PreviousWindowProc = nullptr;
    State.IniPathOverride = nullptr;
    Record.ModuleInstance = instance;
  }
  return TRUE;
}

extern "C" __declspec(dllexport) PluginRecord* winampGetGeneralPurposePlugin() { return &Record; }

int init() {
  if (State.PreviousWindowProc != nullptr) return 1;
  // A timer left running by an earlier init whose subclassing failed would otherwise be
  // lost when its id is cleared below.
  SetPolling(false);
  Put(State.TimerId, 0);
  // Ticks and standby talk to the player through this window from now on, whatever window a
  // dialog opened through instConfig is given meanwhile.
  BindPlayerWindow(Record.HostWindow);
  SeedMonitor(State, WinMonitorIo());
  LoadSettings();
  LaunchUpdater();
  if (AnyTriggerEnabled(State)) SetPolling(true);
  OpenSessionWindow();
  // On 32-bit Windows SetWindowLongPtrA is SetWindowLongA itself.
  State.PreviousWindowProc = reinterpret_cast<void*>(
      SetWindowLongPtrA(Record.HostWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostWindowHook)));
  return 0;
}

void quit() {
  SetPolling(false);
  CloseSessionWindow();
  if (State.PreviousWindowProc != nullptr) {
    SetWindowLongPtrA(Record.HostWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(State.PreviousWindowProc));
    State.PreviousWindowProc = nullptr;
  }
}

LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  OnPowerBroadcast(State, WinMonitorIo(), message, wParam);
  return CallWindowProcA(reinterpret_cast<WNDPROC>(State.PreviousWindowProc), window, message, wParam,
                         lParam);
}

extern "C" int WINAPI instConfig(HWND window, const char* iniPath) {
  // Inside an initialised host the record must keep naming the host's window afterwards: quit
  // unhooks it and a later config is owned by it. Ticks never see the swap (BindPlayerWindow).
  const bool initialised = State.PreviousWindowProc != nullptr;
  HWND hostWindow = Record.HostWindow;
  State.IniPathOverride = iniPath;
  Record.HostWindow = window;
  LoadSettings();
  int result = ShowConfigDialog();
  State.IniPathOverride = nullptr;
  if (initialised) Record.HostWindow = hostWindow;
  return result;
}
