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

// Fills a table of a system DLL's functions (a struct with Module and one pointer per function):
// loads dll from the system folder, then resolveAll(table) resolves every function. All or
// nothing: on any miss the DLL is freed again and api is left as it was.
template <typename Api, typename ResolveAll>
bool LoadSystemApi(const wchar_t* dll, Api& api, ResolveAll resolveAll) {
  Api loaded = {};
  loaded.Module = LoadSystemLibrary(dll);
  if (loaded.Module == nullptr) return false;
  if (!resolveAll(loaded)) {
    FreeLibrary(loaded.Module);
    return false;
  }
  api = loaded;
  return true;
}

// Frees what LoadSystemApi loaded and empties the table.
template <typename Api>
void FreeSystemApi(Api& api) {
  if (api.Module != nullptr) FreeLibrary(api.Module);
  api = Api{};
}
