#include "app/splash.h"

#include "gui/bitmap.h"
#include "platform/aygshell.h"
#include "platform/device.h"

namespace {
constexpr COLORREF kSurround = RGB(0x1F, 0x3A, 0x5F);  // around a picture smaller than the screen
constexpr DWORD kPenLiftWaitMs = 1000;
}  // namespace

FullScreenAdWindow::~FullScreenAdWindow() {
  if (picture_.GetParent()) RemoveChild(&picture_);
  if (bitmap_) DeleteObject(bitmap_);
}

int FullScreenAdWindow::PictureFor(int width, int height) {
  if (height > width) return 175;
  return height == width ? 176 : 177;
}

void FullScreenAdWindow::ShowPicture() {
  platform::device::ScreenMetrics screen = platform::device::Screen();
  screen_width_ = screen.width;
  screen_height_ = screen.height;
  shown_id_ = PictureFor(screen.width, screen.height);
  HBITMAP old = picture_.SetImage(load_ ? load_(shown_id_) : nullptr, false, 0);
  if (old) DeleteObject(old);
  bitmap_ = picture_.GetImage();
  int w = 0, h = 0;
  VexaAppGUISystem::GetBitmapSize(bitmap_, &w, &h);
  SetSize(0, screen.width, nullptr, 1);
  SetSize(1, screen.height, nullptr, 1);
  if (picture_.GetParent() != this) AddChild(&picture_, this);
  picture_.SetPosition(0, (screen.width - w) / 2, VexaAppGUISystem::EdgeLeading, this, VexaAppGUISystem::EdgeLeading);
  picture_.SetPosition(1, (screen.height - h) / 2, VexaAppGUISystem::EdgeLeading, this, VexaAppGUISystem::EdgeLeading);
  if (hwnd_) {
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, screen.width, screen.height, SWP_NOACTIVATE);
    InvalidateAll();
  }
}

bool FullScreenAdWindow::Run() {
  SetBackground(kSurround);
  SetStyle(WS_POPUP);
  SetPosition(0, 0, VexaAppGUISystem::EdgeLeading, nullptr, VexaAppGUISystem::EdgeLeading);
  SetPosition(1, 0, VexaAppGUISystem::EdgeLeading, nullptr, VexaAppGUISystem::EdgeLeading);
  ShowPicture();
  if (!Create(true, nullptr, nullptr, false)) return false;
  HWND window = hwnd_;
  SHFullScreen(window, SHFS_HIDESIPBUTTON | SHFS_HIDETASKBAR);
  ShowPicture();  // the soft-key bar shortened the window: the whole screen again
  SetForegroundWindow(window);
  UpdateWindow(window);
  SetTimer(window, kTimer, kPeriodMs, nullptr);
  RunModal(0);
  return true;
}

void FullScreenAdWindow::Finish() {
  if (!hwnd_) return;
  KillTimer(hwnd_, kTimer);
  SetVisible(false);
  picture_.SetVisible(false);
  while (GetChildCount() > 0) RemoveChild(GetChild(0));
  SHFullScreen(hwnd_, SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON);
  Close(0);
}

bool FullScreenAdWindow::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         LRESULT* result) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE)
        SHFullScreen(window, SHFS_HIDESIPBUTTON | SHFS_HIDETASKBAR);
      return false;
    case WM_SETTINGCHANGE: {
      // A turned screen changes both sides: the picture for the new shape.
      platform::device::ScreenMetrics screen = platform::device::Screen();
      if (screen.width != screen_width_ && screen.height != screen_height_) ShowPicture();
      return false;
    }
    case WM_LBUTTONDOWN: {
      // The tap ends here: its lift must not reach the window below.
      const DWORD until = GetTickCount() + kPenLiftWaitMs;
      MSG msg;
      for (;;) {
        if (PeekMessageW(&msg, window, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE)) break;
        DWORD now = GetTickCount();
        if (static_cast<int>(until - now) <= 0) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_MOUSEBUTTON | QS_POSTMESSAGE);
      }
      Finish();
      *result = 0;
      return true;
    }
    case WM_KEYDOWN:
    case WM_TIMER:
      Finish();
      *result = 0;
      return true;
  }
  return false;
}
