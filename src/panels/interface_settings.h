// The look of the main window: which controls make up each element, the
// look they were designed with, how the settings of TARNEL.ini change it,
// and the model of the "Редактор интерфейса" dialog.
//
// A setting's key is an element name, a point and a property: "_font",
// "_font_size", "_font_width", "_font_height", "_font_color", "_color".
// Colours are "$" and six hexadecimal digits in blue-green-red order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/string_list.h"

namespace tarnel {

class Client;

// The kinds of control the settings know, each with its own treatment.
// A control of any other kind takes nothing and gives no defaults.
enum class ControlKind { Other, Label, Button, Memo, Edit, Panel, Grid, CheckListBox, ListBox };

// One pair of the registry: an element and a control of the main window
// by its component name.  An element without a control has an empty name.
struct InterfaceElement {
  std::string_view element;
  std::string_view control;
};
// Every pair in registration order; an element may stand several times.
const std::vector<InterfaceElement>& InterfaceRegistry();

// "$" and six upper-case hex digits of the low 24 bits; the digits alone.
std::string ColourText(std::uint32_t colour);
std::string ColourDigits(std::uint32_t colour);
// A colour from its text by integer conversion ("$00A000", "41120"); none
// when the text is not a number.  Only the low 24 bits count.
std::optional<std::uint32_t> ReadColour(std::string_view text);
// A whole number of a setting, none when empty, not a number or not in the
// range of an int.
std::optional<int> ReadSettingInteger(std::string_view text);
// Font sizes above this are taken as not a number: a mistyped size must not
// make the window build glyphs as large as the screen.
inline constexpr int kMaxFontSize = 200;

// The terminals' font and cell.
struct TerminalLook {
  std::string font;
  int font_size = 0;
  int char_width = 0;
  int line_height = 0;
};

// The look one control has.
struct ControlLook {
  std::string font;
  int font_size = 0;
  std::uint32_t font_color = 0;
  std::uint32_t color = 0;
};

// What the settings change on one control; an empty part stays as it is.
struct ControlChange {
  std::optional<std::string> font;
  std::optional<int> font_size;
  std::optional<std::uint32_t> font_color;
  std::optional<std::uint32_t> color;
};

// The terminals' defaults and the map's two colours, first in the list.
void AddTerminalDefaults(TStringList& defaults, const TerminalLook& terminal);
// One control's defaults under its element's name; a later control of the
// same element replaces what an earlier one set.
void AddControlDefaults(TStringList& defaults, std::string_view element, ControlKind kind,
                        const ControlLook& look);
// The terminal as the settings leave it: the font name when given, the
// size above 7, the cell width and line height from their settings, or
// from the font size when those are empty or not above 0.  Each value that
// is not a number leaves its own property as it was.  Settings without any
// of the terminal's keys leave the terminal as it is.
TerminalLook TerminalAfterSettings(const TStringList& settings, TerminalLook current);
// What the settings of an element change on one of its controls.
ControlChange ControlSettings(const TStringList& settings, std::string_view element,
                              ControlKind kind);

// The client's part: the defaults list, filled once at start-up.  The
// current settings themselves are Client::settings.
class InterfaceSettings {
 public:
  TStringList defaults;
};

// The designer dialog's model: its editing copy of the current settings,
// the object shown, and what its fields and swatches hold.
class InterfaceEditor {
 public:
  enum class Field { Font, Size, Width, Height, Color, FontColor };
  struct Fields {
    std::string font, size, width, height, color, font_color;
  };

  // The dialog opens: the object list from the defaults, the editing copy
  // from the current settings, the first object selected.
  explicit InterfaceEditor(Client& client);

  const std::vector<std::string>& Objects() const { return objects_; }
  int Selected() const { return selected_; }
  const std::string& SelectedObject() const;
  void Select(int index);
  // "Ширина знакоместа:"/"Высота строки:" only for the terminal; "Шрифт:"
  // and "Размер:" for everything but the map.
  bool ShowsCellPanel() const { return SelectedObject() == "terminal"; }
  bool ShowsFontPanel() const { return SelectedObject() != "map"; }
  // What the fields show for the selected object.
  Fields FieldValues() const;

  // Whether a typed character goes into a field (control characters
  // always do).
  static bool Accepts(Field field, char c);
  // A field's text changed: it is stored under the selected object.  A
  // colour field's text is stored with "$" when it converts; the colour
  // then shows on its swatch and is returned.
  std::optional<std::uint32_t> Store(Field field, std::string_view text);
  // The colours on the two swatches ("Цвет фона:", "Цвет текста:").
  std::uint32_t Swatch(Field field) const;
  void SetSwatch(Field field, std::uint32_t colour);

  // "Сбросить": every default back into the editing copy; other keys stay.
  void Reset();
  // "Сохранить": the current settings become the editing copy and are
  // written to TARNEL.ini; false when the file could not be written.
  bool Save();

  const TStringList& Copy() const { return copy_; }
  std::string Key(Field field) const;

 private:
  Client& client_;
  TStringList copy_;
  std::vector<std::string> objects_;
  int selected_ = -1;
  std::array<std::uint32_t, 2> swatches_ = {0xFFFFFF, 0xFFFFFF};
};

}  // namespace tarnel
