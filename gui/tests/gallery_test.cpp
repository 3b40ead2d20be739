// Screenshots of the gallery in the three screen shapes, written to the build folder.
#include <gtest/gtest.h>

#include <string>

#include "../demo/gallery.h"
#include "platform/device.h"
#include "platform/screenshot.h"
#include "window_fixture.h"

namespace {

struct Shape {
  const char* name;
  int w, h;
};

class GalleryShots : public ::testing::TestWithParam<Shape> {};

TEST_P(GalleryShots, PaintsEveryControlAndSavesPng) {
  const Shape& s = GetParam();
  platform::device::ScreenMetrics m;
  ASSERT_TRUE(platform::device::ParseScreen(s.name, &m));
  platform::device::SetScreenOverride(&m);
  {
    gallery::Gallery g;
    ASSERT_TRUE(g.Create(true));
    HWND hwnd = g.Window().GetHandle();
    // The window fills the work area: below the task bar, above the soft-key bar.
    platform::device::Rect work = platform::device::WorkArea();
    RECT wr;
    GetWindowRect(hwnd, &wr);
    EXPECT_EQ(work.top, wr.top);
    EXPECT_EQ(work.bottom, wr.bottom);
    EXPECT_EQ(s.h - m.menu_bar_height, work.bottom);
    EXPECT_EQ(work.Height(), g.Window().Height());
    toolkit_test::Pump();
    platform::Pixels px;
    ASSERT_TRUE(platform::CaptureScreen(s.w, s.h, &px));
    EXPECT_EQ(s.w, px.width);
    EXPECT_EQ(s.h, px.height);
    // Ink in the top band (title and first buttons) and the soft-key bar at the bottom.
    int ink = 0;
    for (int y = work.top; y < work.top + 60; ++y)
      for (int x = 0; x < px.width; ++x) ink += px.At(x, y) != 0xFFFFFF;
    EXPECT_GT(ink, 300);
    EXPECT_EQ(0x31599Cu, px.At(px.width / 2, px.height - 3));
    // The focused rounded button draws its outer focus frame.
    int focus = 0;
    for (std::uint32_t p : px.data) focus += p == 0x319AFFu;  // 0xFF9A31 as RGB
    EXPECT_GT(focus, 20);
    // Content taller than the screen scrolls with the native bar.
    // Content taller than the work area scrolls all the way to its last pixel.
    int pageHeight = 0;
    g.Window().GetSizeConstraint(3, nullptr, nullptr, &pageHeight);
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    GetScrollInfo(hwnd, SB_VERT, &si);
    if (pageHeight > work.Height()) {
      EXPECT_EQ(pageHeight - 1, si.nMax) << s.name;
      EXPECT_EQ(UINT(work.Height()), si.nPage) << s.name;
      SendMessageW(hwnd, WM_VSCROLL, SB_BOTTOM, 0);
      EXPECT_EQ(pageHeight - work.Height(), g.Window().GetScrollPosition(1));
    } else {
      EXPECT_EQ(0, si.nMax) << s.name;
    }
    // At the end of the page: the text fields, their native controls scrolled
    // into view with the content, showing their text.
    HWND name = nullptr;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c && !name; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t text[32] = L"";
      GetWindowTextW(c, text, 32);
      if (std::wstring(text) == L"Ada Lovelace") name = c;
    }
    ASSERT_NE(nullptr, name);
    RECT nr;
    GetWindowRect(name, &nr);
    EXPECT_GE(nr.top, work.top);
    EXPECT_LE(nr.bottom, work.bottom) << "scrolled into the work area";
    toolkit_test::Pump();
    ASSERT_TRUE(platform::CaptureScreen(s.w, s.h, &px));
    int text_ink = 0;
    for (int y = nr.top + 3; y < nr.bottom - 3; ++y)
      for (int x = nr.left + 3; x < nr.right - 3; ++x) text_ink += px.At(x, y) == 0;
    EXPECT_GT(text_ink, 20) << "the edit control paints its text";

    // Every part of the page, a screen at a time.
    CreateDirectoryA(TIDELARK_TEST_OUTPUT, nullptr);
    std::string base = std::string(TIDELARK_TEST_OUTPUT) + "/gallery-" + s.name;
    int shot = 1;
    for (int top = 0;; top += work.Height(), ++shot) {
      g.Window().SetScrollPosition(1, top, true);
      toolkit_test::Pump();
      EXPECT_TRUE(platform::SaveScreenPng(s.w, s.h, base + "-" + std::to_string(shot) + ".png"));
      if (top + work.Height() >= pageHeight) break;
    }
    EXPECT_GE(shot, 2);
    SendMessageW(hwnd, WM_VSCROLL, SB_TOP, 0);
    toolkit_test::Pump();
    EXPECT_TRUE(platform::SaveScreenPng(s.w, s.h, base + ".png"));
  }
  platform::device::SetScreenOverride(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Screens, GalleryShots,
                         ::testing::Values(Shape{"portrait", 240, 320}, Shape{"square", 240, 240},
                                           Shape{"landscape", 320, 240}),
                         [](const ::testing::TestParamInfo<Shape>& i) { return std::string(i.param.name); });

}  // namespace
