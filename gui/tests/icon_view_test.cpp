// The icon view: cells flowing into rows, and cells answering the pen.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/icon_view.h"
#include "window_fixture.h"

namespace {
using namespace toolkit_test;

struct Cells {
  std::vector<std::unique_ptr<Box>> boxes;
  Cells(IconsList* list, std::initializer_list<std::pair<int, int>> sizes) {
    for (auto s : sizes) {
      boxes.emplace_back(new Box);
      boxes.back()->SetSize(0, s.first, nullptr, 1);
      boxes.back()->SetSize(1, s.second, nullptr, 1);
      list->AddChild(boxes.back().get(), list);
    }
  }
};

struct Placed {
  int x, y;
};

std::vector<Placed> Positions(IconsList& list) {
  std::vector<Placed> out;
  for (int i = 0; i < list.GetChildCount(); ++i) {
    Placed p;
    list.GetChildRect(list.GetChild(i), &p.x, &p.y, nullptr, nullptr);
    out.push_back(p);
  }
  return out;
}

// A list in a screen-sized root box, without a window.
class IconsListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root.SetSize(0, 240, nullptr, 1);
    root.SetSize(1, 320, nullptr, 1);
    root.AddChild(&list, &root);
  }
  Box root;
  IconsList list;
};

TEST_F(IconsListTest, FiveCellsInOneHundredThirtyPixels) {
  list.SetSize(0, 130, nullptr, 1);
  list.SetSpacing(5);
  list.SetRightMargin(0);
  list.SetCentred(false);
  list.SetExtraHeight(3, 4);
  Cells cells(&list, {{40, 40}, {40, 40}, {40, 40}, {40, 40}, {40, 40}});
  std::vector<Placed> p = Positions(list);
  ASSERT_EQ(5u, p.size());
  const Placed expected[] = {{5, 5}, {50, 5}, {95, 5}, {5, 50}, {50, 50}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(expected[i].x, p[i].x) << i;
    EXPECT_EQ(expected[i].y, p[i].y) << i;
  }
  EXPECT_EQ(3 + 4 + 2 * (40 + 5), list.Height()) << "both rows and their spacing, plus the extra terms";

  list.SetCentred(true);
  list.Arrange();
  p = Positions(list);
  int x = 5 + (130 - 5 - 0 - 130) / 2;  // the widest row is three cells and two spaces
  EXPECT_EQ(x, p[0].x);
  EXPECT_EQ(x, p[3].x) << "the rows are centred as one block";
  EXPECT_EQ(x + 45, p[4].x);

  list.SetSize(0, 240, nullptr, 1);  // wider: one row
  p = Positions(list);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(p[0].y, p[i].y);
  EXPECT_EQ(3 + 4 + 40 + 5, list.Height());
}

TEST_F(IconsListTest, RowsSitBelowTheTallestOfTheRowBefore) {
  list.SetSize(0, 100, nullptr, 1);
  list.SetSpacing(4);
  list.SetCentred(false);
  Cells cells(&list, {{40, 20}, {40, 50}, {40, 30}, {90, 10}});
  std::vector<Placed> p = Positions(list);
  EXPECT_EQ(4, p[1].y);
  EXPECT_EQ(4 + 50 + 4, p[2].y) << "below the tallest cell of the first row";
  EXPECT_EQ(4 + 50 + 4 + 30 + 4, p[3].y) << "a wide cell starts its own row";
  list.RemoveChild(cells.boxes[1].get());
  p = Positions(list);
  EXPECT_EQ(4, p[1].y) << "arranged again without it: the third cell moves up";
  EXPECT_EQ(4 + 30 + 4, p[2].y);
}

TextStyle LabelStyle(COLORREF ink, bool fill) {
  TextStyle s;
  s.multiLine = false;
  s.horizontal = 2;
  s.vertical = 2;
  s.transparent = !fill;
  s.fill = fill;
  s.textColour = ink;
  s.backgroundColour = RGB(0, 0, 160);
  return s;
}

class IconCellTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    normal = MakeBitmap(32, 32, RGB(0, 150, 0));
    pressed = MakeBitmap(32, 32, RGB(150, 0, 0));
    panel.AddChild(&list, &panel);
    list.SetSize(0, 240, nullptr, 1);
    list.SetSpacing(5);
    list.SetCentred(false);
    for (int i = 0; i < 2; ++i) {
      cells[i].SetOrientation(1);
      cells[i].SetIcon(4100 + i, normal, pressed, normal);
      cells[i].SetLabel(i ? L"Sport" : L"News", LabelStyle(0, false), LabelStyle(RGB(255, 255, 255), true));
      cells[i].SetCellSize(70, 80);
      list.AddChild(&cells[i], &list);
    }
    win.AddToFocusOrder(&panel, &win, 0);
    panel.AddToFocusOrder(&list, &panel, 0);
    for (IconBox& c : cells) list.AddToFocusOrder(&c, &list, 0);
  }
  void TearDown() override {
    win.SetFocus(nullptr);
    win.RemoveFromFocusOrder(&panel);
    IconBox::SetShowFocusHighlight(false);
    list.RemoveChild(&cells[0]);
    list.RemoveChild(&cells[1]);
    panel.RemoveChild(&list);
    DeleteObject(normal);
    DeleteObject(pressed);
    WindowTest::TearDown();
  }
  // A point of the cell, in window coordinates.
  POINT At(int cell, int x, int y) {
    return POINT{cells[cell].GetOffsetIn(&win, 0) + x, cells[cell].GetOffsetIn(&win, 1) + y};
  }
  void PenAt(UINT msg, POINT p) { Pen(msg, p.x, p.y); }
  int Commands() { return panel.Count(EventCommand); }

  HBITMAP normal = nullptr, pressed = nullptr;
  IconsList list;
  IconBox cells[2];
};

TEST_F(IconCellTest, ACellHighlightsWhilePressedAndCommandsOnReleaseInside) {
  IconBox& cell = cells[0];
  EXPECT_EQ(70, cell.Width());
  EXPECT_EQ(80, cell.Height());
  ASSERT_NE(nullptr, cell.Icon());
  int icon_x = cell.Icon()->GetOffsetIn(&cell, 0), icon_y = cell.Icon()->GetOffsetIn(&cell, 1);
  EXPECT_EQ((70 - 32) / 2, icon_x) << "centred in a column";
  POINT on_icon = At(0, icon_x + 10, icon_y + 20);

  PenAt(WM_LBUTTONDOWN, on_icon);
  EXPECT_TRUE(cell.IsHighlighted());
  EXPECT_TRUE(cell.IsArmed());
  EXPECT_EQ(&cell, IconBox::CurrentCell());
  EXPECT_EQ(pressed, cell.Icon()->GetCurrentBitmap());
  EXPECT_TRUE(cell.Icon()->IsPressed());
  EXPECT_EQ(StatePressed, cell.Label()->GetState());
  EXPECT_EQ(cell.Icon(), win.GetFocused(false)) << "the icon takes the focus";

  PenAt(WM_MOUSEMOVE, At(0, 69, 40));  // the right third is outside the central area
  EXPECT_FALSE(cell.IsHighlighted());
  EXPECT_EQ(normal, cell.Icon()->GetCurrentBitmap());
  PenAt(WM_MOUSEMOVE, At(1, 10, 40));  // over the other cell
  EXPECT_FALSE(cell.IsHighlighted());
  EXPECT_FALSE(cells[1].IsHighlighted()) << "the pen stays with the pressed cell";
  PenAt(WM_MOUSEMOVE, At(0, 10, 40));
  EXPECT_TRUE(cell.IsHighlighted()) << "back inside: highlighted again";
  PenAt(WM_LBUTTONUP, At(0, 10, 40));
  EXPECT_FALSE(cell.IsHighlighted());
  EXPECT_FALSE(cell.IsArmed());
  EXPECT_FALSE(cell.Icon()->IsPressed());
  ASSERT_EQ(1, Commands());
  EXPECT_EQ(4100, panel.events.back().b);
  EXPECT_EQ(0, panel.events.back().a) << "no command string";
  EXPECT_EQ(nullptr, win.GetCapture());

  // Pressed on the label, lifted outside: nothing.
  POINT on_label = At(0, 35, 75);
  ASSERT_EQ(cell.Label(), win.FindBoxAt(on_label.x, on_label.y));
  PenAt(WM_LBUTTONDOWN, on_label);
  EXPECT_TRUE(cell.IsHighlighted());
  PenAt(WM_MOUSEMOVE, At(0, 35, 79));  // the bottom fifth
  PenAt(WM_LBUTTONUP, At(0, 35, 79));
  EXPECT_FALSE(cell.IsHighlighted());
  EXPECT_FALSE(cell.IsArmed());
  EXPECT_EQ(1, Commands());
}

TEST_F(IconCellTest, HitAreaKeysAndFocus) {
  IconBox& cell = cells[1];
  POINT p = At(1, 35, 30);
  PenAt(WM_LBUTTONDOWN, p);
  PenAt(WM_LBUTTONUP, p);
  ASSERT_EQ(&cell, IconBox::CurrentCell());
  // The central area: x below two thirds, y between a fifth and four fifths.
  struct {
    int x, y;
    bool hit;
  } points[] = {{0, 16, true}, {46, 40, true}, {47, 40, false}, {10, 15, false}, {10, 63, true}, {10, 64, false}};
  for (auto& q : points) EXPECT_EQ(q.hit, cell.HitTest(q.x, q.y)) << q.x << "," << q.y;
  EXPECT_FALSE(cells[0].HitTest(10, 40)) << "only the current cell takes the pen in its own area";

  int before = Commands();
  std::intptr_t none[2] = {0, 0};
  panel.SendEvent(cell.Icon(), EventActivate, none, false);
  ASSERT_EQ(before + 1, Commands());
  EXPECT_EQ(4101, panel.events.back().b);
  panel.SendEvent(&cell, EventActivate, none, false);
  EXPECT_EQ(before + 2, Commands());

  // Losing the focus takes the highlight away.
  PenAt(WM_LBUTTONDOWN, p);
  ASSERT_TRUE(cell.IsHighlighted());
  ASSERT_TRUE(win.SetFocus(cells[0].Icon()));
  EXPECT_FALSE(cell.IsHighlighted());
  PenAt(WM_LBUTTONUP, p);
}

TEST_F(IconCellTest, TheFocusedCellIsDrawnHighlightedWhenFocusIsShown) {
  ASSERT_TRUE(win.SetFocus(cells[0].Icon()));
  POINT label = At(0, 3, 70);  // the label's filled pressed background, away from its letters
  EXPECT_EQ(0xFFFFFFu, Capture().At(label.x, label.y));
  IconBox::SetShowFocusHighlight(true);
  win.InvalidateAll();
  platform::Pixels px = Capture();
  EXPECT_EQ(platform::PixelOf(RGB(0, 0, 160)), px.At(label.x, label.y));
  POINT icon = At(0, 35, 10);
  EXPECT_EQ(platform::PixelOf(RGB(150, 0, 0)), px.At(icon.x, icon.y)) << "the pressed icon";
  EXPECT_FALSE(cells[0].IsHighlighted()) << "drawn so, not put in that state";
  EXPECT_EQ(normal, cells[0].Icon()->GetCurrentBitmap());
}

}  // namespace

namespace {
using namespace toolkit_test;

// A cell in a row: icon, label and count side by side within the cell.
TEST_F(WindowTest, ARowCellKeepsItsPartsInside) {
  HBITMAP icon = MakeBitmap(32, 32, RGB(0, 120, 200));
  TextStyle style;
  style.multiLine = false;
  style.transparent = true;
  for (int width : {120, 199, 300}) {
    SCOPED_TRACE(width);
    IconBox cell;
    cell.SetIcon(4060, icon, icon, icon);
    cell.SetLabel(L"World headlines", style, style);
    cell.SetCounts(3, 12, style, style);
    cell.SetCellSize(width, 34);
    panel.AddChild(&cell, &panel);
    EXPECT_EQ(width, cell.Width());
    int lx = 0, lw = 0, cx = 0, cw = 0;
    cell.GetChildRect(cell.Label(), &lx, nullptr, &lw, nullptr);
    cell.GetChildRect(cell.Count(), &cx, nullptr, &cw, nullptr);
    EXPECT_EQ(width / 6 + 2, cw) << "the count is a sixth of the cell";
    EXPECT_LE(lw, width * 2 / 3) << "the label two thirds at most";
    EXPECT_LE(cx + cw, width) << "nothing past the cell";
    EXPECT_EQ(lx + lw + 5, cx);
    panel.RemoveChild(&cell);
  }
  DeleteObject(icon);
}

}  // namespace
