// Text buttons: a Text label in one of three styles, rounded and framed
// looks, and the older buttons with three TextBase labels.
#include "gui/button.h"

namespace VexaAppGUISystem {

namespace {
bool Inside(const Box* b, int x, int y) { return x >= 0 && y >= 0 && x < b->Width() && y < b->Height(); }

void FillFramed(HDC dc, int x, int y, int w, int h, COLORREF fill, COLORREF frame, int corner) {
  HBRUSH brush = CreateSolidBrush(fill);
  HPEN pen = CreatePen(PS_SOLID, 1, frame);
  HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
  if (corner)
    RoundRect(dc, x, y, x + w, y + h, corner, corner);
  else
    Rectangle(dc, x, y, x + w, y + h);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(brush);
  DeleteObject(pen);
}

void HollowRound(HDC dc, int x, int y, int w, int h, int corner, COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, GetStockObject(NULL_BRUSH));
  RoundRect(dc, x, y, x + w, y + h, corner, corner);
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(pen);
}
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
  if (state_ == 0) ShowStyle(normal_);
}
void TextButton::SetPressedStyle(const TextStyle& style) {
  pressed_ = style;
  if (state_ == 1) ShowStyle(pressed_);
}
void TextButton::SetDisabledStyle(const TextStyle& style) {
  disabled_ = style;
  if (state_ == 2) ShowStyle(disabled_);
}

void TextButton::SetState(int state) {
  if (state < 0 || state > 2) return;
  state_ = state;
  ShowStyle(state == 0 ? normal_ : state == 1 ? pressed_ : disabled_);
}

void TextButton::OnContentChanged() {
  SetSize(0, label_.Width() < 0 ? 0 : label_.Width(), nullptr, 1);
  SetSize(1, label_.Height() < 0 ? 0 : label_.Height(), nullptr, 1);
}

bool TextButton::HitTest(int x, int y) { return Inside(this, x, y); }

bool TextButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (state_ == 2) return true;
  Box* window = source ? source : GetWindowBox();
  switch (code) {
    case EventPenDown:
      window->SetCapture(this);
      if (state_ == 0) SetState(1);
      Button::HandleEvent(source, code, data);
      return true;
    case EventPenUp:
      if (state_ == 1) {
        SetState(0);
        window->SetCapture(nullptr);
        if (HitTest(static_cast<int>(data[0]), static_cast<int>(data[1])) && command_) SendCommand(parent_);
      }
      return true;
    case EventPenMove:
      if (state_ == 1) {
        const TextStyle* want = HitTest(static_cast<int>(data[0]), static_cast<int>(data[1])) ? &pressed_ : &normal_;
        if (want != current_) ShowStyle(*want);
      }
      return true;
    case EventRightDown:
    case EventRightUp:
      return true;
    case EventActivate:
      SendCommand(parent_);
      return true;
  }
  return Button::HandleEvent(source, code, data);
}

// ---- TextButtonRounded ----------------------------------------------------------

bool TextButtonRounded::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (state_ != 2) {
    if (code == EventPenDown) pen_inside_ = true;
    if (code == EventPenUp) pen_inside_ = false;
    if (code == EventPenMove && state_ == 1) {
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
  COLORREF fill = (state_ == 1 && pen_inside_) ? pressed_fill_ : normal_fill_;
  FillFramed(dc, originX, originY, size_[0], size_[1], fill, frame_, 5);
  Box::Paint(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
}

bool TextButtonRounded::DrawFocus(HDC dc, int x, int y, int width, int height) {
  if (!dc) return false;
  HollowRound(dc, x + 1, y + 1, width - 2, height - 2, 3, 0xCE3000);
  HollowRound(dc, x, y, width, height, 4, 0xFF9A31);
  return true;
}

// ---- ActionTextButton -----------------------------------------------------------

bool ActionTextButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
  switch (code) {
    case EventFocusOut:
      return parent_ ? SendEvent(parent_, EventFocusOut, data, true) : false;
    case EventActivate:
      SendCommand(parent_);
      return true;
    case EventPenDown:
      SetFocus(this);
      pressed_flag_ = true;
      if (parent_) SendEvent(parent_, EventItemDown, data, true);
      return true;
    case EventPenUp:
      SetFocus(this);
      pressed_flag_ = false;
      if (parent_) SendEvent(parent_, EventItemUp, data, true);
      return true;
    case EventPenMove:
      if (parent_) SendEvent(parent_, EventItemMove, data, true);
      return true;
  }
  return false;
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
  if (state < 0 || state > 2) return;
  state_ = state;
  ShowLabel(state);
  if (shown_) InvalidateAll();
}

bool TextButtonOld::HitTest(int x, int y) { return Inside(this, x, y); }

bool TextButtonOld::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (state_ == 2) return true;
  Box* window = source ? source : GetWindowBox();
  switch (code) {
    case EventPenDown:
      window->SetCapture(this);
      if (state_ == 0) SetState(1);
      Button::HandleEvent(source, code, data);
      return true;
    case EventPenUp:
      if (state_ == 1) {
        SetState(0);
        window->SetCapture(nullptr);
        if (HitTest(static_cast<int>(data[0]), static_cast<int>(data[1])) && command_) SendCommand(parent_);
      }
      return true;
    case EventPenMove:
      if (state_ == 1) ShowLabel(HitTest(static_cast<int>(data[0]), static_cast<int>(data[1])) ? 1 : 0);
      return true;
    case EventRightDown:
    case EventRightUp:
      return true;
    case EventActivate:
      SendCommand(parent_);
      return true;
  }
  return Button::HandleEvent(source, code, data);
}

void TextButtonOld::Paint(HDC dc, int originX, int originY, int, int, int, int) {
  if (dc && current_) current_->Paint(dc, originX, originY, originX, originY, size_[0], size_[1]);
}

void TextButtonRectangular::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth,
                                  int clipHeight) {
  if (!dc) return;
  FillFramed(dc, originX, originY, size_[0], size_[1], current_ == &labels_[1] ? pressed_fill_ : normal_fill_,
             frame_, 0);
  TextButtonOld::Paint(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
}

}  // namespace VexaAppGUISystem
