// Painting the terminal view on the offscreen platform: a full repaint of a
// 120x50 terminal, and the repaint after one line scrolls in.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "ui/emul_vt.h"

namespace {

std::string ColourLine(int n) {
  static const char* colours[] = {"\x1b[0;32m", "\x1b[1;33m", "\x1b[0;37m", "\x1b[1;31m",
                                  "\x1b[0;36m", "\x1b[1;34m"};
  std::string s;
  for (int w = 0; w < 12; ++w) {
    s += colours[(n + w) % 6];
    s += "word";
    s += static_cast<char>('a' + (n + w) % 26);
    s += static_cast<char>(0xE0 + (n * 7 + w) % 32);
    s += ' ';
  }
  return s + "\x1b[0m\r\n";
}

struct View {
  tarnel::TEmulVT vt;
  View() {
    vt.SetCharWidth(8);
    vt.SetLineHeight(15);
    vt.resize(8 * 121 + 4, 15 * 50 + 4);
    vt.SetRows(50);
    vt.SetCols(120);
    vt.Screen().WrapAtMargin = true;
    vt.SetAutoRepaint(false);
    for (int i = 0; i < 60; ++i) vt.Screen().FeedText(ColourLine(i));
    vt.show();
    QApplication::processEvents();
  }
};

void BM_FullRepaint120x50(benchmark::State& state) {
  View v;
  for (auto _ : state) v.vt.repaint();
}
BENCHMARK(BM_FullRepaint120x50)->Unit(benchmark::kMicrosecond);

void BM_ScrollOneLine120x50(benchmark::State& state) {
  View v;
  int n = 0;
  for (auto _ : state) {
    v.vt.Screen().ScrollCount = 0;
    v.vt.Screen().FeedText(ColourLine(n++));
    v.vt.FlushDirty();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_ScrollOneLine120x50)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
