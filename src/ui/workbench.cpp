#include "ui/workbench.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "interp/client.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

TMouseSensitiveListBox::TMouseSensitiveListBox(QWidget* parent) : QListWidget(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

void TMouseSensitiveListBox::mouseMoveEvent(QMouseEvent* event) {
  QListWidget::mouseMoveEvent(event);
  if (OnMove) OnMove(*event);
}

void TMouseSensitiveListBox::mouseReleaseEvent(QMouseEvent* event) {
  QListWidget::mouseReleaseEvent(event);
  if (OnRelease) OnRelease();
}

void TMouseSensitiveListBox::leaveEvent(QEvent* event) {
  QListWidget::leaveEvent(event);
  if (OnLeave) OnLeave();
}

TWorkbench::TWorkbench(Client& client, QWidget* parent) : QWidget(parent), client_(client) {
  setObjectName("Panel7");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(1);

  auto* top = new QHBoxLayout;
  top->setSpacing(3);
  Label1 = new QLabel(ToQString(client_.workbench.Caption), this);
  Label1->setObjectName("Label1");
  Label1->setMinimumWidth(10);
  CheckBox2 = new QCheckBox(this);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setToolTip(ToQString("Группа toolbox"_cp));
  CheckBox2->setFocusPolicy(Qt::NoFocus);
  Button3 = new QPushButton("C", this);
  Button3->setObjectName("Button3");
  Button3->setToolTip(ToQString("Очистить верстак"_cp));
  Button3->setFixedWidth(24);
  Button3->setFocusPolicy(Qt::NoFocus);
  top->addWidget(Label1, 1);
  top->addWidget(CheckBox2);
  top->addWidget(Button3);
  layout->addLayout(top);

  CheckListBox1 = new TMouseSensitiveListBox(this);
  CheckListBox1->setObjectName("CheckListBox1");
  layout->addWidget(CheckListBox1, 3);
  Label2 = new QLabel(this);
  Label2->setObjectName("Label2");
  Label2->setMinimumWidth(10);
  layout->addWidget(Label2);
  ListBox1 = new TMouseSensitiveListBox(this);
  ListBox1->setObjectName("ListBox1");
  layout->addWidget(ListBox1, 2);

  WorkbenchModel& m = client_.workbench;
  connect(CheckListBox1, &QListWidget::itemChanged, this, [this, &m](QListWidgetItem* item) {
    if (filling_) return;
    m.SetChecked(CheckListBox1->row(item), item->checkState() == Qt::Checked);
  });
  connect(CheckListBox1, &QListWidget::itemClicked, this, [this, &m](QListWidgetItem* item) {
    m.ClickItem(client_, CheckListBox1->row(item), false);
    ShowModel();
  });
  connect(CheckListBox1, &QListWidget::itemDoubleClicked, this, [this, &m](QListWidgetItem* item) {
    m.ClickItem(client_, CheckListBox1->row(item), true);
    ShowModel();
  });
  CheckListBox1->OnMove = [this, &m](QMouseEvent& e) {
    const int row = ItemAt(e.position().toPoint());
    const Qt::KeyboardModifiers mods = e.modifiers();
    m.HoverItem(row, e.buttons() & Qt::LeftButton, mods & Qt::ControlModifier, mods & Qt::AltModifier,
                mods & Qt::ShiftModifier);
    if (row >= 0) {
      ShowItems();
      Label2->setText(ToQString(m.Items[row].text));
    } else {
      ShowSelection();
    }
  };
  ListBox1->OnMove = [this, &m](QMouseEvent& e) {
    QListWidgetItem* item = ListBox1->itemAt(e.position().toPoint());
    m.Highlighted = item ? ListBox1->row(item) : -1;
    ShowButtons();
  };
  ListBox1->OnLeave = [this, &m] {
    m.Highlighted = -1;
    ShowButtons();
  };
  connect(ListBox1, &QListWidget::itemClicked, this, [this, &m](QListWidgetItem* item) {
    m.ClickButton(client_, ListBox1->row(item));
    ShowModel();
  });
  for (TMouseSensitiveListBox* list : {CheckListBox1, ListBox1})
    list->OnRelease = [this] {
      if (FocusCommandLine) FocusCommandLine();
    };
  connect(CheckBox2, &QCheckBox::clicked, this, [this, &m](bool on) {
    m.ToggleGroup(client_, on);
    ShowModel();
  });
  connect(Button3, &QPushButton::clicked, this, [this, &m] {
    m.Clear(client_);
    ShowModel();
  });
}

int TWorkbench::ItemAt(QPoint p) const {
  QListWidgetItem* item = CheckListBox1->itemAt(p);
  return item ? CheckListBox1->row(item) : -1;
}

void TWorkbench::ShowModel() {
  Label1->setText(ToQString(client_.workbench.Caption));
  ShowItems();
  ShowButtons();
  ShowSelection();
}

void TWorkbench::ShowGroupBox() { CheckBox2->setChecked(client_.store.GroupOn("toolbox")); }

void TWorkbench::ShowItems() {
  const auto& items = client_.workbench.Items;
  filling_ = true;
  const QSignalBlocker block(CheckListBox1);
  // The list is rebuilt only when its texts changed, so the view keeps its
  // scroll position while the pointer moves.
  bool same = CheckListBox1->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < CheckListBox1->count(); ++i)
    same = CheckListBox1->item(i)->text() == ToQString(items[i].text);
  if (!same) {
    CheckListBox1->clear();
    for (const auto& item : items) {
      auto* row = new QListWidgetItem(ToQString(item.text), CheckListBox1);
      row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
  }
  for (int i = 0; i < CheckListBox1->count(); ++i)
    CheckListBox1->item(i)->setCheckState(items[i].checked ? Qt::Checked : Qt::Unchecked);
  CheckListBox1->setCurrentRow(client_.workbench.Selected);
  if (client_.workbench.Selected < 0) CheckListBox1->clearSelection();
  filling_ = false;
}

void TWorkbench::ShowButtons() {
  const auto& buttons = client_.workbench.Buttons;
  const QSignalBlocker block(ListBox1);
  bool same = ListBox1->count() == static_cast<int>(buttons.size());
  for (int i = 0; same && i < ListBox1->count(); ++i) same = ListBox1->item(i)->text() == ToQString(buttons[i]);
  if (!same) {
    ListBox1->clear();
    for (const auto& b : buttons) ListBox1->addItem(ToQString(b));
  }
  const int h = client_.workbench.Highlighted;
  ListBox1->setCurrentRow(h);
  if (h < 0) ListBox1->clearSelection();
}

void TWorkbench::ShowSelection() { Label2->setText(ToQString(client_.workbench.SelectedText())); }

}  // namespace tarnel
