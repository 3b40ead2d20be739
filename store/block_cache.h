// The handle's copies of its index blocks, and the write-back of the blocks
// an operation changes.
//
// A block read is kept for as long as the database's stamp says it is
// current. With the cache on (a non-zero limit) the blocks an operation
// changes are written back together before it commits; once the changed
// bytes reach the limit, the longest unchanged of them go back early.
// Several changes to one block in one operation then cost one write. With
// the cache off each change goes to the record at once.
#pragma once

#include <cstdint>
#include <string>

#include "record_format.h"
#include "store/store.h"

namespace store {

struct Database;

class BlockCache {
 public:
  struct Slot {
    bool loaded = false;
    bool changed = false;  // newer than the record
    std::uint64_t changed_at = 0;  // tick of the last change, for writing back the oldest first
    std::string bytes;
  };
  Slot slots[kMaxBlocks];
  std::uint32_t changed_bytes = 0;
  std::uint64_t tick = 0;
  std::uint32_t limit = 0;
  bool enabled = false;
};

// Index block b (0-based) is record b + 1. *out stays valid until the block
// is written or the cache is dropped.
StoreCode ReadBlock(Database* db, std::uint32_t b, const std::string** out);
StoreCode WriteBlock(Database* db, std::uint32_t b, std::string bytes);
// Changes block b in place: `change` edits the cached bytes, which then go
// the way WriteBlock sends them. Spares a copy of the block per entry.
template <typename Change>
StoreCode ChangeBlock(Database* db, std::uint32_t b, Change change);
// Writes back every changed block.
StoreCode FlushCache(Database* db);
// Forgets every block, changed or not.
void DropCache(Database* db);
// Moves the cached copies of blocks first..last-1 one up and last's to
// first, as RecordFile::Rotate moves their records.
void RotateCache(Database* db, std::uint32_t first, std::uint32_t last);

// ---- implementation of ChangeBlock ----
StoreCode LoadedBlock(Database* db, std::uint32_t b, BlockCache::Slot** slot);
StoreCode BlockChanged(Database* db, std::uint32_t b, std::size_t size_before, bool was_changed);

template <typename Change>
StoreCode ChangeBlock(Database* db, std::uint32_t b, Change change) {
  BlockCache::Slot* slot = nullptr;
  StoreCode rc = LoadedBlock(db, b, &slot);
  if (rc != kStoreOk) return rc;
  std::size_t before = slot->bytes.size();
  bool was_changed = slot->changed;
  change(&slot->bytes);
  return BlockChanged(db, b, before, was_changed);
}

}  // namespace store
