// tidelark-skin-sheet: every GIF picture of the program's resources, decoded
// the way the program decodes them (ImageResources, imgdecmp.dll), at real
// size and labelled with its identifier, on one contact sheet.
//   tidelark-skin-sheet.exe OUT.png
// Exit 1 when a picture does not decode or the sheet cannot be written.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/bitmap.h"
#include "gui/image_decode.h"
#include "gui/text.h"
#include "platform/png.h"
#include "platform/screenshot.h"

namespace {

constexpr int kSheetWidth = 640;
constexpr int kGap = 8;
constexpr int kLabel = 14;

BOOL CALLBACK Collect(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
  if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<int>*>(list)->push_back(static_cast<int>(LOWORD(name)));
  return TRUE;
}

struct Cell {
  int id;
  HBITMAP bitmap;
  int x, y, w, h;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tidelark-skin-sheet.exe OUT.png\n");
    return 2;
  }
  VexaAppGUISystem::ImageResources images;
  images.Open();
  std::vector<int> ids;
  EnumResourceNamesW(GetModuleHandleW(nullptr), L"GIF", Collect, reinterpret_cast<LONG_PTR>(&ids));
  std::sort(ids.begin(), ids.end());
  // Rows that wrap at the sheet's width, each as high as its tallest picture.
  std::vector<Cell> cells;
  int x = kGap, y = kGap, row_height = 0, failures = 0;
  for (int id : ids) {
    HBITMAP b = images.Load(id);
    int w = 0, h = 0;
    if (!b || !VexaAppGUISystem::GetBitmapSize(b, &w, &h)) {
      std::fprintf(stderr, "tidelark-skin-sheet: picture %d does not decode\n", id);
      ++failures;
      continue;
    }
    const int cell_w = std::max(w, 32);
    if (x + cell_w + kGap > kSheetWidth && x > kGap) {
      x = kGap;
      y += row_height + kLabel + kGap;
      row_height = 0;
    }
    cells.push_back({id, b, x, y, w, h});
    x += cell_w + kGap;
    row_height = std::max(row_height, h);
  }
  const int height = y + row_height + kLabel + kGap;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP sheet = CreateCompatibleBitmap(screen, kSheetWidth, height);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, sheet);
  RECT all = {0, 0, kSheetWidth, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HFONT font = VexaAppGUISystem::CreateTextFont(VexaAppGUISystem::kTextFace, 11, false, false, false);
  HGDIOBJ old_font = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0x40, 0x40, 0x40));
  for (const Cell& c : cells) {
    VexaAppGUISystem::DrawBitmap(c.bitmap, c.x, c.y, dc);
    wchar_t label[16];
    swprintf(label, 16, L"%d", c.id);
    RECT r = {c.x, c.y + c.h + 1, c.x + std::max(c.w, 32), c.y + c.h + 1 + kLabel};
    DrawTextW(dc, label, -1, &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    DeleteObject(c.bitmap);
  }
  SelectObject(dc, old_font);
  DeleteObject(font);
  SelectObject(dc, old);
  DeleteDC(dc);
  platform::Pixels px;
  bool ok = platform::CaptureBitmap(sheet, &px);
  DeleteObject(sheet);
  char path[MAX_PATH];
  WideCharToMultiByte(CP_ACP, 0, argv[1], -1, path, MAX_PATH, nullptr, nullptr);
  if (!ok || !platform::WritePng(path, px.width, px.height, px.data.data())) {
    std::fprintf(stderr, "tidelark-skin-sheet: cannot write %s\n", path);
    return 1;
  }
  std::printf("%s: %zu pictures\n", path, cells.size());
  return failures == 0 && !cells.empty() ? 0 : 1;
}
