// Queries, listings and result sets.
//
// A query turns each property name of its bounds into a range of index
// entries, intersects the object identifiers of all ranges starting from
// the smallest one, and optionally orders the survivors by one range.

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "block_cache.h"
#include "database.h"
#include "index.h"

namespace store {
namespace {

StoreCode MakeResult(Database* db, const std::vector<std::uint32_t>& ids, ResultSet** out) {
  auto* r = static_cast<ResultSet*>(std::calloc(1, sizeof(ResultSet)));
  if (r == nullptr) return kStoreObjectAllocFailed;
  std::memcpy(r->tag, kResultTag, 4);
  r->count = static_cast<std::uint32_t>(ids.size());
  if (!ids.empty()) {
    r->ids = static_cast<std::uint32_t*>(std::malloc(ids.size() * 4));
    if (r->ids == nullptr) {
      std::free(r);
      return kStoreObjectAllocFailed;
    }
    std::memcpy(r->ids, ids.data(), ids.size() * 4);
  }
  r->database = db;
  *out = r;
  return kStoreOk;
}

void SortUnique(std::vector<std::uint32_t>* v) {
  std::sort(v->begin(), v->end());
  v->erase(std::unique(v->begin(), v->end()), v->end());
}

std::vector<std::uint32_t> Combine(std::vector<std::uint32_t> a, std::vector<std::uint32_t> b, int mode) {
  SortUnique(&a);
  SortUnique(&b);
  std::vector<std::uint32_t> out;
  if (mode == kCombineIntersection)
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  else if (mode == kCombineUnion)
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  else
    std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

struct Range {
  std::int64_t first, last;  // global positions
  std::int64_t count;
  bool order_by;
};

StoreCode Move(ResultSet* r, std::int64_t to, Object** out) {
  if (out == nullptr || !HasTag(r, kResultTag)) return kStoreBadArgument;
  *out = nullptr;
  if (to < 0 || to >= static_cast<std::int64_t>(r->count)) return kStoreNoMoreResults;
  if (!HasTag(r->database, kDatabaseTag)) return kStoreBadArgument;
  r->cursor = static_cast<std::uint32_t>(to);
  Object* o = nullptr;
  StoreCode rc = CreateObject(&o, nullptr);
  if (rc != kStoreOk) return rc;
  Bracket bracket(r->database, BracketKind::kRead);
  rc = bracket.status();
  if (rc == kStoreOk) rc = LoadStoredObject(r->database, r->ids[r->cursor], o);
  StoreCode end = bracket.Commit();
  if (rc == kStoreOk) rc = end;
  if (rc != kStoreOk) {
    FreeObject(o);
    return rc;
  }
  *out = o;
  return kStoreOk;
}

}  // namespace

namespace {

// Step 1: one range of index entries per property name of the bounds.
// *empty when some range holds nothing.
StoreCode FindRanges(Database* db, Object* low, Object* high, std::uint32_t mode, const char* order_by,
                     std::vector<Range>* ranges, bool* empty) {
  std::uint32_t nl = low ? low->count : 0, nh = high ? high->count : 0;
  Object* big = nh >= nl ? high : low;
  Object* other = nh >= nl ? low : high;
  *empty = big == nullptr || big->count == 0;
  for (std::uint32_t k = 0; !*empty && k < big->count; ++k) {
    const Property* bp = &big->properties[k];
    int o = other ? FindProperty(other, bp->name) : -1;
    const Property* op = o >= 0 ? &other->properties[o] : nullptr;
    const Property* lp = big == high ? op : bp;
    const Property* hp = big == high ? bp : op;
    // A bound the other object lacks limits the name and type only.
    Position first, last;
    SearchKey lk{lp ? lp : hp, mode, lp == nullptr, false};
    StoreCode rc = Search(db, lk, false, &first);
    if (rc != kStoreOk) return rc;
    SearchKey hk{hp ? hp : lp, mode, hp == nullptr, false};
    rc = Search(db, hk, true, &last);
    if (rc != kStoreOk) return rc;
    Range r{first.global, last.global, last.global - first.global + 1,
            order_by != nullptr && std::strcmp(order_by, bp->name) == 0};
    if (r.count <= 0) *empty = true;
    else ranges->push_back(r);
  }
  return kStoreOk;
}

StoreCode RangeEntries(Database* db, const Range& r, std::vector<Entry>* entries) {
  return ReadEntries(db, static_cast<std::uint32_t>(r.first), static_cast<std::uint32_t>(r.last), entries);
}

// Step 2: the objects in every range, starting from the smallest one.
StoreCode Intersect(Database* db, std::vector<Range> ranges, std::vector<std::uint32_t>* ids) {
  std::stable_sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.count < b.count; });
  std::vector<Entry> entries;
  StoreCode rc = RangeEntries(db, ranges[0], &entries);
  if (rc != kStoreOk) return rc;
  for (const Entry& e : entries) ids->push_back(e.object_id);
  SortUnique(ids);
  for (std::size_t i = 1; i < ranges.size() && !ids->empty(); ++i) {
    rc = RangeEntries(db, ranges[i], &entries);
    if (rc != kStoreOk) return rc;
    std::vector<char> marked(ids->size(), 0);
    for (const Entry& e : entries) {
      auto it = std::lower_bound(ids->begin(), ids->end(), e.object_id);
      if (it != ids->end() && *it == e.object_id) marked[it - ids->begin()] = 1;
    }
    std::vector<std::uint32_t> kept;
    for (std::size_t j = 0; j < ids->size(); ++j)
      if (marked[j]) kept.push_back((*ids)[j]);
    ids->swap(kept);
  }
  return kStoreOk;
}

// The identifiers of `sorted` (ascending, unique) in the order the entries
// list them, each once; those the entries lack drop out.
std::vector<std::uint32_t> InEntryOrder(const std::vector<Entry>& entries, const std::vector<std::uint32_t>& sorted) {
  std::vector<char> used(sorted.size(), 0);
  std::vector<std::uint32_t> ordered;
  for (const Entry& e : entries) {
    auto it = std::lower_bound(sorted.begin(), sorted.end(), e.object_id);
    if (it != sorted.end() && *it == e.object_id && !used[it - sorted.begin()]) {
      used[it - sorted.begin()] = 1;
      ordered.push_back(e.object_id);
    }
  }
  return ordered;
}

// Step 3: the (ascending) identifiers in the order of the order-by range.
StoreCode OrderByRange(Database* db, const Range& r, std::vector<std::uint32_t>* ids) {
  std::vector<Entry> entries;
  StoreCode rc = RangeEntries(db, r, &entries);
  if (rc != kStoreOk) return rc;
  *ids = InEntryOrder(entries, *ids);
  return kStoreOk;
}

// One range that also gives the order: its objects in its order, each once,
// read once.
StoreCode OrderedRange(Database* db, const Range& r, std::vector<std::uint32_t>* ids) {
  std::vector<Entry> entries;
  StoreCode rc = RangeEntries(db, r, &entries);
  if (rc != kStoreOk) return rc;
  ids->clear();
  for (const Entry& e : entries) ids->push_back(e.object_id);
  std::vector<std::uint32_t> sorted = *ids;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) return kStoreOk;
  // Names compared by a prefix can put one object in the range twice.
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  *ids = InEntryOrder(entries, sorted);
  return kStoreOk;
}

StoreCode RunQuery(Database* db, Object* low, Object* high, std::uint32_t mode, const char* order_by,
                   ResultSet* earlier, int combination, std::vector<std::uint32_t>* ids) {
  std::vector<Range> ranges;
  bool empty = false;
  StoreCode rc = FindRanges(db, low, high, mode, order_by, &ranges, &empty);
  if (rc != kStoreOk) return rc;
  if (!empty && ranges.size() == 1 && ranges[0].order_by && earlier == nullptr)
    return OrderedRange(db, ranges[0], ids);
  if (!empty) rc = Intersect(db, ranges, ids);
  if (rc != kStoreOk) return rc;
  // An empty range gives an empty intersection; an earlier result is still
  // combined with it, so a union over several queries keeps what it had.
  if (earlier != nullptr)
    *ids = Combine(*ids, std::vector<std::uint32_t>(earlier->ids, earlier->ids + earlier->count), combination);
  if (empty || ids->empty()) return kStoreOk;
  for (const Range& r : ranges)
    if (r.order_by) return OrderByRange(db, r, ids);
  return kStoreOk;
}

}  // namespace

StoreCode Query(Database* db, Object* low, Object* high, std::uint32_t mode, ResultSet** out,
                const char* order_by, ResultSet* earlier, int combination) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  if (!HasTag(db, kDatabaseTag) || !db->file) return kStoreBadArgument;
  if (low != nullptr && !HasTag(low, kObjectTag)) return kStoreBadArgument;
  if (high != nullptr && !HasTag(high, kObjectTag)) return kStoreBadArgument;
  if (earlier != nullptr && (!HasTag(earlier, kResultTag) || earlier->database != db)) return kStoreBadArgument;
  Bracket bracket(db, BracketKind::kRead);
  if (bracket.status() != kStoreOk) return bracket.status();
  std::vector<std::uint32_t> ids;
  StoreCode rc = RunQuery(db, low, high, mode, order_by, earlier, combination, &ids);
  StoreCode end = bracket.Commit();
  if (rc != kStoreOk) return rc;
  if (end != kStoreOk) return end;
  return MakeResult(db, ids, out);
}

namespace {

// Header entries sort first (type class 0); they end at the first entry
// that names a record other than its object.
StoreCode HeaderIds(Database* db, std::vector<std::uint32_t>* ids) {
  std::uint32_t n = BlockCount(db);
  for (std::uint32_t b = 0; b < n; ++b) {
    const std::string* bytes = nullptr;
    StoreCode rc = ReadBlock(db, b, &bytes);
    if (rc != kStoreOk) return rc;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes->data());
    for (std::size_t i = 0; i + kEntryBytes <= bytes->size(); i += kEntryBytes) {
      Entry e = LoadEntry(p + i);
      if (e.record_id != e.object_id) return kStoreOk;
      ids->push_back(e.record_id);
    }
  }
  return kStoreOk;
}

StoreCode ObjectListIds(Database* db, std::vector<std::uint32_t>* ids) {
  RecordRequest r;
  r.number = kObjectListRecord;
  StoreCode rc = db->file->Read(&r);
  if (rc != kStoreOk) return rc;
  const auto* p = reinterpret_cast<const std::uint8_t*>(r.bytes.data());
  for (std::size_t i = 0; i + 4 <= r.bytes.size(); i += 4) ids->push_back(Load32(p + i));
  return kStoreOk;
}

}  // namespace

StoreCode ListObjects(Database* db, ResultSet** out, int source) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  if (!HasTag(db, kDatabaseTag) || !db->file) return kStoreBadArgument;
  Bracket bracket(db, BracketKind::kRead);
  if (bracket.status() != kStoreOk) return bracket.status();
  std::vector<std::uint32_t> ids;
  StoreCode rc = source < 1 ? HeaderIds(db, &ids) : ObjectListIds(db, &ids);
  StoreCode end = bracket.Commit();
  if (rc != kStoreOk) return rc;
  if (end != kStoreOk) return end;
  return MakeResult(db, ids, out);
}

StoreCode CombineResults(ResultSet* a, ResultSet* b, int mode, ResultSet** out) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  if (!HasTag(a, kResultTag) || !HasTag(b, kResultTag) || a->database != b->database)
    return kStoreBadArgument;
  std::vector<std::uint32_t> ids = Combine(std::vector<std::uint32_t>(a->ids, a->ids + a->count),
                                           std::vector<std::uint32_t>(b->ids, b->ids + b->count), mode);
  return MakeResult(a->database, ids, out);
}

std::uint32_t GetResultCount(ResultSet* r) { return HasTag(r, kResultTag) ? r->count : 0; }

StoreCode FirstResult(ResultSet* r, Object** out) { return Move(r, 0, out); }
StoreCode NextResult(ResultSet* r, Object** out) {
  return Move(r, HasTag(r, kResultTag) ? std::int64_t(r->cursor) + 1 : -1, out);
}
StoreCode LastResult(ResultSet* r, Object** out) {
  return Move(r, HasTag(r, kResultTag) ? std::int64_t(r->count) - 1 : -1, out);
}
StoreCode PreviousResult(ResultSet* r, Object** out) {
  return Move(r, HasTag(r, kResultTag) ? std::int64_t(r->cursor) - 1 : -1, out);
}

StoreCode FreeResult(ResultSet* r) {
  if (!HasTag(r, kResultTag)) return kStoreBadArgument;
  std::free(r->ids);
  std::memset(r->tag, 0, 4);
  std::free(r);
  return kStoreOk;
}

}  // namespace store
