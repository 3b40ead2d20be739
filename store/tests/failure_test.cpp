// Failures in the middle of an operation: a record read failing during a
// lookup, a write or a commit failing, the disk going away while a database
// is emptied. Nothing may pass for "not found", and what was stored stays
// whole.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect.h"
#include "platform/cedb_testing.h"
#include "test_db.h"

namespace store {
namespace {

using testing_support::FaultyBackend;
using testing_support::ExpectClean;
using testing_support::MakeFaulty;
using testing_support::Obj;

class Failures : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override {
    platform::os::MakeTempDirectory("tidelark-fail", &dir_);
    volume_ = platform::os::JoinPath(dir_, "Reader.vol");
  }
  void TearDown() override {
    cedb::FailFileWritesAfter(-1);
    platform::os::RemoveTree(dir_);
  }
  StoreCode Open(Database** db, int create = 1, int start_empty = 0) {
    return OpenDatabase(db, "Test", create, start_empty, kCreatorPyra, GetParam(), 11, 10, volume_.c_str());
  }
  static StoreCode Put(Database* db, const char* name, std::int32_t v) {
    Obj o(name);
    o.Int("Value", v).Text("Title", std::string("title of ") + name).Int("Extra", -v);
    return WriteObject(db, o.o, 1, 1, 1, 0);
  }
  static StoreCode Get(Database* db, const char* name, std::int32_t* v) {
    return testing_support::ReadInt(db, name, "Value", v);
  }
  static std::uint32_t Count(Database* db) {
    ResultSet* all = nullptr;
    EXPECT_EQ(ListObjects(db, &all, 0), kStoreOk);
    std::uint32_t n = GetResultCount(all);
    FreeResult(all);
    return n;
  }
  std::string dir_, volume_;
};

TEST_P(Failures, AFailedLookupIsPassedOnNotTakenForAMissingObject) {
  Database* db = nullptr;
  ASSERT_EQ(Open(&db), kStoreOk);
  // Names longer than 7 bytes tie on the keys: a lookup reads records.
  for (const char* name : {"article-1", "article-2", "article-3"}) ASSERT_EQ(Put(db, name, 1), kStoreOk);
  ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  struct Case {
    const char* what;
    std::function<StoreCode(Database*)> op;
  };
  const Case cases[] = {
      {"write", [](Database* d) { return Put(d, "article-2", 2); }},
      {"read", [](Database* d) { std::int32_t v; return Get(d, "article-3", &v); }},
      {"delete", [](Database* d) { Obj o("article-2"); return DeleteObject(d, o.o, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Open(&db), kStoreOk);  // a fresh handle has no record of the names yet
    MakeFaulty(db)->reads_before_failure = 0;
    EXPECT_EQ(c.op(db), kStoreReadFailed);
    ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  }
  ASSERT_EQ(Open(&db), kStoreOk);
  EXPECT_EQ(Count(db), 3u);  // no second "article-2"
  std::int32_t v = 0;
  ASSERT_EQ(Get(db, "article-2", &v), kStoreOk);
  EXPECT_EQ(v, 1);
  ExpectClean(db);
  CloseDatabase(&db);
}

TEST_P(Failures, AFailedCommitChangesNothingAndTheHandleGoesOn) {
  Database* db = nullptr;
  ASSERT_EQ(Open(&db), kStoreOk);
  ASSERT_EQ(Put(db, "kept", 1), kStoreOk);
  FaultyBackend* faulty = MakeFaulty(db);
  faulty->fail_commit = true;
  EXPECT_EQ(Put(db, "kept", 2), kStoreWriteFailed);
  faulty->fail_commit = true;
  EXPECT_EQ(Put(db, "new", 3), kStoreWriteFailed);
  faulty->fail_commit = true;
  Obj gone("kept");
  EXPECT_EQ(DeleteObject(db, gone.o, 0), kStoreWriteFailed);
  // The record count followed the rollback: appending goes on without a gap.
  EXPECT_EQ(db->file->count(), faulty->Count());
  std::int32_t v = 0;
  ASSERT_EQ(Get(db, "kept", &v), kStoreOk);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(Get(db, "new", &v), kStoreObjectNotFound);
  ASSERT_EQ(Put(db, "after", 4), kStoreOk);
  ASSERT_EQ(Put(db, "kept", 5), kStoreOk);
  ExpectClean(db);
  ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  ASSERT_EQ(Open(&db), kStoreOk);
  ASSERT_EQ(Get(db, "kept", &v), kStoreOk);
  EXPECT_EQ(v, 5);
  EXPECT_EQ(Count(db), 2u);
  ExpectClean(db);
  CloseDatabase(&db);
}

// Every write of an update that splits the index, failing in turn.
TEST_P(Failures, AWriteFailingAnywhereLeavesTheOldObject) {
  Database* db = nullptr;
  ASSERT_EQ(Open(&db), kStoreOk);
  for (int i = 0; i < 330; ++i) ASSERT_EQ(Put(db, ("filler-" + std::to_string(i)).c_str(), i), kStoreOk);
  ASSERT_EQ(Put(db, "target", 1), kStoreOk);
  int failures = 0;
  for (int k = 0;; ++k) {
    SCOPED_TRACE(k);
    FaultyBackend* faulty = MakeFaulty(db);
    faulty->writes_before_failure = k;
    // Updates two properties and adds enough to push the first block past 1000 entries.
    Obj o("target");
    o.Int("Value", 2).Text("Title", "new title");
    for (int p = 0; p < 20; ++p) o.Int(("Added" + std::to_string(p)).c_str(), p);
    StoreCode rc = WriteObject(db, o.o, 1, 1, 1, 0);
    faulty->writes_before_failure = -1;
    if (rc == kStoreOk) break;
    ++failures;
    EXPECT_TRUE(rc == kStoreWriteFailed || rc == kStoreAppendFailed) << rc;  // appends fail as 1012
    std::int32_t v = 0;
    ASSERT_EQ(Get(db, "target", &v), kStoreOk);
    EXPECT_EQ(v, 1);
    Object* r = nullptr;
    CreateObject(&r, "target");
    ASSERT_EQ(ReadObject(db, r), kStoreOk);
    std::uint32_t count = 0;
    GetPropertyCount(r, &count);
    EXPECT_EQ(count, 3u);
    FreeObject(r);
    ASSERT_LT(k, 200);
  }
  EXPECT_GT(failures, 10);
  EXPECT_GT(BlockCount(db), 1u);
  ExpectClean(db);
  CloseDatabase(&db);
}

// The disk goes away after k writes while a database is emptied: it is then
// either empty or as it was, never missing.
TEST_P(Failures, StartEmptyIsOneStep) {
  Database* db = nullptr;
  ASSERT_EQ(Open(&db), kStoreOk);
  ASSERT_EQ(Put(db, "old", 1), kStoreOk);
  ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  bool emptied = false;
  for (int k = 0; !emptied; ++k) {
    SCOPED_TRACE(k);
    ASSERT_LT(k, 20);
    cedb::FailFileWritesAfter(k);
    StoreCode rc = Open(&db, 0, 1);
    cedb::FailFileWritesAfter(-1);
    if (rc == kStoreOk) {
      EXPECT_EQ(Count(db), 0u);
      ASSERT_EQ(CloseDatabase(&db), kStoreOk);
      emptied = true;
    }
    ASSERT_EQ(Open(&db, 0), kStoreOk) << "the database went missing";
    std::int32_t v = 0;
    EXPECT_EQ(Get(db, "old", &v), emptied ? kStoreObjectNotFound : kStoreOk);
    ExpectClean(db);
    ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  }
}

INSTANTIATE_TEST_SUITE_P(Cache, Failures, ::testing::Values(0u, 64000u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& i) {
                           return i.param ? std::string("Cached") : std::string("Uncached");
                         });

}  // namespace
}  // namespace store
