#include "ui/interface_apply.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableView>
#include <QTextEdit>

#include "interp/client.h"
#include "platform/qt_host.h"
#include "ui/emul_vt.h"
#include "ui/output_window.h"

namespace tarnel {

namespace {

QColor FromBgr(std::uint32_t bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

std::uint32_t ToBgr(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

int PointSize(const QFont& font) {
  // A font set in pixels has no point size of its own: the one it shows in.
  return font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
}

// The palette roles of a kind's text and background.
QPalette::ColorRole TextRole(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
    case ControlKind::Panel: return QPalette::WindowText;
    case ControlKind::Button: return QPalette::ButtonText;
    default: return QPalette::Text;
  }
}

QPalette::ColorRole BackRole(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
    case ControlKind::Panel: return QPalette::Window;
    case ControlKind::Button: return QPalette::Button;
    default: return QPalette::Base;
  }
}

ControlKind KindByName(const QString& name) {
  static const std::pair<const char*, ControlKind> kNames[] = {
      {"TLabel", ControlKind::Label},
      {"TButton", ControlKind::Button},
      {"TMemo", ControlKind::Memo},
      {"TEdit", ControlKind::Edit},
      {"tmyedit", ControlKind::Edit},
      {"TPanel", ControlKind::Panel},
      {"TStringGrid", ControlKind::Grid},
      {"tmygrid", ControlKind::Grid},
      {"TCheckListBox", ControlKind::CheckListBox},
      {"TListBox", ControlKind::ListBox},
      {"TMouseSensitivelistbox", ControlKind::ListBox}};
  for (const auto& [n, k] : kNames)
    if (name == QLatin1String(n)) return k;
  return ControlKind::Other;
}

QWidget* FindControl(QWidget& window, std::string_view name) {
  if (name.empty()) return nullptr;
  return window.findChild<QWidget*>(
      QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
}

// Colours on a widget whose own style sheet would hide a palette change:
// one rule for its name after the sheet it was built with, holding the
// colours set so far.
void SetSheetColours(QWidget& w, const std::optional<QColor>& text,
                     const std::optional<QColor>& back) {
  if (!w.property("designSheet").isValid()) w.setProperty("designSheet", w.styleSheet());
  if (text) w.setProperty("sheetTextColour", *text);
  if (back) w.setProperty("sheetBackColour", *back);
  QString rule;
  if (const QVariant t = w.property("sheetTextColour"); t.isValid())
    rule += QString(" color: %1;").arg(t.value<QColor>().name());
  if (const QVariant b = w.property("sheetBackColour"); b.isValid())
    rule += QString(" background: %1;").arg(b.value<QColor>().name());
  w.setStyleSheet(w.property("designSheet").toString() +
                  QString("\n#%1 {%2 }").arg(w.objectName(), rule));
}

void SetColours(QWidget& w, ControlKind kind, const std::optional<QColor>& text,
                const std::optional<QColor>& back) {
  if (!text && !back) return;
  QPalette p = w.palette();
  if (text) p.setColor(TextRole(kind), *text);
  if (back) p.setColor(BackRole(kind), *back);
  w.setPalette(p);
  // Under a window with a style sheet the palette no longer passes down to
  // a scroll area's viewport, which paints the background: it gets its own.
  if (auto* area = qobject_cast<QAbstractScrollArea*>(&w)) {
    QPalette v = area->viewport()->palette();
    if (text) v.setColor(TextRole(kind), *text);
    if (back) v.setColor(BackRole(kind), *back);
    area->viewport()->setPalette(v);
  }
  // Labels and panels paint their background only when asked to.
  if (back && (kind == ControlKind::Label || kind == ControlKind::Panel))
    w.setAutoFillBackground(true);
  if (!w.styleSheet().isEmpty() || w.property("designSheet").isValid())
    SetSheetColours(w, text, back);
}

// The fixed cells of the property grid in the colour of Panel13.
void ColourFixedCells(QWidget& window) {
  auto* grid = qobject_cast<QTableView*>(FindControl(window, "StringGrid1"));
  QWidget* panel = FindControl(window, "Panel13");
  if (grid == nullptr || panel == nullptr) return;
  const QColor colour = FromBgr(ReadControlLook(*panel, ControlKindOf(*panel)).color);
  // The headers, and the grid's own button colour its fixed column takes.
  for (QWidget* fixed :
       {static_cast<QWidget*>(grid->horizontalHeader()),
        static_cast<QWidget*>(grid->verticalHeader()), static_cast<QWidget*>(grid)}) {
    QPalette p = fixed->palette();
    p.setColor(QPalette::Button, colour);
    if (fixed != grid) p.setColor(QPalette::Window, colour);
    fixed->setPalette(p);
  }
}

void Repaint(QWidget& window) {
  if (QWidget* slider = FindControl(window, "TrackBar1")) slider->update();
  window.update();
}

}  // namespace

ControlKind ControlKindOf(const QWidget& w) {
  if (const QVariant named = w.property("interfaceKind"); named.isValid())
    return KindByName(named.toString());
  if (qobject_cast<const QLabel*>(&w)) return ControlKind::Label;
  if (qobject_cast<const QPushButton*>(&w)) return ControlKind::Button;
  if (qobject_cast<const QPlainTextEdit*>(&w) || qobject_cast<const QTextEdit*>(&w))
    return ControlKind::Memo;
  if (qobject_cast<const QLineEdit*>(&w)) return ControlKind::Edit;
  if (qobject_cast<const QTableView*>(&w)) return ControlKind::Grid;
  if (qobject_cast<const QListView*>(&w)) {
    const bool checkable = w.objectName() == "CheckListBox1" || w.property("checkList").toBool();
    return checkable ? ControlKind::CheckListBox : ControlKind::ListBox;
  }
  // A plain panel, or a panel class of our own made straight on one (the
  // workbench).
  const QMetaObject* cls = w.metaObject();
  const char* base = cls->superClass() ? cls->superClass()->className() : "";
  for (const char* plain : {"QWidget", "QFrame"})
    if (qstrcmp(cls->className(), plain) == 0 || qstrcmp(base, plain) == 0)
      return ControlKind::Panel;
  return ControlKind::Other;
}

ControlLook ReadControlLook(const QWidget& w, ControlKind kind) {
  // A style sheet gives its colours to the palette when the widget is
  // polished.
  w.ensurePolished();
  ControlLook look;
  look.font = FromQString(w.font().family());
  look.font_size = PointSize(w.font());
  look.font_color = ToBgr(w.palette().color(TextRole(kind)));
  look.color = ToBgr(w.palette().color(BackRole(kind)));
  return look;
}

void SetControlLook(QWidget& w, ControlKind kind, const ControlChange& change) {
  if (kind == ControlKind::Other) return;
  QFont font = w.font();
  bool font_changed = false;
  if (change.font) {
    const QString family = ToQString(*change.font);
    if (font.family() != family) {
      font.setFamily(family);
      font_changed = true;
    }
  }
  // The same size again leaves a font set in pixels as it is.
  if (change.font_size && PointSize(font) != *change.font_size) {
    font.setPointSize(*change.font_size);
    font_changed = true;
  }
  if (font_changed) w.setFont(font);
  std::optional<QColor> text, back;
  if (change.font_color) text = FromBgr(*change.font_color);
  if (change.color && kind != ControlKind::Button) back = FromBgr(*change.color);
  SetColours(w, kind, text, back);
}

TerminalLook TerminalLookOf(const TEmulVT& terminal) {
  TerminalLook t;
  t.font = FromQString(terminal.font().family());
  t.font_size = PointSize(terminal.font());
  t.char_width = terminal.CharWidth();
  t.line_height = terminal.LineHeight();
  return t;
}

void BuildInterfaceDefaults(Client& client, QWidget& window, const TEmulVT& terminal) {
  TStringList& defaults = client.interface.defaults;
  defaults.Clear();
  AddTerminalDefaults(defaults, TerminalLookOf(terminal));
  for (const InterfaceElement& pair : InterfaceRegistry()) {
    QWidget* w = FindControl(window, pair.control);
    if (w == nullptr) continue;
    const ControlKind kind = ControlKindOf(*w);
    if (kind != ControlKind::Other)
      AddControlDefaults(defaults, pair.element, kind, ReadControlLook(*w, kind));
  }
  ColourFixedCells(window);
  Repaint(window);
}

void ApplyInterfaceSettings(const Client& client, QWidget& window, TEmulVT& terminal,
                            TEmulVT& history) {
  const TerminalLook now = TerminalLookOf(terminal);
  const TerminalLook next = TerminalAfterSettings(client.settings, now);
  QFont font = terminal.font();
  if (next.font != now.font) font.setFamily(ToQString(next.font));
  if (next.font_size != now.font_size) font.setPointSize(next.font_size);
  if (next.font != now.font || next.font_size != now.font_size) {
    terminal.setFont(font);
    terminal.SetGlyphFont(font);
  }
  if (next.char_width != now.char_width) terminal.SetCharWidth(next.char_width);
  if (next.line_height != now.line_height) terminal.SetLineHeight(next.line_height);
  ApplyTerminalLook(terminal, history);

  for (const InterfaceElement& pair : InterfaceRegistry()) {
    QWidget* w = FindControl(window, pair.control);
    if (w == nullptr) continue;
    const ControlKind kind = ControlKindOf(*w);
    SetControlLook(*w, kind, ControlSettings(client.settings, pair.element, kind));
  }
  ColourFixedCells(window);
  Repaint(window);
}

void ApplyTerminalLook(const TEmulVT& from, TEmulVT& to) {
  if (to.font() != from.font()) {
    to.setFont(from.font());
    to.SetGlyphFont(from.font());
  }
  if (to.CharWidth() != from.CharWidth()) to.SetCharWidth(from.CharWidth());
  if (to.LineHeight() != from.LineHeight()) to.SetLineHeight(from.LineHeight());
}

void ApplyTerminalLook(const TEmulVT& from, TForm1& window) {
  ApplyTerminalLook(from, *window.EmulVT1);
  // The window fits its rows and columns to the new cell as on a resize.
  if (window.isVisible()) {
    QResizeEvent resize(window.size(), window.size());
    QApplication::sendEvent(&window, &resize);
  }
}

}  // namespace tarnel
