// A whole INI section read at once instead of one profile read per key (each read opens and
// parses the file again, and init, which the player waits for, would make eight). What the
// profile functions make of it is reproduced here: the block that GetPrivateProfileSection
// fills ("name=value" entries, each ended by a NUL, an empty one last) and the integer that
// GetPrivateProfileInt reads from a value. Portable, for 8-bit and UTF-16 blocks alike.
#pragma once
#include <cstdint>
#include <string_view>

// The value of `key` in `block` (names compared without regard to ASCII case, the first entry
// wins, one pair of enclosing quotes, double or single, dropped, as the profile functions do); false when
// the section has no such entry.
template <class Char>
constexpr bool FindProfileValue(std::basic_string_view<Char> block, std::string_view key,
                                std::basic_string_view<Char>* value) {
  auto lower = [](uint32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  while (!block.empty() && block[0] != Char{}) {
    const size_t end = block.find(Char{});
    // No substr: it may throw, and the plug-in is built without exceptions.
    const std::basic_string_view<Char> entry(block.data(), end == block.npos ? block.size() : end);
    block.remove_prefix(end == block.npos ? block.size() : end + 1);
    const size_t equals = entry.find(Char('='));
    if (equals != key.size()) continue;
    bool same = true;
    for (size_t i = 0; i < key.size() && same; ++i)
      same = lower(static_cast<uint32_t>(entry[i])) == lower(static_cast<unsigned char>(key[i]));
    if (!same) continue;
    std::basic_string_view<Char> text(entry.data() + equals + 1, entry.size() - equals - 1);
    if (text.size() >= 2 && (text.front() == Char('"') || text.front() == Char('\'')) &&
        text.back() == text.front())
      text = std::basic_string_view<Char>(text.data() + 1, text.size() - 2);
    *value = text;
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
