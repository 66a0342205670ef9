// Settings through the profile functions: the UTF-16 ones on the host's UTF-16 path when it gives
// one (a profile folder outside the ANSI code page has no 8-bit name), the 8-bit ones otherwise.
#include <string_view>

#include "plugin.h"
#include "profile_section.h"
#include "settings.h"
#include "text_bounds.h"

namespace {
const char* InstallerIni;  // the file instConfig names, or null (UI thread only)

int32_t ReadProfileInt(void* context, const char* section, const char* key, int32_t defaultValue) {
  return static_cast<int32_t>(
      GetPrivateProfileIntA(section, key, defaultValue, static_cast<const char*>(context)));
}

void WriteProfileString(void* context, const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(section, key, value, static_cast<const char*>(context));
}

using ProfileText = wchar_t[ProfileTextCapacity];

// Section, key names and values are ASCII and fit (settings.h).
const wchar_t* Widen(const char* text, ProfileText& wide) {
  BoundedCopy(wide, ProfileTextCapacity, text, ProfileTextCapacity);
  return wide;
}

int32_t ReadWideProfileInt(void* context, const char* section, const char* key, int32_t defaultValue) {
  ProfileText wideSection, wideKey;
  return static_cast<int32_t>(GetPrivateProfileIntW(Widen(section, wideSection), Widen(key, wideKey),
                                                    defaultValue, static_cast<const wchar_t*>(context)));
}

void WriteWideProfileString(void* context, const char* section, const char* key, const char* value) {
  ProfileText wideSection, wideKey, wideValue;
  WritePrivateProfileStringW(Widen(section, wideSection), Widen(key, wideKey), Widen(value, wideValue),
                             static_cast<const wchar_t*>(context));
}

// The file the settings live in: an installer's, always an 8-bit path, or the host's, by its
// UTF-16 name when the host gives one (then Wide is set and Narrow is null).
struct SettingsFile {
  const char* Narrow;
  const wchar_t* Wide;
};

SettingsFile FindSettingsFile() {
  if (InstallerIni != nullptr) return {InstallerIni, nullptr};
  if (const wchar_t* wide = QueryWideIniPath()) return {nullptr, wide};
  return {QueryIniPath(), nullptr};
}

ProfileIo ProfileOf(const SettingsFile& file) {
  if (file.Wide != nullptr)
    return {const_cast<wchar_t*>(file.Wide), ReadWideProfileInt, WriteWideProfileString};
  return {const_cast<char*>(file.Narrow), ReadProfileInt, WriteProfileString};
}

// Room for far more than the plug-in's own keys; a section that does not fit is read key by key.
constexpr DWORD SectionCapacity = 2048;

int32_t ReadFromSection(void* context, const char*, const char* key, int32_t defaultValue) {
  return ProfileIntFromBlock(*static_cast<const std::wstring_view*>(context), key, defaultValue);
}
}  // namespace

// One read of the section instead of one per key: init, which the player's start waits for,
// loads the settings, and each profile read opens and parses the file anew.
void LoadSettings() {
  const SettingsFile file = FindSettingsFile();
  const ProfileIo profile = ProfileOf(file);
  wchar_t block[SectionCapacity];
  DWORD length;
  if (file.Wide != nullptr) {
    ProfileText section;
    length = GetPrivateProfileSectionW(Widen(SettingsSection, section), block, SectionCapacity, file.Wide);
  } else {
    char narrow[SectionCapacity];
    length = GetPrivateProfileSectionA(SettingsSection, narrow, SectionCapacity, file.Narrow);
    // The keys and the numbers are ASCII, so each byte may stand for itself.
    for (DWORD i = 0; i < length && i < SectionCapacity; ++i)
      block[i] = static_cast<unsigned char>(narrow[i]);
  }
  if (length >= SectionCapacity - 2) return LoadSettingsWith(State, profile);  // cut off: key by key
  std::wstring_view section(block, length);
  LoadSettingsWith(State, ProfileIo{&section, ReadFromSection, profile.WriteString});
}

void SaveSettings() { SaveSettingsWith(State, ProfileOf(FindSettingsFile())); }

void UseInstallerIni(const char* path) { InstallerIni = path; }
