// Which web addresses the checker asks and opens: https, or http to this computer only.
#include "web_address.h"

#include <algorithm>
#include <cstdint>

#include "decimal_text.h"
#include "text_bounds.h"

namespace {

char16_t LowerAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (LowerAscii(text[i]) != prefix[i]) return false;
  return true;
}

bool IsOneOf(char16_t c, std::u16string_view set) { return set.find(c) != std::u16string_view::npos; }

bool IsLetterOrDigit(char16_t c) { return IsDigit(c) || (LowerAscii(c) >= u'a' && LowerAscii(c) <= u'z'); }

bool IsHexDigit(char16_t c) { return IsDigit(c) || (LowerAscii(c) >= u'a' && LowerAscii(c) <= u'f'); }

// Every unit of text is a letter, a digit, one of extra, or "%" with two hexadecimal digits.
bool IsMadeOf(std::u16string_view text, std::u16string_view extra) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'%') {
      if (i + 2 >= text.size() || !IsHexDigit(text[i + 1]) || !IsHexDigit(text[i + 2])) return false;
      i += 2;
    } else if (!IsLetterOrDigit(text[i]) && !IsOneOf(text[i], extra)) {
      return false;
    }
  }
  return true;
}

// Besides letters, digits and escapes: what a host name, the user information, and the path,
// query and fragment may hold.
constexpr std::u16string_view NameUnits = u"-._~!$&'()*+,;=", UserUnits = u"-._~!$&'()*+,;=:",
                              PathUnits = u"-._~!$&'()*+,;=:@/?";

// One to five digits, at most 65535.
bool IsPort(std::u16string_view port) {
  if (port.empty() || port.size() > 5) return false;
  uint32_t value = 0;
  for (char16_t c : port) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - u'0');
  }
  return value <= 65535;
}

// What may follow a host: nothing, or ":" and a port.
bool IsPortOrNothing(std::u16string_view rest) {
  return rest.empty() || (rest[0] == u':' && IsPort(Part(rest, 1, rest.size())));
}

// [user-info "@"] host [":" port]; the host is a name or a bracketed IPv6 literal, never empty.
bool IsAuthority(std::u16string_view text) {
  const size_t at = text.rfind(u'@');
  if (at != std::u16string_view::npos) {
    if (!IsMadeOf(Part(text, 0, at), UserUnits)) return false;
    text.remove_prefix(at + 1);
  }
  size_t hostEnd = 0;
  if (!text.empty() && text[0] == u'[') {
    hostEnd = text.find(u']');
    if (hostEnd == std::u16string_view::npos || hostEnd == 1) return false;
    for (char16_t c : Part(text, 1, hostEnd))
      if (!IsHexDigit(c) && c != u':' && c != u'.') return false;
    ++hostEnd;
  } else {
    hostEnd = std::min(text.find(u':'), text.size());
    if (hostEnd == 0 || !IsMadeOf(Part(text, 0, hostEnd), NameUnits)) return false;
  }
  return IsPortOrNothing(Part(text, hostEnd, text.size()));
}

// 127.0.0.0/8 in dotted decimal, four parts of 0 to 255 without leading zeros: resolvers read
// "0127" as octal, "0x7f" as hexadecimal and "127.1" as another form of an address.
bool IsLoopbackIpv4(std::u16string_view host) {
  uint32_t parts = 0, value = 0, digits = 0;
  for (size_t i = 0; i <= host.size(); ++i) {
    if (i == host.size() || host[i] == u'.') {
      if (digits == 0 || value > 255 || (parts == 0 && value != 127)) return false;
      ++parts;
      value = digits = 0;
    } else if (!IsDigit(host[i]) || (digits == 1 && value == 0)) {
      return false;
    } else {
      value = value * 10 + (host[i] - u'0');
      if (++digits > 3) return false;
    }
  }
  return parts == 4;
}

// A host of this computer, with a port if any, and nothing else: no user information, no
// trailing dot, no escapes, so that no reader of the address can take another host from it.
bool IsLoopbackAuthority(std::u16string_view text) {
  constexpr std::u16string_view Ipv6Loopback = u"[::1]", LocalHost = u"localhost";
  size_t hostEnd = Ipv6Loopback.size();
  bool loopback = StartsWithNoCase(text, Ipv6Loopback);
  if (!loopback) {
    hostEnd = std::min(text.find(u':'), text.size());
    const std::u16string_view host = Part(text, 0, hostEnd);
    loopback = IsLoopbackIpv4(host) || (host.size() == LocalHost.size() && StartsWithNoCase(host, LocalHost));
  }
  return loopback && IsPortOrNothing(Part(text, hostEnd, text.size()));
}

constexpr std::u16string_view Https = u"https://", Http = u"http://";

}  // namespace

bool IsHttpsOrLoopback(std::u16string_view address) {
  if (StartsWithNoCase(address, Https)) return true;
  if (!StartsWithNoCase(address, Http)) return false;
  address.remove_prefix(Http.size());
  return IsLoopbackAuthority(Part(address, 0, std::min(address.find_first_of(u"/?#"), address.size())));
}

bool IsWebAddress(std::u16string_view text) {
  if (!IsHttpsOrLoopback(text)) return false;
  text.remove_prefix(StartsWithNoCase(text, Https) ? Https.size() : Http.size());
  const size_t authorityEnd = std::min(text.find_first_of(u"/?#"), text.size());
  // Path and query, then at most one "#" and the fragment.
  const size_t hash = std::min(text.find(u'#', authorityEnd), text.size());
  return IsAuthority(Part(text, 0, authorityEnd)) && IsMadeOf(Part(text, authorityEnd, hash), PathUnits) &&
         (hash == text.size() || IsMadeOf(Part(text, hash + 1, text.size()), PathUnits));
}

bool BuildQueryAddress(std::u16string_view homepage, char16_t (&out)[QueryAddressCapacity]) {
  constexpr std::u16string_view Suffix = u"/version.php";
  out[0] = u'\0';
  if (!IsHttpsOrLoopback(homepage) || homepage.size() + Suffix.size() >= QueryAddressCapacity) return false;
  const size_t at = BoundedCopy(out, QueryAddressCapacity, homepage.data(), homepage.size());
  BoundedCopy(out + at, QueryAddressCapacity - at, Suffix.data(), Suffix.size());
  return true;
}
