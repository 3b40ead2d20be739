// Text buttons: a Text label in one of three styles, rounded and framed
// looks, and the older buttons with three TextBase labels.
#include "gui/button.h"

namespace VexaAppGUISystem {

namespace {
bool IsKey(int code) { return code == EventKeyDown || code == EventKeyUp || code == EventChar; }

// Label margins of a rounded button: the focus frames sit inside its outline.
constexpr int kRoundedMarginX = 5, kRoundedMarginY = 2;
}  // namespace

// ---- TextButton -----------------------------------------------------------------

TextButton::TextButton(const char* command, std::uint32_t value) : Button(command, value) {
  normal_.transparent = pressed_.transparent = disabled_.transparent = true;
  pressed_.textColour = 0xFFFFFF;
  disabled_.textColour = 0x808080;
  label_.SetStyle(normal_);
  AddChild(&label_, this);
  label_.SetPosition(0, 0, EdgeLeading, this, EdgeLeading);
  label_.SetPosition(1, 0, EdgeLeading, this, EdgeLeading);
  label_.SetSize(0, 0, nullptr, 1);
  label_.SetSize(1, 0, nullptr, 1);
}

TextButton::~TextButton() {
  if (label_.GetParent() == this) RemoveChild(&label_);
}

void TextButton::SetLabel(const wchar_t* text) { label_.SetText(text); }

void TextButton::ShowStyle(const TextStyle& style) {
  current_ = &style;
  label_.SetStyle(style);
  if (shown_) InvalidateAll();
}

void TextButton::SetNormalStyle(const TextStyle& style) {
  normal_ = style;
  if (state_ == StateNormal) ShowStyle(normal_);
}
void TextButton::SetPressedStyle(const TextStyle& style) {
  pressed_ = style;
  if (state_ == StatePressed) ShowStyle(pressed_);
}
void TextButton::SetDisabledStyle(const TextStyle& style) {
  disabled_ = style;
  if (state_ == StateDisabled) ShowStyle(disabled_);
}

void TextButton::SetState(int state) {
  if (state < StateNormal || state > StateDisabled) return;
  state_ = state;
  ShowStyle(state == StateNormal ? normal_ : state == StatePressed ? pressed_ : disabled_);
}

void TextButton::OnContentChanged() {
  SetSize(0, label_.Width() < 0 ? 0 : label_.Width(), nullptr, 1);
  SetSize(1, label_.Height() < 0 ? 0 : label_.Height(), nullptr, 1);
}

bool TextButton::HitTest(int x, int y) { return ContainsPoint(x, y); }

bool TextButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
  // Disabled: the pen and the action key do nothing; keys go on to the ancestors.
  if (state_ == StateDisabled) return !IsKey(code);
  return TrackPen(source, code, data, [](Button* b, bool inside) {
    TextButton* self = static_cast<TextButton*>(b);
    const TextStyle* want = inside ? &self->pressed_ : &self->normal_;
    if (want != self->current_) self->ShowStyle(*want);
  });
}

// ---- TextButtonRounded ----------------------------------------------------------

TextButtonRounded::TextButtonRounded(const char* command, std::uint32_t value) : TextButton(command, value) {
  label_.SetMargins(kRoundedMarginX, kRoundedMarginX, kRoundedMarginY, kRoundedMarginY);
}

bool TextButtonRounded::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (state_ != StateDisabled) {
    if (code == EventPenDown) pen_inside_ = true;
    if (code == EventPenUp) pen_inside_ = false;
    if (code == EventPenMove && state_ == StatePressed) {
      bool inside = HitTest(static_cast<int>(data[0]), static_cast<int>(data[1]));
      bool changed = inside != pen_inside_;
      pen_inside_ = inside;
      bool r = TextButton::HandleEvent(source, code, data);
      if (changed && shown_) InvalidateAll();
      return r;
    }
  }
  return TextButton::HandleEvent(source, code, data);
}

void TextButtonRounded::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth,
                              int clipHeight) {
  if (!dc) return;
  COLORREF fill = (state_ == StatePressed && pen_inside_) ? pressed_fill_ : normal_fill_;
  FillFramedRoundRect(dc, originX, originY, size_[0], size_[1], frame_, fill, 1, 5, 5);
  Box::Paint(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
}

bool TextButtonRounded::DrawFocus(HDC dc, int x, int y, int width, int height) {
  if (!dc) return false;
  FrameRoundRect(dc, x + 1, y + 1, width - 2, height - 2, 0xCE3000, 1, 3, 3);
  FrameRoundRect(dc, x, y, width, height, 0xFF9A31, 1, 4, 4);
  return true;
}

// ---- ActionTextButton -----------------------------------------------------------

bool ActionTextButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
  return ForwardToCell(code, data, &pressed_flag_, false);
}

// ---- TextButtonOld and TextButtonRectangular ------------------------------------

TextButtonOld::TextButtonOld(const char* command, std::uint32_t value) : Button(command, value) {
  for (TextBase& l : labels_) {
    l.SetVisible(false);
    AddChild(&l, this);
    l.SetPosition(0, 0, EdgeLeading, this, EdgeLeading);
    l.SetPosition(1, 0, EdgeLeading, this, EdgeLeading);
    l.SetSize(0, 1, this, 1);
    l.SetSize(1, 1, this, 1);
  }
  labels_[0].SetVisible(true);
}

TextButtonOld::~TextButtonOld() {
  for (TextBase& l : labels_)
    if (l.GetParent() == this) RemoveChild(&l);
}

void TextButtonOld::ShowLabel(int index) {
  TextBase* want = &labels_[index];
  if (want == current_) return;
  current_->SetVisible(false);
  current_ = want;
  current_->SetVisible(true);
  if (shown_) InvalidateAll();
}

void TextButtonOld::SetState(int state) {
  if (state < StateNormal || state > StateDisabled) return;
  state_ = state;
  ShowLabel(state);
  if (shown_) InvalidateAll();
}

bool TextButtonOld::HitTest(int x, int y) { return ContainsPoint(x, y); }

bool TextButtonOld::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (state_ == StateDisabled) return !IsKey(code);
  return TrackPen(source, code, data, [](Button* b, bool inside) {
    static_cast<TextButtonOld*>(b)->ShowLabel(inside ? StatePressed : StateNormal);
  });
}

void TextButtonOld::Paint(HDC dc, int originX, int originY, int, int, int, int) {
  if (dc && current_) current_->Paint(dc, originX, originY, originX, originY, size_[0], size_[1]);
}

void TextButtonRectangular::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth,
                                  int clipHeight) {
  if (!dc) return;
  FillFramedRect(dc, originX, originY, size_[0], size_[1], frame_,
                 current_ == &labels_[StatePressed] ? pressed_fill_ : normal_fill_, 1);
  TextButtonOld::Paint(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
}

}  // namespace VexaAppGUISystem
