// RecordFile: one platform database seen as an array of numbered records.
//
// Invariants: record numbers run 0 to count - 1 without gaps and each record
// carries its number as platform property 0 and its bytes as property 1; a
// record holds at most 65280 bytes. Deleting records renumbers every later
// one, which is why the layers above address object and property records by
// their platform identifier only. Outside a bracket count() is the
// platform's count as last seen; Reload() brings it up to date.
//
// The platform side sits behind RecordBackend so that the same record logic
// runs over the CE database volume and over plain memory (fuzzing, tools).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/store.h"

namespace store {

enum class BracketKind { kRead, kWrite };

class RecordBackend {
 public:
  virtual ~RecordBackend() = default;
  virtual std::uint32_t Count() const = 0;
  // Record at position `number` (0-based): its platform identifier and bytes.
  virtual StoreCode ReadByNumber(std::uint32_t number, std::uint32_t* id, std::string* bytes) = 0;
  // The bytes of record `id`, valid until the next call on this backend.
  virtual StoreCode ViewById(std::uint32_t id, std::uint32_t* number, const char** data, std::size_t* size) = 0;
  // Where a record is, without its bytes.
  virtual StoreCode IdAt(std::uint32_t number, std::uint32_t* id) = 0;
  virtual StoreCode NumberOf(std::uint32_t id, std::uint32_t* number) = 0;
  // Rewrites record `id` with a number and bytes; id 0 creates a new record and returns its id.
  virtual StoreCode Write(std::uint32_t id, std::uint32_t number, const std::string& bytes,
                          std::uint32_t* new_id) = 0;
  // Gives record `id` a new number, keeping its bytes.
  virtual StoreCode Renumber(std::uint32_t id, std::uint32_t number) = 0;
  virtual StoreCode Delete(std::uint32_t id) = 0;
  // A value that changes whenever the database changes, through any handle.
  virtual StoreCode Stamp(std::uint64_t* stamp) = 0;
  // A bracket: a write bracket's writes are one step (after a crash all or
  // none of them are seen); a read bracket's reads see one state.
  virtual StoreCode Begin(BracketKind) { return kStoreOk; }
  virtual StoreCode Commit() { return kStoreOk; }
  virtual void Rollback() {}
  virtual StoreCode Flush() { return kStoreOk; }
  // Closes the platform database and releases the volume.
  virtual StoreCode Close() { return kStoreOk; }
  // Deletes the platform database and releases the volume.
  virtual StoreCode DeleteDatabase() { return kStoreOk; }
};

// Records in memory, in number order; identifiers count up from 1.
// Numbers stay strictly increasing along the order, also while a deletion
// renumbers, so a record's position is found by bisection on its number.
class MemoryBackend : public RecordBackend {
 public:
  struct Record { std::uint32_t number; std::string bytes; };
  std::uint32_t Count() const override { return static_cast<std::uint32_t>(order_.size()); }
  StoreCode ReadByNumber(std::uint32_t number, std::uint32_t* id, std::string* bytes) override;
  StoreCode ViewById(std::uint32_t id, std::uint32_t* number, const char** data, std::size_t* size) override;
  StoreCode IdAt(std::uint32_t number, std::uint32_t* id) override;
  StoreCode NumberOf(std::uint32_t id, std::uint32_t* number) override;
  StoreCode Write(std::uint32_t id, std::uint32_t number, const std::string& bytes,
                  std::uint32_t* new_id) override;
  StoreCode Renumber(std::uint32_t id, std::uint32_t number) override;
  StoreCode Delete(std::uint32_t id) override;
  StoreCode Stamp(std::uint64_t* stamp) override;
  // Raw access for tests and tools: the identifier at each position.
  const std::vector<std::uint32_t>& order() const { return order_; }
  Record* Find(std::uint32_t id);

 private:
  std::size_t PositionOf(std::uint32_t number) const;
  void Place(std::uint32_t id, std::uint32_t number);
  std::vector<std::uint32_t> order_;
  std::unordered_map<std::uint32_t, Record> records_;
  std::uint32_t next_id_ = 1;
  std::uint64_t changes_ = 1;
};

struct RecordRequest {
  std::uint32_t number = 65535;  // 65535 = not given
  std::uint32_t id = 65535;      // 65535 = not given
  std::string bytes;
};

class RecordFile {
 public:
  explicit RecordFile(std::unique_ptr<RecordBackend> backend);
  ~RecordFile();

  // Opens `name` on the CE volume at `volume_path` (see record_file_cedb.cpp)
  // and returns it inside a write bracket: the caller finishes setting the
  // database up and commits, so that creating (or emptying) it and its
  // first records are one step.
  static StoreCode Open(const std::string& volume_path, const std::string& name, bool create,
                        bool start_empty, std::unique_ptr<RecordFile>* out, bool* created);
  // Deletes the platform database (the handle is closed afterwards).
  StoreCode DeleteDatabase();
  StoreCode Close();
  bool is_open() const { return backend_ != nullptr; }

  std::uint32_t count() const { return count_; }
  // Reads the count again and forgets the identifiers it remembered
  // (another handle may have changed them).
  void Reload();
  // By number when request->number is given, else by identifier; fills the other address.
  StoreCode Read(RecordRequest* request);
  StoreCode Write(RecordRequest* request);
  // The bytes of record `id` without a copy, valid until the next call on this file.
  StoreCode View(std::uint32_t id, const char** data, std::size_t* size);
  // Appends after the last record; fills number and id.
  StoreCode Append(RecordRequest* request);
  // Deletes the addressed records and renumbers the later ones down.
  StoreCode DeleteRecords(std::vector<RecordRequest>* requests);
  // The identifier of the record numbered `number`, without its bytes.
  StoreCode IdAt(std::uint32_t number, std::uint32_t* id);
  // Moves record `last` to number `first` and records first..last-1 one up.
  StoreCode Rotate(std::uint32_t first, std::uint32_t last);
  StoreCode Stamp(std::uint64_t* stamp);

  // Brackets nest; only the outermost one reaches the platform.
  StoreCode Begin(BracketKind kind);
  StoreCode Commit();
  void Rollback();
  int depth() const { return depth_; }
  StoreCode Flush();

  RecordBackend* backend() { return backend_.get(); }
  // Puts a wrapper around the platform side (tests inject failures with it).
  template <typename Wrap>
  void WrapBackend(Wrap wrap) {
    backend_ = wrap(std::move(backend_));
  }

 private:
  // Identifier of a reserved record (numbers below 67 never move, except
  // through Rotate), remembered once learned.
  StoreCode ReservedId(std::uint32_t number, std::uint32_t* id);
  void Remember(std::uint32_t number, std::uint32_t id);
  // Renumbers `id` from `from` to `to`, keeping the remembered identifiers.
  StoreCode Move(std::uint32_t id, std::uint32_t to);

  std::unique_ptr<RecordBackend> backend_;
  std::uint32_t count_ = 0;
  int depth_ = 0;
  BracketKind kind_ = BracketKind::kRead;
  std::vector<std::uint32_t> reserved_ids_;  // 0 = not known yet
};

}  // namespace store
