// Built when the object store is not part of the build: sessions then need
// a store given to them.
#include "sync/sync_store.h"

namespace sync_engine {
SyncStore* DefaultSyncStore() { return nullptr; }
}  // namespace sync_engine
