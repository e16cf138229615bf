// The console client playing on a real TinyMUX server: it logs in as the
// game's wizard, digs rooms, walks through their exits and talks in Russian,
// with telnet handling on. TinyMUX negotiates options at every connect, wants
// lines ending in CR LF and reads a lone 0xFF ("я" in Windows-1251) as the
// start of a telnet command, so this is where the telnet handling meets a
// server that really needs it.
//
// The client runs with --raw: what it prints is the Windows-1251 bytes as
// they came, so the server's echo can be compared byte for byte.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "console_process.h"
#include "text/encoding.h"
#include "tinymux_game.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

// UTF-8 text of this file as the client's Windows-1251 bytes.
std::string Cp1251(std::string_view utf8) { return text::Utf8ToCp1251(utf8); }

// Windows-1251 bytes made readable in a failure message: Russian letters as
// UTF-8, every other byte outside printable ASCII as \xNN.
std::string Shown(std::string_view bytes) {
  std::string out;
  char hex[8];
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0xC0) {
      const unsigned code = 0x410 + (b - 0xC0);
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (b == '\n' || (b >= 0x20 && b < 0x7F)) {
      out += c;
    } else if (b != '\r') {
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out;
}

std::string Tail(std::string_view bytes, std::size_t size = 3000) {
  return Shown(bytes.size() > size ? bytes.substr(bytes.size() - size) : bytes);
}

// A line without its colour codes.
std::string WithoutColours(std::string_view line) {
  std::string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
      std::size_t end = i + 2;
      while (end < line.size() && ((line[end] >= '0' && line[end] <= '9') || line[end] == ';'))
        ++end;
      if (end < line.size() && line[end] == 'm') {
        i = end;
        continue;
      }
    }
    out += line[i];
  }
  return out;
}

// Where telnet negotiation got through into text, described; empty when it
// did not. A command is IAC followed by a byte from SE to DONT; the option
// bytes TinyMUX negotiates at connect (SGA, TTYPE, EOR, NAWS) are control
// characters no game text holds. The texts of the session never put "я"
// (0xFF) before a letter from "р" to "ю" (0xF0..0xFE), so such a pair can
// only be a command.
std::string TelnetLeftover(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    const bool command = b == 0xFF && i + 1 < bytes.size() &&
                         static_cast<unsigned char>(bytes[i + 1]) >= 0xF0 &&
                         static_cast<unsigned char>(bytes[i + 1]) <= 0xFE;
    const bool option = b == 0x03 || b == 0x18 || b == 0x19 || b == 0x1F;
    if (command || option) {
      const std::size_t from = i < 40 ? 0 : i - 40;
      return std::string(command ? "a telnet command" : "a telnet option byte") + " at byte " +
             std::to_string(i) + ", in: " + Shown(bytes.substr(from, 80));
    }
  }
  return {};
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The number in "<name> created as room #<number>."
std::string RoomNumber(const std::string& line) {
  const std::size_t hash = line.rfind('#');
  if (hash == std::string::npos) return {};
  std::size_t end = hash + 1;
  while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
  return line.substr(hash + 1, end - hash - 1);
}

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

TEST(TinyMuxSessionTest, WizardDigsWalksAndSpeaksRussianOverTelnet) {
  TinyMuxGame game;
  const std::string failure = game.Start();
  ASSERT_TRUE(failure.empty()) << "the TinyMUX game did not start: " << failure;

  TempFolder home("tarnel-mux-client-");
  ASSERT_FALSE(home.Path().empty());
  ConsoleProcess console(home.Path(), {"--raw"});
  ASSERT_TRUE(console.Error().empty()) << console.Error();

  console.Type("/set global._telnet=on");
  console.Type("/connect 127.0.0.1 " + std::to_string(game.Port()));
  const auto welcome = console.WaitLine("Welcome to TinyMUX");
  ASSERT_TRUE(welcome) << "no greeting from the game:\n" << Tail(console.Output());
  // TinyMUX opens with a burst of negotiation right before this line.
  EXPECT_EQ(Shown(WithoutColours(*welcome)), "Welcome to TinyMUX");

  console.Type("connect wizard potrzebie");
  // The client shows the typed line too: only the server's answer holds 42.
  console.Type("think login check [add(40,2)]: [name(me)] [hasflag(me,WIZARD)]");
  const auto who = console.WaitLine("login check 42: ");
  ASSERT_TRUE(who) << "TinyMUX did not take the login (it reads a line only at its LF):\n"
                   << Tail(console.Output()) << "\n--- netmux log ---\n"
                   << game.Log();
  EXPECT_EQ(WithoutColours(*who), "login check 42: Wizard 1");

  // Rooms: the kitchen, reached by teleport, and a pantry beside it.
  const std::string kitchen = Cp1251("Кухня");
  const std::string pantry = Cp1251("Кладовая");
  const std::string door = Cp1251("Дверь");
  const std::string back = Cp1251("Назад");
  console.Type("@dig/teleport " + kitchen);
  const auto kitchen_made = console.WaitLine(kitchen + " created as room #");
  ASSERT_TRUE(kitchen_made) << Tail(console.SinceTyped());
  const std::string kitchen_header = kitchen + "(#" + RoomNumber(*kitchen_made) + "R)";
  const auto in_kitchen = console.WaitLine(kitchen + "(#");
  ASSERT_TRUE(in_kitchen) << Tail(console.SinceTyped());
  EXPECT_EQ(Shown(WithoutColours(*in_kitchen)), Shown(kitchen_header));

  console.Type("@dig " + pantry + "=" + door + "," + back);
  const auto pantry_made = console.WaitLine(pantry + " created as room #");
  ASSERT_TRUE(pantry_made) << Tail(console.SinceTyped());
  const std::string pantry_header = pantry + "(#" + RoomNumber(*pantry_made) + "R)";

  console.Type(door);
  const auto in_pantry = console.WaitLine(pantry + "(#");
  ASSERT_TRUE(in_pantry) << "no arrival in the pantry:\n" << Tail(console.SinceTyped());
  EXPECT_EQ(Shown(WithoutColours(*in_pantry)), Shown(pantry_header));

  console.Type(back);
  const auto back_in_kitchen = console.WaitLine(kitchen + "(#");
  ASSERT_TRUE(back_in_kitchen) << "no way back to the kitchen:\n" << Tail(console.SinceTyped());
  EXPECT_EQ(Shown(WithoutColours(*back_in_kitchen)), Shown(kitchen_header));

  // "я" is the byte 0xFF: it goes out as IAC IAC, and TinyMUX sends it back
  // doubled, so the echo is whole only when both directions escape.
  const std::string words = Cp1251("Проверка связи: мягких яблок Я");
  console.Type("say " + words);
  const auto said = console.WaitLine("You say, ");
  ASSERT_TRUE(said) << Tail(console.SinceTyped());
  EXPECT_EQ(WithoutColours(*said), "You say, \"" + words + "\"") << Shown(*said) << "\n"
                                                                 << TelnetLeftover(*said);

  console.Type("QUIT");
  EXPECT_TRUE(console.WaitLine("*** TinyMUX Disconnected ***")) << Tail(console.SinceTyped());
  EXPECT_TRUE(console.WaitLine(Cp1251("Текущее соединение разорвано.")))
      << Tail(console.SinceTyped());
  console.EndInput();
  const auto status = console.WaitExit();
  ASSERT_TRUE(status) << "the client did not end after the game closed the connection:\n"
                      << Tail(console.Output());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;

  const std::string leftover = TelnetLeftover(console.Output());
  EXPECT_TRUE(leftover.empty()) << "telnet negotiation in the client's output: " << leftover;
  const std::string log = ReadFile(home.Path() / "standart.log");
  EXPECT_NE(log.find("You say, \"" + words + "\"\r\n"), std::string::npos)
      << "the log lacks the conversation:\n"
      << Tail(log);
  const std::string logged_leftover = TelnetLeftover(log);
  EXPECT_TRUE(logged_leftover.empty()) << "telnet negotiation in standart.log: " << logged_leftover;
}

}  // namespace
}  // namespace tarnel::test
