// The table of the nine persisted settings and how they are read from and written to the
// "Hushbell" section through replaceable profile functions.
#include "settings.h"

#include "text_bounds.h"
#include "timeout_text.h"

namespace {

// One entry per persisted setting, in the order they are read and written.
// Exactly one of the two member pointers is set.
struct SettingKey {
  const char* Name;
  int32_t Default;
  std::atomic<uint8_t> PluginState::*Action;
  std::atomic<int32_t> PluginState::*Value;
};

constexpr SettingKey SettingKeys[] = {
    {"LockAction", 1, &PluginState::LockAction, nullptr},
    {"LockAutoResume", 1, nullptr, &PluginState::LockAutoResume},
    {"LockTimeout", 0, nullptr, &PluginState::LockTimeout},
    {"ScreenSaverAction", 0, &PluginState::ScreenSaverAction, nullptr},
    {"ScreenSaverAutoResume", 0, nullptr, &PluginState::ScreenSaverAutoResume},
    {"ScreenSaverTimeout", 0, nullptr, &PluginState::ScreenSaverTimeout},
    {"StandbyAction", 0, &PluginState::StandbyAction, nullptr},
    {"Verlift", 0, nullptr, &PluginState::UpdateCheck},
    // Added last, so files written before it keep their order.
    {"ScreenSaverDisplayOff", 0, nullptr, &PluginState::ScreenSaverDisplayOff},
};

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
