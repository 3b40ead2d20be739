// The window every toolkit test under Wine works in: a 240x320 pop-up window
// box (the soft-key bar shortens it to the work area's height) holding one
// panel box that fills it and records the events that reach it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/button.h"
#include "gui/window_box.h"
#include "platform/screenshot.h"

namespace toolkit_test {

using namespace VexaAppGUISystem;

// Handles what is waiting, as the program's message loop would: pending
// paints of frames and native controls among it.
inline void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

// A top-level pop-up window box of that size at the screen's origin.
inline bool CreatePopup(WindowBox* w, int width, int height) {
  w->SetSize(0, width, nullptr, 1);
  w->SetSize(1, height, nullptr, 1);
  w->SetStyle(WS_POPUP);
  return w->Create(true, nullptr, nullptr, false);
}

inline HBITMAP MakeBitmap(int w, int h, COLORREF fill, COLORREF inner = CLR_INVALID) {
  HDC screen = GetDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(screen, w, h);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bm);
  RECT r = {0, 0, w, h};
  HBRUSH b = CreateSolidBrush(fill);
  FillRect(dc, &r, b);
  DeleteObject(b);
  if (inner != CLR_INVALID) {  // a centre square of another colour
    RECT c = {w / 4, h / 4, w - w / 4, h - h / 4};
    HBRUSH ib = CreateSolidBrush(inner);
    FillRect(dc, &c, ib);
    DeleteObject(ib);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bm;
}

struct Recorder : Box {
  struct Event {
    Box* source;
    int code;
    std::intptr_t a, b;
  };
  std::vector<Event> events;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override {
    events.push_back({source, code, data ? data[0] : 0, data ? data[1] : 0});
    return code == EventCommand;
  }
  int Count(int code) const {
    int n = 0;
    for (const Event& e : events) n += e.code == code;
    return n;
  }
};

struct Window : WindowBox {
  std::vector<int> codes;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override {
    codes.push_back(code);
    return WindowBox::HandleEvent(source, code, data);
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreatePopup(&win, 240, 320));
    win.AddChild(&panel, &win);
    panel.SetSize(0, 1, &win, 1);
    panel.SetSize(1, 1, &win, 1);
  }
  void TearDown() override {
    while (panel.GetChildCount()) panel.RemoveChild(panel.GetChild(0));
    win.RemoveChild(&panel);
    win.Close(0);
  }
  void Pen(UINT msg, int x, int y) { SendMessageW(win.GetHandle(), msg, 0, MAKELPARAM(x, y)); }
  void Tap(int x, int y) {
    Pen(WM_LBUTTONDOWN, x, y);
    Pen(WM_LBUTTONUP, x, y);
  }
  void Place(Box* b, int x, int y) {
    b->SetPosition(0, x, EdgeLeading, &panel, EdgeLeading);
    b->SetPosition(1, y, EdgeLeading, &panel, EdgeLeading);
  }
  platform::Pixels Capture() {
    Pump();
    platform::Pixels px;
    EXPECT_TRUE(platform::CaptureWindow(win.GetHandle(), true, &px));
    return px;
  }
  Window win;
  Recorder panel;
};

}  // namespace toolkit_test
