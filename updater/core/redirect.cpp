// Where a redirect leads, resolved as a browser would and checked before it is asked.
#include "redirect.h"

#include <algorithm>

#include "text_bounds.h"

namespace {

// A scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
bool HasScheme(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i], lower = static_cast<char16_t>(c | 0x20);
    if (c == u':') return i > 0;
    const bool letter = lower >= u'a' && lower <= u'z';
    const bool digitOrSign = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
    if (!letter && (i == 0 || !digitOrSign)) return false;
  }
  return false;
}

}  // namespace

Response ClassifyStatus(uint32_t status) {
  switch (status) {
    case 200: return Response::Reply;
    case 301:
    case 302:
    case 303:
    case 307:
    case 308: return Response::Redirect;
    default: return Response::Nothing;
  }
}

// The target is the part of current that location keeps, a "/" where current has no path and
// location is relative to it, then location. Dot segments stay for the server to resolve; the
// rule looks at the scheme and the host only.
bool RedirectTarget(std::u16string_view current, std::u16string_view location,
                    char16_t (&out)[QueryAddressCapacity]) {
  out[0] = u'\0';
  // current passed the rule, so it is "scheme://authority" and then the path, query, fragment.
  const size_t schemeEnd = current.find(u':');
  if (location.empty() || schemeEnd == std::u16string_view::npos) return false;
  const size_t authorityEnd = std::min(current.find_first_of(u"/?#", schemeEnd + 3), current.size());
  const size_t pathEnd = std::min(current.find_first_of(u"?#", authorityEnd), current.size());
  size_t keep = authorityEnd;  // a path from the root
  std::u16string_view slash;
  if (HasScheme(location)) {
    keep = 0;
  } else if (location.size() > 1 && location[0] == u'/' && location[1] == u'/') {
    keep = schemeEnd + 1;
  } else if (location[0] == u'?') {
    keep = pathEnd;
  } else if (location[0] == u'#') {
    keep = std::min(current.find(u'#'), current.size());
  } else if (location[0] != u'/') {
    // Beside the last "/" of current's path; "/" itself when it has none.
    const size_t last = current.rfind(u'/', pathEnd - 1);
    if (last >= authorityEnd && last != std::u16string_view::npos)
      keep = last + 1;
    else
      slash = u"/";
  }
  if (keep + slash.size() + location.size() >= QueryAddressCapacity) return false;
  size_t length = BoundedCopy(out, QueryAddressCapacity, current.data(), keep);
  length += BoundedCopy(out + length, QueryAddressCapacity - length, slash.data(), slash.size());
  length += BoundedCopy(out + length, QueryAddressCapacity - length, location.data(), location.size());
  if (IsHttpsOrLoopback(std::u16string_view(out, length))) return true;
  out[0] = u'\0';
  return false;
}
