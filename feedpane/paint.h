// Drawing the current element list straight into the host's content window.
#pragma once

#include "context.h"

namespace feedpane {

// Paints the visible part through one memory bitmap and validates the
// window. Elements above the visible part are skipped; the first one below
// it ends the loop.
void PaintContent(KorvelPluginServices* services, Context* context);

// Repaints one element where it stands (a focus or pen change), on its own
// background.
void RepaintElement(KorvelPluginServices* services, Context* context, int index);

// The colours of the list.
constexpr COLORREF kUnreadColour = RGB(15, 15, 15);
constexpr COLORREF kReadColour = RGB(140, 140, 140);
constexpr COLORREF kListPressedColour = RGB(0, 0, 204);
constexpr COLORREF kEvenRowColour = RGB(237, 237, 237);
constexpr COLORREF kFocusColour = RGB(0, 0, 255);

}  // namespace feedpane
