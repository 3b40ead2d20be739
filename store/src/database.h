// The database handle and the machinery beneath the database operations:
// block cache, property index, recycle list.
//
// Invariants of an open handle:
//  - totals[i] is the number of index entries in blocks 1..i+1 (as records
//    or, when cached, as cache nodes); block_count = header word 1, 1..64;
//  - no block before the last is empty; entries are sorted across blocks;
//  - a cached node's bytes are newer than its record until written back.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "handles.h"
#include "store/store.h"
#include "record_file.h"
#include "record_format.h"

namespace store {

struct CacheNode {
  std::uint32_t record;  // record number of the block
  std::string bytes;
  bool dirty;            // newer than the record
};

class BlockCache {
 public:
  std::uint32_t cached_bytes = 0;
  std::uint32_t limit = 0;
  std::uint32_t blocks = 0;
  std::list<CacheNode> nodes;  // most recently used first
  bool enabled = false;
};

struct Database {
  char tag[4];
  RecordFile* file;
  std::uint32_t totals[kMaxBlocks];
  std::uint8_t header[kHeaderBytes];
  BlockCache* cache;
  char* name;
  char* volume;
};

inline std::uint32_t BlockCount(const Database* db) {
  std::uint32_t n = Load32(db->header + 4);
  if (n < 1) n = 1;
  if (n > kMaxBlocks) n = kMaxBlocks;
  return n;
}
inline std::uint32_t TotalEntries(const Database* db) { return db->totals[BlockCount(db) - 1]; }
inline std::uint32_t BlockStart(const Database* db, std::uint32_t b) { return b == 0 ? 0 : db->totals[b - 1]; }
inline std::uint32_t BlockEntries(const Database* db, std::uint32_t b) {
  return db->totals[b] - BlockStart(db, b);
}

// A bracket around the record reads of one lookup: the volume is locked and
// brought up to date once instead of on every read. When it cannot be had,
// each read still locks for itself. Writes made inside (cache evictions)
// are committed by End.
class ReadBracket {
 public:
  explicit ReadBracket(Database* db) : file_(db->file) {
    on_ = file_ != nullptr && file_->Begin() == kStoreOk;
    if (!on_ && file_ != nullptr) file_->Rollback();
  }
  ~ReadBracket() { End(); }
  std::int32_t End() {
    if (!on_) return kStoreOk;
    on_ = false;
    return file_->Commit();
  }

 private:
  RecordFile* file_;
  bool on_ = false;
};

// ---- Block cache (block_cache.cc) ----
// Index block b (0-based) is record b + 1. *out points into the cache or into *scratch.
std::int32_t ReadBlock(Database* db, std::uint32_t b, std::string* scratch, const std::string** out);
std::int32_t WriteBlock(Database* db, std::uint32_t b, std::string bytes);
std::int32_t FlushCache(Database* db);
// Forgets cached blocks without writing them (after a rolled-back transaction).
void DropCache(Database* db);
std::int32_t LoadTotals(Database* db);

// ---- Index (index.cc) ----
struct SearchKey {
  const Property* p;
  std::uint32_t mode;
  bool prefix;  // names only, whatever the value
  bool owner;   // object identifier decides ties
};
// Compares stored entry e with the sought property: <0, 0, >0. Reads e's record when the keys tie.
std::int32_t CompareEntry(Database* db, const Entry& e, const SearchKey& k, int* result);
struct Position {
  std::uint32_t block;  // 0-based
  std::uint32_t index;  // in the block
  std::int64_t global;  // -1 = before the first entry
  bool found;
  Entry entry;          // the entry at the position, when found
};
// First entry not below k (last = false) or last entry not above k (last = true).
// block_copy, when given, receives the bytes of the block the position is in.
std::int32_t Search(Database* db, const SearchKey& k, bool last, Position* pos,
                    std::string* block_copy = nullptr);
std::int32_t InsertEntry(Database* db, const Property& p);
// Removes the entry of p (record and object identifier as given); recycles its record when asked.
std::int32_t RemoveEntry(Database* db, const Property& p, std::vector<std::uint32_t>* recycle);
// Entries with global positions [first, last].
std::int32_t ReadEntries(Database* db, std::uint32_t first, std::uint32_t last, std::vector<Entry>* out);

// ---- Recycle list (recycle_list.cc) ----
std::int32_t PushRecycled(Database* db, const std::vector<std::uint32_t>& ids);
// Takes up to `want` identifiers from the end of the list.
std::int32_t PopRecycled(Database* db, std::size_t want, std::vector<std::uint32_t>* ids);

// ---- Records of objects (database.cc) ----
std::int32_t ReadRecordById(Database* db, std::uint32_t id, std::string* bytes);
// Reads the stored object whose header record is `id` into `object` (named).
std::int32_t LoadStoredObject(Database* db, std::uint32_t id, Object* object);

// Opens a handle over an existing record file (used by the opener and by tools).
std::int32_t AttachDatabase(std::unique_ptr<RecordFile> file, const char* name, const char* volume,
                            bool initialise, std::uint32_t cache_limit, Database** out);

}  // namespace store
