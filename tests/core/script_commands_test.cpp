// Commands that reach beyond the store: file replay, the screen, the log,
// sound and panels, and loops that the player stops.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "interp/emulator_feed.h"
#include "script/script_store.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;
namespace fs = std::filesystem;

class RecordingHost : public TestHost {
 public:
  void TerminalWritten(TerminalId id, std::string_view text) override {
    TestHost::TerminalWritten(id, text);
    if (id == TerminalId::Main) writes.emplace_back(text);
  }
  void PlaySound(const std::string& path) override { sounds.push_back(path); }
  void FocusMainWindow() override { ++focus_requests; }
  void ShowEmulatorPanel() override { ++emulator_requests; }
  void OpenEntryEditor(EntryKind kind) override { editors.push_back(kind); }
  void ClearSelection(TerminalId id) override {
    if (id == TerminalId::Main) ++selections_cleared;
  }
  void InsertPendingKey() override {
    ++pending_keys;
    if (on_key) on_key();
  }
  void SetTitle(std::string_view title) override {
    TestHost::SetTitle(title);
    titles.emplace_back(title);
  }
  std::string AskOpenFileName(std::string_view filter) override {
    filters.emplace_back(filter);
    return answer;
  }

  std::vector<std::string> writes;
  std::vector<std::string> sounds;
  std::vector<EntryKind> editors;
  std::vector<std::string> filters;
  std::vector<std::string> titles;
  std::string answer;
  std::function<void()> on_key;
  int focus_requests = 0;
  int emulator_requests = 0;
  int selections_cleared = 0;
  int pending_keys = 0;
};

class ScriptCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    client_.DefaultProfile();
    client_.store.Variables().SetValue("global._logfile", "");
    dir_ = fs::temp_directory_path() /
           ("tarnel-cmd-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Run(const std::string& command) {
    host_.main.clear();
    host_.writes.clear();
    client_.ExecuteCommand(command, true);
  }
  std::string WriteFile(const std::string& name, const std::string& content) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  // The screen row that shows this text, or -1.
  int RowWith(std::string_view text) {
    TScreen& s = client_.main_screen;
    for (int r = 0; r < s.ScreenRows(); ++r)
      if (std::string_view(s.RowLine(r)->Chars, kLineCells).find(text) != std::string_view::npos)
        return r;
    return -1;
  }
  CellAttribute AttrAt(int row, int col) { return client_.main_screen.RowLine(row)->Attrs[col]; }

  RecordingHost host_;
  Client client_{host_};
  fs::path dir_;
};

std::string Lines(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += "line " + std::to_string(i) + "\r\n";
  return s;
}

TEST_F(ScriptCommands, TypeReplaysAFileToThePipelineTwentyFiveLinesAtATime) {
  std::string content;
  for (int i = 1; i <= 60; ++i) content += "line " + std::to_string(i) + "\n";
  const std::string path = WriteFile("game.log", content);
  client_.ExecuteCommand("/set trig {line 42}={/set seen=yes}", false);
  Run("/type " + path);
  ASSERT_EQ(host_.writes.size(), 3u);
  EXPECT_EQ(host_.writes[0], Lines(1, 25));
  EXPECT_EQ(host_.writes[1], Lines(26, 50));
  EXPECT_EQ(host_.writes[2], Lines(51, 60));
  // As if the server had sent it: the triggers fire.
  EXPECT_EQ(client_.store.Var("default.seen"), "yes");
  // A waiting keystroke gets its chance after every line.
  EXPECT_EQ(host_.pending_keys, 60);
}

TEST_F(ScriptCommands, TypeReadsEveryKindOfLineEnd) {
  const std::string path = WriteFile("mixed.txt", "a\r\nb\nc\rd");
  Run("/type " + path);
  ASSERT_EQ(host_.writes.size(), 1u);
  EXPECT_EQ(host_.writes[0], "a\r\nb\r\nc\r\nd\r\n");
  // An exact multiple of the batch sends no empty part.
  std::string fifty;
  for (int i = 1; i <= 50; ++i) fifty += "line " + std::to_string(i) + "\r\n";
  Run("/type " + WriteFile("fifty.txt", fifty));
  EXPECT_EQ(host_.writes.size(), 2u);
}

TEST_F(ScriptCommands, TypeStopsAtABreakAndClearsIt) {
  std::string content;
  for (int i = 1; i <= 100; ++i) content += "line " + std::to_string(i) + "\r\n";
  const std::string path = WriteFile("long.log", content);
  // The player types "/break" while the first part is shown.
  host_.pump.push_back([this] { client_.ExecuteCommand("/break", true); });
  Run("/type " + path);
  ASSERT_EQ(host_.writes.size(), 1u);
  EXPECT_EQ(host_.writes[0], Lines(1, 25));
  EXPECT_FALSE(client_.interp.BreakRequested);
}

TEST_F(ScriptCommands, TypeWithoutAFileAsksForOne) {
  Run("/type");
  ASSERT_EQ(host_.filters.size(), 1u);
  EXPECT_EQ(host_.filters[0],
            std::string("Текстовые файлы (*.txt, *.log)|*.txt;*.log;|Все файлы|*.*;"_cp));
  EXPECT_TRUE(host_.writes.empty());  // cancelled
  host_.answer = WriteFile("chosen.txt", "hello\r\n");
  Run("/type");
  ASSERT_EQ(host_.writes.size(), 1u);
  EXPECT_EQ(host_.writes[0], "hello\r\n");
  // Two words: nothing at all.
  Run("/type a b");
  EXPECT_TRUE(host_.writes.empty());
  EXPECT_EQ(host_.filters.size(), 2u);
}

TEST_F(ScriptCommands, TypeReportsAFileThatCannotBeRead) {
  const std::string missing = (dir_ / "missing.log").string();
  Run("/type " + missing);
  EXPECT_EQ(Render(host_.main),
            "\\e[0;37m** <stamp> ** Ошибка чтения файла " + missing + ".\n");
  // A folder opens but cannot be read.
  Run("/type " + dir_.string());
  EXPECT_EQ(Render(host_.main),
            "\\e[0;37m** <stamp> ** Ошибка чтения файла " + dir_.string() + ".\n");
}

TEST_F(ScriptCommands, TheEmulatorLineGoesInAsServerText) {
  client_.ExecuteCommand("/set trig {hit}={/set seen=yes}", false);
  EmulatorEnter(client_, "a hit/esc[1m!/cr/lfnext");
  ASSERT_EQ(host_.writes.size(), 1u);
  EXPECT_EQ(host_.writes[0], "a hit\x1b[1m!\r\nnext\r\n");
  EXPECT_EQ(client_.store.Var("default.seen"), "yes");
}

TEST_F(ScriptCommands, TheEmulatorFileGoesInAfterTheFirstLineAndThenByTwentyFive) {
  std::string content;
  for (int i = 1; i <= 60; ++i) content += "line " + std::to_string(i) + "\r\n";
  host_.SetTitle("Tarnel");
  host_.titles.clear();
  ASSERT_TRUE(EmulatorLoadFile(client_, WriteFile("replay.txt", content)));
  ASSERT_EQ(host_.writes.size(), 4u);
  EXPECT_EQ(host_.writes[0], Lines(1, 1));
  EXPECT_EQ(host_.writes[1], Lines(2, 26));
  EXPECT_EQ(host_.writes[2], Lines(27, 51));
  EXPECT_EQ(host_.writes[3], Lines(52, 60));
  ASSERT_GE(host_.titles.size(), 3u);
  EXPECT_EQ(host_.titles.front(), "Emul.%0");
  EXPECT_EQ(host_.titles[host_.titles.size() - 2], "Emul.%98");
  EXPECT_EQ(host_.titles.back(), "Tarnel");
  EXPECT_FALSE(EmulatorLoadFile(client_, (dir_ / "none.txt").string()));
}

TEST_F(ScriptCommands, HighlightRecoloursTheRowsOnScreen) {
  client_.PrintText("Волк замер.\r\nЗаяц убежал.\r\nВолк замер снова.\r\n"_cp);
  const int first = RowWith("Волк замер."_cp);
  const int other = RowWith("Заяц"_cp);
  const int third = RowWith("замер снова"_cp);
  ASSERT_GE(first, 0);
  ASSERT_GE(third, 0);
  host_.main_repaints = 0;
  Run(std::string("/highlight замер 1"_cp));
  // The whole row takes the background; the foreground stays white.
  EXPECT_EQ(AttrAt(first, 0), 0x17);
  EXPECT_EQ(AttrAt(first, 79), 0x17);
  EXPECT_EQ(AttrAt(third, 0), 0x17);
  EXPECT_EQ(AttrAt(other, 0), 0x07);
  EXPECT_EQ(host_.main_repaints, 1);

  // "/w": only the first occurrence, with a foreground.
  Run(std::string("/highlight Заяц 4 14 /W"_cp));
  EXPECT_EQ(AttrAt(other, 0), 0x4E);
  EXPECT_EQ(AttrAt(other, 3), 0x4E);
  EXPECT_EQ(AttrAt(other, 4), 0x07);
}

TEST_F(ScriptCommands, HighlightNeedsTwoToFourWords) {
  const std::string error = "\\e[0;37m** <stamp> ** Ошибка в параметрах, /man /highlight для справки.\n";
  Run(std::string("/highlight замер"_cp));
  EXPECT_EQ(Render(host_.main), error);
  Run("/highlight a 1 2 /w x");
  EXPECT_EQ(Render(host_.main), error);
  Run("/highlight \"\" 1");
  EXPECT_EQ(Render(host_.main), error);
}

TEST_F(ScriptCommands, ClsBlanksTheScreenAndDropsTheSelection) {
  client_.PrintText("something\r\n");
  host_.main_repaints = 0;
  Run("/cls");
  EXPECT_EQ(RowWith("something"), -1);
  EXPECT_EQ(RowWith("EmulVT"), -1);
  EXPECT_EQ(client_.main_screen.CursorRow, 0);
  EXPECT_EQ(host_.selections_cleared, 1);
  EXPECT_EQ(host_.main_repaints, 1);
}

TEST_F(ScriptCommands, LogNamesTheLogFileAndAnEmptyNameStopsIt) {
  const std::string path = (dir_ / "game.log").string();
  Run("/log " + path);
  EXPECT_EQ(client_.store.Var("global._logfile"), path);
  Run("/echo \x1b[1mlogged");
  Run("/log");
  EXPECT_EQ(client_.store.Var("global._logfile"), "");
  Run("/echo not logged");
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "logged\r\n");
}

TEST_F(ScriptCommands, PlayAddsTheWaveExtensionWhenThereIsNone) {
  const std::string cwd = fs::current_path().string();
  Run("/play ding");
  Run("/sound sounds.d/ding");
  Run("/play \"alarm.mp3\"");
  ASSERT_EQ(host_.sounds.size(), 3u);
  EXPECT_EQ(host_.sounds[0], cwd + "/ding.WAV");
  EXPECT_EQ(host_.sounds[1], cwd + "/sounds.d/ding.WAV");
  EXPECT_EQ(host_.sounds[2], cwd + "/alarm.mp3");
  Run("/sound");
  EXPECT_EQ(Render(host_.main), "\\e[0;37m** <stamp> ** Ошибка в параметрах, /man /sound для справки.\n");
}

TEST_F(ScriptCommands, PanelCommandsAskTheWindow) {
  Run("/focus");
  Run("/emulator");
  for (const char* c : {"/macros", "/hotkeys", "/trigs", "/funcs", "/vars", "/args", "/groups"})
    Run(c);
  EXPECT_EQ(host_.focus_requests, 1);
  EXPECT_EQ(host_.emulator_requests, 1);
  const std::vector<EntryKind> expected = {EntryKind::Macros,    EntryKind::Hotkeys,
                                           EntryKind::Triggers,  EntryKind::Functions,
                                           EntryKind::Variables, EntryKind::Arguments,
                                           EntryKind::Groups};
  EXPECT_EQ(host_.editors, expected);
}

TEST_F(ScriptCommands, AnEndlessLoopStopsWhenThePlayerTypesBreak) {
  client_.ExecuteCommand("/set n=0", false);
  // The command line gets the typed "/break" after many repetitions.
  host_.on_key = [this] {
    if (host_.pending_keys == 20000) client_.ExecuteCommand("/break", true);
  };
  Run("/while (1=1) {/inc n}");
  EXPECT_EQ(client_.store.Var("default.n"), "20000");
  EXPECT_EQ(client_.interp.CommandDepth, 0);
  EXPECT_FALSE(client_.interp.BreakRequested);
}

TEST_F(ScriptCommands, ALoopLetsTheMessageLoopRunEverySecondRepetition) {
  client_.ExecuteCommand("/set n=0", false);
  host_.pumps = 0;
  client_.ExecuteCommand("/while (%n<10) {/inc n}", false);
  // Every statement ends with a turn of its own: ten bodies and the
  // "/while"; the loop adds one turn per two repetitions.
  EXPECT_EQ(host_.pumps, 10 + 1 + 5);
}

}  // namespace
}  // namespace tarnel::test
