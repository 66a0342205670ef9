// When a check is due, around the interval's boundary and with a clock set back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "schedule.h"

namespace {

constexpr uint64_t Now = 133'000'000'000'000'000ull;  // a day in 2022
constexpr uint64_t Second = 10'000'000ull;
constexpr uint64_t Day = static_cast<uint64_t>(TicksPerDay);

// last: the INI file's time; registry: the one kept where the INI file cannot be written.
int DueWithLast(int32_t interval, uint64_t last, uint64_t now, uint64_t registry = 0) {
  return IsDueAt(interval, static_cast<int32_t>(static_cast<uint32_t>(last)),
                 static_cast<int32_t>(static_cast<uint32_t>(last >> 32)), registry, now);
}

TEST(IsDueAt, Table) {
  const uint64_t loZero = (Now - 3 * Day) & ~uint64_t{0xFFFFFFFF};                    // "lo" 0, "hi" set
  const uint64_t loTopBit = ((Now - 3 * Day) & ~uint64_t{0xFFFFFFFF}) | 0x80000000u;  // "lo" negative
  const struct {
    const char* name;
    int32_t interval;
    uint64_t last, now;
    int due;
  } cases[] = {
      {"7 days minus one second", 7, Now - 7 * Day + Second, Now, 0},
      {"exactly 7 days", 7, Now - 7 * Day, Now, 1},
      {"just checked", 1, Now, Now, 0},
      {"interval 0 with old check", 0, Now - 1000 * Day, Now, 0},
      {"interval 0 with no check", 0, 0, Now, 0},
      {"no check yet", 7, 0, Now, 1},
      {"lo 0 with hi set, 6 days", 7, loZero, loZero + 6 * Day, 0},
      {"lo 0 with hi set, 7 days", 7, loZero, loZero + 7 * Day, 1},
      {"negative lo is unsigned, 6 days", 7, loTopBit, loTopBit + 6 * Day, 0},
      {"negative lo is unsigned, 7 days", 7, loTopBit, loTopBit + 7 * Day, 1},
      {"stored time one tick ahead", 7, Now + 1, Now, 1},
      {"stored time a year ahead", 7, Now + 365 * Day, Now, 1},
      {"stored time with top bit set", 7, 0xFFFFFFFF00000000ull, Now, 1},
      {"stored time ahead, largest interval", INT32_MAX, Now + Day, Now, 1},
      // A negative interval is always met: whole days elapsed are never negative.
      {"negative interval", -1, Now, Now, 1},
      {"most negative interval", INT32_MIN, Now - Second, Now, 1},
      {"largest interval", INT32_MAX, 1, Now, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(DueWithLast(c.interval, c.last, c.now), c.due) << c.name;
}

TEST(IsDueAt, TheLaterOfTheTwoPlacesCountsUnlessItIsAhead) {
  const struct {
    const char* name;
    uint64_t ini, registry;
    int due;
  } cases[] = {
      {"registry only, a minute ago", 0, Now - 60 * Second, 0},
      {"registry only, 7 days ago", 0, Now - 7 * Day, 1},
      {"old INI time, recent registry time", Now - 30 * Day, Now - Day, 0},
      {"recent INI time, old registry time", Now - Day, Now - 30 * Day, 0},
      {"both old", Now - 8 * Day, Now - 30 * Day, 1},
      // A time written while the clock was ahead must not force a check at every start while
      // the other place holds a sound one.
      {"registry time ahead, recent INI time", Now - Day, Now + 365 * Day, 0},
      {"INI time ahead, recent registry time", Now + 365 * Day, Now - Day, 0},
      {"both ahead", Now + Day, Now + 2 * Day, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(DueWithLast(7, c.ini, Now, c.registry), c.due) << c.name;
}

TEST(LastCheck, FormatsSignedHalvesAndRoundTrips) {
  const struct {
    uint64_t time;
    const char16_t *lo, *hi;
  } cases[] = {
      {0, u"0", u"0"},
      {0x000000017FFFFFFFull, u"2147483647", u"1"},
      {0x0000000080000000ull, u"-2147483648", u"0"},
      {0x80000000FFFFFFFFull, u"-1", u"-2147483648"},
      {0xFFFFFFFFFFFFFFFEull, u"-2", u"-1"},
      {Now, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    char16_t lo[64], hi[64];
    FormatLastCheck(c.time, lo, hi);
    if (c.lo != nullptr) {
      EXPECT_EQ(std::u16string(lo), c.lo);
      EXPECT_EQ(std::u16string(hi), c.hi);
    }
    // Read back as a profile integer reader would: signed decimal into a 32-bit pattern.
    const auto read = [](std::u16string_view text) {
      return static_cast<int32_t>(std::strtol(std::string(text.begin(), text.end()).c_str(), nullptr, 10));
    };
    EXPECT_EQ(JoinLastCheck(read(lo), read(hi)), c.time);
  }
}

}  // namespace
