// Where a redirect leads, resolved as a browser would and checked before it is asked.
#include "redirect.h"

#include <algorithm>

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// A scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
bool HasScheme(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u':') return i > 0;
    const bool digitOrSign = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
    if (!IsAsciiLetter(c) && (i == 0 || !digitOrSign)) return false;
  }
  return false;
}

// Appends to a fixed buffer; once something did not fit, Fits stays false.
struct Text {
  char16_t* Out;
  size_t Capacity, Length = 0;
  bool Fits = true;
  void Add(std::u16string_view part) {
    if (Length + part.size() >= Capacity) Fits = false;
    for (size_t i = 0; Fits && i < part.size(); ++i) Out[Length++] = part[i];
    Out[Length] = u'\0';
  }
  // Drops the last "/segment" down to from.
  void DropSegment(size_t from) {
    while (Length > from && Out[--Length] != u'/') {
    }
    Out[Length] = u'\0';
  }
};

// Appends path with its "." and ".." segments removed; ".." never climbs above the path's start.
void AddPath(Text& text, std::u16string_view path) {
  const size_t root = text.Length;
  while (!path.empty()) {
    if (path.starts_with(u"../")) {
      path.remove_prefix(3);
    } else if (path.starts_with(u"./")) {
      path.remove_prefix(2);
    } else if (path.starts_with(u"/./")) {
      path.remove_prefix(2);
    } else if (path == u"/.") {
      path = u"/";
    } else if (path.starts_with(u"/../") || path == u"/..") {
      path = path.size() == 3 ? u"/" : Part(path, 3, path.size());
      text.DropSegment(root);
    } else if (path == u"." || path == u"..") {
      path = {};
    } else {
      const size_t end = std::min(path.find(u'/', 1), path.size());
      text.Add(Part(path, 0, end));
      path.remove_prefix(end);
    }
  }
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

bool RedirectTarget(std::u16string_view current, std::u16string_view location,
                    char16_t (&out)[QueryAddressCapacity]) {
  Text text{out, QueryAddressCapacity};
  out[0] = u'\0';
  // current passed the rule, so it is "scheme://authority" and then the path, query, fragment.
  const size_t schemeEnd = current.find(u':');
  const size_t authorityEnd = std::min(current.find_first_of(u"/?#", schemeEnd + 3), current.size());
  const size_t pathEnd = std::min(current.find_first_of(u"?#", authorityEnd), current.size());
  if (location.empty() || schemeEnd == std::u16string_view::npos) return false;
  if (HasScheme(location)) {
    text.Add(location);
  } else if (location.starts_with(u"//")) {
    text.Add(Part(current, 0, schemeEnd + 1));
    text.Add(location);
  } else if (location[0] == u'?' || location[0] == u'#') {
    text.Add(Part(current, 0, location[0] == u'?' ? pathEnd : std::min(current.find(u'#'), current.size())));
    text.Add(location);
  } else {
    // A path: from the root, or beside the last "/" of current's path.
    const size_t locationPathEnd = std::min(location.find_first_of(u"?#"), location.size());
    char16_t merged[QueryAddressCapacity];
    Text path{merged, QueryAddressCapacity};
    if (location[0] != u'/') {
      const std::u16string_view folder = Part(current, authorityEnd, pathEnd);
      const size_t slash = folder.rfind(u'/');
      path.Add(slash == std::u16string_view::npos ? u"/" : Part(folder, 0, slash + 1));
    }
    path.Add(Part(location, 0, locationPathEnd));
    text.Add(Part(current, 0, authorityEnd));
    if (path.Fits) AddPath(text, std::u16string_view(merged, path.Length));
    text.Fits = text.Fits && path.Fits;
    text.Add(Part(location, locationPathEnd, location.size()));
  }
  if (text.Fits && IsHttpsOrLoopback(std::u16string_view(out, text.Length))) return true;
  out[0] = u'\0';
  return false;
}
