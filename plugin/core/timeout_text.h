// The dialog's number edits: reading their text, the range the timeouts' arrows keep to, one arrow step.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "decimal_text.h"

// Minutes, as the arrows step through them; typed text may hold any number.
inline constexpr int32_t TimeoutMin = 0, TimeoutMax = 65535;

// The dialog reads an edit into this many characters, the terminator included, and writes a
// number's text from one of this size.
inline constexpr size_t EditTextCapacity = 32;
using EditText = char[EditTextCapacity];

// ParseDecimal of a terminated text; null reads as 0, as an empty text does.
inline int32_t ParseDecimal(const char* text) { return text ? ParseDecimal(std::string_view(text)) : 0; }
// One arrow click on a number edit: scrollCode 0 (SB_LINEUP) adds 1, 1 (SB_LINEDOWN) subtracts 1,
// the result clamped to min..max and written to out. Any other code returns false and leaves out
// alone. Only the characters the dialog reads (EditTextCapacity - 1) count.
bool StepNumberText(const char* text, uint32_t scrollCode, int32_t min, int32_t max, EditText& out);
