#include "smoke_window.h"

namespace smoke {

namespace {

const wchar_t kClassName[] = L"Vexa Application GUI System Window Class";

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      HWND edit = CreateWindowExW(0, L"EDIT", L"Tidelark", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_LEFT,
                                  kEditRect.left, kEditRect.top, kEditRect.right - kEditRect.left,
                                  kEditRect.bottom - kEditRect.top, hwnd, reinterpret_cast<HMENU>(1),
                                  reinterpret_cast<LPCREATESTRUCTW>(lp)->hInstance, nullptr);
      return edit ? 0 : -1;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT all;
      GetClientRect(hwnd, &all);
      HBRUSH bg = CreateSolidBrush(kBackground);
      FillRect(dc, &all, bg);
      DeleteObject(bg);
      HBRUSH banner = CreateSolidBrush(kBanner);
      FillRect(dc, &kBannerRect, banner);
      DeleteObject(banner);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

HWND CreateSmokeWindow(HINSTANCE instance) {
  WNDCLASSW wc = {};
  if (!GetClassInfoW(instance, kClassName, &wc)) {
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    if (!RegisterClassW(&wc)) return nullptr;
  }
  HWND hwnd = CreateWindowExW(0, kClassName, L"Tidelark", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                              nullptr, nullptr, instance, nullptr);
  if (!hwnd) return nullptr;
  UpdateWindow(hwnd);
  UpdateWindow(EditOf(hwnd));
  return hwnd;
}

HWND EditOf(HWND window) { return GetDlgItem(window, 1); }

}  // namespace smoke
