// Escape sequences: collection after ESC, the two dispatch tables, colours,
// modes, erasing and the insert/delete operations.
#include <algorithm>
#include <cstdio>
#include <string>

#include "terminal/screen.h"

namespace tarnel {

namespace {

constexpr std::string_view kUnimplemented = "Unimplemented Escape Sequence: ";
constexpr std::string_view kInvalid = "Invalid Escape Sequence: ";

// Numbers in parameters saturate here, so no arithmetic on them overflows;
// the value is above every code and every useful count.
constexpr int kMaxParameter = 65535;

bool IsDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }

bool IsTwoByteFinal(std::uint8_t b) {
  switch (b) {
    case '7':
    case '8':
    case '<':
    case '=':
    case '>':
    case 'D':
    case 'E':
    case 'H':
    case 'M': return true;
    default: return false;
  }
}

bool IsCharsetIntroducer(std::uint8_t b) { return b == '(' || b == ')' || b == '*' || b == '+'; }

// Reads the numbers of a control sequence: blanks are skipped, digits
// accumulate, a missing number reads as 0.  Any other byte stops it.
class ParameterReader {
 public:
  explicit ParameterReader(std::string_view s) : s_(s) {}

  int Number() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    int n = 0;
    while (pos_ < s_.size() && IsDigit(static_cast<std::uint8_t>(s_[pos_]))) {
      n = std::min(n * 10 + (s_[pos_] - '0'), kMaxParameter);
      ++pos_;
    }
    return n;
  }
  // The number after the next ";" (blanks before it allowed), or `missing`
  // when no ";" follows.
  int NextNumber(int missing) {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    if (pos_ >= s_.size() || s_[pos_] != ';') return missing;
    ++pos_;
    return Number();
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

CellAttribute SwapColours(CellAttribute a) {
  const int fg = a & 0x07;
  const int bg = (a >> 4) & 0x07;
  return static_cast<CellAttribute>((a & 0x88) | (fg << 4) | bg);
}

}  // namespace

// ---------------------------------------------------------------------------
// Collection

int TScreen::CollectEscape(std::uint8_t b) {
  const int length = seq_length_;
  if (length == 0 && IsTwoByteFinal(b)) return DispatchEscape(b);
  if (length == 1 && IsCharsetIntroducer(static_cast<std::uint8_t>(seq_[0])))
    return DispatchEscape(b);
  if (b == ' ' || IsDigit(b) || b == ';' || b == '?' ||
      (length == 0 && (IsCharsetIntroducer(b) || b == '['))) {
    seq_[seq_length_++] = static_cast<char>(b);
    if (seq_length_ >= kMaxSequence) {  // abandoned: too long to be real
      Beep();
      seq_length_ = 0;
      in_escape_ = false;
    }
    return 0;
  }
  return DispatchEscape(b);
}

int TScreen::DispatchEscape(std::uint8_t final_byte) {
  in_escape_ = false;
  int result = 0;
  if (seq_length_ == 0) {
    result = DispatchTwoByte(final_byte);
  } else {
    switch (seq_[0]) {
      case ' ':
        if (final_byte != 'F') ReportSequence(kInvalid, final_byte);
        break;
      case '(':
        if (final_byte == '0' || final_byte == 'B') {
          InputTable = OutputTable = final_byte == '0' ? &kLineGraphicsTable : &kAsciiTable;
          TranslateIn = TranslateInitial;
        } else {
          ReportSequence(kInvalid, final_byte);
        }
        break;
      case ')':
      case '*':
      case '+': break;  // G1..G3 designation: nothing to show
      case '[': DispatchControl(final_byte); break;
      default: ReportSequence(kInvalid, final_byte); break;
    }
  }
  seq_length_ = 0;
  return result;
}

int TScreen::DispatchTwoByte(std::uint8_t final_byte) {
  switch (final_byte) {
    case '7': SaveCursor(); return 0;
    case '8': RestoreCursor(); return 0;
    case '<':
    case '=':
    case '>':
    case 'H': return 0;
    case 'D':
    case 'E': ReportSequence(kUnimplemented, final_byte); return 0;
    case 'M': ReverseLineFeed(); return 0;
    default: ReportSequence(kInvalid, final_byte); return PutGlyph(final_byte) ? 1 : 0;
  }
}

// ---------------------------------------------------------------------------
// Control sequences: ESC [ parameters final

void TScreen::DispatchControl(std::uint8_t final_byte) {
  ParameterReader params(std::string_view(seq_ + 1, static_cast<std::size_t>(seq_length_ - 1)));
  switch (final_byte) {
    case '@': InsertChars(params.Number()); break;
    case 'A': {
      const int n = std::max(params.Number(), 1);
      CursorRow = CursorRow < n ? 0 : CursorRow - n;
      break;
    }
    case 'B': {
      const int n = std::max(params.Number(), 1);
      CursorRow = CursorRow >= screen_rows_ - 1 - n ? screen_rows_ - 1 : CursorRow + n;
      break;
    }
    case 'C': {
      const int n = std::max(params.Number(), 1);
      const int cols = Cols();
      long long col = static_cast<long long>(CursorCol) + n;
      if (col >= cols) {
        if (WrapAtMargin) {
          col -= cols;
          if (CursorRow < screen_rows_ - 1)
            ++CursorRow;
          else
            CursorRow = screen_rows_ - 1;
        } else {
          col = cols - 1;
        }
      }
      CursorCol = static_cast<int>(std::clamp<long long>(col, 0, kLastColumn));
      break;
    }
    case 'D': {
      const int n = std::max(params.Number(), 1);
      CursorCol = CursorCol < n ? 0 : CursorCol - n;
      break;
    }
    case 'H':
    case 'f': {
      const int row = params.Number();
      const int col = params.NextNumber(1);
      PlaceCursor(col - 1, row - 1);
      break;
    }
    case 'I': PrivateExtension(); break;
    case 'J': EraseInDisplay(params.Number()); break;
    case 'K': EraseToEndOfLine(); break;
    case 'L': InsertLines(params.Number()); break;
    case 'M': DeleteLines(params.Number()); break;
    case 'P': DeleteChars(params.Number()); break;
    case 'S': ScrollRegionUp(); break;
    case 'T':
    case 'n': ReportSequence(kUnimplemented, final_byte); break;
    case 'h': SetMode(final_byte, true); break;
    case 'l': SetMode(final_byte, false); break;
    case 'm': SelectGraphicRendition(); break;
    case 'r': {
      const int top = params.Number() - 1;
      const int bottom = params.NextNumber(1) - 1;
      if (top < bottom && top >= 0 && bottom < screen_rows_) {
        region_top_ = top;
        region_bottom_ = bottom;
      } else {
        region_top_ = 0;
        region_bottom_ = screen_rows_ - 1;
      }
      break;
    }
    case 's': SaveCursor(); break;
    case 'u': RestoreCursor(); break;
    case '>':
    case 'g': break;
    default: ReportSequence(kInvalid, final_byte); break;
  }
}

void TScreen::SaveCursor() {
  saved_row_ = CursorRow;
  saved_col_ = CursorCol;
}

// A second restore goes home.
void TScreen::RestoreCursor() {
  if (saved_row_ == -1)
    PlaceCursor(0, 0);
  else
    PlaceCursor(saved_col_, saved_row_);
  saved_row_ = -1;
  saved_col_ = -1;
}

// Codes act in the order written, so "81;0" saves the colour and then resets.
void TScreen::SelectGraphicRendition() {
  if (seq_length_ == 1) {  // ESC [ m
    CurAttr = kDefaultAttribute;
    reverse_on_ = false;
    return;
  }
  // Parameters of up to seven bytes are looked up first: what they do
  // depends on nothing but their bytes, the colour and the reverse switch.
  const int parameter_bytes = seq_length_ - 1;
  ColourMemo* memo = nullptr;
  std::uint64_t sequence = 0;
  const auto before = static_cast<std::uint16_t>(CurAttr | (reverse_on_ ? 0x100 : 0));
  if (parameter_bytes <= 7) {
    static_assert(kMaxSequence >= 9, "eight bytes after the introducer are readable");
    std::memcpy(&sequence, seq_ + 1, 8);
    sequence &= (std::uint64_t{1} << (8 * parameter_bytes)) - 1;
    sequence |= static_cast<std::uint64_t>(parameter_bytes) << 56;
    memo = &colour_memo_[((sequence ^ before) * 0x9E3779B97F4A7C15ULL) >> 58];
    if (memo->sequence == sequence && memo->before == before) {
      CurAttr = memo->attr;
      reverse_on_ = memo->reverse;
      return;
    }
  }
  bool plain = true;  // no code read or changed anything but the two
  int i = 1;
  while (i < seq_length_) {
    if (!IsDigit(static_cast<std::uint8_t>(seq_[i]))) {
      ++i;  // blanks, ";" and a stray "?" separate codes
      continue;
    }
    int code = 0;
    while (i < seq_length_ && IsDigit(static_cast<std::uint8_t>(seq_[i]))) {
      code = std::min(code * 10 + (seq_[i] - '0'), kMaxParameter);
      ++i;
    }
    if (code == 81 || code == 82) plain = false;
    switch (code) {
      case 0:
      case 27:
        CurAttr = kDefaultAttribute;
        reverse_on_ = false;
        break;
      case 1: CurAttr |= 0x08; break;
      case 4:
      case 10:
      case 12: break;
      case 5: CurAttr |= 0x80; break;
      case 7: reverse_on_ = true; break;
      case 8: CurAttr = 0; break;
      case 22: CurAttr &= static_cast<CellAttribute>(~0x08); break;
      case 81:  // a push onto a full stack is dropped
        if (attr_depth_ < kAttrStackSize - 1) attr_stack_[++attr_depth_] = CurAttr;
        break;
      case 82:
        if (attr_depth_ >= 0) CurAttr = attr_stack_[attr_depth_--];
        break;
      default:
        if (code >= 30 && code <= 37)
          CurAttr = static_cast<CellAttribute>((CurAttr & ~0x07) | (code - 30));
        else if (code >= 40 && code <= 47)
          CurAttr = static_cast<CellAttribute>((CurAttr & ~0x70) | ((code - 40) << 4));
        else {
          ReportSequence(kInvalid, 'm');
          plain = false;
        }
        break;
    }
  }
  // Reverse video swaps at the end of every colour sequence while it is on.
  if (reverse_on_) CurAttr = SwapColours(CurAttr);
  if (memo != nullptr && plain) *memo = ColourMemo{sequence, before, CurAttr, reverse_on_};
}

// Only the private form ESC [ ? n is understood.
void TScreen::SetMode(std::uint8_t final_byte, bool set) {
  if (seq_length_ < 2 || seq_[1] != '?') {
    ReportSequence(kUnimplemented, final_byte);
    return;
  }
  ParameterReader params(std::string_view(seq_ + 2, static_cast<std::size_t>(seq_length_ - 2)));
  switch (params.Number()) {
    case 1:
    case 4: break;
    case 7: WrapAtMargin = set; break;
    case 25:
      CursorHidden = !set;
      if (CursorVisibilityHandler) CursorVisibilityHandler(*this);
      break;
    default: ReportSequence(kUnimplemented, final_byte); break;
  }
}

// ESC [ n I: the client's own switches.
void TScreen::PrivateExtension() {
  ParameterReader params(std::string_view(seq_ + 1, static_cast<std::size_t>(seq_length_ - 1)));
  switch (params.Number()) {
    case 0: TranslateIn = true; break;
    case 1: literal_count_ = params.NextNumber(1); break;
    case 2: params.NextNumber(0); break;
    case 3: {
      std::string text = "Special key";
      for (int i = 0; i < 4; ++i) {
        char hex[16];
        std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned>(params.NextNumber(0)));
        text += hex;
      }
      text += "\r\n";
      DebugReport(text);
      break;
    }
    case 4: TranslateIn = false; break;
    default: ReportSequence(kUnimplemented, 'I'); break;
  }
}

// ---------------------------------------------------------------------------
// Erasing, inserting and deleting

void TScreen::EraseToEndOfLine() {
  const int row = CursorLineRow();
  const int col = ClampColumn(CursorCol);
  const int last = Cols() - 1;
  if (col > last) return;
  FillCells(row, col, last, CurAttr);
  MarkCell(row, col);
  MarkCell(row, last);
}

void TScreen::EraseInDisplay(int n) {
  const int row = CursorLineRow();
  const int cols = Cols();
  switch (n) {
    case 0:
      CurAttr = kDefaultAttribute;
      FillCells(row, ClampColumn(CursorCol), cols - 1, CurAttr);
      for (int r = row + 1; r < screen_rows_; ++r)
        screen_[static_cast<std::size_t>(r)]->Clear(CurAttr);
      if (row == 0) {
        AllDirty = true;
      } else {
        MarkCell(row, 0);
        MarkCell(screen_rows_, cols);
      }
      break;
    case 1:
      for (int r = 0; r <= row; ++r) screen_[static_cast<std::size_t>(r)]->Clear(CurAttr);
      MarkCell(0, 0);
      MarkCell(row, cols);
      break;
    case 2:
      if (Options & vtoCopyBackOnClear) PushScreenToHistory();
      BlankScreen();
      break;
    default: ReportSequence(kInvalid, 'J'); break;
  }
}

void TScreen::InsertChars(int n) {
  if (n == 0) n = 1;
  const int cols = Cols();
  const int col = ClampColumn(CursorCol);
  if (cols - col - n <= 0) {
    EraseToEndOfLine();
    return;
  }
  const int row = CursorLineRow();
  TLine& line = *screen_[static_cast<std::size_t>(row)];
  const auto moved = static_cast<std::size_t>(cols - col - n);
  std::memmove(line.Chars + col + n, line.Chars + col, moved);
  std::memmove(line.Attrs + col + n, line.Attrs + col, moved);
  FillCells(row, col, col + n - 1, CurAttr);
  MarkCell(row, col);
  MarkCell(row, cols - 1);
}

// Deleting more characters than the line has right of the cursor erases to
// the end of the line; nothing left of the cursor is touched.
void TScreen::DeleteChars(int n) {
  if (n <= 0) n = 1;
  const int cols = Cols();
  const int col = ClampColumn(CursorCol);
  if (col >= cols) return;
  const int row = CursorLineRow();
  if (col + n < cols) {
    TLine& line = *screen_[static_cast<std::size_t>(row)];
    const auto moved = static_cast<std::size_t>(cols - col - n);
    std::memmove(line.Chars + col, line.Chars + col + n, moved);
    std::memmove(line.Attrs + col, line.Attrs + col + n, moved);
    FillCells(row, cols - n, cols - 1, kDefaultAttribute);
  } else {
    FillCells(row, col, cols - 1, kDefaultAttribute);
  }
  MarkCell(row, col);
  MarkCell(row, cols);
}

void TScreen::InsertLines(int n) {
  if (n == 0) n = 1;
  CursorCol = 0;
  const int row = CursorLineRow();
  const auto first = screen_.begin() + row;
  const auto end = screen_.begin() + region_bottom_ + 1;
  if (row + n <= region_bottom_) {
    // The n lines pushed out at the region's bottom come back at the cursor.
    std::rotate(first, end - n, end);
    for (int r = row; r < row + n; ++r) screen_[static_cast<std::size_t>(r)]->Clear(CurAttr);
    AllDirty = true;
  } else if (row <= region_bottom_) {
    for (int r = row; r <= region_bottom_; ++r)
      screen_[static_cast<std::size_t>(r)]->Clear(CurAttr);
    MarkCell(row, 0);
    MarkCell(region_bottom_, Cols());
  }
}

void TScreen::DeleteLines(int n) {
  if (n == 0) n = 1;
  AllDirty = true;
  CursorCol = 0;
  const int row = CursorLineRow();
  if (row + n <= region_bottom_) {
    for (int r = row; r < row + n; ++r)
      screen_[static_cast<std::size_t>(r)]->Clear(kDefaultAttribute);
    const auto first = screen_.begin() + row;
    std::rotate(first, first + n, screen_.begin() + region_bottom_ + 1);
  } else {
    for (int r = row; r <= region_bottom_; ++r)
      screen_[static_cast<std::size_t>(r)]->Clear(CurAttr);
  }
}

// ---------------------------------------------------------------------------
// Reports to the debugger channel

void TScreen::ReportSequence(std::string_view kind, std::uint8_t final_byte) {
  std::string text(kind);
  text.append(seq_, static_cast<std::size_t>(seq_length_));
  text += static_cast<char>(final_byte);
  text += "\r\n";
  DebugReport(text);
}

// Each report is preceded by its own string with a running number.
void TScreen::DebugReport(std::string_view text) {
  ++debug_counter_;
  if (!OnDebug) return;
  char counter[8];
  std::snprintf(counter, sizeof counter, "%04X ", debug_counter_ & 0xFFFFu);
  OnDebug(counter);
  OnDebug(text);
}

}  // namespace tarnel
