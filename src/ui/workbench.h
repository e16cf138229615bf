// The workbench in the map column: the caption with the group's box and
// "C", the checkable item list, the item under the mouse, and the buttons.
// It shows the client's workbench model and turns mouse events into calls
// on it.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <functional>

namespace tarnel {

class Client;

// A list box that tells when the mouse moves over it, leaves it and is
// released over it.
class TMouseSensitiveListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TMouseSensitiveListBox(QWidget* parent);

  std::function<void(QMouseEvent&)> OnMove;
  std::function<void()> OnLeave;
  std::function<void()> OnRelease;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
};

class TWorkbench : public QWidget {
  Q_OBJECT
 public:
  TWorkbench(Client& client, QWidget* parent);

  // Components, named as the rest of the client knows them.
  QLabel* Label1 = nullptr;    // "Верстак:" and the caption
  QCheckBox* CheckBox2 = nullptr;  // the group "toolbox"
  QPushButton* Button3 = nullptr;  // "C": the workbench emptied
  TMouseSensitiveListBox* CheckListBox1 = nullptr;  // the items
  QLabel* Label2 = nullptr;    // the item under the mouse or the selected one
  TMouseSensitiveListBox* ListBox1 = nullptr;       // the buttons

  std::function<void()> FocusCommandLine;

  // The lists, labels and the group's box show the model (the box without
  // running its handler).
  void ShowModel();
  void ShowGroupBox();

 private:
  void ShowItems();
  void ShowButtons();
  void ShowSelection();
  int ItemAt(QPoint p) const;

  Client& client_;
  bool filling_ = false;
};

}  // namespace tarnel
