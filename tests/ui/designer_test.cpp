// The interface settings on the real window and the "Редактор интерфейса"
// dialog: defaults read from the widgets, settings that visibly change
// them, and the dialog's fields, pickers, reset and save.

#include "ui/designer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"
#include "ui/interface_apply.h"
#include "window_fixture.h"

namespace tarnel {
namespace {

using namespace literals;
namespace fs = std::filesystem;
using Field = InterfaceEditor::Field;

// The colour most pixels of a widget show, as "#rrggbb".
std::string MainColour(QWidget& w) {
  const QImage image = w.grab().toImage();
  std::map<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y) & 0xFFFFFF];
  QRgb best = 0;
  int most = -1;
  for (const auto& [rgb, n] : counts)
    if (n > most) best = rgb, most = n;
  return QColor(best).name().toStdString();
}

bool HasPixel(QWidget& w, const QColor& colour) {
  const QImage image = w.grab().toImage();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == (colour.rgb() & 0xFFFFFF)) return true;
  return false;
}

std::string ReadIni(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class DesignerTest : public WindowFixture<GuiHost> {
 protected:
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    WindowFixture::TearDown();
  }
  void Set(const char* key, const char* value) { client_->settings.SetValue(key, value); }
  std::unique_ptr<TInterfaceDesigner> Open() {
    auto d = std::make_unique<TInterfaceDesigner>(*client_, form_.get());
    d->PickFont = [](const QFont&) { return std::nullopt; };
    d->PickColour = [](const QColor&) { return std::nullopt; };
    d->ShowError = [this](const QString& text) { errors << text; };
    d->show();
    return d;
  }
  void SelectObject(TInterfaceDesigner& d, const char* name) {
    const auto items = d.ObjectList->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name;
    d.ObjectList->setCurrentItem(items[0]);
  }
  QStringList errors;
};

TEST_F(DesignerTest, QtWidgetsStandForTheClassicControlKinds) {
  QWidget parent;
  QLabel label(&parent);
  QPushButton button(&parent);
  QPlainTextEdit memo(&parent);
  QLineEdit edit(&parent);
  QTableWidget grid(&parent);
  QListWidget list(&parent), checks(&parent), marked(&parent);
  checks.setObjectName("CheckListBox1");
  marked.setProperty("checkList", true);
  QWidget panel(&parent);
  QFrame frame(&parent);
  QCheckBox box(&parent);
  QLabel named(&parent);
  named.setProperty("interfaceKind", "TPanel");
  EXPECT_EQ(ControlKindOf(label), ControlKind::Label);
  EXPECT_EQ(ControlKindOf(button), ControlKind::Button);
  EXPECT_EQ(ControlKindOf(memo), ControlKind::Memo);
  EXPECT_EQ(ControlKindOf(edit), ControlKind::Edit);
  EXPECT_EQ(ControlKindOf(*form_->Edit1), ControlKind::Edit);
  EXPECT_EQ(ControlKindOf(grid), ControlKind::Grid);
  EXPECT_EQ(ControlKindOf(list), ControlKind::ListBox);
  EXPECT_EQ(ControlKindOf(checks), ControlKind::CheckListBox);
  EXPECT_EQ(ControlKindOf(marked), ControlKind::CheckListBox);
  EXPECT_EQ(ControlKindOf(panel), ControlKind::Panel);
  EXPECT_EQ(ControlKindOf(frame), ControlKind::Panel);
  EXPECT_EQ(ControlKindOf(named), ControlKind::Panel);
  EXPECT_EQ(ControlKindOf(box), ControlKind::Other);
  EXPECT_EQ(ControlKindOf(*form_->Panel1->TrackBar1), ControlKind::Other);
}

TEST_F(DesignerTest, DefaultsAreTheWindowAsBuilt) {
  Start();
  const TStringList& d = client_->interface.defaults;
  EXPECT_EQ(d[0], "terminal._font=DejaVu Sans Mono");
  EXPECT_EQ(d.GetValue("terminal._font_size"),
            std::to_string(QFontInfo(form_->EmulVT1->font()).pointSize()));
  EXPECT_EQ(d.GetValue("terminal._font_width"), "8");
  EXPECT_EQ(d.GetValue("terminal._font_height"), "15");
  EXPECT_EQ(d[4], "map._color=$00A000");
  EXPECT_EQ(d[5], "map._font_color=$00FF00");
  // The command line's colours come from its style sheet.
  EXPECT_EQ(d[6], "commandline._font=DejaVu Sans Mono");
  EXPECT_EQ(d.GetValue("commandline._color"), "$000000");
  EXPECT_EQ(d.GetValue("commandline._font_color"), "$FFFFFF");
  EXPECT_NE(d.IndexOfName("query._font_size"), -1);
  EXPECT_NE(d.IndexOfName("map_extension._color"), -1);
  EXPECT_EQ(d.IndexOfName("map._font"), -1);
  // Buttons have no colour of their own.
  EXPECT_EQ(d.IndexOfName("buttons._color"), -1);
  // The terminal's settings alone, without a file: nothing applied.
  EXPECT_TRUE(client_->settings.Empty());
}

TEST_F(DesignerTest, TerminalRulesReachBothTerminalsAndEveryOutputWindow) {
  Start();
  client_->ExecuteCommand("/window early", false);
  Set("terminal._font_size", "14");
  Set("terminal._font_width", "0");
  form_->ApplyInterfaceSettings();
  client_->ExecuteCommand("/window late", false);
  for (TEmulVT* vt : {form_->EmulVT1, form_->EmulVT2, form_->OutputWindows.at("early")->EmulVT1,
                      form_->OutputWindows.at("late")->EmulVT1}) {
    EXPECT_EQ(QFontInfo(vt->font()).pointSize(), 14);
    EXPECT_EQ(vt->CharWidth(), 14);
    EXPECT_EQ(vt->LineHeight(), 28);
  }
  // The terminal fits its rows to the new line height.
  EXPECT_EQ(form_->EmulVT1->Rows(), std::max(1, (form_->Panel5->height() - 4) / 28));
  // 7 and no number leave the size; the cell follows what stands.
  Set("terminal._font_size", "7");
  Set("terminal._font_width", "");
  Set("terminal._font_height", "abc");
  form_->ApplyInterfaceSettings();
  EXPECT_EQ(QFontInfo(form_->EmulVT1->font()).pointSize(), 14);
  EXPECT_EQ(form_->EmulVT1->CharWidth(), 14);
  EXPECT_EQ(form_->EmulVT1->LineHeight(), 28);
}

TEST_F(DesignerTest, TheFileReadAtStartColoursTheWindowVisibly) {
  // The command line has a style sheet, the map label a palette.
  std::ofstream(dir_ / "TARNEL.ini")
      << "lastprofile=\r\ncommandline._color=$0000FF\r\n"
         "commandline._font_color=$00FFFF\r\nlabels._color=$FF0000\r\n"
         "labels._font_size=abc\r\nmap._font_size=30\r\n";
  Start();
  EXPECT_EQ(MainColour(*form_->Edit1), "#ff0000");
  form_->Edit1->setText("IIII HHHH");
  EXPECT_TRUE(HasPixel(*form_->Edit1, QColor(255, 255, 0)));
  EXPECT_EQ(MainColour(*form_->Panel1->Label36), "#0000ff");
  // The defaults stay the window as built.
  EXPECT_EQ(client_->interface.defaults.GetValue("commandline._color"), "$000000");
}

TEST_F(DesignerTest, EveryRegisteredControlTakesItsFontAndColours) {
  Start();
  std::map<std::string, QColor> colours;
  for (const InterfaceElement& e : InterfaceRegistry()) {
    const std::string element(e.element);
    if (colours.count(element)) continue;
    const int i = static_cast<int>(colours.size());
    const QColor c(10 * i + 5, 200 - 7 * i, 60 + 9 * i);
    colours[element] = c;
    const std::uint32_t bgr = static_cast<std::uint32_t>(c.red() | c.green() << 8 | c.blue() << 16);
    client_->settings.SetValue(element + "._color", ColourText(bgr));
    client_->settings.SetValue(element + "._font", "DejaVu Serif");
    client_->settings.SetValue(element + "._font_size", "12");
  }
  form_->ApplyInterfaceSettings();
  // The grid's fixed cells take the colour of the panel above it.
  if (auto* grid = form_->findChild<QTableView*>("StringGrid1")) {
    EXPECT_EQ(grid->horizontalHeader()->palette().color(QPalette::Button), colours["panels"]);
  }
  // Each control is grabbed once its panel is open.
  std::set<std::string> found, seen;
  auto grab_visible = [&] {
    QApplication::processEvents();
    for (const InterfaceElement& e : InterfaceRegistry()) {
      if (e.control.empty()) continue;
      QWidget* w =
          form_->findChild<QWidget*>(QString::fromLatin1(e.control.data(), e.control.size()));
      if (w == nullptr) continue;  // a control still to come
      found.insert(std::string(e.control));
      if (!w->isVisible() || seen.count(std::string(e.control))) continue;
      seen.insert(std::string(e.control));
      EXPECT_EQ(w->font().family(), "DejaVu Serif") << e.control;
      EXPECT_EQ(QFontInfo(w->font()).pointSize(), 12) << e.control;
      if (ControlKindOf(*w) == ControlKind::Button) continue;
      const QColor want = colours[std::string(e.element)];
      EXPECT_TRUE(HasPixel(*w, want))
          << e.control << " shows " << MainColour(*w) << ", not " << want.name().toStdString();
    }
  };
  // The room editor, the transitions and a chat tab with its messages.
  form_->Panel1->ToggleEditor();
  form_->Panel1->ListBox2->show();
  client_->ExecuteCommand("/query Bob hello", false);
  form_->Panel15->TabControl1Change(0);
  grab_visible();
  form_->ShowEmulatorPanel();
  grab_visible();
  client_->ExecuteCommand("/vars", false);
  grab_visible();
  EXPECT_EQ(seen, found);
  EXPECT_GE(found.size(), 22u);
}

TEST_F(DesignerTest, TheDialogShowsTheEditingCopyObjectByObject) {
  Start();
  Set("terminal._font_size", "12");
  Set("commandline._font", "Serif");
  Set("commandline._font_color", "$A0");
  auto d = Open();
  EXPECT_EQ(d->windowTitle(), ToQString("Редактор интерфейса"_cp));
  QStringList objects;
  for (int i = 0; i < d->ObjectList->count(); ++i) objects << d->ObjectList->item(i)->text();
  ASSERT_GE(objects.size(), 5);
  EXPECT_EQ(objects.mid(0, 3), QStringList({"terminal", "map", "commandline"}));
  EXPECT_EQ(objects.removeDuplicates(), 0);

  EXPECT_EQ(d->ObjectList->currentRow(), 0);
  EXPECT_TRUE(d->CellPanel->isVisible());
  EXPECT_EQ(d->SizeEdit->text(), "12");
  EXPECT_EQ(d->FontEdit->text(), "");
  SelectObject(*d, "map");
  EXPECT_FALSE(d->FontPanel->isVisible());
  EXPECT_FALSE(d->CellPanel->isVisible());
  SelectObject(*d, "commandline");
  EXPECT_TRUE(d->FontPanel->isVisible());
  EXPECT_EQ(d->FontEdit->text(), "Serif");
  EXPECT_EQ(d->FontColorEdit->text(), "0000A0");
  EXPECT_EQ(d->ColorEdit->text(), "");
  EXPECT_EQ(d->FontColorSwatch->palette().color(QPalette::Window), QColor(0xA0, 0, 0));

  // Typing: digits only in the size, hex digits in the colours.
  d->SizeEdit->clear();
  QTest::keyClicks(d->SizeEdit, "1x4-");
  EXPECT_EQ(d->SizeEdit->text(), "14");
  EXPECT_EQ(d->Model().Copy().GetValue("commandline._font_size"), "14");
  QTest::keyClicks(d->ColorEdit, "zA0g");
  EXPECT_EQ(d->ColorEdit->text(), "A0");
  EXPECT_EQ(d->ColorSwatch->palette().color(QPalette::Window), QColor(0xA0, 0, 0));
  EXPECT_EQ(d->Model().Copy().GetValue("commandline._color"), "$A0");
  SelectObject(*d, "terminal");
  SelectObject(*d, "commandline");
  EXPECT_EQ(d->ColorEdit->text(), "0000A0");
  // Enter in a field neither opens the font dialog nor closes this one.
  int fonts = 0;
  d->PickFont = [&fonts](const QFont&) {
    ++fonts;
    return std::nullopt;
  };
  QTest::keyClick(d->SizeEdit, Qt::Key_Return);
  EXPECT_EQ(fonts, 0);
  EXPECT_TRUE(d->isVisible());
  // The current settings are untouched until saved.
  EXPECT_EQ(client_->settings.GetValue("commandline._font_size"), "");
  EXPECT_EQ(d->size(), d->minimumSize());
  EXPECT_EQ(d->size(), d->maximumSize());
}

TEST_F(DesignerTest, PickersFillTheFieldsAndTheSwatches) {
  Start();
  auto d = Open();
  SelectObject(*d, "commandline");
  d->PickFont = [](const QFont&) { return std::optional<QFont>(QFont("DejaVu Serif", 16)); };
  QTest::mouseClick(d->FontButton, Qt::LeftButton);
  EXPECT_EQ(d->FontEdit->text(), "DejaVu Serif");
  EXPECT_EQ(d->SizeEdit->text(), "16");
  EXPECT_EQ(d->WidthEdit->text(), "16");
  EXPECT_EQ(d->HeightEdit->text(), "32");
  EXPECT_EQ(d->Model().Copy().GetValue("commandline._font_height"), "32");

  d->ColorEdit->setText("00FF00");
  d->PickColour = [](const QColor&) { return std::optional<QColor>(QColor(0x12, 0x34, 0x56)); };
  QTest::mouseClick(d->FontColorSwatch, Qt::LeftButton);
  EXPECT_EQ(d->FontColorEdit->text(), "563412");
  EXPECT_EQ(d->ColorEdit->text(), "00FF00");
  EXPECT_EQ(d->Model().Copy().GetValue("commandline._font_color"), "$563412");
  // Cancelled, the fields are still rewritten from the swatches.
  d->ColorEdit->setText("A0");
  d->PickColour = [](const QColor&) { return std::nullopt; };
  QTest::mouseClick(d->ColorSwatch, Qt::LeftButton);
  EXPECT_EQ(d->ColorEdit->text(), "0000A0");
  EXPECT_EQ(d->Model().Copy().GetValue("commandline._color"), "$0000A0");
}

TEST_F(DesignerTest, ResetFillsTheDefaultsAndKeepsLastprofile) {
  Start();
  Set("lastprofile", "/games/hero.tmc");
  Set("commandline._font_size", "30");
  auto d = Open();
  EXPECT_EQ(d->WidthEdit->text(), "");
  QTest::mouseClick(d->ResetButton, Qt::LeftButton);
  EXPECT_EQ(d->WidthEdit->text(), "8");
  EXPECT_EQ(d->HeightEdit->text(), "15");
  EXPECT_EQ(d->FontEdit->text(), "DejaVu Sans Mono");
  EXPECT_EQ(d->Model().Copy().GetValue("lastprofile"), "/games/hero.tmc");
  EXPECT_EQ(d->Model().Copy().GetValue("commandline._font_size"),
            client_->interface.defaults.GetValue("commandline._font_size"));
  QTest::mouseClick(d->CancelButton, Qt::LeftButton);
  EXPECT_EQ(d->result(), QDialog::Rejected);
  EXPECT_EQ(client_->settings.GetValue("commandline._font_size"), "30");
}

TEST_F(DesignerTest, SaveFromTheMenuWritesTheFileAndColoursTheWindow) {
  Start();
  Set("lastprofile", "/games/hero.tmc");
  QAction* item = form_->menuBar()->findChild<QAction*>("designer");
  ASSERT_NE(item, nullptr);
  ASSERT_TRUE(item->isEnabled());
  bool driven = false;
  // Whatever goes wrong, the modal dialog does not stay open.
  QTimer::singleShot(5000, form_.get(), [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  QTimer::singleShot(0, form_.get(), [&] {
    auto* d = qobject_cast<TInterfaceDesigner*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    driven = true;
    const auto items = d->ObjectList->findItems("commandline", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    d->ObjectList->setCurrentItem(items[0]);
    d->ColorEdit->setText("0000FF");
    d->FontColorEdit->setText("00FFFF");
    QTest::mouseClick(d->SaveButton, Qt::LeftButton);
  });
  item->trigger();
  ASSERT_TRUE(driven);
  const std::string ini = ReadIni(dir_ / "TARNEL.ini");
  EXPECT_EQ(ini.find("lastprofile=/games/hero.tmc\r\n"), 0u) << ini;
  EXPECT_NE(ini.find("commandline._color=$0000FF\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("commandline._font_color=$00FFFF\r\n"), std::string::npos) << ini;
  EXPECT_EQ(client_->settings.GetValue("commandline._color"), "$0000FF");
  EXPECT_EQ(MainColour(*form_->Edit1), "#ff0000");
  EXPECT_EQ(form_->focusWidget(), form_->Edit1);
}

TEST_F(DesignerTest, AFailedSaveShowsTheMessageAndTheDialogStays) {
  Start();
  // A folder that cannot be written: read-only, or (for root, whom
  // permissions do not stop) a folder under a plain file.
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
  if (::access(dir_.c_str(), W_OK) == 0)
    qputenv("TARNEL_HOME", (dir_ / "TARNEL.ini" / "sub").string().c_str());
  std::ofstream(dir_ / "TARNEL.ini") << "";
  auto d = Open();
  d->SizeEdit->setText("20");
  QTest::mouseClick(d->SaveButton, Qt::LeftButton);
  EXPECT_EQ(errors, QStringList({ToQString("Ошибка записи в TARNEL.INI"_cp)}));
  EXPECT_TRUE(d->isVisible());
  EXPECT_NE(d->result(), QDialog::Accepted);
  // In memory, not applied.
  EXPECT_EQ(client_->settings.GetValue("terminal._font_size"), "20");
  EXPECT_NE(QFontInfo(form_->EmulVT1->font()).pointSize(), 20);
  fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
}

}  // namespace
}  // namespace tarnel
