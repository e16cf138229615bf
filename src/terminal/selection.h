// Mouse work on a screen that needs no window: the word under the pointer
// and the text of a selection.
#pragma once

#include <string>

#include "terminal/screen.h"

namespace tarnel {

struct WordPickResult {
  bool found = false;  // the row exists in the screen or its history
  int left = 0;        // first and last column of the pick
  int right = 0;
  std::string word;    // spaces and "-" trimmed from both ends
  bool valid = false;  // non-empty and only spaces, "-", ASCII letters, 0xC0-0xFF
};

// Without Alt, words joined by single spaces are picked as one phrase; with
// Alt, only the word itself (with "ё" counted as a letter).
WordPickResult PickWord(const TScreen& screen, int row, int col, int cols, bool alt);

// Rows start_row..end_row, from start_col on the first row and up to end_col
// on the last (column cols otherwise), trailing spaces removed, joined by CR LF.
std::string SelectionText(const TScreen& screen, int start_row, int start_col, int end_row,
                          int end_col, int cols);

}  // namespace tarnel
