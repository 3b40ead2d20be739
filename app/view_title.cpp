#include "app/view_title.h"

#include "gui/window_box.h"

using VexaAppGUISystem::Box;

namespace {
constexpr int kInset = 3;     // the text sits this far below the box's top
constexpr int kHintWidth = 9;  // the room of the menu mark at the right
}  // namespace

CKorvelLifeViewTitle::CKorvelLifeViewTitle() {
  VexaAppGUISystem::TextStyle style;
  style.multiLine = false;
  style.horizontal = 2;
  style.vertical = 2;
  style.transparent = true;
  style.textColour = RGB(255, 255, 255);
  text_box_.SetStyle(style);
  text_box_.SetEllipsis(true);
  AddChild(&text_box_, this);
}

CKorvelLifeViewTitle::~CKorvelLifeViewTitle() { RemoveChild(&text_box_); }

void CKorvelLifeViewTitle::SetStyle(const VexaAppGUISystem::TextStyle& style) {
  VexaAppGUISystem::TextStyle s = style;
  s.multiLine = false;
  s.horizontal = 2;
  s.vertical = 2;
  s.transparent = true;
  s.fill = false;
  s.textColour = RGB(255, 255, 255);
  text_box_.SetStyle(s);
  Place();
}

void CKorvelLifeViewTitle::SetText(const wchar_t* text) {
  text_ = text ? text : L"";
  text_box_.SetText(text_.c_str());
  Place();
  InvalidateAll();
}

void CKorvelLifeViewTitle::OnResized(int) { Place(); }

void CKorvelLifeViewTitle::Place() {
  const int w = Width() > 0 ? Width() : 0, h = Height() > 6 ? Height() - 2 * kInset : 0;
  placed_for_menu_ = HasMenu();
  const int room = placed_for_menu_ && w > kHintWidth ? w - kHintWidth : w;
  text_box_.SetMinimumSize(room, h);
  text_box_.SetMaximumSize(room, h);
  text_box_.SetPosition(0, 0, VexaAppGUISystem::EdgeLeading, this, VexaAppGUISystem::EdgeLeading);
  text_box_.SetPosition(1, kInset, VexaAppGUISystem::EdgeLeading, this, VexaAppGUISystem::EdgeLeading);
  text_box_.LayoutText();
}

void CKorvelLifeViewTitle::SetMenuOpener(void (*open)(void*, const RECT&), bool (*has_items)(void*), void* context) {
  open_menu_ = open;
  has_items_ = has_items;
  open_context_ = context;
}

bool CKorvelLifeViewTitle::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code != VexaAppGUISystem::EventPenUp || !HasMenu() || !open_menu_) return false;
  Box* window = GetWindowBox();
  HWND hwnd = window && window->IsWindow() ? static_cast<VexaAppGUISystem::WindowBox*>(window)->GetHandle() : nullptr;
  POINT p = {GetOffsetIn(window, 0), GetOffsetIn(window, 1)};
  if (hwnd) ClientToScreen(hwnd, &p);
  RECT r = {p.x, p.y, p.x + Width(), p.y + Height()};
  open_menu_(open_context_, r);
  return true;
}

void CKorvelLifeViewTitle::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth,
                                 int clipHeight) {
  Box::Paint(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
  if (!placed_for_menu_ || !dc || !IsVisible()) return;
  // A small white triangle pointing up: the screen has a menu.
  const int cx = originX + Width() - kHintWidth / 2 - 1, cy = originY + Height() / 2;
  POINT tri[3] = {{cx - 3, cy + 2}, {cx + 4, cy + 2}, {cx, cy - 2}};
  HBRUSH brush = CreateSolidBrush(RGB(255, 255, 255));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  HGDIOBJ old_brush = SelectObject(dc, brush), old_pen = SelectObject(dc, pen);
  Polygon(dc, tri, 3);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(brush);
  DeleteObject(pen);
}

void CKorvelLifeViewTitle::UpdateMenuMark() {
  if (placed_for_menu_ == HasMenu()) return;
  Place();
  InvalidateAll();
}
