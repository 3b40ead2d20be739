// Starting a sync: statistics, placeholder alerts, the connection, then the
// progress window; and stopping one that runs when the program ends.
#include "sync_run.h"

#include "app/frame.h"
#include "app/stored_object.h"
#include "sync/store_adapter.h"
#include "sync/sync_session.h"

namespace sync_screens {

void CountSync(const CObjectStore& store) {
  store::Database* db = nullptr;
  if (store.Open(&db, "TavoInfo", true, false, 0) != store::kStoreOk) return;
  StoredObject stats("SyncStats");
  stats.Load(db);
  std::int32_t count = 0, used = 0;
  stats.SetInt("SyncCount", stats.GetInt("SyncCount", &count) && count >= 0 && count < INT32_MAX ? count + 1 : 1);
  if (!stats.GetInt("TimeUsed", &used)) stats.SetInt("TimeUsed", 0);
  stats.Write(db);
  store::CloseDatabase(&db);
}

void MarkPlaceholderAlertsRead(const CObjectStore& store) {
  store::Database* db = nullptr;
  if (store.Open(&db, "TavoAlerts", false) != store::kStoreOk) return;
  CObjectStore::Delete(db, "Alert 1");
  for (const char* name : {"Alert 2", "Alert 3", "Alert 4"}) {
    StoredObject alert(name);
    alert.Load(db);
    alert.SetInt("READ", 1).Write(db);
  }
  store::CloseDatabase(&db);
}

std::wstring ConnectionAddress(const CObjectStore& store) {
  sync_engine::StoreSyncStore sync_store(store.Volume() ? store.Volume() : "");
  std::string host;
  std::uint32_t port = 0;
  sync_engine::ServerOf(&sync_store, sync_engine::kDefaultServerHost, sync_engine::kDefaultServerPort, &host, &port);
  // A v6 address goes in brackets.
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  std::string url = "http://" + host + ":" + std::to_string(port) + "/";
  return std::wstring(url.begin(), url.end());
}

bool WaitForConnection(const CConnection& connection, DWORD timeout_ms) {
  HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const DWORD start = GetTickCount();
  bool connected = false;
  for (;;) {
    connected = connection.LastStatus() == CONNMGR_STATUS_CONNECTED;
    // A worker that gave up reports nothing more: waiting on would only keep the user waiting.
    if (connected || connection.WorkerEnded() || GetTickCount() - start >= timeout_ms) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_PAINT | QS_SENDMESSAGE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
  }
  // Taps and keys that came while the program was busy are not meant for what comes next.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
  SetCursor(before);
  return connected;
}

HBITMAP CaptureScreen(HWND frame) {
  RECT r;
  if (!frame || !GetWindowRect(frame, &r)) return nullptr;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return nullptr;
  HDC source = GetWindowDC(frame);
  if (!source) return nullptr;
  HDC memory = CreateCompatibleDC(source);
  HBITMAP shot = CreateCompatibleBitmap(source, w, h);
  if (memory && shot) {
    HGDIOBJ old = SelectObject(memory, shot);
    BitBlt(memory, 0, 0, w, h, source, 0, 0, SRCCOPY);
    SelectObject(memory, old);
  }
  if (memory) DeleteDC(memory);
  ReleaseDC(frame, source);
  return shot;
}

bool StartSync(const SyncHost& host, const CObjectStore& store, const std::vector<std::string>& channels,
               DWORD connection_wait_ms) {
  CKorvelLifeSyncState* state = host.state;
  if (!state || state->Running()) return false;
  CountSync(store);
  MarkPlaceholderAlertsRead(store);
  state->channels = channels;
  state->volume = store.Volume() ? store.Volume() : "";
  const std::wstring address = ConnectionAddress(store);
  if (state->connection.CheckConnection(address.c_str(), FALSE) != kConnectionOk) {
    if (FAILED(state->connection.StartConnection(address.c_str(), FALSE)) ||
        !WaitForConnection(state->connection, connection_wait_ms)) {
      state->channels.clear();
      return false;
    }
  }
  state->progress.Reset();
  state->screen = CaptureScreen(host.frame ? host.frame->GetHandle() : nullptr);
  if (!OpenProgressWindow(host)) {
    if (state->screen) DeleteObject(state->screen);
    state->screen = nullptr;
    state->channels.clear();
    return false;
  }
  return true;
}

bool StopSync(CKorvelLifeSyncState* state, DWORD timeout_ms) {
  if (!state || !state->worker) return true;
  state->cancel.store(1);
  if (WaitForSingleObject(state->worker, timeout_ms) != WAIT_OBJECT_0) return false;
  CloseHandle(state->worker);
  state->worker = nullptr;
  return true;
}

}  // namespace sync_screens
