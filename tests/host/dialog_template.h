// A reader of extended dialog templates (DLGTEMPLATEEX), portable: what a module's RT_DIALOG
// resource holds, for the tests of both programs' dialogs. Texts are read as ASCII ('?' beyond).
#pragma once
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

struct DialogItem {
  int32_t Id;
  std::string Class;  // the predefined classes' ordinals as their names ("BUTTON", ...)
  std::string Text;
  uint32_t Style;
  int16_t X, Y, Width, Height;
  uint32_t ExStyle = 0;
  bool operator==(const DialogItem&) const = default;
};
std::ostream& operator<<(std::ostream& out, const DialogItem& item);

struct DialogTemplate {
  uint32_t Style = 0, ExStyle = 0;
  int16_t X = 0, Y = 0, Width = 0, Height = 0;
  std::string Menu, Class, Caption;  // empty: none, the standard class
  uint16_t PointSize = 0, Weight = 0;
  uint8_t Italic = 0, Charset = 0;
  std::string Face;
  std::vector<DialogItem> Items;
};

// False when `bytes` is not a whole extended template.
bool ReadDialogTemplate(std::span<const uint8_t> bytes, DialogTemplate& dialog);
