// CKorvelAddChannel: the form for adding channels. The first option leads
// to the recommendations (3070) or the OPML import (3075); the second takes
// a feed address and a name, which Add (3071) writes as a new subscribed
// channel that the server fetches at the next synchronization. The form
// keeps its last state in the store and shows it again when it opens.
#pragma once

#include <windows.h>

#include <string>

#include "app/view.h"
#include "channels/added_channels.h"
#include "gui/bar.h"
#include "gui/button.h"
#include "gui/text.h"
#include "gui/text_field.h"

class CKorvelAddChannel : public CKorvelLifeInternalView {
 public:
  enum Command : int {
    kRecommended = 3070,
    kAdd = 3071,
    kFirstOption = 3072,
    kSecondOption = 3073,
    kImportOpml = 3075,
  };
  // Longest address and name taken from the fields, in bytes.
  static constexpr int kMaxAddress = 2048, kMaxName = 256;

  CKorvelAddChannel();
  ~CKorvelAddChannel() override;

  int Activate(const char* parameter) override;
  int Deactivate(int a, int b) override;
  int Scroll(int x, int y, int flags) override;
  // 3072 and 3073 select an option; 3071 saves the form and adds the
  // channel, then leads to the synchronization screen (an address that
  // names no feed stays on the form with a message). Others: 0.
  int ProcessButton(int command, int b) override;
  // Focus entering an element of an option selects that option.
  bool OnBoxEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) override;

  // The form as it stands (tests).
  channels::AddForm Form() const;
  int SelectedOption() const;
  void Select(int option);
  VexaAppGUISystem::TextFieldBox& AddressField() { return address_; }
  VexaAppGUISystem::TextFieldBox& NameField() { return name_; }
  VexaAppGUISystem::CRadioButtonEx& Option(int option) { return option ? second_ : first_; }
  VexaAppGUISystem::TextButtonRounded& AddButton() { return add_; }
  // The object name of the channel added last in this run ("" when none).
  const std::string& LastAdded() const { return last_added_; }

 private:
  void BuildOptions(int width);
  void BuildFields(int width);
  void Place(VexaAppGUISystem::Box* box, int x, int gap);
  void Clear();
  // Which option an element belongs to: 0, 1, or -1 for neither.
  int OptionOf(VexaAppGUISystem::Box* box) const;

  VexaAppGUISystem::Text heading_, explanation_, name_label_;
  VexaAppGUISystem::CRadioButtonEx first_, second_;
  VexaAppGUISystem::Bar list_buttons_;
  VexaAppGUISystem::TextButtonRounded recommended_{nullptr, kRecommended}, opml_{nullptr, kImportOpml};
  VexaAppGUISystem::TextFieldBox address_, name_;
  VexaAppGUISystem::TextButtonRounded add_{nullptr, kAdd};
  VexaAppGUISystem::Box* last_ = nullptr;
  HBITMAP radio_on_ = nullptr, radio_off_ = nullptr;
  std::string last_added_;
};
