// Where elements go and how large they are. Layouts are computed once,
// when a list or an article is built; painting reuses the rectangles.
#pragma once

#include <windows.h>

#include "context.h"

namespace feedpane {

// List items and article parts share one column: 7 pixels in from the
// window's left edge, as wide as the window less a vertical scroll bar and
// 10 pixels, whether the bar shows at the moment or not.
struct Column {
  int x = 7;
  int width = 1;
  int client_width = 0;
  int client_height = 0;
};
Column ContentColumn(HWND window);

// The height of a text element's text wrapped by words at `width` in its
// own font; 0 for an empty text.
int MeasureTextHeight(Fonts* fonts, const Element& element, int width);

// Titles get at most two lines of 14-pixel text: a longer one is cut and
// ends in "..." (in both of its forms).
constexpr int kTitleFontHeight = 14;
constexpr int kTwoLines = 28;
void FitTitleToTwoLines(Fonts* fonts, Element* item, int width);

// The space between one element's bottom and the next one's top.
constexpr int kElementGap = 4;

// The content size a list asks the host for: the rightmost and lowest
// element edges, and 20 pixels more below.
void RequestContentSize(KorvelPluginServices* services, const ElementList& elements);

}  // namespace feedpane
