// imgdecmp.dll loaded by name, as its callers load it, fed real pictures.
#include "platform/imgdecmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sample_pictures.h"

namespace {

std::vector<BYTE> ReadData(const std::string& name) {
  std::string bytes = sample_pictures::Read(name);
  return std::vector<BYTE>(bytes.begin(), bytes.end());
}

// Hands out the data as a caller does: `chunk` bytes per call at most (0: as
// much as the buffer takes).
struct Feed {
  const std::vector<BYTE>* data;
  size_t at = 0;
  DWORD chunk = 0;
  int calls = 0;
  DWORD lie = 0;  // > 0: claims this many bytes more than it may
};

DWORD CALLBACK GetData(LPSTR buffer, DWORD max, LPARAM param) {
  Feed* f = reinterpret_cast<Feed*>(param);
  ++f->calls;
  if (f->lie) return max + f->lie;
  size_t left = f->data->size() - f->at;
  DWORD n = static_cast<DWORD>(left < max ? left : max);
  if (f->chunk && n > f->chunk) n = f->chunk;
  std::memcpy(buffer, f->data->data() + f->at, n);
  f->at += n;
  return n;
}

DWORD CALLBACK Endless(LPSTR buffer, DWORD max, LPARAM) {
  std::memset(buffer, 'x', max);
  return max;
}

int g_progress = 0;
void CALLBACK Progress(IImageRender* render, BOOL complete, LPARAM) { g_progress += complete && !render; }

class Decoder : public ::testing::Test {
 protected:
  void SetUp() override {
    library = LoadLibraryW(L"imgdecmp.dll");
    ASSERT_NE(nullptr, library);
    decompress = reinterpret_cast<DECOMPRESSIMAGEINDIRECT>(GetProcAddress(library, "DecompressImageIndirect"));
    ASSERT_NE(nullptr, decompress);
  }
  void TearDown() override { FreeLibrary(library); }

  DecompressImageInfo Request(Feed* feed, HBITMAP* out, int depth = 32) {
    DecompressImageInfo info = {};
    info.dwSize = sizeof(info);
    info.pbBuffer = buffer;
    info.dwBufferMax = sizeof(buffer);
    info.phBM = out;
    info.iBitDepth = depth;
    info.lParam = reinterpret_cast<LPARAM>(feed);
    info.iScale = 100;
    info.iMaxWidth = info.iMaxHeight = 10000;
    info.pfnGetData = GetData;
    info.crTransparentOverride = CLR_INVALID;
    return info;
  }

  HRESULT Decode(const std::vector<BYTE>& data, HBITMAP* out, DWORD chunk = 0, int depth = 32) {
    Feed feed{&data, 0, chunk};
    DecompressImageInfo info = Request(&feed, out, depth);
    return decompress(&info);
  }

  HMODULE library = nullptr;
  DECOMPRESSIMAGEINDIRECT decompress = nullptr;
  BYTE buffer[4096];
};

BITMAP Info(HBITMAP b) {
  BITMAP bm = {};
  GetObjectW(b, sizeof bm, &bm);
  if (bm.bmHeight < 0) bm.bmHeight = -bm.bmHeight;
  return bm;
}

std::vector<std::uint32_t> Pixels(HBITMAP b) {
  BITMAP bm = Info(b);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = bm.bmWidth;
  bi.bmiHeader.biHeight = -bm.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  std::vector<std::uint32_t> px(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, b, 0, bm.bmHeight, px.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  for (auto& p : px) p &= 0xFFFFFF;
  return px;
}

// Every sample picture: its true size, fed in chunks one byte short of the
// buffer (as the program's loader feeds) and a byte at a time, the same.
TEST_F(Decoder, EverySamplePictureAtItsTrueSizeOrRefused) {
  for (const sample_pictures::Picture& p : sample_pictures::kAll) {
    SCOPED_TRACE(p.name);
    std::vector<BYTE> data = ReadData(p.name);
    ASSERT_FALSE(data.empty());
    HBITMAP a = nullptr, b = nullptr;
    HRESULT ha = Decode(data, &a, sizeof(buffer) - 1), hb = Decode(data, &b, 1);
    if (p.width == 0) {
      EXPECT_EQ(E_FAIL, ha);
      EXPECT_EQ(nullptr, a);
      EXPECT_EQ(E_FAIL, hb);
      continue;
    }
    ASSERT_EQ(S_OK, ha);
    ASSERT_EQ(S_OK, hb);
    EXPECT_EQ(p.width, Info(a).bmWidth);
    EXPECT_EQ(p.height, Info(a).bmHeight);
    EXPECT_EQ(32, Info(a).bmBitsPixel);
    std::vector<std::uint32_t> pa = Pixels(a);
    EXPECT_EQ(pa, Pixels(b)) << "the feeding pattern changes nothing";
    bool varied = false;
    for (std::uint32_t px : pa) varied = varied || px != pa[0];
    EXPECT_TRUE(varied || p.width == 1) << "a real picture, not a blank";
    DeleteObject(a);
    DeleteObject(b);
  }
}

// The arithmetic-coded JPEG is either decoded whole or refused cleanly.
TEST_F(Decoder, ArithmeticJpegDecodesOrIsRefused) {
  std::vector<BYTE> data = ReadData(sample_pictures::kArithmeticJpeg);
  ASSERT_FALSE(data.empty());
  HBITMAP b = nullptr;
  HRESULT hr = Decode(data, &b);
  if (hr == S_OK) {
    EXPECT_EQ(227, Info(b).bmWidth);
    EXPECT_EQ(149, Info(b).bmHeight);
    DeleteObject(b);
  } else {
    EXPECT_EQ(E_FAIL, hr);
    EXPECT_EQ(nullptr, b);
  }
}

// Transparent pixels keep the palette's colour, or take the override.
TEST_F(Decoder, TransparentGifKeepsItsKeyOrTakesTheOverride) {
  std::vector<BYTE> data = ReadData("pillow-transparent.gif");
  ASSERT_GT(data.size(), 13u);
  // The key colour: the palette entry of the graphic control's transparent index.
  size_t gce = 0;
  for (size_t i = 0; i + 3 < data.size(); ++i)
    if (data[i] == 0x21 && data[i + 1] == 0xF9 && data[i + 2] == 4) gce = i;
  ASSERT_NE(0u, gce);
  ASSERT_TRUE(data[gce + 3] & 1) << "the sample has a transparent index";
  int index = data[gce + 6];
  ASSERT_TRUE(data[10] & 0x80) << "global colour table";
  const BYTE* rgb = &data[13 + 3 * index];
  std::uint32_t key = (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];

  HBITMAP plain = nullptr, magenta = nullptr;
  ASSERT_EQ(S_OK, Decode(data, &plain));
  Feed feed{&data};
  DecompressImageInfo info = Request(&feed, &magenta);
  info.crTransparentOverride = RGB(255, 0, 255);
  ASSERT_EQ(S_OK, decompress(&info));
  std::vector<std::uint32_t> a = Pixels(plain), b = Pixels(magenta);
  ASSERT_EQ(a.size(), b.size());
  int transparent = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    ++transparent;
    EXPECT_EQ(key, a[i]);
    EXPECT_EQ(0xFF00FFu, b[i]);
  }
  EXPECT_GT(transparent, 100);
  DeleteObject(plain);
  DeleteObject(magenta);
}

// Every supported depth, scaled and limited sizes, and the request record's
// other fields.
TEST_F(Decoder, DepthsScaleLimitsAndTheRecord) {
  std::vector<BYTE> data = ReadData("pillow-hopper_resized.gif");
  ASSERT_FALSE(data.empty());
  HBITMAP full = nullptr;
  ASSERT_EQ(S_OK, Decode(data, &full));
  std::vector<std::uint32_t> reference = Pixels(full);
  DeleteObject(full);

  for (int depth : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    HBITMAP b = nullptr;
    ASSERT_EQ(S_OK, Decode(data, &b, 0, depth));
    EXPECT_EQ(depth, Info(b).bmBitsPixel);
    std::vector<std::uint32_t> px = Pixels(b);
    if (depth >= 24 || depth == 8) {
      EXPECT_EQ(reference, px) << "a GIF's colours fit 8 bits exactly";
    }
    if (depth == 16) {
      int off = 0;
      for (size_t i = 0; i < px.size(); ++i)
        for (int shift : {0, 8, 16}) off = std::max(off, std::abs(int((px[i] >> shift) & 0xFF) - int((reference[i] >> shift) & 0xFF)));
      EXPECT_LE(off, 8) << "5-6-5 keeps colours within a step";
    }
    DeleteObject(b);
  }
  HBITMAP b = nullptr;
  EXPECT_EQ(E_INVALIDARG, Decode(data, &b, 0, 2)) << "no 2-bit bitmaps on this platform";

  struct {
    int scale, max_w, max_h, w, h;
  } fits[] = {{50, 10000, 10000, 32, 32}, {100, 16, 10000, 16, 16}, {100, 10000, 20, 20, 20},
              {1, 0, 0, 1, 1},           {0, 0, 0, 64, 64}};
  for (auto& f : fits) {
    Feed feed{&data};
    HBITMAP out = nullptr;
    DecompressImageInfo info = Request(&feed, &out);
    info.iScale = f.scale;
    info.iMaxWidth = f.max_w;
    info.iMaxHeight = f.max_h;
    info.pfnImageProgress = Progress;
    IImageRender* render = reinterpret_cast<IImageRender*>(1);
    info.ppImageRender = &render;
    g_progress = 0;
    ASSERT_EQ(S_OK, decompress(&info)) << f.scale;
    EXPECT_EQ(f.w, Info(out).bmWidth) << f.scale << " " << f.max_w;
    EXPECT_EQ(f.h, Info(out).bmHeight);
    EXPECT_EQ(1, g_progress) << "told once when complete";
    EXPECT_EQ(nullptr, render);
    DeleteObject(out);
  }

  // Data already in the caller's buffer is taken first.
  Feed rest{&data, 100};
  HBITMAP preloaded = nullptr;
  DecompressImageInfo info = Request(&rest, &preloaded);
  std::memcpy(buffer, data.data(), 100);
  info.dwBufferCurrent = 100;
  ASSERT_EQ(S_OK, decompress(&info));
  EXPECT_EQ(reference, Pixels(preloaded));
  DeleteObject(preloaded);
}

TEST_F(Decoder, GifWithoutAnyColourTableIsBlack) {
  // Neither a global nor a local table: the codec must not be asked for a
  // palette the picture does not have (it reads through a null table).
  const std::vector<BYTE> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x00, 0, 0,  // no global table
                                 0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x00,                   // no local table
                                 2, 2, 0x04, 0x0A, 0, 0x3B};  // two pixels of index 0
  HBITMAP b = nullptr;
  ASSERT_EQ(S_OK, Decode(gif, &b));
  EXPECT_EQ(2, Info(b).bmWidth);
  EXPECT_EQ(1, Info(b).bmHeight);
  EXPECT_EQ(Pixels(b), (std::vector<std::uint32_t>{0, 0}));
  DeleteObject(b);
  // With a global table the frame takes its colours from it.
  std::vector<BYTE> global = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60,
                              0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x00, 2, 2, 0x04, 0x0A, 0, 0x3B};
  ASSERT_EQ(S_OK, Decode(global, &b));
  EXPECT_EQ(Pixels(b)[0], 0x102030u);
  DeleteObject(b);
}

TEST_F(Decoder, BadRequestsAndBadDataAreRefused) {
  std::vector<BYTE> data = ReadData("wuffs-hippopotamus.interlaced.gif");
  ASSERT_FALSE(data.empty());
  Feed feed{&data};
  HBITMAP out = reinterpret_cast<HBITMAP>(1);
  DecompressImageInfo info = Request(&feed, &out);
  info.dwSize = 60;
  EXPECT_EQ(E_INVALIDARG, decompress(&info)) << "a record smaller than ours";
  EXPECT_EQ(nullptr, out);
  info = Request(&feed, nullptr);
  EXPECT_EQ(E_INVALIDARG, decompress(&info));
  info = Request(&feed, &out);
  info.pfnGetData = nullptr;
  EXPECT_EQ(E_INVALIDARG, decompress(&info));
  EXPECT_EQ(E_INVALIDARG, decompress(nullptr));

  Feed liar{&data};
  liar.lie = 1;
  info = Request(&liar, &out);
  EXPECT_EQ(E_FAIL, decompress(&info)) << "more bytes than the buffer holds";
  info = Request(&feed, &out);
  info.pfnGetData = Endless;
  EXPECT_EQ(E_OUTOFMEMORY, decompress(&info)) << "data without end";
  EXPECT_EQ(nullptr, out);

  // Not pictures, other formats, and damaged ones.
  std::vector<BYTE> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  std::vector<BYTE> text(200, 'a');
  std::vector<BYTE> empty;
  std::vector<BYTE> header_only(data.begin(), data.begin() + 13);
  std::vector<BYTE> garbled = data;
  for (size_t i = 40; i < garbled.size() - 1; i += 3) garbled[i] ^= 0x5A;
  // A JPEG whose scan ends early: some decoders fill the rest with grey.
  std::vector<BYTE> jpeg = ReadData("libjpeg-turbo-testorig.jpg");
  ASSERT_GT(jpeg.size(), 3000u);
  std::vector<BYTE> no_end(jpeg.begin(), jpeg.end() - 2), cut_scan(jpeg.begin(), jpeg.begin() + 3000);
  for (const std::vector<BYTE>* bad : {&png, &text, &empty, &header_only, &garbled, &no_end, &cut_scan}) {
    HBITMAP b = nullptr;
    HRESULT hr = Decode(*bad, &b);
    if (bad == &garbled && hr == S_OK) {
      // Scrambled codes may still decode: then at the picture's size.
      EXPECT_EQ(36, Info(b).bmWidth);
      DeleteObject(b);
      continue;
    }
    EXPECT_EQ(E_FAIL, hr);
    EXPECT_EQ(nullptr, b);
  }
}

}  // namespace
