// Decimal digits and numbers as text, for the plug-in and the update checker alike, 8-bit or
// UTF-16: atoi's reading without its overflow, and "%d" without a formatter. No Windows code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

template <class Char>
constexpr bool IsDigit(Char c) {
  return c >= Char('0') && c <= Char('9');
}

// atoi semantics (leading blanks, a sign, digits up to the first non-digit; none give 0),
// saturating at the int32 limits where atoi would be undefined, for any number of digits.
template <class Char>
constexpr int32_t ParseDecimal(std::basic_string_view<Char> text) {
  auto blank = [](Char c) { return c == Char(' ') || (c >= Char('\t') && c <= Char('\r')); };
  size_t i = 0;
  while (i < text.size() && blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == Char('+') || text[i] == Char('-'))) negative = text[i++] == Char('-');
  constexpr int64_t Limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - Char('0'));
    if (magnitude > Limit) magnitude = Limit;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);  // -Limit is exactly the int32 minimum
}

// "%d" of value into out, terminated; the capacity always fits any int32.
template <class Char, size_t N>
constexpr void FormatDecimal(int32_t value, Char (&out)[N]) {
  static_assert(N >= 12, "room for a sign, ten digits and the terminator");
  // Unsigned magnitude: negating the int32 minimum would overflow.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  Char digits[10] = {};
  size_t count = 0;
  do {
    digits[count++] = static_cast<Char>(Char('0') + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t at = 0;
  if (value < 0) out[at++] = Char('-');
  while (count > 0) out[at++] = digits[--count];
  out[at] = Char{};
}
