// The character screen behind every terminal view.
//
// A TScreen owns rows of characters and colour attributes, a scroll-back
// history, the cursor and the scroll region, and the interpreter that turns a
// byte stream with ANSI/VT escape sequences into changes of those rows.  It
// never paints: it records which cells changed (one dirty rectangle, or the
// AllDirty flag) and the view repaints them.
//
// Rows are numbered from the top of the screen: 0 .. ScreenRows - 1 are on
// screen, -1 is the newest history line, -HistoryRows the oldest possible
// one.  A row at or above ScreenRows addresses the bottom row: the main window
// parks the cursor one row below the screen so that output continues on the
// bottom row and the next line feed scrolls.
//
// Besides the standard sequences the screen knows the private colour codes
// 81 (save the current colour) and 82 (restore it), which the client puts
// around every colour it inserts.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace tarnel {

// One byte per cell: bits 0-2 foreground colour (ANSI order: black, red,
// green, yellow, blue, magenta, cyan, white), bit 3 bright foreground, bits
// 4-6 background colour, bit 7 bright background.
using CellAttribute = std::uint8_t;
inline constexpr CellAttribute kDefaultAttribute = 7;  // white on black

// Every line holds columns 0..300, whatever the screen's column count.
inline constexpr int kLineCells = 301;
inline constexpr int kLastColumn = kLineCells - 1;

// A fuzz build reports every comparison to the fuzzer; loops that only
// walk a fixed number of cells have none worth reporting.
#if defined(__clang__)
#define TARNEL_UNTRACED __attribute__((no_sanitize("coverage")))
#else
#define TARNEL_UNTRACED
#endif

struct TLine {
  char Chars[kLineCells];
  CellAttribute Attrs[kLineCells];

  TLine() { Clear(kDefaultAttribute); }
  // Always the full 301 cells: hidden cells must not keep old text that a
  // wider screen would show later.
  TARNEL_UNTRACED void Clear(CellAttribute attr) {
    // Sixteen cells a store beat the string instruction a constant-size
    // memset turns into; scrolling clears a line for every line of text.
    // The last store overlaps the one before it.
    unsigned char blanks[16], attrs[16];
    std::memset(blanks, ' ', sizeof blanks);
    std::memset(attrs, attr, sizeof attrs);
    static_assert(sizeof Chars >= 16 && sizeof Attrs == sizeof Chars);
    for (std::size_t i = 0; i + 16 <= sizeof Chars; i += 16) {
      std::memcpy(Chars + i, blanks, 16);
      std::memcpy(Attrs + i, attrs, 16);
    }
    std::memcpy(Chars + sizeof Chars - 16, blanks, 16);
    std::memcpy(Attrs + sizeof Attrs - 16, attrs, 16);
  }
};

// Byte translation tables: code page 437 renderings of Latin-1, and the same
// with the VT line-drawing set on "j".."x".
using TranslationTable = std::array<std::uint8_t, 256>;
extern const TranslationTable kAsciiTable;
extern const TranslationTable kLineGraphicsTable;

enum TScreenOption : std::uint8_t {
  vtoBackColor = 1 << 0,        // lines entering the history take BackColor as background
  vtoCopyBackOnClear = 1 << 1,  // "clear screen" first copies the screen into the history
};
using TScreenOptions = std::uint8_t;  // a set of TScreenOption bits

// Cells that changed since the view last repainted, inclusive on all sides.
struct DirtyRectangle {
  int Left = 9999;
  int Top = 9999;
  int Right = -1;
  int Bottom = -1;

  bool Empty() const { return Right < Left || Bottom < Top; }
  friend bool operator==(const DirtyRectangle&, const DirtyRectangle&) = default;
};

class TScreen {
 public:
  static constexpr int kAttrStackSize = 131;
  static constexpr int kMaxSequence = 80;  // bytes collected after ESC

  TScreen();
  ~TScreen();
  TScreen(const TScreen&) = delete;
  TScreen& operator=(const TScreen&) = delete;

  // Interprets one byte; 1 for a carriage return and for a write that
  // wrapped to a new line, else 0.
  int FeedByte(std::uint8_t b);
  // FeedByte for every byte; the number of line starts.
  int FeedText(std::string_view text);
  // Stores one byte at the cursor as a printable character; whether it
  // wrapped to a new line first.
  bool PutGlyph(std::uint8_t b);

  void PlaceCursor(int col, int row);

  // The line of a row; rows at or above ScreenRows give the bottom row, rows
  // older than the oldest history row give nullptr.
  TLine* RowLine(int row);
  const TLine* RowLine(int row) const;

  // Forgets an escape sequence whose stream ended before it did.
  void CancelEscape() {
    in_escape_ = false;
    seq_length_ = 0;
  }

  void ScrollRegionUp();
  void ScrollRegionDown();
  void BlankScreen();
  void PushScreenToHistory();
  void ResizeRows(int n);
  void ResizeHistory(int n);

  void MarkCell(int row, int col) {
    if (AllDirty) return;
    if (col < DirtyRect.Left) DirtyRect.Left = col;
    if (col > DirtyRect.Right) DirtyRect.Right = col;
    if (row < DirtyRect.Top) DirtyRect.Top = row;
    if (row > DirtyRect.Bottom) DirtyRect.Bottom = row;
  }
  void ResetDirty() {
    DirtyRect = DirtyRectangle();
    AllDirty = false;
  }

  int ScreenRows() const { return screen_rows_; }
  int HistoryRows() const { return history_rows_; }
  // Row of the oldest history line in use; 0 when there is none.
  int HistoryTop() const { return history_top_; }
  int RegionTop() const { return region_top_; }
  int RegionBottom() const { return region_bottom_; }
  int SavedRow() const { return saved_row_; }
  int SavedCol() const { return saved_col_; }
  // Index of the top entry of the colour stack, -1 when it is empty.
  int AttrDepth() const { return attr_depth_; }
  bool ReverseOn() const { return reverse_on_; }
  bool InEscape() const { return in_escape_; }
  // The bytes collected after ESC, the introducer included.
  std::string_view SeqBuffer() const { return std::string_view(seq_, seq_length_); }
  int LiteralCount() const { return literal_count_; }
  // The column count actually used: ScreenCols within 1..301.
  int Cols() const {
    return ScreenCols < 1 ? 1 : (ScreenCols > kLineCells ? kLineCells : ScreenCols);
  }

  // Read and written by the view and the main window.
  int ScreenCols = 80;  // set directly: every line is 301 cells wide anyway
  int CursorRow = 0;
  int CursorCol = 0;
  CellAttribute CurAttr = kDefaultAttribute;
  std::uint8_t BackColor = 7;  // 0..7
  TScreenOptions Options = vtoBackColor;
  bool HasFocus = false;
  bool AutoLF = false;
  bool AutoCR = false;
  bool WrapAtMargin = false;
  bool CursorHidden = false;
  bool TranslateIn = false;
  bool TranslateInitial = false;
  const TranslationTable* InputTable = &kAsciiTable;
  const TranslationTable* OutputTable = &kAsciiTable;
  // Decreased at every upward scroll; the view zeroes it before a write.
  int ScrollCount = 0;
  bool AllDirty = false;
  DirtyRectangle DirtyRect;

  // Installed by the owner; with none installed nothing happens.
  std::function<void()> OnBeep;                           // the information beep
  std::function<void(std::string_view)> OnDebug;          // the debugger channel
  std::function<void(TScreen&)> CursorVisibilityHandler;  // mode ?25 changed

 private:
  // Rows hold plain pointers so that scrolling moves them as plain data; the
  // lines themselves belong to pool_.
  using LinePtr = TLine*;
  LinePtr NewLine();

  int PutRun(const std::uint8_t* s, std::size_t n);
  void WrapToNextRow();
  void LineFeed();
  void ReverseLineFeed();
  void Tab();
  void Beep() {
    if (OnBeep) OnBeep();
  }

  // The row that operations on the cursor's line touch.
  int CursorLineRow() const {
    return CursorRow < 0 ? 0 : (CursorRow >= screen_rows_ ? screen_rows_ - 1 : CursorRow);
  }
  static int ClampColumn(int col) { return col < 0 ? 0 : (col > kLastColumn ? kLastColumn : col); }
  void FillCells(int row, int from, int to, CellAttribute attr);
  void ApplyBackColor(TLine& line) const;

  // History ring: logical slot k holds row -(k + 1).
  LinePtr& HistorySlot(int k) {
    std::size_t i = history_head_ + static_cast<std::size_t>(k);
    if (i >= history_.size()) i -= history_.size();
    return history_[i];
  }
  const LinePtr& HistorySlot(int k) const { return const_cast<TScreen*>(this)->HistorySlot(k); }
  void RotateHistoryPrefix(int k);
  std::vector<LinePtr> TakeStore();
  void PutStore(std::vector<LinePtr> store, int rows, int history);

  // Escape sequences.
  int CollectEscape(std::uint8_t b);
  int DispatchEscape(std::uint8_t final_byte);
  int DispatchTwoByte(std::uint8_t final_byte);
  void DispatchControl(std::uint8_t final_byte);
  void SelectGraphicRendition();
  void SetMode(std::uint8_t final_byte, bool set);
  void PrivateExtension();
  void EraseInDisplay(int n);
  void EraseToEndOfLine();
  void InsertChars(int n);
  void DeleteChars(int n);
  void InsertLines(int n);
  void DeleteLines(int n);
  void SaveCursor();
  void RestoreCursor();
  void ReportSequence(std::string_view kind, std::uint8_t final_byte);
  void DebugReport(std::string_view text);

  int screen_rows_ = 25;
  int history_rows_ = 0;
  int history_top_ = 0;
  int region_top_ = 0;
  int region_bottom_ = 24;
  int saved_row_ = -1;
  int saved_col_ = -1;
  CellAttribute attr_stack_[kAttrStackSize] = {};
  int attr_depth_ = -1;
  bool reverse_on_ = false;
  bool in_escape_ = false;
  char seq_[kMaxSequence] = {};
  int seq_length_ = 0;
  int literal_count_ = 0;
  unsigned debug_counter_ = 0;

  // What a colour sequence made of the colour and the reverse switch, for
  // sequences whose codes read and change nothing else (no stack code, no
  // unknown code).  A game sends the same few again and again.
  struct ColourMemo {
    std::uint64_t sequence = 0;  // its parameter bytes and their count; 0: unused
    std::uint16_t before = 0;    // the colour and the reverse switch it met
    CellAttribute attr = 0;
    bool reverse = false;
  };
  std::array<ColourMemo, 64> colour_memo_{};

  std::vector<std::unique_ptr<TLine>> pool_;  // owns every line
  std::vector<LinePtr> screen_;   // index = row
  std::vector<LinePtr> history_;  // ring of HistoryRows lines
  std::size_t history_head_ = 0;
};

}  // namespace tarnel
