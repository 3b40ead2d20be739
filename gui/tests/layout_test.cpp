// The layout solver, scroll ranges and the hit search, without a window.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/bar.h"
#include "gui/box.h"

using namespace VexaAppGUISystem;

namespace {

struct Root : Box {
  Root(int w, int h) {
    SetSize(0, w, nullptr, 1);
    SetSize(1, h, nullptr, 1);
  }
};

struct Taker : Box {
  bool HitTest(int x, int y) override { return true; }
};

int X(Box& parent, Box& c) {
  int x;
  parent.GetChildRect(&c, &x, nullptr, nullptr, nullptr);
  return x;
}

TEST(Layout, SizeReferringToLaterSiblingIsResolved) {
  Root root(200, 100);
  Box a, b;
  ASSERT_TRUE(root.AddChild(&a, &root));
  ASSERT_TRUE(root.AddChild(&b, &root));
  ASSERT_TRUE(b.SetSize(0, 1, &root, 2));  // 100
  ASSERT_TRUE(a.SetSize(0, 3, &b, 4));     // refers to the later b: 75
  EXPECT_EQ(100, b.Width());
  EXPECT_EQ(75, a.Width());
  int num, den;
  Box* ref;
  a.GetSizeConstraint(0, &num, &ref, &den);
  EXPECT_EQ(&b, ref);
  EXPECT_EQ(3, num);
  b.SetSize(0, 4, &root, 8);
  b.GetSizeConstraint(0, &num, &ref, &den);
  EXPECT_EQ(1, num) << "fraction stored reduced";
  EXPECT_EQ(2, den);
}

TEST(Layout, CycleOfSizesLeavesTheAxisUnlaid) {
  Root root(200, 100);
  Box a, b;
  root.AddChild(&a, &root);
  root.AddChild(&b, &root);
  a.SetSize(0, 40, nullptr, 1);
  b.SetSize(0, 60, nullptr, 1);
  a.SetSize(1, 10, nullptr, 1);
  ASSERT_EQ(40, a.Width());
  ASSERT_TRUE(a.SetSize(0, 1, &b, 1));
  EXPECT_EQ(60, a.Width());
  ASSERT_TRUE(b.SetSize(0, 1, &a, 1));  // now a -> b -> a
  EXPECT_EQ(60, a.Width()) << "previous rectangles kept";
  EXPECT_EQ(60, b.Width());
  a.SetSize(1, 30, nullptr, 1);
  EXPECT_EQ(30, a.Height()) << "the other axis still lays out";
}

TEST(Layout, AttachmentTable) {
  struct Case {
    int offset, own, refEdge;
    bool toSibling;
    int want;
  } cases[] = {
      {0, EdgeRight, EdgeRight, false, 200 - 50},        // flush with the right edge
      {(200 - 50) / 2, EdgeLeading, EdgeLeading, false, 75},  // centred
      {5, EdgeLeading, EdgeLeading, false, 5},
      {-3, EdgeTrailing, EdgeTrailing, false, 200 - 50 - 3},
      {4, EdgeLeading, EdgeTrailing, true, 10 + 30 + 4},  // after the sibling
      {0, EdgeRight, EdgeLeading, true, 10 - 50},         // ending at the sibling's left edge
  };
  for (const Case& c : cases) {
    Root root(200, 100);
    Box sib, box;
    root.AddChild(&sib, &root);
    root.AddChild(&box, &root);
    sib.SetSize(0, 30, nullptr, 1);
    sib.SetPosition(0, 10, EdgeLeading, &root, EdgeLeading);
    box.SetSize(0, 50, nullptr, 1);
    ASSERT_TRUE(box.SetPosition(0, c.offset, c.own, c.toSibling ? &sib : &root, c.refEdge));
    EXPECT_EQ(c.want, X(root, box)) << c.offset << " " << c.own << " " << c.refEdge;
  }
}

TEST(Layout, LongChainsAndPositionCycles) {
  Root root(1000, 100);
  std::vector<std::unique_ptr<Box>> row;
  for (int i = 0; i < 30; ++i) {
    row.emplace_back(new Box);
    ASSERT_TRUE(root.AddChild(row.back().get(), nullptr));  // each new box goes in front
    row.back()->SetSize(0, 10, nullptr, 1);
    if (i == 0)
      row.back()->SetPosition(0, 1, EdgeLeading, &root, EdgeLeading);
    else
      row.back()->SetPosition(0, 2, EdgeLeading, row[i - 1].get(), EdgeTrailing);
  }
  for (int i = 0; i < 30; ++i) EXPECT_EQ(1 + i * 12, X(root, *row[i])) << i;

  Box a, b, c;
  root.AddChild(&a, &root);
  root.AddChild(&b, &root);
  root.AddChild(&c, &root);
  a.SetPosition(0, 5, EdgeLeading, &root, EdgeLeading);
  b.SetPosition(0, 5, EdgeLeading, &a, EdgeTrailing);
  c.SetPosition(0, 5, EdgeLeading, &b, EdgeTrailing);
  ASSERT_EQ(15, X(root, c));
  a.SetPosition(0, 5, EdgeLeading, &b, EdgeTrailing);  // a -> b -> a
  EXPECT_EQ(0, X(root, a));
  EXPECT_EQ(0, X(root, b));
  EXPECT_EQ(0, X(root, c)) << "a chain into a cycle never reaches the parent";
  EXPECT_EQ(1, X(root, *row[0])) << "the rest of the axis still lays out";
}

TEST(Layout, SubtreeBuiltWithLayoutOffIsLaidOutByForcedRelayout) {
  Root root(240, 320);
  root.SetLayoutEnabled(false, false);
  Bar column;
  column.SetOrientation(1);
  column.SetSpacing(4);
  root.AddChild(&column, &root);
  column.SetPosition(0, 0, EdgeRight, &root, EdgeRight);
  Box a, b;
  a.SetSize(0, 30, nullptr, 1);
  a.SetSize(1, 10, nullptr, 1);
  b.SetSize(0, 50, nullptr, 1);
  b.SetSize(1, 20, nullptr, 1);
  column.AddChild(&a, &column);
  column.AddChild(&b, &column);
  root.SetLayoutEnabled(true, true);
  root.Relayout(true);
  int by;
  column.GetChildRect(&b, nullptr, &by, nullptr, nullptr);
  EXPECT_EQ(14, by);
  EXPECT_EQ(50, column.Width());
  EXPECT_EQ(34, column.Height());
  EXPECT_EQ(240 - 50, X(root, column));
  column.RemoveChild(&a);
  column.RemoveChild(&b);

  // A screen refilling a box that was laid out before: its size does not change.
  Box panel, item;
  root.AddChild(&panel, &root);
  panel.SetSize(0, 100, nullptr, 1);
  panel.SetSize(1, 100, nullptr, 1);
  root.SetLayoutEnabled(false, true);
  panel.AddChild(&item, &panel);
  item.SetSize(0, 10, nullptr, 1);
  item.SetPosition(0, 0, EdgeRight, &panel, EdgeRight);
  root.SetLayoutEnabled(true, true);
  root.Relayout(true);
  EXPECT_EQ(90, X(panel, item));
  EXPECT_EQ(10, item.Width());
}

TEST(Layout, RefusesBadConstraintsAndKeepsTree) {
  Root root(100, 100), other(10, 10);
  Box a, stranger;
  root.AddChild(&a, &root);
  other.AddChild(&stranger, &other);
  EXPECT_FALSE(a.SetSize(0, -1, nullptr, 1));
  EXPECT_FALSE(a.SetSize(0, 1, &root, -2));
  EXPECT_FALSE(a.SetSize(0, 1, &root, 0));
  EXPECT_FALSE(a.SetSize(0, 1, &stranger, 1));
  EXPECT_FALSE(a.SetPosition(0, 1, EdgeLeading, &stranger, EdgeLeading));
  EXPECT_FALSE(root.AddChild(&stranger, &root)) << "already has a parent";
  EXPECT_FALSE(a.AddChild(&root, &a)) << "own ancestor";
  EXPECT_EQ(1, root.GetChildCount());
}

TEST(Layout, RemovingAReferenceHandsItsRulesToSiblings) {
  Root root(200, 100);
  Box a, b, c;
  root.AddChild(&a, &root);
  root.AddChild(&b, &root);
  root.AddChild(&c, &root);
  a.SetSize(0, 1, &root, 2);       // 100
  a.SetPosition(0, 7, EdgeLeading, &root, EdgeLeading);
  b.SetSize(0, 1, &a, 2);          // 50
  b.SetPosition(0, 3, EdgeLeading, &a, EdgeTrailing);
  ASSERT_EQ(7 + 100 + 3, X(root, b));
  ASSERT_TRUE(root.RemoveChild(&a));
  int num, den;
  Box* ref;
  b.GetSizeConstraint(0, &num, &ref, &den);
  EXPECT_EQ(&root, ref);
  EXPECT_EQ(1, num);
  EXPECT_EQ(4, den);
  EXPECT_EQ(50, b.Width());
  EXPECT_EQ(3 + 200, X(root, b)) << "attached to a's reference, offset and edges kept";
  EXPECT_EQ(nullptr, a.GetParent());
  EXPECT_FALSE(root.RemoveChild(&a));
}

TEST(Scroll, ContentThatFitsGivesPositionZeroAndClamping) {
  Root root(100, 100);
  Box a;
  root.AddChild(&a, &root);
  root.SetScrollable(1, true);
  a.SetSize(0, 10, nullptr, 1);
  a.SetSize(1, 300, nullptr, 1);
  int mn, mx, pos, page;
  root.SetScrollPosition(1, 1000, false);
  root.GetScrollInfo(1, nullptr, &mn, &mx, &pos, &page, nullptr);
  EXPECT_EQ(0, mn);
  EXPECT_EQ(300, mx);
  EXPECT_EQ(100, page);
  EXPECT_EQ(200, pos) << "clamped to maximum - page";
  root.SetScrollPosition(1, 50, false);
  a.SetSize(1, 80, nullptr, 1);
  root.GetScrollInfo(1, nullptr, nullptr, &mx, &pos, nullptr, nullptr);
  EXPECT_EQ(0, pos) << "content fits";
  EXPECT_EQ(100, mx);
}

TEST(HitSearch, FirstChildWinsAndScrollIsCounted) {
  Root root(100, 100);
  Taker first, second;
  root.AddChild(&first, &root);
  root.AddChild(&second, &root);
  for (Box* b : {(Box*)&first, (Box*)&second}) {
    b->SetSize(0, 50, nullptr, 1);
    b->SetSize(1, 50, nullptr, 1);
  }
  EXPECT_EQ(&first, root.FindBoxAt(10, 10));
  second.SetPosition(1, 60, EdgeLeading, &root, EdgeLeading);
  EXPECT_EQ(&second, root.FindBoxAt(10, 70));
  EXPECT_EQ(nullptr, root.FindBoxAt(80, 55)) << "plain root never takes the pen";
  first.SetVisible(false);
  EXPECT_EQ(&second, root.FindBoxAt(10, 70));
  EXPECT_EQ(nullptr, root.FindBoxAt(10, 10));
  root.SetCapture(&second);
  EXPECT_EQ(&second, root.FindBoxAt(-40, 500)) << "capture keeps the pen";
}

TEST(HitSearch, NestingDeeperThanTheStackIsRefusedNotOverrun) {
  Root root(100, 100);
  std::vector<std::unique_ptr<Taker>> chain;
  Box* parent = &root;
  for (int i = 0; i < 150; ++i) {
    chain.emplace_back(new Taker);
    Taker* t = chain.back().get();
    ASSERT_TRUE(parent->AddChild(t, parent));
    t->SetSize(0, 1, parent, 1);
    t->SetSize(1, 1, parent, 1);
    parent = t;
  }
  Box* hit = root.FindBoxAt(5, 5);
  ASSERT_NE(nullptr, hit);
  EXPECT_EQ(chain[Box::kMaxHitDepth - 2].get(), hit) << "the deepest searchable level answers";
  for (int i = 149; i >= 0; --i) chain[i]->GetParent()->RemoveChild(chain[i].get());
}

TEST(BarLayout, RowWithMarginsSpacingAndCentring) {
  Root root(240, 100);
  Bar bar;
  bar.SetMargins(2, 4, 3, 5);
  bar.SetSpacing(6);
  bar.SetCentred(true);
  root.AddChild(&bar, &root);
  Box a, b;
  a.SetSize(0, 20, nullptr, 1);
  a.SetSize(1, 10, nullptr, 1);
  b.SetSize(0, 30, nullptr, 1);
  b.SetSize(1, 30, nullptr, 1);
  bar.AddChild(&a, &bar);
  bar.AddChild(&b, &bar);
  int ax, ay, bx, by;
  bar.GetChildRect(&a, &ax, &ay, nullptr, nullptr);
  bar.GetChildRect(&b, &bx, &by, nullptr, nullptr);
  EXPECT_EQ(2, ax);
  EXPECT_EQ(2 + 20 + 6, bx);
  EXPECT_EQ(3 + (30 - 10) / 2, ay);
  EXPECT_EQ(3, by);
  EXPECT_EQ(2 + 20 + 6 + 30 + 4, bar.Width());
  EXPECT_EQ(3 + 30 + 5, bar.Height());
  bar.SetOrientation(1);
  bar.Arrange();
  bar.GetChildRect(&b, &bx, &by, nullptr, nullptr);
  EXPECT_EQ(3 + 10 + 6, by);
  bar.RemoveChild(&a);
  bar.RemoveChild(&b);
}

}  // namespace
