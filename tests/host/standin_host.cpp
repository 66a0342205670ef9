// The stand-in host player: its main window, its answers to queries, its record of commands,
// and the plug-in binding.
#include "standin_host.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace {
constexpr size_t MaxCommands = 256;
constexpr size_t MaxVolumeSets = 1024;
constexpr uintptr_t PlayerVersion = 0x5091;

struct HostRecord {
  HWND Window, Preferences;
  char IniPath[MAX_PATH];
  wchar_t WideIniPath[MAX_PATH];  // empty: query 1334 is not known
  int PlayState, PlayQueries, IniQueries, HelpMessages;
  HostCommand Commands[MaxCommands];
  size_t CommandCount;
  uintptr_t Version;
  intptr_t Volume;
  int VolumeMessages;
  HostVolumeSet VolumeSets[MaxVolumeSets];
  size_t VolumeSetCount;
  intptr_t SavedVolume;
  HMODULE Plugin;
  HostPluginRecord* Record;
} Host;

void Record(UINT command) {
  HostCommand entry{command, GetTickCount64(), Host.PlayState, Host.PlayState, false};
  switch (command) {
    case HostCommandPlay:
      // The player restarts a playing track, unpauses a paused one, starts a stopped one.
      entry.Restarted = Host.PlayState == HostPlaying;
      Host.PlayState = HostPlaying;
      break;
    case HostCommandPause:
      // Pause toggles: to a paused player it means play.
      if (Host.PlayState == HostPlaying)
        Host.PlayState = HostPaused;
      else if (Host.PlayState == HostPaused)
        Host.PlayState = HostPlaying;
      break;
    case HostCommandStop: Host.PlayState = HostStopped; break;
    default: return;
  }
  entry.StateAfter = Host.PlayState;
  if (Host.CommandCount < MaxCommands) Host.Commands[Host.CommandCount++] = entry;
}

LRESULT VolumeQuery(intptr_t wParam) {
  ++Host.VolumeMessages;
  if (wParam == HostVolumeRead && Host.Version >= HostVolumeReadsFrom) return Host.Volume;
  Host.Volume = wParam;
  if (Host.VolumeSetCount < MaxVolumeSets)
    Host.VolumeSets[Host.VolumeSetCount++] = {wParam, GetTickCount64(), Host.CommandCount};
  return 0;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case HostQueryMessage:
      if (static_cast<uintptr_t>(lParam) == HostQueryVersion) return static_cast<LRESULT>(Host.Version);
      if (static_cast<uintptr_t>(lParam) == HostQueryVolume) return VolumeQuery(static_cast<intptr_t>(wParam));
      if (static_cast<uintptr_t>(lParam) == HostQueryPlayState) {
        ++Host.PlayQueries;
        return Host.PlayState;
      }
      if (static_cast<uintptr_t>(lParam) == HostQueryIniPath) {
        ++Host.IniQueries;
        return reinterpret_cast<LRESULT>(Host.IniPath);
      }
      if (static_cast<uintptr_t>(lParam) == HostQueryWideIniPath) {
        ++Host.IniQueries;
        if (Host.WideIniPath[0] != L'\0') return reinterpret_cast<LRESULT>(Host.WideIniPath);
      }
      return 1;  // what the player answers to a query it does not know
    case WM_COMMAND: Record(LOWORD(wParam)); return 0;
    // The player saves its settings, its volume among them, and stays: the test ends it.
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION: Host.SavedVolume = Host.Volume; return message == WM_QUERYENDSESSION;
    case WM_HELP: ++Host.HelpMessages; return TRUE;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}
}  // namespace

bool HostCreate(const char* iniPath) {
  HostDestroy();
  Host = HostRecord{};
  Host.Version = PlayerVersion;
  Host.Volume = HostInitialVolume;
  Host.SavedVolume = -1;
  snprintf(Host.IniPath, sizeof Host.IniPath, "%s", iniPath != nullptr ? iniPath : "");
  // A Unicode window, as the player's is.
  const WNDCLASSW windowClass{
      .lpfnWndProc = HostProc, .hInstance = GetModuleHandleW(nullptr), .lpszClassName = L"Winamp v1.x"};
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  Host.Window = CreateWindowExW(0, L"Winamp v1.x", L"Stand-in player", WS_OVERLAPPEDWINDOW, 0, 0, 275, 116,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return Host.Window != nullptr;
}

void HostAnswerWideIniQuery(const wchar_t* path) {
  lstrcpynW(Host.WideIniPath, path, MAX_PATH);
  // Query 334 gets the same path narrowed, as the player's is.
  if (!WideCharToMultiByte(CP_ACP, 0, path, -1, Host.IniPath, sizeof Host.IniPath, nullptr, nullptr))
    Host.IniPath[0] = '\0';
}

void HostDestroy() {
  HostClosePreferences();
  if (Host.Window != nullptr) DestroyWindow(Host.Window);
  Host.Window = nullptr;
}

HWND HostWindowHandle() { return Host.Window; }
void HostSetPlayState(int state) { Host.PlayState = state; }
int HostGetPlayState() { return Host.PlayState; }
int HostPlayQueries() { return Host.PlayQueries; }
int HostIniQueries() { return Host.IniQueries; }
int HostHelpMessages() { return Host.HelpMessages; }
void HostSetVersion(uintptr_t version) { Host.Version = version; }
void HostSetVolume(intptr_t volume) { Host.Volume = volume; }
intptr_t HostGetVolume() { return Host.Volume; }
int HostVolumeMessages() { return Host.VolumeMessages; }
std::vector<HostVolumeSet> HostVolumeSets() { return {Host.VolumeSets, Host.VolumeSets + Host.VolumeSetCount}; }
intptr_t HostSavedVolume() { return Host.SavedVolume; }
size_t HostCommandCount() { return Host.CommandCount; }
HostCommand HostCommandAt(size_t index) {
  return index < Host.CommandCount ? Host.Commands[index] : HostCommand{};
}

bool HostPumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now < 20 ? end - now : 20),
                              QS_ALLINPUT);
  }
  return true;
}

void HostPump(DWORD milliseconds) {
  HostPumpUntil([] { return false; }, milliseconds);
}

bool HostWaitForCommands(size_t count, DWORD timeoutMs) {
  return HostPumpUntil([count] { return Host.CommandCount >= count; }, timeoutMs);
}

HostPluginRecord* HostLoadPlugin(const char* dllPath) {
  Host.Plugin = LoadLibraryA(dllPath);
  const auto get = ExportOf<HostPluginRecord* (*)()>(Host.Plugin, "winampGetGeneralPurposePlugin");
  Host.Record = get != nullptr ? get() : nullptr;
  if (Host.Record != nullptr) {
    Host.Record->HostWindow = Host.Window;
    Host.Record->ModuleInstance = Host.Plugin;
  }
  return Host.Record;
}

int HostInitPlugin() {
  const int result = Host.Record->init();
  // The player's message loop runs once its start is over: what the plug-in posted to its window
  // meanwhile is handled then.
  HostPump(0);
  return result;
}
void HostConfigPlugin() { Host.Record->config(); }

int HostInstConfig(HWND window, const char* iniPath) {
  const auto instConfig = ExportOf<int(WINAPI*)(HWND, const char*)>(Host.Plugin, "instConfig");
  return instConfig != nullptr ? instConfig(window, iniPath) : -1;
}
void HostQuitPlugin() { Host.Record->quit(); }
HMODULE HostPluginModule() { return Host.Plugin; }

void HostUnloadPlugin() {
  if (Host.Plugin != nullptr) FreeLibrary(Host.Plugin);
  Host.Plugin = nullptr;
  Host.Record = nullptr;
}

void HostStop() {
  if (Host.Plugin != nullptr) HostQuitPlugin();
  HostUnloadPlugin();
  HostDestroy();
}

HWND HostOpenPreferences() {
  if (Host.Preferences != nullptr) return Host.Preferences;
  // A plain dialog-class window stands in for the player's preferences dialog.
  Host.Preferences = CreateWindowExA(0, "#32770", "Stand-in Preferences", WS_POPUP | WS_CAPTION, 40, 40, 400,
                                     300, Host.Window, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (Host.Preferences != nullptr) {
    // Loaded on demand: a test process that never opens the preferences window keeps the
    // common controls unloaded and unregistered.
    const auto initControls = ExportOf<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>(
        LoadLibraryA("comctl32.dll"), "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
    if (initControls != nullptr) initControls(&controls);
    CreateWindowExA(0, WC_TREEVIEWA, "Tree1", WS_CHILD | WS_VISIBLE, 0, 0, 120, 280, Host.Preferences,
                    nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  return Host.Preferences;
}

void HostClosePreferences() {
  if (Host.Preferences != nullptr) DestroyWindow(Host.Preferences);
  Host.Preferences = nullptr;
}

bool HostPluginBesideProgram(char* path, size_t size) {
  const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(size));
  if (length == 0 || length >= size) return false;
  const char* slash = strrchr(path, '\\');
  const size_t folder = slash != nullptr ? slash + 1 - path : 0;
  const int written = snprintf(path + folder, size - folder, "gen_hushbell.dll");
  return written > 0 && static_cast<size_t>(written) < size - folder;
}
