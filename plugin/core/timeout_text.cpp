// The timeout edits' arrow buttons: one step up or down on the text, clamped to the timeout range.
#include "timeout_text.h"

#include <cstddef>
#include <string_view>

#include "text_bounds.h"

namespace {

constexpr size_t MaxEditChars = 31;

}  // namespace

bool StepTimeoutText(const char* text, uint32_t scrollCode, char (&out)[32]) {
  if (scrollCode != 0 && scrollCode != 1) return false;
  int64_t value = text ? ParseDecimal(std::string_view(text, BoundedLength(text, MaxEditChars))) : 0;
  value += scrollCode == 0 ? 1 : -1;
  if (value < TimeoutMin) value = TimeoutMin;
  if (value > TimeoutMax) value = TimeoutMax;
  FormatDecimal(static_cast<int32_t>(value), out);
  return true;
}
