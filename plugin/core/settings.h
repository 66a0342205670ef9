// Loading and saving the plug-in's settings, portable: the profile functions come as arguments.
#pragma once
#include <cstddef>
#include <cstdint>
#include "plugin_state.h"

inline constexpr char SettingsSection[] = "Hushbell";
// The section name, every key name and every value written fit in this many characters with the
// terminator, so a profile layer may copy them into buffers of this size.
inline constexpr size_t ProfileTextCapacity = 32;

// One entry per persisted setting, in the order they are read and written.
// Exactly one of the two member pointers is set.
struct SettingKey {
  const char* Name;
  int32_t Default;
  std::atomic<uint8_t> PluginState::*Action;
  std::atomic<int32_t> PluginState::*Value;
};

inline constexpr SettingKey SettingKeys[] = {
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

// The profile functions, replaceable so loading and saving run anywhere.
struct ProfileIo {
  void* Context;
  int32_t (*ReadInt)(void* context, const char* section, const char* key,
                     int32_t defaultValue);  // GetPrivateProfileIntA semantics
  void (*WriteString)(void* context, const char* section, const char* key, const char* value);
};

// Reads the nine keys of section "Hushbell" in order, each with its default; action fields keep the low 8
// bits.
void LoadSettingsWith(PluginState& s, const ProfileIo& io);
// Writes the nine keys in the same order as decimals: actions unsigned 8-bit, the others signed 32-bit.
void SaveSettingsWith(const PluginState& s, const ProfileIo& io);
