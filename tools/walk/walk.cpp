#include "walk.h"

#include <cstdio>

#include "gui/window_box.h"

namespace walk {

namespace {
constexpr DWORD kStep = 20;
}

bool ParseRect(const State& state, const std::string& key, int* x, int* y, int* w, int* h) {
  auto it = state.find(key);
  return it != state.end() && std::sscanf(it->second.c_str(), "%d %d %d %d", x, y, w, h) == 4;
}

bool TapButton(platform::automation::Driver& driver, HWND frame, int command) {
  int x, y, w, h;
  if (!ParseRect(driver.State(), "button " + std::to_string(command), &x, &y, &w, &h)) return false;
  driver.Tap(frame, x + w / 2, y + h / 2);
  return driver.Sync();
}

HWND WaitForFrame(platform::automation::Driver& driver, DWORD timeout_ms) {
  return driver.WaitForWindow(VexaAppGUISystem::kWindowClassName, L"Tidelark", timeout_ms);
}

bool DismissMessageBox(platform::automation::Driver& driver, DWORD timeout_ms) {
  HWND box = driver.WaitForWindow(kDialogClass, nullptr, timeout_ms);
  if (!box) return false;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  driver.Sync();
  return true;
}

bool StartToChannels(platform::automation::Driver& driver, HWND* frame,
                     void (*shoot)(void* context, const char* name), void* context) {
  // The splash: the one window of the program that covers the whole screen before the frame's loop.
  const DWORD start = GetTickCount();
  HWND splash = nullptr;
  while (!splash && GetTickCount() - start < 20000) {
    for (HWND w : driver.Windows(VexaAppGUISystem::kWindowClassName)) {
      RECT r;
      GetWindowRect(w, &r);
      if (r.top == 0 && r.left == 0) splash = w;
    }
    if (!splash) Sleep(kStep);
  }
  if (!splash || !driver.Sync()) return false;
  if (shoot) shoot(context, "splash");
  driver.Tap(splash, 10, 10);
  driver.Sync();
  // The agreement, on a first start.
  State s = driver.State();
  int x, y, w, h;
  if (s["eula"] == "1" && ParseRect(s, "eula_accept", &x, &y, &w, &h)) {
    if (shoot) shoot(context, "agreement");
    HWND eula = nullptr;
    for (HWND win : driver.Windows(VexaAppGUISystem::kWindowClassName)) {
      RECT r;
      GetWindowRect(win, &r);
      if (r.top == 0) eula = win;
    }
    if (!eula) return false;
    driver.Tap(eula, x + w / 2, y + h / 2);
    driver.Sync();
  }
  *frame = WaitForFrame(driver, 20000);
  if (!*frame) return false;
  // The first-run hint comes up as the loop starts; the program reports
  // first_run=1 until it has been dismissed, so a loaded machine that is
  // slow to show it is waited for.
  const DWORD hint_start = GetTickCount();
  while (GetTickCount() - hint_start < 20000) {
    if (driver.WaitForWindow(kDialogClass, nullptr, 500)) {
      driver.Sync();
      if (shoot) shoot(context, "welcome");
      DismissMessageBox(driver, 1000);
      break;
    }
    if (driver.State()["first_run"] != "1") break;
  }
  return driver.Sync();
}

bool ReadChannel(platform::automation::Driver& driver, HWND frame, int row,
                 void (*shoot)(void* context, const char* name), void* context, std::string* why) {
  constexpr int kFirstChannelRow = 4047, kBack = 5019;
  // A tap on the row where the channel list shows it; the row's command
  // when the list does not describe its rows.
  int x, y, w, h;
  if (ParseRect(driver.State(), "channel " + std::to_string(row), &x, &y, &w, &h))
    driver.Tap(frame, x + w / 2, y + h / 2);
  else if (!driver.Command(kFirstChannelRow + row))
    return *why = "no answer to the row's command", false;
  if (!driver.Sync()) return *why = "no answer after opening the row", false;
  State list = driver.State();
  if (list["plugin"] != "News" || list["plugin_shown"] != "1")
    return *why = "the channel did not open in the news plug-in", false;
  if (shoot) shoot(context, "article-list");
  // The topmost article's title sits at the top of the content area.
  if (!ParseRect(list, "content", &x, &y, &w, &h)) return *why = "no content area", false;
  driver.Tap(frame, x + w / 2, y + 12);
  if (!driver.Sync()) return *why = "no answer after the tap", false;
  State article = driver.State();
  if (article["plugin_content"] == list["plugin_content"])
    return *why = "the tap opened no article (the content stayed " + list["plugin_content"] + ")", false;
  if (shoot) shoot(context, "article");
  if (!TapButton(driver, frame, kBack)) return *why = "no back button", false;
  if (driver.State()["plugin_content"] != list["plugin_content"]) return *why = "back did not return to the list", false;
  return true;
}

}  // namespace walk
