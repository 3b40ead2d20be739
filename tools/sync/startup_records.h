// The records a fresh reader writes at its first start, so that a device
// folder synchronises exactly as the reader would.
#pragma once

#include "sync/sync_store.h"

namespace tidelark_sync {

// Seeds the start-up databases when "TavoRss" does not exist yet. Returns a
// store code; *seeded tells whether anything was written.
int SeedWhenEmpty(sync_engine::SyncStore* store, bool* seeded);

}  // namespace tidelark_sync
