// System DLLs loaded at run time by their full path in the system folder, so that a DLL of the
// same name beside the program, or in the current folder, is never the one loaded.
#pragma once
#include <windows.h>

// The full path of name in the system folder; false when it does not fit.
bool SystemFilePath(wchar_t (&path)[MAX_PATH], const wchar_t* name);
// Loads name from the system folder; null when it cannot be had.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Whether LoadLibraryExW honours the LOAD_LIBRARY_SEARCH_* flags (Windows 8, and Windows 7 and
// Vista with an update).
bool SearchFlagsSupported();

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
