// The interface settings on real widgets: the look the window was built
// with becomes the defaults, and the current settings give the terminals
// and every registered control their fonts and colours.
//
// The settings know the controls by the kinds of the classic component
// set; our widgets stand for them as follows (the first that fits):
//   a dynamic property "interfaceKind" naming the kind ("TPanel", ...)
//   QLabel                                   TLabel
//   QPushButton                              TButton
//   QPlainTextEdit, QTextEdit                TMemo
//   QLineEdit (the command line tmyedit too) TEdit / tmyedit
//   QTableView, QTableWidget                 TStringGrid / tmygrid
//   QListView named "CheckListBox1", or with
//     the property "checkList" set           TCheckListBox
//   any other QListView, QListWidget         TListBox / TMouseSensitivelistbox
//   a plain QWidget or QFrame, or a panel
//     class of ours made straight on one
//     (the workbench Panel7)                 TPanel
// Anything else (check boxes, sliders, tab bars, scroll areas) takes
// nothing, as a control of an unknown class would.
#pragma once

#include <QWidget>

#include "panels/interface_settings.h"

namespace tarnel {

class Client;
class TEmulVT;
class TForm1;

ControlKind ControlKindOf(const QWidget& widget);
// The look a control shows now (its style sheet's colours included).
ControlLook ReadControlLook(const QWidget& widget, ControlKind kind);
// Sets what the change holds.  Colours go into the palette, or, on a
// widget with a style sheet of its own (where the palette has no say),
// into a rule for the widget's name after its sheet.
void SetControlLook(QWidget& widget, ControlKind kind, const ControlChange& change);

// The terminal's font and cell.  The terminal's font is kept as the
// widget's font too, so it can be read back.
TerminalLook TerminalLookOf(const TEmulVT& terminal);

// The defaults from the window as built: the terminal, the map's colours
// and every registered control found under the window by its name.
void BuildInterfaceDefaults(Client& client, QWidget& window, const TEmulVT& terminal);
// The current settings on the main terminal (the history view takes the
// same) and on every registered control.
void ApplyInterfaceSettings(const Client& client, QWidget& window, TEmulVT& terminal,
                            TEmulVT& history);
// Another terminal takes the font and cell of the main one; an output
// window fits its terminal anew.
void ApplyTerminalLook(const TEmulVT& from, TEmulVT& to);
void ApplyTerminalLook(const TEmulVT& from, TForm1& window);

}  // namespace tarnel
