// The toolkit through real window messages and pixels read back from the window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/button.h"
#include "gui/window_box.h"
#include "platform/screenshot.h"

using namespace VexaAppGUISystem;

namespace {

HBITMAP MakeBitmap(int w, int h, COLORREF fill, COLORREF inner = CLR_INVALID) {
  HDC screen = GetDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(screen, w, h);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bm);
  RECT r = {0, 0, w, h};
  HBRUSH b = CreateSolidBrush(fill);
  FillRect(dc, &r, b);
  DeleteObject(b);
  if (inner != CLR_INVALID) {  // a centre square of another colour
    RECT c = {w / 4, h / 4, w - w / 4, h - h / 4};
    HBRUSH ib = CreateSolidBrush(inner);
    FillRect(dc, &c, ib);
    DeleteObject(ib);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bm;
}

struct Recorder : Box {
  struct Event {
    Box* source;
    int code;
    std::intptr_t a, b;
  };
  std::vector<Event> events;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override {
    events.push_back({source, code, data ? data[0] : 0, data ? data[1] : 0});
    return code == EventCommand;
  }
  int Count(int code) const {
    int n = 0;
    for (const Event& e : events) n += e.code == code;
    return n;
  }
};

struct Window : WindowBox {
  std::vector<int> codes;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override {
    codes.push_back(code);
    return WindowBox::HandleEvent(source, code, data);
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win.SetSize(0, 240, nullptr, 1);
    win.SetSize(1, 320, nullptr, 1);
    win.SetStyle(WS_POPUP);
    ASSERT_TRUE(win.Create(true, nullptr, nullptr, false));
    win.AddChild(&panel, &win);
    panel.SetSize(0, 1, &win, 1);
    panel.SetSize(1, 1, &win, 1);
  }
  void TearDown() override {
    while (panel.GetChildCount()) panel.RemoveChild(panel.GetChild(0));
    win.RemoveChild(&panel);
    win.Close(0);
  }
  void Pen(UINT msg, int x, int y) { SendMessageW(win.GetHandle(), msg, 0, MAKELPARAM(x, y)); }
  void Place(Box* b, int x, int y) {
    b->SetPosition(0, x, EdgeLeading, &panel, EdgeLeading);
    b->SetPosition(1, y, EdgeLeading, &panel, EdgeLeading);
  }
  platform::Pixels Capture() {
    platform::Pixels px;
    EXPECT_TRUE(platform::CaptureWindow(win.GetHandle(), true, &px));
    return px;
  }
  Window win;
  Recorder panel;
};

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

TEST_F(WindowTest, ScrollBarMessages) {
  Box tall;
  panel.AddChild(&tall, &panel);
  tall.SetSize(0, 10, nullptr, 1);
  tall.SetSize(1, 1000, nullptr, 1);
  panel.SetSize(1, 0, nullptr, 1);
  panel.SetSize(1, 320, nullptr, 1);
  panel.SetScrollable(1, true);
  win.AddChild(&tall, nullptr);  // must fail: already has a parent
  win.SetScrollable(1, true);
  // The window itself scrolls its own content: move the tall box there.
  panel.RemoveChild(&tall);
  win.AddChild(&tall, &win);
  tall.SetSize(0, 10, nullptr, 1);
  tall.SetSize(1, 1000, nullptr, 1);
  win.SetLineStep(1, 7);
  SendMessageW(win.GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(1000 - 320, win.GetScrollPosition(1));
  SendMessageW(win.GetHandle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(0, win.GetScrollPosition(1));
  SendMessageW(win.GetHandle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(7, win.GetScrollPosition(1));
  SCROLLINFO si = {sizeof(si), SIF_ALL};
  GetScrollInfo(win.GetHandle(), SB_VERT, &si);
  EXPECT_EQ(1000, si.nMax);
  EXPECT_EQ(7, si.nPos);
  win.RemoveChild(&tall);
}

}  // namespace

namespace {

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
