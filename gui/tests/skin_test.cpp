// The program's skin pictures, linked into this test as into the program,
// through the toolkit's own loader: every picture of the skin's table comes
// out of LoadGifResource at its size, and the keyed ones keep the colour key
// that colour-keyed drawing leaves out.
#include <gtest/gtest.h>

#include "gui/bitmap.h"
#include "gui/image_decode.h"
#include "skin_table.h"

namespace {

using namespace VexaAppGUISystem;

TEST(ProgramSkin, EveryPictureThroughTheToolkitLoader) {
  std::vector<skin_test::SkinEntry> table = skin_test::ParseSkinTable(
      skin_test::ReadFileBytes(std::string(TIDELARK_SOURCE_DIR) + "/resources/skin/README.md"));
  ASSERT_EQ(size_t(skin_test::kPictureCount), table.size());
  ImageResources images;
  images.Open(L"no-skin-here\\SkinKorvel.dll");  // the program's own pictures
  const COLORREF key = RGB(255, 0, 255), paper = RGB(1, 2, 3);
  HDC screen = GetDC(nullptr);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 320, 320);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, canvas);
  ReleaseDC(nullptr, screen);
  for (const skin_test::SkinEntry& e : table) {
    SCOPED_TRACE(e.id);
    HBITMAP b = images.Load(e.id);
    ASSERT_NE(nullptr, b);
    int w = 0, h = 0;
    ASSERT_TRUE(GetBitmapSize(b, &w, &h));
    EXPECT_EQ(e.width, w);
    EXPECT_EQ(e.height, h);
    if (e.keyed) {
      EXPECT_EQ(key, GetBitmapPixel(b, 0, 0, CLR_INVALID)) << "a keyed picture's corner is the key, exactly";
      FillFramedRect(dc, 0, 0, 320, 320, paper, paper, 0);
      ASSERT_TRUE(DrawBitmapTransparent(b, 0, 0, dc, key));
      EXPECT_EQ(paper, GetPixel(dc, 0, 0)) << "the key is left out";
    }
    DeleteObject(b);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(canvas);
  EXPECT_EQ(nullptr, images.Load(100)) << "an identifier the skin does not use";
}

}  // namespace
