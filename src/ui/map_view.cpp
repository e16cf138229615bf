#include "ui/map_view.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "interp/client.h"
#include "mapper/map_commands.h"
#include "mapper/map_view_actions.h"
#include "mapper/room_editor.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

namespace {

QColor FromBgr(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QString ColourStyle(std::uint32_t bgr) {
  return QString("QCheckBox { color: %1; }").arg(FromBgr(bgr).name());
}

}  // namespace

TMouseSensitiveImage::TMouseSensitiveImage(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  // A click on the map leaves the focus where it was: in an exit field of
  // the room editor it links that exit to the room clicked.
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TMouseSensitiveImage::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (Picture.isNull())
    p.fillRect(rect(), Qt::black);
  else
    p.drawImage(0, 0, Picture);
}

void TMouseSensitiveImage::mouseMoveEvent(QMouseEvent* e) {
  if (OnMove) OnMove(e->position().toPoint());
}

void TMouseSensitiveImage::mouseReleaseEvent(QMouseEvent* e) {
  if (rect().contains(e->position().toPoint()) && OnClick) OnClick(*e);
}

void TMouseSensitiveImage::leaveEvent(QEvent*) {
  if (OnLeave) OnLeave();
}

void TMouseSensitiveImage::resizeEvent(QResizeEvent*) {
  if (OnResize) OnResize(size());
}

ImageMapCanvas::ImageMapCanvas(QImage& image)
    : image_(image), bits_(image.bits()), stride_(image.bytesPerLine()), width_(image.width()),
      height_(image.height()) {}

ImageMapCanvas::~ImageMapCanvas() { Finish(); }

void ImageMapCanvas::Fill(int left, int top, int right, int bottom, std::uint32_t bgr) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  if (left >= right || top >= bottom) return;
  const QRgb pixel = qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
  uchar* row = bits_ + top * stride_;
  for (int y = top; y < bottom; ++y, row += stride_) {
    auto* line = reinterpret_cast<QRgb*>(row);
    std::fill(line + left, line + right, pixel);
  }
}

void ImageMapCanvas::Letter(int x, int y, int size, bool bold, std::uint32_t bgr, char letter) {
  if (size > 0) letters_.push_back({x, y, size, bold, bgr, letter});
}

namespace {

// One letter drawn once on a clear image, to be laid over the map as often
// as it stands there.
struct Glyph {
  struct Dot {
    int x, y;
    QRgb colour;  // premultiplied by its coverage
  };
  std::vector<Dot> dots;  // relative to the letter's cell
};

Glyph MakeGlyph(int size, bool bold, std::uint32_t bgr, char letter) {
  // The map's letters are drawn in a Cyrillic sans font that Debian ships.
  QFont font("DejaVu Sans");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, size * 96 / 72));
  font.setBold(bold);
  const QFontMetrics metrics(font);
  const QString text = ToQString(std::string_view(&letter, 1));
  const int margin = metrics.height() / 2;
  QImage image(metrics.horizontalAdvance(text) + 2 * margin, metrics.height() + 2,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setFont(font);
    p.setPen(FromBgr(bgr));
    p.drawText(margin, metrics.ascent(), text);
  }
  Glyph g;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(line[x]) != 0) g.dots.push_back({x - margin, y, line[x]});
  }
  return g;
}

}  // namespace

void ImageMapCanvas::Finish() {
  if (letters_.empty()) return;
  std::vector<std::pair<Pending, Glyph>> glyphs;
  for (const Pending& l : letters_) {
    const Glyph* g = nullptr;
    for (const auto& [key, glyph] : glyphs)
      if (key.size == l.size && key.bold == l.bold && key.bgr == l.bgr && key.letter == l.letter) g = &glyph;
    if (g == nullptr) {
      glyphs.emplace_back(l, MakeGlyph(l.size, l.bold, l.bgr, l.letter));
      g = &glyphs.back().second;
    }
    // Source over, dot by dot, within the picture.
    for (const Glyph::Dot& dot : g->dots) {
      const int x = l.x + dot.x, y = l.y + dot.y;
      if (x < 0 || x >= width_ || y < 0 || y >= height_) continue;
      QRgb& d = reinterpret_cast<QRgb*>(bits_ + y * stride_)[x];
      const int keep = 255 - qAlpha(dot.colour);
      d = qRgb(qRed(dot.colour) + (qRed(d) * keep + 127) / 255, qGreen(dot.colour) + (qGreen(d) * keep + 127) / 255,
               qBlue(dot.colour) + (qBlue(d) * keep + 127) / 255);
    }
  }
  letters_.clear();
}

TMapPanel::TMapPanel(Client& client, QWidget* parent) : QWidget(parent), client_(client) {
  setObjectName("Panel1");
  // The panel's own background: the window around it is black.
  setAutoFillBackground(true);
  setPalette(QApplication::palette());
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  Splitter1 = new QSplitter(Qt::Vertical, this);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setChildrenCollapsible(false);
  Splitter1->setHandleWidth(3);
  outer->addWidget(Splitter1);

  Panel2 = new QWidget(Splitter1);
  Panel2->setObjectName("Panel2");
  auto* map = new QVBoxLayout(Panel2);
  map->setContentsMargins(0, 0, 0, 0);
  map->setSpacing(1);
  auto* top = new QHBoxLayout;
  Label36 = new QLabel(ToQString("Карта:"_cp), Panel2);
  Label36->setObjectName("Label36");
  Label8 = new QLabel(Panel2);
  Label8->setObjectName("Label8");
  Label8->setMinimumWidth(10);
  top->setSpacing(6);
  top->addWidget(Label36);
  top->addWidget(Label8, 1);
  map->addLayout(top);

  Image1 = new TMouseSensitiveImage(Panel2);
  Image1->setObjectName("Image1");
  Image1->setMinimumSize(40, 40);
  map->addWidget(Image1, 1);
  Progressbar1 = new QProgressBar(Panel2);
  Progressbar1->setObjectName("Progressbar1");
  Progressbar1->setTextVisible(false);
  Progressbar1->setMaximumHeight(8);
  Progressbar1->hide();
  map->addWidget(Progressbar1);

  auto* controls = new QHBoxLayout;
  controls->setSpacing(3);
  Label9 = new QLabel("Z", Panel2);
  Label9->setObjectName("Label9");
  Label10 = new QLabel("000", Panel2);
  Label10->setObjectName("Label10");
  TrackBar1 = new QSlider(Qt::Horizontal, Panel2);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setRange(MapViewState::kMinZoom, MapViewState::kMaxZoom);
  TrackBar1->setValue(1);
  TrackBar1->setPageStep(1);
  TrackBar1->setFocusPolicy(Qt::NoFocus);
  CheckBox1 = new QCheckBox("REC", Panel2);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox3 = new QCheckBox(Panel2);
  CheckBox3->setObjectName("CheckBox3");
  CheckBox3->setToolTip(ToQString("Группа map"_cp));
  Button4 = new QPushButton("C", Panel2);
  Button4->setObjectName("Button4");
  Button4->setToolTip(ToQString("Новая карта"_cp));
  Button5 = new QPushButton("E", Panel2);
  Button5->setObjectName("Button5");
  Button5->setToolTip(ToQString("Редактор комнаты"_cp));
  for (QPushButton* b : {Button4, Button5}) {
    b->setFixedWidth(24);
    b->setFocusPolicy(Qt::NoFocus);
  }
  for (QCheckBox* b : {CheckBox1, CheckBox3}) b->setFocusPolicy(Qt::NoFocus);
  controls->addWidget(Label9);
  controls->addWidget(Label10);
  controls->addWidget(TrackBar1, 1);
  controls->addWidget(CheckBox1);
  controls->addWidget(CheckBox3);
  controls->addWidget(Button4);
  controls->addWidget(Button5);
  map->addLayout(controls);
  ColourRecording(false);

  auto* below = new QWidget(Splitter1);
  below_ = below;
  auto* below_layout = new QVBoxLayout(below);
  below_layout->setContentsMargins(0, 0, 0, 0);
  below_layout->setSpacing(1);
  BuildEditor();
  below_layout->addWidget(Panel11);
  ListBox2 = new QListWidget(below);
  ListBox2->setObjectName("ListBox2");
  ListBox2->setFocusPolicy(Qt::NoFocus);
  ListBox2->hide();
  below_layout->addWidget(ListBox2, 1);
  below_layout->addStretch();
  Splitter1->addWidget(Panel2);
  Splitter1->addWidget(below);
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);

  PopupMenu1 = new QMenu(this);
  N5 = PopupMenu1->addAction(ToQString("Сохранить в файл..."_cp), this, [this] { SaveToFile(); });
  N6 = PopupMenu1->addAction(ToQString("Загрузить из файла..."_cp), this,
                             [this] { client_.ExecuteCommand("/loadmap", false); });

  Image1->OnMove = [this](QPoint p) {
    if (auto label = HoverAt(client_.map, p.x(), p.y(), Panel11->isVisible())) Label8->setText(ToQString(*label));
  };
  Image1->OnLeave = [this] {
    HoverLeft(client_.map);
    Label8->clear();
  };
  Image1->OnClick = [this](QMouseEvent& e) { ImageClick(e); };
  Image1->OnResize = [this](QSize s) {
    client_.map.view.SetImageSize(s.width(), s.height());
    DrawMap();
  };
  connect(TrackBar1, &QSlider::valueChanged, this, &TMapPanel::TrackBar1Change);
  connect(CheckBox1, &QCheckBox::clicked, this, &TMapPanel::CheckBox1Click);
  connect(CheckBox3, &QCheckBox::clicked, this, &TMapPanel::CheckBox3Click);
  connect(Button4, &QPushButton::clicked, this, [this] { client_.ExecuteCommand("/newmap", false); });
  connect(Button5, &QPushButton::clicked, this, &TMapPanel::ToggleEditor);
  connect(ListBox2, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    RunTransition(client_, FromQString(item->text()));
    if (FocusCommandLine) FocusCommandLine();
  });
}

void TMapPanel::BuildEditor() {
  Panel11 = new QWidget(this);
  Panel11->setObjectName("Panel11");
  auto* grid = new QGridLayout(Panel11);
  grid->setContentsMargins(2, 2, 2, 2);
  grid->setSpacing(2);
  auto field = [this](const char* name, int width) {
    auto* e = new QLineEdit(Panel11);
    e->setObjectName(name);
    if (width > 0) e->setMaximumWidth(width);
    e->installEventFilter(this);
    return e;
  };
  auto label = [this](const QString& text) { return new QLabel(text, Panel11); };
  Label14 = new QLabel(Panel11);
  Label14->setObjectName("Label14");
  grid->addWidget(label("#"), 0, 0);
  grid->addWidget(Label14, 0, 1, 1, 3);
  Edit4 = field("Edit4", 60);
  Edit5 = field("Edit5", 60);
  Edit6 = field("Edit6", 60);
  Edit7 = field("Edit7", 60);
  Edit8 = field("Edit8", 60);
  Edit9 = field("Edit9", 60);
  exits_[kWest] = Edit4;
  exits_[kEast] = Edit5;
  exits_[kNorth] = Edit6;
  exits_[kSouth] = Edit7;
  exits_[kUp] = Edit8;
  exits_[kDown] = Edit9;
  // The exits as a compass: north above, west and east beside, south
  // below; up and down to the right.
  grid->addWidget(label("n"), 1, 2, Qt::AlignRight);
  grid->addWidget(Edit6, 1, 3);
  grid->addWidget(label("u"), 1, 4, Qt::AlignRight);
  grid->addWidget(Edit8, 1, 5);
  grid->addWidget(label("w"), 2, 0, Qt::AlignRight);
  grid->addWidget(Edit4, 2, 1);
  grid->addWidget(label("e"), 2, 2, Qt::AlignRight);
  grid->addWidget(Edit5, 2, 3);
  grid->addWidget(label("s"), 3, 2, Qt::AlignRight);
  grid->addWidget(Edit7, 3, 3);
  grid->addWidget(label("d"), 3, 4, Qt::AlignRight);
  grid->addWidget(Edit9, 3, 5);
  Edit3 = field("Edit3", 30);
  Edit3->setMaxLength(1);
  Edit10 = field("Edit10", 0);
  Edit16 = field("Edit16", 0);
  Edit17 = field("Edit17", 40);
  Edit18 = field("Edit18", 40);
  grid->addWidget(label(ToQString("Флаг:"_cp)), 4, 0, 1, 2, Qt::AlignRight);
  grid->addWidget(Edit3, 4, 2);
  grid->addWidget(label(ToQString("Имя:"_cp)), 5, 0, 1, 2, Qt::AlignRight);
  grid->addWidget(Edit10, 5, 2, 1, 4);
  grid->addWidget(label("Ext.:"), 6, 0, 1, 2, Qt::AlignRight);
  grid->addWidget(Edit16, 6, 2, 1, 4);
  grid->addWidget(label("Cols:"), 7, 0, 1, 2, Qt::AlignRight);
  grid->addWidget(Edit17, 7, 2);
  grid->addWidget(label("Rows:"), 7, 3, Qt::AlignRight);
  grid->addWidget(Edit18, 7, 4);
  connect(Edit3, &QLineEdit::textEdited, this, [this](const QString& text) {
    ApplyRoomFlag(client_, FromQString(text));
  });

  struct Swatch {
    QLabel** member;
    const char* name;
    std::int32_t colour;
  };
  const Swatch swatches[] = {{&Label32, "Label32", 0x808080}, {&Label16, "Label16", 0x0000FF},
                             {&Label17, "Label17", 0x00FF00}, {&Label18, "Label18", 0x008080},
                             {&Label26, "Label26", 0x800000}, {&Label25, "Label25", 0xFF00FF},
                             {&Label24, "Label24", 0x808000}, {&Label15, "Label15", 0}};
  auto* colours = new QHBoxLayout;
  colours->setSpacing(2);
  for (const Swatch& s : swatches) {
    auto* l = new QLabel(Panel11);
    l->setObjectName(s.name);
    l->setFixedSize(14, 14);
    l->setCursor(Qt::PointingHandCursor);
    l->setStyleSheet(QString("QLabel { background: %1; border: 1px solid gray; }")
                         .arg(FromBgr(static_cast<std::uint32_t>(s.colour)).name()));
    l->setProperty("roomColour", s.colour);
    l->installEventFilter(this);
    colours->addWidget(l);
    *s.member = l;
  }
  colours->addStretch();
  grid->addLayout(colours, 8, 0, 1, 6);
  Panel11->hide();
}

bool TMapPanel::eventFilter(QObject* watched, QEvent* event) {
  if (auto* swatch = qobject_cast<QLabel*>(watched); swatch && swatch->property("roomColour").isValid()) {
    if (event->type() == QEvent::MouseButtonRelease) {
      ApplyRoomColour(client_, swatch->property("roomColour").toInt());
      return true;
    }
    return false;
  }
  auto* field = qobject_cast<QLineEdit*>(watched);
  if (field == nullptr || field->parent() != Panel11) return QWidget::eventFilter(watched, event);
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      ApplyField(field);
      AfterEdit();
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      ToggleEditor();
      return true;
    }
  } else if (event->type() == QEvent::FocusOut && !filling_ && field->isModified()) {
    // Leaving a field applies what the player changed in it; one only
    // passed through keeps its room as it is.
    ApplyField(field);
  }
  return false;
}

bool TMapPanel::ApplyField(QLineEdit* field) {
  const std::string text = FromQString(field->text());
  field->setModified(false);
  for (int k = 0; k < kDirections; ++k) {
    if (field == exits_[k]) {
      ApplyRoomExit(client_, k, text);
      return true;
    }
  }
  if (field == Edit10)
    ApplyRoomName(client_, text);
  else if (field == Edit16)
    ApplyRoomTransitions(client_, text);
  else if (field == Edit17 || field == Edit18)
    ApplyRoomSize(client_, field == Edit17, text);
  else if (field == Edit3)
    ApplyRoomFlag(client_, text);
  else
    return false;
  return true;
}

void TMapPanel::AfterEdit() {
  // A value the room did not take gives way to the room's own.
  FillRoomPanel();
  client_.map.view.Centre();
  DrawMap();
  if (FocusCommandLine) FocusCommandLine();
}

int TMapPanel::FocusedExitField() const {
  const QWidget* focus = QApplication::focusWidget();
  for (int k = 0; k < kDirections; ++k)
    if (focus == exits_[k]) return k;
  return -1;
}

void TMapPanel::ImageClick(QMouseEvent& e) {
  if (e.button() == Qt::RightButton) {
    PopupMenu1->popup(e.globalPosition().toPoint());
    return;
  }
  // The room under the pointer now: a click right after the map moved
  // (which forgets the room under the mouse) acts on what it shows.
  const QPoint at = e.position().toPoint();
  if (auto label = HoverAt(client_.map, at.x(), at.y(), Panel11->isVisible())) Label8->setText(ToQString(*label));
  MapClick click;
  click.shift = e.modifiers() & Qt::ShiftModifier;
  click.ctrl = e.modifiers() & Qt::ControlModifier;
  click.exit_field = FocusedExitField();
  const MapClickResult result = ClickMap(client_, click);
  if (!result.append.empty() && AppendToCommandLine) AppendToCommandLine(ToQString(result.append));
  if (result.exit_id && click.exit_field >= 0) {
    QLineEdit* field = exits_[click.exit_field];
    field->setText(QString::number(*result.exit_id));
    field->setModified(true);
  }
  DrawMap();
}

void TMapPanel::DrawMap() {
  MapModel& m = client_.map;
  const QSize size = Image1->size();
  if (Image1->Picture.size() != size) Image1->Picture = QImage(size, QImage::Format_RGB32);
  if (m.view.image_width != size.width() || m.view.image_height != size.height())
    m.view.SetImageSize(size.width(), size.height());
  Label10->setText(ToQString(LevelText(m.view.level)));
  if (!Image1->Picture.isNull()) {
    ImageMapCanvas canvas(Image1->Picture);
    tarnel::DrawMap(m, ReadMapColours(client_.settings), client_.store.Var("map.located") == "1", canvas);
    canvas.Finish();
  }
  Image1->update();
}

void TMapPanel::FillRoomPanel() {
  // The map was centred anew: no room is under the mouse until it moves.
  Label8->clear();
  const RoomPanelData p = client_.map.RoomPanel();
  filling_ = true;
  if (!p.has_room) {
    ListBox2->clear();
    ListBox2->hide();
    filling_ = false;
    return;
  }
  QLineEdit* const in_panel_order[6] = {Edit4, Edit5, Edit6, Edit7, Edit8, Edit9};
  for (int i = 0; i < 6; ++i) in_panel_order[i]->setText(QString::number(p.exits[i]));
  Label14->setText(QString::number(p.id));
  Edit3->setText(p.flag == 0 ? QString() : ToQString(std::string_view(&p.flag, 1)));
  Edit10->setText(ToQString(p.name));
  Edit16->setText(ToQString(p.transitions));
  Edit17->setText(QString::number(p.width));
  Edit18->setText(QString::number(p.height));
  ListBox2->clear();
  for (const std::string& item : p.transition_items) ListBox2->addItem(ToQString(item));
  if (ListBox2->count() > 0) ListBox2->setCurrentRow(0);
  ListBox2->setVisible(!p.transitions.empty());
  filling_ = false;
}

void TMapPanel::ShowProgress(int position, int maximum) {
  Progressbar1->setRange(0, std::max(0, maximum));
  Progressbar1->setValue(position);
  if (!Progressbar1->isVisible()) Progressbar1->show();
  Progressbar1->repaint();
}

void TMapPanel::HideProgress() { Progressbar1->hide(); }

void TMapPanel::SetZoom(int position) {
  const int to = std::clamp(position, MapViewState::kMinZoom, MapViewState::kMaxZoom);
  if (TrackBar1->value() == to)
    TrackBar1Change(to);
  else
    TrackBar1->setValue(to);
}

void TMapPanel::ZoomStep(int step) {
  const int to = std::clamp(TrackBar1->value() + step, MapViewState::kMinZoom, MapViewState::kMaxZoom);
  if (to != TrackBar1->value()) TrackBar1->setValue(to);
}

void TMapPanel::TrackBar1Change(int position) {
  SetMapZoom(client_, position);
  DrawMap();
}

void TMapPanel::SetMapHeight(int height) {
  if (height <= 0) return;
  const int total = std::max(Splitter1->height(), height + 40);
  Splitter1->setSizes({height, total - height});
}

void TMapPanel::RefreshMapControls() {
  // The map group's box is set without running its handler.
  CheckBox3->setChecked(client_.store.GroupOn("map"));
}

void TMapPanel::RefreshRecording() {
  // "REC" keeps its handler: when the setting turns it over, the click's
  // commands run as if the player had clicked it.
  const bool recording = client_.store.VarOn("map._autograb");
  if (CheckBox1->isChecked() == recording) {
    ColourRecording(recording);
    return;
  }
  CheckBox1->setChecked(recording);
  CheckBox1Click(recording);
}

void TMapPanel::AddBelow(QWidget* widget, int stretch) {
  auto* layout = static_cast<QVBoxLayout*>(below_->layout());
  // Before the closing stretch.
  layout->insertWidget(layout->count() - 1, widget, stretch);
}

void TMapPanel::ColourRecording(bool on) { CheckBox1->setStyleSheet(ColourStyle(on ? 0x0000FF : 0x00FF00)); }

void TMapPanel::CheckBox1Click(bool on) {
  ColourRecording(on);
  RecordingClicked(client_, on);
  DrawMap();
}

void TMapPanel::CheckBox3Click(bool on) {
  MapGroupClicked(client_, on);
  if (FocusCommandLine) FocusCommandLine();
}

void TMapPanel::ToggleEditor() {
  Panel11->setVisible(!Panel11->isVisible());
  CheckBox3->setChecked(!Panel11->isVisible());
  CheckBox3Click(CheckBox3->isChecked());
  client_.map.view.Centre();
  DrawMap();
}

void TMapPanel::SaveToFile() {
  TStringList& vars = client_.store.Variables();
  const int dir = vars.IndexOfName("map._directory");
  const std::string folder = dir >= 0 ? std::string(vars.ValueAt(dir)) : std::string();
  const std::string name = client_.host.AskMapFileName(true, "Карты (*.tmm)|*.tmm|Все файлы|*.*"_cp, folder);
  if (name.empty()) return;
  vars.SetValue("map._file", name);
  client_.ExecuteCommand("/savemap", false);
}

}  // namespace tarnel
