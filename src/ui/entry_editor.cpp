#include "ui/entry_editor.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "input/key_names.h"
#include "interp/client.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"
#include "ui/qt_keys.h"

namespace tarnel {

using namespace literals;

tmygrid::tmygrid(QWidget* parent) : QTableWidget(parent) {
  setColumnCount(3);
  setHorizontalHeaderLabels({ToQString("Группа"_cp), ToQString("Имя"_cp), ToQString("Значение"_cp)});
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setSectionsClickable(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setTabKeyNavigation(false);
}

void tmygrid::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown && OnKeyDown(*event)) return;
  QTableWidget::keyPressEvent(event);
}

TEntryEditor::TEntryEditor(Client& client, TStringList& key_names, QWidget* parent)
    : QWidget(parent), client_(client), key_names_(key_names) {
  setObjectName("Panel9");
  // Its own background: the window around it is black.
  setAutoFillBackground(true);
  setPalette(QApplication::palette());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Panel13 = new QWidget(this);
  Panel13->setObjectName("Panel13");
  Panel13->setAutoFillBackground(true);
  auto* strip = new QHBoxLayout(Panel13);
  strip->setContentsMargins(4, 2, 2, 2);
  strip->setSpacing(6);
  Label11 = new QLabel(Panel13);
  Label11->setObjectName("Label11");
  Label12 = new QLabel(ToQString("Фильтр:"_cp), Panel13);
  Label12->setObjectName("Label12");
  Edit14 = new QLineEdit(Panel13);
  Edit14->setObjectName("Edit14");
  Button2 = new QPushButton("X", Panel13);
  Button2->setObjectName("Button2");
  Button2->setFixedWidth(28);
  Button2->setFocusPolicy(Qt::NoFocus);
  strip->addWidget(Label11);
  strip->addStretch(1);
  strip->addWidget(Label12);
  strip->addWidget(Edit14, 2);
  strip->addWidget(Button2);
  layout->addWidget(Panel13);

  StringGrid1 = new tmygrid(this);
  StringGrid1->setObjectName("StringGrid1");
  layout->addWidget(StringGrid1, 1);

  // The fields stretch over the width the buttons at the right leave.
  Panel12 = new QWidget(this);
  Panel12->setObjectName("Panel12");
  Panel12->setAutoFillBackground(true);
  auto* fields = new QHBoxLayout(Panel12);
  fields->setContentsMargins(2, 2, 2, 2);
  fields->setSpacing(3);
  auto* edits = new QVBoxLayout;
  edits->setSpacing(2);
  auto* names = new QHBoxLayout;
  names->setSpacing(3);
  Edit13 = new QLineEdit(Panel12);
  Edit13->setObjectName("Edit13");
  Edit13->setPlaceholderText(ToQString("группа"_cp));
  Edit11 = new QLineEdit(Panel12);
  Edit11->setObjectName("Edit11");
  Edit11->setPlaceholderText(ToQString("имя"_cp));
  names->addWidget(Edit13, 1);
  names->addWidget(Edit11, 2);
  Edit12 = new QLineEdit(Panel12);
  Edit12->setObjectName("Edit12");
  Edit12->setPlaceholderText(ToQString("значение"_cp));
  Label7 = new QLabel(Panel12);
  Label7->setObjectName("Label7");
  Label7->setTextFormat(Qt::PlainText);
  Label7->setMinimumWidth(10);
  edits->addLayout(names);
  edits->addWidget(Edit12);
  edits->addWidget(Label7);
  fields->addLayout(edits, 1);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(2);
  Button6 = new QPushButton(ToQString("Добавить"_cp), Panel12);
  Button6->setObjectName("Button6");
  Button7 = new QPushButton(ToQString("Удалить"_cp), Panel12);
  Button7->setObjectName("Button7");
  Button8 = new QPushButton(ToQString("Принять"_cp), Panel12);
  Button8->setObjectName("Button8");
  // Enter in the grid and in the fields accepts, as a default button would.
  Button8->setDefault(true);
  for (QPushButton* b : {Button6, Button7, Button8}) {
    b->setFocusPolicy(Qt::NoFocus);
    buttons->addWidget(b);
  }
  buttons->addStretch();
  fields->addLayout(buttons);
  layout->addWidget(Panel12);

  EntryEditorModel& m = client_.editor;
  connect(Edit14, &QLineEdit::textChanged, this, [this, &m](const QString& text) {
    m.Filter = FromQString(text);
    m.Refresh(client_.store);
    ShowGrid();
  });
  connect(StringGrid1, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
    if (!filling_) GridRowChosen(row);
  });
  connect(StringGrid1, &QTableWidget::cellClicked, this, [this](int row, int) {
    if (!filling_) GridRowChosen(row);
  });
  connect(Edit13, &QLineEdit::textChanged, this, [this] {
    if (!filling_) NameEdited();
  });
  connect(Edit11, &QLineEdit::textChanged, this, [this] {
    if (!filling_) NameEdited();
  });
  connect(Edit12, &QLineEdit::textChanged, this, [this, &m](const QString& text) {
    if (filling_) return;
    m.ValueChanged(FromQString(text));
    Label7->setText(ToQString(m.Preview));
  });
  connect(Button6, &QPushButton::clicked, this, &TEntryEditor::Add);
  connect(Button7, &QPushButton::clicked, this, &TEntryEditor::Delete);
  connect(Button8, &QPushButton::clicked, this, &TEntryEditor::Accept);
  connect(Button2, &QPushButton::clicked, this, [this] { Close(true); });
  StringGrid1->OnKeyDown = [this](QKeyEvent& e) { return GridKey(e); };
  for (QLineEdit* field : {Edit13, Edit11, Edit12, Edit14}) field->installEventFilter(this);
}

void TEntryEditor::ShowModel() {
  const EntryEditorModel& m = client_.editor;
  Label11->setText(ToQString(m.Caption()));
  // Hotkey names come from key presses; the groups' group is fixed.
  Edit11->setReadOnly(m.ShowsHotkeys());
  Edit13->setEnabled(!m.ShowsGroups());
  ShowGrid();
}

void TEntryEditor::Opened() {
  ShowGrid();
  ShowFields();
  StringGrid1->scrollToTop();
}

void TEntryEditor::ShowGrid() {
  const EntryEditorModel& m = client_.editor;
  filling_ = true;
  const QSignalBlocker block(StringGrid1);
  if (m.Generation == shown_generation_ && StringGrid1->rowCount() == static_cast<int>(m.Rows.size())) {
    // The rows are as shown: only the selection may have moved.
    StringGrid1->setCurrentCell(m.SelectedRow, m.ShowsGroups() ? 1 : 0);
    filling_ = false;
    return;
  }
  shown_generation_ = m.Generation;
  StringGrid1->setUpdatesEnabled(false);
  const int rows = static_cast<int>(m.Rows.size());
  StringGrid1->setRowCount(rows);
  const QBrush fixed = StringGrid1->palette().button();
  for (int r = 0; r < rows; ++r) {
    const EntryEditorModel::Row& row = m.Rows[r];
    const std::string* cells[3] = {&row.group, &row.name, &row.value};
    for (int col = 0; col < 3; ++col) {
      QTableWidgetItem* item = StringGrid1->item(r, col);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        StringGrid1->setItem(r, col, item);
      }
      const QString text = ToQString(*cells[col]);
      if (item->text() != text) item->setText(text);
      // For groups the first column is fixed, like the header.
      if (col == 0) item->setBackground(m.ShowsGroups() ? fixed : QBrush());
    }
  }
  StringGrid1->setCurrentCell(m.SelectedRow, m.ShowsGroups() ? 1 : 0);
  StringGrid1->setUpdatesEnabled(true);
  filling_ = false;
}

void TEntryEditor::ShowFields() {
  const EntryEditorModel& m = client_.editor;
  filling_ = true;
  Edit13->setText(ToQString(m.Group));
  Edit11->setText(ToQString(m.Name));
  Edit12->setText(ToQString(m.Value));
  Label7->setText(ToQString(m.Preview));
  filling_ = false;
}

void TEntryEditor::GridRowChosen(int row) {
  client_.editor.SelectRow(row);
  ShowFields();
}

void TEntryEditor::NameEdited() {
  EntryEditorModel& m = client_.editor;
  const int row = m.NameChanged(client_.store, FromQString(Edit13->text()), FromQString(Edit11->text()));
  filling_ = true;
  // A point ends the group and "=" the name: neither can be typed there.
  if (Edit13->text() != ToQString(m.Group)) Edit13->setText(ToQString(m.Group));
  if (Edit11->text() != ToQString(m.Name)) Edit11->setText(ToQString(m.Name));
  Edit12->setText(ToQString(m.Value));
  Label7->setText(ToQString(m.Preview));
  filling_ = false;
  if (row >= 0) {
    const QSignalBlocker block(StringGrid1);
    StringGrid1->setCurrentCell(row, m.ShowsGroups() ? 1 : 0);
    StringGrid1->scrollToItem(StringGrid1->item(row, 0));
  }
}

void TEntryEditor::Accept() {
  client_.editor.Accept(client_);
  ShowModel();
}

void TEntryEditor::Add() {
  if (!client_.editor.Add()) return;
  ShowFields();
  Edit11->setFocus();
}

void TEntryEditor::Delete() {
  if (client_.editor.Delete(client_)) ShowModel();
}

void TEntryEditor::Close(bool emulator_too) {
  client_.editor.Close();
  hide();
  if (OnClose) OnClose(emulator_too);
}

bool TEntryEditor::GridKey(QKeyEvent& e) {
  switch (e.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Accept();
      return true;
    case Qt::Key_Insert:
      Add();
      return true;
    case Qt::Key_Delete:
      Delete();
      return true;
    case Qt::Key_Escape:
      Close(false);
      return true;
    default:
      return false;
  }
}

bool TEntryEditor::CapturesKeys(QObject* watched) const {
  return watched == Edit11 && client_.editor.ShowsHotkeys() && isVisible();
}

bool TEntryEditor::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto& e = *static_cast<QKeyEvent*>(event);
  const int key = e.key();
  if (key == Qt::Key_Escape) {
    Close(false);
    return true;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    Accept();
    return true;
  }
  if (CapturesKeys(watched)) {
    // The name of a hotkey is the key pressed, with its modifiers.
    const Qt::KeyboardModifiers mods = e.modifiers();
    const std::string name = EditorKeyName(key_names_, VirtualKeyOf(e), mods & Qt::ControlModifier,
                                           mods & Qt::AltModifier, mods & Qt::ShiftModifier);
    if (!name.empty()) {
      Edit11->setText(ToQString(name));
    }
    return true;
  }
  return false;
}

}  // namespace tarnel
