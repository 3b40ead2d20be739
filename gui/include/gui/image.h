// Image boxes: one bitmap at its own size, or a bitmap tiled over the box.
// The boxes do not own their bitmaps; a bitmap must outlive the box's use of
// it and must not change while set.
#pragma once

#include <windows.h>

#include "gui/bitmap.h"
#include "gui/box.h"

namespace VexaAppGUISystem {

class Image : public Box {
 public:
  Image() {}
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;

  // Shows `bitmap` (drawn leaving `key` pixels untouched when transparent);
  // the box takes the bitmap's size. Returns the previous bitmap.
  HBITMAP SetImage(HBITMAP bitmap, bool transparent, COLORREF key);
  HBITMAP GetImage() const { return bitmap_; }

 protected:
  // Takes the new bitmap and lets the old one's prepared copy go; returns the old one.
  HBITMAP Replace(HBITMAP bitmap, bool transparent, COLORREF key);
  void DrawAt(HDC dc, int x, int y);
  HBITMAP bitmap_ = nullptr;
  bool transparent_ = false;
  COLORREF key_ = 0;
  PreparedBitmap prepared_;
};

// A bitmap repeated in columns and rows over the whole box, which keeps the
// size its owner gives it.
class ScalableImage : public Image {
 public:
  ScalableImage() {}
  void OnResized(int axis) override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;

  // Shows `bitmap` tiled; the tiling follows the box's size. Returns the previous bitmap.
  HBITMAP SetImage(HBITMAP bitmap, bool transparent, COLORREF key);
  int GetColumns() const { return columns_; }
  int GetRows() const { return rows_; }

 protected:
  void ComputeTiling();
  int bitmap_width_ = 0, bitmap_height_ = 0;
  int columns_ = 0, rows_ = 0;
};

}  // namespace VexaAppGUISystem
