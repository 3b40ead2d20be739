// The handheld the program runs on. Desktop Windows is not a handheld, so the
// toolkit and every screen ask here for screen metrics, never the desktop.
//
// The screen is 240x320 portrait unless chosen otherwise, first by the
// environment variable TIDELARK_SCREEN, then by the line "screen=<value>" in
// the file "device.ini" in the program directory. Values: "portrait"
// (240x320), "square" (240x240), "landscape" (320x240), "vga" (480x640) or
// "<width>x<height>" (each 100..2048).
//
// CE paths ("\Windows\x", "\My Documents\y") map below the device root: the
// environment variable TIDELARK_DEVICE_ROOT, else ProgramDirectory() + "device".
#pragma once

#include <string>

namespace platform {
namespace device {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct ScreenMetrics {
  int width = 240;
  int height = 320;
  int task_bar_height = 26;  // the shell's bar across the top
  int menu_bar_height = 26;  // the soft-key bar across the bottom
};

// Parses a screen value as documented above; false (and *out untouched) when
// the value is not one of them.
bool ParseScreen(const std::string& value, ScreenMetrics* out);

// The current screen; re-read on every call, so tests may change the choice.
ScreenMetrics Screen();
// Overrides the choice for this process (tests, the gallery); null restores it.
void SetScreenOverride(const ScreenMetrics* metrics);

// Turns the device: the screen becomes `metrics` for this process and every
// visible top-level window of the process hears of it as the device tells
// its windows, with WM_SETTINGCHANGE (wParam kSettingChangeReset). Windows
// build only.
constexpr unsigned kSettingChangeReset = 0x3002;
void ChangeScreen(const ScreenMetrics& metrics);

// The maker's text for the device (the platform's OEM information): the
// line "oem=<text>" in "device.ini", else "Tidelark Handheld".
std::string OemInfo();

// The whole screen, and the work area between the task bar at the top and
// the soft-key bar at the bottom.
Rect ScreenRect();
Rect WorkArea();

// The host folder that the device's "\" maps to, ending with a separator.
std::string DeviceRoot();
// "\My Documents\a.opml" -> DeviceRoot() + "My Documents/a.opml" (separators
// become the host's). A path that is not absolute on the device yields "".
std::string MapCePath(const std::string& ce_path);

}  // namespace device
}  // namespace platform
