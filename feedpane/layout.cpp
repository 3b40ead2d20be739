#include "layout.h"

#include <algorithm>

#include "gui/text.h"
#include "platform/device.h"

namespace feedpane {

Column ContentColumn(HWND window) {
  Column column;
  RECT client = {};
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  if (window && GetClientRect(window, &client)) {
    column.client_width = client.right - client.left;
    column.client_height = client.bottom - client.top;
    // A bar that shows now takes its room from the client area already.
    if (GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL) column.client_width += bar;
  } else {
    platform::device::Rect work = platform::device::WorkArea();
    column.client_width = work.Width();
    column.client_height = work.Height();
  }
  column.x = client.left + 7;
  column.width = std::max(1, column.client_width - bar - 10);
  return column;
}

int MeasureTextHeight(Fonts* fonts, const Element& element, int width) {
  if (element.wide.empty()) return 0;
  VexaAppGUISystem::TextStyle style;
  style.font = fonts->Get(element.font_height, element.bold, element.underline);
  style.vertical = 2;
  int x = 0, y = 0, w = width, h = 0x3FFFFFFF;
  if (!VexaAppGUISystem::DrawStyledText(nullptr, element.wide.c_str(), &x, &y, &w, &h, &style)) return 0;
  return h;
}

void FitTitleToTwoLines(Fonts* fonts, Element* item, int width) {
  int length = static_cast<int>(item->wide.size());
  int cut = length > 50 ? 50 : length - 5;
  while (item->height > kTwoLines && cut > 0) {
    item->wide.resize(static_cast<std::size_t>(std::min(cut, static_cast<int>(item->wide.size()))));
    item->text.resize(std::min(item->text.size(), item->wide.size()));
    for (int i = std::max(0, cut - 3); i < cut && i < static_cast<int>(item->wide.size()); ++i) {
      item->wide[static_cast<std::size_t>(i)] = L'.';
      if (i < static_cast<int>(item->text.size())) item->text[static_cast<std::size_t>(i)] = '.';
    }
    item->height = MeasureTextHeight(fonts, *item, width);
    cut -= 5;
  }
}

void RequestContentSize(KorvelPluginServices* services, const ElementList& elements) {
  int width = 0, height = 0;
  for (const auto& e : elements) {
    if (e->height == 0) continue;  // takes no room
    width = std::max(width, e->x + e->width);
    height = std::max(height, e->y + e->height);
  }
  services->view->SetContentSize(width, height + 20);
}

}  // namespace feedpane
