// WindowBox: a box that owns a native window. Only window boxes talk to the
// window manager; every other box draws into its nearest window box, whose
// repaints go through one back buffer kept between paints.
#pragma once

#include <windows.h>

#include "gui/box.h"
#include "platform/aygshell.h"

namespace VexaAppGUISystem {

extern const wchar_t kWindowClassName[];  // "Vexa Application GUI System Window Class"

class WindowBox : public Box {
 public:
  WindowBox();
  ~WindowBox() override;

  void OnMoved(int axis) override;
  void OnResized(int axis) override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;
  bool IsWindow() override { return true; }
  HDC AcquireDC() override;
  bool ReleaseDC(HDC dc) override;
  void OnScrollRangeChanged(int axis) override;
  // Slot 16: every native message is offered here first.
  virtual bool OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Slot 17.
  virtual void PaintBackground(HDC dc, int originX, int originY, int clipX, int clipY, int width, int height);

  bool Create(bool show, WindowBox* owner, const wchar_t* nativeClass, bool modal);
  void Close(int result);
  int RunModal(int initialResult);
  void SetTitle(const wchar_t* text);
  const wchar_t* GetTitle();
  void SetStyle(DWORD bits);
  DWORD GetStyle() const { return style_; }
  bool CreateMenuBar(int menuId, HINSTANCE instance);
  HWND GetMenuBar() const { return menubar_; }

  HWND GetHandle() const { return hwnd_; }
  void SetBackground(COLORREF colour) { background_ = colour; }
  COLORREF GetBackground() const { return background_; }
  // A class name of the application's own instead of the toolkit's.
  void SetClassName(const wchar_t* name);
  void SetScrollUnit(int axis, int pixels);
  void SetKeepScrollBar(int axis, bool keep);
  bool IsModal() const { return modal_; }
  int GetModalResult() const { return modal_result_; }
  void SuspendNativeProcedure(bool suspend) { suspend_native_proc_ = suspend; }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 protected:
  void PaintThroughBackBuffer(int x, int y, int width, int height);
  void DropBackBuffer();
  void NativePosition(int* x, int* y);
  void ResizeNative(int x, int y, int width, int height, UINT flags);
  int ThumbPosition(int axis, WPARAM wp);
  void SetNativeScrollBar(int axis, const SCROLLINFO& info);
  // One handler per message; Default is the wrapped control's procedure or the system's.
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Default(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnDestroy(HWND hwnd, WPARAM wp, LPARAM lp);
  LRESULT OnActivate(HWND hwnd, WPARAM wp, LPARAM lp);
  LRESULT OnSetFocusMessage(HWND hwnd, WPARAM wp, LPARAM lp);
  LRESULT OnWindowPosChanged(HWND hwnd, WPARAM wp, LPARAM lp);
  LRESULT OnPaint(HWND hwnd);
  LRESULT OnNativePaint(HWND hwnd, WPARAM wp, LPARAM lp);
  LRESULT OnEraseBackground(HWND hwnd, WPARAM wp);
  LRESULT OnClose();
  LRESULT OnSysCommand(HWND hwnd, WPARAM wp, LPARAM lp);
  LRESULT OnScroll(int axis, WPARAM wp);
  LRESULT OnPen(UINT msg, LPARAM lp);
  LRESULT OnKey(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  wchar_t* title_ = nullptr;
  wchar_t* class_name_ = nullptr;
  COLORREF background_ = 0xFFFFFF;
  HDC back_dc_ = nullptr;
  int back_width_ = 0;
  int back_height_ = 0;
  HBITMAP back_bitmap_ = nullptr;
  WindowBox* owner_ = nullptr;
  int scroll_unit_[2] = {1, 1};
  bool keep_scroll_bar_[2] = {false, false};
  DWORD style_ = 0;
  bool modal_ = false;
  int modal_result_ = 0;
  SHMENUBARINFO menubar_info_ = {};
  HWND menubar_ = nullptr;
  WNDPROC native_proc_ = nullptr;
  bool suspend_native_proc_ = false;
  // Extras of ours.
  HGDIOBJ back_old_bitmap_ = nullptr;
  int native_scroll_pos_[2] = {0, 0};
  SCROLLINFO native_scroll_info_[2] = {};  // what the native bars were last given
  bool echoing_ = false;  // inside our own move or resize of the native window
};

}  // namespace VexaAppGUISystem
