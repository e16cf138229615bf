// Interpreter behaviour as data: every file under data/interp is a case.
//
//   # comment
//   @bare                 start with an empty store (default: the default profile)
//   @connected            the connection is open
//   @pump <command>       the next message-loop turn runs this command
//   @server <bytes>       the bytes arrive from the server (\e ESC, \r CR,
//                         \n LF, \\ backslash, \xHH any byte)
//   > <command>           run as typed in the command line (echo on)
//   >0 <command>          run with echo off
//   | <line>              expected output of the command above, line by line
//   |~ <text>             expected output that ends without a line end
//   << <bytes>            expected bytes sent to the server
//   ?var name=value       the variable holds exactly this value
//   ?var !name            the variable does not exist
//   (likewise ?macro ?trig ?func ?arg ?hotkey ?group ?preview)
//
// Output is written as UTF-8; ESC is \e, CR LF ends a line, the clock reads
// <stamp>.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_host.h"
#include "text/encoding.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> CaseFiles() {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(fs::path(TARNEL_TEST_DATA) / "interp"))
    if (e.path().extension() == ".case") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

TStringList* ListByWord(Client& c, const std::string& word) {
  if (word == "var") return &c.store.Variables();
  if (word == "macro") return &c.store.Macros();
  if (word == "trig") return &c.store.Triggers();
  if (word == "func") return &c.store.Functions();
  if (word == "arg") return &c.store.Arguments();
  if (word == "hotkey") return &c.store.Hotkeys();
  if (word == "group") return &c.store.Groups();
  if (word == "preview") return &c.store.Preview();
  return nullptr;
}

// The escapes of an @server line turned into bytes.
std::string ServerBytes(const std::string& written) {
  const std::string s = text::Utf8ToCp1251(written);
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    const char e = s[++i];
    if (e == 'e') {
      out += '\x1b';
    } else if (e == 'r') {
      out += '\r';
    } else if (e == 'n') {
      out += '\n';
    } else if (e == 'x' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += e;
    }
  }
  return out;
}

class InterpCase : public ::testing::TestWithParam<std::string> {};

TEST_P(InterpCase, Runs) {
  std::ifstream in(GetParam());
  ASSERT_TRUE(in) << GetParam();
  TestHost host;
  Client client(host);
  bool bare = false;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (line == "@bare") bare = true;
  }
  if (!bare) {
    client.DefaultProfile();
    client.store.Variables().SetValue("global._logfile", "");
  }

  std::string expected;
  std::vector<std::string> expected_sent;
  std::size_t command_line = 0;
  std::string command;
  std::size_t sent_before = 0;
  bool have_command = false;

  auto check = [&] {
    if (!have_command) return;
    const std::string actual = Render(host.main);
    EXPECT_TRUE(actual == expected) << GetParam() << ":" << command_line << ": output of " << command
                                    << "\n--- expected:\n" << expected << "--- actual:\n" << actual << "---";
    std::vector<std::string> sent(host.sent.begin() + static_cast<long>(sent_before), host.sent.end());
    std::vector<std::string> rendered;
    for (const auto& s : sent) rendered.push_back(Render(s));
    EXPECT_EQ(rendered, expected_sent) << GetParam() << ":" << command_line << ": sent by " << command;
    host.main.clear();
    expected.clear();
    expected_sent.clear();
    sent_before = host.sent.size();
    have_command = false;
  };

  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    if (line.rfind("> ", 0) == 0 || line.rfind(">0 ", 0) == 0) {
      check();
      const bool echo = line[1] == ' ';
      command = line.substr(echo ? 2 : 3);
      command_line = n + 1;
      host.main.clear();
      client.ExecuteCommand(text::Utf8ToCp1251(command), echo);
      have_command = true;
    } else if (line.rfind("|~ ", 0) == 0) {
      expected += line.substr(3);
    } else if (line == "|" || line.rfind("| ", 0) == 0) {
      expected += (line.size() > 2 ? line.substr(2) : std::string()) + "\n";
    } else if (line.rfind("<< ", 0) == 0) {
      expected_sent.push_back(line.substr(3));
    } else if (line.rfind("?", 0) == 0) {
      check();
      const auto blank = line.find(' ');
      ASSERT_NE(blank, std::string::npos) << GetParam() << ":" << n + 1;
      TStringList* list = ListByWord(client, line.substr(1, blank - 1));
      ASSERT_NE(list, nullptr) << GetParam() << ":" << n + 1;
      const std::string what = text::Utf8ToCp1251(line.substr(blank + 1));
      if (what.rfind('!', 0) == 0) {
        EXPECT_LT(list->IndexOfName(what.substr(1)), 0) << GetParam() << ":" << n + 1 << " " << line;
      } else {
        const auto eq = what.find('=');
        const std::string name = what.substr(0, eq);
        const int idx = list->IndexOfName(name);
        EXPECT_GE(idx, 0) << GetParam() << ":" << n + 1 << " missing " << line;
        if (idx >= 0) {
          EXPECT_EQ(Render((*list)[idx]), Render(what)) << GetParam() << ":" << n + 1;
        }
      }
    } else if (line == "@connected") {
      check();
      client.connection.OnConnected();
    } else if (line.rfind("@pump ", 0) == 0) {
      const std::string queued = text::Utf8ToCp1251(line.substr(6));
      host.pump.push_back([&client, queued] { client.ExecuteCommand(queued, true); });
    } else if (line.rfind("@server ", 0) == 0) {
      check();
      command = line;
      command_line = n + 1;
      host.main.clear();
      client.incoming.ProcessIncoming(ServerBytes(line.substr(8)));
      have_command = true;
    } else if (line == "@bare" || line.empty() || line[0] == '#') {
      continue;
    } else {
      ADD_FAILURE() << GetParam() << ":" << n + 1 << ": unknown line " << line;
    }
  }
  check();
}

INSTANTIATE_TEST_SUITE_P(Data, InterpCase, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = fs::path(info.param).stem().string();
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace tarnel::test
