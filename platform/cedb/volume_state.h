// The in-memory image of one volume: its databases and records, rebuilt by
// replaying the volume's log and changed only by applying log operations.
//
// Invariants (CheckInvariants tests them):
// - every record belongs to exactly one existing database, and appears once
//   among that database's live order entries, which are sorted by (key, oid);
// - next_oid is above every identifier ever used on the volume, so
//   identifiers are never handed out twice;
// - a database's stamp changes with every operation applied to it, and no
//   stamp value is ever given twice in a process, also not across replays;
// - Apply() of a validated operation never fails; ValidateBatch() accepts
//   only byte strings that Apply() can consume completely. A patch whose
//   base record is missing or does not fit it is skipped as a whole.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "record_props.h"

namespace cedb {

// Log operation codes.
enum OpCode : std::uint8_t {
  kOpCreateDb = 1,  // u32 oid, u32 type, u16 name units + units, u32 sort propid, u32 sort flags, u8 has sort
  kOpDeleteDb = 2,  // u32 oid
  kOpPutRecord = 3, // u32 db, u32 oid, u32 bytes + encoded properties (whole record)
  kOpDeleteRecord = 4,  // u32 db, u32 oid
  kOpNextOid = 5,   // u32 next
  // u32 db, u32 oid, u16 count, then per property of the new record: u32
  // propid and either its 8-byte fixed value or, for LPWSTR and BLOB, u16
  // run count and per run: u32 offset, u32 n, u32 m + m bytes: the value is
  // the concatenation, over the runs, of n bytes of the old value from
  // `offset` and then the m new bytes.
  kOpPatchRecord = 6,
};

struct OrderEntry {
  std::uint64_t key;
  std::uint32_t oid;
  bool operator<(const OrderEntry& o) const { return key != o.key ? key < o.key : oid < o.oid; }
  bool operator==(const OrderEntry& o) const { return key == o.key && oid == o.oid; }
};

// A database's records in (key, oid) order. Removals are settled lazily, so
// that deleting many records costs one pass; removed entries keep their
// place meanwhile, which keeps the vector sorted for insertion and rekeying.
class RecordOrder {
 public:
  std::size_t size() const { return entries_.size() - removed_.size(); }
  // The live entries, in order (settles pending removals).
  const std::vector<OrderEntry>& entries();
  // Position among the live entries of the first entry not below (key, oid).
  std::size_t LowerBound(std::uint64_t key, std::uint32_t oid);
  void Insert(const OrderEntry& e);
  void Remove(const OrderEntry& e);
  void Rekey(std::uint32_t oid, std::uint64_t old_key, std::uint64_t new_key);
  void Clear();

 private:
  std::size_t RawLowerBound(const OrderEntry& e) const;
  void Settle();
  std::vector<OrderEntry> entries_;
  std::unordered_set<std::uint32_t> removed_;
};

struct Database {
  std::uint32_t oid = 0;
  std::u16string name;
  std::uint32_t type = 0;
  bool has_sort = false;
  std::uint32_t sort_propid = 0;
  std::uint32_t sort_flags = 0;
  RecordOrder order;
  std::uint64_t bytes = 0;  // encoded property bytes of its records
  std::uint64_t stamp = 0;
};

struct Record {
  std::uint32_t db = 0;
  std::uint64_t key = 0;
  std::string props;  // encoded properties, see record_props.h
};

class VolumeState {
 public:
  void Clear();

  // Checks that a batch body is a well-formed sequence of operations.
  static bool ValidateBatch(const char* data, std::size_t n);
  // Applies a validated batch body.
  void ApplyBatch(const char* data, std::size_t n);

  // Encoders: append one operation to *out and apply it at once.
  void CreateDb(std::string* out, std::uint32_t oid, const std::u16string& name, std::uint32_t type,
                bool has_sort, std::uint32_t sort_propid, std::uint32_t sort_flags);
  void DeleteDb(std::string* out, std::uint32_t oid);
  // A new record is logged whole, an existing one as the changed bytes of
  // each value. `props` may point into the record itself.
  void WriteRecord(std::string* out, std::uint32_t db, std::uint32_t oid, const std::vector<PropView>& props);
  void DeleteRecord(std::string* out, std::uint32_t db, std::uint32_t oid);

  // One batch body that recreates this whole state, handed out in pieces:
  // its size first, then the bytes through `sink` (false stops the walk).
  std::uint64_t SnapshotSize();
  bool WriteSnapshot(const std::function<bool(const char*, std::size_t)>& sink);

  std::uint32_t AllocateOid() { return next_oid_++; }
  std::uint64_t live_bytes() const { return live_bytes_; }

  Database* FindDb(std::uint32_t oid);
  Database* FindDbByName(const std::u16string& name);
  const Record* FindRecord(std::uint32_t oid) const;
  std::map<std::uint32_t, Database>& databases() { return dbs_; }

  // Sort key of a record's properties under a database's sort order.
  static std::uint64_t KeyFor(const Database& db, const std::string& props);

  // Tests the invariants above that the image alone can show; a description
  // of the first broken one, or "" when all hold.
  std::string CheckInvariants();

 private:
  void Apply(std::uint8_t op, const char* data, std::size_t n);
  void ApplyPut(std::uint32_t db, std::uint32_t oid, std::string props);
  void ApplyPatch(const char* data, std::size_t n);
  void Replace(Database* db, std::uint32_t oid, Record* rec, std::string props);

  std::map<std::uint32_t, Database> dbs_;
  std::unordered_map<std::uint32_t, Record> records_;
  std::uint32_t next_oid_ = 1;
  std::uint64_t live_bytes_ = 0;
};

bool SameName(const std::u16string& a, const std::u16string& b);

}  // namespace cedb
