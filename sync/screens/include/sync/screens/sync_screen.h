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
#include "gui/button.h"
#include "sync/screens/form.h"
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

class CKorvelLifeSyncScreen : public CKorvelLifeInternalView {
 public:
  CKorvelLifeSyncScreen();
  ~CKorvelLifeSyncScreen() override;

  int Activate(const char* parameter) override;
  int Deactivate(int a, int b) override;
  int ProcessButton(int command, int b) override;

  void SetHost(const SyncHost& host) { host_ = host; }
  const SyncHost& Host() const { return host_; }

  // The list's rows: each channel's database name and whether it is checked.
  int RowCount() const { return static_cast<int>(rows_.size()); }
  VexaAppGUISystem::CCheckBoxEx* Row(int i) const { return rows_[static_cast<size_t>(i)]; }
  VexaAppGUISystem::TextButtonRounded& SyncAllButton() { return sync_all_; }
  // The database names to sync: every row's (all) or the checked rows'.
  std::vector<std::string> Names(bool all) const;

 private:
  // Activate's steps.
  void BuildHeader();
  void BuildSections();
  // The subscribed channels of the plug-in `plugin` as (name, database), by name.
  std::vector<std::pair<std::string, std::string>> QueryChannels(const char* plugin) const;
  void AddHeading(const wchar_t* text);
  void AddRow(const std::string& name, const std::string& database);
  void BuildFooter();
  VexaAppGUISystem::TextStyle Style(int index) const;
  void Clear();

  SyncHost host_;
  sync_screens::Column column_;
  VexaAppGUISystem::Text explanation_;
  VexaAppGUISystem::TextButtonRounded sync_all_;
  VexaAppGUISystem::TextButtonRounded sync_checked_;
  VexaAppGUISystem::TextBase spacer_;
  std::vector<VexaAppGUISystem::TextBase*> headings_;
  std::vector<VexaAppGUISystem::CCheckBoxEx*> rows_;
  std::vector<std::string*> databases_;  // the rows' user data
  HBITMAP check_off_ = nullptr, check_on_ = nullptr;
};
