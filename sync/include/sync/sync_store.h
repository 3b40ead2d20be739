// What the sync engine needs of the object store, as objects in wire form.
// The production implementation forwards to the store's operations; the
// engine itself never sees store handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "sync/wire_object.h"

namespace sync_engine {

class SyncStore {
 public:
  using Database = void*;
  virtual ~SyncStore() = default;
  // Store codes: 0, store::kStoreNoDatabase when missing and create is
  // false, others as the store gives them.
  virtual int Open(const std::string& name, bool create, bool start_empty, std::uint32_t cache_limit,
                   Database* db) = 0;
  virtual void Close(Database* db) = 0;
  // Visits every object (source 0: all, by name; source 1: the change list)
  // until visit returns false. *count, when given, holds the number of
  // objects listed before the first visit, so one pass can report progress.
  virtual int ForEachObject(Database db, int source, std::size_t* count,
                            const std::function<bool(const WireObject&)>& visit) = 0;
  // store::kStoreObjectNotFound when there is no object of that name.
  virtual int ReadObject(Database db, const std::string& name, WireObject* object) = 0;
  // Writes with create, update, add and retype all set.
  virtual int WriteObject(Database db, const WireObject& object) = 0;
  virtual int DeleteObject(Database db, const std::string& name) = 0;
};

// The object store on this program's default volume.
SyncStore* DefaultSyncStore();

}  // namespace sync_engine
