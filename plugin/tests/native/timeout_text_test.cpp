// Decimal text and the timeout arrows, at the int32 limits and past them.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "timeout_text.h"

namespace {

constexpr int32_t Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Min = std::numeric_limits<int32_t>::min();

TEST(TimeoutText, ParseDecimalLikeAtoiButSaturating) {
  const struct {
    const char* Text;
    int32_t Value;
  } cases[] = {{"", 0},
               {"42", 42},
               {"  \t\n42", 42},
               {"-17x", -17},
               {"+8", 8},
               {"abc", 0},
               {"- 5", 0},
               {"12 34", 12},
               {"007", 7},
               {"--1", 0},
               {"2147483647", Max},
               {"2147483648", Max},
               {"-2147483648", Min},
               {"-2147483649", Min},
               {"99999999999999999999999999999999999999", Max},
               {"-99999999999999999999999999999999999999", Min},
               {"000000000000000000000000000000000000012", 12}};
  for (const auto& c : cases) EXPECT_EQ(ParseDecimal(c.Text), c.Value) << '"' << c.Text << '"';
  EXPECT_EQ(ParseDecimal(nullptr), 0);
}

TEST(TimeoutText, FormatDecimal) {
  const struct {
    int32_t Value;
    const char* Text;
  } cases[] = {{0, "0"}, {7, "7"}, {-5, "-5"}, {65535, "65535"}, {Max, "2147483647"}, {Min, "-2147483648"}};
  for (const auto& c : cases) {
    char out[32];
    FormatDecimal(c.Value, out);
    EXPECT_STREQ(out, c.Text);
  }
}

TEST(TimeoutText, ArrowSteps) {
  const std::string longBlanks = std::string(31, ' ') + "5";  // the 5 lies beyond what the edit read returns
  const struct {
    const char* Text;
    uint32_t Code;
    const char* Result;
  } cases[] = {{"65535", 0, "65535"},
               {"65534", 0, "65535"},
               {"0", 1, "0"},
               {"1", 1, "0"},
               {"", 0, "1"},
               {"", 1, "0"},
               {"007", 0, "8"},
               {"10", 1, "9"},
               {"65536", 0, "65535"},
               {"65536", 1, "65535"},
               {"100000", 1, "65535"},
               {"-3", 0, "0"},
               {"-3", 1, "0"},
               {"12abc", 0, "13"},
               {"abc", 0, "1"},
               {"9999999999999999999999999999999", 0, "65535"},
               {"-9999999999999999999999999999999", 1, "0"},
               {longBlanks.c_str(), 0, "1"}};
  for (const auto& c : cases) {
    char out[32] = "untouched";
    EXPECT_TRUE(StepTimeoutText(c.Text, c.Code, out)) << c.Text;
    EXPECT_STREQ(out, c.Result) << '"' << c.Text << "\" code " << c.Code;
  }
}

TEST(TimeoutText, OtherScrollCodesLeaveTheEditAlone) {
  for (const uint32_t code : {2u, 5u, 8u, 0x10000u, 0x10001u}) {
    char out[32] = "untouched";
    EXPECT_FALSE(StepTimeoutText("12", code, out)) << code;
    EXPECT_STREQ(out, "untouched");
  }
}

}  // namespace
