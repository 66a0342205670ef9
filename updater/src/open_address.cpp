// Handing an address from the dialog to the user's browser.
#include "open_address.h"

#include <string_view>

#include "shell_open.h"
#include "text_bounds.h"
#include "web_address.h"
#include "wide.h"

void OpenWebAddress(const char16_t* address, size_t capacity) {
  if (!IsWebAddress(std::u16string_view(address, BoundedLength(address, capacity)))) return;
  ShellOpen(Wide(address), nullptr, SW_SHOWNORMAL);
}
