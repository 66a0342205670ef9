// One tick at a time, without ever waiting: the timer's ticks and the early ticks that
// session notifications ask for.
#pragma once
#include <atomic>
#include <cstdint>

#include "monitor.h"
#include "plugin_state.h"

// Lets the timer's ticks and the early ticks asked for by session notifications run the state
// machine one at a time. Nobody ever waits for the gate: a tick asked for while another runs is
// left to that one, which runs once more when it is done. The timer's tick may be waiting in
// SendMessageA for the host's thread, which is the thread that asks for early ticks, so a wait
// for the gate there could deadlock; a plain skip could lose a lock the running tick probed too
// early to see.
struct TickGate {
  std::atomic<uint32_t> Bits;  // 1: a tick holds the gate; 2: another was asked for meanwhile
};

// Runs PollTick now, or has the tick already running run it once more. `open` is read before
// every tick: once it is clear, nothing more runs, neither here nor for a request left behind.
void RunTick(TickGate& gate, const std::atomic<int32_t>& open, PluginState& s, const MonitorIo& io);
