// Any byte stream, any screen size and any sequence of resizes must be safe,
// and feeding text whole must do exactly what feeding it byte by byte does.
// Two screens get the same operations, one through FeedText and one through
// FeedByte; they must end alike, and no line may appear in two places.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "support/screen_snapshot.h"
#include "terminal/screen.h"

namespace {

using tarnel::TLine;
using tarnel::TScreen;

struct Observed {
  int beeps = 0;
  int visibility = 0;
  std::string debug;
};

void Attach(TScreen& s, Observed& o) {
  s.OnBeep = [&o] { ++o.beeps; };
  s.OnDebug = [&o](std::string_view text) { o.debug += text; };
  s.CursorVisibilityHandler = [&o](TScreen&) { ++o.visibility; };
}

std::string Snapshot(const TScreen& s) { return tarnel::test::ScreenSnapshot(s); }

void Fail(const char* what) {
  std::fprintf(stderr, "screen_fuzz: %s\n", what);
  std::abort();
}

void CheckStore(const TScreen& s) {
  if (s.ScreenRows() < 1 || s.HistoryRows() < 0) Fail("store size out of range");
  if (s.HistoryTop() > 0 || s.HistoryTop() < std::min(0, 1 - s.HistoryRows()))
    Fail("HistoryTop outside the store");
  if (s.RegionTop() < 0 || s.RegionTop() > s.RegionBottom() || s.RegionBottom() >= s.ScreenRows())
    Fail("scroll region outside the screen");
  if (s.RowLine(-s.HistoryRows() - 1) != nullptr) Fail("a row older than the store has a line");
  std::set<const TLine*> seen;
  for (int r = -s.HistoryRows(); r < s.ScreenRows(); ++r) {
    const TLine* line = s.RowLine(r);
    if (!line) Fail("a row of the store has no line");
    if (!seen.insert(line).second) Fail("a line appears in two rows");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  TScreen whole, bytes;
  Observed seen_whole, seen_bytes;
  Attach(whole, seen_whole);
  Attach(bytes, seen_bytes);
  TScreen* both[] = {&whole, &bytes};

  const int rows = in.ConsumeIntegralInRange(-2, 40);
  const int cols = in.ConsumeIntegralInRange(-5, 320);
  const int history = in.ConsumeIntegralInRange(-2, 60);
  const auto flags = in.ConsumeIntegral<std::uint16_t>();
  for (TScreen* s : both) {
    s->ResizeRows(rows);
    s->ResizeHistory(history);
    s->ScreenCols = cols;
    s->WrapAtMargin = flags & 1;
    s->AutoLF = flags & 2;
    s->AutoCR = flags & 4;
    s->TranslateIn = flags & 8;
    s->TranslateInitial = flags & 16;
    s->Options = static_cast<tarnel::TScreenOptions>((flags >> 5) & 3);
    s->BackColor = static_cast<std::uint8_t>((flags >> 7) & 7);
    if (flags & 1024) s->CursorRow = s->ScreenRows();  // parked, as the main window does
  }

  while (in.remaining_bytes() > 0) {
    const auto op = in.ConsumeIntegral<std::uint8_t>();
    switch (op % 16) {
      case 0: {
        const int n = in.ConsumeIntegralInRange(-3, 45);
        for (TScreen* s : both) s->ResizeRows(n);
        break;
      }
      case 1: {
        const int n = in.ConsumeIntegralInRange(-3, 70);
        for (TScreen* s : both) s->ResizeHistory(n);
        break;
      }
      case 2: {
        const int n = in.ConsumeIntegralInRange(-10, 400);
        for (TScreen* s : both) s->ScreenCols = n;
        break;
      }
      case 3: {
        const int row = in.ConsumeIntegralInRange(-100, 100);
        const int col = in.ConsumeIntegralInRange(-100, 1000);
        for (TScreen* s : both) {
          s->CursorRow = row;
          s->CursorCol = col;
        }
        break;
      }
      case 4: {
        const auto what = in.ConsumeIntegral<std::uint8_t>() % 6;
        for (TScreen* s : both) {
          switch (what) {
            case 0: s->PushScreenToHistory(); break;
            case 1: s->BlankScreen(); break;
            case 2: s->ScrollRegionUp(); break;
            case 3: s->ScrollRegionDown(); break;
            case 4: s->ResetDirty(); break;
            default: s->CurAttr = static_cast<tarnel::CellAttribute>(op); break;
          }
        }
        break;
      }
      case 5: {
        const int row = in.ConsumeIntegral<int>();
        const int col = in.ConsumeIntegral<int>();
        for (TScreen* s : both) {
          s->PlaceCursor(col, row);
          if (const TLine* line = s->RowLine(row)) {
            volatile char c = line->Chars[tarnel::kLastColumn];
            (void)c;
          }
        }
        break;
      }
      default: {
        const std::string chunk =
            in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 512));
        const int a = whole.FeedText(chunk);
        int b = 0;
        for (const char c : chunk) b += bytes.FeedByte(static_cast<std::uint8_t>(c));
        if (a != b) Fail("FeedText and FeedByte count different line starts");
        break;
      }
    }
  }

  CheckStore(whole);
  CheckStore(bytes);
  if (Snapshot(whole) != Snapshot(bytes)) Fail("FeedText and FeedByte left different screens");
  if (seen_whole.beeps != seen_bytes.beeps || seen_whole.visibility != seen_bytes.visibility ||
      seen_whole.debug != seen_bytes.debug)
    Fail("FeedText and FeedByte told the owner different things");
  return 0;
}
