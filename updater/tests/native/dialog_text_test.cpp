// The notification's message, filled in without a formatter.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dialog_text.h"

namespace {

TEST(FormatNotice, FirstTwoPlaceholdersTakeNameAndHomepageWithinTheCapacity) {
  const struct {
    std::u16string pattern, name, homepage;
    size_t capacity;
    std::u16string expected;
  } cases[] = {
      {u"A %s B %s C", u"Name", u"http://h", 64, u"A Name B http://h C"},
      {u"%s%s", u"Name", u"http://h", 64, u"Namehttp://h"},
      {u"%s %s %s", u"Name", u"http://h", 64, u"Name http://h %s"},
      {u"%d %s %n %x %S %s %%", u"Name", u"http://h", 64, u"%d Name %n %x %S http://h %%"},
      {u"no directives", u"Name", u"http://h", 64, u"no directives"},
      {u"trailing %", u"Name", u"http://h", 64, u"trailing %"},
      {u"%", u"Name", u"http://h", 64, u"%"},
      {u"%s %s", u"", u"", 64, u" "},
      // Arguments are text: a placeholder inside one is not filled in again.
      {u"%s %s", u"%s%s", u"%s", 64, u"%s%s %s"},
      // Cut at capacity - 1 units, inside an argument or the pattern.
      {u"A %s B %s C", u"Name", u"http://h", 6, u"A Nam"},
      {u"A %s B %s C", u"Name", u"http://h", 19, u"A Name B http://h "},
      {u"A %s B %s C", u"Name", u"http://h", 20, u"A Name B http://h C"},
      {u"%s", u"Name", u"", 1, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern.begin(), c.pattern.end()) + " capacity " + std::to_string(c.capacity));
    // Exactly capacity units: AddressSanitizer reports any write past them.
    const auto out = std::make_unique<char16_t[]>(c.capacity);
    EXPECT_EQ(FormatNotice(c.pattern, c.name, c.homepage, out.get(), c.capacity), c.expected.size());
    EXPECT_EQ(std::u16string(out.get()), c.expected);
  }
  EXPECT_EQ(FormatNotice(u"%s", u"Name", u"", nullptr, 0), 0u) << "no room, not even for the terminator";
}

}  // namespace
