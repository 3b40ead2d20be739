// tidelark-gallery: every toolkit control on a window of the device's screen.
//   tidelark-gallery.exe              shows the gallery until it is closed
//   tidelark-gallery.exe --shot F     writes the device screen as PNG file F and exits
// The screen comes from platform/device (TIDELARK_SCREEN=portrait|square|landscape|vga).
#include <windows.h>

#include <cstdio>
#include <string>

#include "gallery.h"
#include "platform/device.h"
#include "platform/screenshot.h"

int wmain(int argc, wchar_t** argv) {
  std::wstring shot;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::wstring(argv[i]) == L"--shot") shot = argv[i + 1];
  gallery::Gallery g;
  if (!g.Create(true)) {
    std::fprintf(stderr, "cannot create the gallery window\n");
    return 1;
  }
  if (!shot.empty()) {
    // What the message loop would do first: the pending paints.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    char path[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, shot.c_str(), -1, path, MAX_PATH, nullptr, nullptr);
    platform::device::ScreenMetrics screen = platform::device::Screen();
    bool ok = platform::SaveScreenPng(screen.width, screen.height, path);
    return ok ? 0 : 1;
  }
  MSG msg;
  while (g.Window().GetHandle() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
