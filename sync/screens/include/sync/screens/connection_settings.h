// The connection settings screen: the account the sync server knows the
// device by ("TavoUser" in "TavoPrefs": "Email", "User", "Pass"). 3050
// saves; a new user name removes the stored anchors, so that the next sync
// starts afresh for that account.
#pragma once

#include "app/view.h"
#include "gui/button.h"
#include "gui/text_field.h"
#include "sync/screens/sync_screen.h"
#include "sync/screens/form.h"

class CKorvelLifeConnectionSettings : public CKorvelLifeInternalView {
 public:
  enum Command : int { kSave = 3050 };
  // The stored user name that stands for "none given".
  static constexpr char kPlaceholderUser[] = "Username";
  // The longest value the sync carries.
  static constexpr int kMaxValue = 99;

  CKorvelLifeConnectionSettings();
  ~CKorvelLifeConnectionSettings() override;
  int Activate(const char* parameter) override;
  int Deactivate(int a, int b) override;
  int ProcessButton(int command, int b) override;

  void SetHost(const SyncHost& host) { host_ = host; }
  VexaAppGUISystem::TextFieldBox& EmailField() { return email_; }
  VexaAppGUISystem::TextFieldBox& UserField() { return user_; }
  VexaAppGUISystem::TextFieldBox& PasswordField() { return password_; }

 private:
  void Build();
  void Show();
  void Save();
  VexaAppGUISystem::TextStyle Style(int index) const;

  SyncHost host_;
  sync_screens::Column column_;
  VexaAppGUISystem::Text heading_;
  VexaAppGUISystem::Text email_caption_, user_caption_, password_caption_;
  VexaAppGUISystem::TextFieldBox email_, user_, password_;
  VexaAppGUISystem::TextButtonRounded save_;
};
