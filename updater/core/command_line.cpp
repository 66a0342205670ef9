// Splitting the checker's arguments into the INI path, "/HANDLE:" and "/FORCE".
#include "command_line.h"

#include <string_view>

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

void CopyPath(char16_t (&to)[IniPathCapacity], const char16_t* from, size_t length) {
  for (size_t i = 0; i < length; ++i) to[i] = from[i];
  to[length] = u'\0';
}

}  // namespace

int32_t ParseHandleValue(const char16_t* text) { return ParseDecimal(std::u16string_view(text)); }

int ParseArguments(std::span<const char16_t* const> args, ExistsFn exists, void* context, CommandLine& out) {
  out.IniPath[0] = u'\0';
  out.ForceCheck = 0;
  out.OwnerWindow = 0;
  if (args.empty()) return 0;

  const char16_t* candidate = nullptr;
  size_t candidateLength = 0;
  for (const char16_t* arg : args.subspan(1)) {
    if (StartsWith(arg, u"/HANDLE:")) {
      out.OwnerWindow = ParseHandleValue(arg + 8);
    } else if (Equals(arg, u"/FORCE")) {
      out.ForceCheck = 1;
    } else {
      const size_t length = BoundedLength(arg, IniPathCapacity);
      if (length < IniPathCapacity && exists(context, arg)) {
        candidate = arg;
        candidateLength = length;
      }
    }
  }
  if (candidate != nullptr) {
    CopyPath(out.IniPath, candidate, candidateLength);
    return 1;
  }

  // The INI file beside the program: the program path with its last three characters
  // replaced, whatever they are.
  const size_t length = BoundedLength(args[0], IniPathCapacity);
  if (length < 3 || length >= IniPathCapacity) return 0;
  char16_t derived[IniPathCapacity];
  CopyPath(derived, args[0], length);
  derived[length - 3] = u'i';
  derived[length - 2] = u'n';
  derived[length - 1] = u'i';
  if (!exists(context, derived)) return 0;
  CopyPath(out.IniPath, derived, length);
  return 1;
}
