// The timeout edits' arrow buttons: one step up or down on the text, clamped to 0..65535.
#include "timeout_text.h"

#include <cstddef>
#include <string_view>

#include "text_bounds.h"

namespace {

constexpr size_t MaxEditChars = 31;
constexpr int64_t MaxTimeout = 65535;

}  // namespace

bool StepTimeoutText(const char* text, uint32_t scrollCode, char (&out)[32]) {
  if (scrollCode != 0 && scrollCode != 1) return false;
  int64_t value = text ? ParseDecimal(std::string_view(text, BoundedLength(text, MaxEditChars))) : 0;
  value += scrollCode == 0 ? 1 : -1;
  if (value < 0) value = 0;
  if (value > MaxTimeout) value = MaxTimeout;
  FormatDecimal(static_cast<int32_t>(value), out);
  return true;
}
