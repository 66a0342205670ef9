// The INI file beside a program or a module, for the plug-in and the update checker alike.
#pragma once
#include <cstddef>

// Turns path (length units, at least 3) into the path of the INI file beside it: its last three
// characters become "ini", whatever they are.
template <class Char>
constexpr void IniBeside(Char* path, size_t length) {
  path[length - 3] = Char('i');
  path[length - 2] = Char('n');
  path[length - 1] = Char('i');
}
