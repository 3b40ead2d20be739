// Text drawing primitives on the device's text functions. Measuring uses one
// screen-compatible dc made once; painting draws once and measures only when
// the vertical alignment needs the text's height.
#include <cstring>
#include <cwchar>
#include <vector>

#include "gui/text.h"
#include "scratch_dc.h"

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

// The dc state a text draw sets, put back when the draw is done.
class TextState {
 public:
  TextState(HDC dc, HFONT font, COLORREF text, bool transparent, COLORREF background) : dc_(dc) {
    old_font_ = font ? SelectObject(dc, font) : nullptr;
    old_mode_ = SetBkMode(dc, transparent ? TRANSPARENT : OPAQUE);
    old_background_ = SetBkColor(dc, background);
    old_text_ = SetTextColor(dc, text);
  }
  ~TextState() {
    SetTextColor(dc_, old_text_);
    SetBkColor(dc_, old_background_);
    SetBkMode(dc_, old_mode_);
    if (old_font_) SelectObject(dc_, old_font_);
  }
  TextState(const TextState&) = delete;
  TextState& operator=(const TextState&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_font_;
  int old_mode_;
  COLORREF old_background_, old_text_;
};

// Measuring ignores alignment: some implementations shift the calculated
// rectangle by the centring offset, which would count as text size.
constexpr UINT kAlignment = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;

UINT StyleFlags(const TextStyle& style) {
  UINT flags = DT_NOPREFIX;
  if (style.multiLine) {
    if (style.wordBreak) flags |= DT_WORDBREAK;
  } else {
    flags |= DT_SINGLELINE;
    if (style.vertical == 2) flags |= DT_VCENTER;
    if (style.vertical == 1) flags |= DT_BOTTOM;
  }
  if (style.horizontal == 1) flags |= DT_RIGHT;
  if (style.horizontal == 2) flags |= DT_CENTER;
  return flags;
}

bool Measure(HDC dc, const wchar_t* text, const RECT& area, UINT flags, RECT* out) {
  *out = area;
  return DrawTextW(dc, text, -1, out, (flags | DT_CALCRECT) & ~kAlignment) != 0 || !text[0];
}

// Moves the top of `area` down so that text `height` high sits at the
// bottom (1) or the middle (2) of it; works for wrapped lines too.
void AlignVertically(RECT* area, int vertical, int height) {
  int room = (area->bottom - area->top) - height;
  if (room <= 0) return;
  if (vertical == 1) area->top += room;
  if (vertical == 2) area->top += room / 2;
}

// Draws a styled text; measures first only for multi-line text aligned down
// or to the middle. False when that measure fails.
bool PaintStyled(HDC dc, const wchar_t* text, RECT* area, const TextStyle& style, UINT flags) {
  if (!style.transparent && style.fill) {
    HBRUSH b = CreateSolidBrush(style.backgroundColour);
    FillRect(dc, area, b);
    DeleteObject(b);
  }
  if (style.multiLine && (style.vertical == 1 || style.vertical == 2)) {
    RECT m;
    if (!Measure(dc, text, *area, flags, &m)) return false;
    AlignVertically(area, style.vertical, m.bottom - m.top);
  }
  RECT d = *area;
  return DrawTextW(dc, text, -1, &d, flags) != 0 || !text[0];
}

LOGFONTW CurrentFont(HDC dc) {
  LOGFONTW lf = {};
  HGDIOBJ selected = GetCurrentObject(dc, OBJ_FONT);
  if (selected) GetObjectW(selected, sizeof(lf), &lf);
  return lf;
}

// Cuts a text that reaches past `right` (a dc coordinate): the last three
// characters that fit become dots, moving left until the dotted text fits.
void CutWithDots(HDC dc, wchar_t* text, RECT* measured, const RECT& area, UINT flags, int right, HFONT font) {
  int length = static_cast<int>(wcslen(text));
  int fit = CountFittingCharacters(dc, text, right - area.left, &font);
  if (fit > length) fit = length;
  for (int end = fit; end >= 0; --end) {
    int start = end >= 3 ? end - 3 : 0;
    for (int i = start; i < start + 3 && i < length; ++i) text[i] = L'.';
    if (start + 3 <= length) text[start + 3] = 0;
    Measure(dc, text, area, flags, measured);
    if (measured->right <= right || start == 0) return;
  }
}

UINT BlockFlags(int horizontal) {
  UINT flags = DT_NOPREFIX | DT_WORDBREAK;
  if (horizontal == 1) flags |= DT_RIGHT;
  if (horizontal == 2) flags |= DT_CENTER;
  return flags;
}

}  // namespace

// ---- Block fonts ------------------------------------------------------------------

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

// ---- Styled text --------------------------------------------------------------------

bool DrawStyledText(HDC dc, const wchar_t* text, int* x, int* y, int* width, int* height, const TextStyle* style) {
  if (!text || !x || !y || !width || !height || !style) return false;
  const bool measuring = dc == nullptr;
  HDC use = measuring ? MeasuringDC() : dc;
  if (!use) return false;
  // Measuring always uses a transparent background.
  TextState state(use, style->font, style->textColour, measuring || style->transparent, style->backgroundColour);
  const UINT flags = StyleFlags(*style);
  RECT area = {*x, *y, *x + *width, *y + *height};
  if (!measuring && !PaintStyled(use, text, &area, *style, flags)) return false;
  RECT real;
  if (!Measure(use, text, area, flags, &real)) return false;
  int w = real.right - real.left;
  *y = area.top;
  *height = real.bottom - real.top;
  if (style->horizontal == 1) *x = area.right - w;
  if (style->horizontal == 2) *x = area.left + ((area.right - area.left) - w) / 2;
  *width = w;
  return true;
}

bool PaintStyledText(HDC dc, const wchar_t* text, int x, int y, int width, int height, const TextStyle* style) {
  if (!dc || !text || !style) return false;
  TextState state(dc, style->font, style->textColour, style->transparent, style->backgroundColour);
  RECT area = {x, y, x + width, y + height};
  return PaintStyled(dc, text, &area, *style, StyleFlags(*style));
}

// ---- Text blocks --------------------------------------------------------------------

bool DrawTextBlock(bool measureOnly, int* width, int* height, HDC dc, int x, int y, int marginX, int marginY,
                   int horizontal, int vertical, wchar_t* text, COLORREF textColour, int fontHeight,
                   bool transparent, COLORREF backgroundColour, bool bold, bool italic, bool underline,
                   int ellipsisWidth) {
  if (!width || !height || !text) return false;
  HDC use = dc ? dc : MeasuringDC();
  if (!use) return false;
  if (!dc) measureOnly = true;
  HFONT font = AcquireBlockFont(fontHeight != -1 ? fontHeight : CurrentFont(use).lfHeight, bold, italic, underline);
  bool ok;
  {
    TextState state(use, font, textColour, transparent, backgroundColour);
    const UINT flags = BlockFlags(horizontal);
    RECT area = {x + marginX, y + marginY, x + *width, y + *height};
    RECT m;
    ok = Measure(use, text, area, flags, &m);
    if (ok && ellipsisWidth > 0 && m.right > ellipsisWidth && wcslen(text) >= 3)
      CutWithDots(use, text, &m, area, flags, ellipsisWidth, font);
    if (ok && !measureOnly) {
      AlignVertically(&area, vertical, m.bottom - m.top);
      DrawTextW(use, text, -1, &area, flags);
    }
    *width = m.right - m.left;
    *height = m.bottom - m.top;
  }
  ReleaseBlockFont(font);
  return ok;
}

bool PaintTextBlock(HDC dc, int x, int y, int width, int height, int marginX, int marginY, int horizontal,
                    int vertical, const wchar_t* text, COLORREF textColour, int fontHeight, bool transparent,
                    COLORREF backgroundColour, bool bold, bool italic, bool underline) {
  if (!dc || !text) return false;
  HFONT font = AcquireBlockFont(fontHeight != -1 ? fontHeight : CurrentFont(dc).lfHeight, bold, italic, underline);
  bool ok = true;
  {
    TextState state(dc, font, textColour, transparent, backgroundColour);
    const UINT flags = BlockFlags(horizontal);
    RECT area = {x + marginX, y + marginY, x + width, y + height};
    if (vertical == 1 || vertical == 2) {
      RECT m;
      ok = Measure(dc, text, area, flags, &m);
      AlignVertically(&area, vertical, m.bottom - m.top);
    }
    if (ok) DrawTextW(dc, text, -1, &area, flags);
  }
  ReleaseBlockFont(font);
  return ok;
}

// ---- Measures and fonts ------------------------------------------------------------

int CountFittingCharacters(HDC dc, const wchar_t* text, int width, HFONT* font) {
  if (!text || width <= 0) return 0;
  HDC use = dc ? dc : MeasuringDC();
  if (!use) return 0;
  HGDIOBJ old = (font && *font) ? SelectObject(use, *font) : nullptr;
  int fit = 0;
  SIZE size;
  GetTextExtentExPointW(use, text, static_cast<int>(wcslen(text)), width, &fit, nullptr, &size);
  if (old) SelectObject(use, old);
  return fit;
}

int MeasureNarrowText(const char* text, HDC dc) {
  if (!text) return 0;
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return 0;
  std::vector<wchar_t> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
  HDC use = dc ? dc : MeasuringDC();
  SIZE size = {0, 0};
  if (use) GetTextExtentPoint32W(use, wide.data(), n - 1, &size);
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
