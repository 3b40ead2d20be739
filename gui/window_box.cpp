// WindowBox: window class, creation, the window procedure, back-buffered
// repaints and native scroll bars.
#include "gui/window_box.h"

#include <windowsx.h>

#include <cwchar>

#include "wide_text.h"

namespace VexaAppGUISystem {

const wchar_t kWindowClassName[] = L"Vexa Application GUI System Window Class";

namespace {

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int CeilDiv(int a, int b) { return -FloorDiv(-a, b); }

}  // namespace

WindowBox::WindowBox() {}

WindowBox::~WindowBox() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    // A wrapped control must keep working without us.
    if (native_proc_) SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(native_proc_));
  }
  delete[] title_;
  delete[] class_name_;
  DropBackBuffer();
}

void WindowBox::SetClassName(const wchar_t* name) {
  delete[] class_name_;
  class_name_ = CopyText(name);
}

void WindowBox::SetScrollUnit(int axis, int pixels) {
  if (axis >= 0 && axis <= 1 && pixels > 0) scroll_unit_[axis] = pixels;
}

void WindowBox::SetKeepScrollBar(int axis, bool keep) {
  if (axis >= 0 && axis <= 1) keep_scroll_bar_[axis] = keep;
}

void WindowBox::DropBackBuffer() {
  if (back_dc_) {
    if (back_old_bitmap_) SelectObject(back_dc_, back_old_bitmap_);
    DeleteDC(back_dc_);
  }
  if (back_bitmap_) DeleteObject(back_bitmap_);
  back_dc_ = nullptr;
  back_bitmap_ = nullptr;
  back_old_bitmap_ = nullptr;
  back_width_ = back_height_ = 0;
}

void WindowBox::NativePosition(int* x, int* y) {
  bool inside = false;
  if (owner_) {
    for (Box* b = parent_; b; b = b->GetParent())
      if (b == owner_) inside = true;
  }
  if (inside) {
    *x = GetOffsetIn(owner_, 0);
    *y = GetOffsetIn(owner_, 1);
  } else {
    *x = pos_offset_[0];
    *y = pos_offset_[1];
  }
  if (modal_ && owner_ && owner_->hwnd_) {
    RECT r;
    GetWindowRect(owner_->hwnd_, &r);
    *x += r.left;
    *y += r.top;
  }
}

bool WindowBox::Create(bool show, WindowBox* owner, const wchar_t* nativeClass, bool modal) {
  if (hwnd_) return false;
  owner_ = owner;
  for (int axis = 0; axis < 2; ++axis) {  // a new window has bars of its own
    native_scroll_info_[axis] = SCROLLINFO();
    native_scroll_pos_[axis] = 0;
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const wchar_t* cls = nativeClass ? nativeClass : (class_name_ ? class_name_ : kWindowClassName);
  if (!nativeClass) {
    WNDCLASSW wc = {};
    wc.style = 0;
    wc.lpfnWndProc = WindowProc;
    wc.cbWndExtra = sizeof(LONG_PTR);  // a pointer's room, on x64 too
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = cls;
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  const wchar_t* title = title_ ? title_ : cls;
  DWORD style = style_ | WS_CLIPCHILDREN;
  if (show) style |= WS_VISIBLE;
  HWND parent = nullptr;
  if (owner && owner->hwnd_) {
    style = (style & ~0xC0000000u) | (modal ? WS_POPUP : WS_CHILD);
    parent = owner->hwnd_;
  }
  bool modal_wanted = modal && owner && owner->hwnd_ && IsWindowEnabled(owner->hwnd_);
  modal_ = modal_wanted;  // the position below counts the owner's screen position
  int x, y;
  NativePosition(&x, &y);
  modal_ = false;
  int w = size_[0] < 0 ? 0 : size_[0], h = size_[1] < 0 ? 0 : size_[1];
  echoing_ = true;
  HWND hwnd = CreateWindowExW(0, cls, title, style, x, y, w, h, parent, nullptr, instance, this);
  echoing_ = false;
  if (!hwnd) return false;
  if (nativeClass) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    native_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowBox::WindowProc)));
  }
  style_ = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  if (modal_wanted) {
    modal_ = true;
    SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>((style_ & ~0xC0000000u) | WS_POPUP));
    style_ = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    EnableWindow(owner->hwnd_, FALSE);
    SetWindowPos(hwnd, owner->hwnd_, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  if (!owner) CreateMenuBar(-1, nullptr);
  OnScrollRangeChanged(0);
  OnScrollRangeChanged(1);
  return true;
}

void WindowBox::Close(int result) {
  modal_result_ = result;
  if (modal_ && owner_ && owner_->hwnd_) EnableWindow(owner_->hwnd_, TRUE);
  modal_ = false;
  HWND hwnd = hwnd_;
  if (!hwnd) return;
  if (native_proc_) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(native_proc_));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    native_proc_ = nullptr;
  }
  DestroyWindow(hwnd);
  hwnd_ = nullptr;
  menubar_ = nullptr;
  DropBackBuffer();
}

int WindowBox::RunModal(int initialResult) {
  modal_result_ = initialResult;
  MSG msg;
  while (hwnd_) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The application is quitting: leave the quit for the outer loop too.
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return modal_result_;
}

void WindowBox::SetTitle(const wchar_t* text) {
  delete[] title_;
  title_ = CopyText(text);
  if (hwnd_) SetWindowTextW(hwnd_, title_ ? title_ : L"");
}

const wchar_t* WindowBox::GetTitle() {
  if (hwnd_) {
    int n = GetWindowTextLengthW(hwnd_);
    wchar_t* text = new wchar_t[n + 1];
    GetWindowTextW(hwnd_, text, n + 1);
    text[n] = 0;
    delete[] title_;
    title_ = text;
  }
  return title_;
}

void WindowBox::SetStyle(DWORD bits) {
  style_ = (style_ & 0x42000000u) | (bits & ~0x42000000u);
  if (hwnd_) {
    SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(style_));
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  }
}

bool WindowBox::CreateMenuBar(int menuId, HINSTANCE instance) {
  if (menubar_) {
    DestroyWindow(menubar_);
    menubar_ = nullptr;
  }
  if (!hwnd_) return false;
  menubar_info_ = SHMENUBARINFO();
  menubar_info_.cbSize = sizeof(SHMENUBARINFO);
  menubar_info_.hwndParent = hwnd_;
  menubar_info_.dwFlags = menuId == -1 ? SHCMBF_EMPTYBAR : 0;
  menubar_info_.nToolBarId = static_cast<UINT>(menuId);
  menubar_info_.hInstRes = instance ? instance : GetModuleHandleW(nullptr);
  if (!SHCreateMenuBar(&menubar_info_)) return false;
  menubar_ = menubar_info_.hwndMB;
  return true;
}

void WindowBox::OnMoved(int axis) {
  if (!hwnd_) return;
  int x, y;
  NativePosition(&x, &y);
  bool was = SetLayoutEnabled(false, false);
  ResizeNative(x, y, 0, 0, SWP_NOSIZE);
  SetLayoutEnabled(was, false);
}

void WindowBox::OnResized(int axis) {
  if (!hwnd_) return;
  int w = size_[0] < 0 ? 0 : size_[0], h = size_[1] < 0 ? 0 : size_[1];
  ResizeNative(0, 0, w, h, SWP_NOMOVE);
}

void WindowBox::ResizeNative(int x, int y, int width, int height, UINT flags) {
  // The size echo of our own move must not become the box's size rule.
  bool was = echoing_;
  echoing_ = true;
  SetWindowPos(hwnd_, nullptr, x, y, width, height, flags | SWP_NOZORDER | SWP_NOACTIVATE);
  echoing_ = was;
}

HDC WindowBox::AcquireDC() { return hwnd_ ? GetDC(hwnd_) : nullptr; }

bool WindowBox::ReleaseDC(HDC dc) { return hwnd_ && dc && ::ReleaseDC(hwnd_, dc) != 0; }

void WindowBox::PaintBackground(HDC dc, int originX, int originY, int clipX, int clipY, int width, int height) {
  if (!dc || width < 0 || height < 0) return;
  RECT r;
  r.left = clipX > originX ? clipX : originX;
  r.top = clipY > originY ? clipY : originY;
  int bw = size_[0] < 0 ? 0 : size_[0], bh = size_[1] < 0 ? 0 : size_[1];
  r.right = clipX + width < originX + bw ? clipX + width : originX + bw;
  r.bottom = clipY + height < originY + bh ? clipY + height : originY + bh;
  if (r.right <= r.left || r.bottom <= r.top) return;
  HBRUSH brush = CreateSolidBrush(background_);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void WindowBox::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) {
  if (dc) {
    // Inside another window's paint: a window of our own paints itself.
    if (!hwnd_) Box::Paint(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
    return;
  }
  if (!hwnd_) return;
  if (native_proc_ && !suspend_native_proc_) {
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
    return;
  }
  PaintThroughBackBuffer(clipX, clipY, clipWidth, clipHeight);
}

void WindowBox::PaintThroughBackBuffer(int x, int y, int width, int height) {
  HDC wdc = GetDC(hwnd_);
  if (!wdc) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  int w = size_[0] > client.right ? size_[0] : static_cast<int>(client.right);
  int h = size_[1] > client.bottom ? size_[1] : static_cast<int>(client.bottom);
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  if (!back_dc_ || w > back_width_ || h > back_height_) {
    DropBackBuffer();
    back_dc_ = CreateCompatibleDC(wdc);
    back_bitmap_ = back_dc_ ? CreateCompatibleBitmap(wdc, w, h) : nullptr;
    if (!back_bitmap_) {
      DropBackBuffer();  // paint straight onto the window
    } else {
      back_old_bitmap_ = SelectObject(back_dc_, back_bitmap_);
      back_width_ = w;
      back_height_ = h;
    }
  }
  HDC target = back_dc_ ? back_dc_ : wdc;
  HRGN rgn = CreateRectRgn(x, y, x + width + 1, y + height + 1);
  SelectClipRgn(target, rgn);
  if (target != wdc) SelectClipRgn(wdc, rgn);
  PaintBackground(target, 0, 0, x, y, width, height);
  Box::Paint(target, 0, 0, x, y, width, height);
  if (target != wdc) BitBlt(wdc, x, y, width, height, back_dc_, x, y, SRCCOPY);
  SelectClipRgn(target, nullptr);
  if (target != wdc) SelectClipRgn(wdc, nullptr);
  DeleteObject(rgn);
  ::ReleaseDC(hwnd_, wdc);
  RECT r = {x, y, x + width, y + height};
  RECT valid;
  if (IntersectRect(&valid, &r, &client)) ValidateRect(hwnd_, &valid);
}

void WindowBox::OnScrollRangeChanged(int axis) {
  if (!hwnd_ || axis < 0 || axis > 1) return;
  int unit = scroll_unit_[axis];
  SCROLLINFO si = {};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  if (keep_scroll_bar_[axis]) si.fMask |= SIF_DISABLENOSCROLL;
  if (scrollable_[axis] && scroll_max_[axis] - scroll_min_[axis] > scroll_page_[axis]) {
    // Whole units: the range grows outwards, page and position round down;
    // the bar's maximum is its last unit, not one past it.
    si.nMin = FloorDiv(scroll_min_[axis], unit);
    si.nMax = CeilDiv(scroll_max_[axis], unit) - 1;
    si.nPage = static_cast<UINT>(scroll_page_[axis] / unit);
    si.nPos = FloorDiv(scroll_pos_[axis], unit);
  }
  SetNativeScrollBar(axis, si);
  int native = scroll_pos_[axis];
  int delta = native_scroll_pos_[axis] - native;
  native_scroll_pos_[axis] = native;
  if (delta) {
    for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      RECT r;
      GetWindowRect(c, &r);
      POINT p = {r.left, r.top};
      ScreenToClient(hwnd_, &p);
      SetWindowPos(c, nullptr, p.x + (axis == 0 ? delta : 0), p.y + (axis == 1 ? delta : 0), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      UpdateWindow(c);  // repaints are synchronous here, the native children's too
    }
  }
}

// Drawing a scroll bar costs milliseconds under Wine: the values change at
// once, the bar is drawn with the next paint of the frame, and only when
// something about it changed.
void WindowBox::SetNativeScrollBar(int axis, const SCROLLINFO& info) {
  SCROLLINFO& last = native_scroll_info_[axis];
  if (last.cbSize && last.fMask == info.fMask && last.nMin == info.nMin && last.nMax == info.nMax &&
      last.nPage == info.nPage && last.nPos == info.nPos)
    return;
  last = info;
  SCROLLINFO copy = info;
  SetScrollInfo(hwnd_, axis == 0 ? SB_HORZ : SB_VERT, &copy, FALSE);
  RECT client, window;
  GetClientRect(hwnd_, &client);
  GetWindowRect(hwnd_, &window);
  // The frame around the client area, in client coordinates: nothing of the content.
  POINT origin = {window.left, window.top};
  ScreenToClient(hwnd_, &origin);
  RECT frame = {origin.x, origin.y, origin.x + (window.right - window.left), origin.y + (window.bottom - window.top)};
  RECT strip = axis == 0 ? RECT{frame.left, client.bottom, frame.right, frame.bottom}
                         : RECT{client.right, frame.top, frame.right, frame.bottom};
  RedrawWindow(hwnd_, &strip, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE | RDW_NOCHILDREN);
}

bool WindowBox::OnWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; }


// ---- The window procedure --------------------------------------------------------------

LRESULT CALLBACK WindowBox::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  WindowBox* box = reinterpret_cast<WindowBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_CREATE && !box) {
    box = static_cast<WindowBox*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (box) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
      box->hwnd_ = hwnd;
    }
  }
  if (!box) return DefWindowProcW(hwnd, msg, wp, lp);
  return box->HandleMessage(hwnd, msg, wp, lp);
}

LRESULT WindowBox::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (OnWindowMessage(hwnd, msg, wp, lp, &result)) return result;
  // A wrapped native control keeps its own painting, input and scrolling.
  const bool own = !native_proc_ || suspend_native_proc_;
  switch (msg) {
    case WM_DESTROY:
      return OnDestroy(hwnd, wp, lp);
    case WM_ACTIVATE:
      return OnActivate(hwnd, wp, lp);
    case WM_SETFOCUS:
      return OnSetFocusMessage(hwnd, wp, lp);
    case WM_WINDOWPOSCHANGED:
      return OnWindowPosChanged(hwnd, wp, lp);
    case WM_PAINT:
      return own ? OnPaint(hwnd) : OnNativePaint(hwnd, wp, lp);
    case WM_ERASEBKGND:
      return own ? OnEraseBackground(hwnd, wp) : Default(hwnd, msg, wp, lp);
    case WM_CLOSE:
      return own ? OnClose() : Default(hwnd, msg, wp, lp);
    case WM_SYSCOMMAND:
      return own ? OnSysCommand(hwnd, wp, lp) : Default(hwnd, msg, wp, lp);
    case WM_HSCROLL:
    case WM_VSCROLL:
      return own ? OnScroll(msg == WM_HSCROLL ? 0 : 1, wp) : Default(hwnd, msg, wp, lp);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEMOVE:
      return own ? OnPen(msg, lp) : Default(hwnd, msg, wp, lp);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
      return own ? OnKey(hwnd, msg, wp, lp) : Default(hwnd, msg, wp, lp);
  }
  return Default(hwnd, msg, wp, lp);
}

LRESULT WindowBox::Default(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return native_proc_ ? CallWindowProcW(native_proc_, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT WindowBox::OnDestroy(HWND hwnd, WPARAM wp, LPARAM lp) {
  GetTitle();
  if (modal_ && owner_ && owner_->hwnd_) EnableWindow(owner_->hwnd_, TRUE);
  modal_ = false;
  WNDPROC old = native_proc_;
  hwnd_ = nullptr;
  menubar_ = nullptr;
  DropBackBuffer();
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (!old) return DefWindowProcW(hwnd, WM_DESTROY, wp, lp);
  native_proc_ = nullptr;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
  return CallWindowProcW(old, hwnd, WM_DESTROY, wp, lp);
}

LRESULT WindowBox::OnActivate(HWND hwnd, WPARAM wp, LPARAM lp) {
  if (LOWORD(wp) != WA_INACTIVE) {
    if (modal_ && owner_ && owner_->hwnd_)
      SetWindowPos(hwnd, owner_->hwnd_, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The focused box hears focus-out and focus-in again, as after a switch.
    if (Box* focused = GetFocused(false)) {
      SetFocus(nullptr);
      SetFocus(focused);
      return 0;
    }
  }
  return Default(hwnd, WM_ACTIVATE, wp, lp);
}

LRESULT WindowBox::OnSetFocusMessage(HWND hwnd, WPARAM wp, LPARAM lp) {
  if (focus_mode_ == FocusItem || !GetFocused(false)) SetFocus(this);
  return Default(hwnd, WM_SETFOCUS, wp, lp);
}

LRESULT WindowBox::OnWindowPosChanged(HWND hwnd, WPARAM wp, LPARAM lp) {
  const WINDOWPOS* p = reinterpret_cast<const WINDOWPOS*>(lp);
  // A size given from outside (the shell, a user) becomes the box's size.
  if (!echoing_ && !(p->flags & SWP_NOSIZE)) {
    if (p->cx != size_[0]) SetSize(0, p->cx, nullptr, 1);
    if (p->cy != size_[1] && hwnd_) SetSize(1, p->cy, nullptr, 1);
  }
  return Default(hwnd, WM_WINDOWPOSCHANGED, wp, lp);
}

LRESULT WindowBox::OnPaint(HWND hwnd) {
  if (!shown_) return Default(hwnd, WM_PAINT, 0, 0);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  // Only what needs it: a frame's redraw leaves the client area out.
  const RECT& r = ps.rcPaint;
  if (r.right > r.left && r.bottom > r.top) {
    PaintBackground(dc, 0, 0, r.left, r.top, r.right - r.left, r.bottom - r.top);
    Box::Paint(dc, 0, 0, r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  EndPaint(hwnd, &ps);
  return 0;
}

LRESULT WindowBox::OnNativePaint(HWND hwnd, WPARAM wp, LPARAM lp) {
  LRESULT r = CallWindowProcW(native_proc_, hwnd, WM_PAINT, wp, lp);
  // The control painted over its focus mark: draw it again.
  Box* focused = GetFocused(false);
  if (!focused) return r;
  HDC dc = nullptr;
  Box* giver = nullptr;
  for (Box* b = focused; b && !dc; b = b->GetParent()) {
    dc = b->AcquireDC();
    if (dc) giver = b;
  }
  if (!dc) return r;
  int fx = focused->GetOffsetIn(giver, 0), fy = focused->GetOffsetIn(giver, 1);
  for (Box* b = focused; b; b = b->GetParent())
    if (b->DrawFocus(dc, fx, fy, focused->Width(), focused->Height())) break;
  giver->ReleaseDC(dc);
  return r;
}

LRESULT WindowBox::OnEraseBackground(HWND hwnd, WPARAM wp) {
  if (shown_) {
    RECT client;
    GetClientRect(hwnd, &client);
    PaintBackground(reinterpret_cast<HDC>(wp), 0, 0, 0, 0, client.right, client.bottom);
  }
  return 1;
}

LRESULT WindowBox::OnClose() {
  Close(0);
  return 0;
}

LRESULT WindowBox::OnSysCommand(HWND hwnd, WPARAM wp, LPARAM lp) {
  if ((wp & 0xFFF0) == SC_CLOSE) PostQuitMessage(0);
  return Default(hwnd, WM_SYSCOMMAND, wp, lp);
}

int WindowBox::ThumbPosition(int axis, WPARAM wp) {
  // The message has 16 bits of the position; the bar's track position has
  // all 32. Use it when it agrees with the message (a real drag).
  int low = HIWORD(wp);
  SCROLLINFO si = {};
  si.cbSize = sizeof(si);
  si.fMask = SIF_TRACKPOS | SIF_RANGE;
  if (::GetScrollInfo(hwnd_, axis == 0 ? SB_HORZ : SB_VERT, &si)) {
    if ((si.nTrackPos & 0xFFFF) == low) return si.nTrackPos;
    if (si.nMin < 0) return static_cast<short>(low);
  }
  return low;
}

LRESULT WindowBox::OnScroll(int axis, WPARAM wp) {
  bool scrollable;
  int minimum, maximum, position, page, line;
  GetScrollInfo(axis, &scrollable, &minimum, &maximum, &position, &page, &line);
  if (!scrollable) return 0;
  // Line steps, pages and the range are pixels; only the thumb speaks in units.
  int target;
  switch (LOWORD(wp)) {
    case SB_LINEUP: target = line > 0 ? position - line : position; break;
    case SB_LINEDOWN: target = line > 0 ? position + line : position; break;
    case SB_PAGEUP: target = position - page; break;
    case SB_PAGEDOWN: target = position + page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: target = ThumbPosition(axis, wp) * scroll_unit_[axis]; break;
    case SB_TOP: target = minimum; break;
    case SB_BOTTOM: target = maximum - page; break;
    default: return 0;
  }
  SetScrollPosition(axis, target, true);
  return 0;
}

LRESULT WindowBox::OnPen(UINT msg, LPARAM lp) {
  int code;
  switch (msg) {
    case WM_LBUTTONDOWN: code = EventPenDown; break;
    case WM_LBUTTONUP: code = EventPenUp; break;
    case WM_RBUTTONDOWN: code = EventRightDown; break;
    case WM_RBUTTONUP: code = EventRightUp; break;
    default: code = EventPenMove; break;
  }
  int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  HWND hwnd = hwnd_;
  if (Box* target = FindBoxAt(x, y)) {
    std::intptr_t data[2] = {x - target->GetOffsetIn(this, 0), y - target->GetOffsetIn(this, 1)};
    SendEvent(target, code, data, false);
  }
  if (!::IsWindow(hwnd)) return 0;
  if (capture_ && ::GetCapture() != hwnd)
    ::SetCapture(hwnd);
  else if (!capture_ && ::GetCapture() == hwnd)
    ::ReleaseCapture();
  return 0;
}

LRESULT WindowBox::OnKey(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  int code = (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) ? EventKeyDown : msg == WM_CHAR ? EventChar : EventKeyUp;
  std::intptr_t data[2] = {static_cast<std::intptr_t>(wp), -1};
  if (code == EventChar) data[0] = -1, data[1] = static_cast<std::intptr_t>(wp);
  // One delivery: the focused box inside this window first, then each of its
  // ancestors once, up to the root (the window box and any outer ones).
  Box* focused = GetFocused(false);
  SendEvent(focused ? focused : this, code, data, true);
  return Default(hwnd, msg, wp, lp);
}

}  // namespace VexaAppGUISystem
