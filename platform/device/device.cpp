#include "platform/device.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/os.h"

namespace platform {
namespace device {

namespace {

// The override lives in the process environment, so that every module of
// the process (the shell stand-in library too) sees the same screen.
const char kOverrideVariable[] = "TIDELARK_SCREEN_OVERRIDE";

bool ParseDimension(const std::string& text, int* out) {
  if (text.empty() || text.size() > 4) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < 100 || v > 2048) return false;
  *out = v;
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// The value of a "key=value" line of "device.ini"; false when there is none.
bool SettingsValue(const std::string& key, std::string* value) {
  std::ifstream in(os::JoinPath(os::ProgramDirectory(), "device.ini"));
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos && Trim(line.substr(0, eq)) == key) {
      *value = Trim(line.substr(eq + 1));
      return true;
    }
  }
  return false;
}

bool ScreenFromSettingsFile(ScreenMetrics* out) {
  std::string value;
  return SettingsValue("screen", &value) && ParseScreen(value, out);
}

}  // namespace

bool ParseScreen(const std::string& value, ScreenMetrics* out) {
  ScreenMetrics m;
  if (value == "portrait") {
    m.width = 240, m.height = 320;
  } else if (value == "square") {
    m.width = 240, m.height = 240;
  } else if (value == "landscape") {
    m.width = 320, m.height = 240;
  } else if (value == "vga") {
    m.width = 480, m.height = 640;
    m.task_bar_height = 52;
    m.menu_bar_height = 52;
  } else {
    size_t x = value.find('x');
    if (x == std::string::npos) return false;
    if (!ParseDimension(value.substr(0, x), &m.width) || !ParseDimension(value.substr(x + 1), &m.height))
      return false;
  }
  *out = m;
  return true;
}

static bool ScreenFromOverride(ScreenMetrics* out) {
  std::string value;
  if (!os::GetEnv(kOverrideVariable, &value)) return false;
  ScreenMetrics m;
  char extra;
  if (std::sscanf(value.c_str(), "%d %d %d %d%c", &m.width, &m.height, &m.task_bar_height, &m.menu_bar_height,
                  &extra) != 4)
    return false;
  *out = m;
  return true;
}

ScreenMetrics Screen() {
  ScreenMetrics m;
  if (ScreenFromOverride(&m)) return m;
  std::string value;
  if (os::GetEnv("TIDELARK_SCREEN", &value) && ParseScreen(Trim(value), &m)) return m;
  ScreenFromSettingsFile(&m);
  return m;
}

void SetScreenOverride(const ScreenMetrics* metrics) {
  if (!metrics) {
    os::SetEnv(kOverrideVariable, nullptr);
    return;
  }
  char value[64];
  std::snprintf(value, sizeof value, "%d %d %d %d", metrics->width, metrics->height, metrics->task_bar_height,
                metrics->menu_bar_height);
  os::SetEnv(kOverrideVariable, value);
}

std::string OemInfo() {
  std::string value;
  if (SettingsValue("oem", &value) && !value.empty()) return value;
  return "Tidelark Handheld";
}

Rect ScreenRect() {
  ScreenMetrics m = Screen();
  Rect r;
  r.right = m.width;
  r.bottom = m.height;
  return r;
}

Rect WorkArea() {
  ScreenMetrics m = Screen();
  Rect r;
  r.top = m.task_bar_height;
  r.right = m.width;
  r.bottom = m.height - m.menu_bar_height;
  return r;
}

std::string DeviceRoot() {
  std::string root;
  if (!os::GetEnv("TIDELARK_DEVICE_ROOT", &root) || root.empty())
    root = os::JoinPath(os::ProgramDirectory(), "device");
  char last = root.back();
  if (last != '/' && last != '\\') root += os::PathSeparator();
  return root;
}

std::string MapCePath(const std::string& ce_path) {
  if (ce_path.empty() || ce_path[0] != '\\') return "";
  std::string rest = ce_path.substr(1);
  for (char& c : rest) {
    if (c == '/' || c == '\\') c = os::PathSeparator();
  }
  // ".." would leave the device root.
  std::string seg;
  for (size_t i = 0; i <= rest.size(); ++i) {
    if (i == rest.size() || rest[i] == '/' || rest[i] == '\\') {
      if (seg == "..") return "";
      seg.clear();
    } else {
      seg += rest[i];
    }
  }
  return DeviceRoot() + rest;
}

}  // namespace device
}  // namespace platform
