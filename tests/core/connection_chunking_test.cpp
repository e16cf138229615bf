// Where reads cut the stream must not matter: a long session, plain and
// compressed (version 2 and 1, ending and starting again), with colours,
// prompts ended by GA, doubled 0xFF bytes and other telnet commands, gives
// the same screen, log, lines and trigger results whether it arrives whole,
// byte by byte or in random pieces.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "../support/zlib_stream.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

// The game's text as the server puts it on the wire: 0xFF ("я") doubled.
std::string Wire(std::string_view text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\xFF') out += c;
  }
  return out;
}

std::string GameText(std::mt19937& rng, int lines) {
  const std::vector<std::string> says = {Cp("Ярослав говорит: 'я иду'"_cp),
                                         Cp("Стражник говорит: 'стой, кто идёт?'"_cp),
                                         Cp("Заяц говорит: 'я заяц'"_cp)};
  std::string text;
  for (int k = 0; k < lines; ++k) {
    switch (rng() % 5) {
      case 0: text += "\x1b[1;33m" + says[rng() % says.size()] + "\x1b[0m\r\n"; break;
      case 1: text += Cp("Вы видите ящик.\r\n"_cp); break;
      case 2:
        text += "\x1b[0;32mHP:" + std::to_string(rng() % 200) + ">\x1b[0m " + "\xFF\xF9";
        break;
      case 3: text += "\x1b[1;31mline " + std::to_string(k) + " in red\x1b[0m\r\n"; break;
      default: text += "\r\n"; break;
    }
  }
  return text;
}

std::string Session() {
  std::mt19937 rng(1251);
  std::string wire = "\xFF\xFB\x01" + Wire(GameText(rng, 60));
  Deflater v2;
  wire += std::string(kOfferV2) + std::string(kStartV2);
  for (int k = 0; k < 8; ++k) wire += v2.Write(Wire(GameText(rng, 15)));
  wire += v2.End();
  wire += Wire(GameText(rng, 20));
  Deflater v1;
  wire += std::string(kOfferV1) + std::string(kStartV1);
  for (int k = 0; k < 4; ++k) wire += v1.Write(Wire(GameText(rng, 15)));
  wire += v1.End();
  wire += Wire(GameText(rng, 30));
  return wire;
}

struct Result {
  std::string written, screen, log, lines, vars;
};

Result Play(const std::string& wire, const std::vector<std::size_t>& cuts, const std::string& log) {
  TestHost host;
  Client client(host);
  client.DefaultProfile();
  TStringList& vars = client.store.Variables();
  vars.SetValue("global._logfile", log);
  // A prompt without GA is recognised by where a read ends, by design.
  vars.SetValue("global._prompt", "");
  for (const char* counter : {"lines=0", "yellow=0", "red=0"})
    client.ExecuteCommand(std::string("/set ") + counter, false);
  TStringList& trig = client.store.Triggers();
  trig.Add("default.%1=/inc lines");
  trig.Add(Cp("default.%1 говорит: '%2'=/set said={%2}"_cp));
  trig.Add("default./esc[1;33m%1/esc[0m=/inc yellow");
  trig.Add("default.^HP:%1>=/set hp=%1");
  trig.Add("default.in red$=/inc red");
  client.RefreshPanels();
  client.connection.OnConnected();
  host.main.clear();

  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    client.connection.OnRead(std::string_view(wire).substr(from, cut - from));
    from = cut;
  }
  client.connection.OnRead(std::string_view(wire).substr(from));

  Result r;
  r.written = host.main;
  const TScreen& s = client.main_screen;
  for (int row = -s.HistoryRows(); row < s.ScreenRows(); ++row) {
    const TLine* line = s.RowLine(row);
    r.screen.append(line->Chars, kLineCells);
    r.screen.append(reinterpret_cast<const char*>(line->Attrs), kLineCells);
  }
  std::ifstream in(log, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  r.log = content.str();
  for (const auto l : client.incoming.CleanLines()) r.lines.append(l).append("\n");
  for (const char* name : {"default.lines", "default.yellow", "default.red", "default.said",
                           "default.hp", "global._lastrow", "global._currow_esc"})
    r.vars += client.store.Var(name) + "|";
  return r;
}

TEST(ChunkingTest, TheSameSessionWhereverTheReadsEnd) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("tarnel-chunking-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string wire = Session();
  const Result whole = Play(wire, {}, (dir / "whole.log").string());
  ASSERT_NE(whole.written.find("используется протокол MCCP."_cp), std::string::npos);
  EXPECT_EQ(whole.written.find("\x01\x01"), std::string::npos);
  EXPECT_EQ(whole.written.find("\xFF\xFF"), std::string::npos);
  EXPECT_EQ(Render(whole.vars).substr(0, 4), "175|") << Render(whole.vars);

  std::vector<std::vector<std::size_t>> cuttings;
  std::vector<std::size_t> bytewise;
  for (std::size_t k = 1; k < wire.size(); ++k) bytewise.push_back(k);
  cuttings.push_back(bytewise);
  std::mt19937 rng(4000);
  for (int round = 0; round < 4; ++round) {
    std::vector<std::size_t> cuts;
    for (std::size_t k = 1 + rng() % 40; k < wire.size(); k += 1 + rng() % 200) cuts.push_back(k);
    cuttings.push_back(cuts);
  }
  for (std::size_t n = 0; n < cuttings.size(); ++n) {
    const Result r = Play(wire, cuttings[n], (dir / ("cut" + std::to_string(n) + ".log")).string());
    EXPECT_EQ(Render(r.written), Render(whole.written)) << "cutting " << n;
    EXPECT_TRUE(r.screen == whole.screen) << "cutting " << n;
    EXPECT_EQ(r.log, whole.log) << "cutting " << n;
    EXPECT_EQ(r.lines, whole.lines) << "cutting " << n;
    EXPECT_EQ(Render(r.vars), Render(whole.vars)) << "cutting " << n;
  }
  std::filesystem::remove_all(dir);
}

// A GA that comes inside a colour code ends the line there, and the code
// goes on into the next line, whether the code and the GA arrive in one read
// or byte by byte.
TEST(ChunkingTest, AGaInsideAColourCodeEndsTheLineInEveryCutting) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("tarnel-chunking-ga-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string wire =
      "\x1b[0;\xFF\xF9"
      "33mHP:7>\x1b[0m\r\n\x1b[1;\xFF\xF9\xFF\xF9"
      "31mline 2 in red\x1b[0m\r\n";
  const Result whole = Play(wire, {}, (dir / "whole.log").string());
  // The lines cut off at a GA hold nothing visible; the rest of each code
  // is swallowed at the start of the next line.
  EXPECT_EQ(Render(whole.vars).substr(0, 23), "2|0|1||7|line 2 in red|") << Render(whole.vars);
  std::vector<std::size_t> bytewise;
  for (std::size_t k = 1; k < wire.size(); ++k) bytewise.push_back(k);
  const Result cut = Play(wire, bytewise, (dir / "cut.log").string());
  EXPECT_EQ(Render(cut.lines), Render(whole.lines));
  EXPECT_EQ(Render(cut.vars), Render(whole.vars));
  EXPECT_EQ(cut.log, whole.log);
  EXPECT_TRUE(cut.screen == whole.screen);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarnel::test
