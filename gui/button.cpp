// Button, ImageButton and the check, radio and action buttons built on it.
#include <cstring>

#include "gui/button.h"

namespace VexaAppGUISystem {

namespace {
Box* g_last_activated = nullptr;

int X(const std::intptr_t* data) { return static_cast<int>(data[0]); }
int Y(const std::intptr_t* data) { return static_cast<int>(data[1]); }
}  // namespace

Box* GetLastActivatedButton() { return g_last_activated; }

// ---- Button ---------------------------------------------------------------------

Button::Button(const char* command, std::uint32_t value) {
  SetCommand(command);
  user_value_ = value;
}

Button::~Button() {
  if (g_last_activated == this) g_last_activated = nullptr;
  delete[] command_;
}

void Button::SetCommand(const char* command) {
  delete[] command_;
  command_ = nullptr;
  if (command) {
    size_t n = std::strlen(command);
    command_ = new char[n + 1];
    std::memcpy(command_, command, n + 1);
  }
}

int Button::GetState() { return state_; }

bool Button::SendCommand(Box* target) {
  std::intptr_t data[2] = {reinterpret_cast<std::intptr_t>(command_), static_cast<std::intptr_t>(user_value_)};
  return target ? SendEvent(target, EventCommand, data, true) : false;
}

bool Button::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code == EventActivate) {
    SendCommand(parent_);
    return true;
  }
  if (code == EventPenDown) SetFocus(this);
  return false;
}

bool Button::TrackPen(Box* source, int code, std::intptr_t* data, void (*look)(Button*, bool inside)) {
  Box* window = source ? source : GetWindowBox();
  switch (code) {
    case EventPenDown:
      if (state_ == StateDisabled) return true;
      window->SetCapture(this);
      if (state_ == StateNormal) SetState(StatePressed);
      Button::HandleEvent(source, code, data);
      return true;
    case EventPenUp:
      if (state_ == StatePressed) {
        SetState(StateNormal);
        window->SetCapture(nullptr);
        // A command value alone is a command too.
        if (HitTest(X(data), Y(data))) SendCommand(parent_);
      } else if (state_ == StateDisabled) {
        window->SetCapture(nullptr);  // a capture taken before the button was disabled
      }
      return true;
    case EventPenMove:
      if (state_ == StatePressed) look(this, HitTest(X(data), Y(data)));
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

bool Button::ForwardToCell(int code, std::intptr_t* data, bool* pressed, bool pressedByMove) {
  int forward;
  switch (code) {
    case EventFocusOut:
      return parent_ ? SendEvent(parent_, EventFocusOut, data, true) : false;
    case EventActivate:
      SendCommand(parent_);
      return true;
    case EventPenDown:
      SetFocus(this);
      *pressed = true;
      forward = EventItemDown;
      break;
    case EventPenUp:
      SetFocus(this);
      *pressed = false;
      forward = EventItemUp;
      break;
    case EventPenMove:
      if (pressedByMove) *pressed = true;
      forward = EventItemMove;
      break;
    default:
      return false;
  }
  if (parent_) SendEvent(parent_, forward, data, true);
  return true;
}

// ---- ImageButton ----------------------------------------------------------------

ImageButton::~ImageButton() {
  DropPrepared();
  if (owns_bitmaps_) {
    HBITMAP all[3] = {normal_, pressed_, disabled_};
    for (int i = 0; i < 3; ++i) {
      bool seen = false;
      for (int j = 0; j < i; ++j) seen = seen || all[j] == all[i];
      if (all[i] && !seen) DeleteObject(all[i]);
    }
  }
}

void ImageButton::SetImages(HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent, COLORREF key,
                            bool pixelHitTest) {
  DropPrepared();
  normal_ = normal, pressed_ = pressed, disabled_ = disabled;
  transparent_ = transparent, key_ = key, pixel_hit_test_ = pixelHitTest;
  SetState(state_);
}

void ImageButton::GetImages(HBITMAP* normal, HBITMAP* pressed, HBITMAP* disabled, bool* transparent,
                            COLORREF* key, bool* pixelHitTest) const {
  if (normal) *normal = normal_;
  if (pressed) *pressed = pressed_;
  if (disabled) *disabled = disabled_;
  if (transparent) *transparent = transparent_;
  if (key) *key = key_;
  if (pixelHitTest) *pixelHitTest = pixel_hit_test_;
}

void ImageButton::ShowBitmap(HBITMAP bitmap) {
  current_ = bitmap;
  int w, h;
  if (GetBitmapSize(bitmap, &w, &h)) {
    SetSize(0, w, nullptr, 1);
    SetSize(1, h, nullptr, 1);
  }
  if (shown_) InvalidateAll();
}

void ImageButton::SetState(int state) {
  if (state < StateNormal || state > StateDisabled) return;
  state_ = state;
  ShowBitmap(state == StateNormal ? normal_ : state == StatePressed ? pressed_ : disabled_);
}

void ImageButton::SwapNormalAndPressed() {
  bool layout = SetLayoutEnabled(false, false);
  bool shown = SetShown(false, false);
  HBITMAP t = normal_;
  normal_ = pressed_;
  pressed_ = t;
  SetState(state_);
  SetShown(shown, false);
  SetLayoutEnabled(layout, false);
}

void ImageButton::DropPrepared() {
  for (PreparedBitmap& p : prepared_) p.Release();
}

void ImageButton::Paint(HDC dc, int originX, int originY, int, int, int, int) {
  if (!dc || !current_) return;
  PreparedBitmap& copy = prepared_[current_ == normal_ ? 0 : current_ == pressed_ ? 1 : 2];
  copy.Draw(dc, originX, originY, current_, transparent_, key_);
}

bool ImageButton::HitTest(int x, int y) {
  if (transparent_ && pixel_hit_test_) return GetBitmapPixel(current_, x, y, key_) != key_;
  return ContainsPoint(x, y);
}

bool ImageButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code == EventActivate) {
    SendCommand(parent_);
    g_last_activated = this;
    InvalidateAll();
    return true;
  }
  return TrackPen(source, code, data, [](Button* b, bool inside) {
    ImageButton* self = static_cast<ImageButton*>(b);
    HBITMAP want = inside ? self->pressed_ : self->normal_;
    if (want != self->current_) self->ShowBitmap(want);
  });
}

// ---- CheckBox and RadioButton ---------------------------------------------------

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  SwapNormalAndPressed();
  checked_ = checked;
  if (shown_) InvalidateAll();
}

bool CheckBox::HandleEvent(Box* source, int code, std::intptr_t* data) {
  bool toggle =
      code == EventActivate || (code == EventPenUp && state_ == StatePressed && HitTest(X(data), Y(data)));
  if (toggle) {
    SwapNormalAndPressed();
    checked_ = !checked_;
  }
  return ImageButton::HandleEvent(source, code, data);
}

void RadioButton::SetChecked(bool checked) {
  if (checked == checked_) return;
  SwapNormalAndPressed();
  checked_ = checked;
  if (shown_) InvalidateAll();
}

bool RadioButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
  bool toggle = !checked_ && (code == EventActivate ||
                              (code == EventPenUp && state_ == StatePressed && HitTest(X(data), Y(data))));
  if (toggle) {
    SwapNormalAndPressed();
    checked_ = true;
  }
  return ImageButton::HandleEvent(source, code, data);
}

// ---- ActionImageButton ----------------------------------------------------------

bool ActionImageButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
  return ForwardToCell(code, data, &pressed_flag_, true);
}

}  // namespace VexaAppGUISystem
