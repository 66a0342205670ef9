// How the settings are read from and written to the "Hushbell" section through replaceable
// profile functions, row by row.
#include "settings.h"

#include "text_bounds.h"

namespace {

// Counted, not looked up: the table's addresses are no constants to compare with.
constexpr int Uses(std::string_view key, int id) {
  int uses = 0;
  for (const SettingRow& row : SettingRows)
    uses += (key == row.Key) + (id != 0 && (id == row.Control || id == row.Arrows || id == row.Unit));
  return uses;
}

constexpr bool IsChoice(int id) {
  for (const SettingRow& row : SettingRows)
    if (id == row.Control) return row.Kind == SettingKind::Choice;
  return false;
}

constexpr bool RowIsSound(const SettingRow& row) {
  if (BoundedLength(row.Key, ProfileTextCapacity) == ProfileTextCapacity) return false;
  // A choice lives in 8 bits, anything else in 32; only a number has arrows or a range.
  if ((row.Kind == SettingKind::Choice) != (row.Choice != nullptr) ||
      (row.Choice == nullptr) == (row.Value == nullptr))
    return false;
  if (row.Kind != SettingKind::Number && (row.Arrows != 0 || row.Clamped)) return false;
  if (row.Min > row.Max || row.Control == 0 || row.Tip == 0) return false;
  // Each key and control once; what enables a control is a choice of the dialog.
  for (int id : {row.Arrows, row.Unit})
    if (id != 0 && Uses("", id) != 1) return false;
  return Uses(row.Key, 0) == 1 && Uses("", row.Control) == 1 &&
         (row.EnabledBy == 0 || IsChoice(row.EnabledBy));
}

constexpr bool TableIsSound() {
  for (const SettingRow& row : SettingRows)
    if (!RowIsSound(row)) return false;
  return sizeof SettingsSection <= ProfileTextCapacity;
}
static_assert(TableIsSound(), "keys fit, kinds match their fields, keys and controls are each used once");

}  // namespace

void StoreSetting(PluginState& s, const SettingRow& row, int32_t value) {
  if (row.Clamped) value = value < row.Min ? row.Min : value > row.Max ? row.Max : value;
  if (row.Choice)
    Put(s.*row.Choice, static_cast<uint8_t>(value));  // low 8 bits
  else
    Put(s.*row.Value, value);
}

void LoadSettingsWith(PluginState& s, const ProfileIo& io) {
  for (const SettingRow& row : SettingRows)
    StoreSetting(s, row, io.ReadInt(io.Context, SettingsSection, row.Key, row.Default));
}

void SaveSettingsWith(const PluginState& s, const ProfileIo& io) {
  for (const SettingRow& row : SettingRows) {
    char text[ProfileTextCapacity];
    FormatDecimal(SettingValue(s, row), text);
    io.WriteString(io.Context, SettingsSection, row.Key, text);
  }
}
