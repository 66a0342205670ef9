// Where the checker's redirects lead, and which statuses are a reply.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "redirect.h"

namespace {

std::string Ascii(const std::u16string& text) { return std::string(text.begin(), text.end()); }

TEST(ClassifyStatus, OnlyA200IsAReplyAndFiveStatusesRedirect) {
  const std::pair<uint32_t, Response> cases[] = {
      {200, Response::Reply},    {301, Response::Redirect}, {302, Response::Redirect},
      {303, Response::Redirect}, {307, Response::Redirect}, {308, Response::Redirect},
      {201, Response::Nothing},  {204, Response::Nothing},  {300, Response::Nothing},
      {304, Response::Nothing},  {305, Response::Nothing},  {404, Response::Nothing},
      {500, Response::Nothing},  {0, Response::Nothing},
  };
  for (const auto& [status, response] : cases) EXPECT_EQ(ClassifyStatus(status), response) << status;
}

TEST(RedirectTarget, ResolvedAgainstTheCurrentAddressThenCheckedByTheRule) {
  const std::u16string from = u"https://site.invalid/a/b/version.php?x=1#f";
  const struct {
    std::u16string Current, Location, Target;  // no target: refused
  } cases[] = {
      {from, u"https://cdn.invalid/v.php", u"https://cdn.invalid/v.php"},
      {from, u"HTTPS://cdn.invalid", u"HTTPS://cdn.invalid"},
      {from, u"//cdn.invalid/v.php", u"https://cdn.invalid/v.php"},
      {from, u"/root.php", u"https://site.invalid/root.php"},
      {from, u"c.php", u"https://site.invalid/a/b/c.php"},
      {from, u"c/d.php?q=2#g", u"https://site.invalid/a/b/c/d.php?q=2#g"},
      {from, u"../c.php", u"https://site.invalid/a/b/../c.php"},
      {from, u"/a/./b", u"https://site.invalid/a/./b"},
      {from, u"?y=2", u"https://site.invalid/a/b/version.php?y=2"},
      {from, u"#top", u"https://site.invalid/a/b/version.php?x=1#top"},
      {u"https://site.invalid", u"v.php", u"https://site.invalid/v.php"},
      {u"https://site.invalid?q", u"v.php", u"https://site.invalid/v.php"},
      {u"http://127.0.0.1:8080/p/version.php", u"next/version.php",
       u"http://127.0.0.1:8080/p/next/version.php"},
      {u"http://127.0.0.1:8080/p", u"//localhost:9/x", u"http://localhost:9/x"},
      {u"http://127.0.0.1:8080/p", u"http://[::1]/x", u"http://[::1]/x"},
      // Off https, or to another computer over plain http: never asked.
      {from, u"http://site.invalid/version.php", u""},
      {from, u"ftp://site.invalid/version.php", u""},
      {from, u"file:///C:/setup.exe", u""},
      {u"http://127.0.0.1:8080/p", u"//evil.invalid/x", u""},
      {u"http://127.0.0.1:8080/p", u"http://127.0.0.1@evil.invalid/", u""},
      {from, u"", u""},
  };
  for (const auto& c : cases) {
    char16_t out[QueryAddressCapacity];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(RedirectTarget(c.Current, c.Location, out), !c.Target.empty()) << Ascii(c.Location);
    EXPECT_EQ(std::u16string(out), c.Target) << Ascii(c.Location);
  }
}

// A target that does not fit the address buffer is refused whole, never asked cut short: a cut
// address is another address.
TEST(RedirectTarget, ALocationThatDoesNotFitIsRefusedNeverCut) {
  const std::u16string current = u"https://site.invalid/dir/version.php";
  const std::u16string absolute = u"https://cdn.invalid/";
  const std::u16string relativeBase = u"https://site.invalid/dir/";
  const struct {
    std::u16string Prefix, Location;
  } cases[] = {
      {u"", absolute},
      {absolute.substr(0, 6), u"//cdn.invalid/"},
      {relativeBase, u""},
  };
  for (const auto& c : cases) {
    for (size_t extra : {0, 1}) {
      const size_t fill = QueryAddressCapacity - 1 - c.Prefix.size() - c.Location.size() + extra;
      const std::u16string location = c.Location + std::u16string(fill, u'p');
      char16_t out[QueryAddressCapacity];
      EXPECT_EQ(RedirectTarget(current, location, out), extra == 0) << Ascii(location);
      EXPECT_EQ(std::u16string(out), extra == 0 ? c.Prefix + location : u"");
    }
  }
}

}  // namespace
