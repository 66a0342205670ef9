// Handing an address from the dialog to the user's browser.
#include "open_address.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string_view>

#include "system_library.h"
#include "text_bounds.h"
#include "web_address.h"
#include "wide.h"

void OpenWebAddress(const char16_t* address, size_t capacity) {
  if (!IsWebAddress(std::u16string_view(address, BoundedLength(address, capacity)))) return;
  // The shell may hand the address to a COM handler, and asks for COM on the calling thread.
  // OLE32 is loaded here, not imported: most runs open nothing and should not pay for it. It
  // stays loaded, as whatever the shell started may still use it; the program ends right after.
  decltype(&::CoInitializeEx) initialize = nullptr;
  decltype(&::CoUninitialize) uninitialize = nullptr;
  const HMODULE ole = LoadSystemLibrary(L"ole32.dll");
  HRESULT com = E_FAIL;
  if (ole != nullptr && Resolve(ole, "CoInitializeEx", initialize) &&
      Resolve(ole, "CoUninitialize", uninitialize))
    com = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ShellExecuteW(nullptr, L"open", Wide(address), nullptr, nullptr, SW_SHOWNORMAL);
  // S_OK and S_FALSE each take one CoUninitialize; a thread already in another apartment keeps it.
  if (SUCCEEDED(com)) uninitialize();
}
