// Bounded text for the plug-in and the update checker alike, 8-bit or UTF-16: lengths that never
// read past a limit and copies that never write past a capacity. No Windows code.
#pragma once
#include <cstddef>
#include <type_traits>

// Length of text, never counting past limit, so a missing terminator beyond it is never read.
template <class Char>
constexpr size_t BoundedLength(const Char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length] != Char{}) ++length;
  return length;
}

// Copies text (at most available units, ending earlier at a terminator) into out: at most
// capacity - 1 units (capacity > 0), then the terminator. Returns the units copied. 8-bit units
// widen as unsigned.
template <class To, class From>
constexpr size_t BoundedCopy(To* out, size_t capacity, const From* text, size_t available) {
  size_t length = 0;
  for (; length + 1 < capacity && length < available && text[length] != From{}; ++length)
    out[length] = static_cast<To>(static_cast<std::make_unsigned_t<From>>(text[length]));
  out[length] = To{};
  return length;
}

// For a UTF-16 text that a copy of length units cut short: drops the first half of a surrogate
// pair left at its end, so that no cut splits a character. Returns the length kept.
template <class Char>
constexpr size_t KeepWholePairs(Char* text, size_t length) {
  if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) text[--length] = Char{};
  return length;
}

// Appends "\" and name to the folder of length units at the start of path, a buffer of capacity
// units. A whole that would not fit is refused, never cut: false, and path ends at the folder.
template <class Char>
constexpr bool AppendPathName(Char* path, size_t capacity, size_t length, const Char* name) {
  if (length + 1 >= capacity) return false;
  path[length] = Char('\\');
  const size_t copied = BoundedCopy(path + length + 1, capacity - length - 1, name, capacity);
  if (name[copied] == Char{}) return true;
  path[length] = Char{};
  return false;
}
