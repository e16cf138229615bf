// The desktop window of a test: a fresh folder as the current directory and
// the client's home, a client on the host H (a GuiHost that records what a
// test needs), and the main window, shown by Start().
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/gui_host.h"
#include "app/main_form.h"

namespace tarnel {

template <typename H>
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tarnel-ui-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    qputenv("TARNEL_HOME", dir_.string().c_str());
    client_ = std::make_unique<Client>(host_);
    host_.Attach(client_.get());
    form_ = std::make_unique<TMainForm>(*client_, host_);
    host_.SetForm(form_.get());
  }
  void TearDown() override {
    form_.reset();
    client_.reset();
    std::filesystem::current_path(old_cwd_);
    std::filesystem::remove_all(dir_);
  }
  // Creation, the window shown and active, the focus in the command line,
  // the log off.
  void Start(const std::vector<std::string>& args = {}, QSize size = QSize(800, 600)) {
    form_->FormCreate(args);
    form_->resize(size);
    form_->show();
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    QTest::qWait(30);
    form_->Edit1->setFocus();
    client_->store.Variables().SetValue("global._logfile", "");
  }

  H host_;
  std::unique_ptr<Client> client_;
  std::unique_ptr<TMainForm> form_;
  std::filesystem::path dir_;
  std::filesystem::path old_cwd_;
};

}  // namespace tarnel
