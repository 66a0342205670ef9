#include "common_controls.h"

#include "system_library.h"

// A full path would bypass the manifest's side-by-side redirection and load the system folder's
// old controls. By name with LOAD_LIBRARY_SEARCH_SYSTEM32 the redirection still comes first and
// the search that follows looks in the system folder only, never in the program's folder. Where
// that flag is not honoured, the full path is kept: old controls rather than a planted DLL.
HMODULE LoadCommonControls() {
  if (SearchFlagsSupported()) return LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return LoadSystemLibrary(L"comctl32.dll");
}
