// The peer of the start-up benchmark: a minimal Win32 program (the smoke
// window: one window of the device's size with one native control) that
// paints and waits to be closed.
#include <windows.h>

#include "smoke_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  if (!smoke::CreateSmokeWindow(instance)) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
