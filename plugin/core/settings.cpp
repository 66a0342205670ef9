// How the nine persisted settings are read from and written to the "Hushbell" section through
// replaceable profile functions.
#include "settings.h"

#include "text_bounds.h"
#include "timeout_text.h"

namespace {

constexpr bool NamesFit() {
  for (const SettingKey& key : SettingKeys)
    if (BoundedLength(key.Name, ProfileTextCapacity) == ProfileTextCapacity) return false;
  return sizeof SettingsSection <= ProfileTextCapacity;
}
static_assert(NamesFit());

}  // namespace

void LoadSettingsWith(PluginState& s, const ProfileIo& io) {
  for (const SettingKey& key : SettingKeys) {
    const int32_t value = io.ReadInt(io.Context, SettingsSection, key.Name, key.Default);
    if (key.Action)
      Put(s.*key.Action, static_cast<uint8_t>(value));  // low 8 bits
    else
      Put(s.*key.Value, value);
  }
}

void SaveSettingsWith(const PluginState& s, const ProfileIo& io) {
  for (const SettingKey& key : SettingKeys) {
    char text[ProfileTextCapacity];
    FormatDecimal(key.Action ? int32_t{Get(s.*key.Action)} : Get(s.*key.Value), text);
    io.WriteString(io.Context, SettingsSection, key.Name, text);
  }
}
