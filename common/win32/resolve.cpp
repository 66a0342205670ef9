#include "resolve.h"

void* ResolveAddress(HMODULE module, const char* name) {
  return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}
