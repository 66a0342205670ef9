// Loading system DLLs at run time without ever searching the program's folder.
#include "system_library.h"

#include "text_bounds.h"

namespace {

// LOAD_LIBRARY_SEARCH_* came with Windows 8 and with an update of Windows 7 and Vista; older
// systems do not honour it. AddDllDirectory is the documented sign that they do.
bool SearchFlagsSupported() {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel != nullptr && GetProcAddress(kernel, "AddDllDirectory") != nullptr;
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  if (folder == 0 || !AppendPathName(path, MAX_PATH, folder, name)) return nullptr;
  // A full path fixes the DLL itself; the flags keep its own imports out of the program's
  // folder too (the altered search path starts in the DLL's folder, the system folder).
  const DWORD search = SearchFlagsSupported() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  return LoadLibraryExW(path, nullptr, search);
}

// A full path would bypass the manifest's side-by-side redirection and load the system folder's
// old controls. By name with LOAD_LIBRARY_SEARCH_SYSTEM32 the redirection still comes first and
// the search that follows looks in the system folder only, never in the program's folder. Where
// that flag is not honoured, the full path is kept: old controls rather than a planted DLL.
HMODULE LoadCommonControls() {
  if (SearchFlagsSupported()) return LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return LoadSystemLibrary(L"comctl32.dll");
}
