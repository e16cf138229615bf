// The built-in manual's texts: their layout, their examples (each one run
// as typed in a fresh client) and the command words they cover.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <set>

#include "interp/commands.h"
#include "interp/manual_texts.h"
#include "test_host.h"
#include "text/cp1251.h"
#include "text/encoding.h"

namespace tarnel::test {
namespace {

using namespace literals;
namespace fs = std::filesystem;

constexpr std::string_view kHeadingStart = "\x1b[1;37m";
constexpr std::string_view kHeadingEnd = "\x1b[0;37m";

bool IsText(const ManualTopic& t) { return t.text.starts_with("\r\n"); }

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string_view::npos; from = at + 2)
    lines.emplace_back(text.substr(from, at - from));
  if (from < text.size()) lines.emplace_back(text.substr(from));
  return lines;
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

// The lines under every "Пример:" heading of a text (UTF-8): from the line
// after the heading up to a blank line or the next heading.
std::vector<std::string> Examples(std::string_view text) {
  const std::string heading = std::string(kHeadingStart) + "Пример:" + std::string(kHeadingEnd);
  std::vector<std::string> out;
  bool under = false;
  for (const std::string& line : Lines(text)) {
    const std::string t = Trimmed(line);
    if (t == heading) {
      under = true;
      continue;
    }
    if (t.empty() || t.starts_with(kHeadingStart)) {
      under = false;
      continue;
    }
    if (under) out.push_back(t);
  }
  return out;
}

// A host that notes what an example must never do.
class ExampleHost : public TestHost {
 public:
  void SocketOpen(const std::string& host, int port) override {
    opened.push_back(host + ":" + std::to_string(port));
  }
  std::vector<std::string> opened;
};

class ManualTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    old_dir_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("tarnel-manual-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
  }
  void TearDown() override {
    fs::current_path(old_dir_);
    fs::remove_all(dir_);
  }

  // Runs one example line in a fresh client in an empty folder; the output
  // in Windows-1251.
  std::string RunExample(const std::string& line, ExampleHost& host) {
    fs::current_path(old_dir_);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
    Client c{host};
    c.DefaultProfile();
    c.store.Variables().SetValue("global._logfile", "");
    c.ExecuteCommand(text::Utf8ToCp1251(line), false);
    return host.main;
  }

  fs::path old_dir_;
  fs::path dir_;
};

TEST_F(ManualTexts, EveryTextIsLaidOutForTheTerminalAndFitsTheCodePage) {
  std::set<std::string_view> texts;
  for (const ManualTopic& t : ManualTopicsUtf8()) {
    if (IsText(t)) texts.insert(t.name);
  }
  for (const ManualTopic& t : ManualTopicsUtf8()) {
    SCOPED_TRACE(std::string(t.name));
    if (!IsText(t)) {
      // A redirect names a topic that has a text.
      EXPECT_TRUE(texts.count(t.text)) << t.text;
      continue;
    }
    EXPECT_TRUE(t.text.ends_with("\r\n"));
    EXPECT_EQ(t.text.find("описание будет здесь"), std::string_view::npos);
    // No bare CR or LF: every line ends with CR LF.
    for (std::size_t i = 0; i < t.text.size(); ++i) {
      if (t.text[i] == '\r') {
        EXPECT_EQ(t.text.substr(i, 2), "\r\n") << i;
      }
      if (t.text[i] == '\n') {
        EXPECT_EQ(t.text[i - 1], '\r') << i;
      }
    }
    // Every character has a Windows-1251 code: the round trip is exact.
    EXPECT_EQ(text::Cp1251ToUtf8(text::Utf8ToCp1251(t.text)), t.text);
    // The redirect test of the manual takes short texts for names.
    EXPECT_GT(text::Utf8ToCp1251(t.text).size(), 15u);
  }
  const std::string_view overview = ManualOverviewUtf8();
  EXPECT_EQ(text::Cp1251ToUtf8(text::Utf8ToCp1251(overview)), overview);
  EXPECT_TRUE(overview.starts_with("\r\n\x1b[0;37mДля подробной справки наберите \"/man команда\".\r\n"));
  EXPECT_TRUE(overview.ends_with("\r\nДоп.разделы справки: news, stdvars, timers, replaces"));
  for (const char* heading : {"Список команд:", "Работа с числами:", "Работа со строками:",
                              "Работа с картой:", "Диалоги:", "Статсы:"}) {
    const std::string h = std::string(kHeadingStart) + heading + std::string(kHeadingEnd) + "\r\n";
    EXPECT_NE(overview.find(h), std::string_view::npos) << heading;
  }
}

TEST_F(ManualTexts, EveryExampleRunsAsTyped) {
  int examples = 0;
  for (const ManualTopic& t : ManualTopicsUtf8()) {
    if (!IsText(t)) continue;
    for (const std::string& line : Examples(t.text)) {
      SCOPED_TRACE(std::string(t.name) + ": " + line);
      ++examples;
      ExampleHost host;
      const std::string out = RunExample(line, host);
      const std::string shown = text::Cp1251ToUtf8(out);
      EXPECT_EQ(out.find("Неизвестная команда"_cp), std::string::npos) << shown;
      EXPECT_EQ(out.find("Ошибка в параметрах"_cp), std::string::npos) << shown;
      // Nor any other complaint: a file that is not there, a formula that
      // does not compute.
      EXPECT_EQ(out.find("Ошибка"_cp), std::string::npos) << shown;
      EXPECT_TRUE(host.opened.empty()) << host.opened.front();
      EXPECT_FALSE(host.close_requested);
    }
  }
  // Nearly every topic shows how it is used.
  EXPECT_GT(examples, 60);
}

// Whether `word` stands in `text` as a whole word: not part of a longer
// command word or name.
bool HasWord(std::string_view text, std::string_view word) {
  auto name_char = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '/';
  };
  for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    const bool starts = at == 0 || !name_char(text[at - 1]);
    const std::size_t end = at + word.size();
    const bool ends = end == text.size() || !name_char(text[end]);
    if (starts && ends) return true;
  }
  return false;
}

TEST_F(ManualTexts, EveryCommandWordIsDocumented) {
  std::string all(ManualOverviewUtf8());
  for (const ManualTopic& t : ManualTopicsUtf8())
    if (IsText(t)) all.append(t.text);
  for (std::string_view word : CommandNameEntries()) {
    if (!word.starts_with("/")) continue;
    EXPECT_TRUE(HasWord(all, word)) << word;
  }
  // The manual's own words, which the list leaves out.
  for (std::string_view word : {"/man", "/manual", "/help"}) EXPECT_TRUE(HasWord(all, word)) << word;
}

TEST_F(ManualTexts, TheExamplesAreFoundAsTheTestReadsThem) {
  const std::string text = std::string("\r\nОписание.\r\n") + "\x1b[1;37mПример:\x1b[0;37m\r\n" +
                           "  /set x=5\r\n  /echo %x\r\n\r\nПосле.\r\n" +
                           "\x1b[1;37mПример:\x1b[0;37m\r\n/echo a\r\n\x1b[1;37mПравила написания:\x1b[0;37m\r\n/echo b\r\n";
  EXPECT_EQ(Examples(text), (std::vector<std::string>{"/set x=5", "/echo %x", "/echo a"}));
  EXPECT_TRUE(HasWord("см. /load file", "/load"));
  EXPECT_FALSE(HasWord("см. /loadprofile", "/load"));
  EXPECT_FALSE(HasWord("//load", "/load"));
}

}  // namespace
}  // namespace tarnel::test
