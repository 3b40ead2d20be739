// The main frame: its window, layout, screen switching, message handling
// and the keyboard focus mode. The alert button lives in frame_alerts.cpp.
#include "app/frame.h"

#include "app/ads_area.h"
#include "app/buttons_bar.h"
#include "app/content_area.h"
#include "app/path_menu.h"
#include "app/view.h"
#include "app/view_title.h"
#include "gui/bitmap.h"
#include "gui/icon_view.h"
#include "platform/aygshell.h"
#include "platform/device.h"
#include "resources/skin_ids.h"

using VexaAppGUISystem::Box;
using VexaAppGUISystem::EdgeLeading;

bool CKorvelLifeUIFrame::focus_mode_ = false;
bool CKorvelLifeUIFrame::input_panel_flag_ = false;

namespace {

constexpr int kRowHeight = 26;    // header and bottom rows when their images are missing
constexpr int kRowEnd = 4;        // their end pieces
constexpr int kBorderWidth = 2;   // the content borders
constexpr int kFocusPen = 3;
constexpr UINT kExitMenuLoop = 530;
constexpr int kScrollMessage = 8;  // the key message the sync settings screen receives

// Titles on which the direction keys move the focus instead of scrolling:
// channels, articles, options, help.
bool KeysMoveFocusOn(const std::wstring& title) {
  return TitleIs(title, 92) || TitleIs(title, 93) || TitleIs(title, 94) || TitleIs(title, 96);
}

int ImageWidth(const VexaAppGUISystem::Image& image, int fallback) {
  int w = 0, h = 0;
  return VexaAppGUISystem::GetBitmapSize(image.GetImage(), &w, &h) ? w : fallback;
}

int ImageHeight(const VexaAppGUISystem::Image& image, int fallback) {
  int w = 0, h = 0;
  return VexaAppGUISystem::GetBitmapSize(image.GetImage(), &w, &h) ? h : fallback;
}

void Place(Box* box, Box* frame, int x, int y, int width = -1, int height = -1) {
  if (!box) return;
  box->SetPosition(0, x, EdgeLeading, frame, EdgeLeading);
  box->SetPosition(1, y, EdgeLeading, frame, EdgeLeading);
  if (width >= 0) box->SetSize(0, width, nullptr, 1);
  if (height >= 0) box->SetSize(1, height, nullptr, 1);
}

bool Inside(Box* box, Box* ancestor) {
  for (Box* b = box; b; b = b->GetParent())
    if (b == ancestor) return true;
  return false;
}

}  // namespace

CKorvelLifeUIFrame::CKorvelLifeUIFrame() { SetStyle(WS_POPUP); }

CKorvelLifeUIFrame::~CKorvelLifeUIFrame() {
  DeleteDecorations();
  while (GetChildCount() > 0) RemoveChild(GetChild(0));
}

void CKorvelLifeUIFrame::SetFocusModeFlag(bool on) {
  focus_mode_ = on;
  VexaAppGUISystem::IconBox::SetShowFocusHighlight(on);
}

bool CKorvelLifeUIFrame::CreateFrame(const wchar_t* title) {
  platform::device::Rect work = platform::device::WorkArea();
  SetTitle(title);
  SetPosition(0, work.left, EdgeLeading, nullptr, EdgeLeading);
  SetPosition(1, work.top, EdgeLeading, nullptr, EdgeLeading);
  SetSize(0, work.Width(), nullptr, 1);
  SetSize(1, work.Height(), nullptr, 1);
  return Create(false, nullptr, nullptr, false);
}

void CKorvelLifeUIFrame::SetParts(CKorvelLifeAdsArea* ads, CKorvelLifeButtonsBar* dynamic,
                                  CKorvelLifeContentArea* content, CKorvelLifeButtonsBar* statics,
                                  CKorvelLifeViewTitle* title, CKorvelLifeButtonsBar* navigation, CPathMenu* menu) {
  ads_ = ads, dynamic_ = dynamic, content_ = content, static_ = statics, title_ = title, navigation_ = navigation;
  menu_ = menu;
  // The first child is drawn on top: the parts, then the decorations under them.
  Box* parts[] = {ads, dynamic, content, statics, title, navigation,
                  &header_left_, &header_right_, &bottom_left_, &bottom_right_,
                  &header_fill_, &bottom_fill_, &border_left_, &border_right_};
  for (Box* p : parts)
    if (p && p->GetParent() != this) AddChild(p, this);
  if (content_) {
    content_->SetNavigationBar(navigation);
    content_->SetDynamicBar(dynamic);
  }
  if (title_)
    title_->SetMenuOpener(
        [](void* frame, const RECT& r) { static_cast<CKorvelLifeUIFrame*>(frame)->ShowOptionsMenu(r); },
        [](void* frame) {
          CPathMenu* m = static_cast<CKorvelLifeUIFrame*>(frame)->menu_;
          return m && !m->IsEmpty();
        },
        this);
  if (menu_) menu_->SetOwner(hwnd_);
  Layout();
}

void CKorvelLifeUIFrame::SetFocusOrder() {
  if (ads_) AddToFocusOrder(ads_, this, VexaAppGUISystem::FocusItem);
  Box* groups[] = {dynamic_, content_, static_, navigation_};
  for (Box* g : groups)
    if (g) AddToFocusOrder(g, this, VexaAppGUISystem::FocusGroup);
}

void CKorvelLifeUIFrame::LoadDecorations(ImageLoader load) {
  DeleteDecorations();
  header_left_.SetImage(load(IDG_DECO_HEADER_LEFT), false, 0);
  header_right_.SetImage(load(IDG_DECO_HEADER_RIGHT), false, 0);
  header_fill_.SetImage(load(IDG_DECO_HEADER_FILL), false, 0);
  bottom_fill_.SetImage(load(IDG_DECO_BOTTOM_FILL), false, 0);
  border_left_.SetImage(load(IDG_DECO_BORDER_LEFT), false, 0);
  border_right_.SetImage(load(IDG_DECO_BORDER_RIGHT), false, 0);
  bottom_left_.SetImage(load(IDG_DECO_BOTTOM_LEFT), false, 0);
  bottom_right_.SetImage(load(IDG_DECO_BOTTOM_RIGHT), false, 0);
  Layout();
}

void CKorvelLifeUIFrame::DeleteDecorations() {
  VexaAppGUISystem::Image* images[] = {&header_left_, &header_right_, &bottom_left_, &bottom_right_};
  for (auto* i : images)
    if (HBITMAP old = i->SetImage(nullptr, false, 0)) DeleteObject(old);
  VexaAppGUISystem::ScalableImage* tiled[] = {&header_fill_, &bottom_fill_, &border_left_, &border_right_};
  for (auto* i : tiled)
    if (HBITMAP old = i->SetImage(nullptr, false, 0)) DeleteObject(old);
}

VexaAppGUISystem::Image* CKorvelLifeUIFrame::Decoration(int id) {
  switch (id) {
    case IDG_DECO_HEADER_LEFT: return &header_left_;
    case IDG_DECO_HEADER_RIGHT: return &header_right_;
    case IDG_DECO_BOTTOM_LEFT: return &bottom_left_;
    case IDG_DECO_BOTTOM_RIGHT: return &bottom_right_;
    case IDG_DECO_HEADER_FILL: return &header_fill_;
    case IDG_DECO_BOTTOM_FILL: return &bottom_fill_;
    case IDG_DECO_BORDER_LEFT: return &border_left_;
    case IDG_DECO_BORDER_RIGHT: return &border_right_;
  }
  return nullptr;
}

void CKorvelLifeUIFrame::SetAlertImages(HBITMAP normal, HBITMAP pressed, HBITMAP fresh) {
  alert_normal_ = normal, alert_pressed_ = pressed, alert_new_ = fresh;
}

// ---- Layout -------------------------------------------------------------------------------

int CKorvelLifeUIFrame::ContentBottomLimit(int content_top) {
  // While the input panel is up the content area ends at its top.
  SIPINFO sip = {};
  sip.cbSize = sizeof(sip);
  if (!hwnd_ || !SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0) || !(sip.fdwFlags & SIPF_ON)) return -1;
  RECT frame;
  GetWindowRect(hwnd_, &frame);
  int limit = sip.rcSipRect.top - frame.top;
  return limit > content_top ? limit : content_top;
}

void CKorvelLifeUIFrame::Layout() {
  const int W = Width(), H = Height();
  if (W <= 0 || H <= 0 || !ads_ || !dynamic_ || !content_ || !static_ || !title_ || !navigation_) return;
  bool was = SetLayoutEnabled(false, false);

  // 1. The banner across the top.
  const int banner = platform::device::Screen().width < 240 ? 30 : 34;
  Place(ads_, this, 0, 0, W, banner);

  // 2. The header row, with the Dynamic Bar resting on its bottom.
  const int left_w = ImageWidth(header_left_, kRowEnd), right_w = ImageWidth(header_right_, kRowEnd);
  const int row = ImageHeight(header_right_, kRowHeight);
  Place(&header_left_, this, 0, banner);
  Place(&header_right_, this, W - right_w, banner);
  Place(&header_fill_, this, left_w, banner, W - left_w - right_w > 0 ? W - left_w - right_w : 0, row);
  Place(dynamic_, this, left_w, banner + row - dynamic_->SettledSize(1));

  // 3. The bottom row: the title box, the Static Bar centred, the Navigation Bar at the right.
  const int bottom_h = ImageHeight(bottom_fill_, kRowHeight);
  const int bottom_y = H - bottom_h;
  const int end_w = ImageWidth(bottom_left_, kRowEnd);
  Place(&bottom_fill_, this, 0, bottom_y, W, bottom_h);
  Place(&bottom_left_, this, 0, bottom_y);
  Place(&bottom_right_, this, W - ImageWidth(bottom_right_, kRowEnd), bottom_y);
  const int static_x = (W - static_->SettledSize(0)) / 2;
  Place(static_, this, static_x, H - static_->SettledSize(1));
  Place(navigation_, this, W - navigation_->SettledSize(0), H - navigation_->SettledSize(1));
  const int title_w = static_x - end_w - end_w;
  Place(title_, this, end_w, bottom_y, title_w > 0 ? title_w : 0, bottom_h);

  // 4. The borders and the content area between them.
  const int top = banner + row;
  const int border_l = ImageWidth(border_left_, kBorderWidth), border_r = ImageWidth(border_right_, kBorderWidth);
  const int between = bottom_y - top > 0 ? bottom_y - top : 0;
  Place(&border_left_, this, 0, top, border_l, between);
  Place(&border_right_, this, W - border_r, top, border_r, between);
  int content_h = between;
  const int limit = ContentBottomLimit(top);
  if (limit >= 0 && top + content_h > limit) content_h = limit - top;
  Place(content_, this, border_l, top, W - border_l - border_r > 0 ? W - border_l - border_r : 0, content_h);

  SetLayoutEnabled(was, false);
  Relayout(true);
}

void CKorvelLifeUIFrame::OnResized(int axis) {
  WindowBox::OnResized(axis);
  Layout();
}

void CKorvelLifeUIFrame::FitToScreen() {
  // The work area, and the soft-key bar's room when the frame runs without one.
  platform::device::Rect work = platform::device::WorkArea();
  if (without_menu_bar_) work.bottom = platform::device::Screen().height;
  SetPosition(0, work.left, EdgeLeading, nullptr, EdgeLeading);
  SetPosition(1, work.top, EdgeLeading, nullptr, EdgeLeading);
  if (hwnd_)
    SetWindowPos(hwnd_, nullptr, work.left, work.top, work.Width(), work.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  if (Width() != work.Width()) SetSize(0, work.Width(), nullptr, 1);
  if (Height() != work.Height()) SetSize(1, work.Height(), nullptr, 1);
  Layout();
}

// ---- Screens ------------------------------------------------------------------------------

void CKorvelLifeUIFrame::RepaintAll() {
  InvalidateAll();
  if (content_) content_->InvalidateAll();
  if (ads_) ads_->InvalidateAll();
}

void CKorvelLifeUIFrame::ShowView(CKorvelLifeViewInterface* view, const wchar_t* title, int highlight,
                                  bool keep_back, bool keep_forward) {
  if (menu_) menu_->RemoveMenuItem(L"");
  SetBarButtonState(dynamic_, 0, true, true);
  SetBarButtonState(dynamic_, 1, true, true);
  if (highlight != 0) SetBarButtonState(dynamic_, highlight, false, true);
  if (!keep_back) SetBarButtonState(navigation_, 0, false, true);
  if (!keep_forward) SetBarButtonState(navigation_, 1, false, true);
  ShowInputPanelButton(navigation_, title ? title : L"");
  if (content_) {
    if (view) view->AttachTo(content_);
    content_->SetView(view, nullptr, 0);
  }
  if (title_) title_->UpdateMenuMark();
  SetShown(false, true);
  SetShown(true, true);
  RepaintAll();
  if (ads_) ads_->DrawBanner(true);
}

void CKorvelLifeUIFrame::ToggleInputPanel() {
  SIPINFO sip = {};
  sip.cbSize = sizeof(sip);
  const bool up = SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0) && (sip.fdwFlags & SIPF_ON);
  SHSipPreference(hwnd_, up ? SIP_DOWN : SIP_UP);
  input_panel_flag_ = !up;
}

void CKorvelLifeUIFrame::ShowOptionsMenu(const RECT& title_on_screen) {
  if (!menu_ || menu_->IsEmpty()) return;
  menu_->SetOwner(hwnd_);
  menu_->Show(title_on_screen.left, title_on_screen.top);
}

int CKorvelLifeUIFrame::RunMessageLoop(void (*before_loop)(void*), void* context) {
  if (!content_) return -1;
  if (!content_->GetHandle() && !content_->Create(true, this, nullptr, false)) return -1;
  if (HWND bar = GetMenuBar()) {
    DestroyWindow(bar);
    menubar_ = nullptr;
  }
  without_menu_bar_ = true;
  FitToScreen();
  SHFullScreen(hwnd_, SHFS_HIDESIPBUTTON);
  SetFocusMode(VexaAppGUISystem::FocusGroup);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  if (before_loop) before_loop(context);
  if (ads_) ads_->DrawBanner(false);
  return RunModal(0);
}

// ---- Keys and focus -----------------------------------------------------------------------

void CKorvelLifeUIFrame::LeaveFocusMode() {
  if (!focus_mode_) return;
  SetFocusModeFlag(false);
  if (Box* focused = GetFocused(false)) focused->InvalidateAll();
}

void CKorvelLifeUIFrame::ActivateFocused() {
  Box* focused = GetFocused(false);
  if (!focused) return;
  if (focused == content_) {
    if (CKorvelLifeViewInterface* view = content_->GetView()) view->ActivateFocused(1, 0);
  } else {
    SendEvent(focused, VexaAppGUISystem::EventActivate, nullptr, true);
  }
}

void CKorvelLifeUIFrame::MoveKeyFocus(int direction) {
  if (!focus_mode_) {
    SetFocusModeFlag(true);
    Box* focused = GetFocused(false);
    if (!focused && ads_)
      SetFocus(ads_);
    else if (focused)
      focused->InvalidateAll();
    return;
  }
  CKorvelLifeViewInterface* view = content_->GetView();
  Box* focused = GetFocused(false);
  if (focused && Inside(focused, content_) && view && view->MoveFocus(direction, 0) == 1) return;
  const bool was_inside = focused && Inside(focused, content_);
  if (!focused && ads_) SetFocus(ads_);
  MoveFocus(direction, true, true, nullptr);
  Box* now = GetFocused(false);
  if (!view) return;
  if (now == content_)
    view->MoveFocus(direction, 0);
  else if (was_inside && !Inside(now, content_))
    view->MoveFocus(0, 0);
}

bool CKorvelLifeUIFrame::OnKeyDown(int key) {
  CKorvelLifeViewInterface* view = content_->GetView();
  if (key == VK_RETURN) {
    if (focus_mode_) ActivateFocused();
    content_->ExecuteRequests();
    return true;
  }
  const bool arrow = key == VK_UP || key == VK_LEFT || key == VK_DOWN || key == VK_RIGHT;
  if (!arrow) return false;
  const std::wstring title = CKorvelLifeContentArea::CurrentTitle();
  if (key != VK_RIGHT && !KeysMoveFocusOn(title)) {
    if (TitleIs(title, 107)) {
      int result = 0;
      if (view) view->ProcessSystemMessage(content_->GetHandle(), kScrollMessage, key, 0, &result);
      content_->ExecuteRequests();
    } else if (key != VK_LEFT && content_->GetHandle()) {
      SendMessageW(content_->GetHandle(), WM_VSCROLL, key == VK_UP ? SB_LINEUP : SB_LINEDOWN, 0);
    }
    return true;
  }
  MoveKeyFocus(key == VK_RIGHT || key == VK_DOWN ? 1 : -1);
  content_->ExecuteRequests();
  return true;
}

bool CKorvelLifeUIFrame::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code == commands::kAlertRefresh) {
    RefreshAlertButton(data != nullptr, data ? static_cast<int>(data[0]) : 0);
    return true;
  }
  if (code == VexaAppGUISystem::EventKeyDown && content_ && data) return OnKeyDown(static_cast<int>(data[0]));
  return false;
}

bool CKorvelLifeUIFrame::DrawFocus(HDC dc, int x, int y, int width, int height) {
  if (!focus_mode_ || !dc) return false;
  return VexaAppGUISystem::FrameRect(dc, x, y, width, height, RGB(0, 0, 255), kFocusPen);
}

bool CKorvelLifeUIFrame::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         LRESULT* result) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE) {
        SHFullScreen(window, SHFS_HIDESIPBUTTON);
        RepaintAll();
        if (input_panel_flag_) SHSipPreference(window, SIP_UP);
      }
      return false;
    case WM_SETTINGCHANGE:
      FitToScreen();  // a turned screen or the input panel coming or going
      RepaintAll();
      *result = 0;
      return true;
    case WM_SYSCHAR:
      *result = 0;
      return true;
    case WM_COMMAND: {
      const int command = LOWORD(wParam);
      if ((command >= 4020 && command <= 4023) || (command >= 4026 && command <= 4031)) {
        if (table_) table_(command, table_context_, VexaAppGUISystem::EventCommand);
        if (content_) content_->ExecuteRequests();
        *result = 0;
        return true;
      }
      return false;
    }
    case kExitMenuLoop:
      if (title_) title_->UpdateMenuMark();
      RepaintAll();
      if (ads_) ads_->DrawBanner(false);
      return false;
    case commands::kAlertRefresh:
      SendEvent(this, commands::kAlertRefresh, nullptr, false);
      *result = 0;
      return true;
    case WM_LBUTTONDOWN:
      LeaveFocusMode();
      return false;
    case CKorvelLifeContentArea::kTapMessage:
      LeaveFocusMode();
      *result = 0;
      return true;
  }
  return false;
}
