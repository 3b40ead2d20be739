// Text fields with their native controls, driven by real key and pen
// messages through a message loop that translates keys into characters.
#include <gtest/gtest.h>

#include <string>

#include "gui/text_field.h"
#include "window_fixture.h"

namespace {
using namespace toolkit_test;

LPARAM KeyData(UINT vk, bool up) {
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  return 1 | scan | (up ? static_cast<LPARAM>(0xC0000000u) : 0);
}

// A key as the keyboard gives it: down and up to the window with the focus.
void Press(UINT vk) {
  HWND target = GetFocus();
  PostMessageW(target, WM_KEYDOWN, vk, KeyData(vk, false));
  Pump();
  PostMessageW(GetFocus(), WM_KEYUP, vk, KeyData(vk, true));
  Pump();
}

void Type(const wchar_t* text) {
  for (const wchar_t* c = text; *c; ++c) PostMessageW(GetFocus(), WM_CHAR, *c, 1);
  Pump();
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[256] = L"";
  GetWindowTextW(window, buffer, 256);
  return buffer;
}

DWORD Caret(HWND edit) {
  DWORD start = 0, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start == end ? start : 0xFFFF;
}

// The frame's part of navigation: LEFT and RIGHT move the toolkit focus.
struct NavigatingWindow : Window {
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override {
    Window::HandleEvent(source, code, data);
    if (code == EventKeyDown && (data[0] == VK_LEFT || data[0] == VK_RIGHT))
      return MoveFocus(data[0] == VK_LEFT ? -1 : 1, true, true, nullptr);
    return false;
  }
};

const wchar_t* Strings(int id) {
  switch (id) {
    case 1: return L"Tidelark";
    case 69: return L"Every hour";
    case 70: return L"Every day";
    case 71: return L"Manually";
  }
  return nullptr;
}

class FieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreatePopup(&win, 240, 320));
    SetForegroundWindow(win.GetHandle());
    SetFocus(win.GetHandle());
    win.AddChild(&column, &win);
    column.SetOrientation(1);
    column.SetSpacing(4);
    column.SetMargins(4, 4, 4, 4);
    before.SetLabel(L"Before");
    after.SetLabel(L"After");
    column.AddChild(&before, &column);
    win.AddToFocusOrder(&column, &win, 0);
    column.AddToFocusOrder(&before, &column, FocusItem);
  }
  void TearDown() override {
    win.SetFocus(nullptr);
    while (column.GetChildCount()) column.RemoveChild(column.GetChild(0));
    win.RemoveChild(&column);
    win.Close(0);
    Pump();
  }
  // Adds a field of that kind between the two buttons.
  void AddField(TextFieldBox* field, int kind, bool singleLine = true) {
    ASSERT_TRUE(field->SetCaption(L"Name", kind, &win, singleLine, false));
    field->SetSize(0, 200, nullptr, 1);
    field->SetSize(1, singleLine ? 22 : 60, nullptr, 1);
    column.AddChild(field, &column);
    column.AddChild(&after, &column);
    column.AddToFocusOrder(field, &column, 0);
    column.AddToFocusOrder(&after, &column, FocusItem);
  }
  NavigatingWindow win;
  Bar column;
  TextButton before{nullptr, 1}, after{nullptr, 2};
};

TEST_F(FieldTest, EachKindMakesItsControl) {
  TextFieldBox::SetStringSource(Strings);
  const wchar_t* items[] = {L"Red", L"Green", L"Blue"};
  struct {
    int kind;
    bool single_line;
    const wchar_t* cls;
    DWORD style;
    int items;
  } kinds[] = {
      {FieldText, true, L"Edit", 0x10800080, -1},     {FieldText, false, L"Edit", 0x10800044, -1},
      {FieldNumber, true, L"Edit", 0x10802080, -1},   {FieldChoice, true, L"ComboBox", 0x10800043, 0},
      {FieldPassword, true, L"Edit", 0x108000A0, -1}, {FieldSyncEvery, true, L"ComboBox", 0x10800043, 3},
      {FieldProgram, true, L"ComboBox", 0x10800043, 1}, {FieldItems, true, L"ComboBox", 0x10800043, 3},
  };
  for (auto& k : kinds) {
    SCOPED_TRACE(k.kind);
    TextFieldBox field;
    field.SetItems(items, 3);
    AddField(&field, k.kind, k.single_line);
    HWND control = field.Control().GetHandle();
    ASSERT_NE(nullptr, control);
    EXPECT_EQ(win.GetHandle(), GetParent(control)) << "a child of the owner's window";
    wchar_t cls[32];
    GetClassNameW(control, cls, 32);
    EXPECT_STREQ(k.cls, cls);
    // The control may trade WS_BORDER for a border of its own drawing.
    DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    EXPECT_EQ(k.style & ~DWORD(WS_BORDER), style & k.style & ~DWORD(WS_BORDER)) << std::hex << style;
    EXPECT_EQ(k.style & 0xFFFFu, style & 0xFFFFu) << std::hex << style;
    EXPECT_TRUE(style & WS_CHILD);
    if (k.items < 0) {
      EXPECT_EQ(L"", TextOf(control)) << "an empty window text";
    } else {
      EXPECT_EQ(k.items, SendMessageW(control, CB_GETCOUNT, 0, 0));
    }
    EXPECT_NE(0, SendMessageW(control, WM_GETFONT, 0, 0)) << "the program's text font";
    EXPECT_EQ(field.GetCaptionWidth(), field.Control().GetOffsetIn(&field, 0));
    EXPECT_EQ(200 - field.GetCaptionWidth(), field.Control().Width());
    EXPECT_EQ(FocusGroup, field.GetFocusMode());
    ASSERT_EQ(1, field.GetFocusCount());
    EXPECT_EQ(&field.Control(), field.GetFocusEntry(0));
    EXPECT_FALSE(field.SetCaption(L"Again", k.kind, &win, true, false)) << "the control exists already";
    column.RemoveFromFocusOrder(&field);
    column.RemoveFromFocusOrder(&after);
    column.RemoveChild(&field);
    column.RemoveChild(&after);
    EXPECT_FALSE(IsWindow(control)) << "leaving the parent closes the control";
  }
  TextFieldBox::SetStringSource(nullptr);
}

TEST_F(FieldTest, TextAndSelectionThroughTheControl) {
  TextFieldBox edit, combo;
  EXPECT_FALSE(edit.SetText("early")) << "no control yet";
  AddField(&edit, FieldText);
  ASSERT_TRUE(edit.SetText("Gr\xFC\xDF" "e"));  // ANSI code page text
  char buffer[16];
  ASSERT_TRUE(edit.GetText(buffer, sizeof buffer));
  EXPECT_STREQ("Gr\xFC\xDF" "e", buffer);
  char small[4];
  ASSERT_TRUE(edit.GetText(small, sizeof small));
  EXPECT_STREQ("Gr\xFC", small) << "cut to fit, always ended";
  EXPECT_EQ(CB_ERR, edit.GetSelection());
  EXPECT_FALSE(edit.SetSelection(1));

  const wchar_t* items[] = {L"Red", L"Green", L"Blue"};
  combo.SetItems(items, 3);
  ASSERT_TRUE(combo.SetCaption(L"Colour", FieldItems, &win, true, true));
  combo.SetSize(0, 200, nullptr, 1);
  combo.SetSize(1, 22, nullptr, 1);
  column.AddChild(&combo, &column);
  EXPECT_EQ(CB_ERR, combo.GetSelection());
  ASSERT_TRUE(combo.SetSelection(2));
  EXPECT_EQ(2, combo.GetSelection());
  ASSERT_TRUE(combo.GetText(buffer, sizeof buffer));
  EXPECT_STREQ("Blue", buffer);
}

// A passive edit: no characters, LEFT and RIGHT move the toolkit focus;
// RETURN enters it without inserting anything; while editing LEFT moves the
// caret and leaves only from the start.
TEST_F(FieldTest, EditKeyboardModel) {
  TextFieldBox field;
  AddField(&field, FieldText, false);  // several lines: RETURN would insert a line break
  HWND edit = field.Control().GetHandle();
  ASSERT_TRUE(field.SetText("hello"));

  ASSERT_TRUE(win.SetFocus(&field));
  EXPECT_EQ(&field.Control(), win.GetFocused(false));
  EXPECT_EQ(edit, GetFocus()) << "the native focus follows the toolkit focus";
  EXPECT_FALSE(field.Control().IsEditing());
  EXPECT_EQ(5u, Caret(edit)) << "a passive field keeps its caret at the end";
  Type(L"xy");
  EXPECT_EQ(L"hello", TextOf(edit)) << "a passive field takes no characters";

  Press(VK_RIGHT);
  EXPECT_EQ(&after, win.GetFocused(false)) << "passive: RIGHT moves on";
  EXPECT_EQ(win.GetHandle(), GetFocus()) << "and the native focus goes back to the window";
  Press(VK_LEFT);
  EXPECT_EQ(&field.Control(), win.GetFocused(false));
  EXPECT_EQ(edit, GetFocus());

  Press(VK_RETURN);
  EXPECT_TRUE(field.Control().IsEditing());
  EXPECT_EQ(L"hello", TextOf(edit)) << "RETURN entered the field and inserted nothing";
  Type(L"!");
  EXPECT_EQ(L"hello!", TextOf(edit));
  Press(VK_LEFT);
  EXPECT_EQ(5u, Caret(edit)) << "inside the text LEFT moves the caret";
  EXPECT_EQ(&field.Control(), win.GetFocused(false));
  for (int i = 0; i < 5; ++i) Press(VK_LEFT);
  EXPECT_EQ(0u, Caret(edit));
  Press(VK_LEFT);
  EXPECT_EQ(&before, win.GetFocused(false)) << "at the start LEFT goes to the previous control";
  EXPECT_FALSE(field.Control().IsEditing()) << "leaving ends editing";

  Press(VK_RIGHT);
  ASSERT_EQ(&field.Control(), win.GetFocused(false));
  Press(VK_DOWN);
  EXPECT_TRUE(field.Control().IsEditing()) << "DOWN enters too";
  SendMessageW(edit, EM_SETSEL, 6, 6);
  Press(VK_RIGHT);
  EXPECT_EQ(&after, win.GetFocused(false)) << "at the end RIGHT goes to the next control";

  // A tap enters editing and takes both focuses.
  SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  Pump();
  EXPECT_TRUE(field.Control().IsEditing());
  EXPECT_EQ(&field.Control(), win.GetFocused(false));
  EXPECT_EQ(edit, GetFocus());
  SetFocus(win.GetHandle());
  EXPECT_FALSE(field.Control().IsEditing()) << "losing the native focus ends editing";
}

// A combo box is always editing; RETURN or DOWN open its list on release.
TEST_F(FieldTest, ComboBoxKeyboardModel) {
  TextFieldBox field;
  const wchar_t* items[] = {L"Red", L"Green", L"Blue"};
  field.SetItems(items, 3);
  AddField(&field, FieldItems);
  HWND combo = field.Control().GetHandle();
  field.SetSelection(0);
  ASSERT_TRUE(win.SetFocus(&field));
  EXPECT_EQ(combo, GetFocus());
  EXPECT_TRUE(field.Control().IsEditing());

  PostMessageW(combo, WM_KEYDOWN, VK_RETURN, KeyData(VK_RETURN, false));
  Pump();
  EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) << "not yet: on release";
  PostMessageW(combo, WM_KEYUP, VK_RETURN, KeyData(VK_RETURN, true));
  Pump();
  EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) << "RETURN released: the list opens";
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  Pump();

  Press(VK_DOWN);
  EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) << "DOWN opens it too";
  EXPECT_EQ(0, field.GetSelection()) << "DOWN was taken: the selection did not move";
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  Pump();

  SetFocus(combo);
  Press(VK_LEFT);
  EXPECT_EQ(&before, win.GetFocused(false)) << "a list has no caret: LEFT leaves";
  EXPECT_EQ(0, field.GetSelection());
}

// The inner edit of a combo box with one passes its messages through the
// field control first, and gets its own procedure back when the field goes.
TEST_F(FieldTest, InnerEditOfAComboBoxIsSubclassed) {
  TextFieldBox::FieldControl control;
  column.AddChild(&control, &before);
  control.SetSize(0, 150, nullptr, 1);
  control.SetSize(1, 22, nullptr, 1);
  column.AddToFocusOrder(&control, &column, FocusItem);
  column.AddChild(&after, &column);
  column.AddToFocusOrder(&after, &column, FocusItem);
  ASSERT_TRUE(control.CreateControl(&win, L"COMBOBOX", WS_VISIBLE | WS_BORDER | CBS_DROPDOWN | CBS_AUTOHSCROLL));
  HWND inner = control.InnerEdit();
  ASSERT_NE(nullptr, inner) << "a drop-down combo box has an edit inside";
  HWND fresh = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, win.GetHandle(), nullptr, nullptr, nullptr);
  LONG_PTR edit_procedure = GetWindowLongPtrW(fresh, GWLP_WNDPROC);
  DestroyWindow(fresh);
  EXPECT_NE(edit_procedure, GetWindowLongPtrW(inner, GWLP_WNDPROC)) << "subclassed";

  ASSERT_TRUE(win.SetFocus(&control));
  EXPECT_EQ(inner, GetFocus()) << "the native focus goes into the inner edit";
  Type(L"ab");
  EXPECT_EQ(L"ab", TextOf(inner)) << "a combo box is always editing";
  Press(VK_LEFT);
  EXPECT_EQ(1u, Caret(inner));
  EXPECT_EQ(&control, win.GetFocused(false));
  Press(VK_LEFT);
  Press(VK_LEFT);
  EXPECT_EQ(&before, win.GetFocused(false)) << "from the inner edit's start to the previous control";

  column.RemoveFromFocusOrder(&control);
  column.RemoveChild(&control);
  EXPECT_EQ(edit_procedure, GetWindowLongPtrW(inner, GWLP_WNDPROC)) << "its own procedure again";
  control.CloseControl();
}

}  // namespace

namespace {
using namespace toolkit_test;

// The focused field wears a blue frame on its outline, gone with the focus.
TEST_F(FieldTest, FocusFrameOnTheControl) {
  TextFieldBox field;
  AddField(&field, FieldText);
  HWND edit = field.Control().GetHandle();
  auto blue_on_outline = [&] {
    Pump();
    platform::Pixels px;
    EXPECT_TRUE(platform::CaptureWindow(win.GetHandle(), true, &px));
    RECT r;
    GetWindowRect(edit, &r);
    MapWindowPoints(nullptr, win.GetHandle(), reinterpret_cast<POINT*>(&r), 2);
    int blue = 0;
    for (int x = r.left; x < r.right; ++x) blue += px.At(x, r.top) == 0x0000FFu;
    for (int y = r.top; y < r.bottom; ++y) blue += px.At(r.left, y) == 0x0000FFu;
    return blue;
  };
  EXPECT_EQ(0, blue_on_outline());
  ASSERT_TRUE(win.SetFocus(&field));
  win.InvalidateAll();
  EXPECT_GT(blue_on_outline(), 50);
  ASSERT_TRUE(win.SetFocus(&after));
  EXPECT_EQ(0, blue_on_outline()) << "the frame goes with the focus";
}

}  // namespace
