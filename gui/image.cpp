#include "gui/image.h"

namespace VexaAppGUISystem {

namespace {
int CeilDiv(int a, int b) { return b > 0 && a > 0 ? (a + b - 1) / b : 0; }
}  // namespace

// ---- Image ---------------------------------------------------------------------------

HBITMAP Image::Replace(HBITMAP bitmap, bool transparent, COLORREF key) {
  HBITMAP previous = bitmap_;
  prepared_.Release();
  bitmap_ = bitmap;
  transparent_ = transparent;
  key_ = key;
  return previous;
}

HBITMAP Image::SetImage(HBITMAP bitmap, bool transparent, COLORREF key) {
  HBITMAP previous = Replace(bitmap, transparent, key);
  int w = 0, h = 0;
  if (!GetBitmapSize(bitmap, &w, &h)) w = h = 0;
  SetSize(0, w, nullptr, 1);
  SetSize(1, h, nullptr, 1);
  if (shown_) InvalidateAll();
  return previous;
}

void Image::DrawAt(HDC dc, int x, int y) { prepared_.Draw(dc, x, y, bitmap_, transparent_, key_); }

void Image::Paint(HDC dc, int originX, int originY, int, int, int, int) {
  if (dc && bitmap_ && visible_) DrawAt(dc, originX, originY);
}

// ---- ScalableImage -------------------------------------------------------------------

HBITMAP ScalableImage::SetImage(HBITMAP bitmap, bool transparent, COLORREF key) {
  HBITMAP previous = Replace(bitmap, transparent, key);
  ComputeTiling();
  if (shown_) InvalidateAll();
  return previous;
}

void ScalableImage::ComputeTiling() {
  if (!GetBitmapSize(bitmap_, &bitmap_width_, &bitmap_height_)) bitmap_width_ = bitmap_height_ = 0;
  columns_ = CeilDiv(size_[0], bitmap_width_);
  rows_ = CeilDiv(size_[1], bitmap_height_);
}

// A tiling computed for the old size would leave the new part bare.
void ScalableImage::OnResized(int) { ComputeTiling(); }

void ScalableImage::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) {
  if (!dc || !bitmap_ || !visible_ || bitmap_width_ <= 0 || bitmap_height_ <= 0) return;
  // Only the tiles that meet the clip.
  int first_column = clipX > originX ? (clipX - originX) / bitmap_width_ : 0;
  int first_row = clipY > originY ? (clipY - originY) / bitmap_height_ : 0;
  for (int row = first_row; row < rows_; ++row) {
    int y = originY + bitmap_height_ * row;
    if (y >= clipY + clipHeight) break;
    for (int column = first_column; column < columns_; ++column) {
      int x = originX + bitmap_width_ * column;
      if (x >= clipX + clipWidth) break;
      DrawAt(dc, x, y);
    }
  }
}

}  // namespace VexaAppGUISystem
