// Entry points: the module entry, the exports, the record operations and the window hook.
#include "plugin.h"

PluginState State;

namespace {
void config() { ShowConfigDialog(); }
}  // namespace

PluginRecord Record{16, PluginDescription, init, config, quit, nullptr, nullptr};

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
  StopPolling();
  Put(State.TimerId, 0);
  SeedMonitor(State, WinMonitorIo());
  LoadSettings();
  LaunchUpdater();
  if (AnyTriggerEnabled(State)) StartPolling();
  State.PreviousWindowProc = reinterpret_cast<void*>(SetWindowLongA(
      Record.HostWindow, GWL_WNDPROC, reinterpret_cast<LONG>(HostWindowHook)));
  return 0;
}

void quit() {
  StopPolling();
  if (State.PreviousWindowProc != nullptr) {
    SetWindowLongA(Record.HostWindow, GWL_WNDPROC, reinterpret_cast<LONG>(State.PreviousWindowProc));
    State.PreviousWindowProc = nullptr;
  }
}

LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  OnPowerBroadcast(State, WinMonitorIo(), message, wParam);
  return CallWindowProcA(reinterpret_cast<WNDPROC>(State.PreviousWindowProc), window, message,
                         wParam, lParam);
}

extern "C" int WINAPI instConfig(HWND window, const char* iniPath) {
  State.IniPathOverride = iniPath;
  Record.HostWindow = window;
  LoadSettings();
  int result = ShowConfigDialog();
  State.IniPathOverride = nullptr;
  return result;
}
