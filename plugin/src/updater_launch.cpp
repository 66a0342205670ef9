// Starts the update checker, found through a machine-wide registry value, with the INI file
// beside this module and the host window as the owner of its dialog. The start goes through the
// shell, which can take long (associations, a virus scanner looking at the program), so it runs
// on a short-lived thread of its own and the player never waits for it.
#include "plugin.h"

#include "checker_registry.h"
#include "ini_beside.h"
#include "shell_open.h"

namespace {
// A full path of up to MAX_PATH characters and its terminator: a path that fills the buffer was cut.
constexpr DWORD PathCapacity = MAX_PATH + 1;
// The quoted INI path, " /HANDLE:" and the window as a signed 32-bit decimal, with room to spare.
constexpr size_t ParametersCapacity = 310;
static_assert(ParametersCapacity >= PathCapacity + sizeof "\"\" /HANDLE:-2147483648",
              "the longest parameters fit");

// Reads the checker's path. Data that fill the whole buffer without a terminator were cut.
bool ReadCheckerPath(HKEY key, wchar_t (&path)[PathCapacity]) {
  DWORD size = sizeof path;
  if (RegQueryValueExW(key, CheckerRegistryValue, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD units = size / sizeof(wchar_t);
  if (units > 0 && path[units - 1] == L'\0') return path[0] != L'\0';
  if (units >= PathCapacity) return false;
  path[units] = L'\0';
  return units > 0;
}

// The module path with "ini" in place of its extension. A path that filled the buffer was
// cut by the system and would name the wrong file.
bool UpdaterIniPath(wchar_t (&path)[PathCapacity]) {
  DWORD length = GetModuleFileNameW(Record.ModuleInstance, path, PathCapacity);
  if (length <= 3 || length >= PathCapacity) return false;
  IniBeside(path, length);
  path[length] = L'\0';
  return true;
}

// What the thread starts, decided on the player's thread when the start is due: the registry and
// the module path as they are then, whatever changes later.
struct LaunchRequest {
  wchar_t Checker[PathCapacity];
  wchar_t Parameters[ParametersCapacity];
};

// False when there is nothing to start: no checker registered, or a path that would be cut.
bool PrepareLaunch(LaunchRequest& request) {
  HKEY key = nullptr;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, CheckerRegistryKey, &key) != ERROR_SUCCESS) return false;
  wchar_t ini[PathCapacity];
  const bool found = ReadCheckerPath(key, request.Checker) && UpdaterIniPath(ini);
  RegCloseKey(key);
  // The handle goes out as a signed decimal; the checker reads it back the same way.
  if (found)
    wsprintfW(request.Parameters, L"\"%s\" /HANDLE:%i", ini,
              static_cast<int>(reinterpret_cast<INT_PTR>(Record.HostWindow)));
  return found;
}

// Runs on its own thread, which holds a reference on the module until its very last instruction.
DWORD WINAPI LaunchThread(void* context) {
  auto* request = static_cast<LaunchRequest*>(context);
  ShellOpen(request->Checker, request->Parameters, SW_SHOW);
  HeapFree(GetProcessHeap(), 0, request);
  FreeLibraryAndExitThread(ThisModule(), 0);
}
}  // namespace

void LaunchUpdater() {
  if (Get(State.UpdateCheck) == 0) return;
  auto* request = static_cast<LaunchRequest*>(HeapAlloc(GetProcessHeap(), 0, sizeof(LaunchRequest)));
  if (request == nullptr) return;
  HMODULE self = nullptr;
  if (PrepareLaunch(*request) && (self = AddModuleReference()) != nullptr) {
    if (HANDLE thread = CreateThread(nullptr, 0, LaunchThread, request, 0, nullptr)) {
      CloseHandle(thread);
      return;
    }
    FreeLibrary(self);
  }
  HeapFree(GetProcessHeap(), 0, request);
}
