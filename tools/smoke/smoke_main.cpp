// tidelark-smoke: opens the smoke window, saves a screenshot and exits.
//   tidelark-smoke.exe [screenshot.png]
#include <cstdio>
#include <string>

#include "platform/screenshot.h"
#include "smoke_window.h"

int wmain(int argc, wchar_t** argv) {
  HWND hwnd = smoke::CreateSmokeWindow(GetModuleHandleW(nullptr));
  if (!hwnd) {
    std::fprintf(stderr, "tidelark-smoke: cannot create the window (error %lu)\n", GetLastError());
    return 1;
  }
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  platform::Pixels px;
  if (!platform::CaptureWindow(hwnd, true, &px)) {
    std::fprintf(stderr, "tidelark-smoke: cannot read the window's pixels\n");
    return 1;
  }
  std::printf("window %dx%d, top-left pixel %06X\n", px.width, px.height, px.At(2, 2));
  if (argc > 1) {
    std::wstring w = argv[1];
    std::string path(w.begin(), w.end());
    if (!platform::SaveWindowPng(hwnd, path, true)) {
      std::fprintf(stderr, "tidelark-smoke: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  DestroyWindow(hwnd);
  return 0;
}
