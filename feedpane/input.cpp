#include "input.h"

#include <windowsx.h>

#include "article.h"
#include "layout.h"
#include "paint.h"

namespace feedpane {

namespace {

// Opens what the element at `index` stands for: an article from the list,
// the link in an article.
void Activate(KorvelPluginServices* services, Context* c, int index) {
  if (c->mode == kModeList) {
    OpenArticle(services, c, index);
  } else if (Element* e = c->At(index)) {
    if (e->IsLink()) OpenLink(e->second);
  }
}

int VisibleHeight(KorvelPluginServices* services) {
  RECT client = {};
  HWND window = services->view->GetContentWindow();
  if (window) GetClientRect(window, &client);
  return client.bottom - client.top;
}

// Brings the focused item into view, or repaints the two items that changed.
void ShowFocus(KorvelPluginServices* services, Context* c, int previous) {
  const Element& e = *c->At(c->focused_index);
  const int visible = VisibleHeight(services);
  if (e.y < c->scroll_y) {
    services->view->ScrollTo(0, e.y - 2);
  } else if (e.Bottom() > c->scroll_y + visible) {
    services->view->ScrollTo(0, e.height > visible ? e.y : e.Bottom() - visible + 5);
  } else {
    if (previous != c->focused_index) RepaintElement(services, c, previous);
    RepaintElement(services, c, c->focused_index);
  }
}

// The first item at the top of the visible part, for the first key press.
int TopmostVisibleItem(const Context& c) {
  for (int dy : {0, 6, -6}) {
    int index = HitTest(c, c.scroll_x + 15, c.scroll_y + dy);
    if (index >= 0) return index;
  }
  return -1;
}

// Hands the focus back to the host: the plug-in leaves the channel.
std::int32_t LeaveChannel(KorvelPluginServices* services, Context* c) {
  c->focus_state = kFocusReturned;
  services->view->GoBack();
  return 1;
}

}  // namespace

int HitTest(const Context& c, int x, int y) {
  for (int i = 0; i < c.Count(); ++i) {
    const Element& e = *c.At(i);
    if (e.focusable && x >= e.x && x <= e.x + e.width && y >= e.y && y <= e.Bottom()) return i;
  }
  return -1;
}

std::int32_t HandlePen(KorvelPluginServices* services, Context* c, UINT message, LPARAM lParam,
                       std::int32_t* result) {
  if (message != WM_LBUTTONDOWN && message != WM_LBUTTONUP && message != WM_MOUSEMOVE) return 0;
  if (message == WM_MOUSEMOVE && c->pressed_index < 0) return 0;
  const int under = HitTest(*c, GET_X_LPARAM(lParam) + c->scroll_x, GET_Y_LPARAM(lParam) + c->scroll_y);
  int activate = -1;
  if (message == WM_LBUTTONDOWN) {
    c->pressed_index = under;
    if (c->focused_index >= 0) {
      int was = c->focused_index;
      c->focused_index = -1;
      RepaintElement(services, c, was);
    }
  }
  // Pressed look follows the pen on and off the element it went down on.
  if (under != c->pen_index) {
    int was = c->pen_index;
    c->pen_index = under;
    if (was >= 0 && was == c->pressed_index) RepaintElement(services, c, was);
    if (under >= 0 && under == c->pressed_index) RepaintElement(services, c, under);
  }
  const bool handled = c->pressed_index >= 0;
  if (message == WM_LBUTTONUP) {
    int pressed = c->pressed_index;
    c->pressed_index = -1;
    if (pressed >= 0) {
      RepaintElement(services, c, pressed);
      if (under == pressed) activate = pressed;
    }
  }
  if (handled) {
    c->focus_state = kFocusTaken;
    if (result) *result = 0;
  }
  if (activate >= 0) {
    Activate(services, c, activate);
    if (result) *result = kPluginContentChanged;
    return 1;
  }
  return handled ? 1 : 0;
}

std::int32_t MoveFocus(KorvelPluginServices* services, Context* c, int direction) {
  if (!c || !c->current) {
    services->view->GoBack();
    return 1;
  }
  if (c->mode == kModeArticle) {
    if (direction > 0) return ProcessButton(services, c, kCommandForward);
    if (direction < 0) return ProcessButton(services, c, kCommandBack);
    return kPluginContentChanged;
  }
  if (c->focus_state == kFocusNone && direction < 0) return LeaveChannel(services, c);
  c->focus_state = kFocusTaken;
  const int previous = c->focused_index;
  if (direction == 0) {
    // The host took the focus: no item keeps a frame.
    c->focused_index = -1;
    RepaintElement(services, c, previous);
    return 0;
  }
  if (previous >= 0) {
    int next = previous + direction;
    c->focused_index = next >= 0 && next < c->Count() ? next : -1;
  } else if (direction > 0) {
    c->focused_index = TopmostVisibleItem(*c);
  } else {
    return LeaveChannel(services, c);
  }
  if (c->focused_index < 0) {
    RepaintElement(services, c, previous);
    return 0;
  }
  ShowFocus(services, c, previous);
  return 1;
}

std::int32_t ActivateFocused(KorvelPluginServices* services, Context* c) {
  if (!c || c->mode != kModeList || c->focused_index < 0) return 0;
  OpenArticle(services, c, c->focused_index);
  return kPluginContentChanged;
}

std::int32_t ProcessButton(KorvelPluginServices* services, Context* c, int command) {
  if (command == kCommandReload) {
    services->db->ReopenDatabase();
    services->view->SetContentSize(0, 0);
    FreeContext(services);
    return kPluginHandled;
  }
  if (!c || c->mode != kModeArticle) return kPluginNotHandled;
  switch (command) {
    case kCommandOpenLink:
      OpenArticleLink(*c);
      return kPluginHandled;
    case kCommandForward:
      ShowNextArticle(services, c);
      return kPluginContentChanged;
    case kCommandBack:
      ShowList(services, c);
      return kPluginContentChanged;
    default:
      return kPluginNotHandled;
  }
}

}  // namespace feedpane
