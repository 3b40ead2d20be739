// The program's resource object, linked into this test as into the program:
// every row of the skin's table is a "GIF" resource holding that picture,
// decodable to its size with the colour key exact, and nothing else is; the
// version resource says Tidelark 1.13.1; the icon comes in its four sizes.
#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "resources/program.h"
#include "skin_table.h"

namespace {

using skin_test::SkinEntry;

const std::string kSkin = std::string(TIDELARK_SOURCE_DIR) + "/resources/skin";

std::vector<SkinEntry> Table() {
  return skin_test::ParseSkinTable(skin_test::ReadFileBytes(kSkin + "/README.md"));
}

std::string Resource(int id, const wchar_t* type) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (!found) return {};
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  return bytes ? std::string(bytes, SizeofResource(nullptr, found)) : std::string();
}

template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

TEST(ProgramResources, EveryRowIsAGifResourceOfItsSize) {
  std::vector<SkinEntry> table = Table();
  ASSERT_EQ(table.size(), size_t(skin_test::kPictureCount));
  for (const SkinEntry& e : table) {
    std::string bytes = Resource(e.id, L"GIF");
    ASSERT_FALSE(bytes.empty()) << "no GIF resource " << e.id;
    skin_test::GifHeader h;
    ASSERT_TRUE(skin_test::ParseGifHeader(bytes, &h)) << e.id;
    EXPECT_EQ(h.width, e.width) << e.id;
    EXPECT_EQ(h.height, e.height) << e.id;
    EXPECT_EQ(bytes, skin_test::ReadFileBytes(kSkin + "/gif/" + std::to_string(e.id) + ".gif"))
        << e.id << " is not the picture the tree holds";
  }
}

BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
  reinterpret_cast<std::vector<int>*>(ids)->push_back(IS_INTRESOURCE(name) ? int(LOWORD(name)) : -1);
  return TRUE;
}

TEST(ProgramResources, NoGifResourceOutsideTheTable) {
  std::vector<int> ids;
  ASSERT_TRUE(EnumResourceNamesW(nullptr, L"GIF", CollectId, reinterpret_cast<LONG_PTR>(&ids)));
  std::set<int> rows;
  for (const SkinEntry& e : Table()) rows.insert(e.id);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(std::set<int>(ids.begin(), ids.end()), rows);
  EXPECT_EQ(ids.size(), rows.size());
}

// Windows Imaging Component is what the program's decoder uses: the pictures must
// come out at their size, keyed ones with RGB(255, 0, 255) exact, others without it.
TEST(ProgramResources, PicturesDecodeWithTheColourKeyExactWhereUsed) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    Com<IWICImagingFactory> factory;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))));
    std::vector<SkinEntry> table = Table();
    ASSERT_FALSE(table.empty());
    for (const SkinEntry& e : table) {
      std::string bytes = Resource(e.id, L"GIF");
      Com<IWICStream> stream;
      Com<IWICBitmapDecoder> decoder;
      Com<IWICBitmapFrameDecode> frame;
      Com<IWICFormatConverter> converter;
      ASSERT_TRUE(SUCCEEDED(factory->CreateStream(&stream)));
      ASSERT_TRUE(SUCCEEDED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(&bytes[0]), DWORD(bytes.size()))));
      ASSERT_TRUE(SUCCEEDED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                                             &decoder))) << e.id;
      ASSERT_TRUE(SUCCEEDED(decoder->GetFrame(0, &frame))) << e.id;
      UINT w = 0, h = 0;
      ASSERT_TRUE(SUCCEEDED(frame->GetSize(&w, &h)));
      EXPECT_EQ(int(w), e.width) << e.id;
      EXPECT_EQ(int(h), e.height) << e.id;
      ASSERT_TRUE(SUCCEEDED(factory->CreateFormatConverter(&converter)));
      ASSERT_TRUE(SUCCEEDED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                                  nullptr, 0, WICBitmapPaletteTypeCustom)));
      std::vector<UINT32> pixels(size_t(w) * h);
      ASSERT_TRUE(SUCCEEDED(converter->CopyPixels(nullptr, w * 4, UINT(pixels.size() * 4),
                                                  reinterpret_cast<BYTE*>(pixels.data()))));
      size_t keyed = 0;
      for (UINT32 px : pixels) keyed += (px & 0xFFFFFF) == skin_test::kKeyColour;
      if (e.keyed) {
        EXPECT_GT(keyed, 0u) << e.id;
        EXPECT_EQ(pixels[0] & 0xFFFFFF, skin_test::kKeyColour) << e.id << ": a keyed picture's corner is the key";
      } else {
        EXPECT_EQ(keyed, 0u) << e.id;
      }
    }
  }
  CoUninitialize();
}

std::wstring Hex4(unsigned v) {
  const wchar_t* digits = L"0123456789abcdef";
  std::wstring s;
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[(v >> shift) & 15];
  return s;
}

TEST(ProgramResources, VersionResourceSaysTidelark1131) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  for (DWORD ms : {fixed->dwProductVersionMS, fixed->dwFileVersionMS}) {
    EXPECT_EQ(HIWORD(ms), 1);
    EXPECT_EQ(LOWORD(ms), 13);
  }
  for (DWORD ls : {fixed->dwProductVersionLS, fixed->dwFileVersionLS}) {
    EXPECT_EQ(HIWORD(ls), 1);
    EXPECT_EQ(LOWORD(ls), 0);
  }

  struct Translation {
    WORD language, codepage;
  }* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len));
  ASSERT_GE(len, sizeof(Translation));
  auto value = [&](const wchar_t* key) {
    std::wstring query =
        L"\\StringFileInfo\\" + Hex4(translation->language) + Hex4(translation->codepage) + L"\\" + key;
    wchar_t* text = nullptr;
    UINT n = 0;
    bool found = VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &n) && text;
    return found ? std::wstring(text) : std::wstring();
  };
  EXPECT_EQ(value(L"ProductName"), L"Tidelark");
  EXPECT_EQ(value(L"ProductVersion"), L"1.13.1");
  EXPECT_EQ(value(L"FileVersion"), L"1.13.1");
  EXPECT_EQ(value(L"OriginalFilename"), L"Tidelark.exe");
}

TEST(ProgramResources, IconComesInFourSizes) {
  std::string group = Resource(IDI_TIDELARK, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u);
  const unsigned char* dir = reinterpret_cast<const unsigned char*>(group.data());
  int count = dir[4] | (dir[5] << 8);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::set<int> sizes;
  for (int i = 0; i < count; ++i) {
    const unsigned char* entry = dir + 6 + 14 * i;
    EXPECT_EQ(entry[0], entry[1]) << "square";
    EXPECT_EQ(entry[6] | (entry[7] << 8), 32) << "32 bits per pixel";
    sizes.insert(entry[0]);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48}));
  for (int s : sizes) {
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TIDELARK), IMAGE_ICON,
                                               s, s, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr) << s;
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(icon, &ii));
    BITMAP bm{};
    ASSERT_TRUE(GetObjectW(ii.hbmColor, sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, s);
    EXPECT_EQ(bm.bmHeight, s);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    DestroyIcon(icon);
  }
}

}  // namespace
