// The sync thread and the progress callback it hands the engine.
#include <atomic>

#include "sync/store_adapter.h"
#include "sync/sync_session.h"
#include "sync_run.h"

namespace sync_screens {

namespace {

std::atomic<CKorvelLifeSyncState*> g_target{nullptr};

// The databases every sync carries, around the channels.
const char* const kBefore[] = {"TavoRss", "TavoAlerts"};
const char* const kAfter[] = {"TavoInfo", "TavoSets", "TavoPrefs"};

}  // namespace

void SetReportTarget(CKorvelLifeSyncState* state) { g_target.store(state); }

int ReportProgress(int first, int second, const char* text, int state) {
  // A sync in progress keeps the device awake.
  SetThreadExecutionState(ES_SYSTEM_REQUIRED);
  CKorvelLifeSyncState* target = g_target.load();
  if (!target) return 0;
  if (target->progress.Store(first, second, text, state)) {
    if (HWND window = target->window.load()) InvalidateRect(window, nullptr, FALSE);
  }
  return target->cancel.load();
}

DWORD WINAPI RunSync(void* parameter) {
  auto* state = static_cast<CKorvelLifeSyncState*>(parameter);
  state->cancel.store(0);
  sync_engine::StoreSyncStore store(state->volume);
  sync_engine::SyncSession* session = nullptr;
  int result = sync_engine::CreateSession(&session);
  if (result == sync_engine::kSyncOk) {
    session->store = &store;
    for (const char* name : kBefore) sync_engine::AddDatabase(session, name);
    for (const std::string& name : state->channels) sync_engine::AddDatabase(session, name.c_str());
    for (const char* name : kAfter) sync_engine::AddDatabase(session, name);
    sync_engine::SetUserAgent(session, kProduct, kVersion);
    result = sync_engine::Synchronize(session, ReportProgress);
    sync_engine::EndSession(session, 1);
  }
  state->result.store(result);
  if (result == sync_engine::kSyncOk) {
    state->progress.Reset();
    if (HWND window = state->window.load()) InvalidateRect(window, nullptr, FALSE);
  }
  if (HWND window = state->window.load()) PostMessageW(window, kThreadFinished, 0, 0);
  return static_cast<DWORD>(result);
}

}  // namespace sync_screens
