#include "input/key_names.h"

namespace tarnel {

TStringList BuildKeyNames() {
  TStringList l;
  auto add = [&](int code, const std::string& name) { l.Add(std::to_string(code) + "=" + name); };
  for (int i = 0; i < 12; ++i) add(112 + i, "F" + std::to_string(i + 1));
  add(192, "`");
  for (int i = 1; i <= 9; ++i) add(48 + i, std::to_string(i));
  add(48, "0");
  add(189, "-");
  add(187, "=");
  add(220, "\\");
  add(9, "TAB");
  for (char c : std::string("QWERTYUIOP")) add(c, std::string(1, c));
  add(219, "[");
  add(221, "]");
  for (char c : std::string("ASDFGHJKL")) add(c, std::string(1, c));
  add(186, ";");
  add(222, "'");
  for (char c : std::string("ZXCVBNM")) add(c, std::string(1, c));
  add(188, ",");
  add(190, ".");
  add(191, "/");
  add(111, "DIV");
  add(106, "MUL");
  add(109, "MIN");
  add(103, "NUM7");
  add(104, "NUM8");
  add(105, "NUM9");
  add(107, "ADD");
  add(100, "NUM4");
  add(101, "NUM5");
  add(102, "NUM6");
  add(97, "NUM1");
  add(98, "NUM2");
  add(99, "NUM3");
  add(96, "NUM0");
  add(110, "NUMDEL");
  add(33, "PGUP");
  add(34, "PGDN");
  add(35, "END");
  add(36, "HOME");
  add(45, "INS");
  add(46, "DEL");
  return l;
}

std::string KeyName(TStringList& key_names, int code, bool ctrl, bool alt, bool shift) {
  if (code == 0) return {};
  std::string name = key_names.GetValue(std::to_string(code));
  if (name.empty()) return {};
  if (ctrl) name = "CTRL+" + name;
  if (alt) name = "ALT+" + name;
  if (shift) name = "SHIFT+" + name;
  return name;
}

std::string EditorKeyName(TStringList& key_names, int code, bool ctrl, bool alt, bool shift) {
  std::string name = KeyName(key_names, code, false, false, false);
  if (name.empty()) return {};
  if (ctrl) name = "Ctrl+" + name;
  if (alt) name = "Alt+" + name;
  if (shift) name = "Shift+" + name;
  return name;
}

}  // namespace tarnel
