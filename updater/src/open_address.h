// Handing an address from the dialog to the user's browser.
#pragma once
#include <cstddef>

// Opens address (at most capacity units, terminated within them) with the user's default handler
// when IsWebAddress accepts it; anything else is dropped.
void OpenWebAddress(const char16_t* address, size_t capacity);
