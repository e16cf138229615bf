// The terminals of the main window: fitting, the history view and its
// scroll bar.

#include <QSignalBlocker>

#include "app/main_form.h"

namespace tarnel {

void TMainForm::FitTerminal() {
  const int w = Panel5->width();
  const int h = Panel5->height();
  EmulVT1->setGeometry(0, 0, w, h);
  EmulVT1->SetRows(std::max(1, (h - 4) / EmulVT1->LineHeight()));
  EmulVT1->SetCols(std::max(1, (w - 4) / EmulVT1->CharWidth() - 1));
  TScreen& s = EmulVT1->Screen();
  s.WrapAtMargin = true;
  // One past the last row: output goes on at the bottom and the next line
  // feed scrolls.
  s.CursorRow = EmulVT1->Rows();
  EmulVT1->update();
}

void TMainForm::FitHistoryView() {
  const int w = Panel17->width() - ScrollBar1->sizeHint().width();
  const int h = Panel17->height();
  EmulVT2->SetRows(std::max(1, (h - 4) / EmulVT2->LineHeight() - 1));
  EmulVT2->SetCols(std::max(1, (w - 4) / EmulVT2->CharWidth() - 1));
  TScreen& s = EmulVT2->Screen();
  s.WrapAtMargin = true;
  s.CursorRow = EmulVT2->Rows();
  EmulVT2->update();
}

void TMainForm::CloseQueryPanel() { Panel15->ClosePanel(); }

void TMainForm::SetHistoryPosition(int position) { ScrollBar1->setValue(position); }

void TMainForm::ScrollBar1Change(int position) {
  if (position <= 0) {
    if (!Panel17->isVisible()) {
      Panel17->show();
      Panel15->hide();
      if (!CheckBox4->isChecked()) client_.queries.Selected = -1;
      // Open with the history taking most of the column.
      const int total = column_split_->height();
      column_split_->setSizes({total * 2 / 3, total - total * 2 / 3});
      FitHistoryView();
      const QSignalBlocker block(ScrollBar1);
      ScrollBar1->setValue(0);
      position = 0;
    }
  } else {
    {
      const QSignalBlocker block(ScrollBar1);
      ScrollBar1->setValue(0);
    }
    Panel17->hide();
    if (!CheckBox4->isChecked() && client_.queries.PanelVisible && client_.queries.Selected >= 0) {
      Panel15->show();
      LayOutQueryPanel();
    }
  }
  EmulVT2->SetFirstShownRow(position > 0 ? 0 : position);
  EmulVT2->update();
}

void TMainForm::TerminalWritten(TerminalId id) {
  if (id == TerminalId::Main) {
    EmulVT1->AfterWrite();
    return;
  }
  EmulVT2->AfterWrite();
  // Keep the history view still while text arrives: it moves back by the
  // rows that just scrolled in.
  if (ScrollBar1->value() < 1 && Panel17->isVisible()) {
    const QSignalBlocker block(ScrollBar1);
    ScrollBar1->setValue(ScrollBar1->value() + EmulVT2->Screen().ScrollCount);
    EmulVT2->SetFirstShownRow(ScrollBar1->value(), false);
    EmulVT2->FlushDirty();
  } else {
    EmulVT2->Screen().ResetDirty();
  }
}

void TMainForm::RepaintTerminal(TerminalId id) {
  if (id == TerminalId::Main)
    EmulVT1->FlushDirty();
  else
    EmulVT2->FlushDirty();
}

}  // namespace tarnel
