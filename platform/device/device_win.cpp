// Turning the device: the new screen, announced to the process's windows.
#include <windows.h>

#include "platform/device.h"

namespace platform {
namespace device {

namespace {

BOOL CALLBACK Announce(HWND hwnd, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd))
    SendMessageW(hwnd, WM_SETTINGCHANGE, kSettingChangeReset, 0);
  return TRUE;
}

}  // namespace

void ChangeScreen(const ScreenMetrics& metrics) {
  SetScreenOverride(&metrics);
  EnumWindows(Announce, 0);
}

}  // namespace device
}  // namespace platform
