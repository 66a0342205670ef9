// The 64-bit clock built from a 32-bit count: its wraps carried. (That the poll's ticks read it
// often enough through a long lock: presence_wine's lock across the count's wraps.)
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tick_clock.h"

namespace {

constexpr uint64_t Wrap = uint64_t{1} << 32;
constexpr uint64_t Day = 24 * 3600 * 1000ull;

// The system's count as a 32-bit clock shows it: the true time, cut to its low 32 bits.
uint32_t Low32(void* truth) { return static_cast<uint32_t>(*static_cast<uint64_t*>(truth)); }

TEST(TickClock, CarriesEveryWrap) {
  const struct {
    const char* What;
    std::vector<uint64_t> Times;  // true times of successive reads, from a clock read first at 0
  } cases[] = {
      {"no wrap", {0, 1, 1, 5 * Day}},
      {"one wrap", {Wrap - 16, Wrap - 1, Wrap, Wrap + 15}},
      {"just under a wrap between reads", {7, Wrap + 6, 2 * Wrap + 5}},
      {"several wraps", {40 * Day, 80 * Day, 120 * Day, 160 * Day, 200 * Day}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    CarriedTicks carried{0};
    for (uint64_t truth : c.Times) EXPECT_EQ(CarryTicks(carried, Low32, &truth), truth);
  }
}

}  // namespace
