// Version texts as found in version resources ("2, 0, 7, 62").
#pragma once
#include <string_view>

// -1 when local is older than advertised, 0 when equal, 1 when newer.
// Runs of decimal digits compare by numeric value (any length, leading zeros ignored), every
// other unit by its unsigned 16-bit value; a text that is the beginning of the other is older.
// Digit runs of equal value but different spelling ("007", "7") count as equal.
int CompareVersionText(std::u16string_view local, std::u16string_view advertised);
