// Texts of the notification dialog that need no window: the message and which addresses open.
#pragma once
#include <cstddef>
#include <string_view>

// True when text begins with "http://" or "https://", letters in any case. The download
// address comes from an unauthenticated reply; anything else (a program path, "file:", a
// scheme with a handler of its own) is never handed to the shell.
bool IsWebAddress(std::u16string_view text);

// Writes the message template with its first two "%s" replaced by name and homepage, in that
// order; every other character, "%" included, is copied as it stands. Writes at most
// capacity - 1 units plus the terminator (capacity > 0) and returns the units written.
size_t FormatNotice(std::u16string_view pattern, std::u16string_view name, std::u16string_view homepage,
                    char16_t* out, size_t capacity);
