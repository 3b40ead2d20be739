// Test helpers: databases over records in memory (which survive a close, so
// a test can reopen them) or over a real volume in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "database.h"
#include "inspect.h"
#include "platform/os.h"
#include "record_file.h"
#include "store/store.h"

namespace store {
namespace testing_support {

// Forwards to another backend that the test keeps (or owns, see Wrap).
class SharedBackend : public RecordBackend {
 public:
  explicit SharedBackend(RecordBackend* m) : m_(m) {}
  std::uint32_t Count() const override { return m_->Count(); }
  StoreCode ReadByNumber(std::uint32_t n, std::uint32_t* id, std::string* b) override { return m_->ReadByNumber(n, id, b); }
  StoreCode ViewById(std::uint32_t id, std::uint32_t* n, const char** d, std::size_t* size) override {
    return m_->ViewById(id, n, d, size);
  }
  StoreCode IdAt(std::uint32_t n, std::uint32_t* id) override { return m_->IdAt(n, id); }
  StoreCode NumberOf(std::uint32_t id, std::uint32_t* n) override { return m_->NumberOf(id, n); }
  StoreCode Write(std::uint32_t id, std::uint32_t n, const std::string& b, std::uint32_t* out) override {
    return m_->Write(id, n, b, out);
  }
  StoreCode Renumber(std::uint32_t id, std::uint32_t n) override { return m_->Renumber(id, n); }
  StoreCode Delete(std::uint32_t id) override { return m_->Delete(id); }
  StoreCode Stamp(std::uint64_t* s) override { return m_->Stamp(s); }
  StoreCode Begin(BracketKind k) override { return m_->Begin(k); }
  StoreCode Commit() override { return m_->Commit(); }
  void Rollback() override { m_->Rollback(); }
  StoreCode Flush() override { return m_->Flush(); }
  StoreCode Close() override { return m_->Close(); }
  StoreCode DeleteDatabase() override { return m_->DeleteDatabase(); }

 protected:
  RecordBackend* m_;
};

// A platform side whose reads by identifier, writes or commits fail on
// demand, wrapped around the real one (RecordFile::WrapBackend).
class FaultyBackend : public SharedBackend {
 public:
  explicit FaultyBackend(std::unique_ptr<RecordBackend> inner) : SharedBackend(inner.get()), inner_(std::move(inner)) {}
  // Calls of each kind to let through before one fails; -1: none fails.
  int reads_before_failure = -1;
  int writes_before_failure = -1;
  bool fail_commit = false;
  StoreCode ViewById(std::uint32_t id, std::uint32_t* n, const char** d, std::size_t* size) override {
    if (Trip(&reads_before_failure)) return kStoreReadFailed;
    return SharedBackend::ViewById(id, n, d, size);
  }
  StoreCode Write(std::uint32_t id, std::uint32_t n, const std::string& b, std::uint32_t* out) override {
    if (Trip(&writes_before_failure)) return kStoreWriteFailed;
    return SharedBackend::Write(id, n, b, out);
  }
  StoreCode Commit() override {
    if (fail_commit) {
      fail_commit = false;
      m_->Rollback();
      return kStoreWriteFailed;
    }
    return SharedBackend::Commit();
  }

 private:
  static bool Trip(int* left) {
    if (*left < 0) return false;
    return (*left)-- == 0;
  }
  std::unique_ptr<RecordBackend> inner_;
};

// Wraps a handle's platform side in a FaultyBackend and returns it.
inline FaultyBackend* MakeFaulty(Database* db) {
  FaultyBackend* faulty = nullptr;
  db->file->WrapBackend([&](std::unique_ptr<RecordBackend> inner) {
    faulty = new FaultyBackend(std::move(inner));
    return std::unique_ptr<RecordBackend>(faulty);
  });
  return faulty;
}

inline bool VolumeWorks() {
  static int works = -1;
  if (works < 0) {
    std::string dir;
    platform::os::MakeTempDirectory("tidelark-store-probe", &dir);
    Database* db = nullptr;
    std::string vol = platform::os::JoinPath(dir, "probe.vol");
    works = OpenDatabase(&db, "Probe", 1, 0, kCreatorPyra, 0, 11, 10, vol.c_str()) == kStoreOk;
    if (db) CloseDatabase(&db);
    platform::os::RemoveTree(dir);
  }
  return works == 1;
}

// One database that a test can close and reopen.
class TestDb {
 public:
  explicit TestDb(bool on_volume) : on_volume_(on_volume) {
    if (on_volume_) {
      platform::os::MakeTempDirectory("tidelark-store", &dir_);
      volume_ = platform::os::JoinPath(dir_, "Reader.vol");
    }
  }
  ~TestDb() {
    if (db) CloseDatabase(&db);
    if (!dir_.empty()) platform::os::RemoveTree(dir_);
  }
  StoreCode Open(std::uint32_t cache_limit, bool start_empty = false) {
    if (on_volume_)
      return OpenDatabase(&db, "Test", 1, start_empty, kCreatorPyra, cache_limit, 11, 10, volume_.c_str());
    bool fresh = memory_.Count() == 0 || start_empty;
    if (start_empty) memory_ = MemoryBackend();
    std::unique_ptr<RecordFile> file(new RecordFile(std::unique_ptr<RecordBackend>(new SharedBackend(&memory_))));
    return AttachDatabase(std::move(file), "Test", "", fresh, cache_limit, &db);
  }
  StoreCode Close() { return CloseDatabase(&db); }
  StoreCode Reopen(std::uint32_t cache_limit) {
    StoreCode rc = Close();
    if (rc != kStoreOk) return rc;
    return Open(cache_limit);
  }
  Database* db = nullptr;
  const std::string& volume() const { return volume_; }

 private:
  bool on_volume_;
  std::string dir_, volume_;
  MemoryBackend memory_;
};

// Object building and reading helpers.
struct Obj {
  Object* o = nullptr;
  explicit Obj(const char* name) { CreateObject(&o, name); }
  ~Obj() { if (o) FreeObject(o); }
  Obj& Int(const char* name, std::int32_t v, std::uint8_t sig = 0) {
    EXPECT_EQ(SetProperty(o, name, kTypeInteger, &v, 4, 1, 1, 1, sig), kStoreOk);
    return *this;
  }
  Obj& Text(const char* name, const std::string& v, std::uint8_t sig = 0) {
    EXPECT_EQ(SetProperty(o, name, kTypeText, v.c_str(), std::uint32_t(v.size() + 1), 1, 1, 1, sig), kStoreOk);
    return *this;
  }
  Obj& Blob(const char* name, const std::string& v) {
    EXPECT_EQ(SetProperty(o, name, kTypeBinary, v.data(), std::uint32_t(v.size()), 1, 1, 1, 0), kStoreOk);
    return *this;
  }
  Object* release() { Object* r = o; o = nullptr; return r; }
};

inline std::string NameOf(Object* o) {
  char buf[256];
  std::uint32_t size = sizeof(buf);
  if (GetObjectName(o, buf, &size) != kStoreOk || size == 0) return "";
  return buf;
}
inline bool GetInt(Object* o, const char* name, std::int32_t* v) {
  std::uint32_t size = 4;
  return GetProperty(o, name, kTypeInteger, v, &size) == kStoreOk;
}
inline std::string GetText(Object* o, const char* name) {
  std::uint32_t size = 0;
  if (GetProperty(o, name, kTypeText, nullptr, &size) != kStoreBufferTooSmall) return "<missing>";
  std::string s(size, '\0');
  GetProperty(o, name, kTypeText, &s[0], &size);
  s.resize(size - 1);
  return s;
}

// The integer `property` of the stored object `name`, with ReadObject's code.
inline StoreCode ReadInt(Database* db, const std::string& name, const char* property, std::int32_t* v) {
  Object* o = nullptr;
  CreateObject(&o, name.c_str());
  StoreCode rc = ReadObject(db, o);
  if (rc == kStoreOk && !GetInt(o, property, v)) rc = kStorePropertyNotFound;
  if (rc == kStoreOk || rc == kStoreObjectNotFound || rc == kStorePropertyNotFound) FreeObject(o);
  return rc;
}

// Every problem the consistency check finds is a test failure.
inline void ExpectClean(Database* db) {
  std::vector<std::string> problems;
  ASSERT_EQ(CheckDatabase(db, &problems), kStoreOk);
  for (const auto& p : problems) ADD_FAILURE() << p;
}

// Names of the objects of a result set, in its order.
inline std::vector<std::string> Names(ResultSet* r) {
  std::vector<std::string> out;
  Object* o = nullptr;
  for (StoreCode rc = FirstResult(r, &o); rc == kStoreOk; rc = NextResult(r, &o)) {
    out.push_back(NameOf(o));
    FreeObject(o);
  }
  return out;
}

}  // namespace testing_support
}  // namespace store
