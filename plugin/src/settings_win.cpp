// Settings through the 8-bit profile functions.
#include "plugin.h"
#include "settings.h"

namespace {
int32_t ReadProfileInt(void* context, const char* section, const char* key, int32_t defaultValue) {
  return static_cast<int32_t>(
      GetPrivateProfileIntA(section, key, defaultValue, static_cast<const char*>(context)));
}

void WriteProfileString(void* context, const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(section, key, value, static_cast<const char*>(context));
}
}  // namespace

const char* SettingsIniPath() {
  return State.IniPathOverride != nullptr ? State.IniPathOverride : QueryIniPath();
}

void LoadSettings() {
  ProfileIo io{const_cast<char*>(SettingsIniPath()), ReadProfileInt, WriteProfileString};
  LoadSettingsWith(State, io);
}

void SaveSettings() {
  ProfileIo io{const_cast<char*>(SettingsIniPath()), ReadProfileInt, WriteProfileString};
  SaveSettingsWith(State, io);
}
