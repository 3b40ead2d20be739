// TextBase, a measured label, and Text, a paragraph that wraps in the width
// its owner gives it (or within its limits when it sizes itself).
#include <cwchar>

#include "gui/text.h"
#include "platform/device.h"
#include "wide_text.h"

namespace VexaAppGUISystem {

const wchar_t kTextFace[] = L"Tahoma";

namespace {
constexpr int kEllipsisSpare = 5;
const wchar_t kDots[] = L"...";

// The size of a text measured as it will be drawn.
bool MeasureStyled(const wchar_t* text, int width, int height, const TextStyle& style, int* outWidth,
                   int* outHeight) {
  int x = 0, y = 0, w = width, h = height;
  if (!DrawStyledText(nullptr, text, &x, &y, &w, &h, &style)) return false;
  *outWidth = w;
  *outHeight = h;
  return true;
}
}  // namespace

// ---- TextBase -------------------------------------------------------------------

TextBase::~TextBase() {
  delete[] text_;
  if (font_) ReleaseBlockFont(font_);
}

void TextBase::HoldFont() {
  HFONT held = font_height_ != -1 ? AcquireBlockFont(font_height_, bold_, italic_, underline_) : nullptr;
  if (font_) ReleaseBlockFont(font_);
  font_ = held;
}

void TextBase::SetText(const wchar_t* text, COLORREF textColour, int fontHeight, bool transparent,
                       COLORREF background, bool bold, bool italic, bool underline, bool fit) {
  text_colour_ = textColour;
  font_height_ = fontHeight;
  transparent_ = transparent;
  background_ = background;
  bold_ = bold, italic_ = italic, underline_ = underline;
  HoldFont();
  if (text != text_) {
    delete[] text_;
    text_ = text ? CopyText(text, kEllipsisSpare) : nullptr;
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
  PaintTextBlock(dc, originX, originY, size_[0], size_[1], margin_x_, margin_y_, horizontal_, vertical_, text_,
                 text_colour_, font_height_, transparent_, background_, bold_, italic_, underline_);
}

// ---- Text -----------------------------------------------------------------------

Text::~Text() {
  delete[] text_;
  delete[] display_;
}

void Text::SetText(const wchar_t* text) {
  delete[] text_;
  text_ = text ? CopyText(text) : nullptr;
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

// A width rule this text did not set itself (a relative width, or a fixed
// width other than 0 and other than its own last one) is its owner's: the
// text wraps in it and keeps it. Otherwise the text sizes itself.
int Text::GivenWidth() const {
  if (size_ref_[0]) return size_[0] > 0 ? size_[0] : 0;
  if (size_num_[0] > 0 && size_num_[0] != own_width_) return size_num_[0];
  return 0;
}

// Keeps the longest start of the text that fits `room` pixels together with
// the dots, measured as one string exactly as it is drawn.
void Text::CutWithEllipsis(int room, const TextStyle& measure) {
  int length = static_cast<int>(wcslen(text_));
  delete[] display_;
  display_ = new wchar_t[length + 4];
  int low = 0, high = length;  // the answer lies in [low, high]
  while (low < high) {
    int mid = (low + high + 1) / 2;
    wmemcpy(display_, text_, mid);
    wmemcpy(display_ + mid, kDots, 4);
    int w = 0, h = 0;
    if (MeasureStyled(display_, 0x7FFF, 0x7FFF, measure, &w, &h) && w <= room)
      low = mid;
    else
      high = mid - 1;
  }
  int keep = low;
  while (keep > 0 && text_[keep - 1] == L' ') --keep;  // no gap before the dots
  wmemcpy(display_, text_, keep);
  wmemcpy(display_ + keep, kDots, 4);
  cut_index_ = keep;
  int kept_width = 0, h = 0;
  if (keep > 0) {
    wchar_t saved = text_[keep];
    text_[keep] = 0;
    MeasureStyled(text_, 0x7FFF, 0x7FFF, measure, &kept_width, &h);
    text_[keep] = saved;
  }
  ellipsis_x_ = margin_left_ + kept_width;
  truncated_ = true;
}

void Text::LayoutText() {
  if (busy_ || !text_) return;
  if (size_[0] < 0 || size_[1] < 0) return;
  busy_ = true;
  const int given = GivenWidth();
  int limit = given > 0 ? given : max_width_;  // 0: none
  if (given > 0 && max_width_ > 0 && max_width_ < limit) limit = max_width_;
  const int horizontal_margins = margin_left_ + margin_right_, vertical_margins = margin_top_ + margin_bottom_;
  int wrap = (limit > 0 ? limit : platform::device::Screen().width) - horizontal_margins;
  int room_h = (max_height_ > 0 ? max_height_ : 0x7FFF) - vertical_margins;
  TextStyle measure = style_;
  int w = 0, h = 0;
  if (!MeasureStyled(text_, wrap < 0 ? 0 : wrap, room_h < 0 ? 0 : room_h, measure, &w, &h)) {
    busy_ = false;
    return;
  }
  truncated_ = false;
  cut_index_ = static_cast<int>(wcslen(text_));
  int width = w + horizontal_margins;
  if (width < min_width_) width = min_width_;
  if (limit > 0 && width > limit) {
    width = limit;
    if (ellipsis_ && !style_.multiLine) CutWithEllipsis(limit - horizontal_margins, measure);
  }
  if (given > 0) width = given;
  int height = h + vertical_margins;
  if (height < min_height_) height = min_height_;
  if (max_height_ > 0 && height > max_height_) height = max_height_;
  if (given <= 0) {
    own_width_ = width;
    SetSize(0, width, nullptr, 1);
  }
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
  if (truncated_) draw.horizontal = 0;
  PaintStyledText(dc, truncated_ ? display_ : text_, x, y, w, h, &draw);
}

}  // namespace VexaAppGUISystem
