// Walking the program's screens from outside: the steps the headless run
// (tidelark-walk) and the end-to-end test share.
#pragma once

#include <map>
#include <string>

#include "platform/automation.h"

namespace walk {

using State = std::map<std::string, std::string>;

constexpr wchar_t kDialogClass[] = L"#32770";

// "x y w h ..." of a state entry; false when missing.
bool ParseRect(const State& state, const std::string& key, int* x, int* y, int* w, int* h);
// Taps the centre of the bar button with that command; false when the
// program does not report it.
bool TapButton(platform::automation::Driver& driver, HWND frame, int command);
// The program's frame window (class and title "Tidelark"), waiting up to `timeout_ms`.
HWND WaitForFrame(platform::automation::Driver& driver, DWORD timeout_ms);
// Closes an open message box with its first button; true when there was one.
bool DismissMessageBox(platform::automation::Driver& driver, DWORD timeout_ms);
// From the start to the channel list: taps the splash away, accepts the
// agreement when asked and dismisses the first-run hint. Calls `shoot`
// with a name at each of those screens when given.
bool StartToChannels(platform::automation::Driver& driver, HWND* frame,
                     void (*shoot)(void* context, const char* name), void* context);

// From the channel list into the channel of row `row` (its command, as the
// list's row sends it), then into the topmost article with a tap, then back
// to the list. Calls `shoot` with "article-list" and "article" at those
// screens when given. False with a reason in `*why` when a step fails.
bool ReadChannel(platform::automation::Driver& driver, HWND frame, int row,
                 void (*shoot)(void* context, const char* name), void* context, std::string* why);

}  // namespace walk
