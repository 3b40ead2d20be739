// The database handle, the bracket every operation holds on it, and the
// records of objects.
//
// A handle keeps copies of what it read: the volume header, the block
// totals, index blocks (BlockCache) and records that settled key ties
// (TieRecords). They are good for as long as the database's change stamp is
// the one they were made under; an operation begins by comparing stamps and
// reloading when another handle, in this process or another, changed the
// database. Its own changes it makes to the copies and the records alike and
// notes the stamp they lead to before committing, so they cost no reload.
//
// Invariants of an open handle (CheckInvariants; asserted when a handle is
// attached and before every write commits):
//  - totals[i] is the number of index entries in blocks 1..i+1 (the block
//    count is header word 1, taken as 1..64), and equals the total from the
//    last block on;
//  - every block the cache holds has as many whole entries as the totals
//    give it;
//  - outside an operation no cached block is newer than its record.
// What the records themselves hold (sorted entries, no empty block before
// the last, a header record that is one) is checked by CheckDatabase: a
// volume written by someone else may break it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "handles.h"
#include "record_file.h"
#include "record_format.h"
#include "store/store.h"

namespace store {

class BlockCache;
class TieRecords;

struct Database {
  char tag[4];
  RecordFile* file;
  std::uint32_t totals[kMaxBlocks];
  std::uint8_t header[kHeaderBytes];
  BlockCache* cache;
  TieRecords* ties;
  std::uint64_t stamp;  // the copies above are of this state; 0 = reload them
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

// The hold of one operation on its database. The outermost bracket of a
// handle brings its copies up to date; a write bracket that is not
// committed rolls back, and the handle reloads at its next operation.
class Bracket {
 public:
  Bracket(Database* db, BracketKind kind);
  ~Bracket();
  Bracket(const Bracket&) = delete;
  Bracket& operator=(const Bracket&) = delete;
  StoreCode status() const { return status_; }
  // Write: writes back changed blocks and commits; read: ends the bracket.
  StoreCode Commit();

 private:
  void Abandon();
  Database* db_;
  BracketKind kind_;
  StoreCode status_;
  bool open_ = false;
};

// Everything the handle copied is dropped; the next bracket reloads it.
void MarkStale(Database* db);
// Header, record count and block totals from the records (inside a bracket).
StoreCode Reload(Database* db);
// True when the invariants above hold; `why` (optional) says which failed.
bool CheckInvariants(const Database* db, std::string* why = nullptr);

// ---- Records of objects (inside a bracket) ----
StoreCode ReadRecordById(Database* db, std::uint32_t id, std::string* bytes);
StoreCode WriteRecordById(Database* db, std::uint32_t id, std::string bytes);
// Reads the stored object whose header record is `id` into `object` (named).
StoreCode LoadStoredObject(Database* db, std::uint32_t id, Object* object);

// Opens a handle over a record file (used by the opener, tools and tests).
// `initialise` writes the volume header and the reserved records. When the
// file comes inside a write bracket, as RecordFile::Open leaves it, that
// bracket is committed here.
StoreCode AttachDatabase(std::unique_ptr<RecordFile> file, const char* name, const char* volume,
                         bool initialise, std::uint32_t cache_limit, Database** out);

}  // namespace store
