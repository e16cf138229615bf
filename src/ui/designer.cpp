#include "ui/designer.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "interp/client.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;
using Field = InterfaceEditor::Field;

namespace {

QString Ru(std::string_view cp1251) { return ToQString(cp1251); }

QColor FromBgr(std::uint32_t bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

std::uint32_t ToBgr(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

constexpr Field kFields[] = {Field::Font,   Field::Size,  Field::Width,
                             Field::Height, Field::Color, Field::FontColor};

}  // namespace

TInterfaceDesigner::TInterfaceDesigner(Client& client, QWidget* parent)
    : QDialog(parent), model_(std::make_unique<InterfaceEditor>(client)) {
  // Names of its own: the window finds its controls by name, and the
  // dialog is its child while open.
  setObjectName("InterfaceDesigner");
  setWindowTitle(Ru("Редактор интерфейса"_cp));
  setModal(true);

  PickFont = [this](const QFont& initial) -> std::optional<QFont> {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, this);
    return ok ? std::optional<QFont>(f) : std::nullopt;
  };
  PickColour = [this](const QColor& initial) -> std::optional<QColor> {
    const QColor c = QColorDialog::getColor(initial, this);
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
  };
  ShowError = [this](const QString& text) { QMessageBox::warning(this, QString(), text); };

  auto* outer = new QVBoxLayout(this);
  auto* body = new QHBoxLayout;
  outer->addLayout(body);
  ObjectList = new QListWidget(this);
  ObjectList->setObjectName("ObjectList");
  ObjectList->setFixedWidth(150);
  ObjectList->setMinimumHeight(280);
  body->addWidget(ObjectList);

  auto* right = new QVBoxLayout;
  body->addLayout(right);
  auto edit = [this](QWidget* parent, const char* name, int width) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    if (width > 0) e->setFixedWidth(width);
    e->installEventFilter(this);
    return e;
  };
  auto panel = [this](const char* name) {
    auto* p = new QWidget(this);
    p->setObjectName(name);
    // The dialog keeps its layout when a panel is hidden.
    QSizePolicy policy = p->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    p->setSizePolicy(policy);
    return p;
  };

  FontPanel = panel("FontPanel");
  auto* font = new QGridLayout(FontPanel);
  font->setContentsMargins(0, 0, 0, 0);
  FontEdit = edit(FontPanel, "FontEdit", 200);
  FontButton = new QPushButton("...", FontPanel);
  FontButton->setObjectName("FontButton");
  FontButton->setFixedWidth(30);
  // Enter in a field opens nothing.
  FontButton->setAutoDefault(false);
  SizeEdit = edit(FontPanel, "SizeEdit", 60);
  font->addWidget(new QLabel(Ru("Шрифт:"_cp), FontPanel), 0, 0);
  font->addWidget(FontEdit, 0, 1);
  font->addWidget(FontButton, 0, 2);
  font->addWidget(new QLabel(Ru("Размер:"_cp), FontPanel), 1, 0);
  font->addWidget(SizeEdit, 1, 1, Qt::AlignLeft);
  right->addWidget(FontPanel);

  CellPanel = panel("CellPanel");
  auto* cell = new QGridLayout(CellPanel);
  cell->setContentsMargins(0, 0, 0, 0);
  WidthEdit = edit(CellPanel, "WidthEdit", 60);
  HeightEdit = edit(CellPanel, "HeightEdit", 60);
  cell->addWidget(new QLabel(Ru("Ширина знакоместа:"_cp), CellPanel), 0, 0);
  cell->addWidget(WidthEdit, 0, 1, Qt::AlignLeft);
  cell->addWidget(new QLabel(Ru("Высота строки:"_cp), CellPanel), 1, 0);
  cell->addWidget(HeightEdit, 1, 1, Qt::AlignLeft);
  cell->setColumnStretch(2, 1);
  right->addWidget(CellPanel);

  auto* colours = new QWidget(this);
  colours->setObjectName("ColourPanel");
  auto* colour = new QGridLayout(colours);
  colour->setContentsMargins(0, 0, 0, 0);
  ColorEdit = edit(colours, "ColorEdit", 80);
  FontColorEdit = edit(colours, "FontColorEdit", 80);
  auto swatch = [this, colours](const char* name) {
    auto* s = new QLabel(colours);
    s->setObjectName(name);
    s->setFixedSize(40, 20);
    s->setFrameShape(QFrame::Box);
    s->setAutoFillBackground(true);
    s->setCursor(Qt::PointingHandCursor);
    s->installEventFilter(this);
    return s;
  };
  ColorSwatch = swatch("ColorSwatch");
  FontColorSwatch = swatch("FontColorSwatch");
  colour->addWidget(new QLabel(Ru("Цвет фона:"_cp), colours), 0, 0);
  colour->addWidget(ColorEdit, 0, 1);
  colour->addWidget(ColorSwatch, 0, 2);
  colour->addWidget(new QLabel(Ru("Цвет текста:"_cp), colours), 1, 0);
  colour->addWidget(FontColorEdit, 1, 1);
  colour->addWidget(FontColorSwatch, 1, 2);
  colour->setColumnStretch(3, 1);
  right->addWidget(colours);
  right->addStretch();

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  ResetButton = new QPushButton(Ru("Сбросить"_cp), this);
  ResetButton->setObjectName("ResetButton");
  SaveButton = new QPushButton(Ru("Сохранить"_cp), this);
  SaveButton->setObjectName("SaveButton");
  CancelButton = new QPushButton(Ru("Отмена"_cp), this);
  CancelButton->setObjectName("CancelButton");
  for (QPushButton* b : {ResetButton, SaveButton, CancelButton}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  outer->addLayout(buttons);

  for (const std::string& object : model_->Objects()) ObjectList->addItem(ToQString(object));
  PaintSwatch(Field::Color);
  PaintSwatch(Field::FontColor);
  for (Field f : kFields)
    connect(FieldEdit(f), &QLineEdit::textChanged, this,
            [this, f](const QString& text) { FieldChanged(f, text); });
  connect(ObjectList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    model_->Select(row);
    ShowObject();
  });
  connect(FontButton, &QPushButton::clicked, this, &TInterfaceDesigner::ChooseFont);
  connect(ResetButton, &QPushButton::clicked, this, [this] {
    model_->Reset();
    ShowObject();
  });
  connect(SaveButton, &QPushButton::clicked, this, &TInterfaceDesigner::SaveClicked);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  if (ObjectList->count() > 0) ObjectList->setCurrentRow(0);
  ShowObject();
  // One size for every object: laid out with all panels shown.
  setFixedSize(sizeHint());
}

TInterfaceDesigner::~TInterfaceDesigner() = default;

QLineEdit* TInterfaceDesigner::FieldEdit(Field field) const {
  switch (field) {
    case Field::Font: return FontEdit;
    case Field::Size: return SizeEdit;
    case Field::Width: return WidthEdit;
    case Field::Height: return HeightEdit;
    case Field::Color: return ColorEdit;
    case Field::FontColor: return FontColorEdit;
  }
  return FontEdit;
}

void TInterfaceDesigner::ShowObject() {
  CellPanel->setVisible(model_->ShowsCellPanel());
  FontPanel->setVisible(model_->ShowsFontPanel());
  // Each field changed stores itself, as a player's edit would.
  const InterfaceEditor::Fields f = model_->FieldValues();
  FontEdit->setText(ToQString(f.font));
  SizeEdit->setText(ToQString(f.size));
  WidthEdit->setText(ToQString(f.width));
  HeightEdit->setText(ToQString(f.height));
  ColorEdit->setText(ToQString(f.color));
  FontColorEdit->setText(ToQString(f.font_color));
}

void TInterfaceDesigner::FieldChanged(Field field, const QString& text) {
  if (model_->Store(field, FromQString(text))) PaintSwatch(field);
}

void TInterfaceDesigner::PaintSwatch(Field field) {
  QLabel* swatch = field == Field::Color ? ColorSwatch : FontColorSwatch;
  QPalette p = swatch->palette();
  p.setColor(QPalette::Window, FromBgr(model_->Swatch(field)));
  swatch->setPalette(p);
}

void TInterfaceDesigner::ChooseFont() {
  QFont initial = font();
  if (!FontEdit->text().isEmpty()) initial.setFamily(FontEdit->text());
  if (const auto size = ReadSettingInteger(FromQString(SizeEdit->text()));
      size && *size > 0 && *size <= kMaxFontSize)
    initial.setPointSize(*size);
  const std::optional<QFont> chosen = PickFont ? PickFont(initial) : std::nullopt;
  if (!chosen) return;
  const int size = chosen->pointSize() > 0 ? chosen->pointSize() : QFontInfo(*chosen).pointSize();
  FontEdit->setText(chosen->family());
  SizeEdit->setText(QString::number(size));
  WidthEdit->setText(QString::number(size));
  HeightEdit->setText(QString::number(2 * size));
  // The font's colour is the text colour it was chosen with.
  FontColorEdit->setText(ToQString(ColourDigits(model_->Swatch(Field::FontColor))));
}

void TInterfaceDesigner::ChooseColour(Field which) {
  if (const auto c = PickColour ? PickColour(FromBgr(model_->Swatch(which))) : std::nullopt) {
    model_->SetSwatch(which, ToBgr(*c));
    PaintSwatch(which);
  }
  // Both fields follow the swatches, chosen or not, and both are stored.
  for (Field f : {Field::Color, Field::FontColor}) {
    const std::string digits = ColourDigits(model_->Swatch(f));
    FieldEdit(f)->setText(ToQString(digits));
    model_->Store(f, digits);
  }
}

void TInterfaceDesigner::SaveClicked() {
  if (model_->Save()) {
    accept();
    return;
  }
  // The settings in memory hold the edits already; the dialog stays.
  if (ShowError) ShowError(Ru("Ошибка записи в TARNEL.INI"_cp));
}

bool TInterfaceDesigner::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      (watched == ColorSwatch || watched == FontColorSwatch)) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
      ChooseColour(watched == ColorSwatch ? Field::Color : Field::FontColor);
    return true;
  }
  if (event->type() == QEvent::KeyPress) {
    for (Field f : kFields) {
      if (watched != FieldEdit(f)) continue;
      const QString text = static_cast<QKeyEvent*>(event)->text();
      if (text.size() != 1) return false;
      const char16_t c = text[0].unicode();
      return c >= 0x80 ? f != Field::Font : !InterfaceEditor::Accepts(f, static_cast<char>(c));
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool RunInterfaceDesigner(Client& client, QWidget* parent) {
  TInterfaceDesigner dialog(client, parent);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tarnel
