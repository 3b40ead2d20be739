// The toolkit through real window messages and pixels read back from the window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window_fixture.h"

using namespace VexaAppGUISystem;

namespace {
using namespace toolkit_test;

TEST_F(WindowTest, WindowClassAndMenuBar) {
  wchar_t cls[80];
  GetClassNameW(win.GetHandle(), cls, 80);
  EXPECT_STREQ(L"Vexa Application GUI System Window Class", cls);
  ASSERT_NE(nullptr, win.GetMenuBar()) << "a window without owner gets an empty soft-key bar";
  EXPECT_EQ(win.GetHandle(), GetParent(win.GetMenuBar()));
}

TEST_F(WindowTest, ButtonPressMoveOutMoveInRelease) {
  ImageButton button("open", 4711);
  HBITMAP normal = MakeBitmap(40, 20, RGB(0, 200, 0)), pressed = MakeBitmap(40, 20, RGB(200, 0, 0));
  button.SetImages(normal, pressed, normal, false, 0, false);
  button.SetOwnsBitmaps(true);
  panel.AddChild(&button, &panel);
  Place(&button, 10, 10);
  ASSERT_EQ(40, button.Width());

  Pen(WM_LBUTTONDOWN, 15, 15);
  EXPECT_EQ(1, button.GetState());
  EXPECT_EQ(&button, win.GetCapture());
  EXPECT_EQ(win.GetHandle(), GetCapture());
  Pen(WM_MOUSEMOVE, 200, 200);  // outside: capture keeps the moves coming
  EXPECT_EQ(normal, button.GetCurrentBitmap());
  EXPECT_EQ(1, button.GetState());
  Pen(WM_MOUSEMOVE, 20, 20);
  EXPECT_EQ(pressed, button.GetCurrentBitmap());
  Pen(WM_LBUTTONUP, 20, 20);
  EXPECT_EQ(0, button.GetState());
  EXPECT_EQ(nullptr, win.GetCapture());
  EXPECT_NE(win.GetHandle(), GetCapture());
  ASSERT_EQ(1, panel.Count(EventCommand));
  EXPECT_EQ(4711, panel.events.back().b);
  EXPECT_STREQ("open", reinterpret_cast<const char*>(panel.events.back().a));

  Pen(WM_LBUTTONDOWN, 15, 15);
  Pen(WM_MOUSEMOVE, 100, 100);
  Pen(WM_LBUTTONUP, 100, 100);
  EXPECT_EQ(1, panel.Count(EventCommand)) << "released outside: no command";
  EXPECT_EQ(0, button.GetState());
}

TEST_F(WindowTest, FirstChildWinsThePen) {
  ImageButton top("a", 1), below("b", 2);
  HBITMAP bm = MakeBitmap(30, 30, RGB(1, 2, 3));
  top.SetImages(bm, bm, bm, false, 0, false);
  below.SetImages(bm, bm, bm, false, 0, false);
  panel.AddChild(&top, &panel);
  panel.AddChild(&below, &panel);
  Place(&top, 10, 10);
  Place(&below, 20, 20);
  Pen(WM_LBUTTONDOWN, 25, 25);
  Pen(WM_LBUTTONUP, 25, 25);
  ASSERT_EQ(1, panel.Count(EventCommand));
  EXPECT_EQ(1, panel.events.back().b);
  Pen(WM_LBUTTONDOWN, 45, 45);
  Pen(WM_LBUTTONUP, 45, 45);
  EXPECT_EQ(2, panel.events.back().b);
  panel.RemoveChild(&top);
  panel.RemoveChild(&below);
  DeleteObject(bm);
}

TEST_F(WindowTest, DisabledButtons) {
  TextButton text("t", 5);
  text.SetLabel(L"Disabled");
  panel.AddChild(&text, &panel);
  Place(&text, 10, 10);
  text.SetState(2);
  Pen(WM_LBUTTONDOWN, 12, 12);
  Pen(WM_LBUTTONUP, 12, 12);
  EXPECT_EQ(nullptr, win.GetCapture());
  EXPECT_EQ(2, text.GetState());
  std::intptr_t none[2] = {0, 0};
  EXPECT_TRUE(panel.SendEvent(&text, EventActivate, none, false)) << "swallowed";
  EXPECT_EQ(0, panel.Count(EventCommand));

  ImageButton image("i", 6);
  HBITMAP bm = MakeBitmap(20, 20, RGB(9, 9, 9));
  image.SetImages(bm, bm, bm, false, 0, false);
  panel.AddChild(&image, &panel);
  Place(&image, 100, 100);
  image.SetState(2);
  win.SetCapture(&image);
  Pen(WM_LBUTTONUP, 105, 105);
  EXPECT_EQ(nullptr, win.GetCapture()) << "a disabled image button still clears the capture";
  EXPECT_EQ(0, panel.Count(EventCommand));
  panel.RemoveChild(&image);
  panel.RemoveChild(&text);
  DeleteObject(bm);
}

TEST_F(WindowTest, CheckBoxRadioAndCompoundLabel) {
  HBITMAP off = MakeBitmap(16, 16, RGB(255, 255, 255)), on = MakeBitmap(16, 16, RGB(0, 0, 0));
  CheckBox check("c", 7);
  check.SetImages(off, on, off, false, 0, false);
  RadioButton radio("r", 8);
  radio.SetImages(off, on, off, false, 0, false);
  panel.AddChild(&check, &panel);
  panel.AddChild(&radio, &panel);
  Place(&check, 10, 10);
  Place(&radio, 10, 40);
  auto tap = [&](int x, int y) {
    Pen(WM_LBUTTONDOWN, x, y);
    Pen(WM_LBUTTONUP, x, y);
  };
  tap(12, 12);
  EXPECT_TRUE(check.IsChecked());
  EXPECT_EQ(on, check.GetCurrentBitmap());
  tap(12, 12);
  EXPECT_FALSE(check.IsChecked());
  EXPECT_EQ(off, check.GetCurrentBitmap()) << "two taps: first look again";
  tap(12, 42);
  EXPECT_TRUE(radio.IsChecked());
  tap(12, 42);
  EXPECT_TRUE(radio.IsChecked()) << "a radio button is never unchecked by the pen";
  EXPECT_EQ(on, radio.GetCurrentBitmap());

  CCheckBoxEx compound;
  compound.Build(0, 0);
  compound.SetImages(off, on, off, false, 0, false);
  compound.SetCommandValue(99);
  compound.SetLabelText(L"Show pictures", 0, -1, 0xFFFFFF, true, false, false, false);
  panel.AddChild(&compound, &panel);
  Place(&compound, 10, 100);
  ASSERT_GT(compound.Width(), 16 + 3 + 20);
  int before = panel.Count(EventCommand);
  tap(10 + 16 + 3 + 10, 100 + compound.Height() / 2);  // on the label
  EXPECT_TRUE(compound.IsChecked());
  ASSERT_EQ(before + 1, panel.Count(EventCommand));
  EXPECT_EQ(99, panel.events.back().b);
  EXPECT_EQ(&compound.Check(), panel.events.back().source);
  panel.RemoveChild(&compound);
  EXPECT_FALSE(compound.IsChecked()) << "detaching unchecks";
  panel.RemoveChild(&check);
  panel.RemoveChild(&radio);
  DeleteObject(off);
  DeleteObject(on);
}

TEST_F(WindowTest, TransparentPixelsIgnored) {
  const COLORREF key = RGB(255, 0, 255);
  HBITMAP bm = MakeBitmap(40, 40, key, RGB(10, 20, 30));
  ImageButton b("x", 3);
  b.SetImages(bm, bm, bm, true, key, true);
  panel.AddChild(&b, &panel);
  Place(&b, 50, 50);
  Pen(WM_LBUTTONDOWN, 52, 52);  // a key-coloured corner
  Pen(WM_LBUTTONUP, 52, 52);
  EXPECT_EQ(0, panel.Count(EventCommand));
  EXPECT_EQ(0, b.GetState());
  Pen(WM_LBUTTONDOWN, 70, 70);
  Pen(WM_LBUTTONUP, 70, 70);
  EXPECT_EQ(1, panel.Count(EventCommand));
  platform::Pixels px = Capture();
  EXPECT_EQ(platform::PixelOf(0xFFFFFF), px.At(52, 52)) << "key pixels not drawn";
  EXPECT_EQ(platform::PixelOf(RGB(10, 20, 30)), px.At(70, 70));
  panel.RemoveChild(&b);
  DeleteObject(bm);
}

struct Item : Box {
  int in = 0, out = 0;
  bool HandleEvent(Box*, int code, std::intptr_t*) override {
    in += code == EventFocusIn;
    out += code == EventFocusOut;
    return false;
  }
};

TEST_F(WindowTest, FocusGroupsWrapSkipAndReactivation) {
  Item a, b, c, d;
  Box group, empty;
  for (Box* x : {(Box*)&a, (Box*)&group, (Box*)&empty}) panel.AddChild(x, &panel);
  group.AddChild(&b, &group);
  group.AddChild(&c, &group);
  group.AddChild(&d, &group);
  win.AddToFocusOrder(&panel, &win, 0);
  panel.AddToFocusOrder(&a, &panel, FocusItem);
  panel.AddToFocusOrder(&group, &panel, 0);
  panel.AddToFocusOrder(&empty, &panel, FocusGroup);
  group.AddToFocusOrder(&b, &group, FocusItem);
  group.AddToFocusOrder(&c, &group, FocusSkipped);
  group.AddToFocusOrder(&d, &group, FocusItem);
  EXPECT_EQ(FocusGroup, group.GetFocusMode()) << "a box in the order becomes a group";

  EXPECT_FALSE(win.SetFocus(&empty)) << "empty group";
  EXPECT_FALSE(win.SetFocus(&c)) << "skipped entry";
  ASSERT_TRUE(win.SetFocus(&group));
  EXPECT_EQ(&b, win.GetFocused(false)) << "group focuses its first entry";
  EXPECT_EQ(1, b.in);
  Box* next = nullptr;
  ASSERT_TRUE(win.MoveFocus(1, true, false, &next));
  EXPECT_EQ(&d, next) << "skipped entry passed over";
  EXPECT_EQ(&b, win.GetFocused(false)) << "asking does not move";
  win.MoveFocus(1, true, false, nullptr);
  EXPECT_EQ(&d, win.GetFocused(false));
  EXPECT_EQ(1, b.out);
  win.MoveFocus(1, true, false, nullptr);
  EXPECT_EQ(&b, win.GetFocused(false)) << "wrap inside the group";
  win.MoveFocus(1, false, false, nullptr);
  win.MoveFocus(1, false, false, nullptr);
  EXPECT_EQ(&d, win.GetFocused(false)) << "no wrap: stays at the end";
  win.MoveFocus(1, true, true, nullptr);
  EXPECT_EQ(&a, win.GetFocused(false)) << "climb: past the group, empty group skipped, wrap to the first";
  win.MoveFocus(-1, true, true, nullptr);
  EXPECT_EQ(&d, win.GetFocused(false)) << "backwards into the group's last entry";

  int in = d.in, out = d.out;
  SendMessageW(win.GetHandle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(out + 1, d.out);
  EXPECT_EQ(in + 1, d.in);
  EXPECT_EQ(&d, win.GetFocused(false));

  win.SetFocus(nullptr);
  win.RemoveFromFocusOrder(&panel);
  group.RemoveChild(&b);
  group.RemoveChild(&c);
  group.RemoveChild(&d);
}

TEST_F(WindowTest, KeysGoToTheWindowBox) {
  SendMessageW(win.GetHandle(), WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(win.GetHandle(), WM_KEYUP, VK_DOWN, 0);
  SendMessageW(win.GetHandle(), WM_CHAR, 'a', 0);
  EXPECT_EQ((std::vector<int>{EventKeyDown, EventKeyUp, EventChar}), win.codes);
}

TEST_F(WindowTest, PaintingTextButtonFocusEllipsisAndOrder) {
  TextButtonRectangular rect("r", 1);
  rect.SetColours(0xFF0000, RGB(0, 160, 0), RGB(200, 0, 0));
  rect.NormalLabel().SetText(L"OK", 0, 14, true, 0, false, false, false, false);
  panel.AddChild(&rect, &panel);
  rect.SetSize(0, 60, nullptr, 1);
  rect.SetSize(1, 24, nullptr, 1);
  Place(&rect, 10, 10);

  TextButtonRounded round("o", 2);
  round.SetColours(0xFF0000, 0xFFFFFF, 0);
  round.SetLabel(L"Rounded button");
  panel.AddChild(&round, &panel);
  Place(&round, 10, 50);
  panel.AddToFocusOrder(&round, &panel, FocusItem);
  win.AddToFocusOrder(&panel, &win, 0);
  ASSERT_TRUE(win.SetFocus(&round));

  Text text;
  text.SetWrapping(false, false, 0, 0);
  text.SetMaximumSize(80, 0);
  text.SetEllipsis(true);
  panel.AddChild(&text, &panel);
  Place(&text, 10, 100);
  text.SetText(L"A very long single line of text");
  EXPECT_EQ(80, text.Width());
  EXPECT_TRUE(text.IsTruncated());
  EXPECT_GT(text.GetCutIndex(), 3);
  EXPECT_LT(text.GetCutIndex(), 20);

  ImageButton over("a", 1), under("b", 2);
  HBITMAP red = MakeBitmap(30, 30, RGB(220, 0, 0)), blue = MakeBitmap(30, 30, RGB(0, 0, 220));
  over.SetImages(red, red, red, false, 0, false);
  under.SetImages(blue, blue, blue, false, 0, false);
  panel.AddChild(&over, &panel);
  panel.AddChild(&under, &panel);
  Place(&over, 150, 150);
  Place(&under, 160, 160);

  win.InvalidateAll();
  platform::Pixels px = Capture();
  EXPECT_EQ(platform::PixelOf(RGB(200, 0, 0)), px.At(10, 20)) << "frame";
  EXPECT_EQ(platform::PixelOf(RGB(0, 160, 0)), px.At(40, 30)) << "fill";
  EXPECT_EQ(platform::PixelOf(RGB(0, 160, 0)), px.At(66, 30));
  int rh = round.Height();
  ASSERT_GT(rh, 6);
  EXPECT_EQ(platform::PixelOf(0xFF9A31), px.At(10, 50 + rh / 2)) << "outer focus frame";
  EXPECT_EQ(platform::PixelOf(0xCE3000), px.At(11, 50 + rh / 2)) << "inner focus frame";
  EXPECT_EQ(platform::PixelOf(0xFFFFFF), px.At(10 + round.Width() / 2, 50 + 2)) << "normal fill inside";
  EXPECT_EQ(platform::PixelOf(RGB(220, 0, 0)), px.At(175, 175)) << "first child on top";
  EXPECT_EQ(platform::PixelOf(RGB(0, 0, 220)), px.At(185, 185));
  // Ellipsis: three dots in the right part of the box, ink in the left.
  int ink_right = 0;
  for (int x = 10 + 60; x < 10 + 80; ++x)
    for (int y = 100; y < 100 + text.Height(); ++y) ink_right += px.At(x, y) != 0xFFFFFF;
  EXPECT_GT(ink_right, 2);

  CreateDirectoryA(TIDELARK_TEST_OUTPUT, nullptr);
  platform::SaveWindowPng(win.GetHandle(), std::string(TIDELARK_TEST_OUTPUT) + "/gui_window_test.png", true);
  win.SetFocus(nullptr);
  win.RemoveFromFocusOrder(&panel);
  panel.RemoveChild(&over);
  panel.RemoveChild(&under);
  DeleteObject(red);
  DeleteObject(blue);
}

// Scrolling the window's own content: every scroll-bar code, with a scroll
// unit of 10 pixels and a line step of 14 pixels, as the content area has.
TEST_F(WindowTest, ScrollBarCodesMovePixelsAndTheThumbSpeaksUnits) {
  win.RemoveChild(&panel);
  Box tall;
  win.AddChild(&tall, &win);
  tall.SetSize(0, 10, nullptr, 1);
  tall.SetSize(1, 1000, nullptr, 1);
  win.SetScrollable(1, true);
  win.SetScrollUnit(1, 10);
  win.SetLineStep(1, 14);
  const int page = win.Height(), bottom = 1000 - page;
  struct Step {
    WORD code;
    WORD thumb;  // units
    int start, expected;
  } steps[] = {
      {SB_LINEDOWN, 0, 0, 14},          {SB_LINEDOWN, 0, 14, 28},        {SB_LINEUP, 0, 28, 14},
      {SB_LINEUP, 0, 5, 0},             {SB_PAGEDOWN, 0, 0, page},       {SB_PAGEDOWN, 0, bottom - 3, bottom},
      {SB_PAGEUP, 0, page + 7, 7},      {SB_THUMBTRACK, 42, 0, 420},     {SB_THUMBPOSITION, 31, 420, 310},
      {SB_BOTTOM, 0, 0, bottom},        {SB_TOP, 0, bottom, 0},          {SB_ENDSCROLL, 0, 140, 140},
  };
  for (const Step& st : steps) {
    win.SetScrollPosition(1, st.start, true);
    ASSERT_EQ(st.start, win.GetScrollPosition(1));
    SendMessageW(win.GetHandle(), WM_VSCROLL, MAKEWPARAM(st.code, st.thumb), 0);
    EXPECT_EQ(st.expected, win.GetScrollPosition(1)) << "code " << st.code << " from " << st.start;
  }
  SCROLLINFO si = {};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  GetScrollInfo(win.GetHandle(), SB_VERT, &si);
  EXPECT_EQ(99, si.nMax) << "1000 pixels are units 0..99";
  EXPECT_EQ(UINT(page / 10), si.nPage);
  EXPECT_EQ(14, si.nPos);
  win.RemoveChild(&tall);
  win.AddChild(&panel, &win);
}

// A thumb beyond 65535 units: the message carries only 16 bits of it.
TEST_F(WindowTest, ThumbPositionsBeyondSixteenBits) {
  win.RemoveChild(&panel);
  Box tall;
  win.AddChild(&tall, &win);
  tall.SetSize(0, 10, nullptr, 1);
  tall.SetSize(1, 200000, nullptr, 1);
  win.SetScrollable(1, true);
  // A drag in progress: the bar's track position is what the user holds.
  SetScrollPos(win.GetHandle(), SB_VERT, 70000, FALSE);
  SendMessageW(win.GetHandle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 70000 & 0xFFFF), 0);
  EXPECT_EQ(70000, win.GetScrollPosition(1));
  win.RemoveChild(&tall);
  win.AddChild(&panel, &win);
}

// The window ends above the soft-key bar, so scrolling to the end shows the
// content's last rows instead of leaving them behind the bar.
TEST_F(WindowTest, TheLastRowsOfContentAreVisibleAboveTheSoftKeyBar) {
  RECT wr, br;
  GetWindowRect(win.GetHandle(), &wr);
  ASSERT_NE(nullptr, win.GetMenuBar());
  GetWindowRect(win.GetMenuBar(), &br);
  EXPECT_EQ(br.top, wr.bottom) << "the window ends where the bar begins";
  EXPECT_EQ(320 - 26, win.Height()) << "the box follows the shortened window";

  win.RemoveChild(&panel);
  Box tall;
  ImageButton last("last", 1);
  HBITMAP red = MakeBitmap(40, 6, RGB(200, 0, 0));
  last.SetImages(red, red, red, false, 0, false);
  win.AddChild(&tall, &win);
  win.AddChild(&last, &win);
  tall.SetSize(0, 10, nullptr, 1);
  tall.SetSize(1, 600, nullptr, 1);
  last.SetPosition(0, 50, EdgeLeading, &win, EdgeLeading);
  last.SetPosition(1, 600, EdgeTrailing, &win, EdgeLeading);  // its bottom edge is the content's last row
  win.SetScrollable(1, true);
  SendMessageW(win.GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);
  platform::Pixels px;
  ASSERT_TRUE(platform::CaptureScreen(240, 320, &px));
  EXPECT_EQ(platform::PixelOf(RGB(200, 0, 0)), px.At(60, wr.bottom - 1)) << "the last row, right above the bar";
  EXPECT_EQ(0x31599Cu, px.At(60, wr.bottom)) << "the bar below it";
  win.RemoveChild(&last);
  win.RemoveChild(&tall);
  win.AddChild(&panel, &win);
  DeleteObject(red);
}

// Native child windows follow the content when it scrolls.
TEST_F(WindowTest, NativeChildWindowsMoveWhenScrolled) {
  win.SetScrollable(1, true);
  Box tall;
  panel.AddChild(&tall, &panel);
  tall.SetSize(0, 10, nullptr, 1);
  tall.SetSize(1, 900, nullptr, 1);
  panel.SetSize(1, 900, nullptr, 1);
  WindowBox field;
  panel.AddChild(&field, &panel);
  Place(&field, 20, 100);
  field.SetSize(0, 100, nullptr, 1);
  field.SetSize(1, 20, nullptr, 1);
  ASSERT_TRUE(field.Create(true, &win, L"EDIT", false));
  auto top = [&] {
    RECT r;
    GetWindowRect(field.GetHandle(), &r);
    POINT p = {r.left, r.top};
    ScreenToClient(win.GetHandle(), &p);
    return p.y;
  };
  EXPECT_EQ(100, top());
  win.SetLineStep(1, 14);
  SendMessageW(win.GetHandle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(86, top());
  SendMessageW(win.GetHandle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(100 - win.GetScrollPosition(1), top());
  SendMessageW(win.GetHandle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(100, top());
  field.SetPosition(1, 150, EdgeLeading, &panel, EdgeLeading);
  SendMessageW(win.GetHandle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(136, top()) << "a later move and a scroll agree";
  field.Close(0);
  panel.RemoveChild(&field);
  panel.RemoveChild(&tall);
}

// A child window box made before its first layout: the size echo of its own
// first resize (width known, height still 0) must not replace its size rule.
TEST_F(WindowTest, AChildWindowMadeBeforeLayoutKeepsItsSizeRule) {
  WindowBox content, banner;
  panel.SetLayoutEnabled(false, false);
  panel.AddChild(&content, &panel);
  panel.AddChild(&banner, &panel);
  banner.SetSize(0, 1, &panel, 1);
  banner.SetSize(1, 40, nullptr, 1);
  content.SetSize(0, 1, &panel, 1);
  content.SetSize(1, 1, &panel, 2);
  content.SetPosition(1, 0, EdgeLeading, &banner, EdgeBottom);
  ASSERT_TRUE(content.Create(true, &win, nullptr, false));
  ASSERT_TRUE(banner.Create(true, &win, nullptr, false));
  panel.SetLayoutEnabled(true, false);
  panel.Relayout(true);
  EXPECT_EQ(240, content.Width());
  EXPECT_EQ(win.Height() / 2, content.Height());
  int num = 0, den = 0;
  Box* ref = nullptr;
  content.GetSizeConstraint(1, &num, &ref, &den);
  EXPECT_EQ(&panel, ref) << "still half the panel, not a fixed height";
  RECT r;
  GetClientRect(content.GetHandle(), &r);
  EXPECT_EQ(win.Height() / 2, r.bottom);
  // A size from outside (a user, the shell) is taken as the box's size.
  SetWindowPos(banner.GetHandle(), nullptr, 0, 0, 240, 55, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(55, banner.Height());
  content.Close(0);
  banner.Close(0);
  panel.RemoveChild(&content);
  panel.RemoveChild(&banner);
}

struct KeyCounter : Box {
  int keys = 0, chars = 0;
  bool handle = false;
  bool HandleEvent(Box*, int code, std::intptr_t*) override {
    keys += code == EventKeyDown;
    chars += code == EventChar;
    return handle;
  }
};

struct CountingWindow : WindowBox {
  int keys = 0;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override {
    keys += code == EventKeyDown;
    return false;
  }
};

// Keys reach the focused box and then each ancestor once, through nested
// window boxes too; a disabled button in the way does not swallow them.
TEST_F(WindowTest, KeysReachTheFocusedBoxOnceThroughNestedWindows) {
  CountingWindow inner;
  KeyCounter item, holder;
  panel.AddChild(&inner, &panel);
  Place(&inner, 0, 100);
  inner.SetSize(0, 200, nullptr, 1);
  inner.SetSize(1, 100, nullptr, 1);
  ASSERT_TRUE(inner.Create(true, &win, nullptr, false));
  inner.AddChild(&holder, &inner);
  holder.AddChild(&item, &holder);
  win.AddToFocusOrder(&panel, &win, 0);
  panel.AddToFocusOrder(&inner, &panel, 0);
  inner.AddToFocusOrder(&holder, &inner, 0);
  holder.AddToFocusOrder(&item, &holder, FocusItem);
  ASSERT_TRUE(win.SetFocus(&item));
  int outer_before = static_cast<int>(win.codes.size());
  SendMessageW(inner.GetHandle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(1, item.keys) << "once, not once per window box";
  EXPECT_EQ(1, holder.keys);
  EXPECT_EQ(1, inner.keys);
  EXPECT_EQ(outer_before + 1, static_cast<int>(win.codes.size())) << "the outer window hears it once";
  SendMessageW(win.GetHandle(), WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(2, item.keys) << "from the outer window too, to the same focused box";
  EXPECT_EQ(2, inner.keys);
  item.handle = true;
  SendMessageW(inner.GetHandle(), WM_CHAR, 'x', 0);
  EXPECT_EQ(1, item.chars);
  EXPECT_EQ(0, holder.chars) << "handled: no further";

  TextButton off("off", 9);
  off.SetLabel(L"Off");
  holder.AddChild(&off, &holder);
  holder.AddToFocusOrder(&off, &holder, FocusItem);
  ASSERT_TRUE(win.SetFocus(&off));
  off.SetState(StateDisabled);
  int before = holder.keys;
  SendMessageW(inner.GetHandle(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(before + 1, holder.keys) << "a disabled button lets keys pass";

  win.SetFocus(nullptr);
  holder.RemoveChild(&off);
  win.RemoveFromFocusOrder(&panel);
  inner.Close(0);
  panel.RemoveChild(&inner);
}

// Removing or destroying a box that holds the focus or the pen capture
// leaves neither pointing at it.
TEST_F(WindowTest, RemovingOrDestroyingTheFocusOrCaptureHolder) {
  win.AddToFocusOrder(&panel, &win, 0);
  auto button = [&](int x) {
    ImageButton* b = new ImageButton("b", 1);
    HBITMAP bm = MakeBitmap(30, 30, RGB(0, 90, 0));
    b->SetImages(bm, bm, bm, false, 0, false);
    b->SetOwnsBitmaps(true);
    panel.AddChild(b, &panel);
    Place(b, x, 10);
    panel.AddToFocusOrder(b, &panel, FocusItem);
    return b;
  };
  for (bool destroy : {false, true}) {
    ImageButton* held = button(10);
    Pen(WM_LBUTTONDOWN, 15, 15);  // press: focus and capture
    ASSERT_EQ(held, win.GetFocused(false));
    ASSERT_EQ(held, win.GetCapture());
    ASSERT_EQ(win.GetHandle(), GetCapture());
    if (destroy) {
      delete held;
    } else {
      panel.RemoveChild(held);
    }
    EXPECT_EQ(nullptr, win.GetFocused(false)) << (destroy ? "destroyed" : "removed");
    EXPECT_EQ(nullptr, win.GetCapture());
    EXPECT_EQ(panel.GetFocusCount(), 0);
    Pen(WM_MOUSEMOVE, 100, 100);  // the next pen event finds no dead box
    Pen(WM_LBUTTONUP, 100, 100);
    EXPECT_NE(win.GetHandle(), GetCapture()) << "the native capture is let go";
    if (!destroy) delete held;
  }
  win.RemoveFromFocusOrder(&panel);
}

// A destroyed parent leaves no reference to itself in its orphaned children,
// so re-adding them elsewhere lays them out against live boxes only.
TEST_F(WindowTest, ADestroyedParentLeavesNoReferencesInItsChildren) {
  Box a, b;
  Box* parent = new Box;
  panel.AddChild(parent, &panel);
  parent->SetSize(0, 100, nullptr, 1);
  parent->SetSize(1, 100, nullptr, 1);
  parent->AddChild(&a, parent);
  parent->AddChild(&b, parent);
  a.SetSize(0, 1, parent, 2);
  a.SetSize(1, 10, nullptr, 1);
  a.SetPosition(0, 5, EdgeLeading, parent, EdgeLeading);
  b.SetPosition(1, 3, EdgeLeading, &a, EdgeBottom);
  delete parent;
  for (Box* orphan : {&a, &b}) {
    EXPECT_EQ(nullptr, orphan->GetParent());
    for (int axis = 0; axis < 2; ++axis) {
      Box* pos_ref = &panel;
      Box* size_ref = &panel;
      orphan->GetPositionConstraint(axis, nullptr, nullptr, &pos_ref, nullptr);
      orphan->GetSizeConstraint(axis, nullptr, &size_ref, nullptr);
      EXPECT_EQ(nullptr, pos_ref);
      EXPECT_EQ(nullptr, size_ref);
    }
  }
  panel.AddChild(&b, &panel);
  panel.AddChild(&a, &panel);
  int x = -1, y = -1;
  panel.GetChildRect(&b, &x, &y, nullptr, nullptr);
  EXPECT_EQ(0, x);
  EXPECT_EQ(0, y);
  panel.RemoveChild(&a);
  panel.RemoveChild(&b);
}

struct BackBufferProbe : WindowBox {
  HBITMAP Buffer() const { return back_bitmap_; }
};

TEST(WindowBoxResources, CloseFreesTheBackBufferAndTheClassHoldsAPointer) {
  BackBufferProbe w;
  ASSERT_TRUE(CreatePopup(&w, 100, 80));
  EXPECT_GE(GetClassLongPtrW(w.GetHandle(), GCL_CBWNDEXTRA), static_cast<LONG_PTR>(sizeof(void*)));
  w.InvalidateAll();
  HBITMAP buffer = w.Buffer();
  ASSERT_NE(nullptr, buffer);
  EXPECT_EQ(DWORD(OBJ_BITMAP), GetObjectType(buffer));
  w.Close(0);
  EXPECT_EQ(nullptr, w.Buffer());
  EXPECT_EQ(0u, GetObjectType(buffer)) << "freed on close, not only when the box dies";
}

}  // namespace

namespace {
using namespace toolkit_test;

struct Dialog : WindowBox {
  bool OnWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) override {
    if (message == WM_APP) {
      Close(static_cast<int>(wParam));
      *result = 0;
      return true;
    }
    return false;
  }
};

TEST(WindowBoxLife, ModalDisablesOwnerUntilClosed) {
  WindowBox owner;
  owner.SetStyle(WS_POPUP);
  owner.SetSize(0, 240, nullptr, 1);
  owner.SetSize(1, 320, nullptr, 1);
  ASSERT_TRUE(owner.Create(true, nullptr, nullptr, false));
  EXPECT_FALSE(owner.Create(true, nullptr, nullptr, false)) << "a window exists already";
  Dialog dialog;
  dialog.SetSize(0, 200, nullptr, 1);
  dialog.SetSize(1, 100, nullptr, 1);
  dialog.SetTitle(L"Question");
  ASSERT_TRUE(dialog.Create(true, &owner, nullptr, true));
  EXPECT_TRUE(dialog.IsModal());
  EXPECT_FALSE(IsWindowEnabled(owner.GetHandle()));
  EXPECT_EQ(DWORD(WS_POPUP), GetWindowLongW(dialog.GetHandle(), GWL_STYLE) & (WS_POPUP | WS_CHILD));
  PostMessageW(dialog.GetHandle(), WM_APP, 42, 0);
  EXPECT_EQ(42, dialog.RunModal(7));
  EXPECT_EQ(nullptr, dialog.GetHandle());
  EXPECT_TRUE(IsWindowEnabled(owner.GetHandle()));
  EXPECT_STREQ(L"Question", dialog.GetTitle()) << "title read back on destruction";
  // WM_CLOSE closes with result 0.
  Dialog second;
  second.SetSize(0, 50, nullptr, 1);
  second.SetSize(1, 50, nullptr, 1);
  ASSERT_TRUE(second.Create(true, &owner, nullptr, true));
  PostMessageW(second.GetHandle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(0, second.RunModal(9));
  EXPECT_TRUE(IsWindowEnabled(owner.GetHandle()));
  owner.Close(0);
}

TEST(WindowBoxLife, WrapsANativeControlAndRestoresItsProcedure) {
  WindowBox owner;
  owner.SetStyle(WS_POPUP);
  owner.SetSize(0, 240, nullptr, 1);
  owner.SetSize(1, 320, nullptr, 1);
  ASSERT_TRUE(owner.Create(true, nullptr, nullptr, false));
  Dialog field;
  owner.AddChild(&field, &owner);
  field.SetSize(0, 100, nullptr, 1);
  field.SetSize(1, 20, nullptr, 1);
  field.SetPosition(0, 10, EdgeLeading, &owner, EdgeLeading);
  field.SetPosition(1, 30, EdgeLeading, &owner, EdgeLeading);
  field.SetStyle(WS_BORDER);
  ASSERT_TRUE(field.Create(true, &owner, L"EDIT", false));
  HWND edit = field.GetHandle();
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&WindowBox::WindowProc), GetWindowLongPtrW(edit, GWLP_WNDPROC));
  RECT r;
  GetWindowRect(edit, &r);
  MapWindowPoints(nullptr, owner.GetHandle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(10, r.left);
  EXPECT_EQ(30, r.top);
  SetWindowTextW(edit, L"typed");  // the native control still does its work
  wchar_t text[16];
  GetWindowTextW(edit, text, 16);
  EXPECT_STREQ(L"typed", text);
  field.SetPosition(1, 60, EdgeLeading, &owner, EdgeLeading);
  GetWindowRect(edit, &r);
  MapWindowPoints(nullptr, owner.GetHandle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(60, r.top) << "moving the box moves the native window";
  SendMessageW(edit, WM_APP, 5, 0);  // offered to OnWindowMessage first: closes
  EXPECT_EQ(nullptr, field.GetHandle());
  EXPECT_FALSE(IsWindow(edit));
  owner.RemoveChild(&field);
  owner.Close(0);
}

TEST(TextBoxes, FitMinimumAndEllipsisBuffer) {
  TextBase label;
  label.SetMargins(3, 2);
  label.SetText(L"Fits", 0, 14, true, 0, false, false, false, true);
  int w = 0, h = 0;
  int cw = 1000, ch = 1000;
  wchar_t fits[] = L"Fits";
  ASSERT_TRUE(DrawTextBlock(true, &cw, &ch, nullptr, 0, 0, 0, 0, 0, 0, fits, 0, 14, true, 0, false, false, false, 0));
  label.GetSize(&w, &h);
  EXPECT_EQ(cw + 6, w);
  EXPECT_EQ(ch + 4, h);

  Text t;
  t.SetSize(0, 0, nullptr, 1);
  t.SetSize(1, 0, nullptr, 1);
  t.SetMinimumSize(120, 40);
  t.SetText(L"x");
  EXPECT_EQ(120, t.Width());
  EXPECT_EQ(40, t.Height());
  t.SetText(L"a much longer text that would be wider than the minimum");
  EXPECT_GE(t.Width(), 120);
  EXPECT_GE(t.Height(), 40);

  // The ellipsis is written inside the text, never past it.
  wchar_t small[] = L"ab\0ZZZZZ";
  int sw = 1000, sh = 1000;
  ASSERT_TRUE(DrawTextBlock(true, &sw, &sh, nullptr, 0, 0, 0, 0, 0, 0, small, 0, 14, true, 0, false, false, false, 1));
  EXPECT_STREQ(L"ab", small);
  EXPECT_EQ(L'Z', small[3]);
  wchar_t long_text[64] = L"A headline that does not fit";
  int lw = 1000, lh = 1000;
  ASSERT_TRUE(DrawTextBlock(true, &lw, &lh, nullptr, 0, 0, 0, 0, 0, 0, long_text, 0, 14, true, 0, false, false,
                            false, 60));
  std::wstring cut = long_text;
  ASSERT_GE(cut.size(), 3u);
  EXPECT_EQ(L"...", cut.substr(cut.size() - 3));
  EXPECT_LT(cut.size(), wcslen(L"A headline that does not fit"));
  EXPECT_LE(lw, 60);
}

TEST(TextBoxes, FontFaceDefaultsToAriel) {
  HFONT f = CreateTextFont(nullptr, 14, true, false, true);
  LOGFONTW lf;
  ASSERT_TRUE(GetObjectW(f, sizeof(lf), &lf));
  EXPECT_STREQ(L"Ariel", lf.lfFaceName);
  EXPECT_EQ(700, lf.lfWeight);
  EXPECT_EQ(14, lf.lfHeight);
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_EQ(DEFAULT_CHARSET, lf.lfCharSet);
  DeleteObject(f);
}

}  // namespace
