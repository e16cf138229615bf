#include "ui/qt_keys.h"

#include <QGuiApplication>

#include "input/key_names.h"

namespace tarnel {

namespace {

// X11 and Wayland key codes (evdev + 8) of a US keyboard.
int FromScanCode(quint32 code) {
  static const struct {
    quint32 code;
    int vk;
  } kCodes[] = {
      {9, 27},   {10, 49},  {11, 50},  {12, 51},  {13, 52},  {14, 53},  {15, 54},  {16, 55},
      {17, 56},  {18, 57},  {19, 48},  {20, 189}, {21, 187}, {22, 8},   {23, 9},   {24, 'Q'},
      {25, 'W'}, {26, 'E'}, {27, 'R'}, {28, 'T'}, {29, 'Y'}, {30, 'U'}, {31, 'I'}, {32, 'O'},
      {33, 'P'}, {34, 219}, {35, 221}, {36, 13},  {38, 'A'}, {39, 'S'}, {40, 'D'}, {41, 'F'},
      {42, 'G'}, {43, 'H'}, {44, 'J'}, {45, 'K'}, {46, 'L'}, {47, 186}, {48, 222}, {49, 192},
      {51, 220}, {52, 'Z'}, {53, 'X'}, {54, 'C'}, {55, 'V'}, {56, 'B'}, {57, 'N'}, {58, 'M'},
      {59, 188}, {60, 190}, {61, 191}, {63, 106}, {65, 32},  {67, 112}, {68, 113}, {69, 114},
      {70, 115}, {71, 116}, {72, 117}, {73, 118}, {74, 119}, {75, 120}, {76, 121}, {79, 103},
      {80, 104}, {81, 105}, {82, 109}, {83, 100}, {84, 101}, {85, 102}, {86, 107}, {87, 97},
      {88, 98},  {89, 99},  {90, 96},  {91, 110}, {95, 122}, {96, 123}, {104, 13}, {106, 111},
      {110, 36}, {111, 38}, {112, 33}, {113, 37}, {114, 39}, {115, 35}, {116, 40}, {117, 34},
      {118, 45}, {119, 46},
  };
  for (const auto& k : kCodes)
    if (k.code == code) return k.vk;
  return -1;
}

int KeypadKey(int key) {
  switch (key) {
    case Qt::Key_0: case Qt::Key_Insert: return vk::kNumpad0;
    case Qt::Key_1: case Qt::Key_End: return 97;
    case Qt::Key_2: case Qt::Key_Down: return 98;
    case Qt::Key_3: case Qt::Key_PageDown: return 99;
    case Qt::Key_4: case Qt::Key_Left: return 100;
    case Qt::Key_5: case Qt::Key_Clear: return 101;
    case Qt::Key_6: case Qt::Key_Right: return 102;
    case Qt::Key_7: case Qt::Key_Home: return 103;
    case Qt::Key_8: case Qt::Key_Up: return 104;
    case Qt::Key_9: case Qt::Key_PageUp: return 105;
    case Qt::Key_Asterisk: return vk::kMultiply;
    case Qt::Key_Plus: return vk::kAdd;
    case Qt::Key_Minus: return vk::kSubtract;
    case Qt::Key_Slash: return vk::kDivide;
    case Qt::Key_Period: case Qt::Key_Comma: case Qt::Key_Delete: return vk::kDecimal;
    case Qt::Key_Enter: return vk::kReturn;
    default: return 0;
  }
}

int FromQtKey(int key) {
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return vk::kF1 + (key - Qt::Key_F1);
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  switch (key) {
    case Qt::Key_Backspace: return vk::kBack;
    case Qt::Key_Tab: case Qt::Key_Backtab: return vk::kTab;
    case Qt::Key_Return: case Qt::Key_Enter: return vk::kReturn;
    case Qt::Key_Escape: return vk::kEscape;
    case Qt::Key_PageUp: return vk::kPrior;
    case Qt::Key_PageDown: return vk::kNext;
    case Qt::Key_End: return vk::kEnd;
    case Qt::Key_Home: return vk::kHome;
    case Qt::Key_Left: return vk::kLeft;
    case Qt::Key_Up: return vk::kUp;
    case Qt::Key_Right: return vk::kRight;
    case Qt::Key_Down: return vk::kDown;
    case Qt::Key_Insert: return vk::kInsert;
    case Qt::Key_Delete: return vk::kDelete;
    case Qt::Key_Space: return 32;
    case Qt::Key_Shift: return vk::kShift;
    case Qt::Key_Control: return vk::kControl;
    case Qt::Key_Alt: return vk::kMenu;
    // Shifted symbols keep the code of their key.
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 189;
    case Qt::Key_Equal: case Qt::Key_Plus: return 187;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 220;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 219;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 221;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 186;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 222;
    case Qt::Key_Comma: case Qt::Key_Less: return 188;
    case Qt::Key_Period: case Qt::Key_Greater: return 190;
    case Qt::Key_Slash: case Qt::Key_Question: return 191;
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    default: return 0;
  }
}

}  // namespace

int VirtualKeyOf(const QKeyEvent& event) {
  const int key = event.key();
  if (event.modifiers() & Qt::KeypadModifier) {
    if (const int k = KeypadKey(key)) return k;
  }
  const QString platform = QGuiApplication::platformName();
  if (event.nativeScanCode() != 0 && (platform == "xcb" || platform.startsWith("wayland"))) {
    const int k = FromScanCode(event.nativeScanCode());
    if (k > 0) return k;
  }
  return FromQtKey(key);
}

}  // namespace tarnel
