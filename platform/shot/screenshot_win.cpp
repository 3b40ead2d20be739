#include "platform/screenshot.h"

#include "platform/png.h"

namespace platform {

namespace {

// A 32-bit DIB header with the top row first.
BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

}  // namespace

bool CaptureWindow(HWND hwnd, bool client_only, Pixels* out) {
  RECT r;
  if (client_only ? !GetClientRect(hwnd, &r) : !GetWindowRect(hwnd, &r)) return false;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC src = client_only ? GetDC(hwnd) : GetWindowDC(hwnd);
  if (!src) return false;
  HDC mem = CreateCompatibleDC(src);
  BITMAPINFO bi = TopDown32(w, h);
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

bool CaptureBitmap(HBITMAP bitmap, Pixels* out) {
  BITMAP bm;
  if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm)) return false;
  int w = bm.bmWidth, h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  if (w <= 0 || h <= 0) return false;
  BITMAPINFO bi = TopDown32(w, h);
  std::vector<std::uint32_t> data(static_cast<std::size_t>(w) * h);
  HDC dc = GetDC(nullptr);
  int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(h), data.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (rows != h) return false;
  for (auto& px : data) px &= 0x00FFFFFF;
  out->width = w;
  out->height = h;
  out->data = std::move(data);
  return true;
}

namespace {

BOOL CALLBACK CollectOwnWindow(HWND hwnd, LPARAM lp) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

}  // namespace

bool CaptureScreen(int width, int height, Pixels* out) {
  if (width <= 0 || height <= 0) return false;
  std::vector<HWND> windows;  // topmost first
  EnumWindows(CollectOwnWindow, reinterpret_cast<LPARAM>(&windows));
  Pixels screen;
  screen.width = width;
  screen.height = height;
  screen.data.assign(static_cast<std::size_t>(width) * height, 0);
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    RECT r;
    Pixels px;
    if (!GetWindowRect(*it, &r) || !CaptureWindow(*it, false, &px)) continue;
    for (int y = 0; y < px.height; ++y) {
      int sy = r.top + y;
      if (sy < 0 || sy >= height) continue;
      for (int x = 0; x < px.width; ++x) {
        int sx = r.left + x;
        if (sx >= 0 && sx < width) screen.data[static_cast<std::size_t>(sy) * width + sx] = px.At(x, y);
      }
    }
  }
  *out = std::move(screen);
  return true;
}

bool SaveScreenPng(int width, int height, const std::string& path) {
  Pixels px;
  if (!CaptureScreen(width, height, &px)) return false;
  return WritePng(path, px.width, px.height, px.data.data());
}

bool SaveWindowPng(HWND hwnd, const std::string& path, bool client_only) {
  Pixels px;
  if (!CaptureWindow(hwnd, client_only, &px)) return false;
  return WritePng(path, px.width, px.height, px.data.data());
}

}  // namespace platform
