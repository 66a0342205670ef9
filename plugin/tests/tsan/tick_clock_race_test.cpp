// The timer's thread and the player's thread reading the carried clock at once, across a wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "tick_clock.h"

namespace {

// The system's count: every read moves it on by 1 ms, from just before its wrap.
constexpr uint64_t Start = (uint64_t{1} << 32) - 50000;
std::atomic<uint64_t> Truth{Start};
uint32_t NextCount(void*) { return static_cast<uint32_t>(Truth.fetch_add(1) + 1); }

TEST(TickClockRace, TwoReadersSeeOneCountThatNeverGoesBack) {
  constexpr int Reads = 100000;
  CarriedTicks carried{Start};
  std::vector<uint64_t> seen[2];
  auto reader = [&](std::vector<uint64_t>& out) {
    for (int i = 0; i < Reads; ++i) out.push_back(CarryTicks(carried, NextCount, nullptr));
  };
  std::thread timer(reader, std::ref(seen[0]));
  reader(seen[1]);
  timer.join();
  for (const auto& values : seen) {
    // Each read moved the count on, so no reader sees a value twice or an earlier one later.
    for (size_t i = 1; i < values.size(); ++i) ASSERT_LT(values[i - 1], values[i]) << "read " << i;
  }
  // The last reading of all was carried in full: nothing lost, nothing added at the wrap.
  EXPECT_EQ(std::max(seen[0].back(), seen[1].back()), Truth.load());
  EXPECT_GT(Truth.load(), uint64_t{1} << 32);
}

}  // namespace
