// RecordFile: one platform database seen as an array of numbered records.
//
// Invariants: record numbers run 0 to count - 1 without gaps and each record
// carries its number as platform property 0 and its bytes as property 1; a
// record holds at most 65280 bytes. Deleting records renumbers every later
// one, which is why the layers above address object and property records by
// their platform identifier only.
//
// The platform side sits behind RecordBackend so that the same record logic
// runs over the CE database volume and over plain memory (fuzzing, tools).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace store {

class RecordBackend {
 public:
  virtual ~RecordBackend() = default;
  virtual std::uint32_t Count() const = 0;
  // Record at position `number` (0-based): its platform identifier and bytes.
  virtual std::int32_t ReadByNumber(std::uint32_t number, std::uint32_t* id, std::string* bytes) = 0;
  virtual std::int32_t ReadById(std::uint32_t id, std::uint32_t* number, std::string* bytes) = 0;
  // Rewrites record `id` with a number and bytes; id 0 creates a new record and returns its id.
  virtual std::int32_t Write(std::uint32_t id, std::uint32_t number, const std::string& bytes,
                             std::uint32_t* new_id) = 0;
  virtual std::int32_t Delete(std::uint32_t id) = 0;
  // A bracket around several writes: after a crash all or none of them are seen.
  virtual std::int32_t Begin() { return 0; }
  virtual std::int32_t Commit() { return 0; }
  virtual void Rollback() {}
  virtual std::int32_t Flush() { return 0; }
  // Closes the platform database and releases the volume.
  virtual std::int32_t Close() { return 0; }
  // Deletes the platform database and releases the volume.
  virtual std::int32_t DeleteDatabase() { return 0; }
};

// Records in memory, in number order; identifiers count up from 1.
// Numbers stay strictly increasing along the order, also while a deletion
// renumbers, so a record's position is found by bisection on its number.
class MemoryBackend : public RecordBackend {
 public:
  struct Record { std::uint32_t number; std::string bytes; };
  std::uint32_t Count() const override { return static_cast<std::uint32_t>(order_.size()); }
  std::int32_t ReadByNumber(std::uint32_t number, std::uint32_t* id, std::string* bytes) override;
  std::int32_t ReadById(std::uint32_t id, std::uint32_t* number, std::string* bytes) override;
  std::int32_t Write(std::uint32_t id, std::uint32_t number, const std::string& bytes,
                     std::uint32_t* new_id) override;
  std::int32_t Delete(std::uint32_t id) override;
  // Raw access for tests and tools: the identifier at each position.
  const std::vector<std::uint32_t>& order() const { return order_; }
  Record* Find(std::uint32_t id);

 private:
  std::size_t PositionOf(std::uint32_t number) const;
  std::vector<std::uint32_t> order_;
  std::unordered_map<std::uint32_t, Record> records_;
  std::uint32_t next_id_ = 1;
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

  // Opens `name` on the CE volume at `volume_path` (see record_file_cedb.cc).
  static std::int32_t Open(const std::string& volume_path, const std::string& name, bool create,
                           bool start_empty, std::unique_ptr<RecordFile>* out, bool* created);
  // Deletes the platform database (the handle is closed afterwards).
  std::int32_t DeleteDatabase();
  std::int32_t Close();
  bool is_open() const { return backend_ != nullptr; }

  std::uint32_t count() const { return count_; }
  // By number when request->number is given, else by identifier; fills the other address.
  std::int32_t Read(RecordRequest* request);
  std::int32_t Write(RecordRequest* request);
  // Appends after the last record; fills number and id.
  std::int32_t Append(RecordRequest* request);
  // Deletes the addressed records and renumbers the later ones down.
  std::int32_t DeleteRecords(std::vector<RecordRequest>* requests);

  std::int32_t Begin();
  std::int32_t Commit();
  void Rollback();
  std::int32_t Flush();

  RecordBackend* backend() { return backend_.get(); }

 private:
  std::unique_ptr<RecordBackend> backend_;
  std::uint32_t count_ = 0;
  int depth_ = 0;
};

}  // namespace store
