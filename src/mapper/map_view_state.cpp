#include "mapper/map_view_state.h"

#include <algorithm>

namespace tarnel {

void MapViewState::CentreColumnsAndRows() {
  column_origin = square_width > 0 ? -(image_width / (2 * square_width)) : 0;
  row_origin = square_height > 0 ? -(image_height / (2 * square_height)) : 0;
}

void MapViewState::Centre() {
  CentreColumnsAndRows();
  level = 0;
}

void MapViewState::MoveRows(int step) { row_origin = std::clamp(row_origin + step, -100, 100); }

void MapViewState::MoveColumns(int step) {
  column_origin = std::clamp(column_origin + step, -100, 100);
}

void MapViewState::ChangeLevel(int step) { level = std::clamp(level + step, -3, 3); }

void MapViewState::SetZoom(int position) {
  static constexpr int kSizes[][2] = {{10, 10}, {13, 14}, {15, 16}, {17, 18},
                                      {19, 20}, {24, 25}, {28, 29}};
  zoom = position;
  if (position >= kMinZoom && position <= kMaxZoom) {
    square_width = kSizes[position - kMinZoom][0];
    square_height = kSizes[position - kMinZoom][1];
  }
  CentreColumnsAndRows();
}

bool MapViewState::ZoomStep(int step) {
  const int to = std::clamp(zoom + step, kMinZoom, kMaxZoom);
  if (to == zoom) return false;
  SetZoom(to);
  return true;
}

void MapViewState::SetImageSize(int width, int height) {
  image_width = std::max(0, width);
  image_height = std::max(0, height);
}

}  // namespace tarnel
