// Reading extended dialog templates, every field bounds-checked.
#include "dialog_template.h"

#include <cstring>

namespace {

// Reads the template front to back; any read past the end marks it failed.
struct Reader {
  std::span<const uint8_t> Bytes;
  size_t At = 0;
  bool Failed = false;

  template <class T>
  T Next() {
    T value{};
    if (At > Bytes.size() || Bytes.size() - At < sizeof(T))
      Failed = true;
    else
      std::memcpy(&value, Bytes.data() + At, sizeof(T));
    At += sizeof(T);
    return value;
  }
  std::string Text() {
    std::string read;
    for (uint16_t c = Next<uint16_t>(); c != 0 && !Failed; c = Next<uint16_t>())
      read += c < 128 ? static_cast<char>(c) : '?';
    return read;
  }
  // A name, or 0xFFFF and an ordinal; the predefined classes' ordinals come back as their names.
  std::string NameOrOrdinal() {
    if (At + 2 > Bytes.size() || Bytes[At] != 0xFF || Bytes[At + 1] != 0xFF) return Text();
    At += 2;
    static const char* const classes[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    const uint16_t ordinal = Next<uint16_t>();
    return ordinal >= 0x80 && ordinal <= 0x85 ? classes[ordinal - 0x80] : "#" + std::to_string(ordinal);
  }
};

}  // namespace

std::ostream& operator<<(std::ostream& out, const DialogItem& item) {
  return out << "{" << item.Id << ", " << item.Class << ", \"" << item.Text << "\", style 0x" << std::hex
             << item.Style << ", ex 0x" << item.ExStyle << std::dec << ", " << item.X << ", " << item.Y
             << ", " << item.Width << ", " << item.Height << "}";
}

bool ReadDialogTemplate(std::span<const uint8_t> bytes, DialogTemplate& dialog) {
  Reader read{bytes};
  if (read.Next<uint16_t>() != 1 || read.Next<uint16_t>() != 0xFFFF) return false;  // version, signature
  read.Next<uint32_t>();                                                            // help id
  dialog.ExStyle = read.Next<uint32_t>();
  dialog.Style = read.Next<uint32_t>();
  const uint16_t count = read.Next<uint16_t>();
  dialog.X = read.Next<int16_t>(), dialog.Y = read.Next<int16_t>();
  dialog.Width = read.Next<int16_t>(), dialog.Height = read.Next<int16_t>();
  dialog.Menu = read.NameOrOrdinal();
  dialog.Class = read.NameOrOrdinal();
  dialog.Caption = read.Text();
  constexpr uint32_t SetFont = 0x40;  // DS_SETFONT: the font follows
  if ((dialog.Style & SetFont) != 0) {
    dialog.PointSize = read.Next<uint16_t>(), dialog.Weight = read.Next<uint16_t>();
    dialog.Italic = read.Next<uint8_t>(), dialog.Charset = read.Next<uint8_t>();
    dialog.Face = read.Text();
  }
  for (uint16_t i = 0; i < count && !read.Failed; ++i) {
    read.At = (read.At + 3) / 4 * 4;
    read.Next<uint32_t>();  // help id
    DialogItem item{};
    item.ExStyle = read.Next<uint32_t>();
    item.Style = read.Next<uint32_t>();
    item.X = read.Next<int16_t>(), item.Y = read.Next<int16_t>();
    item.Width = read.Next<int16_t>(), item.Height = read.Next<int16_t>();
    item.Id = read.Next<int32_t>();
    item.Class = read.NameOrOrdinal();
    item.Text = read.NameOrOrdinal();
    read.At += read.Next<uint16_t>();  // creation data
    dialog.Items.push_back(item);
  }
  return !read.Failed;
}
