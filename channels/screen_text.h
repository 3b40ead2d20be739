// What the channel screens share on the device: texts in the device's code page (lang/ansi.h),
// names compared ignoring case, the program's message box, and commands
// handed on to the application.
#pragma once

#include <windows.h>

#include <string>

#include "app/view.h"
#include "channels/channel_rows.h"

namespace channels {

inline std::wstring AsWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
// Ordinal comparison ignoring case, as the system folds it.
int CompareIgnoringCase(const std::u16string& a, const std::u16string& b);
// The rules of the program's lists: the ANSI code page, the system's case folding.
const TextRules& ProgramTextRules();

// The program's message box over the view's window: text string `text`,
// caption string 1, OK with `icon`.
void ShowMessage(CKorvelLifeViewInterface* view, int text, std::uint32_t icon);
// The scroll a view queued, carried out on the content area; the area's own
// notifications of its scrolling (outside the queue) change nothing.
void FollowQueuedScroll(CKorvelLifeViewInterface* view, int y);
// Sends `command` to the content area as a button inside the view does; the
// application takes what the view does not.
void SendCommand(CKorvelLifeViewInterface* view, int command);

}  // namespace channels
