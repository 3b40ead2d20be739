#include <cwchar>

#include "gui/text.h"
#include "platform/device.h"

namespace VexaAppGUISystem {

namespace {
constexpr int kEllipsisSpare = 5;
const wchar_t kDots[] = L"...";

wchar_t* CopyWithSpare(const wchar_t* text, int spare) {
  size_t n = wcslen(text);
  wchar_t* copy = new wchar_t[n + 1 + spare];
  wmemcpy(copy, text, n + 1);
  return copy;
}
}  // namespace

// ---- TextBase -------------------------------------------------------------------

TextBase::~TextBase() { delete[] text_; }

void TextBase::SetText(const wchar_t* text, COLORREF textColour, int fontHeight, bool transparent,
                       COLORREF background, bool bold, bool italic, bool underline, bool fit) {
  text_colour_ = textColour;
  font_height_ = fontHeight;
  transparent_ = transparent;
  background_ = background;
  bold_ = bold, italic_ = italic, underline_ = underline;
  if (text != text_) {
    delete[] text_;
    text_ = text ? CopyWithSpare(text, kEllipsisSpare) : nullptr;
  }
  if (fit) {
    int w, h;
    // The first pass may cut the text; the second measures what is left.
    if (Measure(&w, &h) && Measure(&w, &h)) {
      SetSize(0, w, nullptr, 1);
      SetSize(1, h, nullptr, 1);
    }
  }
  if (shown_) InvalidateAll();
}

bool TextBase::Measure(int* width, int* height) {
  if (!text_ || !width || !height) return false;
  platform::device::ScreenMetrics screen = platform::device::Screen();
  int w = measure_width_, h = measure_height_;
  if (w == -1) w = size_[0] > 0 ? size_[0] : screen.width;
  if (h == -1) h = size_[1] > 0 ? size_[1] : screen.height;
  int mw = w, mh = h;
  if (!DrawTextBlock(true, &mw, &mh, nullptr, 0, 0, 0, 0, horizontal_, vertical_, text_, text_colour_,
                     font_height_, transparent_, background_, bold_, italic_, underline_, ellipsis_ ? w : 0))
    return false;
  *width = mw + 2 * margin_x_;
  *height = mh + 2 * margin_y_;
  return true;
}

void TextBase::Paint(HDC dc, int originX, int originY, int, int, int, int) {
  if (!dc || !text_ || !visible_) return;
  int w = size_[0], h = size_[1];
  DrawTextBlock(false, &w, &h, dc, originX, originY, margin_x_, margin_y_, horizontal_, vertical_, text_,
                text_colour_, font_height_, transparent_, background_, bold_, italic_, underline_, 0);
}

// ---- Text -----------------------------------------------------------------------

Text::~Text() { delete[] text_; }

void Text::SetText(const wchar_t* text) {
  delete[] text_;
  text_ = text ? CopyWithSpare(text, 0) : nullptr;
  LayoutText();
}

void Text::SetStyle(const TextStyle& style) {
  style_ = style;
  if (text_) LayoutText();
}

void Text::SetWrapping(bool multiLine, bool wordBreak, int horizontal, int vertical) {
  style_.multiLine = multiLine;
  style_.wordBreak = wordBreak;
  style_.horizontal = horizontal;
  style_.vertical = vertical;
  if (text_) LayoutText();
}

void Text::SetColours(COLORREF text, COLORREF background, bool transparent, bool fill) {
  style_.textColour = text;
  style_.backgroundColour = background;
  style_.transparent = transparent;
  style_.fill = fill;
  if (text_) LayoutText();
}

void Text::SetMinimumSize(int width, int height) {
  min_width_ = width, min_height_ = height;
  if (text_) LayoutText();
}

void Text::SetMaximumSize(int width, int height) {
  max_width_ = width, max_height_ = height;
  if (text_) LayoutText();
}

void Text::SetMargins(int left, int right, int top, int bottom) {
  margin_left_ = left, margin_right_ = right, margin_top_ = top, margin_bottom_ = bottom;
  if (text_) LayoutText();
}

void Text::SetEllipsis(bool flag) {
  ellipsis_ = flag;
  if (text_) LayoutText();
}

void Text::OnResized(int) { LayoutText(); }

void Text::LayoutText() {
  if (busy_ || !text_) return;
  if (size_[0] < 0 || size_[1] < 0) return;
  busy_ = true;
  // The box sizes itself: measure against its limits rather than its current size.
  platform::device::ScreenMetrics screen = platform::device::Screen();
  int x = 0, y = 0;
  int w = (max_width_ > 0 ? max_width_ : screen.width) - margin_left_ - margin_right_;
  int h = (max_height_ > 0 ? max_height_ : 0x7FFF) - margin_top_ - margin_bottom_;
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  TextStyle measure = style_;
  if (!DrawStyledText(nullptr, text_, &x, &y, &w, &h, &measure)) {
    busy_ = false;
    return;
  }
  truncated_ = false;
  cut_index_ = static_cast<int>(wcslen(text_));
  int width = w + margin_left_ + margin_right_;
  if (width < min_width_) width = min_width_;
  if (max_width_ > 0 && width > max_width_) {
    width = max_width_;
    if (ellipsis_ && !style_.multiLine) {
      int dx = 0, dy = 0, dw = 0x7FFF, dh = 0x7FFF;
      DrawStyledText(nullptr, kDots, &dx, &dy, &dw, &dh, &measure);
      HFONT font = style_.font;
      int room = max_width_ - margin_left_ - margin_right_ - dw;
      cut_index_ = CountFittingCharacters(nullptr, text_, room, &font);
      int kx = 0, ky = 0, kw = 0x7FFF, kh = 0x7FFF;
      wchar_t saved = text_[cut_index_];
      text_[cut_index_] = 0;
      kw = 0x7FFF;
      if (cut_index_ > 0) DrawStyledText(nullptr, text_, &kx, &ky, &kw, &kh, &measure);
      else kw = 0;
      text_[cut_index_] = saved;
      ellipsis_x_ = margin_left_ + kw;
      truncated_ = true;
    }
  }
  int height = h + margin_top_ + margin_bottom_;
  if (height < min_height_) height = min_height_;
  if (max_height_ > 0 && height > max_height_) height = max_height_;
  SetSize(0, width, nullptr, 1);
  SetSize(1, height, nullptr, 1);
  busy_ = false;
  if (shown_) InvalidateAll();
}

void Text::Paint(HDC dc, int originX, int originY, int, int, int, int) {
  if (!dc || !text_ || !visible_) return;
  int x = originX + margin_left_, y = originY + margin_top_;
  int w = size_[0] - margin_left_ - margin_right_, h = size_[1] - margin_top_ - margin_bottom_;
  if (style_.fill && !style_.transparent) {
    RECT r = {originX, originY, originX + size_[0], originY + size_[1]};
    HBRUSH b = CreateSolidBrush(style_.backgroundColour);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  TextStyle draw = style_;
  draw.fill = false;
  if (!truncated_) {
    DrawStyledText(dc, text_, &x, &y, &w, &h, &draw);
    return;
  }
  wchar_t saved = text_[cut_index_];
  text_[cut_index_] = 0;
  draw.horizontal = 0;
  int kw = ellipsis_x_ - margin_left_;
  DrawStyledText(dc, text_, &x, &y, &kw, &h, &draw);
  text_[cut_index_] = saved;
  int ex = originX + ellipsis_x_, ey = originY + margin_top_;
  int ew = size_[0] - ellipsis_x_, eh = size_[1] - margin_top_ - margin_bottom_;
  DrawStyledText(dc, kDots, &ex, &ey, &ew, &eh, &draw);
}

}  // namespace VexaAppGUISystem
