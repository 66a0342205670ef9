// A function looked up at run time, typed by the caller's pointer: for functions a Windows
// release may lack, which an import would make the whole module fail to load there.
#pragma once
#include <windows.h>

// The export name of module, or null when there is none. A null module gives null too:
// GetProcAddress would search the program's own exports instead.
void* ResolveAddress(HMODULE module, const char* name);

template <typename Function>
Function Resolved(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(ResolveAddress(module, name));
}

// Sets function to the export name of module; false when there is none.
template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
  function = Resolved<Function>(module, name);
  return function != nullptr;
}
