// The alert button of the Dynamic Bar (index 2): its picture tells whether
// new alerts arrived, its visibility whether any are unread, and a new
// alert can ring.
#include <string>

#include "app/buttons_bar.h"
#include "app/frame.h"
#include "app/object_store.h"
#include "platform/device.h"
#include "platform/os.h"
#include "platform/services.h"

namespace {

constexpr int kAlertButton = 2;
const char* const kDynamicBarName = "Dynamic Bar";
const char* const kComponent = "Korvel Main Component";

// The sounds an alert can ring, by the index the alert settings store. The
// entries without a leading "\" are still paths from the device's root: the
// device has no current folder.
const char* const kAlertSounds[] = {"\\Windows\\Standard .wav", "\\Windows\\MenuPop.wav", "Windows\\MenuSel.wav",
                                    "Windows\\Disconnct.wav",   "Windows\\Callwait.wav",  "Windows\\Calldrop.wav",
                                    "Windows\\Busy.wav"};

}  // namespace

bool CKorvelLifeUIFrame::CountAlerts(const char* property, bool drop_placeholders, std::uint32_t* fresh,
                                     std::uint32_t* unread, bool* opened) {
  *fresh = *unread = 0;
  *opened = false;
  CObjectStore fallback;
  const CObjectStore* access = store_ ? store_ : &fallback;
  store::Database* db = nullptr;
  if (access->Open(&db, "TavoAlerts", false) != store::kStoreOk) return true;
  *opened = true;
  if (drop_placeholders)
    for (const char* name : {"Alert 1", "Alert 2", "Alert 3", "Alert 4"}) CObjectStore::Delete(db, name);
  bool ok = CObjectStore::Count(db, property, 1, fresh);
  if (ok) CObjectStore::Count(db, "READ", 0, unread);
  store::CloseDatabase(&db);
  return ok;
}

void CKorvelLifeUIFrame::ReplaceAlertButton(HBITMAP image) {
  if (!dynamic_ || !image) return;
  VexaAppGUISystem::ImageButton* current = dynamic_->FindButton(commands::kShowAlerts);
  if (current) {
    HBITMAP normal = nullptr;
    current->GetImages(&normal, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (normal == image) return;
    dynamic_->RemoveButton(commands::kShowAlerts, kDynamicBarName);
  }
  dynamic_->AddButton(commands::kShowAlerts, image, alert_pressed_, alert_pressed_, kDynamicBarName);
  dynamic_->BindButton(commands::kShowAlerts, table_, table_context_, kComponent);
}

void CKorvelLifeUIFrame::PlayAlertSound(int index) {
  if (index < 0 || index >= static_cast<int>(sizeof kAlertSounds / sizeof kAlertSounds[0])) return;
  std::string ce = kAlertSounds[index];
  if (ce[0] != '\\') ce = "\\" + ce;
  std::string host = platform::device::MapCePath(ce);
  if (!host.empty()) platform::GetServices().play_sound(platform::os::Utf8ToUtf16(host));
}

void CKorvelLifeUIFrame::RefreshAlertButton(bool with_data, int value) {
  if (with_data) SetShown(true, true);
  std::uint32_t fresh = 0, unread = 0;
  bool opened = false;
  if (!CountAlerts("New", true, &fresh, &unread, &opened)) {
    SetBarButtonState(dynamic_, kAlertButton, true, true);
    return;
  }
  int sound = -1;
  CObjectStore fallback;
  const CObjectStore* access = store_ ? store_ : &fallback;
  store::Database* prefs = nullptr;
  if (access->Open(&prefs, "TavoSavedPrefs", false) == store::kStoreOk) {
    std::int32_t play = 0, selection = -1;
    if (CObjectStore::ReadInt(prefs, "AlertsSettings", "PlaySound", &play) && play == 1 &&
        CObjectStore::ReadInt(prefs, "AlertsSettings", "ComboSelection", &selection))
      sound = selection;
    store::CloseDatabase(&prefs);
  }
  // The picture follows the new alerts both ways, so it never claims news that were read.
  ReplaceAlertButton(fresh > 0 ? alert_new_ : alert_normal_);
  if (!with_data) {
    SetBarButtonState(dynamic_, kAlertButton, true, fresh > 0 || unread > 0);
    if (sound >= 0 && fresh > 0) PlayAlertSound(sound);
  } else {
    SetBarButtonState(dynamic_, kAlertButton, true, unread > 0 && value >= 1);
    if (dynamic_) {
      dynamic_->SetShown(true, true);
      dynamic_->InvalidateAll();
    }
  }
}

void CKorvelLifeUIFrame::SetUpAlertButton() {
  std::uint32_t fresh = 0, unread = 0;
  bool opened = false;
  CountAlerts("NEW_ALERT", false, &fresh, &unread, &opened);
  ReplaceAlertButton(fresh > 0 ? alert_new_ : alert_normal_);
  SetBarButtonState(dynamic_, kAlertButton, true, opened && (fresh > 0 || unread > 0));
}
