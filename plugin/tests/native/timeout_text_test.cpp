// Decimal text and the timeout arrows, at the int32 limits and past them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "timeout_text.h"

namespace {

constexpr int32_t Max = INT32_MAX, Min = INT32_MIN;

TEST(TimeoutText, ParseDecimalLikeAtoiButSaturating) {
  const std::string nines(38, '9'), minusNines = "-" + nines, zeros12 = std::string(37, '0') + "12";
  const std::pair<const char*, int32_t> cases[] = {
      {"", 0},  // text, value
      {"42", 42},
      {"2147483647", Max},
      {nines.c_str(), Max},
      {"  \t\n42", 42},
      {"-17x", -17},
      {"2147483648", Max},
      {minusNines.c_str(), Min},
      {"+8", 8},
      {"abc", 0},
      {"-2147483648", Min},
      {zeros12.c_str(), 12},
      {"- 5", 0},
      {"12 34", 12},
      {"-2147483649", Min},
      {"--1", 0},
      {"007", 7},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseDecimal(text), value) << '"' << text << '"';
  EXPECT_EQ(ParseDecimal(nullptr), 0);
}

TEST(TimeoutText, FormatDecimal) {
  const auto format = [](int32_t value) {
    EditText out;
    FormatDecimal(value, out);
    return std::string(out);
  };
  EXPECT_EQ(format(0), "0");
  EXPECT_EQ(format(7), "7");
  EXPECT_EQ(format(-5), "-5");
  EXPECT_EQ(format(65535), "65535");
  EXPECT_EQ(format(Max), "2147483647");
  EXPECT_EQ(format(Min), "-2147483648");
}

TEST(TimeoutText, ArrowSteps) {
  // The 5 after the blanks lies beyond what the edit read returns.
  const std::string nines(31, '9'), minusNines = "-" + nines, blanks = std::string(31, ' ') + "5";
  const struct {
    const char* Text;
    uint32_t Code;
    const char* Result;
  } cases[] = {
      {"65535", 0, "65535"},  // text, arrow (0 up, 1 down), result
      {"65534", 0, "65535"},
      {"0", 1, "0"},
      {nines.c_str(), 0, "65535"},
      {"1", 1, "0"},
      {"", 0, "1"},
      {"", 1, "0"},
      {minusNines.c_str(), 1, "0"},
      {"007", 0, "8"},
      {"10", 1, "9"},
      {"65536", 0, "65535"},
      {blanks.c_str(), 0, "1"},
      {"65536", 1, "65535"},
      {"100000", 1, "65535"},
      {"-3", 0, "0"},
      {"-3", 1, "0"},
      {"12abc", 0, "13"},
      {"abc", 0, "1"},
  };
  for (const auto& c : cases) {
    EditText out = "untouched";
    EXPECT_TRUE(StepNumberText(c.Text, c.Code, TimeoutMin, TimeoutMax, out)) << c.Text;
    EXPECT_STREQ(out, c.Result) << '"' << c.Text << "\" code " << c.Code;
  }
  // Another range, as a number other than a timeout may have.
  const std::pair<const char*, const char*> downs[] = {
      {"11", "10"},  // before, after the lower arrow in 0..10
      {"0", "0"},
      {"65535", "10"},
      {"5", "4"},
  };
  for (const auto& [before, after] : downs) {
    EditText out;
    EXPECT_TRUE(StepNumberText(before, 1, 0, 10, out));
    EXPECT_STREQ(out, after) << before;
  }
}

TEST(TimeoutText, OtherScrollCodesLeaveTheEditAlone) {
  for (const uint32_t code : {2u, 5u, 8u, 0x10000u, 0x10001u}) {
    EditText out = "untouched";
    EXPECT_FALSE(StepNumberText("12", code, TimeoutMin, TimeoutMax, out)) << code;
    EXPECT_STREQ(out, "untouched");
  }
}

}  // namespace
