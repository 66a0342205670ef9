// Splits arbitrary input into UTF-16 arguments (units taken pairwise, a zero unit ends an
// argument) and parses them. Whether a path exists depends on its first unit.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "command_line.h"

namespace {

bool Exists(void*, const char16_t* path) {
  const size_t length = std::char_traits<char16_t>::length(path);
  if (length >= IniPathCapacity) std::abort();  // an over-long path must never be tested
  return length > 0 && (path[0] & 1) != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t count = size / 2;
  std::vector<char16_t> units(count + 1, u'\0');  // the last zero ends the last argument
  if (count > 0) std::memcpy(units.data(), data, count * sizeof(char16_t));
  std::vector<const char16_t*> args{units.data()};
  for (size_t i = 1; i < count; ++i)
    if (units[i - 1] == u'\0') args.push_back(&units[i]);
  CommandLine out;
  const bool found = ParseArguments(args, Exists, nullptr, out);
  if (std::char_traits<char16_t>::find(out.IniPath, IniPathCapacity, u'\0') == nullptr ||
      found == (out.IniPath[0] == u'\0'))
    std::abort();
  return 0;
}
