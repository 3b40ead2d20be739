// Buttons driven by real pen messages through the window procedure.
#include <gtest/gtest.h>

#include <memory>

#include "window_fixture.h"

namespace {
using namespace toolkit_test;

TextStyle Labelled(COLORREF colour) {
  TextStyle s;
  s.multiLine = false;
  s.transparent = true;
  s.textColour = colour;
  return s;
}

const COLORREF kNormalInk = RGB(0, 0, 0), kPressedInk = RGB(255, 255, 255);

// Each text button kind, placed at (10, 10) in the panel.
struct Kind {
  const char* name;
  std::unique_ptr<Button> (*make)(const char* command, std::uint32_t value);
  bool (*pressed_look)(Button*);
};

template <typename T>
std::unique_ptr<Button> MakeLabelled(const char* command, std::uint32_t value) {
  auto b = std::make_unique<T>(command, value);
  b->SetNormalStyle(Labelled(kNormalInk));
  b->SetPressedStyle(Labelled(kPressedInk));
  b->SetLabel(L"Press me");
  return b;
}
std::unique_ptr<Button> MakeOld(const char* command, std::uint32_t value) {
  auto b = std::make_unique<TextButtonRectangular>(command, value);
  b->NormalLabel().SetText(L"Press me", kNormalInk, 14, true, 0, false, false, false, false);
  b->PressedLabel().SetText(L"Press me", kPressedInk, 14, true, 0, false, false, false, false);
  b->SetSize(0, 80, nullptr, 1);
  b->SetSize(1, 24, nullptr, 1);
  return b;
}
bool TextPressed(Button* b) { return static_cast<TextButton*>(b)->Label().GetStyle().textColour == kPressedInk; }
bool OldPressed(Button* b) { return static_cast<TextButtonOld*>(b)->PressedLabel().IsVisible(); }

const Kind kKinds[] = {
    {"TextButton", MakeLabelled<TextButton>, TextPressed},
    {"TextButtonRounded", MakeLabelled<TextButtonRounded>, TextPressed},
    {"TextButtonRectangular", MakeOld, OldPressed},
};

// Down, out, in, up inside: pressed, normal, pressed, one command; the state
// stays pressed while the pen is down. Out and up outside: no command.
TEST_F(WindowTest, TextButtonsTrackThePenAndCommandOnce) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    std::unique_ptr<Button> b = k.make("go", 77);
    panel.AddChild(b.get(), &panel);
    Place(b.get(), 10, 10);
    ASSERT_GT(b->Width(), 20);
    int before = panel.Count(EventCommand);
    Pen(WM_LBUTTONDOWN, 15, 15);
    EXPECT_TRUE(k.pressed_look(b.get()));
    EXPECT_EQ(StatePressed, b->GetState());
    Pen(WM_MOUSEMOVE, 200, 200);
    EXPECT_FALSE(k.pressed_look(b.get()));
    EXPECT_EQ(StatePressed, b->GetState());
    Pen(WM_MOUSEMOVE, 16, 16);
    EXPECT_TRUE(k.pressed_look(b.get()));
    Pen(WM_LBUTTONUP, 16, 16);
    EXPECT_FALSE(k.pressed_look(b.get()));
    EXPECT_EQ(StateNormal, b->GetState());
    ASSERT_EQ(before + 1, panel.Count(EventCommand));
    EXPECT_EQ(77, panel.events.back().b);
    EXPECT_STREQ("go", reinterpret_cast<const char*>(panel.events.back().a));

    Pen(WM_LBUTTONDOWN, 15, 15);
    Pen(WM_MOUSEMOVE, 200, 200);
    Pen(WM_LBUTTONUP, 200, 200);
    EXPECT_EQ(before + 1, panel.Count(EventCommand)) << "released outside";
    EXPECT_EQ(StateNormal, b->GetState());
    EXPECT_EQ(nullptr, win.GetCapture());
    panel.RemoveChild(b.get());
  }
}

// Screens name their buttons by command value alone: the pen and the action
// key both send it.
TEST_F(WindowTest, TextButtonsWithACommandValueOnlyAnswerPenAndKey) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    std::unique_ptr<Button> b = k.make(nullptr, 5019);
    panel.AddChild(b.get(), &panel);
    Place(b.get(), 10, 10);
    int before = panel.Count(EventCommand);
    Tap(15, 15);
    ASSERT_EQ(before + 1, panel.Count(EventCommand));
    EXPECT_EQ(0, panel.events.back().a) << "no command string";
    EXPECT_EQ(5019, panel.events.back().b);
    std::intptr_t none[2] = {0, 0};
    panel.SendEvent(b.get(), EventActivate, none, false);
    EXPECT_EQ(before + 2, panel.Count(EventCommand));
    panel.RemoveChild(b.get());
  }
}

// The rounded and the framed button fill with the pressed colour while the
// pen is down inside them, and with the normal colour when it leaves.
TEST_F(WindowTest, PressedFillFollowsThePen) {
  const COLORREF pressed_fill = RGB(0, 0, 220), normal_fill = RGB(240, 240, 200);
  TextButtonRounded rounded("r", 1);
  rounded.SetColours(pressed_fill, normal_fill, RGB(0, 0, 0));
  rounded.SetNormalStyle(Labelled(kNormalInk));
  rounded.SetPressedStyle(Labelled(kPressedInk));
  rounded.SetLabel(L"Round");
  TextButtonRectangular framed("f", 2);
  framed.SetColours(pressed_fill, normal_fill, RGB(0, 0, 0));
  framed.NormalLabel().SetText(L"Framed", kNormalInk, 14, true, 0, false, false, false, false);
  framed.PressedLabel().SetText(L"Framed", kPressedInk, 14, true, 0, false, false, false, false);
  framed.SetSize(0, 80, nullptr, 1);
  framed.SetSize(1, 24, nullptr, 1);
  panel.AddChild(&rounded, &panel);
  panel.AddChild(&framed, &panel);
  Place(&rounded, 10, 10);
  Place(&framed, 10, 60);
  struct {
    Box* b;
    int x, y;
  } cases[] = {{&rounded, 10, 10}, {&framed, 10, 60}};
  for (auto& c : cases) {
    // A point of fill: inside the frame, below the text.
    int fx = c.x + 3, fy = c.y + c.b->Height() - 3;
    EXPECT_EQ(platform::PixelOf(normal_fill), Capture().At(fx, fy));
    Pen(WM_LBUTTONDOWN, c.x + 5, c.y + 5);
    EXPECT_EQ(platform::PixelOf(pressed_fill), Capture().At(fx, fy));
    Pen(WM_MOUSEMOVE, 230, 250);
    EXPECT_EQ(platform::PixelOf(normal_fill), Capture().At(fx, fy));
    Pen(WM_MOUSEMOVE, c.x + 5, c.y + 5);
    EXPECT_EQ(platform::PixelOf(pressed_fill), Capture().At(fx, fy));
    Pen(WM_LBUTTONUP, c.x + 5, c.y + 5);
    EXPECT_EQ(platform::PixelOf(normal_fill), Capture().At(fx, fy));
  }
  panel.RemoveChild(&rounded);
  panel.RemoveChild(&framed);
}

// A rounded button keeps its letters clear of its two focus frames.
TEST_F(WindowTest, RoundedButtonLettersClearOfTheFocusFrames) {
  TextButtonRounded b("r", 1);
  b.SetColours(0xFF0000, 0xFFFFFF, 0);
  b.SetNormalStyle(Labelled(kNormalInk));
  b.SetLabel(L"WWW");
  panel.AddChild(&b, &panel);
  Place(&b, 20, 20);
  panel.AddToFocusOrder(&b, &panel, FocusItem);
  win.AddToFocusOrder(&panel, &win, 0);
  ASSERT_TRUE(win.SetFocus(&b));
  platform::Pixels px = Capture();
  // No letter ink (black) in the frames and the pixel inside them.
  for (int y = 20; y < 20 + b.Height(); ++y)
    for (int x : {20, 21, 22, 20 + b.Width() - 3, 20 + b.Width() - 2, 20 + b.Width() - 1})
      EXPECT_NE(0u, px.At(x, y)) << x << "," << y;
  int ink = 0;
  for (int y = 20; y < 20 + b.Height(); ++y)
    for (int x = 23; x < 20 + b.Width() - 3; ++x) ink += px.At(x, y) == 0;
  EXPECT_GT(ink, 10) << "the letters are there";
  win.SetFocus(nullptr);
  win.RemoveFromFocusOrder(&panel);
  panel.RemoveChild(&b);
}

// The parts of an icon cell pass the pen to their parent as item events.
TEST_F(WindowTest, ActionButtonsForwardThePenAsItemEvents) {
  ActionImageButton icon(nullptr, 4100);
  HBITMAP bm = MakeBitmap(30, 30, RGB(0, 120, 0));
  icon.SetImages(bm, bm, bm, false, 0, false);
  ActionTextButton label(nullptr, 4101);
  label.SetLabel(L"Label");
  Recorder cell;
  panel.AddChild(&cell, &panel);
  cell.SetSize(0, 200, nullptr, 1);
  cell.SetSize(1, 100, nullptr, 1);
  cell.AddChild(&icon, &cell);
  cell.AddChild(&label, &cell);
  icon.SetPosition(0, 10, EdgeLeading, &cell, EdgeLeading);
  icon.SetPosition(1, 10, EdgeLeading, &cell, EdgeLeading);
  label.SetPosition(0, 10, EdgeLeading, &cell, EdgeLeading);
  label.SetPosition(1, 60, EdgeLeading, &cell, EdgeLeading);
  struct {
    Box* part;
    int x, y;
    bool pressed_by_move;
  } parts[] = {{&icon, 20, 20, true}, {&label, 15, 65, false}};
  for (auto& p : parts) {
    cell.events.clear();
    auto pressed = [&] { return p.part == &icon ? icon.IsPressed() : label.IsPressed(); };
    Pen(WM_LBUTTONDOWN, p.x, p.y);
    EXPECT_TRUE(pressed());
    Pen(WM_LBUTTONUP, p.x, p.y);
    EXPECT_FALSE(pressed());
    Pen(WM_MOUSEMOVE, p.x + 1, p.y + 2);
    EXPECT_EQ(p.pressed_by_move, pressed()) << "a move presses the icon only";
    ASSERT_EQ(3u, cell.events.size());
    EXPECT_EQ(EventItemDown, cell.events[0].code);
    EXPECT_EQ(EventItemUp, cell.events[1].code);
    EXPECT_EQ(EventItemMove, cell.events[2].code);
    int offset_x = p.part->GetOffsetIn(&win, 0), offset_y = p.part->GetOffsetIn(&win, 1);
    EXPECT_EQ(p.x + 1 - offset_x, cell.events[2].a) << "the pen data as the part received it";
    EXPECT_EQ(p.y + 2 - offset_y, cell.events[2].b);
    EXPECT_EQ(p.part, cell.events[0].source);
    EXPECT_EQ(0, panel.Count(EventCommand)) << "the cell decides; the part never commands on the pen";

    std::intptr_t none[2] = {0, 0};
    panel.SendEvent(p.part, EventActivate, none, false);
    ASSERT_EQ(EventCommand, cell.events.back().code);
    EXPECT_EQ(static_cast<std::intptr_t>(p.part->GetUserValue()), cell.events.back().b);
    std::intptr_t focus[2] = {0, reinterpret_cast<std::intptr_t>(p.part)};
    panel.SendEvent(p.part, EventFocusOut, focus, false);
    EXPECT_EQ(EventFocusOut, cell.events.back().code);
  }
  cell.RemoveChild(&icon);
  cell.RemoveChild(&label);
  panel.RemoveChild(&cell);
  DeleteObject(bm);
}

struct Group {
  HBITMAP off = MakeBitmap(16, 16, RGB(255, 255, 255)), on = MakeBitmap(16, 16, RGB(0, 0, 0));
  ~Group() {
    DeleteObject(off);
    DeleteObject(on);
  }
};

// A tap on the label of a compound radio button works as a tap on the
// button: it selects it and sends the command; the pen never unchecks it.
TEST_F(WindowTest, CompoundRadioButtonSelectsFromItsLabel) {
  Group images;
  CRadioButtonEx radio;
  radio.Build(0, 0);
  radio.SetImages(images.off, images.on, images.off, false, 0, false);
  radio.SetCommandValue(3020);
  radio.SetLabelText(L"Over the air", 0, -1, 0xFFFFFF, true, false, false, false);
  panel.AddChild(&radio, &panel);
  Place(&radio, 10, 100);
  int label_x = 10 + 16 + 3 + 10, y = 100 + radio.Height() / 2;
  Tap(label_x, y);
  EXPECT_TRUE(radio.IsChecked());
  EXPECT_EQ(images.on, radio.Radio().GetCurrentBitmap());
  ASSERT_EQ(1, panel.Count(EventCommand));
  EXPECT_EQ(3020, panel.events.back().b);
  EXPECT_EQ(&radio.Radio(), panel.events.back().source);
  Tap(label_x, y);
  Tap(12, y);
  EXPECT_TRUE(radio.IsChecked()) << "neither the label nor the button unchecks it";
  EXPECT_EQ(3, panel.Count(EventCommand)) << "each tap is a command, as on the button";
  radio.SetChecked(false);
  Tap(12, y);  // the button itself
  EXPECT_TRUE(radio.IsChecked());
  EXPECT_EQ(4, panel.Count(EventCommand));
  radio.group_data_[0] = 7;
  panel.RemoveChild(&radio);
  EXPECT_FALSE(radio.IsChecked()) << "detaching unchecks";
  EXPECT_EQ(0, radio.group_data_[0]) << "and clears the group data";
}

// The label of a compound takes the width beside the button every time,
// instead of narrowing to the last text's width.
TEST_F(WindowTest, CompoundLabelKeepsItsWidthAcrossTexts) {
  Group images;
  CCheckBoxEx check;
  check.Build(150, 0);
  check.SetImages(images.off, images.on, images.off, false, 0, false);
  panel.AddChild(&check, &panel);
  Place(&check, 0, 0);
  const wchar_t* texts[] = {L"A rather long label that wraps onto more lines", L"Short",
                            L"A rather long label that wraps onto more lines"};
  int heights[3];
  for (int i = 0; i < 3; ++i) {
    check.SetLabelText(texts[i], 0, -1, 0xFFFFFF, true, false, false, false);
    EXPECT_EQ(150, check.Label().Width()) << i;
    EXPECT_EQ(16 + 3 + 150, check.Width()) << i;
    heights[i] = check.Label().Height();
  }
  EXPECT_GT(heights[0], heights[1]) << "the long text wraps";
  EXPECT_EQ(heights[0], heights[2]) << "and wraps the same way the second time";
  panel.RemoveChild(&check);
}

// Buttons share one prepared copy per bitmap and key, freed with the last user.
TEST_F(WindowTest, ButtonsShareOnePreparedCopyPerBitmap) {
  const COLORREF key = RGB(255, 0, 255);
  HBITMAP bm = MakeBitmap(20, 20, key, RGB(0, 0, 200));
  int before = PreparedBitmap::Live();
  {
    ImageButton a("a", 1), b("b", 2), c("c", 3);
    for (ImageButton* x : {&a, &b, &c}) {
      x->SetImages(bm, bm, bm, true, key, false);
      panel.AddChild(x, &panel);
    }
    Place(&a, 10, 10);
    Place(&b, 40, 10);
    Place(&c, 70, 10);
    win.InvalidateAll();
    EXPECT_EQ(before + 1, PreparedBitmap::Live());
    platform::Pixels px = Capture();
    EXPECT_EQ(platform::PixelOf(RGB(0, 0, 200)), px.At(50, 20));
    EXPECT_EQ(0xFFFFFFu, px.At(41, 11)) << "key pixels leave the background";
    c.SetImages(bm, bm, bm, true, RGB(0, 0, 200), false);  // another key: another mask
    win.InvalidateAll();
    EXPECT_EQ(before + 2, PreparedBitmap::Live());
  }
  EXPECT_EQ(before, PreparedBitmap::Live()) << "freed with the buttons";
  DeleteObject(bm);
}

}  // namespace
