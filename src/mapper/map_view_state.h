// What part of the laid-out map the view shows: the square size of the zoom,
// the grid column and row at the top left, the level, and the room under
// the mouse.  The view draws it; the keys and the slider change it here.
#pragma once

namespace tarnel {

class tmudcell;

struct MapViewState {
  // Slider positions -2..4 and the square sizes they give.
  static constexpr int kMinZoom = -2;
  static constexpr int kMaxZoom = 4;
  int zoom = 1;
  int square_width = 17;
  int square_height = 18;
  // Size of the drawing surface in pixels (the view tells it).
  int image_width = 0;
  int image_height = 0;
  int column_origin = 0;
  int row_origin = 0;
  int level = 0;
  tmudcell* hovered = nullptr;

  // The current room in the middle, level 0.
  void Centre();
  // Columns and rows only, the level stays (after a zoom).
  void CentreColumnsAndRows();
  void MoveRows(int step);
  void MoveColumns(int step);
  void ChangeLevel(int step);
  // Slider position: the zoom table's square size (other positions keep the
  // old size), then the columns and rows centred.
  void SetZoom(int position);
  // One step of the slider within its range; false at an end.
  bool ZoomStep(int step);
  void SetImageSize(int width, int height);
};

}  // namespace tarnel
