// Bar: children in a row (left to right) or a column (top to bottom), with
// margins, spacing, size limits and optional centring across the axis.
#pragma once

#include "gui/box.h"

namespace VexaAppGUISystem {

class Bar : public Box {
 public:
  Bar() {}
  void OnChildAdded(Box* child) override;
  void OnChildRemoved(Box* child) override;
  void OnContentChanged() override;

  void SetOrientation(int orientation) { orientation_ = orientation ? 1 : 0; }
  int GetOrientation() const { return orientation_; }
  void SetMargins(int left, int right, int top, int bottom);
  void SetSpacing(int spacing) { spacing_ = spacing; }
  int GetSpacing() const { return spacing_; }
  void SetMinimumSize(int width, int height) { min_width_ = width, min_height_ = height; }
  void SetMaximumSize(int width, int height) { max_width_ = width, max_height_ = height; }
  void SetCentred(bool centred) { centred_ = centred; }
  // Places the children again and sizes the bar around them.
  void Arrange();

 protected:
  int orientation_ = 0;
  int margin_left_ = 0, margin_right_ = 0, margin_top_ = 0, margin_bottom_ = 0;
  int spacing_ = 0;
  int min_width_ = 0, min_height_ = 0, max_width_ = 0, max_height_ = 0;
  bool centred_ = false;
  bool arranging_ = false;
};

}  // namespace VexaAppGUISystem
