// The steps of one decompression, private to imgdecmp.dll.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/imgdecmp.h"

namespace imgdecmp {

// A decoded picture: 0x00RRGGBB pixels, top row first (a 32-bit DIB's layout).
struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// Every byte the caller's data callback gives, the buffered ones first.
HRESULT PullData(const DecompressImageInfo& info, std::vector<BYTE>* out);

// A complete GIF (its first frame on its logical screen) or JPEG picture.
// Transparent GIF pixels take `transparent` when it is not (COLORREF)-1, else
// their palette colour.
HRESULT DecodePicture(const std::vector<BYTE>& data, COLORREF transparent, Canvas* out);

// The canvas stretched (by plain copy) to width x height in a DIB section of
// `depth` bits per pixel.
HRESULT MakeDeviceBitmap(const Canvas& canvas, int width, int height, int depth, HBITMAP* out);

}  // namespace imgdecmp
