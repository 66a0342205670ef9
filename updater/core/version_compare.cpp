// Comparing version texts: runs of digits by value, everything else unit by unit.
#include "version_compare.h"

#include <cstddef>

#include "decimal_text.h"

namespace {

// Skips the digit run at text[at]; returns the index of its first significant digit and leaves
// at just past the run.
size_t SkipDigitRun(std::u16string_view text, size_t& at) {
  while (at < text.size() && text[at] == u'0') ++at;
  const size_t significant = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  return significant;
}

}  // namespace

int CompareVersionText(std::u16string_view local, std::u16string_view advertised) {
  size_t i = 0, j = 0;
  while (i < local.size() && j < advertised.size()) {
    if (IsDigit(local[i]) && IsDigit(advertised[j])) {
      // Compare by value without converting, so that no length overflows: more
      // significant digits is larger, otherwise the first differing digit decides.
      const size_t a = SkipDigitRun(local, i);
      const size_t b = SkipDigitRun(advertised, j);
      if (i - a != j - b) return i - a < j - b ? -1 : 1;
      for (size_t k = 0; k < i - a; ++k)
        if (local[a + k] != advertised[b + k]) return local[a + k] < advertised[b + k] ? -1 : 1;
      continue;
    }
    if (local[i] != advertised[j]) return local[i] < advertised[j] ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < local.size()) return 1;
  if (j < advertised.size()) return -1;
  return 0;
}
