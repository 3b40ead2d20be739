#include "platform/screenshot.h"

#include "platform/png.h"

namespace platform {

bool CaptureWindow(HWND hwnd, bool client_only, Pixels* out) {
  RECT r;
  if (client_only ? !GetClientRect(hwnd, &r) : !GetWindowRect(hwnd, &r)) return false;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC src = client_only ? GetDC(hwnd) : GetWindowDC(hwnd);
  if (!src) return false;
  HDC mem = CreateCompatibleDC(src);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bmp && bits) {
    HGDIOBJ old = SelectObject(mem, bmp);
    ok = BitBlt(mem, 0, 0, w, h, src, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    if (ok) {
      out->width = w;
      out->height = h;
      const auto* p = static_cast<const std::uint32_t*>(bits);
      out->data.assign(p, p + static_cast<std::size_t>(w) * h);
      for (auto& px : out->data) px &= 0x00FFFFFF;
    }
    SelectObject(mem, old);
  }
  if (bmp) DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(hwnd, src);
  return ok;
}

bool SaveWindowPng(HWND hwnd, const std::string& path, bool client_only) {
  Pixels px;
  if (!CaptureWindow(hwnd, client_only, &px)) return false;
  return WritePng(path, px.width, px.height, px.data.data());
}

}  // namespace platform
