// Compound check boxes and radio buttons: the button and a label in a row;
// a tap anywhere on the row works the button.
#include "gui/button.h"

namespace VexaAppGUISystem {

namespace {

constexpr int kCompoundSpacing = 3;
constexpr int kLabelFontHeight = 14;

// The steps both compounds share.

void BuildCompound(Bar* self, ImageButton* button, Text* label, int labelWidth, int labelHeight) {
  if (button->GetParent() == self) return;
  self->SetCentred(true);
  self->AddChild(button, self);
  self->AddChild(label, self);
  if (labelWidth > 0) label->SetMinimumSize(labelWidth, labelHeight);
  label->SetSize(0, labelWidth > 0 ? labelWidth : 0, nullptr, 1);
  label->SetSize(1, labelHeight > 0 ? labelHeight : 0, nullptr, 1);
  self->AddToFocusOrder(button, self, FocusItem);
  self->SetFocusMode(FocusGroup);
}

// The label takes the width the compound leaves beside its button, so that
// every call gives the same width (none before the compound has one).
void SetCompoundLabel(Bar* self, ImageButton* button, Text* label, HFONT* font, const wchar_t* text,
                      COLORREF textColour, int fontHeight, COLORREF background, bool transparent, bool bold,
                      bool italic, bool underline) {
  if (*font) DeleteObject(*font);
  *font = CreateTextFont(kTextFace, fontHeight == -1 ? kLabelFontHeight : fontHeight, bold, italic, underline);
  TextStyle s;
  s.font = *font;
  s.multiLine = true;
  s.wordBreak = true;
  s.horizontal = 0;
  s.vertical = 2;
  s.transparent = transparent;
  s.textColour = textColour;
  s.backgroundColour = background;
  label->SetStyle(s);
  int width = self->Width() - (button->Width() > 0 ? button->Width() : 0) - self->GetSpacing();
  if (width > 0) label->SetSize(0, width, nullptr, 1);
  label->SetText(text);
}

void DetachCompound(Bar* self, ImageButton* button, Text* label) {
  if (button->GetParent() == self) self->RemoveChild(button);
  if (label->GetParent() == self) self->RemoveChild(label);
}

// The command of a tap on the compound: from the button to the compound's parent.
void SendCompoundCommand(Bar* self, ImageButton* button) {
  std::intptr_t command[2] = {0, static_cast<std::intptr_t>(button->GetUserValue())};
  if (self->GetParent()) button->SendEvent(self->GetParent(), EventCommand, command, true);
}

}  // namespace

// ---- CCheckBoxEx ------------------------------------------------------------------

CCheckBoxEx::CCheckBoxEx() { spacing_ = kCompoundSpacing; }

CCheckBoxEx::~CCheckBoxEx() {
  DetachCompound(this, &check_, &label_);
  if (font_) DeleteObject(font_);
}

void CCheckBoxEx::Build(int labelWidth, int labelHeight) { BuildCompound(this, &check_, &label_, labelWidth, labelHeight); }

void CCheckBoxEx::SetLabelText(const wchar_t* text, COLORREF textColour, int fontHeight, COLORREF background,
                               bool transparent, bool bold, bool italic, bool underline) {
  SetCompoundLabel(this, &check_, &label_, &font_, text, textColour, fontHeight, background, transparent, bold,
                   italic, underline);
}

void CCheckBoxEx::SetImages(HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent, COLORREF key,
                            bool pixelHitTest) {
  check_.SetImages(normal, pressed, disabled, transparent, key, pixelHitTest);
}

bool CCheckBoxEx::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code != EventPenDown) return false;
  check_.SetChecked(!check_.IsChecked());
  SendCompoundCommand(this, &check_);
  return true;
}

void CCheckBoxEx::OnDetach(Box* parent) {
  DetachCompound(this, &check_, &label_);
  check_.SetChecked(false);
}

// ---- CRadioButtonEx ---------------------------------------------------------------

CRadioButtonEx::CRadioButtonEx() { spacing_ = kCompoundSpacing; }

CRadioButtonEx::~CRadioButtonEx() {
  DetachCompound(this, &radio_, &label_);
  if (font_) DeleteObject(font_);
}

void CRadioButtonEx::Build(int labelWidth, int labelHeight) { BuildCompound(this, &radio_, &label_, labelWidth, labelHeight); }

void CRadioButtonEx::SetLabelText(const wchar_t* text, COLORREF textColour, int fontHeight, COLORREF background,
                                  bool transparent, bool bold, bool italic, bool underline) {
  SetCompoundLabel(this, &radio_, &label_, &font_, text, textColour, fontHeight, background, transparent, bold,
                   italic, underline);
}

void CRadioButtonEx::SetImages(HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent, COLORREF key,
                               bool pixelHitTest) {
  radio_.SetImages(normal, pressed, disabled, transparent, key, pixelHitTest);
}

bool CRadioButtonEx::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code != EventPenDown) return false;
  // As a tap on the button: never unchecked by the pen; the screen unchecks
  // the rest of the group when the command arrives.
  radio_.SetChecked(true);
  SendCompoundCommand(this, &radio_);
  return true;
}

void CRadioButtonEx::OnDetach(Box* parent) {
  DetachCompound(this, &radio_, &label_);
  radio_.SetChecked(false);
  group_data_[0] = group_data_[1] = group_data_[2] = 0;
}

}  // namespace VexaAppGUISystem
