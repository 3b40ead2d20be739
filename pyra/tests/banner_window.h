// A host's banner window for tests and the test host: a plain window whose
// messages go to the ad library once a handle is attached, as a host
// forwards them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/screenshot.h"
#include "pyra/pyra.h"

namespace pyra_test {

// The status texts' background, red 51, green 153, blue 255.
constexpr std::uint32_t kStatusPixel = 0x3399FF;
constexpr std::uint32_t kWhitePixel = 0xFFFFFF;

inline void*& AttachedHandle() {
  static void* handle = nullptr;
  return handle;
}

inline LRESULT CALLBACK BannerProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (void* handle = AttachedHandle()) {
    intptr_t result = 0;
    if (ProcessSystemMessage(handle, hwnd, message, wp, lp, &result)) return result;
    if (message == WM_PAINT) return 0;
  }
  return DefWindowProcW(hwnd, message, wp, lp);
}

inline HWND CreateBannerWindow(int width, int height) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BannerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"Pyra Test Banner";
    registered = RegisterClassW(&wc) != 0;
  }
  HWND hwnd = CreateWindowExW(0, L"Pyra Test Banner", L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  return hwnd;
}

// Pixels of a colour in the capture.
inline int CountPixels(const platform::Pixels& px, std::uint32_t colour) {
  int n = 0;
  for (std::uint32_t p : px.data) n += p == colour;
  return n;
}

// Pixels darker than mid grey (text, picture detail).
inline int DarkPixels(const platform::Pixels& px) {
  int n = 0;
  for (std::uint32_t p : px.data) n += ((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255) < 3 * 96;
  return n;
}

}  // namespace pyra_test
