// TextFieldBox::FieldControl: the native control of a text field, its
// keyboard model, and the table of subclassed inner edits of combo boxes.
#include <cassert>
#include <cwchar>
#include <vector>

#include "gui/bitmap.h"
#include "gui/text.h"
#include "gui/text_field.h"

namespace VexaAppGUISystem {

namespace {

// Room below a combo box for its dropped list.
constexpr int kListRoom = 120;
constexpr COLORREF kFocusFrame = 0xFF0000;

struct SubclassedField {
  HWND edit;
  WNDPROC old;
  TextFieldBox::FieldControl* field;
};

std::vector<SubclassedField>& SubclassedFields() {
  static std::vector<SubclassedField> fields;
  return fields;
}

const SubclassedField* FindSubclassed(HWND edit) {
  for (const SubclassedField& f : SubclassedFields())
    if (f.edit == edit) return &f;
  return nullptr;
}

// The inner edit's messages pass through its field control first.
LRESULT CALLBACK InnerEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const SubclassedField* entry = FindSubclassed(hwnd);
  if (!entry) return DefWindowProcW(hwnd, msg, wp, lp);
  WNDPROC old = entry->old;
  LRESULT result = 0;
  if (entry->field->OnWindowMessage(hwnd, msg, wp, lp, &result)) return result;
  return old ? CallWindowProcW(old, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

bool IsEditClass(HWND window) {
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  return _wcsicmp(name, L"Edit") == 0;
}

}  // namespace

TextFieldBox::FieldControl::~FieldControl() { CloseControl(); }

bool TextFieldBox::FieldControl::CreateControl(WindowBox* owner, const wchar_t* nativeClass, DWORD style) {
  if (hwnd_ || !owner) return false;
  combo_ = _wcsicmp(nativeClass, L"COMBOBOX") == 0;
  bordered_ = (style & WS_BORDER) != 0;
  SetStyle(style);
  SetTitle(L"");
  if (!Create(true, owner, nativeClass, false)) return false;
  HFONT font = TextFieldBox::GetFieldFont();
  if (!font) font = font_ = AcquireBlockFont(14, false, false, false);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (combo_) {
    SubclassInnerEdit();
    OnResized(1);
  }
  editing_ = combo_;
  open_pending_ = swallow_return_char_ = false;
  return true;
}

bool TextFieldBox::FieldControl::SubclassInnerEdit() {
  if (!hwnd_ || inner_edit_) return inner_edit_ != nullptr;
  COMBOBOXINFO info = {};
  info.cbSize = sizeof(info);
  HWND edit = nullptr;
  if (GetComboBoxInfo(hwnd_, &info) && info.hwndItem && info.hwndItem != hwnd_) edit = info.hwndItem;
  if (!edit) edit = GetWindow(hwnd_, GW_CHILD);
  if (!edit || !IsEditClass(edit)) return false;
  WNDPROC old = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InnerEditProc)));
  SubclassedFields().push_back(SubclassedField{edit, old, this});
  inner_edit_ = edit;
  return true;
}

void TextFieldBox::FieldControl::RestoreInnerEdit() {
  std::vector<SubclassedField>& fields = SubclassedFields();
  bool listed = false;
  for (size_t i = 0; i < fields.size() && !listed; ++i) {
    if (fields[i].field != this) continue;
    if (::IsWindow(fields[i].edit))
      SetWindowLongPtrW(fields[i].edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fields[i].old));
    fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(i));
    listed = true;
  }
  assert(listed == (inner_edit_ != nullptr) && "an inner edit is in the table exactly while subclassed");
  inner_edit_ = nullptr;
}

void TextFieldBox::FieldControl::CloseControl() {
  RestoreInnerEdit();
  if (hwnd_) Close(0);
  if (font_) ReleaseBlockFont(font_);
  font_ = nullptr;
  editing_ = open_pending_ = swallow_return_char_ = false;
}

void TextFieldBox::FieldControl::OnDetach(Box*) { RestoreInnerEdit(); }

// A combo box window is as tall as its dropped list may be.
void TextFieldBox::FieldControl::OnResized(int axis) {
  if (!hwnd_) return;
  int w = size_[0] < 0 ? 0 : size_[0], h = size_[1] < 0 ? 0 : size_[1];
  ResizeNative(0, 0, w, combo_ ? h + kListRoom : h, SWP_NOMOVE);
}

// The native focus follows the toolkit focus into the field and out of it.
bool TextFieldBox::FieldControl::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (!hwnd_ || !data) return false;
  HWND target = inner_edit_ ? inner_edit_ : hwnd_;
  HWND native = GetFocus();
  if (code == EventFocusIn && reinterpret_cast<Box*>(data[0]) == this && native != target && native != hwnd_)
    ::SetFocus(target);
  if (code == EventFocusOut && reinterpret_cast<Box*>(data[1]) == this && (native == target || native == hwnd_))
    ::SetFocus(GetAncestor(hwnd_, GA_ROOT));
  return false;
}

// The control's whole window, frame included: the focus frame goes on it.
HDC TextFieldBox::FieldControl::AcquireDC() { return hwnd_ ? GetWindowDC(hwnd_) : nullptr; }

bool TextFieldBox::FieldControl::DrawFocus(HDC dc, int x, int y, int width, int height) {
  if (!dc) return true;
  if (hwnd_) {  // the window's own size: a combo box is as tall as its font makes it
    RECT r;
    GetWindowRect(hwnd_, &r);
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
  // A control made with a border (however it draws it) gets the frame on it.
  int ix = bordered_ ? 0 : GetSystemMetrics(SM_CXBORDER), iy = bordered_ ? 0 : GetSystemMetrics(SM_CYBORDER);
  FrameRect(dc, x + ix, y + iy, width - 2 * ix, height - 2 * iy, kFocusFrame, 1);
  return true;
}

// ---- Keyboard model -------------------------------------------------------------------

bool TextFieldBox::FieldControl::CaretAtStart(HWND window) const {
  if (combo_ && window != inner_edit_) return true;  // a list has no caret
  DWORD start = 0, end = 0;
  SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start == 0 && end == 0;
}

bool TextFieldBox::FieldControl::CaretAtEnd(HWND window) const {
  if (combo_ && window != inner_edit_) return true;
  DWORD start = 0, end = 0;
  SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start == end && end >= static_cast<DWORD>(GetWindowTextLengthW(window));
}

void TextFieldBox::FieldControl::StartEditing(HWND window) {
  editing_ = true;
  // Now the control takes its focus for real, caret and all.
  if (GetFocus() != window)
    ::SetFocus(window);
  else
    SendMessageW(window, WM_SETFOCUS, 0, 0);
}

// The toolkit navigates: the key goes to the top-level window, whose focused
// box is this field.
void TextFieldBox::FieldControl::LeaveByKey(HWND window, WPARAM key, LPARAM lParam) {
  SetFocus(this);
  SendMessageW(GetAncestor(window, GA_ROOT), WM_KEYDOWN, key, lParam);
}

bool TextFieldBox::FieldControl::OnKeyDown(HWND window, WPARAM key, LPARAM lParam, LRESULT* result) {
  switch (key) {
    case VK_LEFT:
      if (editing_ && !CaretAtStart(window)) return false;
      LeaveByKey(window, key, lParam);
      return true;
    case VK_RIGHT:
      if (editing_ && !CaretAtEnd(window)) return false;
      LeaveByKey(window, key, lParam);
      return true;
    case VK_RETURN:
    case VK_DOWN:
      if (!editing_) {
        StartEditing(window);
        swallow_return_char_ = key == VK_RETURN;  // the character the key makes inserts nothing
        return true;
      }
      if (combo_ && !SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0)) {
        open_pending_ = true;
        return key == VK_DOWN;
      }
      return false;
  }
  return false;
}

bool TextFieldBox::FieldControl::OnKeyUp(WPARAM key, LRESULT* result) {
  if (key != VK_RETURN && key != VK_DOWN) return false;
  swallow_return_char_ = false;
  if (!open_pending_) return false;
  open_pending_ = false;
  if (combo_ && !SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0)) SendMessageW(hwnd_, CB_SHOWDROPDOWN, TRUE, 0);
  return key == VK_DOWN;
}

bool TextFieldBox::FieldControl::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                 LRESULT* result) {
  *result = 0;
  if (combo_) editing_ = true;  // a combo box is never passive
  switch (message) {
    case WM_CHAR:
      if (swallow_return_char_ && (wParam == L'\r' || wParam == L'\n')) {
        swallow_return_char_ = false;
        return true;
      }
      return !editing_;  // a passive edit takes no characters
    case WM_LBUTTONDOWN:
      if (!editing_) StartEditing(window);
      return false;  // the tap places the caret
    case WM_KEYDOWN:
      return OnKeyDown(window, wParam, lParam, result);
    case WM_KEYUP:
      return OnKeyUp(wParam, result);
    case WM_SETFOCUS:
      if (editing_) return false;
      // Passive: the caret waits at the end of the text.
      SendMessageW(window, EM_SETSEL, GetWindowTextLengthW(window), GetWindowTextLengthW(window));
      return true;
    case WM_KILLFOCUS:
      if (!combo_) editing_ = false;
      open_pending_ = swallow_return_char_ = false;
      return false;
  }
  return false;
}

}  // namespace VexaAppGUISystem
