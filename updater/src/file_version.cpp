// The FileVersion text of an installed file's version resource, through VERSION.DLL loaded
// from the system folder.
#include "file_version.h"

#include <windows.h>

#include "resolve.h"
#include "system_library.h"
#include "text_bounds.h"
#include "wide.h"

namespace {

// VERSION.DLL's functions while LoadVersionLibrary holds it.
struct VersionApi {
  HMODULE Module;
  decltype(&::GetFileVersionInfoSizeW) GetFileVersionInfoSizeW;
  decltype(&::GetFileVersionInfoW) GetFileVersionInfoW;
  decltype(&::VerQueryValueW) VerQueryValueW;
};

VersionApi Version;

constexpr size_t ValueNameCapacity = 40;
constexpr char16_t ValuePrefix[] = u"\\StringFileInfo\\";
constexpr char16_t ValueSuffix[] = u"\\FileVersion";
// Prefix, eight hexadecimal digits and suffix, without their terminators, plus one terminator.
static_assert(sizeof ValuePrefix / 2 - 1 + 8 + sizeof ValueSuffix / 2 - 1 + 1 <= ValueNameCapacity);

struct Translation {
  WORD Language;
  WORD CodePage;
};

// "\StringFileInfo\LLLLCCCC\FileVersion", language then code page, upper-case hexadecimal.
void FormatValueName(const Translation& translation, char16_t (&name)[ValueNameCapacity]) {
  constexpr char16_t Hex[] = u"0123456789ABCDEF";
  size_t at = 0;
  for (size_t i = 0; ValuePrefix[i] != u'\0'; ++i) name[at++] = ValuePrefix[i];
  const uint32_t both = (uint32_t{translation.Language} << 16) | translation.CodePage;
  for (int shift = 28; shift >= 0; shift -= 4) name[at++] = Hex[(both >> shift) & 0xF];
  for (size_t i = 0; ValueSuffix[i] != u'\0'; ++i) name[at++] = ValueSuffix[i];
  name[at] = u'\0';
}

bool ResolveVersion(VersionApi& api) {
  return Resolve(api.Module, "GetFileVersionInfoSizeW", api.GetFileVersionInfoSizeW) &&
         Resolve(api.Module, "GetFileVersionInfoW", api.GetFileVersionInfoW) &&
         Resolve(api.Module, "VerQueryValueW", api.VerQueryValueW);
}

}  // namespace

bool LoadVersionLibrary() {
  return Version.Module != nullptr || LoadSystemApi(L"version.dll", Version, ResolveVersion);
}

void FreeVersionLibrary() { FreeSystemApi(Version); }

bool ReadFileVersion(char16_t (&destination)[LocalVersionCapacity], const char16_t* path) {
  destination[0] = u'\0';
  if (Version.Module == nullptr) return false;
  DWORD ignored = 0;
  const DWORD size = Version.GetFileVersionInfoSizeW(Wide(path), &ignored);
  if (size == 0) return false;
  void* block = HeapAlloc(GetProcessHeap(), 0, size);
  if (block == nullptr) return false;

  bool result = false;
  void* table = nullptr;
  UINT tableBytes = 0;
  if (Version.GetFileVersionInfoW(Wide(path), 0, size, block) &&
      Version.VerQueryValueW(block, L"\\VarFileInfo\\Translation", &table, &tableBytes) && table != nullptr &&
      tableBytes >= sizeof(Translation)) {
    Translation first;
    CopyMemory(&first, table, sizeof first);
    char16_t name[ValueNameCapacity];
    FormatValueName(first, name);
    void* text = nullptr;
    UINT units = 0;
    if (Version.VerQueryValueW(block, Wide(name), &text, &units) && text != nullptr) {
      const auto* version = static_cast<const wchar_t*>(text);
      const size_t length = BoundedCopy(destination, LocalVersionCapacity, version, units);
      if (length < units && version[length] != L'\0') KeepWholePairs(destination, length);
      result = true;
    }
  }
  HeapFree(GetProcessHeap(), 0, block);
  return result;
}
