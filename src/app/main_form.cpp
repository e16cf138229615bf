#include "app/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/gui_host.h"
#include "input/key_names.h"
#include "interp/emulator_feed.h"
#include "interp/words.h"
#include "mapper/map_commands.h"
#include "platform/qt_host.h"
#include "script/text_file.h"
#include "stats/popup_text.h"
#include "stats/stats_database.h"
#include "text/cp1251.h"
#include "ui/designer.h"
#include "ui/interface_apply.h"

namespace tarnel {

using namespace literals;

namespace {

QString Ru(std::string_view cp1251) { return ToQString(cp1251); }

QFont TerminalFont(int pixels) {
  QFont f("DejaVu Sans Mono");
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  f.setPixelSize(pixels);
  return f;
}

}  // namespace

TMainForm::TMainForm(Client& client, GuiHost& host) : client_(client), host_(host) {
  setWindowTitle("TMC");
  KeyNames = BuildKeyNames();
  StatsLookup = [this](const std::string& word) { return StatsValue(client_, word); };
  // The map keys work on the map model; the map view draws what they change.
  Map.TakeBack = [this] { TakeBackLastRoom(client_); };
  Map.MoveRows = [this](int step) { MapView().MoveRows(step); Panel1->DrawMap(); };
  Map.MoveColumns = [this](int step) { MapView().MoveColumns(step); Panel1->DrawMap(); };
  Map.ChangeLevel = [this](int step) { MapView().ChangeLevel(step); Panel1->DrawMap(); };
  Map.Zoom = [this](int step) { Panel1->ZoomStep(step); };
  Map.Centre = [this] { MapView().Centre(); Panel1->DrawMap(); };
  BuildLayout();
  BuildMenu();
  qApp->installEventFilter(this);
  resize(1024, 720);
}

TMainForm::~TMainForm() { qApp->removeEventFilter(this); }

void TMainForm::BuildLayout() {
  auto* central = new QWidget(this);
  central->setObjectName("central");
  auto* row = new QHBoxLayout(central);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);

  auto* column = new QWidget(central);
  auto* col = new QVBoxLayout(column);
  col->setContentsMargins(0, 0, 0, 0);
  col->setSpacing(0);

  // Chat tabs and the query panel, above the terminal; Splitter3 below
  // the panel.
  Splitter3 = new QSplitter(Qt::Vertical, column);
  Splitter3->setObjectName("Splitter3");
  Splitter3->setChildrenCollapsible(false);
  Splitter3->setHandleWidth(3);
  Panel15 = new TQueryPanel(client_, column, Splitter3);
  TabControl1 = Panel15->TabControl1;
  CheckBox4 = Panel15->CheckBox4;
  Panel15->FocusCommandLine = [this] { Edit1->setFocus(); };
  Panel15->TabChanging = [this] {
    if (Panel17->isVisible()) ScrollBar1->setValue(1);
    HideEntryEditor();
  };
  Panel15->LayOut = [this] { LayOutQueryPanel(); };
  connect(Splitter3, &QSplitter::splitterMoved, this, [this] {
    if (!Panel15->isVisible()) return;
    const int auto_height = QueryAutoHeight();
    const int h = QueryPanelResized(client_, Panel15->height(), auto_height);
    if (h != Panel15->height()) LayOutQueryPanel();
  });

  column_split_ = new QSplitter(Qt::Vertical, Splitter3);
  column_split_->setChildrenCollapsible(false);
  column_split_->setHandleWidth(3);

  // The entry editor, over the terminal while it is open.
  Panel9 = new TEntryEditor(client_, KeyNames, column_split_);
  Panel9->hide();
  Panel9->OnClose = [this](bool emulator_too) {
    Edit1->setFocus();
    if (emulator_too) Panel8->hide();
    FitTerminal();
  };

  // The history view: a second terminal over the history, with its scroll bar.
  Panel17 = new QWidget(column_split_);
  Panel17->setObjectName("Panel17");
  auto* hist = new QHBoxLayout(Panel17);
  hist->setContentsMargins(0, 0, 0, 0);
  hist->setSpacing(0);
  EmulVT2 = new TEmulVT(Panel17, &client_.history_screen);
  EmulVT2->setObjectName("EmulVT2");
  ScrollBar1 = new QScrollBar(Qt::Vertical, Panel17);
  ScrollBar1->setObjectName("ScrollBar1");
  ScrollBar1->setRange(-1500, 1);
  ScrollBar1->setValue(1);
  hist->addWidget(EmulVT2, 1);
  hist->addWidget(ScrollBar1);
  Panel17->hide();

  Panel5 = new QWidget(column_split_);
  Panel5->setObjectName("Panel5");
  EmulVT1 = new TEmulVT(Panel5, &client_.main_screen);
  EmulVT1->setObjectName("EmulVT1");
  column_split_->addWidget(Panel9);
  column_split_->addWidget(Panel17);
  column_split_->addWidget(Panel5);
  column_split_->setStretchFactor(0, 2);
  column_split_->setStretchFactor(1, 2);
  column_split_->setStretchFactor(2, 1);

  for (TEmulVT* vt : {EmulVT1, EmulVT2}) {
    vt->SetBackColor(0);
    vt->SetOptions(0);
    vt->SetXlat(true);
    vt->SetLocalEcho(true);
    vt->SetAutoRepaint(false);
    vt->SetTerminalFont(TerminalFont(13));
    vt->setFont(TerminalFont(13));  // where the interface settings read it
    vt->SetLineHeight(15);
    vt->SetCharWidth(8);
    // Clicking a terminal never takes the focus from the command line.
    vt->setFocusPolicy(Qt::NoFocus);
    vt->OnWordClick = [this](TEmulVT& v, const std::string& w, Qt::KeyboardModifiers m) {
      WordClick(v, w, m);
    };
    vt->OnHidePopup = [this] { HideStatsPopup(); };
    vt->OnWordHover = [this](TEmulVT& v, const std::string& word, bool valid, QPoint pos,
                             Qt::KeyboardModifiers mods) {
      if (!valid) return;
      const std::string value = (mods & Qt::ShiftModifier) ? std::string() : StatsLookup(word);
      if (value.empty())
        HideStatsPopup();
      else
        ShowStatsPopup(value, pos, v);
    };
    vt->OnRelease = [this](TEmulVT&) { Edit1->setFocus(); };
  }
  // Both terminals start with three rows until the window fits them, so
  // the greeting scrolls through without leaving blank rows behind.
  EmulVT1->SetRows(3);
  EmulVT2->SetRows(3);
  Panel5->installEventFilter(this);
  Panel17->installEventFilter(this);
  connect(ScrollBar1, &QScrollBar::valueChanged, this, &TMainForm::ScrollBar1Change);

  // The emulator panel: a line that goes in as if the server sent it.
  Panel8 = new QWidget(column);
  Panel8->setObjectName("Panel8");
  auto* emu = new QHBoxLayout(Panel8);
  emu->setContentsMargins(4, 2, 4, 2);
  emu->addWidget(new QLabel(Ru("Эмулятор:"_cp), Panel8));
  Edit2 = new QLineEdit(Panel8);
  Edit2->setObjectName("Edit2");
  emu->addWidget(Edit2, 1);
  Button1 = new QPushButton("X", Panel8);
  Button1->setObjectName("Button1");
  Button9 = new QPushButton("L", Panel8);
  Button9->setObjectName("Button9");
  for (QPushButton* b : {Button1, Button9}) {
    b->setFixedWidth(28);
    b->setFocusPolicy(Qt::NoFocus);
  }
  emu->addWidget(Button1);
  emu->addWidget(Button9);
  Panel8->hide();
  connect(Button1, &QPushButton::clicked, this, [this] {
    Edit1->setFocus();
    HideEmulatorPanel();
    HideEntryEditor();
    FitTerminal();
  });
  connect(Button9, &QPushButton::clicked, this, &TMainForm::Button9Click);
  Edit2->installEventFilter(this);

  // The command line with the busy indicator left of it.
  Panel10 = new QWidget(column);
  Panel10->setObjectName("Panel10");
  auto* line = new QHBoxLayout(Panel10);
  line->setContentsMargins(0, 0, 0, 0);
  line->setSpacing(0);
  Label13 = new QLabel(">", Panel10);
  Label13->setObjectName("Label13");
  Label13->setFixedWidth(14);
  Label13->setAlignment(Qt::AlignCenter);
  Edit1 = new tmyedit(Panel10);
  Edit1->setObjectName("Edit1");
  Edit1->setFont(TerminalFont(15));
  Edit1->setFrame(false);
  Edit1->setStyleSheet("QLineEdit { background: black; color: white; "
                       "selection-background-color: #c8c8c8; selection-color: black; }");
  Label13->setStyleSheet("QLabel { background: black; color: #c8c8c8; }");
  Label13->setFont(TerminalFont(15));
  line->addWidget(Label13);
  line->addWidget(Edit1, 1);
  Edit1->OnKeyDown = [this](QKeyEvent& e) { return Edit1KeyDown(e); };
  Edit1->OnKeyPress = [this](QKeyEvent& e) { return FormKeyPress(e); };
  Edit1->OnPaste = [this] { CleanClipboard(); };
  connect(Edit1, &QLineEdit::textChanged, this, &TMainForm::Edit1Change);

  Splitter3->addWidget(Panel15);
  Splitter3->addWidget(column_split_);
  Splitter3->setStretchFactor(0, 0);
  Splitter3->setStretchFactor(1, 1);
  col->addWidget(Panel15->Panel14);
  col->addWidget(Splitter3, 1);
  col->addWidget(Panel8);
  col->addWidget(Panel10);

  // The map column on the right, its width moved by Splitter2.
  Splitter2 = new QSplitter(Qt::Horizontal, central);
  Splitter2->setObjectName("Splitter2");
  Splitter2->setChildrenCollapsible(false);
  Splitter2->setHandleWidth(3);
  Panel1 = new TMapPanel(client_, Splitter2);
  Panel1->FocusCommandLine = [this] { Edit1->setFocus(); };
  Panel1->AppendToCommandLine = [this](const QString& text) {
    Edit1->setText(Edit1->text() + text);
    Edit1->setCursorPosition(Edit1->text().size());
    Edit1->setFocus();
  };
  Panel7 = new TWorkbench(client_, Panel1);
  Panel7->FocusCommandLine = [this] { Edit1->setFocus(); };
  Panel1->AddBelow(Panel7, 1);
  Splitter2->addWidget(column);
  Splitter2->addWidget(Panel1);
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setStretchFactor(1, 0);
  Splitter2->setSizes({760, 260});
  connect(Splitter2, &QSplitter::splitterMoved, this, &TMainForm::Splitter2Moved);
  connect(Panel1->Splitter1, &QSplitter::splitterMoved, this, [this] {
    client_.store.Variables().SetValue("global._mapheight", std::to_string(Panel1->Panel2->height()));
    client_.RefreshPanels();
  });

  row->addWidget(Splitter2, 1);
  setCentralWidget(central);
  central->setStyleSheet("#central { background: black; }");

  StatsPopup = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
  StatsPopup->setObjectName("TForm2");
  StatsPopup->setStyleSheet("QLabel { background: #ffffe0; color: black; padding: 2px; }");
  StatsPopup->setWindowOpacity(0.9);
  StatsPopup->hide();

  Edit1->setFocus();
}

void TMainForm::Splitter2Moved() {
  client_.store.Variables().SetValue("global._mapwidth", std::to_string(Panel1->width()));
  client_.RefreshPanels();
}

void TMainForm::RefreshPanels() {
  // The editor grid; the group boxes without their handlers; the
  // workbench; "REC" with its handler.
  if (Panel9->isVisible()) Panel9->ShowModel();
  Panel1->RefreshMapControls();
  Panel7->ShowGroupBox();
  Panel7->ShowModel();
  Panel1->RefreshRecording();
}

void TMainForm::OpenEntryEditor() {
  CloseQueryPanel();
  const bool was_visible = Panel9->isVisible();
  Panel9->show();
  Panel9->ShowModel();
  Panel9->Opened();
  if (!was_visible) {
    // The editor takes most of the column; the terminal keeps the rest.
    QList<int> sizes = column_split_->sizes();
    const int total = column_split_->height();
    const int history = Panel17->isVisible() ? total / 3 : 0;
    sizes = {total * 2 / 3 - history, history, total - total * 2 / 3};
    column_split_->setSizes(sizes);
  }
  Edit1->setFocus();
  FitTerminal();
}

void TMainForm::HideEntryEditor() {
  client_.editor.Close();
  Panel9->hide();
}

void TMainForm::RebuildWindowsMenu() {
  WindowsMenu->clear();
  for (const auto& [title, window] : OutputWindows) {
    const std::string command = "/window " + title;
    WindowsMenu->addAction(ToQString(title), this, [this, command] { client_.ExecuteCommand(command, false); });
  }
}

void TMainForm::OutputWindowRequest(const std::string& title, Host::WindowRequest what, std::string_view text) {
  using Request = Host::WindowRequest;
  if (what == Request::Create) {
    if (HasOutputWindow(title)) return;
    auto window = std::make_unique<TForm1>(client_, title, EmulVT1->font());
    TForm1* w = window.get();
    ApplyTerminalLook(*EmulVT1, *w);
    w->FocusCommandLine = [this] {
      activateWindow();
      Edit1->setFocus();
    };
    w->ForwardKey = [this](QKeyEvent& e) {
      activateWindow();
      Edit1->setFocus();
      QKeyEvent copy(e.type(), e.key(), e.modifiers(), e.text(), e.isAutoRepeat(), e.count());
      QApplication::sendEvent(Edit1, &copy);
    };
    OutputWindows[title] = std::move(window);
    RebuildWindowsMenu();
    w->show();
    activateWindow();
    Edit1->setFocus();
    return;
  }
  const auto it = OutputWindows.find(title);
  if (it == OutputWindows.end()) return;
  TForm1* w = it->second.get();
  switch (what) {
    case Request::Free:
      w->AllowClose();
      w->close();
      OutputWindows.erase(it);
      RebuildWindowsMenu();
      break;
    case Request::Open:
      w->show();
      w->raise();
      break;
    case Request::Show:
      w->show();
      Edit1->setFocus();
      w->raise();
      break;
    case Request::Hide:
      w->hide();
      break;
    case Request::Clear:
      w->ClearTerminal();
      break;
    case Request::CommandLine:
      w->CommandLine->setText(ToQString(text));
      break;
    case Request::Write:
      w->Write(text);
      break;
    case Request::Create:
      break;
  }
}

int TMainForm::QueryAutoHeight() const {
  // The place of the terminal, less the tab strip.
  return std::max(40, Splitter3->height() - Splitter3->handleWidth() - 40);
}

void TMainForm::LayOutQueryPanel() {
  if (!Panel15->isVisible()) return;
  const int total = Splitter3->height() - Splitter3->handleWidth();
  const int h = std::clamp(QueryPanelHeight(client_, QueryAutoHeight()), 20, std::max(20, total - 20));
  Splitter3->setSizes({h, total - h});
}

void TMainForm::MenuCommand(QMenu* menu, const QString& title, const char* command, bool echo) {
  const std::string text(command);
  menu->addAction(title, this, [this, text, echo] { client_.ExecuteCommand(text, echo); });
}

void TMainForm::BuildMenu() {
  QMenu* files = menuBar()->addMenu(Ru("Файлы"_cp));
  MenuCommand(files, Ru("Новый профиль"_cp), "/newprofile", true);
  MenuCommand(files, Ru("Сохранить профиль..."_cp), "/saveprofile", true);
  MenuCommand(files, Ru("Загрузить профиль..."_cp), "/loadprofile", true);
  files->addSeparator();
  MenuCommand(files, Ru("Выход"_cp), "/bye", true);

  QMenu* settings = menuBar()->addMenu(Ru("Настройки"_cp));
  MenuCommand(settings, Ru("Макросы..."_cp), "/macros", true);
  MenuCommand(settings, Ru("Функции..."_cp), "/funcs", true);
  MenuCommand(settings, Ru("Триггеры..."_cp), "/trigs", true);
  MenuCommand(settings, Ru("Горячие клавиши..."_cp), "/hotkeys", true);
  MenuCommand(settings, Ru("Аргументы..."_cp), "/args", true);
  MenuCommand(settings, Ru("Переменные..."_cp), "/vars", true);
  MenuCommand(settings, Ru("Группы..."_cp), "/groups", true);
  settings->addSeparator();
  QAction* designer = settings->addAction(Ru("Интерфейс..."_cp));
  designer->setObjectName("designer");
  connect(designer, &QAction::triggered, this, [this] {
    if (RunInterfaceDesigner(client_, this)) ApplyInterfaceSettings();
    Edit1->setFocus();
  });

  QMenu* help = menuBar()->addMenu(Ru("Помощь"_cp));
  MenuCommand(help, Ru("Справка..."_cp), "/man", false);
  MenuCommand(help, Ru("Что нового ?.."_cp), "/man news", false);
  help->addSeparator();
  MenuCommand(help, Ru("О программе"_cp), "/about", true);

  // The output windows: one item each under "Окна :", and two items of the
  // bar itself that hide or show them all.
  WindowsMenu = menuBar()->addMenu(Ru("Окна :"_cp));
  WindowsMenu->setObjectName("WindowsMenu");
  menuBar()->addAction(Ru("скрыть"_cp), this, [this] {
    for (const auto& [title, window] : OutputWindows) window->hide();
    Edit1->setFocus();
  });
  menuBar()->addAction(Ru("показать"_cp), this, [this] {
    for (const auto& [title, window] : OutputWindows) window->show();
    Edit1->setFocus();
  });

  // Menus never keep the focus: typing goes on in the command line.
  menuBar()->setFocusPolicy(Qt::NoFocus);
}

void TMainForm::FormCreate(const std::vector<std::string>& args) {
  // The look as built, before TARNEL.ini changes it.
  BuildInterfaceDefaults(client_, *this, *EmulVT1);
  client_.Create(args);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (maximize_at_first_show_) {
    maximize_at_first_show_ = false;
    setWindowState(windowState() | Qt::WindowMaximized);
    // Some window managers never activate a new window: start anyway.
    QTimer::singleShot(300, this, [this] {
      if (!activated_) FormActivate();
    });
  }
}

void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TMainForm::FormActivate() {
  activated_ = true;
  FitHistoryView();
  client_.Activate();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!destroyed_) {
    destroyed_ = true;
    HideStatsPopup();
    client_.Destroy();
    // The output windows end with the main window.
    for (auto& [title, window] : OutputWindows) {
      window->AllowClose();
      window->close();
    }
  }
  event->accept();
}

void TMainForm::SetBusyIndicator(char c) { Label13->setText(QString(QChar(c))); }

void TMainForm::HideStatsPopup() {
  if (StatsPopup->isVisible()) StatsPopup->hide();
}

void TMainForm::ShowStatsPopup(const std::string& value, QPoint pos, TEmulVT& view) {
  StatsPopup->setText(ToQString(StatsPopupText(value)));
  StatsPopup->adjustSize();
  StatsPopup->resize(StatsPopup->width() + 4, StatsPopup->height() + 4);
  const QRect frame = frameGeometry();
  int y = pos.y() + (&view == EmulVT1 ? EmulVT1->mapTo(this, QPoint(0, 0)).y() : 0) + frame.top();
  // The pop-up ends 10 pixels above the window's bottom edge at the lowest.
  y = std::min(y, frame.bottom() - 10 - StatsPopup->height());
  y = std::max(y, 0);
  const int x = pos.x() + frame.left() + 20;
  StatsPopup->move(x, y);
  if (!StatsPopup->isVisible()) {
    StatsPopup->show();
    Edit1->setFocus();
  }
  StatsPopup->update();
}

void TMainForm::WordClick(TEmulVT&, const std::string& word, Qt::KeyboardModifiers mods) {
  if (mods & Qt::ShiftModifier) {
    const int p = Edit1->cursorPosition();
    QString t = Edit1->text();
    const QString ins = ToQString(word + " ");
    t.insert(p, ins);
    Edit1->setText(t);
    Edit1->setCursorPosition(p + static_cast<int>(ins.size()));
  } else {
    client_.ExecuteCommand("_stats " + word, true);
  }
}

// Emulator panel ------------------------------------------------------------

void TMainForm::ShowEmulatorPanel() {
  CloseQueryPanel();
  Panel8->show();
  Edit2->setFocus();
  FitTerminal();
}

void TMainForm::HideEmulatorPanel() {
  Panel8->hide();
  FitTerminal();
}

void TMainForm::Edit2Enter() {
  EmulatorEnter(client_, FromQString(Edit2->text()));
  Edit2->selectAll();
}

void TMainForm::Button9Click() {
  Edit2->setFocus();
  const std::string name = host_.AskOpenFileName(std::string("Все файлы|*.*"_cp));
  if (!name.empty()) EmulatorLoadFile(client_, name);
}

// Interface settings ------------------------------------------------------

void TMainForm::ApplyInterfaceSettings() {
  tarnel::ApplyInterfaceSettings(client_, *this, *EmulVT1, *EmulVT2);
  for (const auto& [title, window] : OutputWindows) ApplyTerminalLook(*EmulVT1, *window);
  // Before the first show the window fits its terminals once shown.
  if (isVisible()) {
    FitTerminal();
    if (Panel17->isVisible()) FitHistoryView();
  }
  Panel1->DrawMap();
}

}  // namespace tarnel
