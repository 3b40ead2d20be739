// The input panel: as on the device, a window of its own across the bottom
// of the screen, above the soft-key bar. It never takes the activation or
// the keyboard focus: a tap on a key types into the focused window of the
// thread that raised the panel.
#include <cstring>
#include <cwchar>

#include "platform/aygshell.h"
#include "platform/device.h"

namespace {

const wchar_t kSavedBottomProp[] = L"TidelarkSipSavedBottom";

// The keys, row by row; '\b' is backspace, ' ' the space bar.
const char* const kRows[] = {"1234567890", "qwertyuiop", "asdfghjkl\b", "zxcvbnm./ "};
constexpr int kRowCount = 4;
constexpr int kColumns = 10;

HWND g_panel = nullptr;
HWND g_typing_into_thread_window = nullptr;  // the window that raised the panel

HMODULE ThisModule() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &m);
  return m;
}

RECT PanelRect() {
  platform::device::ScreenMetrics s = platform::device::Screen();
  RECT r = {0, s.height - s.menu_bar_height - TIDELARK_SIP_HEIGHT, s.width, s.height - s.menu_bar_height};
  return r;
}

RECT KeyRect(int row, int column, const RECT& client) {
  int w = client.right / kColumns, h = client.bottom / kRowCount;
  RECT k = {column * w + 1, row * h + 1, (column + 1) * w - 1, (row + 1) * h - 1};
  return k;
}

void PaintKeys(HDC dc, const RECT& client) {
  HBRUSH back = CreateSolidBrush(RGB(0x1F, 0x3A, 0x5F));
  FillRect(dc, &client, back);
  DeleteObject(back);
  HBRUSH key = CreateSolidBrush(RGB(0xF2, 0xF7, 0xFB));
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0x1F, 0x3A, 0x5F));
  for (int row = 0; row < kRowCount; ++row) {
    const char* keys = kRows[row];
    for (int column = 0; keys[column]; ++column) {
      RECT k = KeyRect(row, column, client);
      FillRect(dc, &k, key);
      wchar_t label[4] = {static_cast<wchar_t>(keys[column]), 0};
      if (keys[column] == '\b') std::wcscpy(label, L"\x2039");
      if (keys[column] == ' ') std::wcscpy(label, L"sp");
      DrawTextW(dc, label, -1, &k, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  }
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteObject(key);
}

void TypeKeyAt(HWND panel, int x, int y) {
  RECT client;
  GetClientRect(panel, &client);
  int row = y * kRowCount / (client.bottom > 0 ? client.bottom : 1);
  int column = x * kColumns / (client.right > 0 ? client.right : 1);
  if (row < 0 || row >= kRowCount || column < 0 || column >= static_cast<int>(std::strlen(kRows[row]))) return;
  HWND target = GetFocus();
  if (!target) target = g_typing_into_thread_window;
  if (target) PostMessageW(target, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(kRows[row][column])), 1);
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
      TypeKeyAt(hwnd, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      PaintKeys(dc, client);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      if (g_panel == hwnd) g_panel = nullptr;
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool EnsurePanel() {
  if (g_panel && IsWindow(g_panel)) return true;
  WNDCLASSW wc = {};
  HMODULE m = ThisModule();
  if (!GetClassInfoW(m, TIDELARK_SIP_CLASS, &wc)) {
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = m;
    wc.lpszClassName = TIDELARK_SIP_CLASS;
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  RECT r = PanelRect();
  g_panel = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST, TIDELARK_SIP_CLASS, L"", WS_POPUP, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr, m, nullptr);
  return g_panel != nullptr;
}

bool PanelUp() { return g_panel && IsWindowVisible(g_panel); }

BOOL CALLBACK Announce(HWND hwnd, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId() && hwnd != g_panel && IsWindowVisible(hwnd))
    SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
  return TRUE;
}

bool SetPanel(bool up, HWND raiser) {
  if (up == PanelUp()) return true;
  if (up) {
    if (!EnsurePanel()) return false;
    g_typing_into_thread_window = raiser;
    RECT r = PanelRect();  // the screen may have turned since the panel was last up
    SetWindowPos(g_panel, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
  } else {
    ShowWindow(g_panel, SW_HIDE);
  }
  EnumWindows(Announce, 0);
  return true;
}

}  // namespace

extern "C" BOOL WINAPI SHSipPreference(HWND window, SIPSTATE state) {
  if (!IsWindow(window)) return FALSE;
  switch (state) {
    case SIP_UP:
    case SIP_INPUTDIALOG:
      return SetPanel(true, window);
    case SIP_DOWN:
    case SIP_FORCEDOWN:
      return SetPanel(false, window);
    case SIP_UNCHANGED:
      return TRUE;
  }
  return FALSE;
}

extern "C" BOOL WINAPI SHSipInfo(UINT action, UINT param, void* info, UINT winIni) {
  SIPINFO* sip = static_cast<SIPINFO*>(info);
  if (!sip || sip->cbSize < sizeof(SIPINFO)) return FALSE;
  if (action == SPI_SETSIPINFO) return SetPanel((sip->fdwFlags & SIPF_ON) != 0, GetFocus());
  if (action != SPI_GETSIPINFO) return FALSE;
  platform::device::Rect work = platform::device::WorkArea();
  RECT panel = PanelRect();
  bool up = PanelUp();
  if (up) GetWindowRect(g_panel, &panel);
  sip->fdwFlags = SIPF_DOCKED | (up ? SIPF_ON : SIPF_OFF);
  sip->rcSipRect = panel;
  sip->rcVisibleDesktop = RECT{work.left, work.top, work.right, up && panel.top < work.bottom ? panel.top : work.bottom};
  sip->dwImDataSize = 0;
  sip->pvImData = nullptr;
  return TRUE;
}

extern "C" BOOL WINAPI SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info) {
  if (wParam != SPI_SETSIPINFO || !IsWindow(window) || (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) return FALSE;
  SIPINFO sip = {};
  sip.cbSize = sizeof(sip);
  if (!SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0)) return FALSE;
  RECT r;
  GetWindowRect(window, &r);
  const bool up = (sip.fdwFlags & SIPF_ON) != 0;
  if (info) info->fSipUp = up ? 1 : 0;
  if (up && r.bottom > sip.rcVisibleDesktop.bottom && r.top < sip.rcVisibleDesktop.bottom) {
    SetPropW(window, kSavedBottomProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(r.bottom)));
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, sip.rcVisibleDesktop.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (!up) {
    INT_PTR bottom = reinterpret_cast<INT_PTR>(RemovePropW(window, kSavedBottomProp));
    if (bottom > r.top)
      SetWindowPos(window, nullptr, 0, 0, r.right - r.left, static_cast<int>(bottom - r.top),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return TRUE;
}
