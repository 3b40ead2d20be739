// Text drawing primitives on the device's text functions.
#include <cstring>
#include <cwchar>
#include <vector>

#include "gui/text.h"

namespace VexaAppGUISystem {

namespace {

// Fonts of text blocks, shared by every label with the same height and
// style, and freed when the last holder lets go. The toolkit runs on one
// thread; a few entries, searched linearly.
struct BlockFont {
  LONG height, weight;
  BYTE italic, underline;
  HFONT font;
  int users;
};

std::vector<BlockFont>& BlockFonts() {
  static std::vector<BlockFont> fonts;
  return fonts;
}

}  // namespace

HFONT AcquireBlockFont(int height, bool bold, bool italic, bool underline) {
  LONG weight = bold ? 700 : 400;
  for (BlockFont& f : BlockFonts()) {
    if (f.height == height && f.weight == weight && f.italic == italic && f.underline == underline) {
      ++f.users;
      return f.font;
    }
  }
  HFONT font = CreateTextFont(kTextFace, height, bold, italic, underline);
  if (!font) return nullptr;
  BlockFonts().push_back(BlockFont{height, weight, static_cast<BYTE>(italic), static_cast<BYTE>(underline), font, 1});
  return font;
}

void ReleaseBlockFont(HFONT font) {
  std::vector<BlockFont>& fonts = BlockFonts();
  for (size_t i = 0; i < fonts.size(); ++i) {
    if (fonts[i].font != font) continue;
    if (--fonts[i].users == 0) {
      DeleteObject(font);
      fonts.erase(fonts.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return;
  }
}

int LiveBlockFonts() { return static_cast<int>(BlockFonts().size()); }

bool DrawStyledText(HDC dc, const wchar_t* text, int* x, int* y, int* width, int* height, const TextStyle* style) {
  if (!text || !x || !y || !width || !height || !style) return false;
  const bool measuring = dc == nullptr;
  HDC use = measuring ? GetDC(nullptr) : dc;
  if (!use) return false;
  HGDIOBJ old_font = style->font ? SelectObject(use, style->font) : nullptr;
  int old_mode = GetBkMode(use);
  COLORREF old_bk = GetBkColor(use);
  COLORREF old_text = SetTextColor(use, style->textColour);
  RECT r = {*x, *y, *x + *width, *y + *height};
  if (measuring || style->transparent) {
    SetBkMode(use, TRANSPARENT);
  } else {
    if (style->fill) {
      HBRUSH b = CreateSolidBrush(style->backgroundColour);
      FillRect(use, &r, b);
      DeleteObject(b);
    }
    SetBkMode(use, OPAQUE);
    SetBkColor(use, style->backgroundColour);
  }
  UINT flags = DT_NOPREFIX;
  if (measuring) flags |= DT_CALCRECT;
  if (style->multiLine) {
    if (style->wordBreak) flags |= DT_WORDBREAK;
  } else {
    flags |= DT_SINGLELINE;
    if (style->vertical == 2) flags |= DT_VCENTER;
    if (style->vertical == 1) flags |= DT_BOTTOM;
  }
  if (style->horizontal == 1) flags |= DT_RIGHT;
  if (style->horizontal == 2) flags |= DT_CENTER;
  bool ok = true;
  if (!measuring && style->multiLine && (style->vertical == 1 || style->vertical == 2)) {
    RECT m = r;
    if (DrawTextW(use, text, -1, &m, (flags | DT_CALCRECT) & ~(DT_CENTER | DT_RIGHT)) == 0 && text[0]) {
      ok = false;
    } else {
      int shift = (r.bottom - r.top) - (m.bottom - m.top);
      if (style->vertical == 2) shift /= 2;
      r.top += shift;
    }
  }
  // Measuring ignores alignment: some implementations shift the calculated
  // rectangle by the centring offset, which would count as text size.
  const UINT measure_flags = (flags | DT_CALCRECT) & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM);
  if (ok) {
    RECT measured = r;
    int h = DrawTextW(use, text, -1, &measured, measuring ? measure_flags : flags);
    if (h == 0 && text[0]) {
      ok = false;
    } else {
      RECT real = r;
      if (!measuring) DrawTextW(use, text, -1, &real, measure_flags);
      else real = measured;
      *y = r.top;
      *height = real.bottom - real.top;
      int w = real.right - real.left;
      if (style->horizontal == 1) *x = r.right - w;
      if (style->horizontal == 2) *x = r.left + ((r.right - r.left) - w) / 2;
      *width = w;
    }
  }
  SetTextColor(use, old_text);
  SetBkMode(use, old_mode);
  SetBkColor(use, old_bk);
  if (old_font) SelectObject(use, old_font);
  if (measuring) ReleaseDC(nullptr, use);
  return ok;
}

namespace {

// Cuts a text that reaches past `right` (a dc coordinate): the last three
// characters that fit become dots, moving left until the dotted text fits.
void CutWithDots(HDC dc, wchar_t* text, RECT* measured, const RECT& area, UINT measureFlags, int right, HFONT font) {
  int length = static_cast<int>(wcslen(text));
  int fit = CountFittingCharacters(dc, text, right - area.left, &font);
  if (fit > length) fit = length;
  for (int end = fit; end >= 0; --end) {
    int start = end >= 3 ? end - 3 : 0;
    for (int i = start; i < start + 3 && i < length; ++i) text[i] = L'.';
    if (start + 3 <= length) text[start + 3] = 0;
    *measured = area;
    DrawTextW(dc, text, -1, measured, measureFlags);
    if (measured->right <= right || start == 0) return;
  }
}

}  // namespace

bool DrawTextBlock(bool measureOnly, int* width, int* height, HDC dc, int x, int y, int marginX, int marginY,
                   int horizontal, int vertical, wchar_t* text, COLORREF textColour, int fontHeight,
                   bool transparent, COLORREF backgroundColour, bool bold, bool italic, bool underline,
                   int ellipsisWidth) {
  if (!width || !height || !text) return false;
  HDC use = dc;
  if (!use) {
    HDC screen = GetDC(nullptr);
    use = screen ? CreateCompatibleDC(screen) : nullptr;
    if (screen) ReleaseDC(nullptr, screen);
    measureOnly = true;
  }
  if (!use) return false;
  int cell = fontHeight;
  if (cell == -1) {
    LOGFONTW current;
    HGDIOBJ selected = GetCurrentObject(use, OBJ_FONT);
    cell = (selected && GetObjectW(selected, sizeof(current), &current)) ? current.lfHeight : 0;
  }
  HFONT font = AcquireBlockFont(cell, bold, italic, underline);
  HGDIOBJ old_font = SelectObject(use, font);
  int old_mode = SetBkMode(use, transparent ? TRANSPARENT : OPAQUE);
  COLORREF old_bk = SetBkColor(use, backgroundColour);
  COLORREF old_text = SetTextColor(use, textColour);
  RECT area = {x + marginX, y + marginY, x + *width, y + *height};
  UINT flags = DT_NOPREFIX | DT_WORDBREAK;
  if (horizontal == 1) flags |= DT_RIGHT;
  if (horizontal == 2) flags |= DT_CENTER;
  const UINT measure_flags = flags | DT_CALCRECT;
  RECT m = area;
  DrawTextW(use, text, -1, &m, measure_flags & ~(DT_CENTER | DT_RIGHT));
  if (ellipsisWidth > 0 && m.right > ellipsisWidth && wcslen(text) >= 3)
    CutWithDots(use, text, &m, area, measure_flags & ~(DT_CENTER | DT_RIGHT), ellipsisWidth, font);
  if (!measureOnly) {
    // Vertical alignment by measure and shift: it works for one line and for
    // wrapped lines alike, where DT_VCENTER needs a single line.
    RECT d = area;
    int room = (area.bottom - area.top) - (m.bottom - m.top);
    if (vertical == 1 && room > 0) d.top += room;
    if (vertical == 2 && room > 0) d.top += room / 2;
    DrawTextW(use, text, -1, &d, flags);
  }
  *width = m.right - m.left;
  *height = m.bottom - m.top;
  SetTextColor(use, old_text);
  SetBkColor(use, old_bk);
  SetBkMode(use, old_mode);
  SelectObject(use, old_font);
  ReleaseBlockFont(font);
  if (!dc) DeleteDC(use);
  return true;
}

int CountFittingCharacters(HDC dc, const wchar_t* text, int width, HFONT* font) {
  if (!text || width <= 0) return 0;
  HDC use = dc ? dc : GetDC(nullptr);
  if (!use) return 0;
  HGDIOBJ old = (font && *font) ? SelectObject(use, *font) : nullptr;
  int fit = 0;
  SIZE size;
  GetTextExtentExPointW(use, text, static_cast<int>(wcslen(text)), width, &fit, nullptr, &size);
  if (old) SelectObject(use, old);
  if (!dc) ReleaseDC(nullptr, use);
  return fit;
}

int MeasureNarrowText(const char* text, HDC dc) {
  if (!text) return 0;
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return 0;
  wchar_t* wide = new wchar_t[n];
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, n);
  HDC use = dc ? dc : GetDC(nullptr);
  SIZE size = {0, 0};
  if (use) GetTextExtentPoint32W(use, wide, n - 1, &size);
  if (use && !dc) ReleaseDC(nullptr, use);
  delete[] wide;
  return size.cx;
}

HFONT CreateTextFont(const wchar_t* face, int height, bool bold, bool italic, bool underline) {
  LOGFONTW lf = {};
  lf.lfHeight = height;
  lf.lfWeight = bold ? 700 : 400;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(lf.lfFaceName, face ? face : L"Ariel", 31);
  lf.lfFaceName[31] = 0;
  return CreateFontIndirectW(&lf);
}

}  // namespace VexaAppGUISystem
