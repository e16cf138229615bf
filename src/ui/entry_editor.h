// The entry editor above the terminal: one list of the script store in a
// grid with a filter, and the fields that change, add and delete its
// entries.  It shows the client's editor model and turns key and mouse
// events into calls on it.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <functional>

#include "script/string_list.h"

namespace tarnel {

class Client;

// The grid of the editor: whole rows selected, cells never edited in
// place; Enter, Insert, Delete and Escape go to the editor.
class tmygrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit tmygrid(QWidget* parent);
  std::function<bool(QKeyEvent&)> OnKeyDown;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class TEntryEditor : public QWidget {
  Q_OBJECT
 public:
  TEntryEditor(Client& client, TStringList& key_names, QWidget* parent);

  // Components, named as the rest of the client knows them.
  QWidget* Panel13 = nullptr;  // the caption strip
  QLabel* Label11 = nullptr;   // the kind shown
  QLabel* Label12 = nullptr;   // "Фильтр:"
  QLineEdit* Edit14 = nullptr; // the filter
  QPushButton* Button2 = nullptr;  // "X"
  tmygrid* StringGrid1 = nullptr;
  QWidget* Panel12 = nullptr;  // the fields
  QLineEdit* Edit13 = nullptr; // group
  QLineEdit* Edit11 = nullptr; // name
  QLineEdit* Edit12 = nullptr; // value
  QLabel* Label7 = nullptr;    // the command "Принять" runs
  QPushButton* Button6 = nullptr;  // "Добавить"
  QPushButton* Button7 = nullptr;  // "Удалить"
  QPushButton* Button8 = nullptr;  // "Принять"

  // The panel closes: the focus goes to the command line and the terminal
  // is fitted again; "X" hides the emulator panel too.
  std::function<void(bool emulator_too)> OnClose;

  // The grid, the caption and the fields show the model.
  void ShowModel();
  // An editor command opened the panel: the grid stands on its first row.
  void Opened();
  // A key in one of the editor's fields or the grid that the editor takes
  // before the window sees it (a hotkey name being captured).
  bool CapturesKeys(QObject* watched) const;
  void Close(bool emulator_too);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowGrid();
  void ShowFields();
  void GridRowChosen(int row);
  void NameEdited();
  void Accept();
  void Add();
  void Delete();
  bool GridKey(QKeyEvent& e);

  Client& client_;
  TStringList& key_names_;
  bool filling_ = false;
  std::uint64_t shown_generation_ = 0;
};

}  // namespace tarnel
