#include <gtest/gtest.h>

#include <string>

#include "platform/screenshot.h"
#include "smoke_window.h"

namespace {

TEST(WineSmoke, WindowWithEditPaintsAndReadsBack) {
  HWND hwnd = smoke::CreateSmokeWindow(GetModuleHandleW(nullptr));
  ASSERT_NE(nullptr, hwnd);
  HWND edit = smoke::EditOf(hwnd);
  ASSERT_NE(nullptr, edit);
  wchar_t cls[64];
  ASSERT_GT(GetClassNameW(hwnd, cls, 64), 0);
  EXPECT_EQ(std::wstring(L"Vexa Application GUI System Window Class"), cls);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);

  platform::Pixels px;
  ASSERT_TRUE(platform::CaptureWindow(hwnd, true, &px));
  ASSERT_EQ(smoke::kWidth, px.width);
  ASSERT_EQ(smoke::kHeight, px.height);
  EXPECT_EQ(platform::PixelOf(smoke::kBanner), px.At(5, 5));
  EXPECT_EQ(platform::PixelOf(smoke::kBackground), px.At(120, 200));

  // The EDIT control painted itself: a light field with darker text pixels in it.
  int light = 0, dark = 0;
  for (int y = smoke::kEditRect.top + 3; y < smoke::kEditRect.bottom - 3; ++y) {
    for (int x = smoke::kEditRect.left + 3; x < smoke::kEditRect.right - 3; ++x) {
      std::uint32_t p = px.At(x, y);
      int lum = int((p >> 16) & 255) + int((p >> 8) & 255) + int(p & 255);
      if (lum > 600) ++light;
      if (lum < 200) ++dark;
    }
  }
  EXPECT_GT(light, 1000);
  EXPECT_GT(dark, 10) << "no text drawn in the EDIT control";

  CreateDirectoryA(TIDELARK_TEST_OUTPUT, nullptr);
  EXPECT_TRUE(platform::SaveWindowPng(hwnd, std::string(TIDELARK_TEST_OUTPUT) + "/smoke.png", true));
  DestroyWindow(hwnd);
}

}  // namespace
