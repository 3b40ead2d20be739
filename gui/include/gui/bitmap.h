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

// Drawing that is repeated (buttons, image boxes) goes through a prepared
// copy of the bitmap kept in a dc of its own, made once per bitmap (and
// colour key) and shared by every holder: selecting a bitmap into a dc for
// each draw costs a hundred times the blit. A transparent copy also has a
// mask, so that it draws with two plain blits. The bitmap must not change
// while a holder keeps its copy.
class PreparedBitmap {
 public:
  PreparedBitmap() {}
  ~PreparedBitmap() { Release(); }
  PreparedBitmap(const PreparedBitmap&) = delete;
  PreparedBitmap& operator=(const PreparedBitmap&) = delete;

  // Draws `bitmap` at (x, y), leaving `key` pixels untouched when
  // transparent; holds the copy until Release or another bitmap or key.
  bool Draw(HDC dc, int x, int y, HBITMAP bitmap, bool transparent, COLORREF key);
  void Release();

  // Prepared copies alive in the process (for tests).
  static int Live();

  struct Entry;  // one shared copy, private to bitmap.cpp

 private:
  Entry* entry_ = nullptr;
};

}  // namespace VexaAppGUISystem
