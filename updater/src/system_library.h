// System DLLs that only a due check needs, loaded at run time so that the common start, a check
// that is not due, never pays for them.
#pragma once
#include <windows.h>

// Loads name from the system folder by its full path; null when it cannot be had.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Loads the common controls as the manifest asks for them; null when they cannot be had.
HMODULE LoadCommonControls();

// Sets function to the export name of module; false when there is none.
template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}
