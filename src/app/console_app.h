// The console client: the same core in a text terminal.  Lines from standard
// input run as if typed in the command line; what the client prints goes to
// standard output.
#pragma once

#include <termios.h>

#include <QObject>
#include <QSocketNotifier>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interp/client.h"
#include "platform/qt_host.h"
#include "terminal/sgr_resolver.h"

namespace tarnel {

class ConsoleHost : public QtHost {
  Q_OBJECT
 public:
  explicit ConsoleHost(bool raw) : raw_(raw) {}
  ~ConsoleHost() override;
  void TerminalWritten(TerminalId id, std::string_view text) override;
  void SetSecretInput(bool on) override;
  void RequestClose() override;
  bool CloseRequested() const { return close_requested_; }

 signals:
  void closeRequested();

 private:
  bool raw_;
  bool close_requested_ = false;
  SgrResolver resolver_;
  // The terminal's settings from before a password was asked for.
  std::optional<termios> saved_termios_;
};

class ConsoleApp : public QObject {
  Q_OBJECT
 public:
  ConsoleApp(bool raw, std::vector<std::string> args);
  // Runs the client until "/quit" or the end of input; returns the exit code.
  int Run();

 private:
  void ReadInput();
  void Drain();
  void MaybeFinish();
  void ScheduleDrain();
  void CatchInterrupts();
  void Interrupted();

  ConsoleHost host_;
  Client client_;
  std::vector<std::string> args_;
  bool raw_;
  bool interactive_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QSocketNotifier> interrupt_notifier_;
  int interrupt_read_ = -1;
  std::string pending_;
  std::deque<std::string> lines_;
  bool eof_ = false;
  bool draining_ = false;
  bool finished_ = false;
  bool drain_scheduled_ = false;
};

}  // namespace tarnel
