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
      {"", 0},          {"42", 42},    {"2147483647", Max},  {nines.c_str(), Max},
      {"  \t\n42", 42}, {"-17x", -17}, {"2147483648", Max},  {minusNines.c_str(), Min},
      {"+8", 8},        {"abc", 0},    {"-2147483648", Min}, {zeros12.c_str(), 12},
      {"- 5", 0},       {"12 34", 12}, {"-2147483649", Min}, {"--1", 0},
      {"007", 7}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseDecimal(text), value) << '"' << text << '"';
  EXPECT_EQ(ParseDecimal(nullptr), 0);
}

TEST(TimeoutText, FormatDecimal) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "0"}, {7, "7"}, {-5, "-5"}, {65535, "65535"}, {Max, "2147483647"}, {Min, "-2147483648"}};
  for (const auto& [value, text] : cases) {
    char out[32];
    FormatDecimal(value, out);
    EXPECT_STREQ(out, text);
  }
}

TEST(TimeoutText, ArrowSteps) {
  // The 5 after the blanks lies beyond what the edit read returns.
  const std::string nines(31, '9'), minusNines = "-" + nines, blanks = std::string(31, ' ') + "5";
  const struct {
    const char* Text;
    uint32_t Code;
    const char* Result;
  } cases[] = {
      {"65535", 0, "65535"}, {"65534", 0, "65535"},  {"0", 1, "0"},         {nines.c_str(), 0, "65535"},
      {"1", 1, "0"},         {"", 0, "1"},           {"", 1, "0"},          {minusNines.c_str(), 1, "0"},
      {"007", 0, "8"},       {"10", 1, "9"},         {"65536", 0, "65535"}, {blanks.c_str(), 0, "1"},
      {"65536", 1, "65535"}, {"100000", 1, "65535"}, {"-3", 0, "0"},        {"-3", 1, "0"},
      {"12abc", 0, "13"},    {"abc", 0, "1"}};
  for (const auto& c : cases) {
    char out[32] = "untouched";
    EXPECT_TRUE(StepNumberText(c.Text, c.Code, TimeoutMin, TimeoutMax, out)) << c.Text;
    EXPECT_STREQ(out, c.Result) << '"' << c.Text << "\" code " << c.Code;
  }
}

TEST(TimeoutText, OtherScrollCodesLeaveTheEditAlone) {
  for (const uint32_t code : {2u, 5u, 8u, 0x10000u, 0x10001u}) {
    char out[32] = "untouched";
    EXPECT_FALSE(StepNumberText("12", code, TimeoutMin, TimeoutMax, out)) << code;
    EXPECT_STREQ(out, "untouched");
  }
}

}  // namespace
