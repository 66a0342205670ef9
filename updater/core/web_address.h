// Which web addresses the checker asks for its version reply and hands to the browser.
#pragma once
#include <cstddef>
#include <string_view>

inline constexpr size_t QueryAddressCapacity = 260;

// Units [from, to) of text, to <= size. (substr would link libstdc++'s exception code in.)
inline std::u16string_view Part(std::u16string_view text, size_t from, size_t to) {
  return std::u16string_view(text.data() + from, to - from);
}

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

// homepage + "/version.php"; false (and empty out) when homepage is longer than 247 characters
// (no query rather than a query to a cut address), or is neither https nor http to this computer
// (IsHttpsOrLoopback): a reply from anyone on the way decides what the user is offered to install.
bool BuildQueryAddress(std::u16string_view homepage, char16_t (&out)[QueryAddressCapacity]);
