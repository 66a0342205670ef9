// Handing an address from the dialog to the user's browser.
#include "open_address.h"

#include <windows.h>
#include <shellapi.h>

#include <string_view>

#include "dialog_text.h"
#include "text_bounds.h"
#include "wide.h"

void OpenWebAddress(const char16_t* address, size_t capacity) {
  if (IsWebAddress(std::u16string_view(address, BoundedLength(address, capacity))))
    ShellExecuteW(nullptr, L"open", Wide(address), nullptr, nullptr, SW_SHOWNORMAL);
}
