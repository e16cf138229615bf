// The terminal view: paints a TScreen in the 16-colour palette with a
// monospaced font, writes text into it, and keeps the mouse selection.
#pragma once

#include <QFont>
#include <QRawFont>
#include <QWidget>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "terminal/screen.h"

namespace tarnel {

class TEmulVT : public QWidget {
  Q_OBJECT
 public:
  // With no screen given the view owns one of its own.
  explicit TEmulVT(QWidget* parent = nullptr, TScreen* screen = nullptr);
  ~TEmulVT() override;

  TScreen& Screen() { return *screen_; }
  const TScreen& Screen() const { return *screen_; }

  int Rows() const { return screen_->ScreenRows(); }
  void SetRows(int rows);
  int Cols() const { return screen_->Cols(); }
  void SetCols(int cols);
  void SetBackRows(int rows) { screen_->ResizeHistory(rows); }
  int BackRows() const { return screen_->HistoryRows(); }
  void SetBackColor(int colour) { screen_->BackColor = static_cast<std::uint8_t>(colour & 7); }
  void SetOptions(TScreenOptions options) { screen_->Options = options; }
  // true: no input translation.
  void SetXlat(bool xlat);
  bool Xlat() const { return !screen_->TranslateInitial; }
  void SetLog(bool on);
  bool Log() const { return log_ != nullptr; }
  void SetLocalEcho(bool on) { local_echo_ = on; }
  void SetAutoRepaint(bool on) { auto_repaint_ = on; }
  bool AutoRepaint() const { return auto_repaint_; }

  int LineHeight() const { return line_height_; }
  void SetLineHeight(int h);
  int CharWidth() const { return char_width_; }
  void SetCharWidth(int w);
  int Leading() const { return leading_; }
  // The font's maximum character width and height become the cell size.
  void SetTerminalFont(const QFont& font);
  // Keeps the cell size and draws with this font.
  void SetGlyphFont(const QFont& font);

  int FirstShownRow() const { return first_shown_row_; }
  // Without repaint the next FlushDirty repaints only the rows that changed.
  void SetFirstShownRow(int row, bool repaint = true);

  // Writes into the screen (views that own their screen).
  int ShowByte(std::uint8_t b);
  int ShowText(std::string_view text);
  // The screen was written by its owner: the selection follows the rows that
  // scrolled, and the view repaints when AutoRepaint is on.
  void AfterWrite();
  // Repaints what changed since the last paint.
  void FlushDirty();
  void ResetView();
  int RowAtPixel(int y) const;
  int ColumnX(int i) const { return column_x_[static_cast<std::size_t>(i)]; }
  int RowY(int i) const { return row_y_[static_cast<std::size_t>(i)]; }

  // Selection, in the row numbering of FirstShownRow; -1 = none.
  int SelStartRow = -1;
  int SelStartCol = -1;
  int SelEndCol = -1;
  int SelEndRow = -1;
  bool HasSelection() const { return SelStartRow != -1 || SelEndRow != -1; }
  void ClearSelection();

  // Mouse hooks of the main window.
  std::function<void(TEmulVT&, const std::string& word, Qt::KeyboardModifiers)> OnWordClick;
  // A pick while moving with Ctrl, Alt or Shift held; an empty word hides the pop-up.
  std::function<void(TEmulVT&, const std::string& word, bool valid, QPoint pos,
                     Qt::KeyboardModifiers)>
      OnWordHover;
  std::function<void()> OnHidePopup;
  std::function<void(TEmulVT&)> OnRelease;
  std::function<void(std::uint8_t)> OnKeyChar;

  static const std::array<QColor, 16>& Palette();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildGlyphs();
  void MeasureGlyphs();
  int Baseline() const;
  void RebuildColumns();
  void RebuildRows();
  QRect CellRect(int row, int col) const;
  QRect RowsRect(int first_row, int last_row) const;
  int PointerRow(int y) const;
  int PointerCol(int x) const;
  void PaintRow(QPainter& p, int i, const TLine* line);
  // Shadow of what is on the pixels, to repaint only changed rows after a
  // scroll.
  bool ScrollAndDiff();
  void RememberRows();

  std::unique_ptr<TScreen> own_screen_;
  TScreen* screen_;
  QFont font_;
  QRawFont raw_font_;
  std::array<quint32, 256> glyphs_{};
  int glyph_top_ = 11;    // reach of the code page's glyphs above the baseline
  int glyph_bottom_ = 3;  // and below it
  int line_height_ = 15;
  int char_width_ = 8;
  int leading_ = 0;
  std::vector<int> column_x_;
  std::vector<int> row_y_;
  int first_shown_row_ = 0;
  bool auto_repaint_ = true;
  bool local_echo_ = false;
  bool dragging_ = false;
  bool copy_on_release_ = false;
  bool moving_start_ = false;  // which end of the selection follows the pointer
  std::FILE* log_ = nullptr;

  struct ShadowRow {
    std::array<char, kLineCells> chars;
    std::array<CellAttribute, kLineCells> attrs;
  };
  std::vector<ShadowRow> shadow_;
  int shadow_cols_ = -1;
  int shadow_first_row_ = 0;
  bool shadow_valid_ = false;
};

}  // namespace tarnel
