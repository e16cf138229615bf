// The "Редактор интерфейса" dialog: the fonts and colours of the terminal,
// the map and each element of the window, edited on a copy of the current
// settings and saved to TARNEL.ini.  The model decides; the dialog shows
// it and passes the player's edits on.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <memory>
#include <optional>

#include "panels/interface_settings.h"

namespace tarnel {

class Client;

class TInterfaceDesigner : public QDialog {
  Q_OBJECT
 public:
  // The editing copy is made and the first object shown as the dialog is
  // made; it lives as long as the dialog.
  TInterfaceDesigner(Client& client, QWidget* parent);
  ~TInterfaceDesigner() override;

  QListWidget* ObjectList = nullptr;
  QWidget* FontPanel = nullptr;  // "Шрифт:", "Размер:"
  QLineEdit* FontEdit = nullptr;
  QPushButton* FontButton = nullptr;  // "..."
  QLineEdit* SizeEdit = nullptr;
  QWidget* CellPanel = nullptr;  // "Ширина знакоместа:", "Высота строки:"
  QLineEdit* WidthEdit = nullptr;
  QLineEdit* HeightEdit = nullptr;
  QLineEdit* ColorEdit = nullptr;  // "Цвет фона:"
  QLabel* ColorSwatch = nullptr;
  QLineEdit* FontColorEdit = nullptr;  // "Цвет текста:"
  QLabel* FontColorSwatch = nullptr;
  QPushButton* ResetButton = nullptr;   // "Сбросить"
  QPushButton* SaveButton = nullptr;    // "Сохранить"
  QPushButton* CancelButton = nullptr;  // "Отмена"

  // The modal pickers and the message box; nothing chosen is an empty
  // answer.  They start as the platform's own dialogs.
  std::function<std::optional<QFont>(const QFont& initial)> PickFont;
  std::function<std::optional<QColor>(const QColor& initial)> PickColour;
  std::function<void(const QString& text)> ShowError;

  InterfaceEditor& Model() { return *model_; }
  // Shows the selected object's fields and panels.
  void ShowObject();
  void ChooseFont();
  void ChooseColour(InterfaceEditor::Field swatch);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* FieldEdit(InterfaceEditor::Field field) const;
  void FieldChanged(InterfaceEditor::Field field, const QString& text);
  void PaintSwatch(InterfaceEditor::Field field);
  void SaveClicked();

  std::unique_ptr<InterfaceEditor> model_;
};

// Shows the dialog modally over the window; true when it closed with OK.
bool RunInterfaceDesigner(Client& client, QWidget* parent);

}  // namespace tarnel
