// A whole INI section read at once instead of one profile read per key (each read opens and
// parses the file again, and init, which the player waits for, would make eight). What the
// profile functions make of it is reproduced here: the block that GetPrivateProfileSection
// fills ("name=value" entries, each ended by a NUL, an empty one last) and the integer that
// GetPrivateProfileInt reads from a value. Portable, for 8-bit and UTF-16 blocks alike.
#pragma once
#include <cstdint>
#include <string_view>

// The value of `key` in `block` (names compared without regard to case, the first entry wins,
// one pair of enclosing quotes, double or single, dropped, as the profile functions do); false
// when the section has no such entry. `key` is letters only, so setting bit 5 folds its case.
template <class Char>
constexpr bool FindProfileValue(std::basic_string_view<Char> block, std::string_view key,
                                std::basic_string_view<Char>* value) {
  const Char* at = block.data();
  const Char* const end = at + block.size();
  while (at < end && *at != Char{}) {
    const Char* const entry = at;
    while (at < end && *at != Char{}) ++at;
    const size_t length = static_cast<size_t>(at++ - entry);
    size_t i = 0;
    while (i < key.size() && i < length &&
           (static_cast<uint32_t>(entry[i]) | 0x20) == (static_cast<unsigned char>(key[i]) | 0x20u))
      ++i;
    if (i != key.size() || i >= length || entry[i] != Char('=')) continue;
    const Char* text = entry + i + 1;
    size_t size = length - i - 1;
    if (size >= 2 && (text[0] == Char('"') || text[0] == Char('\'')) && text[size - 1] == text[0]) {
      ++text;
      size -= 2;
    }
    *value = std::basic_string_view<Char>(text, size);
    return true;
  }
  return false;
}

// GetPrivateProfileInt's reading of a value: leading blanks, a sign, then "0x" hexadecimal,
// "0o" octal, "0b" binary or decimal digits up to the first that does not fit, the result kept
// modulo 2^32; an empty value gives the default.
template <class Char>
constexpr int32_t ProfileIntFromText(std::basic_string_view<Char> text, int32_t defaultValue) {
  if (text.empty()) return defaultValue;
  size_t i = 0;
  while (i < text.size() && static_cast<uint32_t>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == Char('+') || text[i] == Char('-'))) negative = text[i++] == Char('-');
  uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == Char('0')) {
    const uint32_t prefix = static_cast<uint32_t>(text[i + 1]) | 0x20;
    base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  uint32_t result = 0;
  for (; i < text.size(); ++i) {
    const uint32_t c = static_cast<uint32_t>(text[i]);
    const uint32_t digit = c >= '0' && c <= '9'                     ? c - '0'
                           : (c | 0x20) >= 'a' && (c | 0x20) <= 'z' ? (c | 0x20) - 'a' + 10
                                                                    : 99;
    if (digit >= base) break;
    result = result * base + digit;
  }
  return static_cast<int32_t>(negative ? 0u - result : result);
}

// The integer GetPrivateProfileInt would give for `key` of the section in `block`.
template <class Char>
constexpr int32_t ProfileIntFromBlock(std::basic_string_view<Char> block, std::string_view key,
                                      int32_t defaultValue) {
  std::basic_string_view<Char> value;
  return FindProfileValue(block, key, &value) ? ProfileIntFromText(value, defaultValue) : defaultValue;
}
