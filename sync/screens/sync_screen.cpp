// The sync screen: the check-box list of the subscribed channels, between
// the explanation with "Sync all" and the "Synchronize" button.
#include "sync/screens/sync_screen.h"

#include "app/look.h"
#include "channels/subscriptions.h"
#include "platform/device.h"
#include "sync_run.h"

namespace {

// Screen numbers of the texts.
constexpr int kTitle = 98, kExplanation = 118, kSyncAllLabel = 119, kSyncCheckedLabel = 98;
constexpr int kLeft = 10, kTop = 10, kGap = 5, kFooterGap = 10, kButtonHeight = 20;
constexpr int kExplanationStyle = 0;

}  // namespace

std::int32_t CKorvelLifeSyncScreen::QueryChannels(store::Database* database, store::ResultSet** result, int type,
                                                  const char* plugin) {
  return channels::QueryBySubscription(database, static_cast<std::uint16_t>(type), plugin, channels::kSubscribed,
                                       result);
}

void CKorvelLifeSyncScreen::BuildHeader(VexaAppGUISystem::Box*) {
  SetTitle(AppString(kTitle));
  Append(MakeText(AppString(kExplanation), AppTextStyle(kExplanationStyle)), kLeft, kTop);
  sync_all_ = MakeFooterButton(kSyncAllLabel, sync_screens::kSyncAll);
  Append(sync_all_, kLeft, kGap, true);
}

void CKorvelLifeSyncScreen::BuildFooter(VexaAppGUISystem::Box*) {
  // Wider than the lists' other footer buttons: "Synchronize" would not fit.
  VexaAppGUISystem::TextButtonRounded* button = MakeFooterButton(kSyncCheckedLabel, sync_screens::kSyncChecked);
  const int width = platform::device::Screen().width / 2;
  button->SetMinimumSize(width, kButtonHeight);
  button->SetMaximumSize(width, kButtonHeight);
  Append(button, (ListWidth() - width) / 2, kFooterGap, true);
}

int CKorvelLifeSyncScreen::Deactivate(int a, int b) {
  sync_all_ = nullptr;  // the list frees it
  return CKorvelListChannels::Deactivate(a, b);
}

std::vector<std::string> CKorvelLifeSyncScreen::Databases(bool all) const {
  std::vector<std::string> names;
  for (int i = 0; i < RowCount(); ++i) {
    const char* database = RowDatabase(i);
    if (database && *database && (all || Row(i)->IsChecked())) names.push_back(database);
  }
  return names;
}

int CKorvelLifeSyncScreen::ProcessButton(int command, int) {
  if (command != sync_screens::kSyncAll && command != sync_screens::kSyncChecked) return 0;
  if (store_) sync_screens::StartSync(host_, *store_, Databases(command == sync_screens::kSyncAll));
  return 1;
}
