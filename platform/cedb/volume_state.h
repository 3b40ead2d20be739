// The in-memory image of one volume: its databases and records, rebuilt by
// replaying the volume's log and changed only by applying log operations.
//
// Invariants:
// - every record belongs to exactly one existing database, and appears once
//   in that database's `order`, which is sorted by (key, oid);
// - next_oid is above every identifier ever used on the volume, so
//   identifiers are never handed out twice;
// - Apply() of a validated operation never fails; ValidateBatch() accepts
//   only byte strings that Apply() can consume completely.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace cedb {

// Log operation codes.
enum OpCode : std::uint8_t {
  kOpCreateDb = 1,  // u32 oid, u32 type, u16 name units + units, u32 sort propid, u32 sort flags, u8 has sort
  kOpDeleteDb = 2,  // u32 oid
  kOpPutRecord = 3, // u32 db, u32 oid, u32 bytes + encoded properties (whole record)
  kOpDeleteRecord = 4,  // u32 db, u32 oid
  kOpNextOid = 5,   // u32 next
};

struct OrderEntry {
  std::uint64_t key;
  std::uint32_t oid;
  bool operator<(const OrderEntry& o) const { return key != o.key ? key < o.key : oid < o.oid; }
  bool operator==(const OrderEntry& o) const { return key == o.key && oid == o.oid; }
};

struct Database {
  std::uint32_t oid = 0;
  std::u16string name;
  std::uint32_t type = 0;
  bool has_sort = false;
  std::uint32_t sort_propid = 0;
  std::uint32_t sort_flags = 0;
  std::vector<OrderEntry> order;
  std::uint64_t bytes = 0;  // encoded property bytes of its records
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
  void PutRecord(std::string* out, std::uint32_t db, std::uint32_t oid, std::string props);
  void DeleteRecord(std::string* out, std::uint32_t db, std::uint32_t oid);

  // One batch body that recreates this whole state.
  std::string Snapshot() const;

  std::uint32_t AllocateOid() { return next_oid_++; }
  std::uint64_t live_bytes() const { return live_bytes_; }

  Database* FindDb(std::uint32_t oid);
  Database* FindDbByName(const std::u16string& name);
  const Record* FindRecord(std::uint32_t oid) const;
  const std::map<std::uint32_t, Database>& databases() const { return dbs_; }

  // Sort key of a record's properties under a database's sort order.
  static std::uint64_t KeyFor(const Database& db, const std::string& props);
  // Position of the first entry not below (key, oid).
  static std::size_t LowerBound(const Database& db, std::uint64_t key, std::uint32_t oid);

 private:
  void Apply(std::uint8_t op, const char* data, std::size_t n);
  void ApplyPut(std::uint32_t db, std::uint32_t oid, std::string props);

  std::map<std::uint32_t, Database> dbs_;
  std::unordered_map<std::uint32_t, Record> records_;
  std::uint32_t next_oid_ = 1;
  std::uint64_t live_bytes_ = 0;
};

bool SameName(const std::u16string& a, const std::u16string& b);

}  // namespace cedb
