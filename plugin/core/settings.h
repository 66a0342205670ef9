// The plug-in's settings, one row each: its key and default, its range, the dialog control that
// shows it and what enables that control. Loading, saving and the dialog all walk this table.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fade.h"
#include "plugin_state.h"
#include "timeout_text.h"
// The dialog's control and string ids: plain numbers, shared with the resource script.
#include "../src/resource.h"

inline constexpr char SettingsSection[] = "Hushbell";
// The section name, every key name and every value written fit in this many characters with the
// terminator, so a profile layer may copy them into buffers of this size.
inline constexpr size_t ProfileTextCapacity = 32;

// How the dialog shows a setting.
enum class SettingKind : uint8_t {
  Choice,  // a drop-down list of the action captions: the item index is the action code
  Check,   // a check box
  Number,  // a decimal edit, with arrows that step it within the row's range
};

// What a setting needs that older Windows versions lack.
enum class SettingNeed : uint8_t {
  Nothing,
  DisplayReports,  // the display's state (Vista and later)
  AudioEndpoints,  // the sound outputs' news (Vista and later)
};

struct SettingRow {
  const char* Key;  // in section "Hushbell"
  SettingKind Kind;
  // Clamped: loading and OK keep the value to Min..Max; otherwise a value stored or typed
  // outside it stays as it is.
  bool Clamped = false;
  // Where the state keeps it: a choice in 8 bits (the other pointer null), anything else in 32.
  std::atomic<uint8_t> PluginState::*Choice = nullptr;
  std::atomic<int32_t> PluginState::*Value = nullptr;
  int32_t Default = 0;       // when the key is absent
  int32_t Min = 0, Max = 0;  // what a number's arrows step through
  // Resource ids (16 bits, as resources have), 0 for none.
  uint16_t Control = 0;    // the dialog control that shows it
  uint16_t Arrows = 0;     // a number's arrow bar
  uint16_t Unit = 0;       // a label after it, enabled and disabled with it
  uint16_t Tip = 0;        // the string explaining the control and its arrows
  uint16_t EnabledBy = 0;  // the choice whose "Do nothing" disables it (0: always enabled)
  // For a control that needs what not every Windows offers: where this one does not, it stays
  // disabled, and this string says why.
  SettingNeed Needs = SettingNeed::Nothing;
  uint16_t TipWhereMissing = 0;
};

// In the order they are read and written. A new row goes last, so files written before it keep
// their order.
inline constexpr SettingRow SettingRows[] = {
    {.Key = "LockAction",
     .Kind = SettingKind::Choice,
     .Choice = &PluginState::LockAction,
     .Default = ActionPause,
     .Control = IDC_LOCK_ACTION,
     .Tip = IDS_TIP_LOCK_ACTION},
    {.Key = "LockAutoResume",
     .Kind = SettingKind::Check,
     .Value = &PluginState::LockAutoResume,
     .Default = 1,
     .Control = IDC_LOCK_RESUME,
     .Tip = IDS_TIP_LOCK_RESUME,
     .EnabledBy = IDC_LOCK_ACTION},
    {.Key = "LockTimeout",
     .Kind = SettingKind::Number,
     .Value = &PluginState::LockTimeout,
     .Min = TimeoutMin,
     .Max = TimeoutMax,
     .Control = IDC_LOCK_TIMEOUT,
     .Arrows = IDC_LOCK_ARROWS,
     .Unit = IDC_LOCK_MINUTES,
     .Tip = IDS_TIP_LOCK_TIMEOUT,
     .EnabledBy = IDC_LOCK_ACTION},
    {.Key = "ScreenSaverAction",
     .Kind = SettingKind::Choice,
     .Choice = &PluginState::ScreenSaverAction,
     .Control = IDC_SAVER_ACTION,
     .Tip = IDS_TIP_SAVER_ACTION},
    {.Key = "ScreenSaverAutoResume",
     .Kind = SettingKind::Check,
     .Value = &PluginState::ScreenSaverAutoResume,
     .Control = IDC_SAVER_RESUME,
     .Tip = IDS_TIP_SAVER_RESUME,
     .EnabledBy = IDC_SAVER_ACTION},
    {.Key = "ScreenSaverTimeout",
     .Kind = SettingKind::Number,
     .Value = &PluginState::ScreenSaverTimeout,
     .Min = TimeoutMin,
     .Max = TimeoutMax,
     .Control = IDC_SAVER_TIMEOUT,
     .Arrows = IDC_SAVER_ARROWS,
     .Unit = IDC_SAVER_MINUTES,
     .Tip = IDS_TIP_SAVER_TIMEOUT,
     .EnabledBy = IDC_SAVER_ACTION},
    {.Key = "StandbyAction",
     .Kind = SettingKind::Choice,
     .Choice = &PluginState::StandbyAction,
     .Control = IDC_STANDBY_ACTION,
     .Tip = IDS_TIP_STANDBY_ACTION},
    {.Key = "Verlift",
     .Kind = SettingKind::Check,
     .Value = &PluginState::UpdateCheck,
     .Control = IDC_UPDATE_CHECK,
     .Tip = IDS_TIP_UPDATE_CHECK},
    {.Key = "ScreenSaverDisplayOff",
     .Kind = SettingKind::Check,
     .Value = &PluginState::ScreenSaverDisplayOff,
     .Control = IDC_SAVER_DISPLAY_OFF,
     .Tip = IDS_TIP_SAVER_DISPLAY_OFF,
     .EnabledBy = IDC_SAVER_ACTION,
     .Needs = SettingNeed::DisplayReports,
     .TipWhereMissing = IDS_TIP_DISPLAY_OFF_UNAVAILABLE},
    {.Key = "ResumeFadeSeconds",
     .Kind = SettingKind::Number,
     .Clamped = true,
     .Value = &PluginState::ResumeFadeSeconds,
     .Max = FadeSecondsMax,
     .Control = IDC_RESUME_FADE,
     .Arrows = IDC_RESUME_FADE_ARROWS,
     .Unit = IDC_RESUME_FADE_SECONDS,
     .Tip = IDS_TIP_RESUME_FADE},
    {.Key = "UnplugAction",
     .Kind = SettingKind::Choice,
     .Choice = &PluginState::UnplugAction,
     .Control = IDC_UNPLUG_ACTION,
     .Tip = IDS_TIP_UNPLUG_ACTION,
     .Needs = SettingNeed::AudioEndpoints,
     .TipWhereMissing = IDS_TIP_UNPLUG_UNAVAILABLE},
};

// The row with this key, or null.
constexpr const SettingRow* FindSetting(std::string_view key) {
  for (const SettingRow& row : SettingRows)
    if (key == row.Key) return &row;
  return nullptr;
}

// The row whose control, or whose arrow bar, has this id, or null.
constexpr const SettingRow* SettingWithControl(int id) {
  for (const SettingRow& row : SettingRows)
    if (id == row.Control || (id == row.Arrows && id != 0)) return &row;
  return nullptr;
}

// What the state holds for a row; a choice as its unsigned 8 bits.
inline int32_t SettingValue(const PluginState& s, const SettingRow& row) {
  return row.Choice ? int32_t{Get(s.*row.Choice)} : Get(s.*row.Value);
}
// Stores one value in one write, as loading and the dialog's OK do: a choice keeps the low 8
// bits, a clamped number its range.
void StoreSetting(PluginState& s, const SettingRow& row, int32_t value);

// The profile functions, replaceable so loading and saving run anywhere.
struct ProfileIo {
  void* Context;
  int32_t (*ReadInt)(void* context, const char* section, const char* key,
                     int32_t defaultValue);  // GetPrivateProfileIntA semantics
  void (*WriteString)(void* context, const char* section, const char* key, const char* value);
};

// Reads every key of section "Hushbell" in table order, each with its default.
void LoadSettingsWith(PluginState& s, const ProfileIo& io);
// Writes every key in the same order as decimals: choices unsigned 8-bit, the others signed 32-bit.
void SaveSettingsWith(const PluginState& s, const ProfileIo& io);
