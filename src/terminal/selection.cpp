#include "terminal/selection.h"

namespace tarnel {

namespace {

bool IsLetter(unsigned char c) {
  return c == '-' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0;
}

}  // namespace

WordPickResult PickWord(const TScreen& screen, int row, int col, int cols, bool alt) {
  WordPickResult r;
  const TLine* line = screen.RowLine(row);
  if (line == nullptr) return r;
  if (cols > kLineCells) cols = kLineCells;
  if (col < 0) col = 0;
  if (col > kLastColumn) col = kLastColumn;
  r.found = true;
  const unsigned char extra = alt ? 0xB8 : ' ';
  auto word_letter = [&](unsigned char c) { return IsLetter(c) || c == extra; };
  auto at = [&](int c) { return static_cast<unsigned char>(line->Chars[c]); };

  int left = col;
  while (left > 0) {
    const unsigned char cur = at(left);
    if (!word_letter(cur)) break;
    if (at(left - 1) == ' ' && !IsLetter(cur)) break;
    if (word_letter(at(left - 1)))
      --left;
    else
      break;
  }
  int right = col;
  while (right < cols - 1) {
    const unsigned char cur = at(right);
    if (!word_letter(cur)) break;
    if (at(right + 1) == ' ' && !IsLetter(cur)) break;
    if (word_letter(at(right + 1)))
      ++right;
    else
      break;
  }
  r.left = left;
  r.right = right;
  std::string w(line->Chars + left, line->Chars + right + 1);
  std::size_t b = 0, e = w.size();
  while (b < e && (w[b] == ' ' || w[b] == '-')) ++b;
  while (e > b && (w[e - 1] == ' ' || w[e - 1] == '-')) --e;
  r.word = w.substr(b, e - b);
  r.valid = !r.word.empty();
  for (char ch : r.word) {
    const auto c = static_cast<unsigned char>(ch);
    if (!(c == ' ' || c == '-' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0)) {
      r.valid = false;
      break;
    }
  }
  return r;
}

std::string SelectionText(const TScreen& screen, int start_row, int start_col, int end_row,
                          int end_col, int cols) {
  std::string out;
  if (cols > kLineCells) cols = kLineCells;
  for (int row = start_row; row <= end_row; ++row) {
    const TLine* line = screen.RowLine(row);
    int from = row == start_row ? start_col : 0;
    int to = row == end_row ? end_col : cols;
    if (from < 0) from = 0;
    if (to > kLastColumn) to = kLastColumn;
    std::string text;
    if (line != nullptr && from <= to) text.assign(line->Chars + from, line->Chars + to + 1);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (row != start_row) out += "\r\n";
    out += text;
  }
  return out;
}

}  // namespace tarnel
