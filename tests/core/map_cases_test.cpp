// Map behaviour as data: every file under data/map is a case, run in a
// fresh temporary folder that becomes the working folder.
//
//   # comment
//   @file <name>          the lines up to @end are written to the file (CR LF)
//   @ask <answer>         the host can ask for file names and answers this
//                         ("-" cancels)
//   @takeback             Alt+Backspace: the last recorded room goes
//   > <command>           run as typed (echo on); >0 runs it with echo off
//   | <line>              expected output of the command above, line by line
//   |~ <text>             expected output that ends without a line end
//   ?var name=value       the variable holds exactly this value (?var !name: absent)
//   ?file <name>          the lines up to @end are exactly the file's lines
//   ?grid <z>             the lines up to @end picture the slots of level z
//                         around the centre: "." empty, "+" the filler,
//                         otherwise the id of the room there
//   ?line <text>          the room listed under the text before "=" saves as
//                         this line
//   ?current <text>       the current room is listed under this text ("none")
//   ?order <texts>        the rooms' texts in list order
//   ?link <text> <d> <text>  the room's link in direction d (w n e s u d)
//                         leads to that room ("-": none)
//   ?corridor <text>      the room carries the corridor mark (!<text>: not)
//
// Output is UTF-8; ESC is \e, CR LF ends a line, the clock reads <stamp>
// and the case's folder <dir>.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "mapper/map_commands.h"
#include "mapper/map_file.h"
#include "test_host.h"
#include "text/encoding.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

class AskingHost : public TestHost {
 public:
  bool CanAskFiles() const override { return can_ask; }
  std::string AskMapFileName(bool save, std::string_view, std::string_view folder) override {
    asked.push_back(std::string(save ? "save in " : "open in ") + std::string(folder));
    return answer;
  }
  bool can_ask = false;
  std::string answer;
  std::vector<std::string> asked;
};

std::vector<std::string> CaseFiles() {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(fs::path(TARNEL_TEST_DATA) / "map"))
    if (e.path().extension() == ".case") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Utf8(std::string_view cp1251) { return text::Cp1251ToUtf8(cp1251); }

std::string Words(std::string_view s) {
  std::istringstream in{std::string(s)};
  std::string out, w;
  while (in >> w) out += (out.empty() ? "" : " ") + w;
  return out;
}

std::string Slot(const MapModel& m, int x, int y, int z) {
  const tmudcell* c = m.LayoutGrid.At(x, y, z);
  if (c == nullptr) return ".";
  if (c == &m.FillerCell) return "+";
  return std::to_string(c->id);
}

class MapCase : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    old_cwd_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("tarnel-map-" + std::to_string(::getpid()) + "-" +
                                        fs::path(GetParam()).stem().string());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(old_cwd_);
    fs::remove_all(dir_);
  }
  fs::path old_cwd_, dir_;
};

TEST_P(MapCase, Runs) {
  std::ifstream in(GetParam());
  ASSERT_TRUE(in) << GetParam();
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  AskingHost host;
  Client client(host);
  client.DefaultProfile();
  client.store.Variables().SetValue("global._logfile", "");
  MapModel& m = client.map;
  const std::string where = GetParam() + ":";

  std::string expected, command;
  std::size_t command_line = 0;
  bool have_command = false;
  auto render = [&](std::string_view cp) {
    std::string out = Render(cp);
    const std::string d = dir_.string();
    for (std::size_t p; (p = out.find(d)) != std::string::npos;) out.replace(p, d.size(), "<dir>");
    return out;
  };
  auto check = [&] {
    if (!have_command) return;
    const std::string actual = render(host.main);
    EXPECT_TRUE(actual == expected) << where << command_line << ": output of " << command
                                    << "\n--- expected:\n" << expected << "--- actual:\n" << actual << "---";
    host.main.clear();
    expected.clear();
    have_command = false;
  };
  // The lines after a directive up to @end.
  auto block = [&](std::size_t& n) {
    std::vector<std::string> out;
    for (++n; n < lines.size() && lines[n] != "@end"; ++n) out.push_back(lines[n]);
    return out;
  };
  auto room = [&](const std::string& t) { return m.CellList.Find(text::Utf8ToCp1251(t)); };

  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    const std::string at = where + std::to_string(n + 1) + ": ";
    auto arg = [&](std::size_t skip) { return line.size() > skip ? line.substr(skip) : std::string(); };
    if (line.rfind("> ", 0) == 0 || line.rfind(">0 ", 0) == 0) {
      check();
      const bool echo = line[1] == ' ';
      command = arg(echo ? 2 : 3);
      command_line = n + 1;
      host.main.clear();
      client.ExecuteCommand(text::Utf8ToCp1251(command), echo);
      have_command = true;
    } else if (line.rfind("|~ ", 0) == 0) {
      expected += arg(3);
    } else if (line == "|" || line.rfind("| ", 0) == 0) {
      expected += arg(2) + "\n";
    } else if (line.rfind("@file ", 0) == 0) {
      check();
      const std::string name = arg(6);
      if (fs::path(name).has_parent_path()) fs::create_directories(fs::path(name).parent_path());
      std::string content;
      for (const auto& l : block(n)) content += text::Utf8ToCp1251(l) + "\r\n";
      std::ofstream(name, std::ios::binary) << content;
    } else if (line.rfind("@ask ", 0) == 0) {
      check();
      host.can_ask = true;
      host.answer = arg(5) == "-" ? std::string() : text::Utf8ToCp1251(arg(5));
    } else if (line == "@takeback") {
      check();
      command = line;
      command_line = n + 1;
      TakeBackLastRoom(client);
      have_command = true;
    } else if (line.rfind("?var ", 0) == 0) {
      check();
      const std::string what = text::Utf8ToCp1251(arg(5));
      TStringList& vars = client.store.Variables();
      if (what.rfind('!', 0) == 0) {
        EXPECT_LT(vars.IndexOfName(what.substr(1)), 0) << at << line;
        continue;
      }
      const int idx = vars.IndexOfName(what.substr(0, what.find('=')));
      ASSERT_GE(idx, 0) << at << "missing " << line;
      EXPECT_EQ(render(vars[idx]), render(what)) << at;
    } else if (line.rfind("?file ", 0) == 0) {
      check();
      const std::string name = arg(6);
      std::string want;
      for (const auto& l : block(n)) want += l + "\n";
      std::ifstream f(name, std::ios::binary);
      EXPECT_TRUE(f) << at << name << " is missing";
      std::stringstream got;
      got << f.rdbuf();
      EXPECT_EQ(render(got.str()), want) << at << name;
    } else if (line.rfind("?grid ", 0) == 0) {
      check();
      const int z = std::stoi(arg(6));
      const std::vector<std::string> rows = block(n);
      const int half_rows = static_cast<int>(rows.size()) / 2;
      std::string want, got;
      for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const std::string row = Words(rows[static_cast<std::size_t>(r)]);
        const int cols = static_cast<int>(std::count(row.begin(), row.end(), ' ')) + 1;
        std::string mine;
        for (int col = 0; col < cols; ++col)
          mine += (col ? " " : "") + Slot(m, col - cols / 2, r - half_rows, z);
        want += row + "\n";
        got += mine + "\n";
      }
      EXPECT_EQ(got, want) << at << "level " << z;
    } else if (line.rfind("?line ", 0) == 0) {
      check();
      const std::string want = arg(6);
      const tmudcell* r = room(want.substr(0, want.find('=')));
      ASSERT_NE(r, nullptr) << at << line;
      EXPECT_EQ(Utf8(FormatCellLine(*r)), want) << at;
    } else if (line.rfind("?current ", 0) == 0) {
      check();
      const tmudcell* r = m.CurrentRoom();
      const int i = m.CurrentCell();
      EXPECT_EQ(r == nullptr ? std::string("none") : Utf8(m.CellList.Text(i)), arg(9)) << at;
    } else if (line.rfind("?order", 0) == 0) {
      check();
      std::string got;
      for (const auto& e : m.CellList.Entries()) got += (got.empty() ? "" : " ") + Utf8(e.text);
      EXPECT_EQ(got, Words(arg(6))) << at;
    } else if (line.rfind("?link ", 0) == 0) {
      check();
      std::istringstream words(arg(6));
      std::string from, dir, to;
      words >> from >> dir >> to;
      const tmudcell* r = room(from);
      ASSERT_NE(r, nullptr) << at << line;
      const int k = DirectionOfLetter(dir[0]);
      ASSERT_GE(k, 0) << at << line;
      const tmudcell* l = r->links[k];
      EXPECT_EQ(l == nullptr ? std::string("-") : Utf8(m.CellList.Text(m.CellList.IndexOfCell(l))), to)
          << at << line;
    } else if (line.rfind("?corridor ", 0) == 0) {
      check();
      std::string which = arg(10);
      const bool want = which[0] != '!';
      if (!want) which.erase(0, 1);
      const tmudcell* r = room(which);
      ASSERT_NE(r, nullptr) << at << line;
      EXPECT_EQ(r->corridorMark, want) << at << line;
    } else if (line.empty() || line[0] == '#') {
      continue;
    } else {
      ADD_FAILURE() << at << "unknown line " << line;
    }
  }
  check();
}

INSTANTIATE_TEST_SUITE_P(Data, MapCase, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = fs::path(info.param).stem().string();
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace tarnel::test
