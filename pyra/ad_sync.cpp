#include "ad_sync.h"

#include <cstdio>
#include <string>

#include "banner.h"
#include "dates.h"
#include "registry.h"
#include "sync/store_adapter.h"
#include "sync/sync_session.h"
#include "system.h"
#include "version.h"

namespace pyra {

const char kAdServerHost[] = "ads.tidelark.net";

namespace {

constexpr char kUserAgentProduct[] = "Pyra Sync Engine";
constexpr char kStampProperty[] = "Last Sync Date Num";

std::int32_t RunSession(PyraSyncCallback callback) {
  sync_engine::StoreSyncStore volume(VolumePath());
  sync_engine::SyncSession* session = nullptr;
  std::int32_t rc = sync_engine::CreateSession(&session);
  if (rc != sync_engine::kSyncOk) return rc;
  session->store = &volume;
  session->default_host = kAdServerHost;
  session->default_port = kAdServerPort;
  char version[64];
  std::snprintf(version, sizeof version, "%d.%d.%d for PocketPC", kLibraryVersion.major, kLibraryVersion.minor,
                kLibraryVersion.build);
  rc = sync_engine::SetUserAgent(session, kUserAgentProduct, version);
  for (const char* name : {kAdDb, kInfoDb, kPrefsDb})
    if (rc == sync_engine::kSyncOk) rc = sync_engine::AddDatabase(session, name);
  if (rc == sync_engine::kSyncOk) rc = sync_engine::Synchronize(session, callback);
  sync_engine::EndSession(session, 1);
  return rc;
}

void SetLastSync(store::Object* o, const Date& date) {
  SetInt(o, "Last Sync Year", date.year);
  SetInt(o, "Last Sync Month", date.month);
  SetInt(o, "Last Sync Day", date.day);
}

// The registration of this application, or every one when it has none.
void StampRegistrations(std::int32_t application_id, const Date& date) {
  Db registry;
  if (registry.Open(kRegistryDb, true) != store::kStoreOk) return;
  std::vector<std::string> names;
  Obj found;
  std::string name;
  if (FindByInt(registry.get(), "AppID", application_id, &found) == store::kStoreOk &&
      ObjectName(found.get(), SIZE_MAX, &name)) {
    names.push_back(name);
  } else {
    Results all;
    store::ListObjects(registry.get(), all.out(), 0);
    Obj o;
    for (std::int32_t rc = store::FirstResult(all.get(), o.out()); rc == store::kStoreOk;
         rc = store::NextResult(all.get(), o.out()))
      if (ObjectName(o.get(), SIZE_MAX, &name)) names.push_back(name);
  }
  for (const std::string& n : names) {
    Obj stamp;
    if (stamp.Create(n.c_str()) != store::kStoreOk) continue;
    SetLastSync(stamp.get(), date);
    Store(registry.get(), stamp.get());
  }
}

void StampSync(PyraHandle* handle) {
  std::uint64_t now = CurrentSystem().NowFileTime();
  Date today = FromFileTime(now).date;
  Db refresh;
  Obj stamp;
  if (refresh.Open(kRefreshDb, true) == store::kStoreOk && stamp.Create(kLastSyncObject) == store::kStoreOk) {
    SetBlob(stamp.get(), kStampProperty, std::string(reinterpret_cast<const char*>(&now), sizeof now));
    Store(refresh.get(), stamp.get());
  }
  Obj last;
  if (handle->ad_db && last.Create(kLastSyncObject) == store::kStoreOk) {
    SetLastSync(last.get(), today);
    Store(handle->ad_db, last.get());
  }
  StampRegistrations(handle->application_id, today);
}

}  // namespace

std::int32_t SyncAds(PyraHandle* handle, PyraSyncCallback callback, std::unique_lock<std::recursive_mutex>* lock) {
  System& system = CurrentSystem();
  RefreshSyncState(handle);
  if (handle->synchronizing) return kPyraSyncRunning;
  void* event = nullptr;
  // Another process may have made the event since the check above.
  if (!system.CreateSyncEvent(&event)) return kPyraSyncRunning;
  RefreshSyncState(handle);

  // The engine gets the volume to itself; the window thread sees the event.
  DropSelection(handle);
  OpenAdDatabases(handle);
  CloseAdDatabases(handle);
  std::int32_t count = 0, length = 0;
  InstalledApplications(handle, nullptr, &count, &length);

  lock->unlock();
  std::int32_t rc = RunSession(callback);
  lock->lock();

  DropSelection(handle);
  OpenAdDatabases(handle);
  if (rc == kPyraOk) StampSync(handle);
  if (handle->has_keywords) {
    std::string keywords = handle->keywords;
    rc = SetKeywords(handle, keywords.c_str(), true);
  }
  system.CloseSyncEvent(event);
  RefreshSyncState(handle);
  return rc;
}

}  // namespace pyra
