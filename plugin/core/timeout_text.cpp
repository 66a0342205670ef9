#include "timeout_text.h"

#include <cstddef>
#include <limits>
#include <string_view>

namespace {

constexpr size_t MaxEditChars = 31;
constexpr int64_t MaxTimeout = 65535;

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int32_t ParseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate in 64 bits and stop growing once past the int32 range, so any length is safe.
  constexpr int64_t Limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > Limit) magnitude = Limit;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);  // -Limit is exactly the int32 minimum
}

}  // namespace

int32_t ParseDecimal(const char* text) {
  return text ? ParseDecimal(std::string_view(text)) : 0;
}

void FormatDecimal(int32_t value, char (&out)[32]) {
  // Unsigned magnitude: negating the int32 minimum would overflow.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  char digits[10];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t at = 0;
  if (value < 0) out[at++] = '-';
  while (count > 0) out[at++] = digits[--count];
  out[at] = '\0';
}

bool StepTimeoutText(const char* text, uint32_t scrollCode, char (&out)[32]) {
  if (scrollCode != 0 && scrollCode != 1) return false;
  size_t length = 0;
  while (text && length < MaxEditChars && text[length] != '\0') ++length;
  int64_t value = text ? ParseDecimal(std::string_view(text, length)) : 0;
  value += scrollCode == 0 ? 1 : -1;
  if (value < 0) value = 0;
  if (value > MaxTimeout) value = MaxTimeout;
  FormatDecimal(static_cast<int32_t>(value), out);
  return true;
}
