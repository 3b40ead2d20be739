// Soft-key bar: as on the device, a window of its own across the bottom of
// the screen, owned by the window it serves, with up to two push buttons for
// the left and right soft keys. The owner's window ends above it.
#include "platform/aygshell.h"

#include "platform/device.h"

namespace {

const wchar_t kFullScreenProp[] = L"TidelarkFullScreen";
const wchar_t kMenuBarProp[] = L"TidelarkMenuBar";

HMODULE ThisModule() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &m);
  return m;
}

LRESULT CALLBACK MenuBarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      // A soft key: the owner gets the menu item's command.
      return SendMessageW(GetWindow(hwnd, GW_OWNER), WM_COMMAND, wp, lp);
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      HBRUSH b = CreateSolidBrush(RGB(0x31, 0x59, 0x9C));
      FillRect(reinterpret_cast<HDC>(wp), &r, b);
      DeleteObject(b);
      return 1;
    }
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // tapping the bar leaves the owner active
    case WM_DESTROY: {
      HWND owner = GetWindow(hwnd, GW_OWNER);
      if (owner && GetPropW(owner, kMenuBarProp) == hwnd) RemovePropW(owner, kMenuBarProp);
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterBarClass() {
  WNDCLASSW wc = {};
  HMODULE m = ThisModule();
  if (GetClassInfoW(m, TIDELARK_MENUBAR_CLASS, &wc)) return true;
  wc.lpfnWndProc = MenuBarProc;
  wc.hInstance = m;
  wc.lpszClassName = TIDELARK_MENUBAR_CLASS;
  return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void AddSoftKeys(HWND bar, HMENU menu, int width, int height) {
  int count = GetMenuItemCount(menu);
  if (count > 2) count = 2;
  for (int i = 0; i < count; ++i) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, i, text, 63, MF_BYPOSITION);
    UINT id = GetMenuItemID(menu, i);
    if (id == static_cast<UINT>(-1)) id = 0;  // a pop-up: its first command is the key's
    HMENU sub = GetSubMenu(menu, i);
    if (sub) id = GetMenuItemID(sub, 0);
    CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, i * (width / 2) + 2, 2,
                    width / 2 - 4, height - 4, bar, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                    ThisModule(), nullptr);
  }
}

// A top-level owner that reaches into the bar ends above it, as the shell
// does on the device; a window elsewhere on the screen is left alone.
void ShortenAboveBar(HWND owner, int barTop) {
  if (GetWindowLongW(owner, GWL_STYLE) & WS_CHILD) return;
  RECT r;
  if (!GetWindowRect(owner, &r) || r.bottom <= barTop || r.top >= barTop) return;
  SetWindowPos(owner, nullptr, 0, 0, r.right - r.left, barTop - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

extern "C" BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info) {
  if (!info || info->cbSize < sizeof(SHMENUBARINFO) || !IsWindow(info->hwndParent)) return FALSE;
  if (!RegisterBarClass()) return FALSE;
  HMENU menu = nullptr;
  if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    HINSTANCE inst = info->hInstRes ? info->hInstRes : GetModuleHandleW(nullptr);
    menu = LoadMenuW(inst, MAKEINTRESOURCEW(info->nToolBarId));
    if (!menu) return FALSE;
  }
  platform::device::ScreenMetrics screen = platform::device::Screen();
  const int height = screen.menu_bar_height, width = screen.width, top = screen.height - height;
  DWORD style = WS_POPUP | WS_CLIPSIBLINGS | ((info->dwFlags & SHCMBF_HIDDEN) ? 0 : WS_VISIBLE);
  HWND bar = CreateWindowExW(WS_EX_NOACTIVATE, TIDELARK_MENUBAR_CLASS, L"", style, 0, top, width, height,
                             info->hwndParent, nullptr, ThisModule(), nullptr);
  if (!bar) {
    if (menu) DestroyMenu(menu);
    return FALSE;
  }
  ShortenAboveBar(info->hwndParent, top);
  if (menu) {
    AddSoftKeys(bar, menu, width, height);
    DestroyMenu(menu);
  }
  SetPropW(info->hwndParent, kMenuBarProp, bar);
  info->hwndMB = bar;
  return TRUE;
}

extern "C" BOOL WINAPI SHFullScreen(HWND window, DWORD state) {
  if (!IsWindow(window)) return FALSE;
  DWORD old = TidelarkFullScreenState(window);
  DWORD merged = state | (old & ~((state & (SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR)) ? 3u : 0u) &
                             ~((state & (SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON)) ? 0xCu : 0u) &
                             ~((state & (SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON)) ? 0x30u : 0u));
  SetPropW(window, kFullScreenProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(merged)));
  HWND bar = static_cast<HWND>(GetPropW(window, kMenuBarProp));
  if (bar && (state & SHFS_HIDESIPBUTTON)) ShowWindow(bar, SW_HIDE);
  if (bar && (state & SHFS_SHOWSIPBUTTON)) ShowWindow(bar, SW_SHOWNA);
  return TRUE;
}

extern "C" DWORD WINAPI TidelarkFullScreenState(HWND window) {
  return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(GetPropW(window, kFullScreenProp)));
}
