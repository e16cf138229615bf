// The map column at the right of the main window: the picture of the
// laid-out map with its controls, and the room editor below it.  It shows
// the client's map model and turns mouse and key events into calls on it.
#pragma once

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QWidget>
#include <functional>
#include <vector>

#include "mapper/map_drawing.h"

namespace tarnel {

class Client;

// An image that tells when the mouse enters, moves over and leaves it.
class TMouseSensitiveImage : public QWidget {
  Q_OBJECT
 public:
  explicit TMouseSensitiveImage(QWidget* parent);
  QImage Picture;

  std::function<void(QPoint)> OnMove;
  std::function<void()> OnLeave;
  std::function<void(QMouseEvent&)> OnClick;
  std::function<void(QSize)> OnResize;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

// Draws the map into an image: squares straight into its pixels; letters
// after the squares, with one painter and fonts made once.
class ImageMapCanvas : public MapCanvas {
 public:
  explicit ImageMapCanvas(QImage& image);
  ~ImageMapCanvas() override;
  void Fill(int left, int top, int right, int bottom, std::uint32_t bgr) override;
  void Letter(int x, int y, int size, bool bold, std::uint32_t bgr, char letter) override;
  // Draws the letters collected so far.
  void Finish();

 private:
  struct Pending {
    int x, y, size;
    bool bold;
    std::uint32_t bgr;
    char letter;
  };
  QImage& image_;
  uchar* bits_;
  qsizetype stride_;
  int width_, height_;
  std::vector<Pending> letters_;
};

class TMapPanel : public QWidget {
  Q_OBJECT
 public:
  TMapPanel(Client& client, QWidget* parent);

  // Components, named as the rest of the client knows them.
  QSplitter* Splitter1 = nullptr;
  QWidget* Panel2 = nullptr;  // the map part
  QLabel* Label36 = nullptr;
  QLabel* Label8 = nullptr;   // the room under the mouse
  TMouseSensitiveImage* Image1 = nullptr;
  QProgressBar* Progressbar1 = nullptr;
  QLabel* Label9 = nullptr;
  QLabel* Label10 = nullptr;  // the shown level
  QSlider* TrackBar1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;  // "REC"
  QCheckBox* CheckBox3 = nullptr;  // the group "map"
  QPushButton* Button4 = nullptr;  // "C": a new map
  QPushButton* Button5 = nullptr;  // "E": the room editor
  QWidget* Panel11 = nullptr;      // the room editor
  QLabel* Label14 = nullptr;       // room id
  // Exit values in the order w, e, n, s, u, d.
  QLineEdit* Edit4 = nullptr;
  QLineEdit* Edit5 = nullptr;
  QLineEdit* Edit6 = nullptr;
  QLineEdit* Edit7 = nullptr;
  QLineEdit* Edit8 = nullptr;
  QLineEdit* Edit9 = nullptr;
  QLineEdit* Edit3 = nullptr;   // flag
  QLineEdit* Edit10 = nullptr;  // name
  QLineEdit* Edit16 = nullptr;  // transitions
  QLineEdit* Edit17 = nullptr;  // width
  QLineEdit* Edit18 = nullptr;  // height
  QLabel* Label32 = nullptr;
  QLabel* Label16 = nullptr;
  QLabel* Label17 = nullptr;
  QLabel* Label18 = nullptr;
  QLabel* Label26 = nullptr;
  QLabel* Label25 = nullptr;
  QLabel* Label24 = nullptr;
  QLabel* Label15 = nullptr;
  QListWidget* ListBox2 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* N5 = nullptr;  // "Сохранить в файл..."
  QAction* N6 = nullptr;  // "Загрузить из файла..."

  // The focus goes back to the command line; a text is added to it.
  std::function<void()> FocusCommandLine;
  std::function<void(const QString&)> AppendToCommandLine;

  void DrawMap();
  void FillRoomPanel();
  void ShowProgress(int position, int maximum);
  void HideProgress();
  // As a profile setting global._zoommap does: the slider moves and its
  // handler runs.
  void SetZoom(int position);
  // One step of the slider within its range (Ctrl with plus or minus).
  void ZoomStep(int step);
  void SetMapHeight(int height);
  // The check boxes show the store: the map group's box from group.map,
  // "REC" from map._autograb.
  void RefreshMapControls();
  void RefreshRecording();
  // A panel of the column below the room editor (the workbench).
  void AddBelow(QWidget* widget, int stretch);
  // "E" (and Esc in the editor): the editor shown or hidden.
  void ToggleEditor();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildEditor();
  void TrackBar1Change(int position);
  void CheckBox1Click(bool on);
  void CheckBox3Click(bool on);
  void ColourRecording(bool on);
  void ImageClick(QMouseEvent& e);
  // Applies one editor field; false when the field is none of them.
  bool ApplyField(QLineEdit* field);
  void AfterEdit();
  void SaveToFile();
  int FocusedExitField() const;

  Client& client_;
  QWidget* below_ = nullptr;
  QLineEdit* exits_[6] = {};  // by direction w, n, e, s, u, d
  bool filling_ = false;
};

}  // namespace tarnel
