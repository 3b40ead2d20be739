// The progress window: a modeless dialog over the screen below the task bar
// that shows the screen as it was, a rounded panel with the sync picture,
// the progress text, two bars and the cancel button. It starts the sync
// thread when it opens and ends the sync when the thread has finished.
#include <cstring>
#include <memory>
#include <string>

#include "app/ads_area.h"
#include "app/frame.h"
#include "gui/bitmap.h"
#include "gui/text.h"
#include "platform/device.h"
#include "platform/services.h"
#include "resources/dialogs.h"
#include "resources/skin_ids.h"
#include "sync/sync_session.h"
#include "sync_run.h"

namespace sync_screens {

namespace {

constexpr COLORREF kFrameColour = 0x875A32;
constexpr COLORREF kBarColour = 0xDCBEA0;
constexpr COLORREF kTrackColour = 0xFFDCBE;
constexpr COLORREF kPanelColour = RGB(255, 255, 255);
// The bars on a screen 240 pixels wide or wider; narrower screens get 2/3.
constexpr int kBarWidth = 180, kBarHeight = 12;
constexpr int kNarrowScreen = 240;
constexpr int kMargin = 10, kGap = 6, kTextHeight = 16, kButtonWidth = 64, kButtonHeight = 22;
constexpr int kPanelCorner = 14;

struct Geometry {
  RECT panel, picture, text, upper, lower, cancel;
};

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

// The panel's parts for a window of width x height and a picture of pw x ph.
Geometry Lay(int width, int height, int pw, int ph) {
  const bool narrow = width < kNarrowScreen;
  const int bar_w = narrow ? kBarWidth * 2 / 3 : kBarWidth, bar_h = narrow ? kBarHeight * 2 / 3 : kBarHeight;
  const int panel_w = bar_w + 2 * (kMargin + 6);
  const int panel_h = kMargin + ph + kGap + kTextHeight + kGap + bar_h + kGap + bar_h + kMargin + kButtonHeight + kMargin;
  Geometry g;
  const int x = (width - panel_w) / 2, y = (height - panel_h) / 2;
  g.panel = Rect(x, y, panel_w, panel_h);
  int at = y + kMargin;
  g.picture = Rect(x + (panel_w - pw) / 2, at, pw, ph);
  at += ph + kGap;
  g.text = Rect(x + kMargin, at, panel_w - 2 * kMargin, kTextHeight);
  at += kTextHeight + kGap;
  const int bar_x = x + (panel_w - bar_w) / 2;
  g.upper = Rect(bar_x, at, bar_w, bar_h);
  at += bar_h + kGap;
  g.lower = Rect(bar_x, at, bar_w, bar_h);
  at += bar_h + kMargin;
  g.cancel = Rect(x + (panel_w - kButtonWidth) / 2, at, kButtonWidth, kButtonHeight);
  return g;
}

// What the window keeps while it is open.
struct ProgressWindow {
  const SyncHost* host = nullptr;
  HBITMAP picture = nullptr;
  HFONT font = nullptr;
  WNDPROC button_procedure = nullptr;
  unsigned shown_serial = ~0u;
  Geometry geometry = {};

  ~ProgressWindow() {
    if (picture) DeleteObject(picture);
    if (font) DeleteObject(font);
  }
};

ProgressWindow* Of(HWND hwnd) { return reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER)); }

// The action key and the escape key press the cancel button as a tap does.
LRESULT CALLBACK CancelButtonProcedure(HWND button, UINT message, WPARAM wp, LPARAM lp) {
  HWND dialog = GetParent(button);
  ProgressWindow* w = Of(dialog);
  if (message == WM_KEYDOWN && (wp == VK_RETURN || wp == VK_ESCAPE)) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SYNC_CANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
  }
  if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
  return CallWindowProcW(w ? w->button_procedure : DefWindowProcW, button, message, wp, lp);
}

// The engine's text as the window shows it.
std::wstring Shown(const std::string& text) {
  if (text.find("Ads") != std::string::npos) return L"KorvelFeeds";
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

void DrawBar(HDC dc, const RECT& r, int percent) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  VexaAppGUISystem::FillFramedRect(dc, r.left, r.top, w, h, kFrameColour, kTrackColour, 1);
  const int filled = (w - 2) * percent / 100;
  if (filled > 0) VexaAppGUISystem::FillFramedRect(dc, r.left + 1, r.top + 1, filled, h - 2, kBarColour, kBarColour, 0);
}

BOOL OnInitDialog(HWND hwnd, const SyncHost* host) {
  auto window = std::make_unique<ProgressWindow>();
  window->host = host;
  CKorvelLifeSyncState* state = host->state;
  // Over the screen below the task bar.
  platform::device::Rect area = platform::device::WorkArea();
  SetWindowPos(hwnd, HWND_TOP, area.left, area.top, area.Width(), area.Height(), SWP_NOACTIVATE);
  window->picture = host->load_image ? host->load_image(IDG_SYNC_PROGRESS) : nullptr;
  int pw = 0, ph = 0;
  VexaAppGUISystem::GetBitmapSize(window->picture, &pw, &ph);
  window->geometry = Lay(area.Width(), area.Height(), pw, ph);
  window->font = VexaAppGUISystem::CreateTextFont(VexaAppGUISystem::kTextFace, 13, false, false, false);
  for (int id : {IDC_SYNC_TEXT, IDC_SYNC_CANCEL}) {
    HWND control = GetDlgItem(hwnd, id);
    const RECT& r = id == IDC_SYNC_TEXT ? window->geometry.text : window->geometry.cancel;
    MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(window->font), FALSE);
  }
  HWND cancel = GetDlgItem(hwnd, IDC_SYNC_CANCEL);
  window->button_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(cancel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CancelButtonProcedure)));
  SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(window.release()));
  // A fresh start: no progress, no text, no cancel request.
  state->progress.Reset();
  state->cancel.store(0);
  state->result.store(0);
  state->window.store(hwnd);
  SetReportTarget(state);
  state->worker = CreateThread(nullptr, 0, RunSync, state, 0, nullptr);
  if (!state->worker) {
    state->result.store(sync_engine::kSyncAllocFailed);
    PostMessageW(hwnd, kThreadFinished, 0, 0);
  }
  ShowWindow(hwnd, SW_SHOW);
  SetFocus(cancel);
  return FALSE;  // the focus is set
}

void OnPaint(HWND hwnd) {
  ProgressWindow* w = Of(hwnd);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (!w || !dc) {
    EndPaint(hwnd, &ps);
    return;
  }
  CKorvelLifeSyncState* state = w->host->state;
  RECT client;
  GetClientRect(hwnd, &client);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP canvas = CreateCompatibleBitmap(dc, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, canvas);
  if (!state->screen || !VexaAppGUISystem::DrawBitmap(state->screen, 0, 0, memory))
    FillRect(memory, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const Geometry& g = w->geometry;
  VexaAppGUISystem::FillFramedRoundRect(memory, g.panel.left, g.panel.top, g.panel.right - g.panel.left,
                                        g.panel.bottom - g.panel.top, kFrameColour, kPanelColour, 2, kPanelCorner,
                                        kPanelCorner);
  if (w->picture) VexaAppGUISystem::DrawBitmapTransparent(w->picture, g.picture.left, g.picture.top, memory, IDG_COLOUR_KEY);
  SyncProgress::Values v = state->progress.Read();
  DrawBar(memory, g.upper, v.first);
  DrawBar(memory, g.lower, v.second > v.longest_second ? v.second : v.longest_second);
  BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
         memory, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(canvas);
  DeleteDC(memory);
  EndPaint(hwnd, &ps);
  if (v.serial != w->shown_serial) {
    w->shown_serial = v.serial;
    SetDlgItemTextW(hwnd, IDC_SYNC_TEXT, Shown(v.text).c_str());
  }
}

void OnCancel(HWND hwnd) {
  ProgressWindow* w = Of(hwnd);
  if (!w) return;
  w->host->state->cancel.store(1);
  EnableWindow(GetDlgItem(hwnd, IDC_SYNC_CANCEL), FALSE);
}

// The message shown for a sync's result; 0 for none.
int MessageFor(int result) {
  switch (result) {
    case sync_engine::kSyncTransferFailed: return 224;
    case sync_engine::kSyncServerRefused: return 225;
    case sync_engine::kSyncConnectFailed: return 226;
    default: return 0;
  }
}

void OnThreadFinished(HWND hwnd) {
  ProgressWindow* w = Of(hwnd);
  if (!w) return;
  const SyncHost* host = w->host;
  CKorvelLifeSyncState* state = host->state;
  if (int text = MessageFor(state->result.load())) {
    const wchar_t* body = AppString(text);
    const wchar_t* caption = AppString(1);
    platform::GetServices().message_box(hwnd, reinterpret_cast<const char16_t*>(body),
                                        reinterpret_cast<const char16_t*>(caption),
                                        platform::kMbOk | platform::kMbIconError);
  }
  HWND frame = host->frame ? host->frame->GetHandle() : nullptr;
  if (frame) SendMessageW(frame, commands::kAlertRefresh, 0, 0);
  StopSync(state, INFINITE);  // the thread has ended: this only closes its handle
  state->channels.clear();
  DestroyWindow(hwnd);
  if (frame) SetFocus(frame);
  if (host->ads) {
    host->ads->Reset();
    host->ads->DrawBanner(true);
  }
  if (host->commands) host->commands(commands::kShowChannels, host->context, VexaAppGUISystem::EventCommand);
}

void OnDestroy(HWND hwnd) {
  ProgressWindow* w = Of(hwnd);
  if (!w) return;
  CKorvelLifeSyncState* state = w->host->state;
  // Closed with its owner while the sync runs: the sync is cancelled first.
  StopSync(state, 20000);
  state->window.store(nullptr);
  SetReportTarget(nullptr);
  if (state->screen) DeleteObject(state->screen);
  state->screen = nullptr;
  HWND cancel = GetDlgItem(hwnd, IDC_SYNC_CANCEL);
  if (cancel && w->button_procedure)
    SetWindowLongPtrW(cancel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(w->button_procedure));
  SetWindowLongPtrW(hwnd, DWLP_USER, 0);
  delete w;
}

INT_PTR CALLBACK ProgressProcedure(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(hwnd, reinterpret_cast<const SyncHost*>(lp));
    case WM_ERASEBKGND:
      return TRUE;  // the paint covers everything
    case WM_PAINT:
      OnPaint(hwnd);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wp), kPanelColour);
      SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 0));
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    case WM_COMMAND:
      if (LOWORD(wp) == IDC_SYNC_CANCEL || LOWORD(wp) == IDCANCEL) OnCancel(hwnd);
      return TRUE;
    case kThreadFinished:
      OnThreadFinished(hwnd);
      return TRUE;
    case WM_DESTROY:
      OnDestroy(hwnd);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

HWND OpenProgressWindow(const SyncHost& host) {
  HWND owner = host.frame ? host.frame->GetHandle() : nullptr;
  return CreateDialogParamW(host.resources, MAKEINTRESOURCEW(IDD_SYNC_PROGRESS), owner, ProgressProcedure,
                            reinterpret_cast<LPARAM>(&host));
}

}  // namespace sync_screens
