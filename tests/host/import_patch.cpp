// Rewriting one import of a loaded module, with every table it walks bounds-checked.
#include "import_patch.h"

#include <cstddef>
#include <cstdint>

namespace {
// Longer names than this are not names the loader would have resolved either.
constexpr size_t MaxNameLength = 512;
// Bounds the walk of a table whose terminator is missing.
constexpr size_t MaxThunks = 65536;

struct Image {
  BYTE* Base;
  DWORD Size;
};

// The address of `length` bytes at `offset` bytes from `rva`, or nullptr unless all of them lie
// inside the image.
BYTE* At(const Image& image, DWORD rva, uint64_t offset, uint64_t length) {
  const uint64_t start = uint64_t{rva} + offset;
  if (start > image.Size || length > image.Size - start) return nullptr;
  return image.Base + start;
}

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares the NUL-terminated name at `rva` with `wanted`, reading nothing past the image.
bool NameEquals(const Image& image, DWORD rva, const char* wanted, bool ignoreCase) {
  const BYTE* name = At(image, rva, 0, 1);
  if (name == nullptr) return false;
  const uint64_t room = image.Size - uint64_t{rva};
  for (size_t i = 0; i < MaxNameLength && i < room; ++i) {
    const char have = static_cast<char>(name[i]);
    const char want = wanted[i];
    if (ignoreCase ? FoldCase(have) != FoldCase(want) : have != want) return false;
    if (have == '\0') return true;
  }
  return false;
}

// Validates the headers far enough to trust the import directory's bounds.
bool OpenImage(HMODULE module, Image* image, IMAGE_DATA_DIRECTORY* imports) {
  auto base = reinterpret_cast<BYTE*>(module);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  // The first page of a mapped image holds its headers.
  constexpr LONG HeaderPage = 4096;
  if (dos->e_lfanew <= 0 || dos->e_lfanew > HeaderPage - static_cast<LONG>(sizeof(IMAGE_NT_HEADERS)))
    return false;
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
  if (nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) return false;
  if (nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) return false;
  image->Base = base;
  image->Size = nt->OptionalHeader.SizeOfImage;
  *imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  return imports->VirtualAddress != 0 && imports->Size != 0;
}

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
  DWORD ignored = 0;
  VirtualProtect(slot, sizeof(void*), previous, &ignored);
  return true;
}
}  // namespace

bool HostPatchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement,
                     void** original) {
  if (module == nullptr || dllName == nullptr || functionName == nullptr || replacement == nullptr ||
      original == nullptr)
    return false;
  Image image{};
  IMAGE_DATA_DIRECTORY directory{};
  if (!OpenImage(module, &image, &directory)) return false;
  const uint64_t descriptorCount = directory.Size / sizeof(IMAGE_IMPORT_DESCRIPTOR);
  auto descriptors = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
      At(image, directory.VirtualAddress, 0, descriptorCount * sizeof(IMAGE_IMPORT_DESCRIPTOR)));
  if (descriptors == nullptr) return false;

  bool found = false, stored = false;
  void* byAddress = nullptr;  // the resolved address, for modules without a name table
  for (uint64_t d = 0; d < descriptorCount && descriptors[d].Name != 0; ++d) {
    const IMAGE_IMPORT_DESCRIPTOR& descriptor = descriptors[d];
    if (!NameEquals(image, descriptor.Name, dllName, true)) continue;
    const DWORD names = descriptor.OriginalFirstThunk;
    if (names == 0 && byAddress == nullptr) {
      HMODULE exporter = GetModuleHandleA(dllName);
      if (exporter == nullptr) continue;
      byAddress = reinterpret_cast<void*>(GetProcAddress(exporter, functionName));
      if (byAddress == nullptr) continue;
    }
    for (uint64_t t = 0; t < MaxThunks; ++t) {
      auto slot =
          reinterpret_cast<void**>(At(image, descriptor.FirstThunk, t * sizeof(void*), sizeof(void*)));
      if (slot == nullptr || *slot == nullptr) break;
      bool match = false;
      if (names != 0) {
        auto entry = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            At(image, names, t * sizeof(IMAGE_THUNK_DATA), sizeof(IMAGE_THUNK_DATA)));
        if (entry == nullptr || entry->u1.AddressOfData == 0) break;
        if ((entry->u1.Ordinal & IMAGE_ORDINAL_FLAG) != 0) continue;  // no name to compare
        // The name follows a two-byte hint.
        const uint64_t nameRva = uint64_t{entry->u1.AddressOfData} + 2;
        match = nameRva <= image.Size && NameEquals(image, static_cast<DWORD>(nameRva), functionName, false);
      } else {
        match = *slot == byAddress;
      }
      if (!match) continue;
      void* current = *slot;
      if (current == replacement) {
        found = true;
        continue;
      }
      if (!WriteSlot(slot, replacement)) return false;
      if (!stored) *original = current;
      stored = true;
      found = true;
    }
  }
  return found;
}
