// Several handles on one database, and what a crash leaves behind.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect.h"
#include "test_db.h"

namespace store {
namespace {

using testing_support::ExpectClean;
using testing_support::Obj;

class TwoHandles : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override {
    platform::os::MakeTempDirectory("tidelark-two", &dir_);
    volume_ = platform::os::JoinPath(dir_, "Reader.vol");
    ASSERT_EQ(Open(&a_), kStoreOk);
    ASSERT_EQ(Open(&b_), kStoreOk);
  }
  void TearDown() override {
    if (a_) CloseDatabase(&a_);
    if (b_) CloseDatabase(&b_);
    platform::os::RemoveTree(dir_);
  }
  StoreCode Open(Database** db) {
    return OpenDatabase(db, "Shared", 1, 0, kCreatorPyra, GetParam(), 11, 10, volume_.c_str());
  }
  static StoreCode Put(Database* db, const std::string& name, std::int32_t v) {
    Obj o(name.c_str());
    o.Int("Value", v).Text("Name", name);
    return WriteObject(db, o.o, 1, 1, 1, 0);
  }
  static StoreCode Get(Database* db, const std::string& name, std::int32_t* v) {
    return testing_support::ReadInt(db, name, "Value", v);
  }
  std::string dir_, volume_;
  Database* a_ = nullptr;
  Database* b_ = nullptr;
};

TEST_P(TwoHandles, EachSeesWhatTheOtherWrote) {
  ASSERT_EQ(Put(a_, "first", 1), kStoreOk);  // both handles have loaded their state
  std::int32_t v = 0;
  ASSERT_EQ(Get(b_, "first", &v), kStoreOk);
  ASSERT_EQ(Put(b_, "x", 10), kStoreOk);
  ASSERT_EQ(Get(a_, "x", &v), kStoreOk);
  EXPECT_EQ(v, 10);
  ASSERT_EQ(Put(a_, "y", 20), kStoreOk);
  ASSERT_EQ(Get(b_, "x", &v), kStoreOk);
  EXPECT_EQ(v, 10);
  ASSERT_EQ(Get(b_, "y", &v), kStoreOk);
  EXPECT_EQ(v, 20);
  // An update through one handle and a delete through the other.
  ASSERT_EQ(Put(b_, "y", 21), kStoreOk);
  Obj gone("x");
  ASSERT_EQ(DeleteObject(a_, gone.o, 0), kStoreOk);
  EXPECT_EQ(Get(b_, "x", &v), kStoreObjectNotFound);
  ASSERT_EQ(Get(a_, "y", &v), kStoreOk);
  EXPECT_EQ(v, 21);
  ExpectClean(a_);
  ExpectClean(b_);
}

TEST_P(TwoHandles, SplitsByOneHandleAreSeenByTheOther) {
  ASSERT_EQ(Put(a_, "m-000", 0), kStoreOk);
  // Enough entries through b to split the index several times.
  for (int i = 1; i < 1600; ++i) ASSERT_EQ(Put(b_, "m-" + std::to_string(1000 + i), i), kStoreOk);
  // a inserts between b's entries, in every block.
  for (int i = 1; i < 1600; i += 97) ASSERT_EQ(Put(a_, "m-" + std::to_string(1000 + i) + "a", -i), kStoreOk);
  ExpectClean(a_);
  ExpectClean(b_);
  std::int32_t v = 0;
  for (int i = 1; i < 1600; i += 97) {
    ASSERT_EQ(Get(b_, "m-" + std::to_string(1000 + i) + "a", &v), kStoreOk) << i;
    EXPECT_EQ(v, -i);
    ASSERT_EQ(Get(a_, "m-" + std::to_string(1000 + i), &v), kStoreOk) << i;
    EXPECT_EQ(v, i);
  }
  ResultSet* all = nullptr;
  ASSERT_EQ(ListObjects(a_, &all, 0), kStoreOk);
  EXPECT_EQ(GetResultCount(all), 1600u + 17u);
  FreeResult(all);
}

// What a crash leaves is what the volume holds while the writing handle is
// still open: every operation that returned must be whole in it.
TEST_P(TwoHandles, EveryReturnedOperationIsOnTheVolume) {
  for (int i = 0; i < 300; ++i) ASSERT_EQ(Put(a_, "c-" + std::to_string(i), i), kStoreOk);
  for (int i = 0; i < 300; i += 3) ASSERT_EQ(Put(a_, "c-" + std::to_string(i), i + 1000), kStoreOk);
  for (int i = 1; i < 300; i += 3) {
    Obj d(("c-" + std::to_string(i)).c_str());
    ASSERT_EQ(DeleteObject(a_, d.o, 0), kStoreOk);
  }
  Database* fresh = nullptr;
  ASSERT_EQ(Open(&fresh), kStoreOk);
  ExpectClean(fresh);
  std::int32_t v = 0;
  for (int i = 0; i < 300; ++i) {
    StoreCode rc = Get(fresh, "c-" + std::to_string(i), &v);
    if (i % 3 == 1) {
      EXPECT_EQ(rc, kStoreObjectNotFound) << i;
    } else {
      ASSERT_EQ(rc, kStoreOk) << i;
      EXPECT_EQ(v, i % 3 == 0 ? i + 1000 : i);
    }
  }
  // And it can go on updating and deleting them.
  for (int i = 0; i < 300; i += 3) ASSERT_EQ(Put(fresh, "c-" + std::to_string(i), -i), kStoreOk);
  Obj d("c-3");
  ASSERT_EQ(DeleteObject(fresh, d.o, 0), kStoreOk);
  ExpectClean(fresh);
  CloseDatabase(&fresh);
}

INSTANTIATE_TEST_SUITE_P(Cache, TwoHandles, ::testing::Values(0u, 64000u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& i) {
                           return i.param ? std::string("Cached") : std::string("Uncached");
                         });

}  // namespace
}  // namespace store

