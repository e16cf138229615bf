// The interface settings without a window: the registry, the defaults,
// colour texts, the guarded conversions of the apply step, and the
// designer dialog's model over a client's settings and a real TARNEL.ini.

#include "panels/interface_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_host.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;
using Field = InterfaceEditor::Field;

TEST(InterfaceRegistry, ElementsAndControlsInRegistrationOrder) {
  std::vector<std::string> elements;
  std::string property_edit;
  for (const InterfaceElement& e : InterfaceRegistry()) {
    if (elements.empty() || elements.back() != e.element) elements.emplace_back(e.element);
    if (e.element == "property_edit") property_edit += std::string(e.control) + " ";
  }
  EXPECT_EQ(elements, (std::vector<std::string>{"commandline", "property_grid", "property_edit",
                                                "property_panel", "panels", "labels", "toolbox",
                                                "toolbox_panel", "map", "map_extension", "query",
                                                "query_panel", "query_chatline", "buttons"}));
  EXPECT_EQ(property_edit,
            "Edit2 Edit3 Edit4 Edit5 Edit6 Edit7 Edit8 Edit9 Edit10 Edit11 Edit12 Edit13 Edit16 "
            "Edit17 Edit18 ");
  ASSERT_EQ(InterfaceRegistry().size(), 39u);
  EXPECT_EQ(InterfaceRegistry().front().control, "Edit1");
  EXPECT_EQ(InterfaceRegistry().back().control, "Button8");
  // The map has no control of its own.
  for (const InterfaceElement& e : InterfaceRegistry()) {
    if (e.element == "map") {
      EXPECT_TRUE(e.control.empty());
    }
  }
}

TEST(InterfaceColours, WrittenAsBgrHexAndReadBackByIntegerConversion) {
  EXPECT_EQ(ColourText(0x00A000), "$00A000");
  EXPECT_EQ(ColourText(0), "$000000");
  EXPECT_EQ(ColourText(0xabcdef), "$ABCDEF");
  // Only the low 24 bits are written.
  EXPECT_EQ(ColourText(0x12FF0080u), "$FF0080");
  EXPECT_EQ(ColourDigits(0xA0), "0000A0");
  for (std::uint32_t c : {0u, 0xA0u, 0x00FF00u, 0x123456u, 0xFFFFFFu})
    EXPECT_EQ(ReadColour(ColourText(c)), c);

  EXPECT_EQ(ReadColour("$a0"), 0xA0u);
  EXPECT_EQ(ReadColour("41120"), 41120u);
  EXPECT_EQ(ReadColour("$FFFFFFFF"), 0xFFFFFFu);
  EXPECT_EQ(ReadColour("-1"), 0xFFFFFFu);
  for (const char* bad : {"", "$", "green", "$12G", "12 ", "$1FFFFFFFF"})
    EXPECT_FALSE(ReadColour(bad)) << bad;
  EXPECT_EQ(ReadSettingInteger("12"), 12);
  EXPECT_FALSE(ReadSettingInteger("99999999999"));
  EXPECT_FALSE(ReadSettingInteger("1.5"));
}

TEST(InterfaceDefaults, TerminalFirstThenEachElementWithTheLastControlsValues) {
  TStringList d;
  AddTerminalDefaults(d, {"Fixed", 10, 8, 15});
  AddControlDefaults(d, "commandline", ControlKind::Edit, {"Mono", 11, 0xFFFFFF, 0});
  AddControlDefaults(d, "property_panel", ControlKind::Panel, {"Sans", 9, 0x000001, 0x0000FF});
  AddControlDefaults(d, "property_panel", ControlKind::Panel, {"Serif", 12, 0x000002, 0x00FF00});
  AddControlDefaults(d, "buttons", ControlKind::Button, {"Sans", 9, 0x112233, 0x445566});
  AddControlDefaults(d, "toolbox", ControlKind::Other, {"Sans", 9, 0, 0});
  EXPECT_EQ(
      d.Text(),
      "terminal._font=Fixed\r\nterminal._font_size=10\r\nterminal._font_width=8\r\n"
      "terminal._font_height=15\r\nmap._color=$00A000\r\nmap._font_color=$00FF00\r\n"
      "commandline._font=Mono\r\ncommandline._font_size=11\r\ncommandline._font_color=$FFFFFF\r\n"
      "commandline._color=$000000\r\n"
      "property_panel._font=Serif\r\nproperty_panel._font_size=12\r\nproperty_panel._font_color=$"
      "000002\r\n"
      "property_panel._color=$00FF00\r\n"
      "buttons._font=Sans\r\nbuttons._font_size=9\r\nbuttons._font_color=$112233\r\n");
}

class TerminalSettings : public ::testing::Test {
 protected:
  TerminalLook After(std::initializer_list<const char*> lines) {
    TStringList s;
    for (const char* l : lines) s.Add(l);
    return TerminalAfterSettings(s, {"Mono", 10, 8, 15});
  }
};

TEST_F(TerminalSettings, SizesOfSevenOrNoNumberLeaveTheFontSize) {
  EXPECT_EQ(After({"terminal._font_size=7", "terminal._font_width=8", "terminal._font_height=15"})
                .font_size,
            10);
  EXPECT_EQ(After({"terminal._font_size=abc", "terminal._font_width=8", "terminal._font_height=15"})
                .font_size,
            10);
  EXPECT_EQ(After({"terminal._font_size=8"}).font_size, 8);
  EXPECT_EQ(After({"terminal._font_size=$0C"}).font_size, 12);
  EXPECT_EQ(After({"terminal._font_size=5000"}).font_size, 10);
}

TEST_F(TerminalSettings, CellFromItsSettingsOrFromTheFontSize) {
  // 0, empty, missing and negative take the size: width once, height twice.
  for (const char* w :
       {"terminal._font_width=0", "terminal._font_width=", "terminal._font_width=-4", "x=1"}) {
    const TerminalLook t = After({"terminal._font_size=12", w, "terminal._font_height=0"});
    EXPECT_EQ(t.char_width, 12) << w;
    EXPECT_EQ(t.line_height, 24) << w;
  }
  // The size that stands, not the one refused.
  EXPECT_EQ(After({"terminal._font_size=7"}).char_width, 10);
  const TerminalLook own = After({"terminal._font_width=9", "terminal._font_height=17"});
  EXPECT_EQ(own.char_width, 9);
  EXPECT_EQ(own.line_height, 17);
  // Without a word on the terminal the designed cell stays.
  const TerminalLook untouched = After({"lastprofile=/p.tmc", "commandline._color=$0000FF"});
  EXPECT_EQ(untouched.char_width, 8);
  EXPECT_EQ(untouched.line_height, 15);
  EXPECT_EQ(After({"terminal._font="}).char_width, 10);
}

TEST_F(TerminalSettings, EachValueThatIsNoNumberSkipsOnlyItself) {
  const TerminalLook t = After({"terminal._font=Courier", "terminal._font_size=x",
                                "terminal._font_width=wide", "terminal._font_height=20"});
  EXPECT_EQ(t.font, "Courier");
  EXPECT_EQ(t.font_size, 10);
  EXPECT_EQ(t.char_width, 8);
  EXPECT_EQ(t.line_height, 20);
  EXPECT_EQ(After({"terminal._font="}).font, "Mono");
}

TEST(ControlSettingsTest, EachKindTakesWhatItsTreatmentSets) {
  TStringList s;
  s.Add("buttons._font=Serif");
  s.Add("buttons._font_size=14");
  s.Add("buttons._font_color=$0000FF");
  s.Add("buttons._color=$00FF00");
  const ControlChange button = ControlSettings(s, "buttons", ControlKind::Button);
  EXPECT_EQ(button.font, "Serif");
  EXPECT_EQ(button.font_size, 14);
  EXPECT_EQ(button.font_color, 0x0000FFu);
  EXPECT_FALSE(button.color);
  EXPECT_EQ(ControlSettings(s, "buttons", ControlKind::Label).color, 0x00FF00u);

  // Bad values skip themselves; the rest still applies.
  TStringList bad;
  bad.Add("query._font_size=7");
  bad.Add("query._font_color=red");
  bad.Add("query._color=$102030");
  const ControlChange memo = ControlSettings(bad, "query", ControlKind::Memo);
  EXPECT_FALSE(memo.font);
  EXPECT_FALSE(memo.font_size);
  EXPECT_FALSE(memo.font_color);
  EXPECT_EQ(memo.color, 0x102030u);

  // A control of another class takes nothing.
  const ControlChange other = ControlSettings(s, "buttons", ControlKind::Other);
  EXPECT_FALSE(other.font || other.font_size || other.font_color || other.color);
}

class InterfaceEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-interface-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    host.dir = dir_.string();
    // The defaults as the window builds them.
    TStringList& d = c.interface.defaults;
    AddTerminalDefaults(d, {"Mono", 10, 8, 15});
    AddControlDefaults(d, "commandline", ControlKind::Edit, {"Mono", 11, 0xFFFFFF, 0});
    AddControlDefaults(d, "property_edit", ControlKind::Edit, {"Sans", 9, 0, 0xFFFFFF});
    AddControlDefaults(d, "property_edit", ControlKind::Edit, {"Sans", 9, 0, 0xFFFFFF});
    AddControlDefaults(d, "buttons", ControlKind::Button, {"Sans", 9, 0, 0});
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  std::string Ini() {
    std::ifstream in(dir_ / "TARNEL.ini", std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  TestHost host;
  Client c{host};
  fs::path dir_;
};

TEST_F(InterfaceEditorTest, ObjectsPanelsAndFieldsFromTheEditingCopy) {
  c.settings.Add("lastprofile=/p.tmc");
  c.settings.Add("terminal._font_size=12");
  c.settings.Add("commandline._color=$A0");
  c.settings.Add("commandline._font_color=00FF00");
  InterfaceEditor e(c);
  EXPECT_EQ(e.Objects(), (std::vector<std::string>{"terminal", "map", "commandline",
                                                   "property_edit", "buttons"}));
  EXPECT_EQ(e.SelectedObject(), "terminal");
  EXPECT_TRUE(e.ShowsCellPanel());
  EXPECT_TRUE(e.ShowsFontPanel());
  EXPECT_EQ(e.FieldValues().size, "12");
  EXPECT_EQ(e.FieldValues().font, "");
  e.Select(1);
  EXPECT_FALSE(e.ShowsCellPanel());
  EXPECT_FALSE(e.ShowsFontPanel());
  e.Select(2);
  EXPECT_FALSE(e.ShowsCellPanel());
  EXPECT_TRUE(e.ShowsFontPanel());
  // Colours without "$", six digits; missing ones stay empty.
  EXPECT_EQ(e.FieldValues().color, "0000A0");
  EXPECT_EQ(e.FieldValues().font_color, "00FF00");
  e.Select(4);
  EXPECT_EQ(e.FieldValues().color, "");
  // The copy is the dialog's own.
  e.Store(Field::Font, "Serif");
  EXPECT_EQ(c.settings.GetValue("buttons._font"), "");
}

TEST_F(InterfaceEditorTest, ColourFieldsStoreWithDollarWhenTheyConvert) {
  InterfaceEditor e(c);
  e.Select(2);
  EXPECT_EQ(e.Store(Field::Color, "A0"), 0xA0u);
  EXPECT_EQ(e.Swatch(Field::Color), 0xA0u);
  EXPECT_EQ(e.Copy().GetValue("commandline._color"), "$A0");
  e.Select(0);
  e.Select(2);
  EXPECT_EQ(e.FieldValues().color, "0000A0");
  // An empty field does not convert: nothing stored, the swatch stays.
  EXPECT_FALSE(e.Store(Field::Color, ""));
  EXPECT_EQ(e.Copy().GetValue("commandline._color"), "$A0");
  EXPECT_EQ(e.Swatch(Field::Color), 0xA0u);
  // Other fields store their text as it is; empty removes the key.
  e.Store(Field::Size, "14");
  EXPECT_EQ(e.Copy().GetValue("commandline._font_size"), "14");
  e.Store(Field::Size, "");
  EXPECT_EQ(e.Copy().IndexOfName("commandline._font_size"), -1);
}

TEST_F(InterfaceEditorTest, FieldsTakeDigitsOrHexDigitsAndControlCharacters) {
  for (char c : {'0', '9', '\b', '\x7f', '\x16'})
    EXPECT_TRUE(InterfaceEditor::Accepts(Field::Size, c)) << int(c);
  for (char c : {'a', 'F', '-', ' ', '$'})
    EXPECT_FALSE(InterfaceEditor::Accepts(Field::Height, c)) << c;
  for (char c : {'0', 'a', 'f', 'A', 'F', '\b'})
    EXPECT_TRUE(InterfaceEditor::Accepts(Field::Color, c)) << c;
  for (char c : {'g', 'G', '$', ' '})
    EXPECT_FALSE(InterfaceEditor::Accepts(Field::FontColor, c)) << c;
  EXPECT_TRUE(InterfaceEditor::Accepts(Field::Font, ' '));
}

TEST_F(InterfaceEditorTest, ResetPutsTheDefaultsBackAndKeepsOtherKeys) {
  c.settings.Add("lastprofile=/games/p.tmc");
  c.settings.Add("commandline._font=Courier");
  c.settings.Add("own.key=1");
  InterfaceEditor e(c);
  e.Reset();
  EXPECT_EQ(e.Copy().GetValue("lastprofile"), "/games/p.tmc");
  EXPECT_EQ(e.Copy().GetValue("own.key"), "1");
  EXPECT_EQ(e.Copy().GetValue("commandline._font"), "Mono");
  EXPECT_EQ(e.Copy().GetValue("terminal._font_height"), "15");
  EXPECT_EQ(e.Copy().GetValue("map._color"), "$00A000");
  EXPECT_EQ(e.Copy().IndexOfName("buttons._color"), -1);
  EXPECT_EQ(e.FieldValues().font, "Mono");
}

TEST_F(InterfaceEditorTest, SaveReplacesTheSettingsAndWritesTheFile) {
  c.settings.Add("lastprofile=/p.tmc");
  c.settings.Add("stale=1");
  InterfaceEditor e(c);
  e.Store(Field::Font, "Serif");
  ASSERT_TRUE(e.Save());
  EXPECT_EQ(c.settings.Text(), "lastprofile=/p.tmc\r\nstale=1\r\nterminal._font=Serif\r\n");
  EXPECT_EQ(Ini(), c.settings.Text());
  // What the next start reads, lastprofile with it.
  TestHost h2;
  h2.dir = dir_.string();
  Client next(h2);
  next.Create({});
  EXPECT_EQ(next.settings.GetValue("terminal._font"), "Serif");
  EXPECT_EQ(next.StartupCommand(), "/loadprofile {/p.tmc}");
}

TEST_F(InterfaceEditorTest, AFailedSaveLeavesTheEditsInMemoryAndTheOldFile) {
  std::ofstream(dir_ / "TARNEL.ini") << "lastprofile=/old.tmc\r\n";
  // A folder that cannot be written: read-only, or (for root, whom
  // permissions do not stop) a folder under a plain file.
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
  if (::access(dir_.c_str(), W_OK) == 0) host.dir = (dir_ / "TARNEL.ini" / "sub").string();
  InterfaceEditor e(c);
  e.Store(Field::Size, "20");
  EXPECT_FALSE(e.Save());
  EXPECT_EQ(c.settings.GetValue("terminal._font_size"), "20");
  fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
  EXPECT_EQ(Ini(), "lastprofile=/old.tmc\r\n");
}

TEST_F(InterfaceEditorTest, StartUpAppliesOnlyWhenTheFileWasRead) {
  struct ApplyHost : TestHost {
    int applied = 0;
    void ApplyInterfaceSettings() override { ++applied; }
  };
  {
    ApplyHost h;
    h.dir = dir_.string();
    Client none(h);
    none.Create({});
    EXPECT_EQ(h.applied, 0);
    EXPECT_TRUE(none.settings.Empty());
  }
  std::ofstream(dir_ / "TARNEL.ini") << "terminal._font_size=14\r\n";
  ApplyHost h;
  h.dir = dir_.string();
  Client read(h);
  read.Create({});
  EXPECT_EQ(h.applied, 1);
  EXPECT_EQ(read.settings.GetValue("terminal._font_size"), "14");
}

}  // namespace
}  // namespace tarnel::test
