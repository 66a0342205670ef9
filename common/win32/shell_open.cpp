#include "shell_open.h"

#include <objbase.h>
#include <shellapi.h>

#include "resolve.h"
#include "system_library.h"

bool ShellOpen(const wchar_t* file, const wchar_t* parameters, int show) {
  // The shell may hand the start to a COM handler or a shell extension, and asks for COM on the
  // calling thread. OLE32 is loaded here, not imported: most runs open nothing and should not
  // pay for its load. It stays loaded, as whatever the shell started may still use it.
  decltype(&::CoInitializeEx) initialize = nullptr;
  decltype(&::CoUninitialize) uninitialize = nullptr;
  const HMODULE ole = LoadSystemLibrary(L"ole32.dll");
  HRESULT com = E_FAIL;
  if (Resolve(ole, "CoInitializeEx", initialize) && Resolve(ole, "CoUninitialize", uninitialize))
    com = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file, parameters, nullptr, show));
  // S_OK and S_FALSE each take one CoUninitialize; a thread already in another apartment keeps it.
  if (SUCCEEDED(com)) uninitialize();
  return result > 32;
}
