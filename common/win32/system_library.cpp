#include "system_library.h"

#include "resolve.h"
#include "text_bounds.h"

// AddDllDirectory came with the same update as the flags: the documented sign that they work.
bool SearchFlagsSupported() {
  return ResolveAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
}

bool SystemFilePath(wchar_t (&path)[MAX_PATH], const wchar_t* name) {
  const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  return folder != 0 && AppendPathName(path, MAX_PATH, folder, name);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  if (!SystemFilePath(path, name)) return nullptr;
  // A full path fixes the DLL itself; the flags keep its own imports out of the program's
  // folder too (the altered search path starts in the DLL's folder, the system folder).
  const DWORD search = SearchFlagsSupported() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  return LoadLibraryExW(path, nullptr, search);
}
