// Reading a window's pixels back from its device context (Windows build only).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> data;  // 0x00RRGGBB, top row first
  std::uint32_t At(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
};

// Copies the window (client area when client_only) into a memory bitmap with BitBlt.
bool CaptureWindow(HWND hwnd, bool client_only, Pixels* out);
bool SaveWindowPng(HWND hwnd, const std::string& path, bool client_only = false);

// A bitmap's pixels (any depth), read as 32-bit colours.
bool CaptureBitmap(HBITMAP bitmap, Pixels* out);

// The device screen as the user sees it: every visible top-level window of
// this process (a frame, its soft-key bar, a dialog) copied to its place,
// the lowest first, on a black screen of width x height pixels at (0, 0).
bool CaptureScreen(int width, int height, Pixels* out);
bool SaveScreenPng(int width, int height, const std::string& path);

// COLORREF (0x00BBGGRR) to the pixel layout above.
inline std::uint32_t PixelOf(COLORREF c) {
  return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (static_cast<std::uint32_t>(GetGValue(c)) << 8) |
         GetBValue(c);
}

}  // namespace platform
