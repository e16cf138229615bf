#include "app/gui_host.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include "app/main_form.h"
#include "text/paths.h"

namespace tarnel {

GuiHost::GuiHost() = default;
GuiHost::~GuiHost() = default;

void GuiHost::TerminalWritten(TerminalId id, std::string_view) {
  if (form_) form_->TerminalWritten(id);
}

void GuiHost::RepaintTerminal(TerminalId id) {
  if (form_) form_->RepaintTerminal(id);
}

void GuiHost::BusyIndicatorChanged(char c) {
  if (form_) form_->SetBusyIndicator(c);
}

void GuiHost::RefreshPanels() {
  if (form_) form_->RefreshPanels();
}

void GuiHost::QueryPanelChanged() {
  if (form_) form_->Panel15->ShowModel();
}

bool GuiHost::HasOutputWindow(const std::string& title) { return form_ && form_->HasOutputWindow(title); }

void GuiHost::OutputWindow(const std::string& title, WindowRequest what, std::string_view text) {
  if (form_) form_->OutputWindowRequest(title, what, text);
}

void GuiHost::FocusCommandLine() {
  if (form_) form_->Edit1->setFocus();
}

std::string GuiHost::CommandLine() const { return form_ ? FromQString(form_->Edit1->text()) : std::string(); }

void GuiHost::SetCommandLine(std::string_view text) {
  if (!form_) return;
  form_->Edit1->setText(ToQString(text));
  form_->Edit1->setCursorPosition(form_->Edit1->text().size());
}

void GuiHost::RedrawMap() {
  if (form_) form_->Panel1->DrawMap();
}

void GuiHost::MapProgress(int position, int maximum) {
  if (form_) form_->Panel1->ShowProgress(position, maximum);
}

void GuiHost::HideMapProgress() {
  if (form_) form_->Panel1->HideProgress();
}

void GuiHost::FillMapRoomPanel() {
  if (form_) form_->Panel1->FillRoomPanel();
}

void GuiHost::SetMapZoom(int zoom) {
  if (form_) form_->Panel1->SetZoom(zoom);
}

void GuiHost::SetMapPanelWidth(int width) {
  if (!form_ || width <= 0) return;
  QSplitter* s = form_->Splitter2;
  const int total = std::max(s->width(), width + 100);
  s->setSizes({total - width, width});
}

void GuiHost::SetMapPanelHeight(int height) {
  if (form_) form_->Panel1->SetMapHeight(height);
}

void GuiHost::SetTitle(std::string_view title) {
  Host::SetTitle(title);
  if (form_) form_->setWindowTitle(ToQString(title));
}

std::string GuiHost::Title() const { return form_ ? FromQString(form_->windowTitle()) : Host::Title(); }

void GuiHost::SetStayOnTop(bool on) {
  if (!form_) return;
  const bool visible = form_->isVisible();
  form_->setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (visible) form_->show();
}

void GuiHost::RequestClose() { CloseWhenIdle(); }

// The window closes once the commands that asked for it have returned.
void GuiHost::CloseWhenIdle() {
  QTimer::singleShot(0, this, [this] {
    if ((client_ && client_->interp.CommandDepth > 0) || (form_ && !form_->Shown())) {
      QTimer::singleShot(10, this, [this] { CloseWhenIdle(); });
      return;
    }
    if (form_) form_->close();
  });
}

void GuiHost::FocusMainWindow() {
  if (!form_) return;
  if (form_->isMinimized()) form_->showNormal();
  form_->raise();
  form_->activateWindow();
}

void GuiHost::ShowEmulatorPanel() {
  if (form_) form_->ShowEmulatorPanel();
}

void GuiHost::OpenEntryEditor(EntryKind) {
  // The model holds the list; the query panel gives way to the editor.
  if (form_) form_->OpenEntryEditor();
}

void GuiHost::ApplyInterfaceSettings() {
  if (form_) form_->ApplyInterfaceSettings();
}

void GuiHost::ClearSelection(TerminalId id) {
  if (!form_) return;
  TEmulVT* vt = id == TerminalId::Main ? form_->EmulVT1 : form_->EmulVT2;
  vt->ClearSelection();
  vt->update();
}

void GuiHost::CompletionDue() {
  if (form_) form_->Timer2Timer();
}

void GuiHost::SetSecretInput(bool on) {
  if (form_) form_->Edit1->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
}

void GuiHost::InsertPendingKey() {
  if (form_) form_->Edit1->InsertPending();
}

void GuiHost::Beep() { QApplication::beep(); }

void GuiHost::PlaySound(const std::string& path) {
  // Any failure (no file, no audio device) is silent.
  if (!text::FileExists(path)) return;
  if (!sound_) sound_ = std::make_unique<QSoundEffect>();
  sound_->setSource(QUrl::fromLocalFile(QString::fromStdString(text::NativePath(path))));
  sound_->play();
}

QString DialogFilter(std::string_view filter) {
  const QStringList parts = ToQString(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    patterns.replace("*.*", "*");
    out << QString("%1 (%2)").arg(parts[i], patterns.trimmed());
  }
  return out.join(";;");
}

std::string GuiHost::AskOpenFileName(std::string_view filter) {
  const QString name = QFileDialog::getOpenFileName(form_, QString(), QString(), DialogFilter(filter));
  return name.isEmpty() ? std::string() : text::FromNativePath(name.toStdString());
}

std::string GuiHost::AskMapFileName(bool save, std::string_view filter, std::string_view folder) {
  const QString start = folder.empty() ? QString() : QString::fromStdString(text::NativePath(std::string(folder)));
  const QString name = save ? QFileDialog::getSaveFileName(form_, QString(), start, DialogFilter(filter))
                            : QFileDialog::getOpenFileName(form_, QString(), start, DialogFilter(filter));
  return name.isEmpty() ? std::string() : text::FromNativePath(name.toStdString());
}

std::string GuiHost::AskSaveFileName(std::string_view filter) {
  const QString name = QFileDialog::getSaveFileName(form_, QString(), QString(), DialogFilter(filter));
  return name.isEmpty() ? std::string() : text::FromNativePath(name.toStdString());
}

}  // namespace tarnel
