// The sync screen: the subscribed channels with check boxes, "Sync all"
// (3040) and "Synchronize" (3041, the checked channels). A started sync
// counts itself, marks the placeholder alerts read, makes sure of a data
// connection (waiting up to kConnectionWaitMillis, or until the connection
// gives up) and then runs on a worker
// thread behind the progress window, which the user can only cancel.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/commands.h"
#include "app/object_store.h"
#include "app/view.h"
#include "channels/list_channels.h"
#include "gui/button.h"
#include "sync/screens/sync_state.h"

class CKorvelLifeUIFrame;
class CKorvelLifeAdsArea;

// What a sync needs of the program around it.
struct SyncHost {
  CKorvelLifeSyncState* state = nullptr;
  CKorvelLifeUIFrame* frame = nullptr;
  CKorvelLifeAdsArea* ads = nullptr;
  // The command table (the news view, 5011, when the sync ends).
  CommandHandler commands = nullptr;
  void* context = nullptr;
  // The module holding the progress window's dialog template.
  HINSTANCE resources = nullptr;
  // Pictures of the skin; the caller deletes them.
  HBITMAP (*load_image)(int id) = nullptr;
  // The application's text styles by index.
  const VexaAppGUISystem::TextStyle& (*text_style)(int index) = nullptr;
};

namespace sync_screens {

enum Command : int { kSyncAll = 3040, kSyncChecked = 3041 };
constexpr DWORD kConnectionWaitMillis = 40000;
// The message the progress window gets when the sync thread has ended.
constexpr UINT kThreadFinished = WM_USER + 2;  // 1026
// The product and version the sync announces.
constexpr char kProduct[] = "Tavo Sync Engine";
constexpr char kVersion[] = "1.0.10B2 for PocketPC";

// Starts a sync of the fixed databases and `channels` (steps up to the
// progress window); false when none started (one runs already, or no
// connection came within `connection_wait_ms`).
bool StartSync(const SyncHost& host, const CObjectStore& store, const std::vector<std::string>& channels,
               DWORD connection_wait_ms = kConnectionWaitMillis);
// Cancels a running sync and waits up to `timeout_ms` for its thread; true
// when none runs any more.
bool StopSync(CKorvelLifeSyncState* state, DWORD timeout_ms);
// The address the connection is made for: the sync server's.
std::wstring ConnectionAddress(const CObjectStore& store);

}  // namespace sync_screens

class CKorvelLifeSyncScreen : public CKorvelListChannels {
 public:
  // Slots 11 to 13: the subscribed channels; the explanation with "Sync all"
  // above the list, "Synchronize" below it.
  std::int32_t QueryChannels(store::Database* database, store::ResultSet** result, int type,
                             const char* plugin) override;
  void BuildHeader(VexaAppGUISystem::Box* box) override;
  void BuildFooter(VexaAppGUISystem::Box* box) override;
  int ProcessButton(int command, int b) override;
  int Deactivate(int a, int b) override;

  void SetHost(const SyncHost& host) { host_ = host; }
  const SyncHost& Host() const { return host_; }
  // While the screen shows; null otherwise.
  VexaAppGUISystem::TextButtonRounded* SyncAllButton() const { return sync_all_; }
  // The channel databases to sync: every row's (all) or the checked rows'.
  std::vector<std::string> Databases(bool all) const;

 private:
  SyncHost host_;
  VexaAppGUISystem::TextButtonRounded* sync_all_ = nullptr;  // owned by the list
};
