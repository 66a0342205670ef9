// A millisecond count that never wraps, built from the system's 32-bit one, which wraps every
// 2^32 ms (49.7 days) while the timeouts reach 100,000 minutes (69.4 days).
#pragma once
#include <atomic>
#include <cstdint>

// The last 64-bit count handed out. The timer's thread and the player's thread both read the
// clock; one 8-byte compare-exchange updates it (cmpxchg8b on 32-bit x86), no lock.
using CarriedTicks = std::atomic<uint64_t>;
static_assert(CarriedTicks::is_always_lock_free);

// The 32-bit count read32 returns, carried into 64 bits: every wrap since the last call adds
// 2^32. A wrap is seen only when calls are less than 49.7 days apart, which the poll's reads
// (one a tick) ensure while anything is timed.
uint64_t CarryTicks(CarriedTicks& carried, uint32_t (*read32)(void* context), void* context);
