// The user's hands: the pen, the direction keys and the buttons.
#pragma once

#include <cstdint>

#include "context.h"

namespace feedpane {

// Pen down, move and up. Non-zero when handled; *result becomes
// kPluginContentChanged when a tap opened something.
std::int32_t HandlePen(KorvelPluginServices* services, Context* context, UINT message, LPARAM lParam,
                       std::int32_t* result);

// direction -1 left, +1 right, 0 the focus left the plug-in.
std::int32_t MoveFocus(KorvelPluginServices* services, Context* context, int direction);

std::int32_t ActivateFocused(KorvelPluginServices* services, Context* context);

std::int32_t ProcessButton(KorvelPluginServices* services, Context* context, int command);

// The commands the plug-in answers.
enum Command : std::int32_t {
  kCommandOpenLink = 4001,
  kCommandReload = 4026,
  kCommandBack = 5019,
  kCommandForward = 5020,
};

// The first focusable element whose rectangle, edges included, holds the
// point (content coordinates); -1 when none does.
int HitTest(const Context& context, int x, int y);

}  // namespace feedpane
