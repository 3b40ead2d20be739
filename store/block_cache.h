// The handle's copies of its index blocks, and the write-back of the blocks
// an operation changes.
//
// A block read is kept for as long as the database's stamp says it is
// current. With the cache on (a non-zero limit) the blocks an operation
// changes are written back together before it commits, or earlier once the
// changed bytes reach the limit; several changes to one block in one
// operation then cost one write. With the cache off each change goes to the
// record at once.
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
    std::string bytes;
  };
  Slot slots[kMaxBlocks];
  std::uint32_t changed_bytes = 0;
  std::uint32_t limit = 0;
  bool enabled = false;
};

// Index block b (0-based) is record b + 1. *out stays valid until the block
// is written or the cache is dropped.
StoreCode ReadBlock(Database* db, std::uint32_t b, const std::string** out);
StoreCode WriteBlock(Database* db, std::uint32_t b, std::string bytes);
// Writes back every changed block.
StoreCode FlushCache(Database* db);
// Forgets every block, changed or not.
void DropCache(Database* db);
// Moves the cached copies of blocks first..last-1 one up and last's to
// first, as RecordFile::Rotate moves their records.
void RotateCache(Database* db, std::uint32_t first, std::uint32_t last);

}  // namespace store
