#include "app/eula.h"

#include "app/commands.h"
#include "gui/bitmap.h"
#include "platform/aygshell.h"
#include "platform/device.h"

using VexaAppGUISystem::Box;
using VexaAppGUISystem::EdgeLeading;

namespace {

constexpr int kMargin = 8;
constexpr int kBand = 64;         // the band with the emblem and the title
constexpr int kEmblem = 48;
constexpr int kButtonHeight = 24;
constexpr int kTextInset = 4;
constexpr COLORREF kBandColour = RGB(0x1F, 0x3A, 0x5F);
constexpr COLORREF kPressedFill = RGB(0, 0, 255);

void Place(Box* box, Box* parent, int x, int y) {
  box->SetPosition(0, x, EdgeLeading, parent, EdgeLeading);
  box->SetPosition(1, y, EdgeLeading, parent, EdgeLeading);
}

}  // namespace

CEulaScreen::CEulaScreen() : accept_(nullptr, commands::kAcceptAgreement), decline_(nullptr, commands::kDeclineAgreement) {}

CEulaScreen::~CEulaScreen() {
  Box* parts[] = {&emblem_, &heading_, &text_area_, &accept_, &decline_};
  for (Box* p : parts)
    if (p->GetParent()) p->GetParent()->RemoveChild(p);
  if (body_.GetParent()) text_area_.RemoveChild(&body_);
}

void CEulaScreen::Build(const Look& look) {
  SetBackground(RGB(255, 255, 255));
  SetStyle(WS_POPUP);
  emblem_.SetImage(look.emblem, false, 0);
  VexaAppGUISystem::TextStyle heading = look.heading;
  heading.multiLine = true;
  heading.wordBreak = true;
  heading.horizontal = 0;
  heading.vertical = 2;
  heading.transparent = true;
  heading.textColour = RGB(255, 255, 255);
  heading_.SetStyle(heading);
  heading_.SetText(look.title);
  body_.SetStyle(look.body);
  body_.SetMargins(kTextInset, kTextInset, kTextInset, kTextInset);
  body_.SetText(look.text);
  text_area_.SetBackground(RGB(255, 255, 255));
  text_area_.SetStyle(WS_BORDER);
  text_area_.SetLineStep(1, 14);
  text_area_.SetScrollable(1, true);
  text_area_.SetKeepScrollBar(1, true);
  struct {
    VexaAppGUISystem::TextButtonRounded* button;
    const wchar_t* label;
  } buttons[] = {{&accept_, look.accept}, {&decline_, look.decline}};
  for (auto& b : buttons) {
    b.button->SetNormalStyle(look.button);
    b.button->SetPressedStyle(look.pressed_button);
    b.button->SetColours(kPressedFill, RGB(255, 255, 255), RGB(0, 0, 0));
    b.button->SetLabel(b.label);
  }
  Box* parts[] = {&accept_, &decline_, &emblem_, &heading_, &text_area_};
  for (Box* p : parts)
    if (!p->GetParent()) AddChild(p, this);
  if (!body_.GetParent()) text_area_.AddChild(&body_, &text_area_);
  AddToFocusOrder(&accept_, this, VexaAppGUISystem::FocusItem);
  AddToFocusOrder(&decline_, this, VexaAppGUISystem::FocusItem);
}

void CEulaScreen::Layout() {
  platform::device::ScreenMetrics screen = platform::device::Screen();
  const int W = screen.width, H = screen.height;
  SetSize(0, W, nullptr, 1);
  SetSize(1, H, nullptr, 1);
  Place(&emblem_, this, kMargin, (kBand - kEmblem) / 2);
  const int heading_x = kMargin + kEmblem + kMargin;
  heading_.SetMinimumSize(W - heading_x - kMargin, kBand - 2 * kMargin);
  heading_.SetMaximumSize(W - heading_x - kMargin, kBand - 2 * kMargin);
  Place(&heading_, this, heading_x, kMargin);
  const int button_w = (W - 3 * kMargin) / 2, button_y = H - kMargin - kButtonHeight;
  for (auto* b : {&accept_, &decline_}) {
    b->SetMinimumSize(button_w, kButtonHeight);
    b->SetMaximumSize(button_w, kButtonHeight);
  }
  Place(&accept_, this, kMargin, button_y);
  Place(&decline_, this, 2 * kMargin + button_w, button_y);
  const int area_y = kBand + kMargin, area_h = button_y - kMargin - area_y;
  Place(&text_area_, this, kMargin, area_y);
  text_area_.SetSize(0, W - 2 * kMargin, nullptr, 1);
  text_area_.SetSize(1, area_h > 0 ? area_h : 0, nullptr, 1);
  // The text wraps inside the field's border and its scroll bar.
  const int text_w = W - 2 * kMargin - 2 - GetSystemMetrics(SM_CXVSCROLL);
  body_.SetMinimumSize(text_w, 0);
  body_.SetMaximumSize(text_w, 0);
  Place(&body_, &text_area_, 0, 0);
}

int CEulaScreen::Run(const Look& look) {
  Build(look);
  Layout();
  SetPosition(0, 0, EdgeLeading, nullptr, EdgeLeading);
  SetPosition(1, 0, EdgeLeading, nullptr, EdgeLeading);
  if (!Create(true, nullptr, nullptr, false)) return 0;
  HWND window = hwnd_;
  SHFullScreen(window, SHFS_HIDESIPBUTTON | SHFS_HIDETASKBAR);
  platform::device::ScreenMetrics screen = platform::device::Screen();
  SetWindowPos(window, HWND_TOP, 0, 0, screen.width, screen.height, 0);  // over the soft-key bar's room too
  if (!text_area_.Create(true, this, nullptr, false)) {
    Close(0);
    return 0;
  }
  SetForegroundWindow(window);
  SetFocus(&accept_);
  InvalidateAll();
  int result = RunModal(0);
  SHFullScreen(window, SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON);
  return result;
}

void CEulaScreen::PaintBackground(HDC dc, int originX, int originY, int clipX, int clipY, int width, int height) {
  WindowBox::PaintBackground(dc, originX, originY, clipX, clipY, width, height);
  if (!dc) return;
  RECT band = {originX, originY, originX + Width(), originY + kBand};
  RECT clip = {clipX, clipY, clipX + width, clipY + height}, both;
  if (!IntersectRect(&both, &band, &clip)) return;
  HBRUSH brush = CreateSolidBrush(kBandColour);
  FillRect(dc, &both, brush);
  DeleteObject(brush);
}

bool CEulaScreen::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code == VexaAppGUISystem::EventCommand && data &&
      (data[1] == commands::kAcceptAgreement || data[1] == commands::kDeclineAgreement)) {
    Close(static_cast<int>(data[1]));
    return true;
  }
  if (code == VexaAppGUISystem::EventKeyDown && data) {
    switch (data[0]) {
      case VK_LEFT:
      case VK_UP:
      case VK_RIGHT:
      case VK_DOWN:
        MoveFocus(data[0] == VK_LEFT || data[0] == VK_UP ? -1 : 1, true, false, nullptr);
        return true;
      case VK_RETURN:
        if (Box* focused = GetFocused(false)) SendEvent(focused, VexaAppGUISystem::EventActivate, nullptr, true);
        return true;
      case VK_NEXT:
      case VK_PRIOR:
        SendMessageW(text_area_.GetHandle(), WM_VSCROLL, data[0] == VK_NEXT ? SB_PAGEDOWN : SB_PAGEUP, 0);
        return true;
    }
  }
  return false;
}

bool CEulaScreen::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
  if (message == WM_ACTIVATE && (LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE))
    SHFullScreen(window, SHFS_HIDESIPBUTTON | SHFS_HIDETASKBAR);
  return false;
}
