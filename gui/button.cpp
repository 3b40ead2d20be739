// Button, ImageButton and the check, radio and action buttons built on it.
#include <cstring>

#include "gui/button.h"

namespace VexaAppGUISystem {

namespace {
Box* g_last_activated = nullptr;

bool BitmapSize(HBITMAP bitmap, int* w, int* h) {
  BITMAP bm;
  if (!bitmap || !GetObjectW(bitmap, sizeof(bm), &bm)) return false;
  *w = bm.bmWidth;
  *h = bm.bmHeight;
  return true;
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y, COLORREF outside) {
  int w, h;
  if (!BitmapSize(bitmap, &w, &h) || x < 0 || y < 0 || x >= w || y >= h) return outside;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c == CLR_INVALID ? outside : c;
}

bool Inside(const Box* b, int x, int y) { return x >= 0 && y >= 0 && x < b->Width() && y < b->Height(); }
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

// ---- ImageButton ----------------------------------------------------------------

ImageButton::~ImageButton() {
  DropMasks();
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
  DropMasks();
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
  if (BitmapSize(bitmap, &w, &h)) {
    SetSize(0, w, nullptr, 1);
    SetSize(1, h, nullptr, 1);
  }
  if (shown_) InvalidateAll();
}

void ImageButton::SetState(int state) {
  if (state < 0 || state > 2) return;
  state_ = state;
  ShowBitmap(state == 0 ? normal_ : state == 1 ? pressed_ : disabled_);
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

void ImageButton::DropMasks() {
  for (Masked& m : masks_) {
    if (m.mask) DeleteObject(m.mask);
    if (m.image) DeleteObject(m.image);
    m = Masked();
  }
}

const ImageButton::Masked* ImageButton::MaskedFor(HBITMAP bitmap) {
  Masked* slot = nullptr;
  for (Masked& m : masks_) {
    if (m.source == bitmap && m.key == key_ && m.mask) return &m;
    if (!slot && !m.source) slot = &m;
  }
  if (!slot) {
    DropMasks();
    slot = &masks_[0];
  }
  int w, h;
  if (!BitmapSize(bitmap, &w, &h)) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC src = CreateCompatibleDC(screen), dst = CreateCompatibleDC(screen);
  HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
  HBITMAP image = CreateCompatibleBitmap(screen, w, h);
  ::ReleaseDC(nullptr, screen);
  bool ok = src && dst && mask && image;
  if (ok) {
    HGDIOBJ os = SelectObject(src, bitmap);
    HGDIOBJ od = SelectObject(dst, mask);
    SetBkColor(src, key_);
    BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);  // key pixels become 1
    SelectObject(dst, image);
    BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
    SelectObject(src, mask);
    SetTextColor(dst, RGB(0, 0, 0));
    SetBkColor(dst, RGB(255, 255, 255));
    BitBlt(dst, 0, 0, w, h, src, 0, 0, 0x00220326);  // image AND NOT mask: key pixels black
    SelectObject(src, os);
    SelectObject(dst, od);
  }
  if (src) DeleteDC(src);
  if (dst) DeleteDC(dst);
  if (!ok) {
    if (mask) DeleteObject(mask);
    if (image) DeleteObject(image);
    return nullptr;
  }
  slot->source = bitmap;
  slot->key = key_;
  slot->mask = mask;
  slot->image = image;
  return slot;
}

void ImageButton::Paint(HDC dc, int originX, int originY, int, int, int, int) {
  int w, h;
  if (!dc || !current_ || !BitmapSize(current_, &w, &h)) return;
  HDC mem = CreateCompatibleDC(dc);
  if (!mem) return;
  const Masked* m = transparent_ ? MaskedFor(current_) : nullptr;
  if (m) {
    COLORREF text = SetTextColor(dc, RGB(0, 0, 0)), bk = SetBkColor(dc, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(mem, m->mask);
    BitBlt(dc, originX, originY, w, h, mem, 0, 0, SRCAND);
    SelectObject(mem, m->image);
    BitBlt(dc, originX, originY, w, h, mem, 0, 0, SRCPAINT);
    SelectObject(mem, old);
    SetTextColor(dc, text);
    SetBkColor(dc, bk);
  } else {
    HGDIOBJ old = SelectObject(mem, current_);
    if (transparent_)
      TransparentBlt(dc, originX, originY, w, h, mem, 0, 0, w, h, key_);
    else
      BitBlt(dc, originX, originY, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  }
  DeleteDC(mem);
}

bool ImageButton::HitTest(int x, int y) {
  if (transparent_ && pixel_hit_test_) return PixelOf(current_, x, y, key_) != key_;
  return Inside(this, x, y);
}

bool ImageButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
  Box* window = source ? source : GetWindowBox();
  switch (code) {
    case EventPenDown:
      if (state_ != 2) {
        window->SetCapture(this);
        if (state_ == 0) SetState(1);
        Button::HandleEvent(source, code, data);
      }
      return true;
    case EventPenUp:
      if (state_ == 1) {
        SetState(0);
        window->SetCapture(nullptr);
        if (HitTest(static_cast<int>(data[0]), static_cast<int>(data[1]))) SendCommand(this);
      } else if (state_ == 2) {
        window->SetCapture(nullptr);
      }
      return true;
    case EventPenMove:
      if (state_ == 1) {
        HBITMAP want = HitTest(static_cast<int>(data[0]), static_cast<int>(data[1])) ? pressed_ : normal_;
        if (want != current_) ShowBitmap(want);
      }
      return true;
    case EventRightDown:
    case EventRightUp:
      return true;
    case EventActivate:
      SendCommand(parent_);
      g_last_activated = this;
      InvalidateAll();
      return true;
  }
  return Button::HandleEvent(source, code, data);
}

// ---- CheckBox and RadioButton ---------------------------------------------------

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  SwapNormalAndPressed();
  checked_ = checked;
  if (shown_) InvalidateAll();
}

bool CheckBox::HandleEvent(Box* source, int code, std::intptr_t* data) {
  bool toggle = code == EventActivate ||
                (code == EventPenUp && state_ == 1 && HitTest(static_cast<int>(data[0]), static_cast<int>(data[1])));
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
  bool toggle = !checked_ && (code == EventActivate || (code == EventPenUp && state_ == 1 &&
                                                        HitTest(static_cast<int>(data[0]), static_cast<int>(data[1]))));
  if (toggle) {
    SwapNormalAndPressed();
    checked_ = true;
  }
  return ImageButton::HandleEvent(source, code, data);
}

// ---- ActionImageButton ----------------------------------------------------------

bool ActionImageButton::HandleEvent(Box* source, int code, std::intptr_t* data) {
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
      pressed_flag_ = true;
      if (parent_) SendEvent(parent_, EventItemMove, data, true);
      return true;
  }
  return false;
}

}  // namespace VexaAppGUISystem
