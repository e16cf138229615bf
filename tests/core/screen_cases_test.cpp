// Screen behaviour as data: every file under data/screen is a case.  Each case
// runs twice, once giving every "feed" to FeedText whole and once byte by
// byte through FeedByte; every check must hold both ways.
//
// One statement per line; blank lines and lines starting with "#" are skipped.
//
//   screen ROWSxCOLS [history=N] [wrap] [autolf] [autocr] [translate]
//          [options=none|backcolor|copyback|backcolor+copyback] [backcolor=N]
//       The screen to start from, as the first statement.  Without it: a new
//       TScreen (25x80, no history, options=backcolor, BackColor 7).
//       "translate" sets TranslateIn and TranslateInitial.
//   feed "BYTES" [*N]
//       Feeds the bytes (N times).  Escapes: \e ESC, \r CR, \n LF, \t TAB,
//       \b BS, \a BEL, \0 NUL, \xNN any byte, \" and \\.  Other text is UTF-8
//       and becomes Windows-1251 bytes.
//   Actions:  resize-rows N | resize-history N | cols N (ScreenCols) |
//       cursor ROW COL | attr HH (CurAttr) | wrap on|off | translate on|off |
//       blank | push | scroll-up | scroll-down | reset-dirty
//   Checks:
//     ?row R "TEXT"          the visible cells (0 .. ScreenCols-1) of row R,
//                            trailing blanks ignored
//     ?row R A..B "TEXT"     exactly the cells A..B of row R
//     ?attr R RUNS           the attributes of row R's visible cells; a run is
//                            a hex byte (one cell), HH*N (N cells), or a last
//                            HH* (the rest of the cells)
//     ?attr R A..B RUNS      the attributes of the cells A..B
//     ?nullrow R             RowLine(R) gives no line (older than the store)
//     ?cursor ROW COL        ?saved ROW COL      ?region TOP BOTTOM
//     ?curattr HH            ?attrdepth N        ?historytop N
//     ?scrollcount N         ?literal N          ?rows N    ?cols N
//     ?escape on|off         ?wrap on|off        ?translate on|off
//     ?hidden on|off         ?tables ascii|graphics (input and output)
//     ?visibility N          calls of the cursor-visibility handler so far
//     ?dirty none|all|LEFT TOP RIGHT BOTTOM
//     ?returns N             what the last feed returned (the sum of line starts)
//     ?beeps N               beeps so far
//     ?debug ["S"]...        the debug strings written since the last ?debug,
//                            in order; "?debug" alone: none

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "terminal/screen.h"
#include "text/encoding.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> CaseFiles() {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(fs::path(TARNEL_TEST_DATA) / "screen"))
    if (e.path().extension() == ".screen") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Words of a statement; a quoted string is one word and keeps its quotes.
std::vector<std::string> Tokenize(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    std::size_t j = i;
    if (line[i] == '"') {
      for (++j; j < line.size() && line[j] != '"'; ++j)
        if (line[j] == '\\') ++j;
      ++j;
    } else {
      while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    }
    words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a quoted word.
std::string Unquote(const std::string& word) {
  if (word.size() < 2 || word.front() != '"' || word.back() != '"')
    throw std::runtime_error("expected a quoted string: " + word);
  std::string out, utf8;
  auto flush = [&] {
    out += text::Utf8ToCp1251(utf8);
    utf8.clear();
  };
  for (std::size_t i = 1; i + 1 < word.size(); ++i) {
    if (word[i] != '\\') {
      utf8 += word[i];
      continue;
    }
    flush();
    const char c = word[++i];
    switch (c) {
      case 'e': out += '\x1b'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'b': out += '\b'; break;
      case 'a': out += '\a'; break;
      case '0': out += '\0'; break;
      case 'x': {
        const int hi = HexDigit(word[i + 1]), lo = HexDigit(word[i + 2]);
        if (hi < 0 || lo < 0) throw std::runtime_error("bad \\x escape in " + word);
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default: out += c; break;
    }
  }
  flush();
  return out;
}

int Int(const std::string& w) {
  std::size_t used = 0;
  const int v = std::stoi(w, &used);
  if (used != w.size()) throw std::runtime_error("not a number: " + w);
  return v;
}

int Hex(const std::string& w) {
  std::size_t used = 0;
  const int v = std::stoi(w, &used, 16);
  if (used != w.size()) throw std::runtime_error("not a hex byte: " + w);
  return v;
}

bool OnOff(const std::string& w) {
  if (w == "on") return true;
  if (w == "off") return false;
  throw std::runtime_error("expected on or off: " + w);
}

// "A..B" as a cell range.
std::pair<int, int> Range(const std::string& w) {
  const auto dots = w.find("..");
  if (dots == std::string::npos) throw std::runtime_error("expected A..B: " + w);
  return {Int(w.substr(0, dots)), Int(w.substr(dots + 2))};
}

std::string Show(std::string_view bytes) {
  std::string s;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 0x1b) {
      s += "\\e";
    } else if (c == '\r') {
      s += "\\r";
    } else if (c == '\n') {
      s += "\\n";
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      s += hex;
    } else {
      s += ch;
    }
  }
  return s;
}

std::string AttrRuns(const CellAttribute* attrs, int count) {
  std::string s;
  for (int i = 0; i < count;) {
    int j = i;
    while (j < count && attrs[j] == attrs[i]) ++j;
    char run[16];
    std::snprintf(run, sizeof run, "%s%02X*%d", s.empty() ? "" : " ", attrs[i], j - i);
    s += run;
    i = j;
  }
  return s;
}

class CaseRunner {
 public:
  CaseRunner(std::string path, bool bytewise) : path_(std::move(path)), bytewise_(bytewise) {
    screen_.OnBeep = [this] { ++beeps_; };
    screen_.OnDebug = [this](std::string_view s) { debug_.emplace_back(s); };
    screen_.CursorVisibilityHandler = [this](TScreen&) { ++visibility_; };
  }

  void Run() {
    std::ifstream in(path_);
    ASSERT_TRUE(in) << path_;
    bool first = true;
    for (std::string line; std::getline(in, line);) {
      ++line_no_;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto words = Tokenize(line);
      if (words.empty() || words[0][0] == '#') continue;
      try {
        if (words[0] == "screen") {
          if (!first) throw std::runtime_error("screen must be the first statement");
          Setup(words);
        } else if (words[0][0] == '?') {
          Check(words);
        } else {
          Act(words);
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << Where() << "bad statement: " << e.what() << "\n  " << line;
      }
      first = false;
    }
  }

 private:
  std::string Where() const {
    return path_ + ":" + std::to_string(line_no_) + (bytewise_ ? " (byte by byte): " : ": ");
  }

  void Setup(const std::vector<std::string>& w) {
    const auto x = w.at(1).find('x');
    if (x == std::string::npos) throw std::runtime_error("expected ROWSxCOLS");
    screen_.ResizeRows(Int(w[1].substr(0, x)));
    screen_.ScreenCols = Int(w[1].substr(x + 1));
    for (std::size_t i = 2; i < w.size(); ++i) {
      const std::string& o = w[i];
      if (o.rfind("history=", 0) == 0) {
        screen_.ResizeHistory(Int(o.substr(8)));
      } else if (o == "wrap") {
        screen_.WrapAtMargin = true;
      } else if (o == "autolf") {
        screen_.AutoLF = true;
      } else if (o == "autocr") {
        screen_.AutoCR = true;
      } else if (o == "translate") {
        screen_.TranslateIn = screen_.TranslateInitial = true;
      } else if (o.rfind("options=", 0) == 0) {
        const std::string v = o.substr(8);
        screen_.Options = 0;
        if (v.find("backcolor") != std::string::npos) screen_.Options |= vtoBackColor;
        if (v.find("copyback") != std::string::npos) screen_.Options |= vtoCopyBackOnClear;
      } else if (o.rfind("backcolor=", 0) == 0) {
        screen_.BackColor = static_cast<std::uint8_t>(Int(o.substr(10)));
      } else {
        throw std::runtime_error("unknown screen option " + o);
      }
    }
    screen_.ResetDirty();
  }

  void Act(const std::vector<std::string>& w) {
    const std::string& a = w[0];
    if (a == "feed") {
      std::string bytes = Unquote(w.at(1));
      if (w.size() > 2) {
        if (w[2][0] != '*') throw std::runtime_error("expected *N after the bytes");
        const int times = Int(w[2].substr(1));
        std::string once = bytes;
        bytes.clear();
        for (int i = 0; i < times; ++i) bytes += once;
      }
      if (bytewise_) {
        last_return_ = 0;
        for (const char c : bytes) last_return_ += screen_.FeedByte(static_cast<std::uint8_t>(c));
      } else {
        last_return_ = screen_.FeedText(bytes);
      }
    } else if (a == "resize-rows") {
      screen_.ResizeRows(Int(w.at(1)));
    } else if (a == "resize-history") {
      screen_.ResizeHistory(Int(w.at(1)));
    } else if (a == "cols") {
      screen_.ScreenCols = Int(w.at(1));
    } else if (a == "cursor") {
      screen_.CursorRow = Int(w.at(1));
      screen_.CursorCol = Int(w.at(2));
    } else if (a == "attr") {
      screen_.CurAttr = static_cast<CellAttribute>(Hex(w.at(1)));
    } else if (a == "wrap") {
      screen_.WrapAtMargin = OnOff(w.at(1));
    } else if (a == "translate") {
      screen_.TranslateIn = OnOff(w.at(1));
    } else if (a == "blank") {
      screen_.BlankScreen();
    } else if (a == "push") {
      screen_.PushScreenToHistory();
    } else if (a == "scroll-up") {
      screen_.ScrollRegionUp();
    } else if (a == "scroll-down") {
      screen_.ScrollRegionDown();
    } else if (a == "reset-dirty") {
      screen_.ResetDirty();
    } else {
      throw std::runtime_error("unknown action " + a);
    }
  }

  const TLine& Line(int row) {
    const TLine* line = screen_.RowLine(row);
    if (!line) throw std::runtime_error("row " + std::to_string(row) + " is outside the store");
    return *line;
  }

  void CheckRow(const std::vector<std::string>& w) {
    const int row = Int(w.at(1));
    const TLine& line = Line(row);
    std::string actual, expected;
    if (w.size() == 4) {
      const auto [from, to] = Range(w[2]);
      actual.assign(line.Chars + from, line.Chars + to + 1);
      expected = Unquote(w[3]);
    } else {
      actual.assign(line.Chars, line.Chars + screen_.Cols());
      actual.erase(actual.find_last_not_of(' ') + 1);
      expected = Unquote(w.at(2));
    }
    EXPECT_EQ(Show(actual), Show(expected)) << Where() << "row " << row;
  }

  void CheckAttr(const std::vector<std::string>& w) {
    const int row = Int(w.at(1));
    const TLine& line = Line(row);
    std::size_t next = 2;
    int from = 0, to = screen_.Cols() - 1;
    if (w.size() > 2 && w[2].find("..") != std::string::npos) {
      std::tie(from, to) = Range(w[2]);
      next = 3;
    }
    const int count = to - from + 1;
    std::vector<CellAttribute> expected;
    for (std::size_t i = next; i < w.size(); ++i) {
      const auto star = w[i].find('*');
      const auto value = static_cast<CellAttribute>(Hex(w[i].substr(0, star)));
      int times = 1;
      if (star != std::string::npos) {
        times = star + 1 == w[i].size() ? count - static_cast<int>(expected.size())
                                        : Int(w[i].substr(star + 1));
      }
      expected.insert(expected.end(), static_cast<std::size_t>(std::max(times, 0)), value);
    }
    if (static_cast<int>(expected.size()) != count)
      throw std::runtime_error("the runs cover " + std::to_string(expected.size()) +
                               " cells, not " + std::to_string(count));
    EXPECT_EQ(AttrRuns(line.Attrs + from, count), AttrRuns(expected.data(), count))
        << Where() << "attributes of row " << row;
  }

  void Check(const std::vector<std::string>& w) {
    const std::string& c = w[0];
    const TScreen& s = screen_;
    if (c == "?row") {
      CheckRow(w);
    } else if (c == "?attr") {
      CheckAttr(w);
    } else if (c == "?nullrow") {
      EXPECT_EQ(screen_.RowLine(Int(w.at(1))), nullptr) << Where();
    } else if (c == "?cursor") {
      EXPECT_EQ(std::make_pair(s.CursorRow, s.CursorCol),
                std::make_pair(Int(w.at(1)), Int(w.at(2))))
          << Where() << "cursor (row, column)";
    } else if (c == "?saved") {
      EXPECT_EQ(std::make_pair(s.SavedRow(), s.SavedCol()),
                std::make_pair(Int(w.at(1)), Int(w.at(2))))
          << Where() << "saved cursor (row, column)";
    } else if (c == "?region") {
      EXPECT_EQ(std::make_pair(s.RegionTop(), s.RegionBottom()),
                std::make_pair(Int(w.at(1)), Int(w.at(2))))
          << Where() << "scroll region";
    } else if (c == "?curattr") {
      EXPECT_EQ(s.CurAttr, Hex(w.at(1))) << Where() << "CurAttr";
    } else if (c == "?attrdepth") {
      EXPECT_EQ(s.AttrDepth(), Int(w.at(1))) << Where() << "AttrDepth";
    } else if (c == "?historytop") {
      EXPECT_EQ(s.HistoryTop(), Int(w.at(1))) << Where() << "HistoryTop";
    } else if (c == "?scrollcount") {
      EXPECT_EQ(s.ScrollCount, Int(w.at(1))) << Where() << "ScrollCount";
    } else if (c == "?literal") {
      EXPECT_EQ(s.LiteralCount(), Int(w.at(1))) << Where() << "LiteralCount";
    } else if (c == "?rows") {
      EXPECT_EQ(s.ScreenRows(), Int(w.at(1))) << Where() << "ScreenRows";
    } else if (c == "?cols") {
      EXPECT_EQ(s.Cols(), Int(w.at(1))) << Where() << "columns in use";
    } else if (c == "?escape") {
      EXPECT_EQ(s.InEscape(), OnOff(w.at(1))) << Where() << "InEscape";
    } else if (c == "?wrap") {
      EXPECT_EQ(s.WrapAtMargin, OnOff(w.at(1))) << Where() << "WrapAtMargin";
    } else if (c == "?translate") {
      EXPECT_EQ(s.TranslateIn, OnOff(w.at(1))) << Where() << "TranslateIn";
    } else if (c == "?hidden") {
      EXPECT_EQ(s.CursorHidden, OnOff(w.at(1))) << Where() << "CursorHidden";
    } else if (c == "?tables") {
      const TranslationTable* t = w.at(1) == "graphics" ? &kLineGraphicsTable : &kAsciiTable;
      EXPECT_EQ(s.InputTable, t) << Where() << "InputTable";
      EXPECT_EQ(s.OutputTable, t) << Where() << "OutputTable";
    } else if (c == "?visibility") {
      EXPECT_EQ(visibility_, Int(w.at(1))) << Where() << "cursor-visibility calls";
    } else if (c == "?dirty") {
      if (w.at(1) == "all") {
        EXPECT_TRUE(s.AllDirty) << Where() << "AllDirty";
      } else {
        EXPECT_FALSE(s.AllDirty) << Where() << "AllDirty";
        DirtyRectangle r;
        if (w[1] != "none")
          r = DirtyRectangle{Int(w.at(1)), Int(w.at(2)), Int(w.at(3)), Int(w.at(4))};
        EXPECT_EQ(s.DirtyRect, r) << Where() << "DirtyRect is " << s.DirtyRect.Left << " "
                                  << s.DirtyRect.Top << " " << s.DirtyRect.Right << " "
                                  << s.DirtyRect.Bottom;
      }
    } else if (c == "?returns") {
      EXPECT_EQ(last_return_, Int(w.at(1))) << Where() << "result of the last feed";
    } else if (c == "?beeps") {
      EXPECT_EQ(beeps_, Int(w.at(1))) << Where() << "beeps";
    } else if (c == "?debug") {
      std::vector<std::string> expected, actual;
      for (std::size_t i = 1; i < w.size(); ++i) expected.push_back(Show(Unquote(w[i])));
      for (const auto& d : debug_) actual.push_back(Show(d));
      EXPECT_EQ(actual, expected) << Where() << "debug output";
      debug_.clear();
    } else {
      throw std::runtime_error("unknown check " + c);
    }
  }

  std::string path_;
  bool bytewise_;
  int line_no_ = 0;
  TScreen screen_;
  int beeps_ = 0;
  int visibility_ = 0;
  int last_return_ = 0;
  std::vector<std::string> debug_;
};

class ScreenCase : public ::testing::TestWithParam<std::string> {};

TEST_P(ScreenCase, WholeFeeds) { CaseRunner(GetParam(), false).Run(); }
TEST_P(ScreenCase, ByteByByte) { CaseRunner(GetParam(), true).Run(); }

INSTANTIATE_TEST_SUITE_P(Data, ScreenCase, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = fs::path(info.param).stem().string();
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace tarnel::test
