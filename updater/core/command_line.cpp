// Splitting the checker's arguments into the INI path, "/HANDLE:" and "/FORCE".
#include "command_line.h"

#include <string_view>

#include "decimal_text.h"
#include "ini_beside.h"
#include "text_bounds.h"

namespace {

bool StartsWith(const char16_t* text, const char16_t* prefix) {
  for (; *prefix != u'\0'; ++text, ++prefix)
    if (*text != *prefix) return false;
  return true;
}

bool Equals(const char16_t* a, const char16_t* b) {
  for (; *a == *b; ++a, ++b)
    if (*a == u'\0') return true;
  return false;
}

}  // namespace

int32_t ParseHandleValue(const char16_t* text) { return ParseDecimal(std::u16string_view(text)); }

bool ParseArguments(std::span<const char16_t* const> args, ExistsFn exists, void* context, CommandLine& out) {
  out.IniPath[0] = u'\0';
  out.ForceCheck = false;
  out.OwnerWindow = 0;
  if (args.empty()) return false;

  const char16_t* candidate = nullptr;
  for (const char16_t* arg : args.subspan(1)) {
    if (StartsWith(arg, u"/HANDLE:")) {
      out.OwnerWindow = ParseHandleValue(arg + 8);
    } else if (Equals(arg, u"/FORCE")) {
      out.ForceCheck = true;
    } else {
      if (BoundedLength(arg, IniPathCapacity) < IniPathCapacity && exists(context, arg)) candidate = arg;
    }
  }
  if (candidate != nullptr) {
    BoundedCopy(out.IniPath, IniPathCapacity, candidate, IniPathCapacity);
    return true;
  }

  // The INI file beside the program.
  const size_t length = BoundedLength(args[0], IniPathCapacity);
  if (length < 3 || length >= IniPathCapacity) return false;
  BoundedCopy(out.IniPath, IniPathCapacity, args[0], length);
  IniBeside(out.IniPath, length);
  if (exists(context, out.IniPath)) return true;
  out.IniPath[0] = u'\0';
  return false;
}
