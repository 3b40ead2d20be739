// What the sync screens' forms share: boxes placed one below the other, the
// rounded buttons of the program, and text between the store's 8-bit form
// and the controls' wide one.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "gui/button.h"
#include "gui/text_field.h"

namespace sync_screens {

// Places boxes in a parent, each below the one placed before.
class Column {
 public:
  explicit Column(VexaAppGUISystem::Box* parent) : parent_(parent) {}
  // `box` at `x` from the parent's left, `gap` below the last box (or the
  // top); in the parent's focus order with `focus` (a FocusMode) when given.
  void Add(VexaAppGUISystem::Box* box, int x, int gap, int focus = 0);
  // `box` at `gap` right of `beside`, on its line (not a step of the column).
  void AddBeside(VexaAppGUISystem::Box* box, VexaAppGUISystem::Box* beside, int gap, int focus = 0);
  // Takes every box placed out of the parent and its focus order.
  void Clear();
  bool Empty() const { return placed_.empty(); }
  // The bottom of the last box in the parent's content.
  int Bottom() const;

 private:
  VexaAppGUISystem::Box* parent_;
  VexaAppGUISystem::Box* last_ = nullptr;
  std::vector<VexaAppGUISystem::Box*> placed_;
};

// Shows or hides the native controls of fields: a screen that is left keeps
// its fields (and what they hold) but must not leave their windows on the
// screen that follows.
void ShowFields(std::initializer_list<VexaAppGUISystem::TextFieldBox*> fields, bool shown);

// The program's rounded button: black frame, white, blue while pressed.
void StyleRoundedButton(VexaAppGUISystem::TextButtonRounded* button, const wchar_t* label,
                        const VexaAppGUISystem::TextStyle& normal, const VexaAppGUISystem::TextStyle& pressed,
                        int minimum_width, int height);

// 8-bit text of the ANSI code page and wide text.
std::wstring WideOf(const std::string& text);
// The field's text; `limit` bytes at most (the sync carries up to 100 per value).
std::string FieldText(const VexaAppGUISystem::TextFieldBox& field, int limit);

}  // namespace sync_screens
