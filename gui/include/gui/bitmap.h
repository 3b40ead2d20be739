// Bitmap and shape drawing: the functions every control draws with.
//
// Contract:
// - every function returns false (or null, or the default colour) for a
//   handle that is not a bitmap and for a missing device context, and then
//   draws nothing;
// - sizes and positions are device pixels; colours are COLORREF 0x00BBGGRR;
// - a transparent draw leaves every destination pixel whose source pixel
//   equals the colour key untouched.
#pragma once

#include <windows.h>

namespace VexaAppGUISystem {

bool GetBitmapSize(HBITMAP bitmap, int* width, int* height);
// The colour at (x, y), or `fallback` outside the bitmap or for a bad handle.
COLORREF GetBitmapPixel(HBITMAP bitmap, int x, int y, COLORREF fallback);
// A new bitmap of width * xNum / xDen by height * yNum / yDen, stretched by
// plain copy; the same bitmap when both fractions are 1; null on failure.
HBITMAP ScaleBitmap(HBITMAP bitmap, int xNum, int xDen, int yNum, int yDen);
// As ScaleBitmap, deleting the old bitmap when a new one was made. A failed
// scale keeps and returns the old bitmap, so the caller never loses it.
HBITMAP ScaleBitmapReplace(HBITMAP bitmap, int xNum, int xDen, int yNum, int yDen);
bool DrawBitmap(HBITMAP bitmap, int x, int y, HDC dc);
bool DrawBitmapTransparent(HBITMAP bitmap, int x, int y, HDC dc, COLORREF key);

// A filled rectangle with a frame of `penWidth` pixels (0: no frame).
bool FillFramedRect(HDC dc, int x, int y, int width, int height, COLORREF frame, COLORREF fill, int penWidth);
// A hollow rectangle.
bool FrameRect(HDC dc, int x, int y, int width, int height, COLORREF frame, int penWidth);
bool FillFramedRoundRect(HDC dc, int x, int y, int width, int height, COLORREF frame, COLORREF fill, int penWidth,
                         int cornerWidth, int cornerHeight);
bool FrameRoundRect(HDC dc, int x, int y, int width, int height, COLORREF frame, int penWidth, int cornerWidth,
                    int cornerHeight);
// Replaces the dc's clip region by one rectangle.
bool SetClipRect(HDC dc, int x, int y, int width, int height);

// Transparent drawing that is repeated (buttons, image boxes) goes through a
// mask made once per bitmap and colour key and shared by every holder: two
// plain blits instead of a colour-keyed stretch each time. The bitmap must
// not change while a holder keeps it.
class TransparentBitmap {
 public:
  TransparentBitmap() {}
  ~TransparentBitmap() { Release(); }
  TransparentBitmap(const TransparentBitmap&) = delete;
  TransparentBitmap& operator=(const TransparentBitmap&) = delete;

  // Draws `bitmap` at (x, y) leaving `key` pixels untouched; holds the
  // shared mask of that bitmap and key until Release or another bitmap.
  bool Draw(HDC dc, int x, int y, HBITMAP bitmap, COLORREF key);
  void Release();

  // Masks alive in the process (for tests).
  static int LiveMasks();

  struct Entry;  // one shared mask, private to bitmap.cpp

 private:
  Entry* entry_ = nullptr;
};

}  // namespace VexaAppGUISystem
