// The sync engine's view of the object store, over the store's own operations.
#pragma once

#include <string>

#include "store/store.h"
#include "sync/sync_store.h"

namespace sync_engine {

class StoreSyncStore : public SyncStore {
 public:
  // volume_path empty: the store's default volume beside the program.
  explicit StoreSyncStore(std::string volume_path = std::string()) : volume_(std::move(volume_path)) {}

  int Open(const std::string& name, bool create, bool start_empty, std::uint32_t cache_limit, Database* db) override;
  void Close(Database* db) override;
  int ForEachObject(Database db, int source, std::size_t* count,
                    const std::function<bool(const WireObject&)>& visit) override;
  int ReadObject(Database db, const std::string& name, WireObject* object) override;
  int WriteObject(Database db, const WireObject& object) override;
  int DeleteObject(Database db, const std::string& name) override;

 private:
  const char* volume() const { return volume_.empty() ? nullptr : volume_.c_str(); }
  std::string volume_;
};

// Converts between store objects and wire objects.
int ToWireObject(store::Object* from, WireObject* to);
int FromWireObject(const WireObject& from, store::Object** to);

}  // namespace sync_engine
