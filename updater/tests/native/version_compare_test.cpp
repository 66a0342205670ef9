// Version texts compared as the checker compares them.
#include <gtest/gtest.h>

#include <string>

#include "version_compare.h"

namespace {

TEST(CompareVersionText, Table) {
  const std::u16string big(1000, u'9');
  // Units compare unsigned: \u00e9 and \uffff sort after every letter.
  const struct {
    std::u16string local, advertised;
    int expected;
  } cases[] = {
      {u"", u"1", -1},  // local, advertised, expected
      {u"", u"x", -1},
      {u"1", u"", 1},
      {u"", u"", 0},
      {u"0", u"000", 0},
      {u"010", u"9", 1},
      {u"9", u"10", -1},
      {u"A", u"a", -1},
      {u"2", u"x", -1},
      {u"2,0", u"2, 0", 1},
      {u"\u00e9", u"z", 1},
      {u"\uffff", u"a", 1},
      {u"2, 0, 7, 62", u"2, 0, 7, 62", 0},
      {u"2, 0, 7, 62", u"2, 0, 7, 63", -1},
      {u"2, 0, 10, 0", u"2, 0, 9, 0", 1},     // numeric, not "1" before "9"
      {u"2, 0, 7, 62", u"2, 0, 7, 100", -1},  // numeric, not "6" after "1"
      {u"2, 0, 7", u"2, 0, 7, 1", -1},
      {u"2, 0, 7", u"2, 0, 70", -1},
      {u"2, 0, 007, 0", u"2, 0, 7, 0", 0},  // same value, different spelling
      {u"2, 0, 7a", u"2, 0, 7b", -1},
      {big + u"8", big + u"9", -1},
      {u"1" + std::u16string(39, u'0'), std::u16string(39, u'9'), 1},
      {std::u16string(1000, u'0') + u"3", u"2", 1},
      {u"1." + big + u".1", u"1." + big + u".2", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.local.begin(), c.local.end()).substr(0, 30) + " vs " +
                 std::string(c.advertised.begin(), c.advertised.end()).substr(0, 30));
    EXPECT_EQ(CompareVersionText(c.local, c.advertised), c.expected);
    EXPECT_EQ(CompareVersionText(c.advertised, c.local), -c.expected);
  }
}

}  // namespace
