// Texts of the notification dialog that need no window: the message and which addresses open.
#pragma once
#include <cstddef>
#include <string_view>

// True for an "https://" address, and for an "http://" one (scheme in any case) whose host is this
// computer: 127.0.0.0/8 in dotted decimal, "localhost" or "[::1]", with a port if any and no user
// information. Plain http to another host is refused: anyone on the way could swap what it sends.
// Only the scheme and the host are examined.
bool IsHttpsOrLoopback(std::u16string_view address);

// True when the whole text is a well-formed absolute address that IsHttpsOrLoopback accepts:
// a non-empty host, a port of digits if any, and only the characters an address may hold,
// every "%" starting an escape of two hexadecimal digits. Blanks, quotes, controls,
// backslashes, <>^`{|} and anything outside printable ASCII refuse it. The download address
// comes from an unauthenticated reply and the shell puts it into a browser's command line, so
// nothing else (a program path, "file:", a second argument after a quote) is handed over.
bool IsWebAddress(std::u16string_view text);

// Writes the message template with its first two "%s" replaced by name and homepage, in that
// order; every other character, "%" included, is copied as it stands. Writes at most
// capacity - 1 units plus the terminator (capacity > 0) and returns the units written.
size_t FormatNotice(std::u16string_view pattern, std::u16string_view name, std::u16string_view homepage,
                    char16_t* out, size_t capacity);
