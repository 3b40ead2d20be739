// The sync settings screen: how much the server may send over the air (3100)
// and through the desktop connection (3101). Each mode shows a data
// selector, "no limit" (3103) or a limit (3104) with its field; 3102 keeps
// what is shown and writes both modes to "TavoSets".
#pragma once

#include <cstdint>

#include "app/view.h"
#include "gui/button.h"
#include "gui/text_field.h"
#include "sync/screens/sync_screen.h"
#include "sync/screens/form.h"

class CKorvelLifeSyncSettings : public CKorvelLifeInternalView {
 public:
  enum Mode : int { kOverTheAir = 0, kDesktop = 1 };
  enum Command : int { kShowOverTheAir = 3100, kShowDesktop = 3101, kSave = 3102, kNoLimit = 3103, kLimit = 3104 };
  // What an empty limit field stands for, and the limit's bounds.
  static constexpr std::int32_t kEmptyLimit = 20;
  static constexpr std::int32_t kNoLimitValue = -1;

  // One mode's stored object ("SyncOTA" or "SyncDesktop").
  struct Values {
    std::int32_t data = 3;        // the selector's index + 2
    std::int32_t limit = -1;      // -1: no limit
    std::int32_t unread = 1;
  };

  CKorvelLifeSyncSettings();
  ~CKorvelLifeSyncSettings() override;
  int Activate(const char* parameter) override;
  int Deactivate(int a, int b) override;
  int ProcessButton(int command, int b) override;
  // The direction keys the frame hands this screen (message 8) move the focus.
  int ProcessSystemMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int* result) override;

  void SetHost(const SyncHost& host) { host_ = host; }
  Mode CurrentMode() const { return mode_; }
  const Values& Kept(Mode mode) const { return values_[mode]; }
  VexaAppGUISystem::TextFieldBox& Selector() { return selector_; }
  VexaAppGUISystem::TextFieldBox& LimitField() { return limit_field_; }
  VexaAppGUISystem::CRadioButtonEx& NoLimitButton() { return no_limit_; }
  VexaAppGUISystem::CRadioButtonEx& LimitButton() { return limit_; }

  static const char* ObjectOf(Mode mode) { return mode == kOverTheAir ? "SyncOTA" : "SyncDesktop"; }

 private:
  void Read();
  void Build();
  void ShowMode(Mode mode);
  // The values the controls show, into the mode's copy.
  void KeepShown();
  void Write();
  void Check(bool limited);
  VexaAppGUISystem::TextStyle Style(int index) const;

  SyncHost host_;
  Values values_[2];
  Mode mode_ = kOverTheAir;
  sync_screens::Column column_;
  VexaAppGUISystem::TextButtonRounded over_the_air_, desktop_;
  VexaAppGUISystem::Text caption_, extra_;
  VexaAppGUISystem::TextFieldBox selector_;
  VexaAppGUISystem::CRadioButtonEx no_limit_, limit_;
  VexaAppGUISystem::TextFieldBox limit_field_;
  VexaAppGUISystem::TextButtonRounded save_;
  HBITMAP radio_off_ = nullptr, radio_on_ = nullptr;
};
