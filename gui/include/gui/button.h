// Buttons and selection controls. A button reports its use by sending
// EventCommand {command string, command value} up the box tree.
#pragma once

#include <windows.h>

#include "gui/bar.h"
#include "gui/bitmap.h"
#include "gui/text.h"

namespace VexaAppGUISystem {

enum ButtonState { StateNormal = 0, StatePressed = 1, StateDisabled = 2 };

class Button : public Box {
 public:
  Button(const char* command = nullptr, std::uint32_t value = 0);
  ~Button() override;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  // Slots 16 and 17.
  virtual int GetState();
  virtual void SetState(int state) = 0;

  void SetCommand(const char* command);
  const char* GetCommand() const { return command_; }

 protected:
  // EventCommand {command, value} to the target, bubbling; false without a target.
  bool SendCommand(Box* target);
  // The pen handling of the buttons: capture and press on pen down,
  // `look(this, inside)` while the pen moves pressed, the command to the
  // parent on release inside, the command on the action key. A disabled
  // button only lets a capture go.
  bool TrackPen(Box* source, int code, std::intptr_t* data, void (*look)(Button*, bool inside));
  // The action buttons of an icon cell forward to the cell instead of acting.
  bool ForwardToCell(int code, std::intptr_t* data, bool* pressed, bool pressedByMove);
  int state_ = StateNormal;
  char* command_ = nullptr;
};

// The last image button activated by the action key, for the application.
Box* GetLastActivatedButton();

class ImageButton : public Button {
 public:
  ImageButton(const char* command = nullptr, std::uint32_t value = 0) : Button(command, value) {}
  ~ImageButton() override;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;
  bool HitTest(int x, int y) override;
  void SetState(int state) override;

  void SetImages(HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent, COLORREF key,
                 bool pixelHitTest);
  void GetImages(HBITMAP* normal, HBITMAP* pressed, HBITMAP* disabled, bool* transparent, COLORREF* key,
                 bool* pixelHitTest) const;
  void SetOwnsBitmaps(bool owns) { owns_bitmaps_ = owns; }
  HBITMAP GetCurrentBitmap() const { return current_; }

 protected:
  void ShowBitmap(HBITMAP bitmap);
  void SwapNormalAndPressed();
  void DropPrepared();
  HBITMAP normal_ = nullptr, pressed_ = nullptr, disabled_ = nullptr;
  bool transparent_ = false;
  COLORREF key_ = 0;
  bool pixel_hit_test_ = false;
  bool owns_bitmaps_ = false;
  HBITMAP current_ = nullptr;
  // The shared prepared copies of the normal, pressed and disabled bitmaps.
  PreparedBitmap prepared_[3];
};

class CheckBox : public ImageButton {
 public:
  using ImageButton::ImageButton;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  void SetChecked(bool checked);
  bool IsChecked() const { return checked_; }

 protected:
  bool checked_ = false;
};

class RadioButton : public ImageButton {
 public:
  using ImageButton::ImageButton;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  void SetChecked(bool checked);
  bool IsChecked() const { return checked_; }

 protected:
  bool checked_ = false;
};

class ActionImageButton : public ImageButton {
 public:
  using ImageButton::ImageButton;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  bool IsPressed() const { return pressed_flag_; }
  void SetPressed(bool pressed) { pressed_flag_ = pressed; }

 protected:
  bool pressed_flag_ = false;
};

class TextButton : public Button {
 public:
  TextButton(const char* command = nullptr, std::uint32_t value = 0);
  ~TextButton() override;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  void OnContentChanged() override;
  bool HitTest(int x, int y) override;
  void SetState(int state) override;

  void SetLabel(const wchar_t* text);
  void SetNormalStyle(const TextStyle& style);
  void SetPressedStyle(const TextStyle& style);
  void SetDisabledStyle(const TextStyle& style);
  void SetMinimumSize(int width, int height) { label_.SetMinimumSize(width, height); }
  void SetMaximumSize(int width, int height) { label_.SetMaximumSize(width, height); }
  Text& Label() { return label_; }

 protected:
  void ShowStyle(const TextStyle& style);
  TextStyle normal_, pressed_, disabled_;
  const TextStyle* current_ = &normal_;
  Text label_;
};

class TextButtonRounded : public TextButton {
 public:
  // The label keeps a margin inside the frame, clear of the focus frames.
  TextButtonRounded(const char* command = nullptr, std::uint32_t value = 0);
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;
  bool DrawFocus(HDC dc, int x, int y, int width, int height) override;
  void SetColours(COLORREF pressedFill, COLORREF normalFill, COLORREF frame) {
    pressed_fill_ = pressedFill, normal_fill_ = normalFill, frame_ = frame;
  }

 protected:
  COLORREF pressed_fill_ = 0xFF0000, normal_fill_ = 0xFFFFFF, frame_ = 0;
  bool pen_inside_ = false;
};

class ActionTextButton : public TextButton {
 public:
  using TextButton::TextButton;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  bool IsPressed() const { return pressed_flag_; }
  void SetPressed(bool pressed) { pressed_flag_ = pressed; }

 protected:
  bool pressed_flag_ = false;
};

class TextButtonOld : public Button {
 public:
  TextButtonOld(const char* command = nullptr, std::uint32_t value = 0);
  ~TextButtonOld() override;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;
  bool HitTest(int x, int y) override;
  void SetState(int state) override;
  TextBase& NormalLabel() { return labels_[0]; }
  TextBase& PressedLabel() { return labels_[1]; }
  TextBase& DisabledLabel() { return labels_[2]; }

 protected:
  void ShowLabel(int index);
  TextBase labels_[3];
  TextBase* current_ = &labels_[0];
};

class TextButtonRectangular : public TextButtonOld {
 public:
  using TextButtonOld::TextButtonOld;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;
  void SetColours(COLORREF pressedFill, COLORREF normalFill, COLORREF frame) {
    pressed_fill_ = pressedFill, normal_fill_ = normalFill, frame_ = frame;
  }

 protected:
  COLORREF pressed_fill_ = 0xFF0000, normal_fill_ = 0xFFFFFF, frame_ = 0;
};

// A check box (or radio button) followed by a label; a tap anywhere on it toggles.
class CCheckBoxEx : public Bar {
 public:
  CCheckBoxEx();
  ~CCheckBoxEx() override;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  void OnDetach(Box* parent) override;
  bool HitTest(int x, int y) override { return true; }

  void Build(int labelWidth, int labelHeight);
  void SetLabelText(const wchar_t* text, COLORREF textColour, int fontHeight, COLORREF background, bool transparent,
                    bool bold, bool italic, bool underline);
  void SetImages(HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent, COLORREF key, bool pixelHitTest);
  void SetChecked(bool checked) { check_.SetChecked(checked); }
  bool IsChecked() const { return check_.IsChecked(); }
  void SetCommandValue(std::uint32_t value) { check_.SetUserValue(value); }
  CheckBox& Check() { return check_; }
  Text& Label() { return label_; }

 protected:
  CheckBox check_;
  Text label_;
  HFONT font_ = nullptr;
};

class CRadioButtonEx : public Bar {
 public:
  CRadioButtonEx();
  ~CRadioButtonEx() override;
  // A tap on the label selects the radio button as a tap on the button does.
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  void OnDetach(Box* parent) override;
  bool HitTest(int x, int y) override { return true; }

  void Build(int labelWidth, int labelHeight);
  void SetLabelText(const wchar_t* text, COLORREF textColour, int fontHeight, COLORREF background, bool transparent,
                    bool bold, bool italic, bool underline);
  void SetImages(HBITMAP normal, HBITMAP pressed, HBITMAP disabled, bool transparent, COLORREF key, bool pixelHitTest);
  void SetChecked(bool checked) { radio_.SetChecked(checked); }
  bool IsChecked() const { return radio_.IsChecked(); }
  void SetCommandValue(std::uint32_t value) { radio_.SetUserValue(value); }
  RadioButton& Radio() { return radio_; }
  Text& Label() { return label_; }
  std::intptr_t group_data_[3] = {0, 0, 0};

 protected:
  RadioButton radio_;
  Text label_;
  HFONT font_ = nullptr;
};

}  // namespace VexaAppGUISystem
