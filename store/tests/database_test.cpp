// The database layer against its edge cases, with the block cache off and
// on, over records in memory and over a real volume.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "inspect.h"
#include "test_db.h"

namespace store {
namespace {

using testing_support::GetInt;
using testing_support::GetText;
using testing_support::Names;
using testing_support::NameOf;
using testing_support::Obj;
using testing_support::TestDb;

struct Config {
  bool on_volume;
  std::uint32_t cache;
};

class DatabaseTest : public ::testing::TestWithParam<Config> {
 protected:
  void SetUp() override {
    if (GetParam().on_volume && !testing_support::VolumeWorks()) GTEST_SKIP() << "no database volume engine";
    t_.reset(new TestDb(GetParam().on_volume));
    ASSERT_EQ(t_->Open(GetParam().cache), kStoreOk);
  }
  Database* db() { return t_->db; }
  std::int32_t Write(Obj& o, int create = 1, int update = 1, int add = 1, int retype = 0) {
    return WriteObject(db(), o.o, create, update, add, retype);
  }
  // Reads the named object; null when missing.
  Object* Read(const char* name) {
    Object* o = nullptr;
    CreateObject(&o, name);
    std::int32_t rc = ReadObject(db(), o);
    if (rc == kStoreObjectNotFound) FreeObject(o);  // a failed load was freed by the store
    if (rc != kStoreOk) return nullptr;
    return o;
  }
  std::uint32_t IdOf(const char* name) {
    Obj q(name);
    ResultSet* all = nullptr;
    EXPECT_EQ(ListObjects(db(), &all, 0), kStoreOk);
    Object* o = nullptr;
    std::uint32_t id = 0;
    for (std::int32_t rc = FirstResult(all, &o); rc == kStoreOk; rc = NextResult(all, &o)) {
      if (NameOf(o) == name) id = all->ids[all->cursor];
      FreeObject(o);
    }
    FreeResult(all);
    return id;
  }
  std::vector<std::string> QueryNames(Object* low, Object* high, const char* order_by = nullptr) {
    ResultSet* r = nullptr;
    EXPECT_EQ(Query(db(), low, high, kCompareRecords, &r, order_by, nullptr, 0), kStoreOk);
    std::vector<std::string> names = Names(r);
    FreeResult(r);
    return names;
  }
  std::unique_ptr<TestDb> t_;
};

TEST_P(DatabaseTest, UpdateKeepsIdentifierAndChangesValue) {
  Obj a("Article");
  a.Int("Mode", 1).Text("Title", "first");
  ASSERT_EQ(Write(a), kStoreOk);
  std::uint32_t id = IdOf("Article");
  ASSERT_NE(id, 0u);
  Obj b("Article");
  b.Int("Mode", 2).Text("Title", "second");
  ASSERT_EQ(Write(b), kStoreOk);
  EXPECT_EQ(IdOf("Article"), id);
  Object* r = Read("Article");
  ASSERT_NE(r, nullptr);
  std::int32_t mode = 0;
  EXPECT_TRUE(GetInt(r, "Mode", &mode));
  EXPECT_EQ(mode, 2);
  EXPECT_EQ(GetText(r, "Title"), "second");
  FreeObject(r);
  ResultSet* all = nullptr;
  ASSERT_EQ(ListObjects(db(), &all, 0), kStoreOk);
  EXPECT_EQ(GetResultCount(all), 1u);
  FreeResult(all);
  // The old value is gone from the index.
  Obj old("q");
  old.Int("Mode", 1);
  EXPECT_TRUE(QueryNames(old.o, old.o).empty());
}

struct WriteFlagsCase {
  const char* what;
  int create, update, add, retype;
  std::int32_t rc;
  const char* mode_type;  // "int", "text" or "none" after the second write
  bool has_extra;
};

TEST_P(DatabaseTest, WriteFlagsDecideWhatChanges) {
  // The stored object has Mode as an integer; the second write brings Mode
  // as text and a new property Extra.
  const WriteFlagsCase cases[] = {
      {"update without retype keeps the stored type", 0, 1, 0, 0, kStoreOk, "int", false},
      {"update with retype replaces it", 0, 1, 0, 1, kStoreOk, "text", false},
      {"add only adds new names", 0, 0, 1, 0, kStoreOk, "int", true},
      {"add and update with retype", 0, 1, 1, 1, kStoreOk, "text", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Obj first("Thing");
    first.Int("Mode", 7);
    ASSERT_EQ(Write(first), kStoreOk);
    Obj second("Thing");
    second.Text("Mode", "seven").Int("Extra", 1);
    EXPECT_EQ(Write(second, c.create, c.update, c.add, c.retype), c.rc);
    Object* r = Read("Thing");
    ASSERT_NE(r, nullptr);
    std::int32_t v = 0;
    if (std::string(c.mode_type) == "int") {
      EXPECT_TRUE(GetInt(r, "Mode", &v));
      EXPECT_EQ(v, 7);
    } else {
      EXPECT_EQ(GetText(r, "Mode"), "seven");
    }
    EXPECT_EQ(GetInt(r, "Extra", &v), c.has_extra);
    FreeObject(r);
    Obj del("Thing");
    ASSERT_EQ(DeleteObject(db(), del.o, 0), kStoreOk);
  }
  Obj missing("Nobody");
  missing.Int("Mode", 1);
  EXPECT_EQ(Write(missing, 0, 1, 1, 0), kStoreObjectNotFound);
}

TEST_P(DatabaseTest, PartialWriteKeepsUnmentionedProperties) {
  Obj a("Channel");
  a.Int("A", 1).Int("B", 2).Text("C", "three");
  ASSERT_EQ(Write(a), kStoreOk);
  Obj b("Channel");
  b.Int("B", 20);
  ASSERT_EQ(Write(b), kStoreOk);
  Object* r = Read("Channel");
  ASSERT_NE(r, nullptr);
  std::uint32_t count = 0;
  GetPropertyCount(r, &count);
  EXPECT_EQ(count, 3u);
  std::int32_t v = 0;
  EXPECT_TRUE(GetInt(r, "A", &v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(GetInt(r, "B", &v));
  EXPECT_EQ(v, 20);
  EXPECT_EQ(GetText(r, "C"), "three");
  FreeObject(r);
}

TEST_P(DatabaseTest, DeleteModeOneRemovesOnlyNamedProperties) {
  Obj a("Five");
  a.Int("P1", 1).Int("P2", 2).Int("P3", 3).Int("P4", 4).Int("P5", 5);
  ASSERT_EQ(Write(a), kStoreOk);
  Obj names("Five");
  names.Int("P2", 0).Int("P4", 0);
  ASSERT_EQ(DeleteObject(db(), names.o, 1), kStoreOk);
  Object* r = Read("Five");
  ASSERT_NE(r, nullptr);
  std::uint32_t count = 0;
  GetPropertyCount(r, &count);
  EXPECT_EQ(count, 3u);
  std::int32_t v;
  EXPECT_FALSE(GetInt(r, "P2", &v));
  EXPECT_TRUE(GetInt(r, "P5", &v));
  FreeObject(r);
  Obj q("q");
  q.Int("P4", 4);
  EXPECT_TRUE(QueryNames(q.o, q.o).empty());
  Obj q3("q");
  q3.Int("P3", 3);
  EXPECT_EQ(QueryNames(q3.o, q3.o), std::vector<std::string>{"Five"});
  Obj whole("Five");
  EXPECT_EQ(DeleteObject(db(), whole.o, 0), kStoreOk);
  EXPECT_EQ(Read("Five"), nullptr);
  EXPECT_EQ(DeleteObject(db(), whole.o, 0), kStoreObjectNotFound);
}

TEST_P(DatabaseTest, CursorStopsAtBothEnds) {
  for (const char* n : {"a", "b", "c"}) {
    Obj o(n);
    o.Int("Kind", 1);
    ASSERT_EQ(Write(o), kStoreOk);
  }
  Obj q("q");
  q.Int("Kind", 1);
  ResultSet* r = nullptr;
  ASSERT_EQ(Query(db(), q.o, q.o, kCompareRecords, &r, nullptr, nullptr, 0), kStoreOk);
  ASSERT_EQ(GetResultCount(r), 3u);
  Object* o = nullptr;
  EXPECT_EQ(PreviousResult(r, &o), kStoreNoMoreResults);  // cursor at 0
  EXPECT_EQ(r->cursor, 0u);
  ASSERT_EQ(LastResult(r, &o), kStoreOk);
  FreeObject(o);
  EXPECT_EQ(NextResult(r, &o), kStoreNoMoreResults);
  EXPECT_EQ(o, nullptr);
  EXPECT_EQ(r->cursor, 2u);
  ASSERT_EQ(PreviousResult(r, &o), kStoreOk);
  FreeObject(o);
  EXPECT_EQ(r->cursor, 1u);
  FreeResult(r);
  Obj none("q");
  none.Int("Absent", 1);
  ASSERT_EQ(Query(db(), none.o, none.o, kCompareRecords, &r, nullptr, nullptr, 0), kStoreOk);
  EXPECT_EQ(GetResultCount(r), 0u);
  EXPECT_EQ(FirstResult(r, &o), kStoreNoMoreResults);
  EXPECT_EQ(LastResult(r, &o), kStoreNoMoreResults);
  FreeResult(r);
}

TEST_P(DatabaseTest, QueriesByValueRangeAndName) {
  struct Row { const char* name; std::int32_t kind; const char* sort; };
  const Row rows[] = {{"n1", 1, "delta"}, {"n2", 2, "alpha"}, {"n3", 1, "charlie"},
                      {"n4", 3, "bravo"}, {"n5", 1, "echo"},  {"n6", 2, "alphabet soup"}};
  for (const Row& r : rows) {
    Obj o(r.name);
    o.Int("Kind", r.kind).Text("Sort", r.sort);
    ASSERT_EQ(Write(o), kStoreOk);
  }
  struct Case {
    const char* what;
    std::vector<std::string> expected;
    std::function<void(Obj&, Obj&)> bounds;
    const char* order_by;
  };
  const std::vector<Case> cases = {
      {"one integer", {"n1", "n3", "n5"}, [](Obj& l, Obj& h) { l.Int("Kind", 1); h.Int("Kind", 1); }, nullptr},
      {"integer range", {"n2", "n4", "n6"}, [](Obj& l, Obj& h) { l.Int("Kind", 2); h.Int("Kind", 3); }, nullptr},
      {"text range ordered", {"n2", "n6", "n4", "n3"},
       [](Obj& l, Obj& h) { l.Text("Sort", "alpha"); h.Text("Sort", "charlie"); }, "Sort"},
      {"text range beyond key prefix", {"n6"},
       [](Obj& l, Obj& h) { l.Text("Sort", "alphabet"); h.Text("Sort", "alphabet z"); }, nullptr},
      {"intersection", {"n1", "n5"},
       [](Obj& l, Obj& h) { l.Int("Kind", 1).Text("Sort", "d"); h.Int("Kind", 1).Text("Sort", "z"); }, nullptr},
      {"upper bound only", {"n2", "n6", "n4"}, [](Obj&, Obj& h) { h.Text("Sort", "bravo"); }, "Sort"},
      {"no such value", {}, [](Obj& l, Obj& h) { l.Int("Kind", 9); h.Int("Kind", 9); }, nullptr},
      {"no such name", {}, [](Obj& l, Obj& h) { l.Int("Nothing", 1); h.Int("Nothing", 1); }, nullptr},
      {"type takes part", {}, [](Obj& l, Obj& h) { l.Text("Kind", "1"); h.Text("Kind", "1"); }, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Obj l("low"), h("high");
    c.bounds(l, h);
    std::vector<std::string> got = QueryNames(l.o, h.o, c.order_by);
    if (c.order_by == nullptr) std::sort(got.begin(), got.end());
    EXPECT_EQ(got, c.expected);
  }
}

TEST_P(DatabaseTest, SignificantLengthMatchesNamePrefix) {
  // Keywords stored under longer names; the query compares the first 8 characters.
  const char* names[] = {"Keywords1", "Keywords2", "Keywordz"};
  for (int i = 0; i < 3; ++i) {
    Obj o(("ad" + std::to_string(i)).c_str());
    o.Text(names[i], "sport");
    ASSERT_EQ(Write(o), kStoreOk);
  }
  Obj q("q");
  q.Text("Keywords", "sport", 8);
  std::vector<std::string> got = QueryNames(q.o, q.o);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::string>{"ad0", "ad1"}));
}

TEST_P(DatabaseTest, LongNamesAreFoundExactly) {
  // Names sharing their first 7 bytes tie on the keys; the records decide.
  const char* names[] = {"Category", "Categorx", "Categor", "CategoryLong", "Categ"};
  for (const char* n : names) {
    Obj o(n);
    o.Int("Content", 1).Int("ContentLength", 2).Text("Contents", n);
    ASSERT_EQ(Write(o), kStoreOk);
  }
  for (const char* n : names) {
    Object* r = Read(n);
    ASSERT_NE(r, nullptr) << n;
    EXPECT_EQ(NameOf(r), n);
    EXPECT_EQ(GetText(r, "Contents"), n);
    FreeObject(r);
  }
  Obj q("q");
  q.Int("Content", 1);
  EXPECT_EQ(QueryNames(q.o, q.o).size(), 5u);
  Obj q2("q");
  q2.Int("ContentLength", 2);
  EXPECT_EQ(QueryNames(q2.o, q2.o).size(), 5u);
  Obj q3("q");
  q3.Text("Contents", "Categor");
  EXPECT_EQ(QueryNames(q3.o, q3.o), std::vector<std::string>{"Categor"});
}

TEST_P(DatabaseTest, EarlierResultIsCombined) {
  for (int i = 0; i < 6; ++i) {
    Obj o(("o" + std::to_string(i)).c_str());
    o.Int("Even", i % 2).Int("Low", i < 3);
    ASSERT_EQ(Write(o), kStoreOk);
  }
  Obj even("q"), low("q"), none("q");
  even.Int("Even", 0);
  low.Int("Low", 1);
  none.Int("Missing", 1);
  ResultSet *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
  ASSERT_EQ(Query(db(), even.o, even.o, kCompareRecords, &a, nullptr, nullptr, 0), kStoreOk);
  ASSERT_EQ(Query(db(), low.o, low.o, kCompareRecords, &b, nullptr, a, kCombineIntersection), kStoreOk);
  EXPECT_EQ(Names(b), (std::vector<std::string>{"o0", "o2"}));
  ASSERT_EQ(Query(db(), none.o, none.o, kCompareRecords, &c, nullptr, a, kCombineUnion), kStoreOk);
  EXPECT_EQ(GetResultCount(c), 3u);  // an empty query keeps the earlier result in a union
  ASSERT_EQ(CombineResults(a, b, kCombineExclusive, &d), kStoreOk);
  EXPECT_EQ(Names(d), std::vector<std::string>{"o4"});
  FreeResult(a); FreeResult(b); FreeResult(c); FreeResult(d);
}

TEST_P(DatabaseTest, SplitsAtTheThousandAndFirstEntry) {
  // 1000 entries: 500 objects, each with a header entry and one property.
  for (int i = 0; i < 500; ++i) {
    Obj o(("obj" + std::to_string(10000 + i)).c_str());
    o.Int("V", i);
    ASSERT_EQ(Write(o), kStoreOk);
  }
  ASSERT_EQ(SetDatabaseMode(db(), GetParam().cache), kStoreOk);  // flush
  EXPECT_EQ(BlockCount(db()), 1u);
  EXPECT_EQ(TotalEntries(db()), 1000u);
  Obj o("objlast");
  ASSERT_EQ(Write(o), kStoreOk);  // a header entry only: the 1001st
  EXPECT_EQ(BlockCount(db()), 2u);
  EXPECT_EQ(BlockEntries(db(), 0), 500u);
  EXPECT_EQ(BlockEntries(db(), 1), 501u);
  // Everything is still found.
  for (int i = 0; i < 500; i += 37) {
    Obj q("q");
    q.Int("V", i);
    EXPECT_EQ(QueryNames(q.o, q.o), std::vector<std::string>{"obj" + std::to_string(10000 + i)});
  }
  // Deleting every object empties the blocks again, down to one.
  for (int i = 0; i < 500; ++i) {
    Obj d(("obj" + std::to_string(10000 + i)).c_str());
    ASSERT_EQ(DeleteObject(db(), d.o, 0), kStoreOk);
  }
  Obj d("objlast");
  ASSERT_EQ(DeleteObject(db(), d.o, 0), kStoreOk);
  EXPECT_EQ(BlockCount(db()), 1u);
  EXPECT_EQ(TotalEntries(db()), 0u);
  ASSERT_EQ(t_->Reopen(GetParam().cache), kStoreOk);
  EXPECT_EQ(BlockCount(db()), 1u);
  EXPECT_EQ(TotalEntries(db()), 0u);
}

TEST_P(DatabaseTest, RecordAboveLimitIsRefused) {
  Obj big("Big");
  big.Blob("Data", std::string(kMaxRecordBytes, 'x'));  // + header + name area > limit
  EXPECT_EQ(Write(big), kStoreRecordTooLong);
  EXPECT_EQ(Read("Big"), nullptr);  // nothing half-written
  ResultSet* all = nullptr;
  ASSERT_EQ(ListObjects(db(), &all, 0), kStoreOk);
  EXPECT_EQ(GetResultCount(all), 0u);
  FreeResult(all);
  // 65280 bytes exactly fit: 8 + name area 8 ("Data") + 8 + n.
  Obj fits("Big");
  fits.Blob("Data", std::string(kMaxRecordBytes - 24, 'y'));
  EXPECT_EQ(Write(fits), kStoreOk);
  Obj over("Big");
  over.Blob("Data", std::string(kMaxRecordBytes - 23, 'y'));
  EXPECT_EQ(Write(over), kStoreRecordTooLong);
  Object* r = Read("Big");
  ASSERT_NE(r, nullptr);
  std::uint32_t size = 0;
  EXPECT_EQ(GetProperty(r, "Data", kTypeBinary, nullptr, &size), kStoreBufferTooSmall);
  EXPECT_EQ(size, kMaxRecordBytes - 24);
  FreeObject(r);
}

TEST_P(DatabaseTest, FailedWriteLeavesTheOldObject) {
  // Records in memory have no transaction bracket; the volume's does the work.
  if (!GetParam().on_volume) GTEST_SKIP() << "needs the volume's transactions";
  Obj a("Whole");
  a.Int("A", 1).Text("T", "old");
  ASSERT_EQ(Write(a), kStoreOk);
  // Replaces A and T, then fails on the oversized new property.
  Obj b("Whole");
  b.Int("A", 2).Text("T", "new").Blob("Big", std::string(kMaxRecordBytes, 'x'));
  EXPECT_EQ(Write(b), kStoreRecordTooLong);
  Object* r = Read("Whole");
  ASSERT_NE(r, nullptr);
  std::int32_t v = 0;
  EXPECT_TRUE(GetInt(r, "A", &v));
  EXPECT_EQ(v, 1);
  EXPECT_EQ(GetText(r, "T"), "old");
  std::uint32_t count = 0;
  GetPropertyCount(r, &count);
  EXPECT_EQ(count, 2u);
  FreeObject(r);
  Obj q("q");
  q.Int("A", 1);
  EXPECT_EQ(QueryNames(q.o, q.o), std::vector<std::string>{"Whole"});
  Obj q2("q");
  q2.Int("A", 2);
  EXPECT_TRUE(QueryNames(q2.o, q2.o).empty());
}

TEST_P(DatabaseTest, IdentifierListsAreTheStoresOwn) {
  // An identifier list among an object's properties would sort with the
  // object headers: listings would stop before the objects after it, and a
  // list named like an object would stand in for its header.
  Obj a("A");
  a.Int("N", 1);
  ASSERT_EQ(Write(a), kStoreOk);
  Obj b("B");
  b.Text("T", "kept");
  ASSERT_EQ(Write(b), kStoreOk);
  const std::uint32_t ids[] = {7, 9};
  for (const char* list_name : {"", "A", "Zed"}) {
    SCOPED_TRACE(list_name);
    Obj c("C");
    c.Int("N", 3);
    ASSERT_EQ(SetProperty(c.o, list_name, kTypeIdList, ids, 2, 1, 1, 1, 0), kStoreOk);
    EXPECT_EQ(Write(c), kStoreBadArgument);
    EXPECT_EQ(Read("C"), nullptr);
    // Nor into an object that exists.
    Obj b2("B");
    b2.Text("T", "changed");
    ASSERT_EQ(SetProperty(b2.o, list_name, kTypeIdList, ids, 2, 1, 1, 1, 0), kStoreOk);
    EXPECT_EQ(Write(b2, 0, 1, 1, 1), kStoreBadArgument);
  }
  ResultSet* all = nullptr;
  ASSERT_EQ(ListObjects(db(), &all, 0), kStoreOk);
  EXPECT_EQ(Names(all), (std::vector<std::string>{"A", "B"}));
  FreeResult(all);
  Object* r = Read("B");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(GetText(r, "T"), "kept");
  FreeObject(r);
  std::vector<std::string> problems;
  EXPECT_EQ(CheckDatabase(db(), &problems), kStoreOk);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_P(DatabaseTest, ReadAndDeleteReportMissingObjects) {
  Obj o("Ghost");
  EXPECT_EQ(DeleteObject(db(), o.o, 0), kStoreObjectNotFound);
  Object* r = nullptr;
  CreateObject(&r, "Ghost");
  EXPECT_EQ(ReadObject(db(), r), kStoreObjectNotFound);
  FreeObject(r);  // a missing object is not a failed load: still ours
  EXPECT_EQ(ReadObject(nullptr, o.o), kStoreBadArgument);
  EXPECT_EQ(WriteObject(db(), reinterpret_cast<Object*>(db()), 1, 1, 1, 0), kStoreBadArgument);
}

TEST_P(DatabaseTest, ChangesSurviveReopening) {
  Obj a("Keep");
  a.Int("Mode", 5).Text("Title", "kept across a close");
  ASSERT_EQ(Write(a), kStoreOk);
  ASSERT_EQ(t_->Reopen(GetParam().cache), kStoreOk);
  Object* r = Read("Keep");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(GetText(r, "Title"), "kept across a close");
  FreeObject(r);
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest,
                         ::testing::Values(Config{false, 0}, Config{false, 64000}, Config{true, 0},
                                           Config{true, 64000}),
                         [](const ::testing::TestParamInfo<Config>& i) {
                           return std::string(i.param.on_volume ? "Volume" : "Memory") +
                                  (i.param.cache ? "Cached" : "Uncached");
                         });

}  // namespace
}  // namespace store

namespace store {
namespace {

TEST(DatabaseLifecycle, OpenCloseDeleteRemoveCodes) {
  if (!testing_support::VolumeWorks()) GTEST_SKIP() << "no database volume engine";
  std::string dir;
  platform::os::MakeTempDirectory("tidelark-store-life", &dir);
  std::string vol = platform::os::JoinPath(dir, "Reader.vol");
  Database* db = nullptr;
  EXPECT_EQ(OpenDatabase(&db, "Missing", 0, 0, kCreatorPyra, 0, 11, 10, vol.c_str()), kStoreNoDatabase);
  EXPECT_EQ(db, nullptr);
  EXPECT_EQ(RemoveDatabase("Missing", vol.c_str()), kStoreNoDatabase);
  EXPECT_EQ(RemoveDatabase(nullptr, vol.c_str()), kStoreBadArgument);
  ASSERT_EQ(OpenDatabase(&db, "Prefs", 1, 0, kCreatorPyra, 0, 11, 10, vol.c_str()), kStoreOk);
  EXPECT_EQ(db->file->count(), kReservedRecords);
  Obj o("User");
  o.Int("Mode", 1);
  ASSERT_EQ(WriteObject(db, o.o, 1, 1, 1, 0), kStoreOk);
  ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  EXPECT_EQ(db, nullptr);
  EXPECT_EQ(CloseDatabase(&db), kStoreAlreadyClosed);
  // Start-empty drops what was there.
  ASSERT_EQ(OpenDatabase(&db, "Prefs", 0, 1, kCreatorPyra, 0, 11, 10, vol.c_str()), kStoreOk);
  ResultSet* all = nullptr;
  ASSERT_EQ(ListObjects(db, &all, 0), kStoreOk);
  EXPECT_EQ(GetResultCount(all), 0u);
  FreeResult(all);
  ASSERT_EQ(WriteObject(db, o.o, 1, 1, 1, 0), kStoreOk);
  ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  ASSERT_EQ(RemoveDatabase("Prefs", vol.c_str()), kStoreOk);
  EXPECT_EQ(OpenDatabase(&db, "Prefs", 0, 0, kCreatorPyra, 0, 11, 10, vol.c_str()), kStoreNoDatabase);
  ASSERT_EQ(OpenDatabase(&db, "Other", 1, 0, kCreatorPyra, 0, 11, 10, vol.c_str()), kStoreOk);
  EXPECT_EQ(DeleteDatabase(db), kStoreOk);
  EXPECT_EQ(OpenDatabase(&db, "Other", 0, 0, kCreatorPyra, 0, 11, 10, vol.c_str()), kStoreNoDatabase);
  // The default volume lives in the program directory.
  std::string old = platform::os::ProgramDirectory();
  platform::os::SetProgramDirectory(dir + platform::os::PathSeparator());
  ASSERT_EQ(OpenDatabase(&db, "TavoRss", 1, 0, kCreatorPyra, 0, 11, 10), kStoreOk);
  ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  EXPECT_TRUE(platform::os::PathExists(platform::os::JoinPath(dir, "Reader.vol")));
  platform::os::SetProgramDirectory(old);
  platform::os::RemoveTree(dir);
}

class RecycleTest : public ::testing::TestWithParam<bool> {};

TEST_P(RecycleTest, PurgesAtSixteenThousandIdentifiers) {
  if (GetParam() && !testing_support::VolumeWorks()) GTEST_SKIP() << "no database volume engine";
  TestDb t(GetParam());
  ASSERT_EQ(t.Open(1u << 20), kStoreOk);  // a cache for all blocks: the records are what matters here
  // 250 objects of 63 properties: 16000 records beyond the reserved ones.
  constexpr int kObjects = 250, kProps = 63;
  auto full = [&](const std::string& name, std::int32_t v) {
    Obj o(name.c_str());
    for (int p = 0; p < kProps; ++p) o.Int(("P" + std::to_string(p)).c_str(), v);
    return WriteObject(t.db, o.o, 1, 1, 1, 0);
  };
  Obj keep("keep");
  keep.Int("P0", -1);
  ASSERT_EQ(WriteObject(t.db, keep.o, 1, 1, 1, 0), kStoreOk);  // before the others: renumbered by nothing
  for (int i = 0; i < kObjects; ++i) ASSERT_EQ(full("r" + std::to_string(i), i), kStoreOk);
  Obj late("late");
  late.Int("P0", -2).Text("Title", "after the purged ones");
  ASSERT_EQ(WriteObject(t.db, late.o, 1, 1, 1, 0), kStoreOk);  // after them: renumbered down by the purge
  EXPECT_EQ(t.db->file->count(), kReservedRecords + 2 + 16000 + 3);
  // Recycled records are reused before new ones are appended.
  Obj d0("r0");
  ASSERT_EQ(DeleteObject(t.db, d0.o, 0), kStoreOk);
  std::uint32_t count = t.db->file->count();
  ASSERT_EQ(full("r0", 0), kStoreOk);
  EXPECT_EQ(t.db->file->count(), count);
  for (int i = 0; i < kObjects; ++i) {
    Obj d(("r" + std::to_string(i)).c_str());
    ASSERT_EQ(DeleteObject(t.db, d.o, 0), kStoreOk);
    RecordRequest list;
    list.number = kRecycleRecord;
    ASSERT_EQ(t.db->file->Read(&list), kStoreOk);
    ASSERT_EQ(list.bytes.size(), i == kObjects - 1 ? 0u : 4u * (kProps + 1) * (i + 1)) << i;
  }
  EXPECT_EQ(t.db->file->count(), kReservedRecords + 5u);  // "keep", "late" and their properties
  testing_support::ExpectClean(t.db);
  ASSERT_EQ(t.Reopen(0), kStoreOk);
  Object* r = nullptr;
  CreateObject(&r, "late");
  ASSERT_EQ(ReadObject(t.db, r), kStoreOk);
  EXPECT_EQ(GetText(r, "Title"), "after the purged ones");
  FreeObject(r);
  ResultSet* all = nullptr;
  ASSERT_EQ(ListObjects(t.db, &all, 0), kStoreOk);
  EXPECT_EQ(Names(all), (std::vector<std::string>{"keep", "late"}));
  FreeResult(all);
  testing_support::ExpectClean(t.db);
}

INSTANTIATE_TEST_SUITE_P(Backends, RecycleTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Volume" : "Memory"; });

}  // namespace
}  // namespace store
