#include "script/script_file.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

namespace tarnel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

// The first pass.  A line is looked at again after a change, as a line
// beginning with "{" takes the next lines one by one; the text is kept in
// one buffer with a start offset so that taking lines and dropping "}"s
// never copies what is already there.
std::vector<std::string> FirstPass(std::vector<std::string>& in) {
  std::vector<std::string> out;
  out.reserve(in.size());
  std::size_t next = 0;
  while (next < in.size()) {
    std::string cur = std::move(in[next++]);
    std::size_t start = 0;
    auto line = [&] { return std::string_view(cur).substr(start); };
    auto take = [&] { return start == 0 ? std::move(cur) : cur.substr(start); };
    for (;;) {
      while (start < cur.size() && IsBlank(cur[start])) ++start;
      while (cur.size() > start && IsBlank(cur.back())) cur.pop_back();
      const std::string_view l = line();
      if (l.empty()) break;
      if (l[0] == '"' || l[0] == '\'') {
        out.push_back("/do " + std::string(l));
      } else if (StartsWith(l, "//")) {
        // A comment.
      } else if (l[0] == '/') {
        out.push_back(take());
      } else if (l[0] == '{') {
        if (next >= in.size()) {
          out.push_back(take());  // the last line stays as it is
          break;
        }
        const std::string_view following = TrimLeft(in[next++]);
        if (!following.empty() && following[0] != '/') cur += '/';
        cur.append(following);
        continue;
      } else if (l[0] == '}') {
        if (out.empty()) {
          out.push_back(take());  // the first line stays as it is
          break;
        }
        out.back() += '}';
        ++start;
        continue;
      } else if (StartsWith(l, "else ") || StartsWith(l, "else{")) {
        if (out.empty()) {
          out.push_back(take());
          break;
        }
        out.back().append(" else ").append(TrimLeft(l.substr(4)));
      } else {
        out.push_back("/" + std::string(l));
      }
      break;
    }
  }
  return out;
}

// What the joining pass needs to know of a line without reading it again:
// the depth it ends at alone, and how it moves a depth above 0 that enters
// it.  Above 0 quotes do not count, so only braces move the depth: by `net`
// over the line, and no deeper than `hole` below the entering depth.
struct LineShape {
  std::int64_t alone = 0;
  std::int64_t net = 0;
  std::int64_t hole = 0;
};

LineShape ShapeOf(std::string_view s) {
  LineShape shape;
  shape.alone = BraceDepth(s);
  std::int64_t d = 0, lowest = 0;
  for (char c : s) {
    if (c == '{') {
      ++d;
    } else if (c == '}') {
      lowest = std::min(lowest, --d);
    }
  }
  shape.net = d;
  shape.hole = -lowest;
  return shape;
}

// The depth at the end of a line entered at depth d > 0: braces alone until
// the depth comes down to 0, from there on as BraceDepth counts.
std::int64_t DepthAfter(std::string_view s, std::int64_t d) {
  std::size_t i = 0;
  for (; i < s.size() && d > 0; ++i) {
    if (s[i] == '{')
      ++d;
    else if (s[i] == '}')
      --d;
  }
  if (d > 0) return d;
  return d + BraceDepth(s.substr(i));
}

// Finds, for a line whose block is open, the line that closes it.  Between
// the lines where the depth comes down to a line's hole the depth moves by
// the lines' nets alone, so a block is followed from one such line to the
// next through a tree of maxima instead of line by line.  A block that is
// never closed is followed to the end, and would be again from every open
// line after it; what such a search met on its way (a line and the depth it
// was entered at) is remembered, so that a later search meeting the same
// state stops there.
class BlockCloser {
 public:
  explicit BlockCloser(const std::vector<LineShape>& shapes) : shapes_(shapes) {
    const std::size_t n = shapes.size();
    before_.assign(n + 1, 0);
    for (std::size_t m = 0; m < n; ++m) before_[m + 1] = before_[m] + shapes[m].net;
    size_ = 1;
    while (size_ < n) size_ *= 2;
    tree_.assign(2 * size_, kNone);
    // Line m is entered at d + before_[m] - before_[a + 1] when the block
    // leaves line a at depth d; it reaches its hole when that is at most
    // hole, that is when hole - before_[m] >= d - before_[a + 1].
    for (std::size_t m = 0; m < n; ++m) tree_[size_ + m] = shapes[m].hole - before_[m];
    for (std::size_t i = size_ - 1; i >= 1; --i)
      tree_[i] = std::max(tree_[2 * i], tree_[2 * i + 1]);
  }

  // The line that closes the block line k opens, or -1 when none does.
  // lines gives the text of a line where the depth has to be counted.
  template <typename LineText>
  std::int64_t Close(std::size_t k, const LineText& lines) {
    const std::size_t n = shapes_.size();
    std::int64_t d = shapes_[k].alone;
    std::size_t a = k;
    path_.clear();
    for (;;) {
      const std::int64_t v = d - before_[a + 1];
      const std::size_t m = FirstAtLeast(a + 1, v);
      if (m >= n) break;
      const std::int64_t entering = v + before_[m];
      const Key key{m, entering};
      if (open_.count(key) != 0) break;
      path_.push_back(key);
      d = DepthAfter(lines(m), entering);
      if (d <= 0) return static_cast<std::int64_t>(m);
      a = m;
    }
    open_.insert(path_.begin(), path_.end());
    return -1;
  }

 private:
  static constexpr std::int64_t kNone = INT64_MIN;

  struct Key {
    std::size_t line;
    std::int64_t depth;
    bool operator==(const Key& o) const { return line == o.line && depth == o.depth; }
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const {
      return std::hash<std::size_t>()(k.line) * 31 + std::hash<std::int64_t>()(k.depth);
    }
  };

  // The first line from `from` on whose value in the tree is at least v,
  // or a position past the end.
  std::size_t FirstAtLeast(std::size_t from, std::int64_t v) const {
    if (from >= size_) return size_;
    std::size_t i = size_ + from;
    if (tree_[i] >= v) return from;
    // Up to the nearest subtree right of the lines looked at that holds
    // such a value, then down to its leftmost one.
    for (;;) {
      while (i & 1) {
        i >>= 1;
        if (i == 0) return size_;
      }
      ++i;
      if (tree_[i] >= v) break;
    }
    while (i < size_) i = tree_[2 * i] >= v ? 2 * i : 2 * i + 1;
    return i - size_;
  }

  const std::vector<LineShape>& shapes_;
  std::vector<std::int64_t> before_;  // sum of the nets of the lines before
  std::size_t size_ = 1;
  std::vector<std::int64_t> tree_;
  std::unordered_set<Key, KeyHash> open_;  // states from which no line closes
  std::vector<Key> path_;
};

// The second pass: a line whose block is still open takes the following
// lines (directly after a "{" at its end, otherwise after a ";") until the
// depth at the end of one of them is 0 or below.
std::vector<std::string> SecondPass(std::vector<std::string>& lines) {
  std::vector<LineShape> shapes;
  shapes.reserve(lines.size());
  bool any_open = false;
  for (const auto& l : lines) {
    shapes.push_back(ShapeOf(l));
    any_open = any_open || shapes.back().alone > 0;
  }
  if (!any_open) return std::move(lines);
  BlockCloser closer(shapes);
  auto text = [&](std::size_t m) { return std::string_view(lines[m]); };
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (shapes[k].alone <= 0) {
      out.push_back(std::move(lines[k]));
      continue;
    }
    const std::int64_t close = closer.Close(k, text);
    if (close < 0) {
      out.push_back(std::move(lines[k]));
      continue;
    }
    std::string joined = std::move(lines[k]);
    for (std::size_t m = k + 1; m <= static_cast<std::size_t>(close); ++m) {
      if (joined.empty() || joined.back() != '{') joined += ';';
      joined += lines[m];
    }
    out.push_back(std::move(joined));
    k = static_cast<std::size_t>(close);
  }
  return out;
}

}  // namespace

std::int64_t BraceDepth(std::string_view s) {
  // Quotes count only outside braces, and a quote is closed only by its own
  // kind, so an apostrophe inside a braced value or a quoted name ("can't")
  // never hides a closing brace.
  std::int64_t depth = 0;
  char quote = 0;
  for (char c : s) {
    if (depth <= 0 && quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      --depth;
    }
  }
  return depth;
}

std::vector<std::string> PrepareScriptLines(std::vector<std::string> lines) {
  std::vector<std::string> first = FirstPass(lines);
  return SecondPass(first);
}

std::vector<ScriptStep> ReadScript(std::vector<std::string> lines) {
  std::vector<ScriptStep> steps;
  steps.reserve(lines.size());
  std::vector<std::string> segment;
  auto flush = [&] {
    if (segment.empty()) return;
    for (auto& s : PrepareScriptLines(std::move(segment))) steps.push_back({std::move(s), {}});
    segment.clear();
  };
  for (auto& line : lines) {
    if (auto exact = ReadExactLine(line)) {
      flush();
      steps.push_back({std::string(), std::move(exact)});
    } else {
      segment.push_back(std::move(line));
    }
  }
  flush();
  return steps;
}

}  // namespace tarnel
