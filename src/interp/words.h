// Word helpers shared by every command handler.  Positions count from 1;
// quotes (double and single) and braces group words.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

// Leading blanks go; then one leading quote, apostrophe or "{"; then one
// trailing quote, apostrophe or "}" (and nothing more), or else the trailing
// blanks.  The two removed characters need not match.
std::string Unquote(std::string_view text);
// The same as a view into the text, for callers that need no copy.
std::string_view UnquoteView(std::string_view text);

// The n-th word (from 1), unquoted; empty when there are fewer words.
std::string WordAt(std::string_view text, int n);

// Everything from the n-th word on, unquoted as a whole; a word that ends at
// a closing brace is returned alone.
std::string WordsFrom(std::string_view text, int n);

// The number of words, where "=" separates words like a blank and every
// closing brace ends a word.
int WordCount(std::string_view text);

// Text before the first blank, and everything after it.
void SplitFirstWord(std::string_view text, std::string& word, std::string& rest);
void SplitFirstWord(std::string_view text, std::string_view& word, std::string_view& rest);

std::string TrimLeftBlanks(std::string_view s);
std::string_view TrimLeftBlanksView(std::string_view s);
std::string TrimRightBlanks(std::string_view s);
std::string TrimBlanks(std::string_view s);

// Every occurrence of from replaced by to, scanning on after each inserted
// text.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

}  // namespace tarnel
