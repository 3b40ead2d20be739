// TextFieldBox: a caption, and the native control made once the box has a size.
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "gui/text.h"
#include "gui/text_field.h"
#include "wide_text.h"

namespace VexaAppGUISystem {

namespace {

const wchar_t* (*g_string_source)(int id) = nullptr;
HFONT g_field_font = nullptr;

constexpr int kCaptionFontHeight = 16;
constexpr int kCaptionGap = 4;  // between the caption and its control

struct KindStyle {
  const wchar_t* native_class;
  DWORD one_line;
  DWORD several_lines;
};

// All with WS_VISIBLE and WS_BORDER; the window box adds WS_CHILD.
const KindStyle kKinds[] = {
    {L"EDIT", 0x10800080, 0x10800044},      // ES_AUTOHSCROLL, or ES_MULTILINE | ES_AUTOVSCROLL
    {L"EDIT", 0x10802080, 0x10802080},      // ES_NUMBER | ES_AUTOHSCROLL
    {L"COMBOBOX", 0x10800043, 0x10800043},  // CBS_DROPDOWNLIST | CBS_AUTOHSCROLL
    {L"EDIT", 0x108000A0, 0x108000A0},      // ES_PASSWORD | ES_AUTOHSCROLL
    {L"COMBOBOX", 0x10800043, 0x10800043},
    {L"COMBOBOX", 0x10800043, 0x10800043},
    {L"COMBOBOX", 0x10800043, 0x10800043},
};

}  // namespace

void TextFieldBox::SetStringSource(const wchar_t* (*lookup)(int id)) { g_string_source = lookup; }
void TextFieldBox::SetFieldFont(HFONT font) { g_field_font = font; }
HFONT TextFieldBox::GetFieldFont() { return g_field_font; }

TextFieldBox::~TextFieldBox() {
  control_.CloseControl();
  if (control_.GetParent() == this) RemoveChild(&control_);
  delete[] caption_;
  FreeItems();
}

void TextFieldBox::FreeItems() {
  for (int i = 0; i < item_count_; ++i) delete[] items_[i];
  delete[] items_;
  items_ = nullptr;
  item_count_ = 0;
}

bool TextFieldBox::SetCaption(const wchar_t* caption, int kind, WindowBox* owner, bool singleLine, bool bold) {
  if (control_.GetHandle() || kind < FieldText || kind > FieldItems) return false;
  delete[] caption_;
  caption_ = CopyText(caption);
  kind_ = kind;
  owner_ = owner;
  single_line_ = singleLine;
  bold_ = bold;
  caption_width_ = 0;
  if (caption_ && caption_[0]) {
    int w = 0x7FFF, h = 0x7FFF;
    if (DrawTextBlock(true, &w, &h, nullptr, 0, 0, 0, 0, 0, 0, caption_, 0, kCaptionFontHeight, true, 0xFFFFFF,
                      bold_, false, false, 0))
      caption_width_ = w + kCaptionGap;
  }
  MakeControl();
  if (shown_) InvalidateAll();
  return true;
}

void TextFieldBox::SetItems(const wchar_t* const* texts, int count) {
  FreeItems();
  if (!texts || count <= 0) return;
  items_ = new wchar_t*[count];
  for (int i = 0; i < count; ++i) items_[i] = CopyText(texts[i] ? texts[i] : L"");
  item_count_ = count;
}

void TextFieldBox::AddKindItems() {
  HWND combo = control_.GetHandle();
  auto add = [combo](const wchar_t* text) {
    if (text) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  };
  if (kind_ == FieldSyncEvery && g_string_source)
    for (int id : {69, 70, 71}) add(g_string_source(id));
  if (kind_ == FieldProgram && g_string_source) add(g_string_source(1));
  if (kind_ == FieldItems)
    for (int i = 0; i < item_count_; ++i) add(items_[i]);
}

// The control sits right of the caption over the rest of the box; its native
// window is made the first time the box has a size.
void TextFieldBox::MakeControl() {
  if (size_[0] <= 0 || size_[1] <= 0 || !owner_) return;
  int width = size_[0] - caption_width_;
  if (width < 0) width = 0;
  bool layout = SetLayoutEnabled(false, false);
  if (control_.GetParent() != this) AddChild(&control_, this);
  control_.SetPosition(0, caption_width_, EdgeLeading, this, EdgeLeading);
  control_.SetPosition(1, 0, EdgeLeading, this, EdgeLeading);
  control_.SetSize(0, width, nullptr, 1);
  control_.SetSize(1, size_[1], nullptr, 1);
  SetLayoutEnabled(layout, false);
  Relayout(false);
  if (control_.GetHandle()) return;
  const KindStyle& kind = kKinds[kind_];
  if (!control_.CreateControl(owner_, kind.native_class, single_line_ ? kind.one_line : kind.several_lines)) return;
  AddKindItems();
  if (FocusIndexOf(&control_) < 0) AddToFocusOrder(&control_, this, FocusItem);
  Relayout(false);
}

void TextFieldBox::OnAttach(Box*) { MakeControl(); }

void TextFieldBox::OnDetach(Box*) {
  control_.CloseControl();
  if (control_.GetParent() == this) RemoveChild(&control_);
}

void TextFieldBox::OnResized(int) { MakeControl(); }

void TextFieldBox::OnContentChanged() {
  int height = content_origin_[1] + content_extent_[1];
  if (child_count_ > 0 && height != size_[1]) SetSize(1, height, nullptr, 1);
}

void TextFieldBox::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) {
  if (!dc || !visible_) return;
  if (caption_ && caption_[0])
    PaintTextBlock(dc, originX, originY, caption_width_, size_[1], 0, 0, 0, 2, caption_, 0, kCaptionFontHeight, true,
                   0xFFFFFF, bold_, false, false);
  PaintChildren(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
}

bool TextFieldBox::SetText(const char* text) {
  HWND control = control_.GetHandle();
  if (!control || !text) return false;
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return false;
  wchar_t* wide = new wchar_t[n];
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, n);
  bool ok = SetWindowTextW(control, wide) != 0;
  delete[] wide;
  return ok;
}

bool TextFieldBox::GetText(char* buffer, int size) const {
  HWND control = control_.GetHandle();
  if (!buffer || size <= 0) return false;
  buffer[0] = 0;
  if (!control) return false;
  int n = GetWindowTextLengthW(control);
  wchar_t* wide = new wchar_t[n + 1];
  GetWindowTextW(control, wide, n + 1);
  wide[n] = 0;
  int written = WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, size, nullptr, nullptr);
  if (written == 0) {
    // Too long for the buffer: keep what fits, whole characters only.
    for (int keep = n; keep > 0 && written == 0; --keep)
      written = WideCharToMultiByte(CP_ACP, 0, wide, keep, buffer, size - 1, nullptr, nullptr);
    buffer[written] = 0;
  }
  delete[] wide;
  return true;
}

bool TextFieldBox::SetSelection(int index) {
  HWND control = control_.GetHandle();
  if (!control || !control_.IsCombo()) return false;
  return SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != CB_ERR || index == -1;
}

int TextFieldBox::GetSelection() const {
  HWND control = control_.GetHandle();
  if (!control || !control_.IsCombo()) return CB_ERR;
  return static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
}

}  // namespace VexaAppGUISystem
