// The decoded canvas at the requested size and depth, as a DIB section.
// Scaling is a plain copy (nearest pixel), so a colour key stays pure. A
// picture whose colours fit the palette of a paletted depth is written as
// exact palette indexes; anything else is converted by GDI.
#include <cstring>
#include <unordered_map>

#include "decode.h"

namespace imgdecmp {

namespace {

struct BitmapHeader {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

RGBQUAD Quad(std::uint32_t rgb) {
  RGBQUAD q;
  q.rgbRed = static_cast<BYTE>(rgb >> 16);
  q.rgbGreen = static_cast<BYTE>(rgb >> 8);
  q.rgbBlue = static_cast<BYTE>(rgb);
  q.rgbReserved = 0;
  return q;
}

Canvas Scale(const Canvas& from, int width, int height) {
  if (width == from.width && height == from.height) return from;
  Canvas to;
  to.width = width;
  to.height = height;
  to.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* src = &from.pixels[static_cast<size_t>(static_cast<long long>(y) * from.height / height) * from.width];
    std::uint32_t* dst = &to.pixels[static_cast<size_t>(y) * width];
    for (int x = 0; x < width; ++x) dst[x] = src[static_cast<long long>(x) * from.width / width];
  }
  return to;
}

// The picture's own colours as the palette when they fit: true, with each
// colour's index. Otherwise a general palette for GDI to map onto.
bool FillPalette(const Canvas& canvas, int depth, RGBQUAD* colours, std::unordered_map<std::uint32_t, BYTE>* index) {
  const size_t size = size_t(1) << depth;
  for (std::uint32_t p : canvas.pixels) {
    if (index->emplace(p, static_cast<BYTE>(index->size())).second && index->size() > size) break;
  }
  if (index->size() <= size) {
    for (size_t i = 0; i < size; ++i) colours[i] = Quad(0);
    for (const auto& c : *index) colours[c.second] = Quad(c.first);
    return true;
  }
  index->clear();
  if (depth == 1) {
    colours[0] = Quad(0x000000);
    colours[1] = Quad(0xFFFFFF);
  } else if (depth == 4) {
    static const std::uint32_t kVga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                           0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                           0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 16; ++i) colours[i] = Quad(kVga[i]);
  } else {  // a colour cube and grey steps
    int n = 0;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) colours[n++] = Quad((r * 51u) << 16 | (g * 51u) << 8 | (b * 51u));
    for (int i = 0; n < 256; ++i) {
      std::uint32_t v = static_cast<std::uint32_t>(8 + i * 6);
      colours[n++] = Quad(v << 16 | v << 8 | v);
    }
  }
  return false;
}

// Packs palette indexes into DIB rows (4-byte aligned, leftmost pixel in the
// high bits).
void WriteIndexes(const Canvas& canvas, int depth, const std::unordered_map<std::uint32_t, BYTE>& index, BYTE* bits) {
  const size_t stride = ((static_cast<size_t>(canvas.width) * depth + 31) / 32) * 4;
  const int per_byte = 8 / depth;
  for (int y = 0; y < canvas.height; ++y) {
    BYTE* row = bits + stride * y;
    std::memset(row, 0, stride);
    const std::uint32_t* src = &canvas.pixels[static_cast<size_t>(y) * canvas.width];
    for (int x = 0; x < canvas.width; ++x) {
      int shift = (per_byte - 1 - x % per_byte) * depth;
      row[x / per_byte] |= static_cast<BYTE>(index.at(src[x]) << shift);
    }
  }
}

}  // namespace

HRESULT MakeDeviceBitmap(const Canvas& decoded, int width, int height, int depth, HBITMAP* out) {
  *out = nullptr;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return E_INVALIDARG;
  Canvas canvas = Scale(decoded, width, height);
  BitmapHeader info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = -height;  // top row first
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(depth);
  info.header.biCompression = BI_RGB;
  std::unordered_map<std::uint32_t, BYTE> index;
  bool exact = false;
  if (depth == 16) {
    info.header.biCompression = BI_BITFIELDS;
    DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.colours, masks, sizeof masks);
  } else if (depth <= 8) {
    info.header.biClrUsed = 1u << depth;
    exact = FillPalette(canvas, depth, info.colours, &index);
  }
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return E_OUTOFMEMORY;
  }
  if (exact) {
    WriteIndexes(canvas, depth, index, static_cast<BYTE*>(bits));
  } else {
    BITMAPINFO source = {};
    source.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    source.bmiHeader.biWidth = width;
    source.bmiHeader.biHeight = -height;
    source.bmiHeader.biPlanes = 1;
    source.bmiHeader.biBitCount = 32;
    source.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(nullptr);
    int rows = SetDIBits(dc, bitmap, 0, static_cast<UINT>(height), canvas.pixels.data(), &source, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (rows != height) {
      DeleteObject(bitmap);
      return E_FAIL;
    }
  }
  GdiFlush();
  *out = bitmap;
  return S_OK;
}

}  // namespace imgdecmp
