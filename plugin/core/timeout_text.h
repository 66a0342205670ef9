#pragma once
#include <cstdint>

// atoi semantics (leading blanks, sign, digits, stop at the first non-digit, empty or null -> 0),
// saturating at the int32 limits where atoi would be undefined.
int32_t ParseDecimal(const char* text);
// "%d" into a buffer that always has room for any int32 and its terminator.
void FormatDecimal(int32_t value, char (&out)[32]);
// One arrow click on a timeout edit: scrollCode 0 (SB_LINEUP) adds 1, 1 (SB_LINEDOWN) subtracts 1,
// the result clamped to 0..65535 and written to out. Any other code returns false and leaves out alone.
// Only the first 31 characters of text count, as the dialog reads at most that many.
bool StepTimeoutText(const char* text, uint32_t scrollCode, char (&out)[32]);
