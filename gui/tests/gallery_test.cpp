// Screenshots of the gallery in the three screen shapes, written to the build folder.
#include <gtest/gtest.h>

#include <string>

#include "../demo/gallery.h"
#include "platform/device.h"
#include "platform/screenshot.h"

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
    platform::Pixels px;
    ASSERT_TRUE(platform::CaptureWindow(hwnd, false, &px));
    EXPECT_EQ(s.w, px.width);
    EXPECT_EQ(s.h, px.height);
    // Ink in the top band (title and first buttons) and the soft-key bar at the bottom.
    int ink = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < px.width; ++x) ink += px.At(x, y) != 0xFFFFFF;
    EXPECT_GT(ink, 300);
    EXPECT_EQ(0x31599Cu, px.At(px.width / 2, px.height - 3));
    // The focused rounded button draws its outer focus frame.
    int focus = 0;
    for (std::uint32_t p : px.data) focus += p == 0x319AFFu;  // 0xFF9A31 as RGB
    EXPECT_GT(focus, 20);
    // Content taller than the screen scrolls with the native bar.
    int pageHeight = 0;
    g.Window().GetSizeConstraint(3, nullptr, nullptr, &pageHeight);
    SCROLLINFO si = {sizeof(si), SIF_ALL};
    GetScrollInfo(hwnd, SB_VERT, &si);
    if (pageHeight > s.h) {
      EXPECT_EQ(pageHeight, si.nMax) << s.name;
      EXPECT_EQ(UINT(s.h), si.nPage) << s.name;
    } else {
      EXPECT_EQ(0, si.nMax) << s.name;
    }
    CreateDirectoryA(TIDELARK_TEST_OUTPUT, nullptr);
    std::string path = std::string(TIDELARK_TEST_OUTPUT) + "/gallery-" + s.name + ".png";
    EXPECT_TRUE(platform::SaveWindowPng(hwnd, path, false));
  }
  platform::device::SetScreenOverride(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Screens, GalleryShots,
                         ::testing::Values(Shape{"portrait", 240, 320}, Shape{"square", 240, 240},
                                           Shape{"landscape", 320, 240}),
                         [](const ::testing::TestParamInfo<Shape>& i) { return std::string(i.param.name); });

}  // namespace
