// Rewriting one import of a loaded module, found through the bounds-checked PE reader.
#include "import_patch.h"

#include <cstring>

#include "pe_image.h"

namespace {
// Writes one slot; the page keeps its execute right if it had one, since code may share it.
bool WriteSlot(void** slot, void* replacement) {
  MEMORY_BASIC_INFORMATION page{};
  if (VirtualQuery(slot, &page, sizeof page) == 0) return false;
  constexpr DWORD Executable =
      PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  const DWORD writable = (page.Protect & Executable) != 0 ? PAGE_EXECUTE_READWRITE : PAGE_READWRITE;
  DWORD previous = 0;
  if (!VirtualProtect(slot, sizeof(void*), writable, &previous)) return false;
  // One store: the plug-in's timer thread may be reading the slot right now.
  InterlockedExchangePointer(slot, replacement);
  VirtualProtect(slot, sizeof(void*), previous, &previous);
  return true;
}
}  // namespace

bool HostPatchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement,
                     void** original) {
  PeImage image;
  if (dllName == nullptr || functionName == nullptr || replacement == nullptr || original == nullptr ||
      module == nullptr || !ViewMappedImage(module, image))
    return false;
  bool found = false, stored = false;
  void* byAddress = nullptr;  // the resolved address, for modules without a name table
  for (const PeImport& import : Imports(image)) {
    if (import.ByOrdinal || _stricmp(import.Dll.c_str(), dllName) != 0) continue;
    auto slot = reinterpret_cast<void**>(reinterpret_cast<BYTE*>(module) + import.SlotRva);
    if (import.Function.empty() && byAddress == nullptr) {
      HMODULE exporter = GetModuleHandleA(dllName);
      byAddress =
          exporter != nullptr ? reinterpret_cast<void*>(GetProcAddress(exporter, functionName)) : nullptr;
      if (byAddress == nullptr) continue;
    }
    if (import.Function.empty() ? *slot != byAddress : import.Function != functionName) continue;
    void* current = *slot;
    found = true;
    if (current == replacement) continue;
    if (!WriteSlot(slot, replacement)) return false;
    if (!stored) *original = current;
    stored = true;
  }
  return found;
}
