#include "interp/words.h"

namespace tarnel {

std::string_view TrimLeftBlanksView(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return s.substr(b);
}

std::string TrimLeftBlanks(std::string_view s) { return std::string(TrimLeftBlanksView(s)); }

std::string TrimRightBlanks(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return std::string(s.substr(0, e));
}

std::string TrimBlanks(std::string_view s) { return TrimRightBlanks(TrimLeftBlanks(s)); }

std::string_view UnquoteView(std::string_view text) {
  std::size_t b = 0;
  while (b < text.size() && text[b] == ' ') ++b;
  std::string_view s = text.substr(b);
  if (!s.empty() && (s.front() == '"' || s.front() == '\'' || s.front() == '{')) s.remove_prefix(1);
  if (!s.empty() && (s.back() == '"' || s.back() == '\'' || s.back() == '}')) {
    s.remove_suffix(1);
    return s;
  }
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string Unquote(std::string_view text) { return std::string(UnquoteView(text)); }

namespace {

// Walks the words of text + " " as WordAt sees them.  For the n-th word it
// reports where the word starts and ends and whether a closing brace ended it.
struct WordSpan {
  bool found = false;
  std::size_t start = 0;
  std::size_t end = 0;  // one past the last character of the word
  bool by_brace = false;
};

WordSpan FindWord(const std::string& s, int n) {
  WordSpan span;
  bool quoted = false;
  int depth = 0;
  bool in_word = false;
  std::size_t start = 0;
  int count = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (!in_word) {
      if (c == ' ') continue;
      in_word = true;
      start = i;
    }
    if (c == '"' || c == '\'') {
      quoted = !quoted;
    } else if (!quoted && c == '{') {
      ++depth;
    } else if (!quoted && c == '}') {
      --depth;
      if (depth == 0) {
        in_word = false;
        if (++count == n) return {true, start, i + 1, true};
      }
    } else if (c == ' ' && !quoted && depth == 0) {
      in_word = false;
      if (++count == n) return {true, start, i, false};
    }
  }
  return span;
}

}  // namespace

std::string WordAt(std::string_view text, int n) {
  if (n < 1) return {};
  std::string s(text);
  s += ' ';
  const WordSpan w = FindWord(s, n);
  if (!w.found) return {};
  return Unquote(std::string_view(s).substr(w.start, w.end - w.start));
}

std::string WordsFrom(std::string_view text, int n) {
  if (n < 1) return {};
  std::string s(text);
  s += ' ';
  const WordSpan w = FindWord(s, n);
  if (!w.found) return {};
  if (w.by_brace) return Unquote(std::string_view(s).substr(w.start, w.end - w.start));
  return Unquote(std::string_view(s).substr(w.start));
}

int WordCount(std::string_view text) {
  std::string s(text);
  s += ' ';
  bool quoted = false;
  int depth = 0;
  bool in_word = false;
  int count = 0;
  for (char c : s) {
    if (!in_word) {
      if (c == ' ' || c == '=') continue;
      in_word = true;
    }
    if (c == '"' || c == '\'') {
      quoted = !quoted;
    } else if (!quoted && c == '{') {
      ++depth;
    } else if (!quoted && c == '}') {
      --depth;
      in_word = false;
      ++count;
    } else if ((c == ' ' || c == '=') && !quoted && depth == 0) {
      in_word = false;
      ++count;
    }
  }
  return count;
}

void SplitFirstWord(std::string_view text, std::string_view& word, std::string_view& rest) {
  const auto blank = text.find(' ');
  word = text.substr(0, blank);
  rest = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
}

void SplitFirstWord(std::string_view text, std::string& word, std::string& rest) {
  const auto blank = text.find(' ');
  if (blank == std::string_view::npos) {
    word.assign(text);
    rest.clear();
  } else {
    word.assign(text.substr(0, blank));
    rest.assign(text.substr(blank + 1));
  }
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t pos = 0;
  for (;;) {
    const auto hit = s.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(s.substr(pos, hit - pos)).append(to);
    pos = hit + from.size();
  }
  out.append(s.substr(pos));
  return out;
}

}  // namespace tarnel
