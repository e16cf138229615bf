#include "terminal/screen.h"

#include <algorithm>
#include <climits>

namespace tarnel {

namespace {

// Bytes that ground state writes as characters: everything but the controls
// the screen acts on.
constexpr std::array<bool, 256> MakeGlyphClass() {
  std::array<bool, 256> glyph{};
  for (int b = 0; b < 256; ++b) glyph[b] = true;
  for (int b : {0x00, 0x07, 0x08, 0x09, 0x0A, 0x0D, 0x0E, 0x0F, 0x1B}) glyph[b] = false;
  return glyph;
}
constexpr std::array<bool, 256> kGlyph = MakeGlyphClass();

}  // namespace

TScreen::TScreen() {
  screen_.reserve(static_cast<std::size_t>(screen_rows_));
  for (int r = 0; r < screen_rows_; ++r) screen_.push_back(NewLine());
}

TScreen::LinePtr TScreen::NewLine() {
  pool_.push_back(std::make_unique<TLine>());
  return pool_.back().get();
}

TScreen::~TScreen() = default;

// ---------------------------------------------------------------------------
// Storage

TLine* TScreen::RowLine(int row) {
  if (row >= 0) return screen_[static_cast<std::size_t>(std::min(row, screen_rows_ - 1))];
  if (row < -history_rows_) return nullptr;
  return HistorySlot(-row - 1);
}

const TLine* TScreen::RowLine(int row) const { return const_cast<TScreen*>(this)->RowLine(row); }

// Moves history slot k to slot 0 and slots 0..k-1 one step older.  Once the
// history is full k is the last slot but one, and turning the ring and
// putting the spare last slot back costs two moves instead of k.
void TScreen::RotateHistoryPrefix(int k) {
  const int n = history_rows_;
  if (k <= 0) return;
  if (2 * k <= n) {
    LinePtr taken = std::move(HistorySlot(k));
    for (int j = k; j > 0; --j) HistorySlot(j) = std::move(HistorySlot(j - 1));
    HistorySlot(0) = std::move(taken);
    return;
  }
  // Turn the whole ring one step older: slot j now holds the former j - 1 and
  // slot 0 the former last.  Then the slots k + 1 .. n - 1, 0 step back.
  // (A step back without a division: the head is always below n.)
  history_head_ = history_head_ == 0 ? static_cast<std::size_t>(n) - 1 : history_head_ - 1;
  LinePtr taken = std::move(HistorySlot(k + 1));
  for (int j = k + 1; j < n - 1; ++j) HistorySlot(j) = std::move(HistorySlot(j + 1));
  HistorySlot(n - 1) = std::move(HistorySlot(0));
  HistorySlot(0) = std::move(taken);
}

// The whole store as one array ordered from the bottom screen row towards the
// oldest history row, the order in which resizing adds and drops lines.
std::vector<TScreen::LinePtr> TScreen::TakeStore() {
  std::vector<LinePtr> store;
  store.reserve(static_cast<std::size_t>(screen_rows_ + history_rows_));
  for (int r = screen_rows_ - 1; r >= 0; --r) store.push_back(std::move(screen_[r]));
  for (int k = 0; k < history_rows_; ++k) store.push_back(std::move(HistorySlot(k)));
  return store;
}

void TScreen::PutStore(std::vector<LinePtr> store, int rows, int history) {
  const std::size_t total = static_cast<std::size_t>(rows + history);
  store.reserve(total);
  while (store.size() < total) store.push_back(NewLine());
  if (store.size() > total) {
    // The lines that fall off the far end are freed.
    std::vector<LinePtr> dropped(store.begin() + static_cast<long>(total), store.end());
    std::sort(dropped.begin(), dropped.end());
    std::erase_if(pool_, [&](const std::unique_ptr<TLine>& line) {
      return std::binary_search(dropped.begin(), dropped.end(), line.get());
    });
    store.resize(total);
  }
  screen_.clear();
  screen_.resize(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r)
    screen_[r] = std::move(store[static_cast<std::size_t>(rows - 1 - r)]);
  history_.clear();
  history_.resize(static_cast<std::size_t>(history));
  for (int k = 0; k < history; ++k)
    history_[k] = std::move(store[static_cast<std::size_t>(rows + k)]);
  history_head_ = 0;
  screen_rows_ = rows;
  history_rows_ = history;
}

// Growing adds blank lines at the oldest end, so the newest history lines
// become the top screen rows; shrinking turns the top screen rows into
// history and drops the oldest lines.
void TScreen::ResizeRows(int n) {
  // A screen without rows would have no bottom row to address: like a store
  // of no lines at all, such a size is ignored.
  if (n < 1 || n == screen_rows_) return;
  // Rows that move between screen and history move in or out of the
  // history's use too: else the next scroll would take a line that holds
  // text for the blank one it expects at the oldest end, and that text
  // would be lost.
  if (history_rows_ >= 2) {
    // Growing shows history slots as the new top rows; those beyond the
    // lines in use (the spare among them) hold nothing the player wrote.
    const int in_use = -history_top_;
    for (int k = in_use; k < std::min(n - screen_rows_, history_rows_); ++k)
      HistorySlot(k)->Clear(kDefaultAttribute);
    history_top_ = std::clamp(history_top_ + n - screen_rows_, 1 - history_rows_, 0);
  }
  PutStore(TakeStore(), n, history_rows_);
  region_bottom_ = n - 1;
  if (region_top_ > region_bottom_) region_top_ = 0;
}

void TScreen::ResizeHistory(int n) {
  if (n < 0 || n == history_rows_) return;
  PutStore(TakeStore(), screen_rows_, n);
  const int oldest = std::min(0, 1 - n);
  if (history_top_ < oldest) history_top_ = oldest;
}

// ---------------------------------------------------------------------------
// Scrolling: lines change places, characters are never copied.

void TScreen::ApplyBackColor(TLine& line) const {
  const auto back = static_cast<CellAttribute>((BackColor & 7) << 4);
  const int cols = Cols();
  for (int c = 0; c < cols; ++c)
    line.Attrs[c] = static_cast<CellAttribute>((line.Attrs[c] & 0x8F) | back);
}

void TScreen::ScrollRegionUp() {
  const auto top = static_cast<std::size_t>(region_top_);
  const auto bottom = static_cast<std::size_t>(region_bottom_);
  LinePtr taken = nullptr;
  // A history of one line could never hold a line (its only slot is the
  // spare), so it scrolls like no history at all.
  if (history_rows_ >= 2) {
    if (-history_top_ < history_rows_ - 1) --history_top_;
    RotateHistoryPrefix(-history_top_ - 1);
    taken = std::move(HistorySlot(0));
    HistorySlot(0) = std::move(screen_[top]);
    if (Options & vtoBackColor) ApplyBackColor(*HistorySlot(0));
  } else {
    taken = std::move(screen_[top]);
  }
  std::move(screen_.begin() + static_cast<long>(top) + 1,
            screen_.begin() + static_cast<long>(bottom) + 1,
            screen_.begin() + static_cast<long>(top));
  taken->Clear(kDefaultAttribute);
  screen_[bottom] = std::move(taken);
  if (ScrollCount > INT_MIN) --ScrollCount;
  AllDirty = true;
  // Once the history is full the next scroll reuses the line that is now the
  // oldest but one; it has not been touched for a long time, so it is
  // fetched while the next line is written.
  if (history_rows_ >= 3 && -history_top_ >= history_rows_ - 1) {
    const TLine* next = HistorySlot(history_rows_ - 2);
    for (std::size_t off = 0; off < sizeof(TLine); off += 64)
      __builtin_prefetch(reinterpret_cast<const char*>(next) + off, 1);
  }
}

void TScreen::ScrollRegionDown() {
  const auto top = static_cast<long>(region_top_);
  const auto bottom = static_cast<long>(region_bottom_);
  LinePtr taken = std::move(screen_[static_cast<std::size_t>(bottom)]);
  std::move_backward(screen_.begin() + top, screen_.begin() + bottom, screen_.begin() + bottom + 1);
  taken->Clear(kDefaultAttribute);
  screen_[static_cast<std::size_t>(top)] = std::move(taken);
  AllDirty = true;
}

// Copies the whole lines, not only the visible cells: the hidden cells of a
// history slot would otherwise keep text of a line that fell off long ago.
void TScreen::PushScreenToHistory() {
  if (history_rows_ < screen_rows_) return;
  history_top_ = std::max(history_top_ - screen_rows_, 1 - history_rows_);
  const auto n = static_cast<std::size_t>(history_rows_);
  history_head_ = (history_head_ + n - static_cast<std::size_t>(screen_rows_)) % n;
  for (int r = 0; r < screen_rows_; ++r) {
    TLine& dst = *HistorySlot(screen_rows_ - 1 - r);
    dst = *screen_[static_cast<std::size_t>(r)];
    if (Options & vtoBackColor) ApplyBackColor(dst);
  }
}

void TScreen::BlankScreen() {
  for (auto& line : screen_) line->Clear(CurAttr);
  CursorRow = 0;
  CursorCol = 0;
  AllDirty = true;
  attr_depth_ = -1;
}

// ---------------------------------------------------------------------------
// Cursor and characters

void TScreen::PlaceCursor(int col, int row) {
  const int cols = Cols();
  CursorCol = col < 0 ? 0 : (col >= cols ? cols - 1 : col);
  CursorRow = row < 0 ? 0 : (row >= screen_rows_ ? screen_rows_ - 1 : row);
}

void TScreen::FillCells(int row, int from, int to, CellAttribute attr) {
  if (from > to) return;
  TLine& line = *screen_[static_cast<std::size_t>(row)];
  std::memset(line.Chars + from, ' ', static_cast<std::size_t>(to - from + 1));
  std::memset(line.Attrs + from, attr, static_cast<std::size_t>(to - from + 1));
}

// The wrap test is against the last screen row, not the region's bottom.
void TScreen::WrapToNextRow() {
  CursorCol = 0;
  if (CursorRow >= screen_rows_ - 1)
    ScrollRegionUp();
  else
    ++CursorRow;
}

void TScreen::LineFeed() {
  if (CursorRow >= region_bottom_) {
    CursorRow = region_bottom_;
    ScrollRegionUp();
  } else {
    ++CursorRow;
  }
}

void TScreen::ReverseLineFeed() {
  if (CursorRow <= region_top_) {
    CursorRow = region_top_;
    ScrollRegionDown();
  } else {
    --CursorRow;
  }
}

// To the next multiple of 8, never past the last cell of a line.
void TScreen::Tab() {
  if (CursorCol >= kLastColumn) {
    CursorCol = kLastColumn;
    return;
  }
  const int next = CursorCol + 1;
  CursorCol = next <= 0 ? 0 : std::min((next + 7) & ~7, kLastColumn);
}

// Marks the row actually written: a parked cursor row (ScreenRows) writes the
// bottom row, and that is the row the view has to repaint.
bool TScreen::PutGlyph(std::uint8_t b) {
  bool wrapped = false;
  if (CursorCol >= Cols() && WrapAtMargin) {
    WrapToNextRow();
    wrapped = true;
  }
  const int col = ClampColumn(CursorCol);
  const int row = CursorLineRow();
  TLine& line = *screen_[static_cast<std::size_t>(row)];
  line.Chars[col] = static_cast<char>(b);
  line.Attrs[col] = CurAttr;
  MarkCell(row, col);
  CursorCol = col < kLastColumn ? col + 1 : kLastColumn;
  return wrapped;
}

// PutGlyph for a run of characters, a row segment at a time.
int TScreen::PutRun(const std::uint8_t* s, std::size_t n) {
  int wraps = 0;
  const int cols = Cols();
  while (n > 0) {
    if (CursorCol >= cols && WrapAtMargin) {
      WrapToNextRow();
      ++wraps;
    }
    const int col = ClampColumn(CursorCol);
    const int row = CursorLineRow();
    TLine& line = *screen_[static_cast<std::size_t>(row)];
    // Cells this segment may fill before the wrap test fires again (with
    // wrapping, col < cols here) or column 300 is reached.
    const int room = (WrapAtMargin ? cols : kLineCells) - col;
    const std::size_t k = std::min(n, static_cast<std::size_t>(room));
    std::memcpy(line.Chars + col, s, k);
    std::memset(line.Attrs + col, CurAttr, k);
    const int last = col + static_cast<int>(k) - 1;
    MarkCell(row, col);
    MarkCell(row, last);
    CursorCol = last < kLastColumn ? last + 1 : kLastColumn;
    s += k;
    n -= k;
    // The cursor stays on column 300 unless a wrap can move it on: the rest
    // of the run overwrites that cell, and only the last byte remains.
    if (n > 0 && CursorCol == kLastColumn && !(WrapAtMargin && kLastColumn >= cols)) {
      line.Chars[kLastColumn] = static_cast<char>(s[n - 1]);
      line.Attrs[kLastColumn] = CurAttr;
      n = 0;
    }
  }
  return wraps;
}

// ---------------------------------------------------------------------------
// The byte interpreter

int TScreen::FeedByte(std::uint8_t b) {
  if (literal_count_ >= 1) {
    if (literal_count_ & 1) PutGlyph(b);
    --literal_count_;
    return 0;
  }
  if (TranslateIn) b = (*InputTable)[b];
  if (in_escape_) return CollectEscape(b);
  switch (b) {
    case 0x00: return 0;
    case 0x07: Beep(); return 0;
    case 0x08:
      if (CursorCol > 0) --CursorCol;
      return 0;
    case 0x09: Tab(); return 0;
    case 0x0A:
      LineFeed();
      if (AutoCR) CursorCol = 0;
      return 0;
    case 0x0D:
      CursorCol = 0;
      if (AutoLF) LineFeed();
      return 1;
    case 0x0E: InputTable = OutputTable = &kLineGraphicsTable; return 0;
    case 0x0F: InputTable = OutputTable = &kAsciiTable; return 0;
    case 0x1B:
      seq_length_ = 0;
      in_escape_ = true;
      return 0;
    default: return PutGlyph(b) ? 1 : 0;
  }
}

// Runs of plain characters in ground state go to the row in one piece; every
// other byte takes the general path.  The result is the same as feeding the
// bytes one by one.
int TScreen::FeedText(std::string_view text) {
  int starts = 0;
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto* const end = p + text.size();
  while (p < end) {
    if (literal_count_ == 0 && !in_escape_ && !TranslateIn) {
      if (kGlyph[*p]) {
        const auto* const run = p;
        ++p;
        // Eight bytes at a time while none is a control byte.
        while (end - p >= 8) {
          std::uint64_t x;
          std::memcpy(&x, p, 8);
          if (((x - 0x2020202020202020ULL) & ~x & 0x8080808080808080ULL) != 0) break;
          p += 8;
        }
        while (p < end && kGlyph[*p]) ++p;
        starts += PutRun(run, static_cast<std::size_t>(p - run));
        continue;
      }
      // A whole control sequence in the text is collected in one go; the
      // byte-by-byte path gives the same result, only slower.
      if (*p == 0x1B && end - p > 2 && p[1] == '[') {
        const auto* q = p + 2;
        while (q < end && q - p - 1 < kMaxSequence - 1 &&
               (*q == ' ' || *q == ';' || *q == '?' || (*q >= '0' && *q <= '9')))
          ++q;
        if (q < end && q - p - 1 < kMaxSequence - 1 &&
            !(*q == ' ' || *q == ';' || *q == '?' || (*q >= '0' && *q <= '9'))) {
          seq_length_ = static_cast<int>(q - p - 1);
          std::memcpy(seq_, p + 1, static_cast<std::size_t>(seq_length_));
          if (*q == 'm') {
            // Colour codes, most sequences of all, go to their handler directly.
            SelectGraphicRendition();
            seq_length_ = 0;
          } else {
            in_escape_ = true;
            starts += DispatchEscape(*q);
          }
          p = q + 1;
          continue;
        }
      }
    }
    starts += FeedByte(*p++);
  }
  return starts;
}

}  // namespace tarnel
