// The notification's message: the dialog's template with the product's name and homepage.
#pragma once
#include <cstddef>
#include <string_view>

// Writes the message template with its first two "%s" replaced by name and homepage, in that
// order; every other character, "%" included, is copied as it stands. Writes at most
// capacity - 1 units plus the terminator (capacity > 0) and returns the units written.
size_t FormatNotice(std::u16string_view pattern, std::u16string_view name, std::u16string_view homepage,
                    char16_t* out, size_t capacity);
