// The map's lines, its room list, and what the map commands do around the
// client: the gauge, dialogs, profiles, the exit save, taking rooms back.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "mapper/map_commands.h"
#include "mapper/map_file.h"
#include "mapper/map_layout.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;
using namespace literals;

TEST(MapLine, FieldsAndDefaults) {
  // Empty fields keep a new room's values; the reserved field is skipped;
  // the flag is the first character of its field.
  auto c = ParseCellLine(Cp("12=;-1;;3;;;;Жх;ignored;Имя;;;"_cp));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->id, 12);
  EXPECT_EQ(c->exitIds[kWest], 0);
  EXPECT_EQ(c->exitIds[kNorth], -1);
  EXPECT_EQ(c->exitIds[kSouth], 3);
  EXPECT_EQ(c->flag, "Ж"_cp[0]);
  EXPECT_EQ(c->name, Cp("Имя"_cp));
  EXPECT_EQ(c->width, 1);
  EXPECT_EQ(c->height, 1);
  EXPECT_EQ(c->transitions, "");
  // "=" ends a field wherever it stands; the colour is cut to a whole
  // number; hexadecimal numbers are numbers.
  c = ParseCellLine("3;1=2;0;0;0;0;-7.9;;;a;$10;2;t=1;x;");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->id, 3);
  EXPECT_EQ(c->exitIds[kWest], 1);
  EXPECT_EQ(c->exitIds[kNorth], 2);
  EXPECT_EQ(c->colour, -7);
  EXPECT_EQ(c->name, "a");
  EXPECT_EQ(c->width, 16);
  EXPECT_EQ(c->height, 2);
  EXPECT_EQ(c->transitions, "t=1;x");
  // A line with fewer fields.
  c = ParseCellLine("4=1;2");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->exitIds[kNorth], 2);
  EXPECT_EQ(c->exitIds[kEast], 0);
}

TEST(MapLine, NumbersThatAreNoNumbers) {
  for (const char* line : {"x=0;0;0;0;0;0;0;;;;1;1;;", "1=0;0;1.5;0;0;0;0;;;;1;1;;",
                           "1=0;0;0;0;0;0;1e;;;;1;1;;", "1=0;0;0;0;0;0;0;;;;99999999999;1;;",
                           "1=0;0;0;0;0;0;1e300;;;;1;1;;", "1=0;0;0;0;0;0;0;;;;1;1 ;;",
                           "2147483648=0;0;0;0;0;0;0;;;;1;1;;"})
    EXPECT_FALSE(ParseCellLine(line)) << line;
  EXPECT_TRUE(ParseCellLine("2147483647= -5;0;0;0;0;0;4294967295.5;;;;1;1;;") == nullptr);
  auto c = ParseCellLine("2147483647= -5;0;0;0;0;0;2147483647.5;;;;1;1;;");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->exitIds[kWest], -5);
  EXPECT_EQ(c->colour, 2147483647);
}

TEST(MapLine, RoundTripOfRandomRooms) {
  std::mt19937 rng(7);
  auto text = [&](bool separators) {
    std::string s;
    const int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) {
      char ch = static_cast<char>(0x20 + rng() % 224);
      if (!separators && (ch == ';' || ch == '=')) ch = 'x';
      s += ch;
    }
    return s;
  };
  for (int round = 0; round < 2000; ++round) {
    tmudcell c;
    c.id = static_cast<std::int32_t>(rng() % 100000) + 1;
    for (auto& e : c.exitIds) e = static_cast<std::int32_t>(rng() % 5) - 1;
    c.colour = static_cast<std::int32_t>(rng() % 0x1000000) * (round % 7 == 0 ? -1 : 1);
    c.flag = MapFlag(static_cast<char>(rng() % 3 == 0 ? 0 : 0x21 + rng() % 200));
    c.name = MapRoomName(text(true));
    c.width = static_cast<std::int32_t>(rng() % 4);
    c.height = static_cast<std::int32_t>(rng() % 4) - 1;
    c.transitions = text(true);
    const std::string line = FormatCellLine(c);
    auto back = ParseCellLine(line);
    ASSERT_TRUE(back) << line;
    EXPECT_EQ(FormatCellLine(*back), line);
    EXPECT_EQ(back->name, c.name);
    EXPECT_EQ(back->transitions, c.transitions) << line;
  }
}

TEST(MapLine, NamesLoseWhatWouldShiftTheFields) {
  EXPECT_EQ(MapRoomName("a;b=c\r\nd"), "a,b-c  d");
  EXPECT_EQ(MapFlag(';'), ',');
  EXPECT_EQ(MapFlag('='), '-');
  EXPECT_EQ(MapFlag('L'), 'L');
}

TEST(CellList, SortedOrderAndLookup) {
  TCellList list;
  const std::vector<std::string> texts = {"2", "10", "1", "b", "B", "a", "10", "100", "9"};
  for (const auto& t : texts) {
    auto c = std::make_unique<tmudcell>();
    c->name = t;
    list.Add(t, std::move(c));
  }
  EXPECT_EQ(list.IndexOf("b"), 3);  // unsorted: in order of adding
  list.Sort();
  std::string order;
  for (const auto& e : list.Entries()) order += e.text + " ";
  EXPECT_EQ(order, "1 10 10 100 2 9 a b B ");
  EXPECT_EQ(list.IndexOf("10"), 1);  // the first of equal texts
  EXPECT_EQ(list.Find("B")->name, "B");
  EXPECT_EQ(list.Find("b")->name, "b");
  EXPECT_EQ(list.IndexOf("A"), -1);
  EXPECT_EQ(list.FindId(100)->name, "100");
  // Sorted, a new room goes to its place, after its equals.
  auto c = std::make_unique<tmudcell>();
  c->name = "new";
  EXPECT_EQ(list.Add("10", std::move(c)), 3);
  EXPECT_EQ(list.Add("0", std::make_unique<tmudcell>()), 0);
  std::vector<TCellList::Entry> more;
  more.push_back({"3", std::make_unique<tmudcell>()});
  more.push_back({"10", std::make_unique<tmudcell>()});
  list.AddAll(std::move(more));
  order.clear();
  for (const auto& e : list.Entries()) order += e.text + " ";
  EXPECT_EQ(order, "0 1 10 10 10 10 100 2 3 9 a b B ");
  EXPECT_EQ(list.Cell(4)->name, "new");
}

// A client in a temporary folder, with a host that keeps the gauge's moves
// and can be told to answer file dialogs.
class MapClient : public ::testing::Test {
 protected:
  class Host : public TestHost {
   public:
    void MapProgress(int position, int maximum) override {
      gauge.push_back(std::to_string(position) + "/" + std::to_string(maximum));
    }
    void HideMapProgress() override { gauge.push_back("hide"); }
    void FillMapRoomPanel() override { ++panel_fills; }
    bool CanAskFiles() const override { return can_ask; }
    std::string AskMapFileName(bool save, std::string_view, std::string_view folder) override {
      asked.push_back(std::string(save ? "save " : "open ") + std::string(folder));
      return answer;
    }
    std::vector<std::string> gauge;
    std::vector<std::string> asked;
    int panel_fills = 0;
    bool can_ask = false;
    std::string answer;
  };

  void SetUp() override {
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("tarnel-mapclient-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
    host.dir = dir_.string();
    c = std::make_unique<Client>(host);
    c->DefaultProfile();
    c->store.Variables().SetValue("global._logfile", "");
  }
  void TearDown() override {
    c.reset();
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  static void Write(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }
  static std::string Read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Lines(int rooms) {
    std::string t;
    for (int i = 1; i <= rooms; ++i) t += std::to_string(i) + "=0;0;0;0;0;0;0;;;;1;1;;\r\n";
    return t;
  }

  Host host;
  std::unique_ptr<Client> c;
  fs::path old_, dir_;
};

TEST_F(MapClient, GaugeEveryFiftyRooms) {
  Write("m.tmm", Lines(120));
  c->ExecuteCommand("/loadmap m.tmm", false);
  // Sorted order: the gauge moves at the 0th, 50th and 100th entry.
  EXPECT_EQ(host.gauge, (std::vector<std::string>{"0/119", "0/119", "50/119", "100/119", "hide"}));
  EXPECT_EQ(c->map.LastId, 120);
  EXPECT_GT(host.panel_fills, 0);
  EXPECT_EQ(c->interp.CommandDepth, 0);
}

TEST_F(MapClient, DialogsStartInTheMapFolder) {
  host.can_ask = true;
  host.answer = "picked.tmm";
  c->ExecuteCommand("/set map._directory=maps", false);
  c->ExecuteCommand("/newmap", false);
  c->ExecuteCommand("/savemap", false);
  c->ExecuteCommand("/loadmap", false);
  c->ExecuteCommand("/free map._directory", false);
  c->ExecuteCommand("/loadmap", false);
  EXPECT_EQ(host.asked, (std::vector<std::string>{"save maps", "open maps", "open "}));
  EXPECT_TRUE(fs::exists("picked.tmm"));
}

TEST_F(MapClient, ProfileLoadsItsMapAndExitSavesIt) {
  Write("m.tmm", "1=0;0;2;0;0;0;0;;;A;1;1;;\r\n2=1;0;0;0;0;0;0;;;B;1;1;;\r\n");
  Write("p.tmc", "/set var map._file={m.tmm}\r\n");
  c->ExecuteCommand("/loadprofile p.tmc", false);
  ASSERT_EQ(c->map.CellList.Count(), 2);
  EXPECT_EQ(c->map.CurrentRoom()->name, "A");
  // Recording a room and quitting writes it back.
  c->ExecuteCommand("/set map.located=1", false);
  c->ExecuteCommand("/nav s", false);
  c->Destroy();
  EXPECT_EQ(Read("m.tmm"),
            "1=0;0;2;3;0;0;0;;;A;1;1;;\r\n2=1;0;0;0;0;0;0;;;B;1;1;;\r\n3=0;1;0;0;0;0;0;;;;1;1;;\r\n");
}

TEST_F(MapClient, BrokenFileNeverReachesTheExitSave) {
  const std::string good = "1=0;0;2;0;0;0;0;;;A;1;1;;\r\n2=1;0;0;0;0;0;0;;;B;1;1;;\r\n";
  Write("m.tmm", good);
  c->ExecuteCommand("/loadmap m.tmm", false);
  // The same file, broken on its second line by someone's editor.
  Write("m.tmm", "1=0;0;2;0;0;0;0;;;A;1;1;;\r\n2=1;0;zwei;0;0;0;0;;;B;1;1;;\r\n");
  c->ExecuteCommand("/loadmap m.tmm", false);
  EXPECT_NE(host.main.find(Cp("Ошибка чтения файла "_cp) + (dir_ / "m.tmm").string()), std::string::npos);
  EXPECT_EQ(c->map.CellList.Count(), 2);
  EXPECT_EQ(c->map.CurrentRoom(), nullptr);
  c->Destroy();
  EXPECT_EQ(Read("m.tmm"), good);
  // The save went through a temporary file: nothing is left beside it.
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir_)) files += e.path().filename().string().rfind("m.tmm", 0) == 0;
  EXPECT_EQ(files, 1);
}

TEST_F(MapClient, TakingBackLeavesNoLinkToTheRoom) {
  // Room 3 is reached one way from room 1's west side, and the player
  // walked from 1 into it: taking it back must clear both.
  Write("m.tmm",
        "1=3;0;2;0;0;0;0;;;A;1;1;;\r\n2=1;0;3;0;0;0;0;;;B;1;1;;\r\n3=0;0;0;0;0;0;0;;;C;1;1;;\r\n");
  c->ExecuteCommand("/loadmap m.tmm", false);
  c->ExecuteCommand("/set map.located=1", false);
  c->ExecuteCommand("/set map._autograb=off", false);
  c->ExecuteCommand("/nav w", false);
  ASSERT_EQ(c->map.CurrentRoom()->name, "C");
  TakeBackLastRoom(*c);
  const tmudcell* one = c->map.CellList.Find("1");
  const tmudcell* two = c->map.CellList.Find("2");
  EXPECT_EQ(one->links[kWest], nullptr);
  EXPECT_EQ(one->exitIds[kWest], 0);
  EXPECT_EQ(two->links[kEast], nullptr);
  EXPECT_EQ(two->exitIds[kEast], 0);
  EXPECT_EQ(c->map.CurrentRoom(), two);
  EXPECT_EQ(c->map.LastId, 2);
  // The next room recorded gets the freed number and nobody points at it.
  c->ExecuteCommand("/set map._autograb=on", false);
  c->ExecuteCommand("/set map.located=1", false);
  c->ExecuteCommand("/nav n", false);
  EXPECT_EQ(c->map.CurrentRoom()->id, 3);
  EXPECT_EQ(one->links[kWest], nullptr);
}

TEST_F(MapClient, NumbersRunOut) {
  Write("m.tmm", "2147483647=0;0;0;0;0;0;0;;;A;1;1;;\r\n");
  c->ExecuteCommand("/loadmap m.tmm", false);
  c->ExecuteCommand("/set map.located=1", false);
  c->ExecuteCommand("/nav e", false);
  EXPECT_NE(host.main.find(Cp("номера комнат карты исчерпаны"_cp)), std::string::npos);
  EXPECT_EQ(c->map.CellList.Count(), 1);
  // Taking back does not count down two billion numbers.
  TakeBackLastRoom(*c);
  EXPECT_EQ(c->map.CellList.Count(), 0);
  EXPECT_EQ(c->map.LastId, 0);
}

TEST_F(MapClient, ViewStateOfTheKeys) {
  MapViewState& v = c->map.view;
  v.SetImageSize(340, 360);
  c->ExecuteCommand("/newmap", false);
  EXPECT_EQ(v.column_origin, -10);
  EXPECT_EQ(v.row_origin, -10);
  for (int i = 0; i < 200; ++i) v.MoveRows(1), v.MoveColumns(-1), v.ChangeLevel(1);
  EXPECT_EQ(v.row_origin, 100);
  EXPECT_EQ(v.column_origin, -100);
  EXPECT_EQ(v.level, 3);
  v.ChangeLevel(-7);
  EXPECT_EQ(v.level, -3);
  // Zooming keeps the level, centres the rest and is stored.
  SetMapZoom(*c, -2);
  EXPECT_EQ(v.square_width, 10);
  EXPECT_EQ(v.square_height, 10);
  EXPECT_EQ(v.column_origin, -17);
  EXPECT_EQ(v.row_origin, -18);
  EXPECT_EQ(v.level, -3);
  EXPECT_EQ(c->store.Var("global._zoommap"), "-2");
  EXPECT_FALSE(v.ZoomStep(-1));
  SetMapZoom(*c, 9);  // outside the table: the old size stays
  EXPECT_EQ(v.square_width, 10);
  SetMapZoom(*c, 4);
  EXPECT_EQ(v.square_width, 28);
  EXPECT_EQ(v.square_height, 29);
  // Every move centres again, level 0.
  c->ExecuteCommand("/nav x", false);
  EXPECT_EQ(v.level, 0);
  EXPECT_EQ(v.column_origin, -340 / 56);
}

TEST_F(MapClient, RoomPanelOfTheCurrentRoom) {
  Write("m.tmm", "4=1;2;3;5;6;7;0;F;;Name;2;3;a@1:x,y;;b:z;\r\n");
  c->ExecuteCommand("/loadmap m.tmm", false);
  const RoomPanelData p = c->map.RoomPanel();
  ASSERT_TRUE(p.has_room);
  EXPECT_EQ(p.id, 4);
  EXPECT_EQ((std::vector<int>(p.exits, p.exits + 6)), (std::vector<int>{1, 3, 2, 5, 6, 7}));
  EXPECT_EQ(p.flag, 'F');
  EXPECT_EQ(p.transitions, "a@1:x,y;;b:z");
  EXPECT_EQ(p.transition_items, (std::vector<std::string>{"a@1:x,y", "b:z"}));
  c->ExecuteCommand("/loadmap nothere.tmm", false);
  c->ExecuteCommand("/newmap", false);
  EXPECT_TRUE(c->map.RoomPanel().transition_items.empty());
}

TEST_F(MapClient, TwoClientsKeepTheirOwnMaps) {
  TestHost other_host;
  Client other(other_host);
  other.DefaultProfile();
  c->ExecuteCommand("/newmap", false);
  other.ExecuteCommand("/newmap", false);
  other.ExecuteCommand("/set map.located=1", false);
  other.ExecuteCommand("/nav e", false);
  EXPECT_EQ(c->map.CellList.Count(), 1);
  EXPECT_EQ(other.map.CellList.Count(), 2);
}

}  // namespace
}  // namespace tarnel::test
