// The desktop window with real key events.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <filesystem>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"

namespace tarnel {
namespace {

using namespace literals;
namespace fs = std::filesystem;

// A host that records what was sent, on top of the real window host.
class RecordingHost : public GuiHost {
 public:
  std::vector<std::string> sent;
  std::string printed;
  void SocketSend(std::string_view bytes) override { sent.emplace_back(bytes); }
  void TerminalWritten(TerminalId id, std::string_view text) override {
    if (id == TerminalId::Main) printed.append(text);
    GuiHost::TerminalWritten(id, text);
  }
};

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-ui-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    qputenv("TARNEL_HOME", dir_.string().c_str());
    client_ = std::make_unique<Client>(host_);
    host_.Attach(client_.get());
    form_ = std::make_unique<TMainForm>(*client_, host_);
    host_.SetForm(form_.get());
  }
  void TearDown() override {
    form_.reset();
    client_.reset();
    fs::current_path(old_cwd_);
    fs::remove_all(dir_);
  }
  void Start(const std::vector<std::string>& args = {}) {
    form_->FormCreate(args);
    form_->resize(800, 600);
    form_->show();
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    QTest::qWait(50);
    form_->Edit1->setFocus();
    client_->store.Variables().SetValue("global._logfile", "");
    host_.printed.clear();
  }
  void Type(const QString& text) {
    QTest::keyClicks(form_->Edit1, text);
    QApplication::processEvents();
  }
  void Enter() { QTest::keyClick(form_->Edit1, Qt::Key_Return); }

  RecordingHost host_;
  std::unique_ptr<Client> client_;
  std::unique_ptr<TMainForm> form_;
  fs::path dir_;
  fs::path old_cwd_;
};

TEST_F(MainFormTest, EnterRunsTheLineWithEchoOn) {
  Start();
  Type("/echo hello");
  EXPECT_EQ(form_->Edit1->text(), "/echo hello");
  Enter();
  EXPECT_EQ(form_->Edit1->text(), "");
  EXPECT_NE(host_.printed.find("hello\r\n"), std::string::npos) << host_.printed;
  client_->connection.OnConnected();
  Type("north");
  Enter();
  EXPECT_NE(host_.printed.find("north\r\n"), std::string::npos);
  ASSERT_EQ(host_.sent.size(), 1u);
  EXPECT_EQ(host_.sent[0], "north\r");
}

}  // namespace
}  // namespace tarnel
