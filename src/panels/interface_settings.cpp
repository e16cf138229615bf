#include "panels/interface_settings.h"

#include <climits>
#include <filesystem>
#include <system_error>

#include "interp/client.h"
#include "text/numbers.h"
#include "text/paths.h"

namespace tarnel {

const std::vector<InterfaceElement>& InterfaceRegistry() {
  static const std::vector<InterfaceElement> registry = [] {
    std::vector<InterfaceElement> r;
    auto add = [&r](std::string_view element, std::initializer_list<std::string_view> controls) {
      for (std::string_view c : controls) r.push_back({element, c});
    };
    add("commandline", {"Edit1"});
    add("property_grid", {"StringGrid1"});
    add("property_edit", {"Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9",
                          "Edit10", "Edit11", "Edit12", "Edit13", "Edit16", "Edit17", "Edit18"});
    add("property_panel", {"Panel12", "Panel11"});
    add("panels", {"Panel13", "Label7", "Panel7", "Label8"});
    add("labels", {"Edit14", "Label11", "Label12", "Label36", "Label1", "Label2"});
    add("toolbox", {"CheckListBox1"});
    add("toolbox_panel", {"ListBox1"});
    add("map", {""});
    add("map_extension", {"ListBox2"});
    add("query", {"Memo2"});
    add("query_panel", {"Panel14"});
    add("query_chatline", {"Edit15"});
    add("buttons", {"Button6", "Button7", "Button8"});
    return r;
  }();
  return registry;
}

std::string ColourDigits(std::uint32_t colour) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s(6, '0');
  for (int i = 5; i >= 0; --i, colour >>= 4) s[static_cast<std::size_t>(i)] = kHex[colour & 0xF];
  return s;
}

std::string ColourText(std::uint32_t colour) { return "$" + ColourDigits(colour); }

std::optional<std::uint32_t> ReadColour(std::string_view text) {
  // Any 32-bit value, written signed or unsigned, as the platform's colour
  // type holds it.
  const auto v = text::ReadInteger(text);
  if (!v || *v < INT32_MIN || *v > static_cast<std::int64_t>(UINT32_MAX)) return std::nullopt;
  return static_cast<std::uint32_t>(*v) & 0xFFFFFFu;
}

std::optional<int> ReadSettingInteger(std::string_view text) {
  const auto v = text::ReadInteger(text);
  if (!v || *v < INT_MIN || *v > INT_MAX) return std::nullopt;
  return static_cast<int>(*v);
}

namespace {

std::string KeyOf(std::string_view element, std::string_view property) {
  std::string key(element);
  key += '.';
  key += property;
  return key;
}

// A font size the window takes: a number above 7, and not absurdly large.
std::optional<int> FontSize(std::string_view text) {
  const auto v = ReadSettingInteger(text);
  if (!v || *v > kMaxFontSize) return std::nullopt;
  return v;
}

// The cell width or line height of a setting: its own value above 0, the
// fallback when the setting is empty or not above 0, none when it is not a
// number.
std::optional<int> CellSize(std::string_view text, int fallback) {
  if (text.empty()) return fallback;
  const auto v = ReadSettingInteger(text);
  if (!v) return std::nullopt;
  return *v > 0 ? *v : fallback;
}

}  // namespace

void AddTerminalDefaults(TStringList& defaults, const TerminalLook& terminal) {
  defaults.SetValue("terminal._font", terminal.font);
  defaults.SetValue("terminal._font_size", std::to_string(terminal.font_size));
  defaults.SetValue("terminal._font_width", std::to_string(terminal.char_width));
  defaults.SetValue("terminal._font_height", std::to_string(terminal.line_height));
  defaults.SetValue("map._color", "$00A000");
  defaults.SetValue("map._font_color", "$00FF00");
}

void AddControlDefaults(TStringList& defaults, std::string_view element, ControlKind kind,
                        const ControlLook& look) {
  if (kind == ControlKind::Other) return;
  defaults.SetValue(KeyOf(element, "_font"), look.font);
  defaults.SetValue(KeyOf(element, "_font_size"), std::to_string(look.font_size));
  defaults.SetValue(KeyOf(element, "_font_color"), ColourText(look.font_color));
  if (kind != ControlKind::Button)
    defaults.SetValue(KeyOf(element, "_color"), ColourText(look.color));
}

TerminalLook TerminalAfterSettings(const TStringList& settings, TerminalLook t) {
  // Settings that say nothing of the terminal (a file with the last
  // profile alone, or colours saved for one element) leave it as designed:
  // the cell would otherwise follow the font size.
  bool any = false;
  for (const char* key :
       {"terminal._font", "terminal._font_size", "terminal._font_width", "terminal._font_height"})
    any = any || settings.IndexOfName(key) >= 0;
  if (!any) return t;
  const std::string font = settings.GetValue("terminal._font");
  if (!font.empty()) t.font = font;
  if (const auto size = FontSize(settings.GetValue("terminal._font_size")); size && *size > 7)
    t.font_size = *size;
  if (const auto w = CellSize(settings.GetValue("terminal._font_width"), t.font_size))
    t.char_width = *w;
  if (const auto h = CellSize(settings.GetValue("terminal._font_height"), 2 * t.font_size))
    t.line_height = *h;
  return t;
}

ControlChange ControlSettings(const TStringList& settings, std::string_view element,
                              ControlKind kind) {
  ControlChange c;
  if (kind == ControlKind::Other) return c;
  const std::string font = settings.GetValue(KeyOf(element, "_font"));
  if (!font.empty()) c.font = font;
  if (const auto size = FontSize(settings.GetValue(KeyOf(element, "_font_size")));
      size && *size > 7)
    c.font_size = *size;
  c.font_color = ReadColour(settings.GetValue(KeyOf(element, "_font_color")));
  if (kind != ControlKind::Button)
    c.color = ReadColour(settings.GetValue(KeyOf(element, "_color")));
  return c;
}

// The dialog --------------------------------------------------------------

InterfaceEditor::InterfaceEditor(Client& client) : client_(client) {
  const TStringList& defaults = client.interface.defaults;
  for (int i = 0; i < defaults.Count(); ++i) {
    const std::string object(TStringList::GroupOf(defaults.NameAt(i)));
    bool seen = false;
    for (const std::string& o : objects_) seen = seen || o == object;
    if (!seen) objects_.push_back(object);
  }
  for (const std::string& line : client.settings.Lines()) copy_.Add(line);
  if (!objects_.empty()) selected_ = 0;
}

const std::string& InterfaceEditor::SelectedObject() const {
  static const std::string none;
  return selected_ >= 0 ? objects_[static_cast<std::size_t>(selected_)] : none;
}

void InterfaceEditor::Select(int index) {
  if (index >= 0 && index < static_cast<int>(objects_.size())) selected_ = index;
}

std::string InterfaceEditor::Key(Field field) const {
  static constexpr std::string_view kProperty[] = {"_font",        "_font_size", "_font_width",
                                                   "_font_height", "_color",     "_font_color"};
  return KeyOf(SelectedObject(), kProperty[static_cast<int>(field)]);
}

InterfaceEditor::Fields InterfaceEditor::FieldValues() const {
  // Colours show without their "$", padded to six digits.
  auto colour = [](std::string value) {
    std::erase(value, '$');
    if (!value.empty() && value.size() < 6) value.insert(0, 6 - value.size(), '0');
    return value;
  };
  Fields f;
  f.font = copy_.GetValue(Key(Field::Font));
  f.size = copy_.GetValue(Key(Field::Size));
  f.width = copy_.GetValue(Key(Field::Width));
  f.height = copy_.GetValue(Key(Field::Height));
  f.color = colour(copy_.GetValue(Key(Field::Color)));
  f.font_color = colour(copy_.GetValue(Key(Field::FontColor)));
  return f;
}

bool InterfaceEditor::Accepts(Field field, char c) {
  if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  const bool digit = c >= '0' && c <= '9';
  switch (field) {
    case Field::Font: return true;
    case Field::Size:
    case Field::Width:
    case Field::Height: return digit;
    case Field::Color:
    case Field::FontColor: return digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  }
  return true;
}

std::optional<std::uint32_t> InterfaceEditor::Store(Field field, std::string_view text) {
  if (selected_ < 0) return std::nullopt;
  if (field != Field::Color && field != Field::FontColor) {
    copy_.SetValue(Key(field), text);
    return std::nullopt;
  }
  const std::string value = "$" + std::string(text);
  const auto colour = ReadColour(value);
  if (!colour) return std::nullopt;
  SetSwatch(field, *colour);
  copy_.SetValue(Key(field), value);
  return colour;
}

std::uint32_t InterfaceEditor::Swatch(Field field) const {
  return swatches_[field == Field::Color ? 0 : 1];
}

void InterfaceEditor::SetSwatch(Field field, std::uint32_t colour) {
  swatches_[field == Field::Color ? 0 : 1] = colour & 0xFFFFFFu;
}

void InterfaceEditor::Reset() {
  const TStringList& defaults = client_.interface.defaults;
  for (int i = 0; i < defaults.Count(); ++i)
    copy_.SetValue(defaults.NameAt(i), defaults.ValueAt(i));
}

bool InterfaceEditor::Save() {
  TStringList& settings = client_.settings;
  settings.Clear();
  for (const std::string& line : copy_.Lines()) settings.Add(line);
  const std::string path = client_.SettingsPath();
  // The player's own configuration folder may not exist yet.
  std::error_code ec;
  std::filesystem::create_directories(text::NativePath(text::DirectoryOf(path)), ec);
  return settings.SaveToFile(path);
}

}  // namespace tarnel
