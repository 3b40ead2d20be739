// IconBox: one cell of the icon view. Its icon and labels forward the pen to
// it; the cell highlights while pressed, follows the pen until it is lifted
// and sends the icon's command when it is lifted inside.
#include <cwchar>
#include <initializer_list>

#include "gui/icon_view.h"

namespace VexaAppGUISystem {

namespace {
IconBox* g_current = nullptr;
bool g_show_focus_highlight = false;

constexpr int kRowSpacing = 5;
}  // namespace

IconBox* IconBox::CurrentCell() { return g_current; }
void IconBox::SetShowFocusHighlight(bool show) { g_show_focus_highlight = show; }
bool IconBox::ShowsFocusHighlight() { return g_show_focus_highlight; }

IconBox::~IconBox() {
  if (g_current == this) g_current = nullptr;
  Box* window = GetWindowBox();
  if (window->GetCapture() == this) window->SetCapture(nullptr);
  // A part leaves the cell as it is deleted.
  delete count_;
  delete label_;
  delete icon_;
}

void IconBox::SetIcon(std::uint32_t commandValue, HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent,
                      COLORREF key) {
  command_value_ = commandValue;
  if (!icon_) {
    icon_ = new ActionImageButton(nullptr, commandValue);
    AddChild(icon_, nullptr);
    AddToFocusOrder(icon_, this, FocusItem);
  }
  icon_->SetUserValue(commandValue);
  icon_->SetImages(normal, pressed, disabled, transparent, key, false);
  if (label_) label_->SetUserValue(commandValue);
  LayOutParts();
}

void IconBox::SetLabel(const wchar_t* text, const TextStyle& normal, const TextStyle& pressed) {
  if (!label_) {
    label_ = new ActionTextButton(nullptr, command_value_);
    AddChild(label_, count_ ? static_cast<Box*>(count_) : this);
  }
  label_normal_ = normal;
  label_pressed_ = pressed;
  label_->SetNormalStyle(normal);
  label_->SetPressedStyle(pressed);
  label_->SetLabel(text);
  LayOutParts();
}

void IconBox::SetCounts(int first, int second, const TextStyle& normal, const TextStyle& pressed) {
  if (!count_) {
    count_ = new ActionTextButton(nullptr, command_value_);
    AddChild(count_, this);
  }
  wchar_t text[32];
  std::swprintf(text, 32, L"%d/%d", first, second);
  count_->SetNormalStyle(normal);
  count_->SetPressedStyle(pressed);
  count_->SetLabel(text);
  LayOutParts();
}

void IconBox::SetCellSize(int width, int height) {
  cell_width_ = width;
  cell_height_ = height;
  LayOutParts();
}

// Beside the icon (a row) the label takes two thirds of the cell's width;
// below it (a column) the whole width and the height the icon leaves.
void IconBox::LayOutParts() {
  const bool row = orientation_ == 0;
  spacing_ = row ? kRowSpacing : 0;
  centred_ = true;
  if (cell_width_ > 0 && cell_height_ > 0) {
    min_width_ = max_width_ = cell_width_;
    min_height_ = max_height_ = cell_height_;
  }
  const int count_width = cell_width_ / 6 + 2;
  if (label_ && cell_width_ > 0) {
    int width = row ? cell_width_ * 2 / 3 : cell_width_;
    // In a row the label also leaves room for the icon and the count, so
    // that no part reaches past the cell.
    if (row) {
      int rest = cell_width_ - (icon_ ? icon_->SettledSize(0) + spacing_ : 0) - (count_ ? count_width + spacing_ : 0);
      if (rest > 0 && rest < width) width = rest;
    }
    int icon_height = icon_ ? icon_->SettledSize(1) : 0;
    int height = row ? 0 : cell_height_ - icon_height;
    if (height < 0) height = 0;
    label_->SetMinimumSize(width, height);
    label_->SetMaximumSize(width, height);
  }
  if (count_ && cell_width_ > 0) {
    count_->SetMinimumSize(count_width, 0);
    count_->SetMaximumSize(count_width, 0);
  }
  Arrange();
}

void IconBox::SetHighlight(bool on) {
  highlight_ = on;
  int state = on ? StatePressed : StateNormal;
  if (icon_) {
    icon_->SetState(state);
    icon_->SetPressed(on);
  }
  for (ActionTextButton* part : {label_, count_}) {
    if (!part) continue;
    part->SetState(state);
    part->SetPressed(on);
  }
  if (shown_) InvalidateAll();
}

void IconBox::Disarm() {
  armed_ = false;
  if (highlight_) SetHighlight(false);
}

// The central area, and only of the current cell.
bool IconBox::HitTest(int x, int y) {
  if (g_current != this) return false;
  int w = size_[0], h = size_[1];
  return x >= 0 && x < w - w / 3 && y >= h / 5 && y < h - h / 5;
}

// The pen point of an event, from a part's coordinates or the cell's own.
bool IconBox::InsideAt(Box* source, const std::intptr_t* data) {
  int x = static_cast<int>(data[0]), y = static_cast<int>(data[1]);
  if (source && source != this && source->GetParent() == this) {
    x += source->GetOffsetIn(this, 0);
    y += source->GetOffsetIn(this, 1);
  }
  return HitTest(x, y);
}

bool IconBox::SendCellCommand() {
  std::intptr_t command[2] = {0, static_cast<std::intptr_t>(command_value_)};
  return parent_ ? SendEvent(parent_, EventCommand, command, true) : false;
}

bool IconBox::HandleEvent(Box* source, int code, std::intptr_t* data) {
  switch (code) {
    case EventPenDown:
    case EventItemDown:
      armed_ = true;
      if (!highlight_) SetHighlight(true);
      g_current = this;
      // The cell follows the pen until it is lifted, wherever it goes.
      GetWindowBox()->SetCapture(this);
      if (icon_) SetFocus(icon_);
      return true;
    case EventPenMove:
    case EventItemMove:
      if (InsideAt(source, data)) {
        if (armed_ && !highlight_) SetHighlight(true);
      } else if (g_current && g_current->highlight_) {
        g_current->SetHighlight(false);
      }
      return true;
    case EventPenUp:
    case EventItemUp: {
      bool inside = InsideAt(source, data);
      Box* window = GetWindowBox();
      if (window->GetCapture() == this) window->SetCapture(nullptr);
      if (highlight_) {
        armed_ = false;
        SetHighlight(false);
        if (inside) SendCellCommand();
      } else if (g_current) {
        g_current->Disarm();
      }
      return true;
    }
    case EventActivate:
      if (icon_) {
        std::intptr_t command[2] = {0, static_cast<std::intptr_t>(command_value_)};
        icon_->SendEvent(this, EventCommand, command, true);
      }
      return true;
    case EventFocusOut:
      if (highlight_) SetHighlight(false);
      return true;
  }
  return false;
}

bool IconBox::DrawFocus(HDC dc, int x, int y, int width, int height) {
  if (!g_show_focus_highlight || highlight_ || !dc || !icon_) return true;
  // The focused part is the icon: the cell's origin lies its offset before it.
  int cx = x - icon_->GetOffsetIn(this, 0), cy = y - icon_->GetOffsetIn(this, 1);
  bool shown = SetShown(false, true);
  bool layout = SetLayoutEnabled(false, true);
  SetHighlight(true);
  SetClipRect(dc, cx, cy, size_[0], size_[1]);
  Paint(dc, cx, cy, cx, cy, size_[0], size_[1]);
  SetHighlight(false);
  SetLayoutEnabled(layout, true);
  SetShown(shown, true);
  return true;
}

}  // namespace VexaAppGUISystem
