// The index at its edges: a new block placed after an overflowing one, the
// 64-block regime (blocks grow in place up to the record limit, then halve
// with a neighbour, then the insertion is refused with 1010), and queries
// ordered by any one of several properties.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "block_cache.h"
#include "index.h"
#include "inspect.h"
#include "test_db.h"

namespace store {
namespace {

using testing_support::GetInt;
using testing_support::GetText;
using testing_support::Obj;
using testing_support::TestDb;

// An integer property "V" of object `id` with value v; one-letter names
// and distinct values let the keys decide every comparison.
struct IntEntry {
  Property p;
  IntEntry(std::uint32_t id, std::int32_t v) {
    InitProperty(&p, "V", 0);
    AssignValue(&p, kTypeInteger, &v, 4);
    p.record_id = id;
    p.object_id = id;
  }
  ~IntEntry() { DestroyProperty(&p); }
};

std::string Block(std::uint32_t b, std::uint32_t entries) {
  std::string bytes;
  for (std::uint32_t k = 0; k < entries; ++k) {
    IntEntry e(1000000 + b * 10000 + k, static_cast<std::int32_t>(b * 100000 + 2 * k));
    std::uint8_t raw[kEntryBytes];
    StoreEntry(raw, EntryOf(e.p));
    bytes.append(reinterpret_cast<const char*>(raw), kEntryBytes);
  }
  return bytes;
}

// Lays out the index as blocks of the given sizes, directly in the records.
void Lay(Database* db, const std::vector<std::uint32_t>& sizes) {
  for (std::uint32_t b = 0; b < kMaxBlocks; ++b) {
    RecordRequest r;
    r.number = kFirstBlockRecord + b;
    r.bytes = b < sizes.size() ? Block(b, sizes[b]) : std::string();
    ASSERT_EQ(db->file->Write(&r), kStoreOk);
  }
  RecordRequest h;
  h.number = kHeaderRecord;
  h.bytes = EncodeVolumeHeader(static_cast<std::uint32_t>(sizes.size()));
  ASSERT_EQ(db->file->Write(&h), kStoreOk);
  MarkStale(db);
}

// Inserts the entry with value v (odd: between the laid-out ones) in one bracket.
StoreCode Insert(Database* db, std::int32_t v) {
  Bracket bracket(db, BracketKind::kWrite);
  if (bracket.status() != kStoreOk) return bracket.status();
  IntEntry e(2000000 + static_cast<std::uint32_t>(v), v);
  StoreCode rc = InsertEntry(db, e.p);
  if (rc != kStoreOk) return rc;
  return bracket.Commit();
}

std::vector<std::uint32_t> Sizes(Database* db) {
  Bracket bracket(db, BracketKind::kRead);
  EXPECT_EQ(bracket.status(), kStoreOk);
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t b = 0; b < BlockCount(db); ++b) sizes.push_back(BlockEntries(db, b));
  EXPECT_EQ(bracket.Commit(), kStoreOk);
  return sizes;
}

// Every entry in order across the blocks, read from the records by a fresh
// look (the handle is made to reload).
std::vector<std::int32_t> Values(Database* db) {
  MarkStale(db);
  Bracket bracket(db, BracketKind::kRead);
  std::vector<Entry> entries;
  EXPECT_EQ(ReadEntries(db, 0, TotalEntries(db) - 1, &entries), kStoreOk);
  EXPECT_EQ(bracket.Commit(), kStoreOk);
  std::vector<std::int32_t> values;
  for (const Entry& e : entries) values.push_back(static_cast<std::int32_t>(e.key[2]));
  return values;
}

class IndexTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && !testing_support::VolumeWorks()) GTEST_SKIP() << "no database volume engine";
    t_.reset(new TestDb(GetParam()));
    ASSERT_EQ(t_->Open(64000), kStoreOk);
  }
  std::unique_ptr<TestDb> t_;
};

TEST_P(IndexTest, AFullBlockBetweenFullNeighboursGetsANewBlockAfterIt) {
  Database* db = t_->db;
  Lay(db, {1000, 1000, 1000, 1000});
  std::vector<std::int32_t> before = Values(db);
  ASSERT_EQ(Insert(db, 100000 + 501), kStoreOk);  // into block 2 of 4
  EXPECT_EQ(Sizes(db), (std::vector<std::uint32_t>{1000, 500, 501, 1000, 1000}));
  before.insert(std::upper_bound(before.begin(), before.end(), 100000 + 501), 100000 + 501);
  EXPECT_EQ(Values(db), before);  // the later blocks' records moved up, their entries kept
  ASSERT_EQ(t_->Reopen(0), kStoreOk);
  EXPECT_EQ(Sizes(t_->db), (std::vector<std::uint32_t>{1000, 500, 501, 1000, 1000}));
  EXPECT_EQ(Values(t_->db), before);
  std::string why;
  EXPECT_TRUE(CheckInvariants(t_->db, &why)) << why;
}

// One handle moves block records; the other, which wrote those blocks
// before, must write the blocks where they are now.
TEST_P(IndexTest, ANewBlockMadeThroughOneHandleIsSeenByAnother) {
  if (!GetParam()) GTEST_SKIP() << "two handles need the volume";
  Database* a = t_->db;
  Lay(a, {1000, 1000, 1000, 999});
  ASSERT_EQ(Insert(a, 3 * 100000 + 1), kStoreOk);  // a has written the last block
  Database* b = nullptr;
  ASSERT_EQ(OpenDatabase(&b, "Test", 0, 0, kCreatorPyra, 0, 11, 10, t_->volume().c_str()), kStoreOk);
  ASSERT_EQ(Insert(b, 1 * 100000 + 1), kStoreOk);  // a new block after block 1
  EXPECT_EQ(Sizes(b), (std::vector<std::uint32_t>{1000, 500, 501, 1000, 1000}));
  // a writes the blocks whose records moved: block 3 (was 2) and 4 (was 3).
  ASSERT_EQ(Insert(a, 2 * 100000 + 3), kStoreOk);
  ASSERT_EQ(Insert(a, 3 * 100000 + 3), kStoreOk);
  std::vector<std::uint32_t> sizes = Sizes(a);
  EXPECT_EQ(Sizes(b), sizes);
  std::vector<std::int32_t> values = Values(b);
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  EXPECT_EQ(values.size(), 3999u + 4);
  EXPECT_EQ(Values(a), values);
  CloseDatabase(&b);
}

TEST_P(IndexTest, WithSixtyFourBlocksABlockGrowsInPlaceThenHalvesThenIsRefused) {
  Database* db = t_->db;
  const std::uint32_t kLimit = kMaxRecordBytes / kEntryBytes;  // 2720 entries
  std::vector<std::uint32_t> sizes(kMaxBlocks, 1000);
  sizes[9] = 900;
  sizes[10] = kLimit;
  Lay(db, sizes);
  // Room nowhere near: block 10 takes the entry itself, past 1000 entries.
  ASSERT_EQ(Insert(db, 11 * 100000 + 1), kStoreOk);
  sizes[11] = 1001;
  EXPECT_EQ(Sizes(db), sizes);
  // Block 10 is full to the record limit: it halves with its emptier neighbour.
  ASSERT_EQ(Insert(db, 10 * 100000 + 3), kStoreOk);
  std::uint32_t pooled = 900 + kLimit + 1;
  sizes[9] = pooled / 2;
  sizes[10] = pooled - pooled / 2;
  EXPECT_EQ(Sizes(db), sizes);
  EXPECT_EQ(Values(db).size(), 64u * 1000 - 100 + kLimit - 1000 + 2);
  // Both neighbours full as well: the insertion is refused and nothing moves.
  std::vector<std::uint32_t> crowded(kMaxBlocks, 1000);
  crowded[19] = crowded[20] = crowded[21] = kLimit;
  Lay(db, crowded);
  std::vector<std::int32_t> before = Values(db);
  EXPECT_EQ(Insert(db, 20 * 100000 + 7), kStoreNoMemory);
  EXPECT_EQ(Sizes(db), crowded);
  EXPECT_EQ(Values(db), before);
}

INSTANTIATE_TEST_SUITE_P(Backends, IndexTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Volume" : "Memory"; });

TEST(OrderBy, AnyOfSeveralQueriedPropertiesOrdersTheResult) {
  TestDb t(false);
  ASSERT_EQ(t.Open(0), kStoreOk);
  struct Row { const char* name; std::int32_t kind; const char* sort; std::int32_t rank; };
  const Row rows[] = {
      {"a", 1, "delta", 40}, {"b", 2, "alpha", 10}, {"c", 1, "charlie", 30}, {"d", 3, "bravo", 20},
      {"e", 2, "echo", 50},  {"f", 1, "foxtrot", 5}, {"g", 2, "golf", 60},  {"h", 1, "hotel", 15},
  };
  for (const Row& r : rows) {
    Obj o(r.name);
    o.Int("Kind", r.kind).Text("Sort", r.sort).Int("Rank", r.rank);
    ASSERT_EQ(WriteObject(t.db, o.o, 1, 1, 1, 0), kStoreOk);
  }
  // In range on all three: a (1, delta, 40), c (1, charlie, 30), f (1, foxtrot, 5).
  // Out on one each: b (alpha), d (kind 3), e (rank 50), g ("golf" > "g"), h (hotel).
  Obj low("low"), high("high");
  low.Int("Kind", 1).Text("Sort", "b").Int("Rank", 0);
  high.Int("Kind", 2).Text("Sort", "g").Int("Rank", 45);
  struct Case { const char* order_by; std::vector<std::string> expected; };
  const Case cases[] = {
      {"Rank", {"f", "c", "a"}},
      {"Sort", {"c", "a", "f"}},
      {"Kind", {"a", "c", "f"}},     // equal values: in identifier order
      {"Nothing", {"a", "c", "f"}},  // not a queried name: ascending identifiers
      {nullptr, {"a", "c", "f"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order_by ? c.order_by : "(none)");
    ResultSet* r = nullptr;
    ASSERT_EQ(Query(t.db, low.o, high.o, kCompareRecords, &r, c.order_by, nullptr, 0), kStoreOk);
    EXPECT_EQ(testing_support::Names(r), c.expected);
    FreeResult(r);
  }
  // Combined with an earlier result, the order still follows the order-by range.
  Obj rank_low("rl"), rank_high("rh");
  rank_low.Int("Rank", 0);
  rank_high.Int("Rank", 35);
  ResultSet* earlier = nullptr;
  ASSERT_EQ(Query(t.db, rank_low.o, rank_high.o, kCompareRecords, &earlier, nullptr, nullptr, 0), kStoreOk);
  ResultSet* r = nullptr;
  ASSERT_EQ(Query(t.db, low.o, high.o, kCompareRecords, &r, "Sort", earlier, kCombineIntersection), kStoreOk);
  EXPECT_EQ(testing_support::Names(r), (std::vector<std::string>{"c", "f"}));
  FreeResult(r);
  FreeResult(earlier);
}

}  // namespace
}  // namespace store
