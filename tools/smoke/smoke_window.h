// A 240x320 window of the toolkit's class with a native EDIT child: the
// smallest program that proves windows, controls and GDI work headless.
#pragma once

#include <windows.h>

namespace smoke {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr COLORREF kBackground = RGB(0x20, 0x60, 0xA0);
constexpr COLORREF kBanner = RGB(0xF0, 0xC0, 0x10);
constexpr RECT kBannerRect = {0, 0, 240, 30};
constexpr RECT kEditRect = {10, 50, 230, 80};

// Registers the class (once) and creates the window and its EDIT child.
HWND CreateSmokeWindow(HINSTANCE instance);
HWND EditOf(HWND window);

}  // namespace smoke
