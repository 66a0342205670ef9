// The number edits' arrow buttons: one step up or down on the text, clamped to the edit's range.
#include "timeout_text.h"

#include <cstddef>
#include <string_view>

#include "text_bounds.h"

bool StepNumberText(const char* text, uint32_t scrollCode, int32_t min, int32_t max, EditText& out) {
  if (scrollCode != 0 && scrollCode != 1) return false;
  int64_t value = text ? ParseDecimal(std::string_view(text, BoundedLength(text, EditTextCapacity - 1))) : 0;
  value += scrollCode == 0 ? 1 : -1;
  if (value < min) value = min;
  if (value > max) value = max;
  FormatDecimal(static_cast<int32_t>(value), out);
  return true;
}
