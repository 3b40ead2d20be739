// The frame's bars: image buttons in a row, each carrying its command value
// (the box's user value) and a binding record owned by the bar that says
// who added the button and which handler its command goes to.
#pragma once

#include <string>

#include "app/commands.h"
#include "gui/bar.h"
#include "gui/button.h"

class CKorvelLifeButtonsBar : public VexaAppGUISystem::Bar {
 public:
  struct Binding {
    CommandHandler handler = nullptr;
    std::string owner;      // the name of the bar that added the button
    void* context = nullptr;
    std::string component;  // the component the handler belongs to
  };

  enum AddResult { kAdded = 0, kExistsOwned = 1, kExistsOtherOwner = 2 };
  enum BindResult { kBound = 0, kNoSuchButton = 1, kAlreadyBound = 2 };
  enum RemoveResult { kRemoved = 0, kNotFound = 1, kOtherOwner = 2, kOwnerMissing = 3 };

  explicit CKorvelLifeButtonsBar(const char* name);
  ~CKorvelLifeButtonsBar() override;
  bool HandleEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) override;

  const std::string& Name() const { return name_; }
  // Appends an image button (the bar does not own the bitmaps) and enters it
  // in the focus order as a focusable item.
  int AddButton(int command, HBITMAP normal, HBITMAP pressed, HBITMAP disabled, const char* owner);
  int BindButton(int command, CommandHandler handler, void* context, const char* component);
  int RemoveButton(int command, const char* owner);
  // Removes, from the front, every button owned by `owner` or not bound.
  void RemoveButtons(const char* owner);

  VexaAppGUISystem::ImageButton* ButtonAt(int index) const;
  VexaAppGUISystem::ImageButton* FindButton(int command) const;
  int IndexOf(int command) const;
  const Binding* BindingOf(int command) const;

 private:
  Binding* BindingOf(VexaAppGUISystem::Box* button) const;
  void Destroy(VexaAppGUISystem::ImageButton* button);
  std::string name_;
};

// The button at `index` of `bar` becomes focusable; hidden or disabled (state
// 2, its third image) it is skipped by the focus order. Nothing for a bar or
// index that does not exist.
void SetBarButtonState(CKorvelLifeButtonsBar* bar, int index, bool enabled, bool visible);

// The Navigation Bar's input-panel button (index 2): enabled, and visible
// only on the screens with text fields, known by their titles.
void ShowInputPanelButton(CKorvelLifeButtonsBar* navigation, const std::wstring& title);
