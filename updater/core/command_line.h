// Command line of the update checker: INI file path, "/HANDLE:" and "/FORCE".
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr size_t IniPathCapacity = 260;  // 259 characters + terminator

struct CommandLine {
  char16_t IniPath[IniPathCapacity];
  bool ForceCheck;
  int32_t OwnerWindow;
};

// Existence test of a path (on Windows a find-first-file search).
using ExistsFn = bool (*)(void* context, const char16_t* path);

// args[0] is the program path; every argument is a terminated string. Returns whether IniPath was
// set. ForceCheck and OwnerWindow are always set from the arguments. A path that does not fit IniPath
// counts as not found; it is never cut.
bool ParseArguments(std::span<const char16_t* const> args, ExistsFn exists, void* context, CommandLine& out);

// Signed decimal after optional white space and sign, up to the first non-digit;
// no digits give 0, values outside the 32-bit range are clamped to the nearer limit.
int32_t ParseHandleValue(const char16_t* text);
