// The dialog's two timeout edits: reading their text, the range their arrows keep to, one arrow step.
#pragma once
#include <cstdint>
#include <string_view>

#include "decimal_text.h"

// Minutes, as the arrows step through them; typed text may hold any number.
inline constexpr int32_t TimeoutMin = 0, TimeoutMax = 65535;

// ParseDecimal of a terminated text; null reads as 0, as an empty text does.
inline int32_t ParseDecimal(const char* text) { return text ? ParseDecimal(std::string_view(text)) : 0; }
// One arrow click on a timeout edit: scrollCode 0 (SB_LINEUP) adds 1, 1 (SB_LINEDOWN) subtracts 1,
// the result clamped to TimeoutMin..TimeoutMax and written to out. Any other code returns false and leaves
// out alone. Only the first 31 characters of text count, as the dialog reads at most that many.
bool StepTimeoutText(const char* text, uint32_t scrollCode, char (&out)[32]);
