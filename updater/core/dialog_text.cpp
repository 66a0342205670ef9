// The notification's message, filled in without a formatter.
#include "dialog_text.h"

size_t FormatNotice(std::u16string_view pattern, std::u16string_view name, std::u16string_view homepage,
                    char16_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  const std::u16string_view arguments[2] = {name, homepage};
  size_t used = 0, written = 0;
  auto put = [&](char16_t c) {
    if (written < capacity - 1) out[written++] = c;
  };
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (used < 2 && pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's') {
      for (char16_t c : arguments[used]) put(c);
      ++used;
      ++i;
    } else {
      put(pattern[i]);
    }
  }
  out[written] = u'\0';
  return written;
}
