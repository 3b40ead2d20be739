// Soft-key bar: a child window of its owner, pinned to the owner's bottom
// edge, with up to two push buttons for the left and right soft keys.
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
      return SendMessageW(GetParent(hwnd), WM_COMMAND, wp, lp);
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      HBRUSH b = CreateSolidBrush(RGB(0x31, 0x59, 0x9C));
      FillRect(reinterpret_cast<HDC>(wp), &r, b);
      DeleteObject(b);
      return 1;
    }
    case WM_DESTROY: {
      HWND owner = GetParent(hwnd);
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
  RECT client;
  GetClientRect(info->hwndParent, &client);
  int height = platform::device::Screen().menu_bar_height;
  int width = client.right - client.left;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | ((info->dwFlags & SHCMBF_HIDDEN) ? 0 : WS_VISIBLE);
  HWND bar = CreateWindowExW(0, TIDELARK_MENUBAR_CLASS, L"", style, 0, client.bottom - height, width, height,
                             info->hwndParent, nullptr, ThisModule(), nullptr);
  if (!bar) {
    if (menu) DestroyMenu(menu);
    return FALSE;
  }
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
