#include "gui/bar.h"

namespace VexaAppGUISystem {

void Bar::OnChildAdded(Box*) { Arrange(); }
void Bar::OnChildRemoved(Box*) { Arrange(); }
void Bar::OnContentChanged() { Arrange(); }

void Bar::SetMargins(int left, int right, int top, int bottom) {
  margin_left_ = left, margin_right_ = right, margin_top_ = top, margin_bottom_ = bottom;
}

void Bar::Arrange() {
  if (arranging_) return;
  arranging_ = true;
  const int axis = orientation_;
  const int cross = 1 - axis;
  const int lead_main = axis == 0 ? margin_left_ : margin_top_;
  const int lead_cross = cross == 1 ? margin_top_ : margin_left_;
  const int trail_cross = cross == 1 ? margin_bottom_ : margin_right_;
  const int max_cross = cross == 1 ? max_height_ : max_width_;
  const int min_cross = cross == 1 ? min_height_ : min_width_;

  bool was = SetLayoutEnabled(false, false);
  int cross_size = 0;
  if (centred_) {
    for (int i = 0; i < child_count_; ++i) {
      int s = children_[i].child->SettledSize(cross);
      if (s > cross_size) cross_size = s;
    }
    if (max_cross > 0 && cross_size > max_cross - lead_cross - trail_cross)
      cross_size = max_cross - lead_cross - trail_cross;
    if (cross_size < min_cross - lead_cross - trail_cross) cross_size = min_cross - lead_cross - trail_cross;
  }
  for (int i = 0; i < child_count_; ++i) {
    Box* c = children_[i].child;
    int offset = lead_cross + (centred_ ? (cross_size - c->SettledSize(cross)) / 2 : 0);
    c->SetPosition(cross, offset, EdgeLeading, this, EdgeLeading);
    if (i == 0)
      c->SetPosition(axis, lead_main, EdgeLeading, this, EdgeLeading);
    else
      c->SetPosition(axis, spacing_, EdgeLeading, children_[i - 1].child, EdgeTrailing);
  }
  SetLayoutEnabled(was, false);
  Relayout(false);

  int w = child_count_ ? content_origin_[0] + content_extent_[0] + margin_right_ : margin_left_ + margin_right_;
  if (max_width_ > 0 && w > max_width_) w = max_width_;
  if (w < min_width_) w = min_width_;
  int h = child_count_ ? content_origin_[1] + content_extent_[1] + margin_bottom_ : margin_top_ + margin_bottom_;
  if (max_height_ > 0 && h > max_height_) h = max_height_;
  if (h < min_height_) h = min_height_;
  if (size_ref_[0] || size_num_[0] != w) SetSize(0, w, nullptr, 1);
  if (size_ref_[1] || size_num_[1] != h) SetSize(1, h, nullptr, 1);
  arranging_ = false;
}

}  // namespace VexaAppGUISystem
