// When a scheduled update check is due, and how its time is stored as two signed 32-bit halves.
#pragma once
#include <cstdint>

inline constexpr int64_t TicksPerDay = 864000000000LL;  // 100-nanosecond intervals in 24 hours

// interval: whole days between checks (0 turns scheduled checks off); lo/hi: the INI file's time
// of the last check (both 0: none yet); registryTime: the time kept for the user where the INI
// file could not be written (0: none); now: current UTC time in 100-nanosecond intervals since
// 1601. The last check is LastCheckOf the two. Returns whether a check is due.
bool IsDueAt(int32_t interval, int32_t lo, int32_t hi, uint64_t registryTime, uint64_t now);

// The later of the two stored times (0: none), except that a time ahead of now, written while the
// clock was wrong, gives way to one that is not: the place that holds it may never be written
// again (a read-only INI file, or the registry once the INI file can be written), and it would
// make every start check.
uint64_t LastCheckOf(uint64_t iniTime, uint64_t registryTime, uint64_t now);

// Signed decimal ("%i") of each 32-bit half of now.
void FormatLastCheck(uint64_t now, char16_t (&lo)[64], char16_t (&hi)[64]);

// The 64-bit time hi:lo, lo taken as unsigned.
uint64_t JoinLastCheck(int32_t lo, int32_t hi);
