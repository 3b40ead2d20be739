// Text boxes measured and drawn in a real window.
#include <gtest/gtest.h>

#include <vector>

#include "window_fixture.h"

namespace {
using namespace toolkit_test;

const wchar_t kLong[] =
    L"Paragraph text that is much too long for one line of a handheld screen, so it wraps at word boundaries.";

TextStyle Paragraph(HFONT font) {
  TextStyle s;
  s.font = font;
  s.multiLine = true;
  s.wordBreak = true;
  s.transparent = true;
  return s;
}

struct Font {
  HFONT handle = CreateTextFont(kTextFace, 14, false, false, false);
  ~Font() { DeleteObject(handle); }
};

int MeasuredHeight(const wchar_t* text, int width, const TextStyle& style) {
  int x = 0, y = 0, w = width, h = 0x7FFF;
  EXPECT_TRUE(DrawStyledText(nullptr, text, &x, &y, &w, &h, &style));
  return h;
}

// A text given a width by its owner wraps inside it, less its margins, and
// keeps it; one that sizes itself stays within its limits.
TEST_F(WindowTest, TextWrapsInTheWidthItIsGiven) {
  Font font;
  TextStyle style = Paragraph(font.handle);
  Text fixed, half, self;
  for (Text* t : {&fixed, &half, &self}) {
    panel.AddChild(t, &panel);
    t->SetStyle(style);
    t->SetMargins(4, 6, 1, 1);
  }
  fixed.SetSize(0, 200, nullptr, 1);
  fixed.SetText(kLong);
  EXPECT_EQ(200, fixed.Width());
  EXPECT_EQ(MeasuredHeight(kLong, 200 - 10, style) + 2, fixed.Height());
  EXPECT_GT(fixed.Height(), MeasuredHeight(kLong, 240 - 10, style) + 2) << "narrower than the screen: more lines";

  half.SetSize(0, 1, &panel, 2);
  half.SetText(kLong);
  EXPECT_EQ(120, half.Width());
  EXPECT_EQ(MeasuredHeight(kLong, 120 - 10, style) + 2, half.Height());
  panel.SetSize(0, 160, nullptr, 1);  // the owner narrows: the text follows
  EXPECT_EQ(80, half.Width());
  EXPECT_EQ(MeasuredHeight(kLong, 80 - 10, style) + 2, half.Height());
  Box* ref = nullptr;
  half.GetSizeConstraint(0, nullptr, &ref, nullptr);
  EXPECT_EQ(&panel, ref) << "the owner's rule stays";

  self.SetMaximumSize(150, 0);
  self.SetText(L"Short");
  int short_width = self.Width();
  EXPECT_LT(short_width, 80);
  self.SetText(kLong);
  EXPECT_GT(self.Width(), 120) << "a self-sizing text grows again, wrapping at its maximum";
  EXPECT_LE(self.Width(), 150);
  EXPECT_EQ(MeasuredHeight(kLong, 150 - 10, style) + 2, self.Height());
  for (Text* t : {&fixed, &half, &self}) panel.RemoveChild(t);
}

// Ink columns of a rectangle of the capture, left to right.
std::vector<bool> InkColumns(const platform::Pixels& px, int x, int y, int w, int h) {
  std::vector<bool> ink(w, false);
  for (int i = 0; i < w; ++i)
    for (int j = y; j < y + h; ++j) ink[i] = ink[i] || px.At(x + i, j) != 0xFFFFFF;
  return ink;
}

// A cut single line ends in three whole dots inside the box, right after the
// last kept letter.
TEST_F(WindowTest, EllipsisDotsAreWholeAndFollowTheText) {
  HFONT bold = CreateTextFont(kTextFace, 14, true, false, false);
  TextStyle style;
  style.font = bold;
  style.multiLine = false;
  style.wordBreak = false;
  style.transparent = true;
  style.vertical = 2;
  const int widths[] = {90, 131, 160, 228};
  for (int width : widths) {
    SCOPED_TRACE(width);
    Text t;
    t.SetStyle(style);
    t.SetMaximumSize(width, 0);
    t.SetEllipsis(true);
    panel.AddChild(&t, &panel);
    Place(&t, 0, 50);
    t.SetText(L"A headline far too long for one line of the screen is cut");
    ASSERT_TRUE(t.IsTruncated());
    EXPECT_EQ(width, t.Width());
    win.InvalidateAll();
    std::vector<bool> ink = InkColumns(Capture(), 0, 50, width, t.Height());
    // Runs of ink from the right: three narrow dots, then a letter.
    std::vector<std::pair<int, int>> runs;  // [first, last]
    for (int x = width - 1; x >= 0 && runs.size() < 4; --x) {
      if (!ink[x]) continue;
      int last = x;
      while (x > 0 && ink[x - 1]) --x;
      runs.push_back({x, last});
    }
    ASSERT_EQ(4u, runs.size());
    EXPECT_LT(runs[0].second, width - 1) << "the last dot is not clipped by the box";
    for (int d = 0; d < 3; ++d) EXPECT_LE(runs[d].second - runs[d].first, 2) << "dot " << d;
    EXPECT_EQ(runs[0].first - runs[1].first, runs[1].first - runs[2].first) << "evenly spaced dots";
    EXPECT_LE(runs[2].first - runs[3].second, 4) << "no gap between the text and its dots";
    panel.RemoveChild(&t);
  }
  DeleteObject(bold);
}

// Labels draw in the toolkit's one face and centre one line vertically.
TEST_F(WindowTest, LabelsUseOneFaceAndCentreVertically) {
  HFONT font = AcquireBlockFont(14, false, false, false);
  LOGFONTW lf;
  ASSERT_TRUE(GetObjectW(font, sizeof(lf), &lf));
  EXPECT_STREQ(L"Tahoma", lf.lfFaceName);
  ReleaseBlockFont(font);

  struct {
    int vertical;
    int expected_centre;  // in a 60-pixel box
  } cases[] = {{0, -1}, {2, 30}, {1, -2}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.vertical);
    TextBase label;
    label.SetAlignment(2, c.vertical);
    panel.AddChild(&label, &panel);
    Place(&label, 0, 100);
    label.SetSize(0, 100, nullptr, 1);
    label.SetSize(1, 60, nullptr, 1);
    label.SetText(L"Framed", 0, 14, true, 0, false, false, false, false);
    win.InvalidateAll();
    platform::Pixels px = Capture();
    int top = -1, bottom = -1;
    for (int y = 100; y < 160; ++y)
      for (int x = 0; x < 100; ++x)
        if (px.At(x, y) != 0xFFFFFF) {
          if (top < 0) top = y - 100;
          bottom = y - 100;
        }
    ASSERT_GE(top, 0);
    if (c.expected_centre == -1) {
      EXPECT_LT(top, 6) << "top";
    } else if (c.expected_centre == -2) {
      EXPECT_GT(bottom, 52) << "bottom";
    } else {
      EXPECT_NEAR(c.expected_centre, (top + bottom) / 2, 3) << "centred";
    }
    panel.RemoveChild(&label);
  }
}

// Label fonts live while some label holds them, and no longer.
TEST_F(WindowTest, LabelFontsAreFreedWithTheirLabels) {
  int before = LiveBlockFonts();
  {
    TextBase a, b, c;
    a.SetText(L"a", 0, 17, true, 0, true, false, false, false);
    b.SetText(L"b", 0, 17, true, 0, true, false, false, false);
    EXPECT_EQ(before + 1, LiveBlockFonts()) << "one font for the same height and style";
    c.SetText(L"c", 0, 19, true, 0, false, false, true, false);
    EXPECT_EQ(before + 2, LiveBlockFonts());
    c.SetText(L"c", 0, 17, true, 0, true, false, false, false);
    EXPECT_EQ(before + 1, LiveBlockFonts()) << "a changed style lets the old font go";
    int w = 100, h = 100;
    wchar_t text[] = L"once";
    DrawTextBlock(true, &w, &h, nullptr, 0, 0, 0, 0, 0, 0, text, 0, 23, true, 0, false, false, false, 0);
    EXPECT_EQ(before + 1, LiveBlockFonts()) << "a one-off block keeps nothing";
  }
  EXPECT_EQ(before, LiveBlockFonts());
}

}  // namespace
