// What the map view draws and what its clicks and editor fields do, on the
// map model alone: pixels of a plain image, ways built back from a room,
// exits typed into the editor, transitions run.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "mapper/map_drawing.h"
#include "mapper/map_layout.h"
#include "mapper/map_view_actions.h"
#include "mapper/room_editor.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;
namespace fs = std::filesystem;

// An image of blue-green-red pixels, and the letters drawn on it.
class PixelCanvas : public MapCanvas {
 public:
  PixelCanvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h), 0xABCDEF) {}
  void Fill(int l, int t, int r, int b, std::uint32_t bgr) override {
    for (int y = std::max(t, 0); y < std::min(b, height); ++y)
      for (int x = std::max(l, 0); x < std::min(r, width); ++x) pixels[static_cast<std::size_t>(y * width + x)] = bgr;
  }
  void Letter(int x, int y, int size, bool bold, std::uint32_t bgr, char letter) override {
    letters.push_back({x, y, size, bold, bgr, letter});
  }
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  struct Drawn {
    int x, y, size;
    bool bold;
    std::uint32_t bgr;
    char letter;
  };
  int width, height;
  std::vector<std::uint32_t> pixels;
  std::vector<Drawn> letters;
};

class MapView : public ::testing::Test {
 protected:
  void SetUp() override {
    c.DefaultProfile();
    c.store.Variables().SetValue("global._logfile", "");
    c.map.view.SetImageSize(170, 180);  // ten by ten squares of 17 x 18
  }
  void Run(const std::string& commands) { c.ExecuteCommand(commands, false); }
  // A new map walked east from room 1 with these names.
  void WalkEast(const std::vector<std::string>& names) {
    Run("/newmap");
    Run("/set map.flat=" + names[0] + ";/nav x");
    for (std::size_t i = 1; i < names.size(); ++i) Run("/set map.flat=" + names[i] + ";/nav e");
    Room(1);
  }
  // Makes a room current and lays the map out around it.
  void Room(int id) {
    c.map.SetCurrent(c.map.CellList.FindId(id));
    Run("/set map.located=1");
    CenterOnCurrentCell(c);
  }
  tmudcell* Cell(int id) { return c.map.CellList.FindId(id); }
  PixelCanvas Draw() {
    PixelCanvas canvas(c.map.view.image_width, c.map.view.image_height);
    DrawMap(c.map, MapColours{}, c.store.Var("map.located") == "1", canvas);
    return canvas;
  }
  // The top left pixel inside the square of a slot.
  std::pair<int, int> Square(int x, int y) const {
    const MapViewState& v = c.map.view;
    return {(x - v.column_origin) * v.square_width + 1, (y - v.row_origin) * v.square_height + 1};
  }
  std::uint32_t SquareColour(const PixelCanvas& p, int x, int y) const {
    const auto [l, t] = Square(x, y);
    // Away from the marks in the corners.
    return p.At(l + 1, t + c.map.view.square_height / 2);
  }

  TestHost host;
  Client c{host};
};

TEST_F(MapView, SquaresOnePixelApartDarkeningWithDistance) {
  WalkEast({"A", "B", "C"});
  const PixelCanvas p = Draw();
  // The view is centred: ten columns from -5.
  EXPECT_EQ(c.map.view.column_origin, -5);
  EXPECT_EQ(c.map.view.row_origin, -5);
  const auto [l, t] = Square(0, 0);
  EXPECT_EQ(p.At(l, t + 5), 0x00A000u);
  EXPECT_EQ(p.At(l + 15, t + 16), 0x00A000u);  // the square is 16 x 17
  EXPECT_EQ(p.At(l - 1, t + 5), 0u);            // the gap before it is black
  // Further rooms are darker by 3 per step in each byte.
  EXPECT_EQ(SquareColour(p, 1, 0), Darken(0x00A000, 3));
  EXPECT_EQ(SquareColour(p, 2, 0), Darken(0x00A000, 6));
  EXPECT_EQ(SquareColour(p, 3, 0), 0u);
  // Outside the picture and beyond it nothing is drawn: the background
  // reaches two pixels past the image.
  EXPECT_EQ(p.At(169, 179), 0u);
  // Every pixel is painted, however the view is scrolled.
  EXPECT_EQ(std::count(p.pixels.begin(), p.pixels.end(), 0xABCDEFu), 0);
  for (const int origin : {95, 99, 100, -100}) {
    c.map.view.column_origin = c.map.view.row_origin = origin;
    const PixelCanvas q = Draw();
    EXPECT_EQ(std::count(q.pixels.begin(), q.pixels.end(), 0xABCDEFu), 0) << origin;
  }
}

TEST_F(MapView, RoomsNamedLikeTheCurrentOneStayBrightAndColoursAreBgr) {
  WalkEast({"Street", "Street", "Street", "Hall", "Street"});
  Cell(4)->colour = 0x0000FF;
  Cell(2)->corridorMark = false;
  const PixelCanvas p = Draw();
  EXPECT_EQ(SquareColour(p, 1, 0), 0x00A000u);
  EXPECT_EQ(SquareColour(p, 4, 0), 0x00A000u);
  EXPECT_EQ(SquareColour(p, 3, 0), Darken(0x0000FF, 9));
  // The settings give the default colour; 0 or no number fall back.
  TStringList settings;
  settings.SetValue("map._color", "$0000FF");
  EXPECT_EQ(ReadMapColours(settings).room, 0x0000FFu);
  settings.SetValue("map._color", "0");
  settings.SetValue("map._font_color", "x");
  EXPECT_EQ(ReadMapColours(settings).room, 0x00A000u);
  EXPECT_EQ(ReadMapColours(settings).line, 0x00FF00u);
}

TEST_F(MapView, FillerCorridorsAndWalls) {
  WalkEast({"A", "B"});
  Cell(2)->width = 3;
  Cell(1)->exitIds[kNorth] = -1;  // a wall above room 1
  CenterOnCurrentCell(c);
  const PixelCanvas p = Draw();
  // The two slots right of the wide room hold the filler: the default
  // colour inverted and darkened by 128.
  EXPECT_EQ(SquareColour(p, 2, 0), 0x7F007Fu);
  EXPECT_EQ(SquareColour(p, 3, 0), 0x7F007Fu);
  EXPECT_EQ(SquareColour(p, 4, 0), 0u);
  // The north wall of room 1 in the line colour, along the gap above.
  const auto [l, t] = Square(0, 0);
  EXPECT_EQ(p.At(l - 1, t - 1), 0x00FF00u);
  EXPECT_EQ(p.At(l + 15, t - 1), 0x00FF00u);
  EXPECT_EQ(p.At(l + 16, t - 1), 0u);  // the line ends before its last point
  // No wall where the exit is open.
  EXPECT_EQ(p.At(l + 5, t + 17), 0u);
  // A corridor room is drawn inverted.
  Cell(2)->width = 1;
  CenterOnCurrentCell(c);
  c.map.FillerCell.corridorMark = false;
  Cell(2)->corridorMark = true;
  const PixelCanvas q = Draw();
  EXPECT_EQ(SquareColour(q, 1, 0), Darken(0x00A000 ^ 0xFFFFFF, 3));
}

TEST_F(MapView, MarksLettersAndTheLevel) {
  WalkEast({"A", "B"});
  Cell(2)->flag = "Л"_cp[0];
  Cell(1)->flag = 'X';  // never drawn on the centre square
  Cell(2)->exitIds[kUp] = 0;
  Cell(2)->exitIds[kDown] = -1;
  PixelCanvas p = Draw();
  ASSERT_EQ(p.letters.size(), 2u);
  EXPECT_EQ(p.letters[0].letter, 'P');
  EXPECT_TRUE(p.letters[0].bold);
  EXPECT_EQ(p.letters[0].bgr, 0x0000FFu);
  EXPECT_EQ(p.letters[0].size, 8);
  const auto [l, t] = Square(0, 0);
  EXPECT_EQ(p.letters[0].x, l + 1);
  EXPECT_EQ(p.letters[0].y, t);
  EXPECT_EQ(p.letters[1].letter, "Л"_cp[0]);
  EXPECT_EQ(p.letters[1].bgr, 0xFFFF00u);
  // The caret of the way up, in the line colour darkened by 4 per step.
  const auto [l2, t2] = Square(1, 0);
  const int right = l2 + 16;
  EXPECT_EQ(p.At(right - 5, t2 + 3), Darken(0x00FF00, 4));
  EXPECT_EQ(p.At(right - 7, t2 + 6), Darken(0x00FF00, 4));
  // Lost: "?".  On another level: "?" too.
  Run("/set map.located=0");
  p = Draw();
  EXPECT_EQ(p.letters[0].letter, '?');
  // At the smallest zoom: a short line instead of the caret.
  Run("/set map.located=1");
  c.map.view.SetZoom(-2);
  p = Draw();
  const auto [l3, t3] = Square(1, 0);
  EXPECT_EQ(p.At(l3 + 9 - 3, t3 + 3), Darken(0x00FF00, 4));
  EXPECT_EQ(p.At(l3 + 9 - 2, t3 + 3), Darken(0x00FF00, 4));
  EXPECT_EQ(p.At(l3 + 9 - 1, t3 + 3), Darken(0x00A000, 3));
  EXPECT_EQ(LevelText(-1), "-01");
  EXPECT_EQ(LevelText(-3), "-03");
  EXPECT_EQ(LevelText(0), "000");
  EXPECT_EQ(LevelText(2), "002");
}

TEST_F(MapView, WaysBackFromTheClickedRoom) {
  WalkEast({"A", "B", "C"});
  EXPECT_EQ(WayTo(c.map, *Cell(3)), "e;e");
  EXPECT_EQ(WayTo(c.map, *Cell(1)), "");
  // Through a room flagged D there is no way.
  Cell(2)->flag = 'd';
  EXPECT_EQ(WayTo(c.map, *Cell(3)), "");
  // Another way of the same length round the south is taken instead.
  Run("/set map.flat=S;/nav s");  // room 4 below room 1
  Run("/set map.flat=C");
  Room(4);
  tmudcell* c3 = Cell(3);
  tmudcell* c4 = Cell(4);
  c3->links[kSouth] = c4;  // ways that are no straight lines
  c4->links[kEast] = c3;
  Room(1);
  EXPECT_EQ(c3->distance, 2);
  EXPECT_EQ(WayTo(c.map, *c3), "s;n");
}

TEST_F(MapView, ClicksLocateAndWalk) {
  WalkEast({"A", "B", "C"});
  host.main.clear();
  // Shift: the way goes to the game; with Ctrl it is returned for the
  // command line.
  c.map.view.hovered = Cell(3);
  ClickMap(c, {true, false, -1});
  EXPECT_EQ(host.main, "e\r\n" + c.output.SystemMessage("Соединение не установлено."_cp) + "e\r\n" +
                           c.output.SystemMessage("Соединение не установлено."_cp));
  c.map.view.hovered = Cell(3);
  EXPECT_EQ(ClickMap(c, {true, true, -1}).append, "e;e;");
  // A plain click on the current room toggles the position; on another
  // room it moves there.
  c.map.view.hovered = Cell(1);
  ClickMap(c, {});
  EXPECT_EQ(c.store.Var("map.located"), "0");
  c.map.view.hovered = Cell(1);
  ClickMap(c, {});
  EXPECT_EQ(c.store.Var("map.located"), "1");
  Run("/set map.flat=X;/set map.exits=ne");
  c.map.view.hovered = Cell(2);
  ClickMap(c, {});
  EXPECT_EQ(c.map.CurrentRoom(), Cell(2));
  EXPECT_EQ(c.store.Var("map.flat"), "");
  EXPECT_EQ(c.store.Var("map.exits"), "");
  // With an exit field in focus the room's id is offered to it instead.
  c.map.view.hovered = Cell(3);
  const MapClickResult r = ClickMap(c, {false, false, kWest});
  EXPECT_EQ(r.exit_id, 3);
  EXPECT_EQ(c.map.CurrentRoom(), Cell(2));
  // Nothing under the mouse: nothing happens.
  EXPECT_EQ(c.map.view.hovered, nullptr);
  EXPECT_FALSE(ClickMap(c, {}).exit_id);
}

TEST_F(MapView, TheRoomUnderTheMouse) {
  WalkEast({"A", Cp("Б"_cp), ""});
  MapModel& m = c.map;
  // Column -5 + 110 / 17 = 1, row -5 + 95 / 18 = 0.
  EXPECT_EQ(HoverAt(m, 110, 95, false), "[1] " + Cp("Б"_cp));
  EXPECT_EQ(HoverAt(m, 110, 95, true), "[2] " + Cp("Б"_cp));
  EXPECT_EQ(m.view.hovered, Cell(2));
  // An unnamed room is under the mouse, but the label keeps its text; an
  // empty slot changes nothing.
  EXPECT_EQ(HoverAt(m, 127, 95, false), std::nullopt);
  EXPECT_EQ(m.view.hovered, Cell(3));
  EXPECT_EQ(HoverAt(m, 160, 10, false), std::nullopt);
  EXPECT_EQ(m.view.hovered, Cell(3));
  HoverLeft(m);
  EXPECT_EQ(m.view.hovered, nullptr);
  // Off the grid the label is emptied.
  m.view.column_origin = 95;
  EXPECT_EQ(HoverAt(m, 100, 10, false), "");
}

TEST_F(MapView, EditorFields) {
  WalkEast({"A", "B"});
  for (int i = 0; i < 6; ++i) Run("/nav e");  // rooms up to 7
  Room(1);
  // Only ids of the map, "0" and "-1" are taken.
  EXPECT_FALSE(ApplyRoomExit(c, kWest, "99"));
  EXPECT_EQ(Cell(1)->exitIds[kWest], 0);
  EXPECT_TRUE(ApplyRoomExit(c, kWest, "7 "));
  EXPECT_EQ(Cell(1)->exitIds[kWest], 7);
  EXPECT_EQ(Cell(1)->links[kWest], Cell(7));
  // The east neighbour loses its way back when the exit is closed.
  EXPECT_TRUE(ApplyRoomExit(c, kEast, "-1"));
  EXPECT_EQ(Cell(1)->links[kEast], nullptr);
  EXPECT_EQ(Cell(2)->exitIds[kWest], 0);
  EXPECT_EQ(Cell(2)->links[kWest], nullptr);
  EXPECT_FALSE(ApplyRoomExit(c, kNorth, "abc"));
  // Names never hold what would shift the saved line.
  ApplyRoomName(c, "a;b=c");
  EXPECT_EQ(Cell(1)->name, "a,b-c");
  ApplyRoomSize(c, true, "0");
  EXPECT_EQ(Cell(1)->width, 1);
  ApplyRoomSize(c, false, "3");
  EXPECT_EQ(Cell(1)->height, 3);
  ApplyRoomSize(c, false, "x");
  EXPECT_EQ(Cell(1)->height, 3);
  ApplyRoomFlag(c, "Ж"_cp);
  EXPECT_EQ(Cell(1)->flag, "Ж"_cp[0]);
  ApplyRoomFlag(c, "");
  EXPECT_EQ(Cell(1)->flag, 0);
  ApplyRoomColour(c, 0x808000);
  EXPECT_EQ(Cell(1)->colour, 0x808000);
  ApplyRoomTransitions(c, "5:look,smile;town@12:enter");
  EXPECT_EQ(c.map.RoomPanel().transition_items, (std::vector<std::string>{"5:look,smile", "town@12:enter"}));
}

TEST_F(MapView, TransitionsRunTheirCommandsThenGoToTheirRoom) {
  const fs::path dir = fs::temp_directory_path() / ("tarnel-transition-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "town.tmm", std::ios::binary) << "12=0;0;0;0;0;0;0;;;Gate;1;1;;\r\n13=0;0;0;0;0;0;0;;;Inn;1;1;;\r\n";
  WalkEast({"A", "B", "C"});
  host.main.clear();
  RunTransition(c, "3:look,smile");
  EXPECT_EQ(c.map.CurrentRoom(), Cell(3));
  EXPECT_NE(host.main.find("look\r\n"), std::string::npos);
  EXPECT_NE(host.main.find("smile\r\n"), std::string::npos);
  // A room that is not there, or 0, leaves the position.
  RunTransition(c, "0:x");
  RunTransition(c, "42");
  EXPECT_EQ(c.map.CurrentRoom(), Cell(3));
  // Another map: loaded from the map folder, then its room.
  Run("/set map._directory=" + dir.string());
  RunTransition(c, "town@13:enter");
  ASSERT_NE(c.map.CurrentRoom(), nullptr);
  EXPECT_EQ(c.map.CurrentRoom()->name, "Inn");
  EXPECT_EQ(c.store.Var("map._file"), dir.string() + "\\town.tmm");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnel::test
