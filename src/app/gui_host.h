// The Host of the desktop client: the core's requests carried out on the
// main window.
#pragma once

#include <QSoundEffect>
#include <memory>

#include "platform/qt_host.h"

namespace tarnel {

class TMainForm;

class GuiHost : public QtHost {
  Q_OBJECT
 public:
  GuiHost();
  ~GuiHost() override;
  void SetForm(TMainForm* form) { form_ = form; }

  void TerminalWritten(TerminalId id, std::string_view text) override;
  void RepaintTerminal(TerminalId id) override;
  void BusyIndicatorChanged(char c) override;
  void RefreshPanels() override;
  void SetTitle(std::string_view title) override;
  std::string Title() const override;
  void SetStayOnTop(bool on) override;
  void RequestClose() override;
  void FocusMainWindow() override;
  void ShowEmulatorPanel() override;
  void OpenEntryEditor(EntryKind kind) override;
  void ApplyInterfaceSettings() override;
  void ClearSelection(TerminalId id) override;
  void SetSecretInput(bool on) override;
  void CompletionDue() override;
  void InsertPendingKey() override;
  void Beep() override;
  void PlaySound(const std::string& path) override;
  bool CanAskFiles() const override { return true; }
  std::string AskOpenFileName(std::string_view filter) override;
  std::string AskSaveFileName(std::string_view filter) override;
  std::string AskMapFileName(bool save, std::string_view filter, std::string_view folder) override;

  // Chat tabs, output windows, the command line.
  bool HasPanelWindows() const override { return true; }
  void QueryPanelChanged() override;
  bool HasOutputWindow(const std::string& title) override;
  void OutputWindow(const std::string& title, WindowRequest what, std::string_view text) override;
  void FocusCommandLine() override;
  void SetCommandLine(std::string_view text) override;
  std::string CommandLine() const override;

  // The map column.
  void RedrawMap() override;
  void MapProgress(int position, int maximum) override;
  void HideMapProgress() override;
  void FillMapRoomPanel() override;
  void SetMapZoom(int zoom) override;
  void SetMapPanelWidth(int width) override;
  void SetMapPanelHeight(int height) override;

 private:
  void CloseWhenIdle();

  TMainForm* form_ = nullptr;
  std::unique_ptr<QSoundEffect> sound_;
};

// A Delphi-style filter ("Текст|*.txt;*.log|Все|*.*") as a Qt file dialog
// filter.
QString DialogFilter(std::string_view filter);

}  // namespace tarnel
