// When an ad sync is due, and the dates GetSyncInfo reports.
#include <cstdint>

#include "dates.h"
#include "handle.h"
#include "pyra/pyra.h"
#include "system.h"

namespace pyra {

namespace {

constexpr int kSyncInterval = 14;
constexpr int kFirstSyncInterval = 3;

// The three "Last Sync" properties; false unless all are there.
bool ReadLastSync(store::Object* o, Date* date) {
  return ReadInt(o, "Last Sync Year", &date->year) && ReadInt(o, "Last Sync Month", &date->month) &&
         ReadInt(o, "Last Sync Day", &date->day);
}

}  // namespace

bool SyncDue(std::int32_t application_id) {
  Db registry;
  if (registry.Open(kRegistryDb, true) != store::kStoreOk) return false;
  Obj registration;
  if (FindByInt(registry.get(), "AppID", application_id, &registration) != store::kStoreOk) return true;
  Date base;
  int interval = kSyncInterval;
  std::int32_t year = 0;
  if (ReadInt(registration.get(), "Last Sync Year", &year)) {
    if (!ReadLastSync(registration.get(), &base)) return true;
  } else {
    // Never synchronised: a few days after the application was installed.
    std::string path;
    std::uint64_t created = 0;
    if (!ObjectName(registration.get(), SIZE_MAX, &path) || !CurrentSystem().FileCreationTime(path, &created))
      return true;
    base = FromFileTime(created).date;
    interval = kFirstSyncInterval;
  }
  if (!ValidDate(base)) return true;
  Date today = FromFileTime(CurrentSystem().NowFileTime()).date;
  return CompareDates(today, AddDaysOnce(base, interval)) >= 0;
}

void UpdateStatus(PyraHandle* handle) {
  if (SyncDue(handle->application_id)) handle->status = kPyraSyncDue;
  else handle->status = handle->ad_db ? kPyraOk : handle->open_error;
}

std::int32_t SyncInfo(PyraHandle* handle, std::int32_t* last, std::int32_t* next) {
  Db own;
  store::Database* ads = handle->ad_db;
  if (!ads) {
    std::int32_t rc = own.Open(kAdDb, true);
    if (rc != store::kStoreOk) return rc;
    ads = own.get();
  }
  Obj stamp;
  Date date;
  if (LoadObject(ads, kLastSyncObject, &stamp) != store::kStoreOk || !ReadLastSync(stamp.get(), &date))
    return kPyraOk;
  if (!ValidDate(date)) return kPyraBadArgument;
  Date due = AddDaysOnce(date, kSyncInterval);
  last[0] = date.year, last[1] = date.month, last[2] = date.day;
  next[0] = due.year, next[1] = due.month, next[2] = due.day;
  return kPyraOk;
}

}  // namespace pyra
