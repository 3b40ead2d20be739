#include "handle.h"

#include <cassert>
#include <cstring>

#include "system.h"

namespace pyra {

namespace {

constexpr char kStampProperty[] = "Last Sync Date Num";

}  // namespace

bool ValidHandle(const PyraHandle* handle) { return handle && std::memcmp(handle->magic, "ALCX", 4) == 0; }

void RefreshSyncState(PyraHandle* handle) {
  handle->synchronizing = CurrentSystem().SyncEventExists();
  handle->current_stamp = 0;
  Db refresh;
  if (refresh.Open(kRefreshDb, false) != store::kStoreOk) return;
  Obj stamp;
  if (LoadObject(refresh.get(), kLastSyncObject, &stamp) != store::kStoreOk) return;
  std::string bytes;
  if (ReadBlob(stamp.get(), kStampProperty, &bytes) == store::kStoreOk && bytes.size() == 8)
    std::memcpy(&handle->current_stamp, bytes.data(), 8);
}

std::int32_t OpenAdDatabases(PyraHandle* handle) {
  std::int32_t rc = store::kStoreOk;
  if (!handle->info_db) rc = OpenDb(kInfoDb, true, &handle->info_db);
  if (!handle->ad_db) handle->open_error = OpenDb(kAdDb, true, &handle->ad_db);
  return rc;
}

void CloseAdDatabases(PyraHandle* handle) {
  assert(!handle->matches && "keyword matches must go before their database");
  if (handle->ad_db) store::CloseDatabase(&handle->ad_db);
  if (handle->info_db) store::CloseDatabase(&handle->info_db);
}

void DropSelection(PyraHandle* handle) {
  handle->ring.clear();
  handle->head = 0;
  handle->last_shown = -1;
  handle->matches.Reset();
  handle->current_ad.Reset();
  handle->draw = DrawKind::kNone;
}

}  // namespace pyra
