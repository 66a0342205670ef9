#include "tick_clock.h"

uint64_t CarryTicks(CarriedTicks& carried, uint32_t (*read32)(void*), void* context) {
  uint64_t last = carried.load(std::memory_order_acquire);
  for (;;) {
    // Read after the last count was loaded, so never earlier than the reading it came from:
    // the 32-bit difference is the time since then, across a wrap too.
    const uint32_t elapsed = read32(context) - static_cast<uint32_t>(last);
    const uint64_t now = last + elapsed;
    // Another thread may have carried it further meanwhile: then read again after its count.
    if (elapsed == 0 || carried.compare_exchange_weak(last, now, std::memory_order_acq_rel, std::memory_order_acquire))
      return now;
  }
}
