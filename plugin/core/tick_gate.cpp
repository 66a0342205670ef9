// The gate that lets timer ticks and early ticks run the state machine one at a time.
#include "tick_gate.h"

namespace {

constexpr uint32_t Held = 1, Again = 2;

// Takes the gate, or leaves a request with its holder. One exchange decides either, so a request
// cannot slip in between the holder's last look and its release.
bool EnterOrRequest(TickGate& gate) {
  uint32_t bits = gate.Bits.load(std::memory_order_relaxed);
  while (!gate.Bits.compare_exchange_weak(bits, bits == 0 ? Held : (bits | Again), std::memory_order_acq_rel,
                                          std::memory_order_relaxed)) {
  }
  return bits == 0;
}

// Releases the gate, unless a tick was asked for meanwhile: then the caller keeps it for that tick.
bool LeaveOrRepeat(TickGate& gate) {
  uint32_t bits = gate.Bits.load(std::memory_order_relaxed);
  while (!gate.Bits.compare_exchange_weak(bits, bits == Held ? 0 : Held, std::memory_order_acq_rel,
                                          std::memory_order_relaxed)) {
  }
  return bits != Held;
}

}  // namespace

void RunTick(TickGate& gate, const std::atomic<int32_t>& open, PluginState& s, const MonitorIo& io) {
  if (!EnterOrRequest(gate)) return;
  do {
    if (open.load() != 0) PollTick(s, io);
  } while (LeaveOrRepeat(gate));
}
