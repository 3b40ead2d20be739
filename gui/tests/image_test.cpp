// Pictures through the toolkit: DecodeImage with the real decoder library,
// GIF resources of the program and of a skin library, the bitmap and shape
// functions, and the image boxes in a window.
#include <gtest/gtest.h>

#include "../../platform/imgdecmp/tests/sample_pictures.h"
#include "gui/image.h"
#include "gui/image_decode.h"
#include "window_fixture.h"

namespace {
using namespace toolkit_test;

HBITMAP DecodeFile(const std::string& name) {
  std::string bytes = sample_pictures::Read(name);
  return DecodeImage(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

struct Size {
  int w = -1, h = -1;
};
Size SizeOf(HBITMAP b) {
  Size s;
  GetBitmapSize(b, &s.w, &s.h);
  return s;
}

// Every sample picture, through the same path as the program's images.
TEST(DecodeImageTest, EverySamplePictureAtItsTrueSizeOrNone) {
  for (const sample_pictures::Picture& p : sample_pictures::kAll) {
    SCOPED_TRACE(p.name);
    HBITMAP b = DecodeFile(p.name);
    if (p.width == 0) {
      EXPECT_EQ(nullptr, b);
      continue;
    }
    ASSERT_NE(nullptr, b);
    Size s = SizeOf(b);
    EXPECT_EQ(p.width, s.w);
    EXPECT_EQ(p.height, s.h);
    DeleteObject(b);
  }
  EXPECT_EQ(nullptr, DecodeImage(nullptr, 10));
  BYTE junk[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  EXPECT_EQ(nullptr, DecodeImage(junk, sizeof junk));
}

// A picture wider or higher than the room given comes scaled down to fit,
// keeping its proportions; one that fits keeps its size.
TEST(DecodeImageTest, ScalesDownToTheRoomGiven) {
  std::string cat = sample_pictures::Read("image-rs-cat.jpg");  // 320x240
  const BYTE* bytes = reinterpret_cast<const BYTE*>(cat.data());
  const DWORD size = static_cast<DWORD>(cat.size());
  struct {
    int max_w, max_h, w, h;
  } cases[] = {{200, 10000, 200, 150}, {10000, 120, 160, 120}, {100, 100, 100, 75}, {320, 240, 320, 240},
               {1000, 1000, 320, 240}};
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.max_w << "x" << c.max_h);
    HBITMAP b = DecodeImage(bytes, size, c.max_w, c.max_h);
    ASSERT_NE(nullptr, b);
    Size s = SizeOf(b);
    EXPECT_EQ(c.w, s.w);
    EXPECT_EQ(c.h, s.h);
    DeleteObject(b);
  }
  EXPECT_EQ(nullptr, DecodeImage(bytes, size, 0, 100)) << "no room";
}

// The program's resources by identifier; the skin library beside the program
// replaces what it carries; a missing identifier gives none.
TEST(ImageResourcesTest, ProgramResourcesAndTheSkinLibrary) {
  HMODULE program = GetModuleHandleW(nullptr);
  struct {
    int id;
    int w, h;
  } own[] = {{101, 200, 150}, {102, 36, 28}, {103, 0, 0}, {104, 0, 0}, {999, 0, 0}, {0, 0, 0}, {-5, 0, 0}};
  for (auto& c : own) {
    SCOPED_TRACE(c.id);
    HBITMAP b = LoadGifResource(program, c.id);
    if (c.w == 0) {
      EXPECT_EQ(nullptr, b) << "damaged, of another type, or missing";
      continue;
    }
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(c.w, SizeOf(b).w);
    EXPECT_EQ(c.h, SizeOf(b).h);
    DeleteObject(b);
  }

  ImageResources images;
  ASSERT_TRUE(images.Open()) << "the test skin beside the test program";
  EXPECT_NE(nullptr, images.SkinModule());
  EXPECT_EQ(images.SkinModule(), images.ResourceModule());
  struct {
    int id;
    int w, h;
  } skinned[] = {{101, 64, 48}, {102, 36, 28}, {110, 1, 1}, {999, 0, 0}};
  for (auto& c : skinned) {
    SCOPED_TRACE(c.id);
    HBITMAP b = images.Load(c.id);
    if (c.w == 0) {
      EXPECT_EQ(nullptr, b);
      continue;
    }
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(c.w, SizeOf(b).w) << "the skin's picture when it has one, else the program's";
    EXPECT_EQ(c.h, SizeOf(b).h);
    DeleteObject(b);
  }

  ImageResources bare;
  EXPECT_FALSE(bare.Open(L"no-such-folder\\SkinKorvel.dll"));
  EXPECT_EQ(program, bare.ResourceModule());
  HBITMAP b = bare.Load(101);
  EXPECT_EQ(200, SizeOf(b).w) << "without a skin, the program's own";
  DeleteObject(b);
  EXPECT_EQ(nullptr, bare.Load(110));
}

// The transparent GIF keeps a key colour that colour-keyed drawing leaves out.
TEST(BitmapTest, TransparentGifDrawsWithoutItsKeyColour) {
  HBITMAP picture = DecodeFile("pillow-transparent.gif");
  ASSERT_NE(nullptr, picture);
  std::string bytes = sample_pictures::Read("pillow-transparent.gif");
  size_t gce = bytes.find("\x21\xF9\x04");
  ASSERT_NE(std::string::npos, gce);
  int index = static_cast<unsigned char>(bytes[gce + 6]);
  const unsigned char* rgb = reinterpret_cast<const unsigned char*>(bytes.data()) + 13 + 3 * index;
  const COLORREF key = RGB(rgb[0], rgb[1], rgb[2]);

  HDC screen = GetDC(nullptr);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 220, 170);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, canvas);
  ReleaseDC(nullptr, screen);
  const COLORREF green = RGB(0, 200, 0);
  ASSERT_TRUE(FillFramedRect(dc, 0, 0, 220, 170, green, green, 0));
  ASSERT_TRUE(DrawBitmapTransparent(picture, 10, 10, dc, key));
  int keyed = 0, drawn = 0;
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 200; ++x) {
      COLORREF p = GetBitmapPixel(picture, x, y, CLR_INVALID);
      COLORREF q = GetPixel(dc, 10 + x, 10 + y);
      if (p == key) {
        ++keyed;
        EXPECT_EQ(green, q) << x << "," << y;
      } else {
        ++drawn;
        EXPECT_EQ(p, q) << x << "," << y;
      }
      if (::testing::Test::HasFailure()) break;
    }
  EXPECT_GT(keyed, 100);
  EXPECT_GT(drawn, 100);
  EXPECT_EQ(green, GetPixel(dc, 5, 5)) << "nothing outside the picture";

  // The same through the prepared copy of the image boxes.
  FillFramedRect(dc, 0, 0, 220, 170, green, green, 0);
  PreparedBitmap mask;
  ASSERT_TRUE(mask.Draw(dc, 10, 10, picture, true, key));
  for (int y = 0; y < 150; y += 7)
    for (int x = 0; x < 200; x += 7) {
      COLORREF p = GetBitmapPixel(picture, x, y, CLR_INVALID);
      EXPECT_EQ(p == key ? green : p, GetPixel(dc, 10 + x, 10 + y));
    }
  mask.Release();
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(canvas);
  DeleteObject(picture);
}

TEST(BitmapTest, SizesPixelsScalingAndBadHandles) {
  HBITMAP b = MakeBitmap(10, 6, RGB(10, 20, 30), RGB(200, 100, 50));
  int w = 0, h = 0;
  ASSERT_TRUE(GetBitmapSize(b, &w, &h));
  EXPECT_EQ(10, w);
  EXPECT_EQ(6, h);
  EXPECT_EQ(RGB(10, 20, 30), GetBitmapPixel(b, 0, 0, 0));
  EXPECT_EQ(RGB(200, 100, 50), GetBitmapPixel(b, 5, 3, 0));
  EXPECT_EQ(RGB(1, 2, 3), GetBitmapPixel(b, 10, 0, RGB(1, 2, 3))) << "outside";
  EXPECT_EQ(RGB(1, 2, 3), GetBitmapPixel(b, -1, 0, RGB(1, 2, 3)));
  HBRUSH brush = CreateSolidBrush(0);
  EXPECT_FALSE(GetBitmapSize(reinterpret_cast<HBITMAP>(brush), &w, &h)) << "not a bitmap";
  EXPECT_EQ(RGB(9, 9, 9), GetBitmapPixel(reinterpret_cast<HBITMAP>(brush), 0, 0, RGB(9, 9, 9)));
  EXPECT_FALSE(DrawBitmap(b, 0, 0, nullptr));
  EXPECT_EQ(nullptr, ScaleBitmap(nullptr, 1, 1, 1, 1));
  DeleteObject(brush);

  EXPECT_EQ(b, ScaleBitmap(b, 3, 3, 2, 2)) << "unscaled: the same bitmap";
  EXPECT_EQ(nullptr, ScaleBitmap(b, 1, 0, 1, 1));
  HBITMAP big = ScaleBitmap(b, 2, 1, 3, 2);
  ASSERT_NE(nullptr, big);
  ASSERT_TRUE(GetBitmapSize(big, &w, &h));
  EXPECT_EQ(20, w);
  EXPECT_EQ(9, h);
  EXPECT_EQ(RGB(10, 20, 30), GetBitmapPixel(big, 1, 1, 0));
  EXPECT_EQ(RGB(200, 100, 50), GetBitmapPixel(big, 10, 4, 0)) << "plain copy, no blending";
  HBITMAP small = ScaleBitmapReplace(big, 1, 2, 1, 3);
  ASSERT_NE(nullptr, small);
  EXPECT_EQ(0u, GetObjectType(big)) << "the old bitmap is deleted";
  ASSERT_TRUE(GetBitmapSize(small, &w, &h));
  EXPECT_EQ(10, w);
  EXPECT_EQ(3, h);
  EXPECT_EQ(small, ScaleBitmapReplace(small, 1, 0, 1, 1)) << "a failed scale keeps the bitmap";
  EXPECT_EQ(DWORD(OBJ_BITMAP), GetObjectType(small));
  DeleteObject(small);
  DeleteObject(b);
}

TEST(BitmapTest, ShapesAndClip) {
  HDC screen = GetDC(nullptr);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 100, 60);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, canvas);
  ReleaseDC(nullptr, screen);
  const COLORREF white = RGB(255, 255, 255), red = RGB(200, 0, 0), blue = RGB(0, 0, 200);
  FillFramedRect(dc, 0, 0, 100, 60, white, white, 0);
  ASSERT_TRUE(FillFramedRect(dc, 10, 10, 30, 20, red, blue, 2));
  EXPECT_EQ(red, GetPixel(dc, 10, 10));
  EXPECT_EQ(red, GetPixel(dc, 11, 15)) << "a 2-pixel frame";
  EXPECT_EQ(blue, GetPixel(dc, 12, 15));
  EXPECT_EQ(red, GetPixel(dc, 39, 29)) << "inside its rectangle";
  EXPECT_EQ(white, GetPixel(dc, 40, 30));
  ASSERT_TRUE(FrameRect(dc, 50, 10, 30, 20, red, 1));
  EXPECT_EQ(red, GetPixel(dc, 50, 15));
  EXPECT_EQ(white, GetPixel(dc, 60, 15)) << "hollow";
  ASSERT_TRUE(FillFramedRoundRect(dc, 10, 35, 30, 20, red, blue, 1, 10, 10));
  EXPECT_EQ(white, GetPixel(dc, 10, 35)) << "a round corner";
  EXPECT_EQ(blue, GetPixel(dc, 25, 45));
  ASSERT_TRUE(FrameRoundRect(dc, 50, 35, 30, 20, red, 1, 10, 10));
  EXPECT_EQ(white, GetPixel(dc, 65, 45));
  EXPECT_FALSE(FillFramedRect(nullptr, 0, 0, 5, 5, red, red, 1));
  EXPECT_FALSE(FrameRect(dc, 0, 0, 0, 5, red, 1)) << "no size";

  ASSERT_TRUE(SetClipRect(dc, 0, 0, 5, 5));
  FillFramedRect(dc, 0, 0, 100, 60, red, red, 0);
  EXPECT_EQ(red, GetPixel(dc, 4, 4));
  SelectClipRgn(dc, nullptr);
  EXPECT_EQ(blue, GetPixel(dc, 25, 45)) << "outside the clip";
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(canvas);
}

// Image boxes in a window: their size, colour-keyed drawing and tiling.
TEST_F(WindowTest, ImageAndTiledImageBoxes) {
  const COLORREF key = RGB(255, 0, 255), ink = RGB(0, 0, 160);
  HBITMAP tile = MakeBitmap(30, 30, key, ink);  // ink in the middle 15 x 15
  Image image;
  panel.AddChild(&image, &panel);
  Place(&image, 10, 10);
  EXPECT_EQ(nullptr, image.SetImage(tile, true, key));
  EXPECT_EQ(30, image.Width());
  EXPECT_EQ(30, image.Height());
  ScalableImage tiled;
  panel.AddChild(&tiled, &panel);
  Place(&tiled, 0, 100);
  tiled.SetSize(0, 100, nullptr, 1);
  tiled.SetSize(1, 40, nullptr, 1);
  tiled.SetImage(tile, false, 0);
  EXPECT_EQ(4, tiled.GetColumns()) << "100 pixels of 30-pixel tiles";
  EXPECT_EQ(2, tiled.GetRows());
  EXPECT_EQ(100, tiled.Width()) << "a tiled image keeps its own size";
  platform::Pixels px = Capture();
  EXPECT_EQ(0xFFFFFFu, px.At(11, 11)) << "key pixels leave the background";
  EXPECT_EQ(platform::PixelOf(ink), px.At(25, 25));
  for (int x : {15, 45, 75, 98}) EXPECT_EQ(platform::PixelOf(ink), px.At(x, 115)) << "a tile at " << x;
  EXPECT_EQ(platform::PixelOf(key), px.At(99, 100)) << "the fourth tile, cut at the box's edge";
  EXPECT_EQ(0xFFFFFFu, px.At(100, 115)) << "nothing past it";
  EXPECT_EQ(platform::PixelOf(ink), px.At(15, 138)) << "the second row, cut at 40";
  EXPECT_EQ(0xFFFFFFu, px.At(15, 140));
  tiled.SetSize(0, 130, nullptr, 1);
  EXPECT_EQ(5, tiled.GetColumns()) << "the tiling follows the size";
  EXPECT_EQ(tile, image.SetImage(nullptr, false, 0));
  EXPECT_EQ(0, image.Width());
  panel.RemoveChild(&image);
  panel.RemoveChild(&tiled);
  DeleteObject(tile);
}

}  // namespace
