#include "paint.h"

#include <algorithm>

#include "gui/text.h"
#include "layout.h"

namespace feedpane {

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// The rectangle an element covers on screen with its background, in
// content coordinates.
RECT BackgroundRect(const Element& e) {
  if (!e.is_text) return RECT{e.x, e.y, e.x + e.width, e.y + e.height};
  return RECT{e.x - 1, e.y - 1, e.x + e.width + 7, e.y + e.height + 1};
}

void FillColour(HDC dc, const RECT& r, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// A row's background: a white border around white (odd rows) or light
// grey (even rows); the page is white in an article.
void DrawBackground(HDC dc, const Context& c, int index, const RECT& r) {
  FillColour(dc, r, kWhite);
  if (c.mode != kModeList) return;
  RECT inner = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  if (inner.right > inner.left && inner.bottom > inner.top)
    FillColour(dc, inner, index % 2 == 1 ? kWhite : kEvenRowColour);
}

void DrawFocusFrame(HDC dc, const RECT& r) {
  const int t = 2;
  RECT edges[4] = {{r.left, r.top, r.right, r.top + t},
                   {r.left, r.bottom - t, r.right, r.bottom},
                   {r.left, r.top, r.left + t, r.bottom},
                   {r.right - t, r.top, r.right, r.bottom}};
  for (const RECT& e : edges) FillColour(dc, e, kFocusColour);
}

// Draws element `index` moved by (dx, dy); with `background` it first gets
// its row background and, in a list, the focus frame.
void DrawElement(HDC dc, Context* c, int index, int dx, int dy, bool background) {
  const Element& e = *c->At(index);
  if (!e.is_text) {
    if (!e.bitmap) return;
    HDC source = c->surface.Source(dc);
    if (!source) return;
    HGDIOBJ old = SelectObject(source, e.bitmap);
    BitBlt(dc, e.x + dx, e.y + dy, e.width, e.height, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    return;
  }
  RECT back = BackgroundRect(e);
  OffsetRect(&back, dx, dy);
  if (background) DrawBackground(dc, *c, index, back);
  if (c->mode == kModeList && index == c->focused_index) DrawFocusFrame(dc, back);
  if (e.wide.empty()) return;
  const bool pressed = index == c->pressed_index && index == c->pen_index;
  VexaAppGUISystem::TextStyle style;
  style.font = c->fonts.Get(e.font_height, e.bold, pressed ? e.pressed_underline : e.underline);
  style.transparent = true;
  style.textColour = pressed ? e.pressed_colour : e.colour;
  // The rectangle is exactly the measured text, so centring it vertically
  // changes nothing: draw from the top and spare the second measure.
  VexaAppGUISystem::PaintStyledText(dc, e.wide.c_str(), e.x + dx, e.y + dy, e.width, e.height, &style);
}

}  // namespace

void PaintContent(KorvelPluginServices* services, Context* c) {
  HWND window = services->view->GetContentWindow();
  if (!window) return;
  RECT client;
  if (!GetClientRect(window, &client)) return;
  const int width = client.right - client.left, height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  HDC screen = GetDC(window);
  if (!screen) return;
  HDC dc = c->surface.Get(screen, width, height);
  if (dc) {
    RECT all = {0, 0, width, height};
    FillColour(dc, all, kWhite);
    const bool backgrounds = c->mode == kModeList;
    for (int i = 0; i < c->Count(); ++i) {
      RECT r = BackgroundRect(*c->At(i));
      if (r.bottom <= c->scroll_y) continue;
      if (r.top >= c->scroll_y + height) break;
      DrawElement(dc, c, i, -c->scroll_x, -c->scroll_y, backgrounds);
    }
    BitBlt(screen, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  }
  ReleaseDC(window, screen);
  ValidateRect(window, &client);
}

void RepaintElement(KorvelPluginServices* services, Context* c, int index) {
  Element* e = c->At(index);
  if (!e || c->focus_state == kFocusReturned) return;
  HWND window = services->view->GetContentWindow();
  if (!window) return;
  RECT r = BackgroundRect(*e);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return;
  HDC screen = GetDC(window);
  if (!screen) return;
  HDC dc = c->surface.Get(screen, width, height);
  if (dc) {
    DrawElement(dc, c, index, -r.left, -r.top, true);
    BitBlt(screen, r.left - c->scroll_x, r.top - c->scroll_y, width, height, dc, 0, 0, SRCCOPY);
  }
  ReleaseDC(window, screen);
}

}  // namespace feedpane
