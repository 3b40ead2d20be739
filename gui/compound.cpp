// Compound check boxes and radio buttons: the button and a label in a row.
#include "gui/button.h"

namespace VexaAppGUISystem {

namespace {
void StyleLabel(Text* label, HFONT font, COLORREF text, COLORREF background, bool transparent, int width) {
  TextStyle s;
  s.font = font;
  s.multiLine = true;
  s.wordBreak = true;
  s.horizontal = 0;
  s.vertical = 2;
  s.transparent = transparent;
  s.textColour = text;
  s.backgroundColour = background;
  label->SetStyle(s);
  if (width > 0) label->SetMaximumSize(width, 0);
}
}  // namespace

CCheckBoxEx::CCheckBoxEx() { spacing_ = 3; }

CCheckBoxEx::~CCheckBoxEx() {
  if (check_.GetParent() == this) RemoveChild(&check_);
  if (label_.GetParent() == this) RemoveChild(&label_);
  if (font_) DeleteObject(font_);
}

void CCheckBoxEx::Build(int labelWidth, int labelHeight) {
  if (check_.GetParent() == this) return;
  centred_ = true;
  AddChild(&check_, this);
  AddChild(&label_, this);
  if (labelWidth > 0) label_.SetMinimumSize(labelWidth, labelHeight);
  label_.SetSize(0, labelWidth > 0 ? labelWidth : 0, nullptr, 1);
  label_.SetSize(1, labelHeight > 0 ? labelHeight : 0, nullptr, 1);
  AddToFocusOrder(&check_, this, FocusItem);
  focus_mode_ = FocusGroup;
}

void CCheckBoxEx::SetLabelText(const wchar_t* text, COLORREF textColour, int fontHeight, COLORREF background,
                               bool transparent, bool bold, bool italic, bool underline) {
  if (font_) DeleteObject(font_);
  font_ = CreateTextFont(L"Tahoma", fontHeight == -1 ? 14 : fontHeight, bold, italic, underline);
  int width = Width() > 0 ? Width() - (check_.Width() > 0 ? check_.Width() : 0) - spacing_ : 0;
  StyleLabel(&label_, font_, textColour, background, transparent, width);
  label_.SetText(text);
}

void CCheckBoxEx::SetImages(HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent, COLORREF key,
                            bool pixelHitTest) {
  check_.SetImages(normal, pressed, disabled, transparent, key, pixelHitTest);
}

bool CCheckBoxEx::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code != EventPenDown) return false;
  check_.SetChecked(!check_.IsChecked());
  std::intptr_t command[2] = {0, static_cast<std::intptr_t>(check_.GetUserValue())};
  if (parent_) check_.SendEvent(parent_, EventCommand, command, true);
  return true;
}

void CCheckBoxEx::OnDetach(Box* parent) {
  if (check_.GetParent() == this) RemoveChild(&check_);
  if (label_.GetParent() == this) RemoveChild(&label_);
  check_.SetChecked(false);
}

CRadioButtonEx::CRadioButtonEx() { spacing_ = 3; }

CRadioButtonEx::~CRadioButtonEx() {
  if (radio_.GetParent() == this) RemoveChild(&radio_);
  if (label_.GetParent() == this) RemoveChild(&label_);
  if (font_) DeleteObject(font_);
}

void CRadioButtonEx::Build(int labelWidth, int labelHeight) {
  if (radio_.GetParent() == this) return;
  centred_ = true;
  AddChild(&radio_, this);
  AddChild(&label_, this);
  if (labelWidth > 0) label_.SetMinimumSize(labelWidth, labelHeight);
  label_.SetSize(0, labelWidth > 0 ? labelWidth : 0, nullptr, 1);
  label_.SetSize(1, labelHeight > 0 ? labelHeight : 0, nullptr, 1);
  AddToFocusOrder(&radio_, this, FocusItem);
  focus_mode_ = FocusGroup;
}

void CRadioButtonEx::SetLabelText(const wchar_t* text, COLORREF textColour, int fontHeight, COLORREF background,
                                  bool transparent, bool bold, bool italic, bool underline) {
  if (font_) DeleteObject(font_);
  font_ = CreateTextFont(L"Tahoma", fontHeight == -1 ? 14 : fontHeight, bold, italic, underline);
  int width = Width() > 0 ? Width() - (radio_.Width() > 0 ? radio_.Width() : 0) - spacing_ : 0;
  StyleLabel(&label_, font_, textColour, background, transparent, width);
  label_.SetText(text);
}

void CRadioButtonEx::SetImages(HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent, COLORREF key,
                               bool pixelHitTest) {
  radio_.SetImages(normal, pressed, disabled, transparent, key, pixelHitTest);
}

void CRadioButtonEx::OnDetach(Box* parent) {
  if (radio_.GetParent() == this) RemoveChild(&radio_);
  if (label_.GetParent() == this) RemoveChild(&label_);
  radio_.SetChecked(false);
  group_data_[0] = group_data_[1] = group_data_[2] = 0;
}

}  // namespace VexaAppGUISystem
