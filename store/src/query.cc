// Queries, listings and result sets.
//
// A query turns each property name of its bounds into a range of index
// entries, intersects the object identifiers of all ranges starting from
// the smallest one, and optionally orders the survivors by one range.

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "database.h"

namespace store {
namespace {

std::int32_t MakeResult(Database* db, const std::vector<std::uint32_t>& ids, ResultSet** out) {
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

std::int32_t Move(ResultSet* r, std::int64_t to, Object** out) {
  if (out == nullptr || !HasTag(r, kResultTag)) return kStoreBadArgument;
  *out = nullptr;
  if (to < 0 || to >= static_cast<std::int64_t>(r->count)) return kStoreNoMoreResults;
  if (!HasTag(r->database, kDatabaseTag)) return kStoreBadArgument;
  r->cursor = static_cast<std::uint32_t>(to);
  Object* o = nullptr;
  std::int32_t rc = CreateObject(&o, nullptr);
  if (rc != kStoreOk) return rc;
  rc = LoadStoredObject(r->database, r->ids[r->cursor], o);
  if (rc != kStoreOk) {
    FreeObject(o);
    return rc;
  }
  *out = o;
  return kStoreOk;
}

}  // namespace

std::int32_t Query(Database* db, Object* low, Object* high, std::uint32_t mode, ResultSet** out,
                   const char* order_by, ResultSet* earlier, int combination) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  if (!HasTag(db, kDatabaseTag) || !db->file) return kStoreBadArgument;
  if (low != nullptr && !HasTag(low, kObjectTag)) return kStoreBadArgument;
  if (high != nullptr && !HasTag(high, kObjectTag)) return kStoreBadArgument;
  if (earlier != nullptr && (!HasTag(earlier, kResultTag) || earlier->database != db)) return kStoreBadArgument;
  ReadBracket bracket(db);
  std::uint32_t nl = low ? low->count : 0, nh = high ? high->count : 0;
  Object* big = nh >= nl ? high : low;
  Object* other = nh >= nl ? low : high;
  std::vector<Range> ranges;
  bool empty = big == nullptr || big->count == 0;
  for (std::uint32_t k = 0; !empty && k < big->count; ++k) {
    const Property* bp = &big->properties[k];
    int o = other ? FindProperty(other, bp->name) : -1;
    const Property* op = o >= 0 ? &other->properties[o] : nullptr;
    const Property* lp = big == high ? op : bp;
    const Property* hp = big == high ? bp : op;
    Position first, last;
    SearchKey lk{lp ? lp : hp, mode, lp == nullptr, false};
    std::int32_t rc = Search(db, lk, false, &first);
    if (rc != kStoreOk) return rc;
    SearchKey hk{hp ? hp : lp, mode, hp == nullptr, false};
    rc = Search(db, hk, true, &last);
    if (rc != kStoreOk) return rc;
    Range r{first.global, last.global, last.global - first.global + 1,
            order_by != nullptr && std::strcmp(order_by, bp->name) == 0};
    if (r.count <= 0) {
      empty = true;
      break;
    }
    ranges.push_back(r);
  }
  std::vector<std::uint32_t> ids;
  if (!empty) {
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const Range& a, const Range& b) { return a.count < b.count; });
    std::vector<Entry> entries;
    std::int32_t rc = ReadEntries(db, static_cast<std::uint32_t>(ranges[0].first),
                                  static_cast<std::uint32_t>(ranges[0].last), &entries);
    if (rc != kStoreOk) return rc;
    for (const Entry& e : entries) ids.push_back(e.object_id);
    SortUnique(&ids);
    for (std::size_t i = 1; i < ranges.size() && !ids.empty(); ++i) {
      rc = ReadEntries(db, static_cast<std::uint32_t>(ranges[i].first),
                       static_cast<std::uint32_t>(ranges[i].last), &entries);
      if (rc != kStoreOk) return rc;
      std::vector<char> marked(ids.size(), 0);
      for (const Entry& e : entries) {
        auto it = std::lower_bound(ids.begin(), ids.end(), e.object_id);
        if (it != ids.end() && *it == e.object_id) marked[it - ids.begin()] = 1;
      }
      std::vector<std::uint32_t> kept;
      for (std::size_t j = 0; j < ids.size(); ++j)
        if (marked[j]) kept.push_back(ids[j]);
      ids.swap(kept);
    }
  }
  // An empty range gives an empty intersection; an earlier result is still
  // combined with it, so a union over several queries keeps what it had.
  if (earlier != nullptr)
    ids = Combine(ids, std::vector<std::uint32_t>(earlier->ids, earlier->ids + earlier->count), combination);
  if (!empty && !ids.empty()) {
    for (const Range& r : ranges) {
      if (!r.order_by) continue;
      std::vector<Entry> entries;
      std::int32_t rc = ReadEntries(db, static_cast<std::uint32_t>(r.first),
                                    static_cast<std::uint32_t>(r.last), &entries);
      if (rc != kStoreOk) return rc;
      std::vector<char> used(ids.size(), 0);
      std::vector<std::uint32_t> ordered;
      for (const Entry& e : entries) {
        auto it = std::lower_bound(ids.begin(), ids.end(), e.object_id);
        if (it != ids.end() && *it == e.object_id && !used[it - ids.begin()]) {
          used[it - ids.begin()] = 1;
          ordered.push_back(e.object_id);
        }
      }
      ids.swap(ordered);
      break;
    }
  }
  if (std::int32_t rc = bracket.End()) return rc;
  return MakeResult(db, ids, out);
}

std::int32_t ListObjects(Database* db, ResultSet** out, int source) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  if (!HasTag(db, kDatabaseTag) || !db->file) return kStoreBadArgument;
  std::vector<std::uint32_t> ids;
  if (source < 1) {
    std::uint32_t n = BlockCount(db);
    bool done = false;
    for (std::uint32_t b = 0; b < n && !done; ++b) {
      std::string scratch;
      const std::string* bytes = nullptr;
      std::int32_t rc = ReadBlock(db, b, &scratch, &bytes);
      if (rc != kStoreOk) return rc;
      const auto* p = reinterpret_cast<const std::uint8_t*>(bytes->data());
      for (std::size_t i = 0; i + kEntryBytes <= bytes->size(); i += kEntryBytes) {
        Entry e = LoadEntry(p + i);
        if (e.record_id != e.object_id) {
          done = true;
          break;
        }
        ids.push_back(e.record_id);
      }
    }
  } else {
    RecordRequest r;
    r.number = kObjectListRecord;
    std::int32_t rc = db->file->Read(&r);
    if (rc != kStoreOk) return rc;
    const auto* p = reinterpret_cast<const std::uint8_t*>(r.bytes.data());
    for (std::size_t i = 0; i + 4 <= r.bytes.size(); i += 4) ids.push_back(Load32(p + i));
  }
  return MakeResult(db, ids, out);
}

std::int32_t CombineResults(ResultSet* a, ResultSet* b, int mode, ResultSet** out) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  if (!HasTag(a, kResultTag) || !HasTag(b, kResultTag) || a->database != b->database)
    return kStoreBadArgument;
  std::vector<std::uint32_t> ids = Combine(std::vector<std::uint32_t>(a->ids, a->ids + a->count),
                                           std::vector<std::uint32_t>(b->ids, b->ids + b->count), mode);
  return MakeResult(a->database, ids, out);
}

std::uint32_t GetResultCount(ResultSet* r) { return HasTag(r, kResultTag) ? r->count : 0; }

std::int32_t FirstResult(ResultSet* r, Object** out) { return Move(r, 0, out); }
std::int32_t NextResult(ResultSet* r, Object** out) {
  return Move(r, HasTag(r, kResultTag) ? std::int64_t(r->cursor) + 1 : -1, out);
}
std::int32_t LastResult(ResultSet* r, Object** out) {
  return Move(r, HasTag(r, kResultTag) ? std::int64_t(r->count) - 1 : -1, out);
}
std::int32_t PreviousResult(ResultSet* r, Object** out) {
  return Move(r, HasTag(r, kResultTag) ? std::int64_t(r->cursor) - 1 : -1, out);
}

std::int32_t FreeResult(ResultSet* r) {
  if (!HasTag(r, kResultTag)) return kStoreBadArgument;
  std::free(r->ids);
  std::memset(r->tag, 0, 4);
  std::free(r);
  return kStoreOk;
}

}  // namespace store
