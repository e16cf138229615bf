#include "ui/emul_vt.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <algorithm>
#include <cmath>

#include "platform/qt_host.h"
#include "terminal/selection.h"
#include "text/cp1251.h"

namespace tarnel {

namespace {

constexpr int kColumnEdges = 302;
constexpr int kRowEdges = 1501;

bool AnyModifier(Qt::KeyboardModifiers m) {
  return (m & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) != 0;
}

}  // namespace

const std::array<QColor, 16>& TEmulVT::Palette() {
  static const std::array<QColor, 16> kPalette = {
      QColor(0, 0, 0),       QColor(168, 0, 0),     QColor(0, 168, 0),
      QColor(168, 168, 0),   QColor(0, 0, 168),     QColor(168, 0, 168),
      QColor(0, 112, 216),   QColor(200, 200, 200), QColor(128, 128, 128),
      QColor(230, 74, 74),   QColor(74, 240, 74),   QColor(230, 230, 74),
      QColor(74, 74, 230),   QColor(240, 74, 240),  QColor(74, 230, 230),
      QColor(240, 240, 240),
  };
  return kPalette;
}

TEmulVT::TEmulVT(QWidget* parent, TScreen* screen) : QWidget(parent) {
  if (screen == nullptr) {
    own_screen_ = std::make_unique<TScreen>();
    screen_ = own_screen_.get();
  } else {
    screen_ = screen;
  }
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(true);
  resize(250, 100);
  column_x_.resize(kColumnEdges);
  row_y_.resize(kRowEdges);
  QFont font("DejaVu Sans Mono");
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(16);
  SetTerminalFont(font);
  if (own_screen_) {
    // A new terminal greets with its name until the text scrolls away.
    screen_->FeedText("EmulVT\r\n");
    screen_->ResetDirty();
  }
}

TEmulVT::~TEmulVT() { SetLog(false); }

void TEmulVT::SetRows(int rows) {
  if (rows < 1) rows = 1;
  if (rows > kRowEdges - 1) rows = kRowEdges - 1;
  screen_->ResizeRows(rows);
  shadow_valid_ = false;
  update();
}

void TEmulVT::SetCols(int cols) {
  if (cols < 1) cols = 1;
  if (cols > kLineCells) cols = kLineCells;
  screen_->ScreenCols = cols;
  shadow_valid_ = false;
  update();
}

void TEmulVT::SetXlat(bool xlat) {
  screen_->TranslateIn = !xlat;
  screen_->TranslateInitial = !xlat;
}

void TEmulVT::SetLog(bool on) {
  if (on == (log_ != nullptr)) return;
  if (on) {
    log_ = std::fopen("EMULVT.LOG", "ab");
    if (log_ == nullptr) log_ = std::fopen("EMULVT.LOG", "wb");
    if (log_ != nullptr) {
      std::fputs("<Open>", log_);
      std::fflush(log_);
    }
  } else {
    std::fputs("<Close>", log_);
    std::fclose(log_);
    log_ = nullptr;
  }
}

void TEmulVT::SetLineHeight(int h) {
  line_height_ = std::max(1, h);
  RebuildRows();
  shadow_valid_ = false;
  update();
}

void TEmulVT::SetCharWidth(int w) {
  char_width_ = std::max(1, w);
  RebuildColumns();
  shadow_valid_ = false;
  update();
}

void TEmulVT::SetTerminalFont(const QFont& font) {
  SetGlyphFont(font);
  const QFontMetrics fm(font_);
  char_width_ = std::max(1, fm.maxWidth());
  // The cell holds every letter of the code page whole: the marks of "Ё"
  // and "Й" stand above the font's nominal size, in what the font calls its
  // leading, so nothing of the cell's top is cut away.
  line_height_ = std::max({1, fm.height(), glyph_top_ + glyph_bottom_});
  leading_ = 0;
  RebuildColumns();
  RebuildRows();
  shadow_valid_ = false;
  update();
}

void TEmulVT::SetGlyphFont(const QFont& font) {
  font_ = font;
  raw_font_ = QRawFont::fromFont(font_);
  BuildGlyphs();
  MeasureGlyphs();
  shadow_valid_ = false;
  update();
}

void TEmulVT::BuildGlyphs() {
  glyphs_.fill(0);
  if (!raw_font_.isValid()) return;
  for (int b = 0; b < 256; ++b) {
    char32_t cp = text::Cp1251ToUnicode(static_cast<unsigned char>(b));
    if (cp < 0x20 || cp == 0x98) cp = 0x20;
    QChar ch(static_cast<char16_t>(cp));
    quint32 glyph = 0;
    int count = 1;
    if (raw_font_.glyphIndexesForChars(&ch, 1, &glyph, &count) && count == 1) glyphs_[b] = glyph;
  }
}

// How far the glyphs of the code page reach above and below the baseline.
void TEmulVT::MeasureGlyphs() {
  const QFontMetrics fm(font_);
  glyph_top_ = fm.ascent();
  glyph_bottom_ = fm.descent();
  if (!raw_font_.isValid()) return;
  for (int b = 0x21; b < 256; ++b) {
    if (glyphs_[b] == 0) continue;
    const QRectF r = raw_font_.boundingRect(glyphs_[b]);
    glyph_top_ = std::max(glyph_top_, static_cast<int>(std::ceil(-r.top())));
    glyph_bottom_ = std::max(glyph_bottom_, static_cast<int>(std::ceil(r.bottom())));
  }
}

// The baseline within a cell: low enough for the tallest letter.  A cell
// too short for the whole reach (a line height set by hand) cuts what hangs
// below rather than the marks above the capitals.
int TEmulVT::Baseline() const { return std::min(glyph_top_, line_height_); }

void TEmulVT::RebuildColumns() {
  for (int i = 0; i < kColumnEdges; ++i) column_x_[i] = static_cast<int>(std::lround(i * char_width_ * 1.0));
}

void TEmulVT::RebuildRows() {
  for (int i = 0; i < kRowEdges; ++i) row_y_[i] = static_cast<int>(std::lround(i * line_height_ * 1.0));
}

void TEmulVT::SetFirstShownRow(int row, bool repaint) {
  if (row > 0) row = 0;
  first_shown_row_ = row;
  if (repaint) {
    shadow_valid_ = false;
    update();
  }
}

int TEmulVT::ShowByte(std::uint8_t b) {
  if (log_) {
    std::fputc(b, log_);
    std::fflush(log_);
  }
  const int r = screen_->FeedByte(b);
  if (auto_repaint_) FlushDirty();
  return r;
}

int TEmulVT::ShowText(std::string_view text) {
  screen_->ScrollCount = 0;
  if (log_) {
    std::fwrite(text.data(), 1, text.size(), log_);
    std::fflush(log_);
  }
  const int r = screen_->FeedText(text);
  AfterWrite();
  return r;
}

void TEmulVT::AfterWrite() {
  if (HasSelection() && SelStartRow + screen_->ScrollCount >= -BackRows()) {
    SelStartRow += screen_->ScrollCount;
    SelEndRow += screen_->ScrollCount;
  }
  if (auto_repaint_) FlushDirty();
}

QRect TEmulVT::CellRect(int row, int col) const {
  const int i = std::clamp(row - first_shown_row_, 0, kRowEdges - 2);
  const int c = std::clamp(col, 0, kColumnEdges - 2);
  return QRect(QPoint(column_x_[c] + 1, row_y_[i] + leading_ + 1),
               QPoint(column_x_[c + 1], row_y_[i + 1] + leading_));
}

QRect TEmulVT::RowsRect(int first, int last) const {
  first = std::clamp(first, 0, kRowEdges - 2);
  last = std::clamp(last, 0, kRowEdges - 2);
  return QRect(0, row_y_[first] + leading_ + 1, width(), row_y_[last + 1] - row_y_[first]);
}

void TEmulVT::FlushDirty() {
  if (screen_->AllDirty || shadow_first_row_ != first_shown_row_) {
    if (!ScrollAndDiff()) {
      update();
      RememberRows();
    }
  } else if (!screen_->DirtyRect.Empty()) {
    const auto& d = screen_->DirtyRect;
    const int last_col = std::min(d.Right, kColumnEdges - 2);
    update(CellRect(d.Top, d.Left).united(CellRect(d.Bottom, last_col)).adjusted(0, 0, 1, 1));
    // The rows stay as the shadow knows them apart from the dirty ones.
    if (shadow_valid_) {
      for (int r = std::max(d.Top, 0); r <= d.Bottom && r - first_shown_row_ < Rows(); ++r) {
        const int i = r - first_shown_row_;
        if (i < 0 || i >= static_cast<int>(shadow_.size())) continue;
        const TLine* line = screen_->RowLine(r);
        if (line == nullptr) continue;
        std::copy(line->Chars, line->Chars + kLineCells, shadow_[static_cast<std::size_t>(i)].chars.begin());
        std::copy(line->Attrs, line->Attrs + kLineCells, shadow_[static_cast<std::size_t>(i)].attrs.begin());
      }
    }
  }
  update(CellRect(screen_->CursorRow, screen_->CursorCol));
  screen_->ResetDirty();
}

void TEmulVT::RememberRows() {
  const int rows = Rows();
  shadow_.resize(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    const TLine* line = screen_->RowLine(i + first_shown_row_);
    auto& s = shadow_[static_cast<std::size_t>(i)];
    if (line == nullptr) {
      s.chars.fill(' ');
      s.attrs.fill(kDefaultAttribute);
    } else {
      std::copy(line->Chars, line->Chars + kLineCells, s.chars.begin());
      std::copy(line->Attrs, line->Attrs + kLineCells, s.attrs.begin());
    }
  }
  shadow_cols_ = Cols();
  shadow_first_row_ = first_shown_row_;
  shadow_valid_ = !HasSelection();
}

// After a scroll the pixels of the rows that only moved are moved instead of
// painted again; only rows whose content differs are repainted.
bool TEmulVT::ScrollAndDiff() {
  const int rows = Rows();
  if (!shadow_valid_ || HasSelection() || shadow_cols_ != Cols() ||
      static_cast<int>(shadow_.size()) != rows || !isVisible())
    return false;
  // Where the row shown at position i before now is shown.
  const int shift = shadow_first_row_ - first_shown_row_ + screen_->ScrollCount;
  if (shift <= -rows || shift >= rows) return false;
  if (shift != 0) scroll(0, shift * line_height_, RowsRect(0, rows - 1));
  std::vector<ShadowRow> moved(static_cast<std::size_t>(rows));
  std::vector<bool> known(static_cast<std::size_t>(rows), false);
  for (int i = 0; i < rows; ++i) {
    const int j = i + shift;
    if (j >= 0 && j < rows) {
      moved[static_cast<std::size_t>(j)] = shadow_[static_cast<std::size_t>(i)];
      known[static_cast<std::size_t>(j)] = true;
    }
  }
  const int cols = Cols();
  for (int i = 0; i < rows; ++i) {
    const TLine* line = screen_->RowLine(i + first_shown_row_);
    bool same = known[static_cast<std::size_t>(i)] && line != nullptr;
    if (same) {
      const auto& m = moved[static_cast<std::size_t>(i)];
      same = std::equal(line->Chars, line->Chars + cols, m.chars.begin()) &&
             std::equal(line->Attrs, line->Attrs + cols, m.attrs.begin());
    }
    if (!same) update(RowsRect(i, i));
  }
  RememberRows();
  return true;
}

void TEmulVT::ResetView() {
  ClearSelection();
  screen_->BlankScreen();
}

void TEmulVT::ClearSelection() {
  SelStartRow = SelStartCol = SelEndCol = SelEndRow = -1;
}

int TEmulVT::RowAtPixel(int y) const {
  for (int i = Rows() - 1; i >= 1; --i)
    if (y - 1 >= row_y_[static_cast<std::size_t>(std::min(i, kRowEdges - 1))]) return i;
  return 0;
}

void TEmulVT::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const QRect region = event->rect();
  if (region.isEmpty()) return;
  const auto& pal = Palette();
  const QColor margin = pal[(screen_->CurAttr >> 4) & 15];
  const int rows = Rows();
  const int cols = Cols();
  const int first = std::max(0, RowAtPixel(region.top()) - 1);
  if (region.top() <= 1) p.fillRect(QRect(region.left(), 0, region.width(), leading_ + 2), margin);
  if (first == 0 && leading_ > 0)
    p.fillRect(QRect(region.left(), region.top(), region.width(), row_y_[0] + leading_ + 1 - region.top()),
               margin);
  int i = first;
  for (; i < rows && i < kRowEdges - 1; ++i) {
    const int top = row_y_[static_cast<std::size_t>(i)] + 1 + leading_;
    if (top > region.bottom()) break;
    // A row that does not fit in the view is not drawn.
    if (row_y_[static_cast<std::size_t>(i + 1)] + 1 + leading_ > height()) break;
    PaintRow(p, i, screen_->RowLine(i + first_shown_row_));
  }
  const int rows_bottom = row_y_[static_cast<std::size_t>(std::min(i, kRowEdges - 1))] + 1 + leading_;
  if (rows_bottom <= region.bottom())
    p.fillRect(QRect(region.left(), rows_bottom, region.width(), region.bottom() - rows_bottom + 1), margin);
  const int right = column_x_[static_cast<std::size_t>(cols)] + 1;
  if (right <= region.right())
    p.fillRect(QRect(right, region.top(), region.right() - right + 1, region.height()), margin);
}

void TEmulVT::PaintRow(QPainter& p, int i, const TLine* line) {
  static TLine blank;
  if (line == nullptr) line = &blank;
  const int cols = Cols();
  const int r = i + first_shown_row_;
  CellAttribute attrs[kLineCells];
  std::copy(line->Attrs, line->Attrs + kLineCells, attrs);
  if (HasSelection() && r >= SelStartRow && r <= SelEndRow) {
    int from = 0, to = cols;
    if (SelStartRow == SelEndRow) {
      from = SelStartCol;
      to = SelEndCol;
    } else if (r == SelStartRow) {
      from = SelStartCol;
    } else if (r == SelEndRow) {
      to = SelEndCol;
    }
    from = std::max(from, 0);
    to = std::min(to, kLastColumn);
    for (int c = from; c <= to; ++c) attrs[c] = static_cast<CellAttribute>(~attrs[c]);
  }
  const auto& pal = Palette();
  const int y0 = row_y_[static_cast<std::size_t>(i)] + 1 + leading_;
  const int y1 = row_y_[static_cast<std::size_t>(i + 1)] + 1 + leading_;
  const qreal baseline = row_y_[static_cast<std::size_t>(i)] + 1 + leading_ + Baseline();
  p.save();
  p.setClipRect(QRect(0, y0, width(), y1 - y0));
  QVector<quint32> glyphs;
  QVector<QPointF> positions;
  glyphs.reserve(cols);
  positions.reserve(cols);
  int c = 0;
  while (c < cols) {
    const CellAttribute a = attrs[c];
    int e = c + 1;
    while (e < cols && attrs[e] == a) ++e;
    const int x0 = c == 0 ? column_x_[0] : column_x_[static_cast<std::size_t>(c)] + 1;
    const int x1 = column_x_[static_cast<std::size_t>(e)] + 1;
    p.fillRect(QRect(x0, y0, x1 - x0, y1 - y0), pal[(a >> 4) & 15]);
    glyphs.clear();
    positions.clear();
    for (int k = c; k < e; ++k) {
      const auto b = static_cast<unsigned char>(line->Chars[k]);
      if (b == ' ' || glyphs_[b] == 0) continue;
      glyphs.push_back(glyphs_[b]);
      positions.push_back(QPointF(column_x_[static_cast<std::size_t>(k)] + 1, baseline));
    }
    if (!glyphs.isEmpty() && raw_font_.isValid()) {
      QGlyphRun run;
      run.setRawFont(raw_font_);
      run.setGlyphIndexes(glyphs);
      run.setPositions(positions);
      p.setPen(pal[a & 15]);
      p.drawGlyphRun(QPointF(0, 0), run);
    }
    c = e;
  }
  p.restore();
}

int TEmulVT::PointerRow(int y) const { return (y - 1) / line_height_ + first_shown_row_; }

int TEmulVT::PointerCol(int x) const { return (x - 1) / char_width_; }

void TEmulVT::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const Qt::KeyboardModifiers mods = event->modifiers();
  dragging_ = true;
  moving_start_ = false;
  // A plain click leaves the clipboard alone; a drag or a word pick copies.
  copy_on_release_ = AnyModifier(mods);
  const int row = PointerRow(pos.y());
  const int col = PointerCol(pos.x());
  SelStartRow = SelEndRow = row;
  SelStartCol = col;
  shadow_valid_ = false;
  if (!AnyModifier(mods)) {
    SelEndCol = col;
    update();
    return;
  }
  const WordPickResult pick = PickWord(*screen_, row, col, Cols(), (mods & Qt::AltModifier) != 0);
  if (pick.found) {
    SelStartCol = pick.left;
    SelEndCol = pick.right;
  }
  if (pick.valid && OnWordClick) OnWordClick(*this, pick.word, mods);
  update();
}

void TEmulVT::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const Qt::KeyboardModifiers mods = event->modifiers();
  const int row = PointerRow(pos.y());
  const int col = PointerCol(pos.x());
  if (AnyModifier(mods)) {
    const int old_start_row = SelStartRow, old_end_row = SelEndRow;
    const int old_start_col = SelStartCol, old_end_col = SelEndCol;
    SelStartRow = SelEndRow = row;
    SelStartCol = col;
    const WordPickResult pick = PickWord(*screen_, row, col, Cols(), (mods & Qt::AltModifier) != 0);
    if (pick.found) {
      SelStartCol = pick.left;
      SelEndCol = pick.right;
    }
    const bool changed = row != old_start_row || row != old_end_row || col != old_start_col ||
                         (pick.found && (pick.left != col || pick.right != old_end_col));
    shadow_valid_ = false;
    if (!changed) {
      if (OnHidePopup) OnHidePopup();
      return;
    }
    if (pick.valid && OnWordHover) OnWordHover(*this, pick.word, true, pos, mods);
    update();
    return;
  }
  if (dragging_) {
    int& moving_row = moving_start_ ? SelStartRow : SelEndRow;
    int& moving_col = moving_start_ ? SelStartCol : SelEndCol;
    if (row != moving_row || col != moving_col) copy_on_release_ = true;
    moving_row = row;
    moving_col = col;
    // When the moving end passes the fixed one the ends change places, so
    // the start is never after the end.
    if (SelEndRow < SelStartRow || (SelEndRow == SelStartRow && SelEndCol < SelStartCol)) {
      std::swap(SelStartRow, SelEndRow);
      std::swap(SelStartCol, SelEndCol);
      moving_start_ = !moving_start_;
    }
    if (OnHidePopup) OnHidePopup();
    shadow_valid_ = false;
    update();
    return;
  }
  if (HasSelection() || SelStartCol != -1 || SelEndCol != -1) {
    ClearSelection();
    shadow_valid_ = false;
    update();
  }
}

void TEmulVT::mouseReleaseEvent(QMouseEvent*) {
  if (dragging_) {
    dragging_ = false;
    if (HasSelection() && !copy_on_release_) {
      ClearSelection();
      update();
    } else if (HasSelection()) {
      const std::string text =
          SelectionText(*screen_, SelStartRow, SelStartCol, SelEndRow, SelEndCol, Cols());
      ClearSelection();
      update();
      QGuiApplication::clipboard()->setText(ToQString(text));
    }
  }
  if (OnRelease) OnRelease(*this);
}

void TEmulVT::focusInEvent(QFocusEvent* event) {
  screen_->HasFocus = true;
  QWidget::focusInEvent(event);
}

void TEmulVT::focusOutEvent(QFocusEvent* event) {
  screen_->HasFocus = false;
  QWidget::focusOutEvent(event);
}

void TEmulVT::keyPressEvent(QKeyEvent* event) {
  const std::string typed = FromQString(event->text());
  if (typed.size() != 1) {
    QWidget::keyPressEvent(event);
    return;
  }
  auto ch = static_cast<std::uint8_t>(typed[0]);
  if (!screen_->TranslateIn) ch = (*screen_->OutputTable)[ch];
  if (OnKeyChar) OnKeyChar(ch);
  if (local_echo_) {
    ShowByte(ch);
    if (!auto_repaint_) FlushDirty();
  }
}

}  // namespace tarnel
