// Whether a scheduled check is due, and the stored time's two signed halves.
#include "schedule.h"

#include "decimal_text.h"

uint64_t JoinLastCheck(int32_t lo, int32_t hi) {
  return (uint64_t{static_cast<uint32_t>(hi)} << 32) | static_cast<uint32_t>(lo);
}

void FormatLastCheck(uint64_t now, char16_t (&lo)[64], char16_t (&hi)[64]) {
  FormatDecimal(static_cast<int32_t>(static_cast<uint32_t>(now)), lo);
  FormatDecimal(static_cast<int32_t>(static_cast<uint32_t>(now >> 32)), hi);
}

uint64_t LastCheckOf(uint64_t iniTime, uint64_t registryTime, uint64_t now) {
  const bool iniAhead = iniTime > now, registryAhead = registryTime > now;
  if (iniAhead != registryAhead) return iniAhead ? registryTime : iniTime;
  return iniTime > registryTime ? iniTime : registryTime;
}

bool IsDueAt(int32_t interval, int32_t lo, int32_t hi, uint64_t registryTime, uint64_t now) {
  if (interval == 0) return false;
  const uint64_t last = LastCheckOf(JoinLastCheck(lo, hi), registryTime, now);
  if (last == 0) return true;
  // A stored time in the future means the clock was wrong when it was written; waiting for the
  // clock to catch up could silence checks for years, so check now and store a sane time.
  if (last > now) return true;
  const int64_t days = static_cast<int64_t>((now - last) / TicksPerDay);
  return days >= interval;
}
