#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ui/emul_vt.h"

namespace tarnel {
namespace {

namespace fs = std::filesystem;

TEST(TerminalView, TheRawLogTakesEveryByteBeforeInterpretation) {
  const fs::path dir = fs::temp_directory_path() / ("tarnel-rawlog-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  {
    TEmulVT vt;
    EXPECT_EQ(std::string(vt.Screen().RowLine(0)->Chars, 6), "EmulVT");
    vt.SetLog(true);
    vt.ShowText("\x1b[31mred\r\n");
    vt.ShowByte('x');
  }  // destroying the view closes the log
  fs::current_path(old);
  std::ifstream in(dir / "EMULVT.LOG", std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(log, "<Open>\x1b[31mred\r\nx<Close>");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnel
