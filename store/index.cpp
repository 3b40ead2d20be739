// The sorted property index (index.h).
//
// A 7-byte name shares its keys 1 and 2 with every longer name that starts
// with it, so for a 7-byte P the record is read first to see whether E has
// the same name; otherwise the value prefix of a 7-byte name would be
// compared with that of a longer one and the order would depend on which of
// the two is being inserted.

#include "index.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "block_cache.h"
#include "database.h"

namespace store {
namespace {

int Sign(long long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

int CompareNames(const char* a, std::size_t alen, std::uint8_t la, const char* b, std::size_t blen,
                 std::uint8_t lb) {
  if (la > alen) la = 0;
  if (lb > blen) lb = 0;
  if (la == 0 && lb == 0) return Sign(std::strcmp(a, b));
  if (la != 0 && lb != 0) {
    int c = std::memcmp(a, b, std::min(la, lb));
    if (c != 0) return Sign(c);
    return Sign(int(la) - int(lb));
  }
  return Sign(std::strncmp(a, b, la != 0 ? la : lb));
}

int CompareValues(const RecordView& v, const Property& p) {
  switch (TypeClass(p.type)) {
    case 1: {
      std::int32_t a = static_cast<std::int32_t>(Load32(v.value));
      return a < p.value.integer ? -1 : (a > p.value.integer ? 1 : 0);
    }
    case 2: {
      double a;
      std::memcpy(&a, v.value, 8);
      return a < p.value.real ? -1 : (a > p.value.real ? 1 : 0);
    }
    case 3: return Sign(std::strcmp(reinterpret_cast<const char*>(v.value), p.value.text));
    case 4: {
      std::size_t n = v.value_length / 2;
      for (std::size_t i = 0;; ++i) {
        char16_t a = i < n ? char16_t(v.value[2 * i] | (v.value[2 * i + 1] << 8)) : 0;
        char16_t b = p.value.text16[i];
        if (a != b) return a < b ? -1 : 1;
        if (a == 0) return 0;
      }
    }
    default: return 0;
  }
}

int CompareKeys(const Entry& e, const Property& p, bool with_value) {
  for (int i = 0; i < (with_value ? 4 : 2); ++i)
    if (e.key[i] != p.key[i]) return e.key[i] < p.key[i] ? -1 : 1;
  return 0;
}

// The record of a tied entry, from the handle's tie records when it is there.
StoreCode ReadView(Database* db, std::uint32_t id, RecordView* view) {
  const std::string* bytes = db->ties->Find(id);
  if (bytes == nullptr) {
    std::string read;
    StoreCode rc = ReadRecordById(db, id, &read);
    if (rc != kStoreOk) return rc;
    bytes = db->ties->Keep(id, std::move(read));
  }
  if (!ParseRecord(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size(), view))
    return kStoreReadFailed;
  return kStoreOk;
}

int CompareRecord(const RecordView& v, const Entry& e, const SearchKey& k) {
  const Property& p = *k.p;
  if (v.type != p.type) return v.type < p.type ? -1 : 1;
  std::size_t plen = std::strlen(p.name);
  int c = CompareNames(v.name, v.name_length, v.significant_length, p.name, plen, SignificantLength(p.name));
  if (c != 0) return c;
  if (!k.prefix) {
    c = CompareValues(v, p);
    if (c != 0) return c;
  }
  if (k.owner && e.object_id != p.object_id) return e.object_id < p.object_id ? -1 : 1;
  return 0;
}

}  // namespace

const std::string* TieRecords::Find(std::uint32_t id) const {
  auto it = records_.find(id);
  return it == records_.end() ? nullptr : &it->second;
}

const std::string* TieRecords::Keep(std::uint32_t id, std::string bytes) {
  // Past the bound the whole set goes: the records that matter come back
  // at the next few lookups.
  if (bytes_ + bytes.size() > kMaxBytes) Clear();
  bytes_ += bytes.size();
  std::string& kept = records_[id];
  kept = std::move(bytes);
  return &kept;
}

void TieRecords::Forget(std::uint32_t id) {
  auto it = records_.find(id);
  if (it == records_.end()) return;
  bytes_ -= it->second.size();
  records_.erase(it);
}

void TieRecords::Clear() {
  records_.clear();
  bytes_ = 0;
}

StoreCode CompareEntry(Database* db, const Entry& e, const SearchKey& k, int* result) {
  const Property& p = *k.p;
  std::size_t plen = std::strlen(p.name);
  RecordView view;
  bool have_view = false;
  if (e.key[0] != 0 && p.key[0] != 0) {
    int c = CompareKeys(e, p, false);
    if (c != 0) {
      *result = c;
      return kStoreOk;
    }
    if (plen <= 7 && !k.prefix) {
      bool same_name = plen < 7;
      if (!same_name) {
        StoreCode rc = ReadView(db, e.record_id, &view);
        if (rc != kStoreOk) return rc;
        have_view = true;
        same_name = view.name_length == 7;
      }
      if (same_name) {
        c = CompareKeys(e, p, true);
        if (c != 0) {
          *result = c;
          return kStoreOk;
        }
      }
    }
  }
  if (k.mode != kCompareRecords) {
    *result = 0;
    return kStoreOk;
  }
  if (!have_view) {
    StoreCode rc = ReadView(db, e.record_id, &view);
    if (rc != kStoreOk) return rc;
  }
  *result = CompareRecord(view, e, k);
  return kStoreOk;
}

StoreCode Search(Database* db, const SearchKey& k, bool last, Position* pos) {
  std::uint32_t n = BlockCount(db);
  pos->found = false;
  if (TotalEntries(db) == 0) {
    pos->block = 0;
    pos->index = last ? kNoNumber : 0;
    pos->global = last ? -1 : 0;
    return kStoreOk;
  }
  // Blocks past the last non-empty one take no part.
  while (n > 1 && BlockEntries(db, n - 1) == 0) --n;
  const std::string* bytes = nullptr;
  int c = 0;
  std::uint32_t lo = 0, hi = n - 1;
  while (lo < hi) {
    std::uint32_t mid = last ? (lo + hi + 1) / 2 : (lo + hi) / 2;
    StoreCode rc = ReadBlock(db, mid, &bytes);
    if (rc != kStoreOk) return rc;
    std::size_t count = bytes->size() / kEntryBytes;
    if (count == 0) return kStoreReadFailed;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
    Entry probe = LoadEntry(data + (last ? 0 : (count - 1) * kEntryBytes));
    rc = CompareEntry(db, probe, k, &c);
    if (rc != kStoreOk) return rc;
    if (last) {
      if (c <= 0) lo = mid; else hi = mid - 1;
    } else {
      if (c < 0) lo = mid + 1; else hi = mid;
    }
  }
  // Comparisons read property records only, never blocks, so *bytes stays valid.
  StoreCode rc = ReadBlock(db, lo, &bytes);
  if (rc != kStoreOk) return rc;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
  std::size_t count = bytes->size() / kEntryBytes;
  // First index whose entry is >= k (first) or > k (last).
  std::size_t a = 0, b = count;
  while (a < b) {
    std::size_t m = (a + b) / 2;
    rc = CompareEntry(db, LoadEntry(data + m * kEntryBytes), k, &c);
    if (rc != kStoreOk) return rc;
    if (last ? c <= 0 : c < 0) a = m + 1; else b = m;
  }
  pos->block = lo;
  std::uint32_t start = BlockStart(db, lo);
  if (last) {
    if (a == 0) {
      pos->index = kNoNumber;
      pos->global = static_cast<std::int64_t>(start) - 1;
      pos->found = false;
      return kStoreOk;
    }
    pos->index = static_cast<std::uint32_t>(a - 1);
    pos->global = static_cast<std::int64_t>(start) + a - 1;
    pos->entry = LoadEntry(data + (a - 1) * kEntryBytes);
    rc = CompareEntry(db, pos->entry, k, &c);
    if (rc != kStoreOk) return rc;
    pos->found = c == 0;
    return kStoreOk;
  }
  pos->index = static_cast<std::uint32_t>(a);
  pos->global = start + a;
  if (a < count) {
    pos->entry = LoadEntry(data + a * kEntryBytes);
    rc = CompareEntry(db, pos->entry, k, &c);
    if (rc != kStoreOk) return rc;
    pos->found = c == 0;
  }
  return kStoreOk;
}

// ---- Rebalancing ---------------------------------------------------------
//
// After an insertion leaves a block above 1000 entries: an even split with
// the emptier neighbour when the pair has room; else, at the end of the
// index, a new last block; else, with fewer than 64 blocks, a new block
// right after this one. The records of the later blocks then move one
// number up (their bytes stay put), so one split costs the same wherever it
// happens instead of pushing entries through every later block. With all 64
// blocks in use a block grows in place up to the record limit and then
// halves with a neighbour; when neither has room the insertion fails (1010).
// After a removal empties a block, it is refilled from its successors, or
// the block count drops when it was the last.

namespace {

constexpr std::uint32_t kSplitEntries = 1000;        // a block above this is split
constexpr std::uint32_t kPairLimit = 2000;
constexpr std::uint32_t kRecordEntries = kMaxRecordBytes / kEntryBytes;  // 2720

// Blocks staged in memory and written together once the new layout is
// decided, so that a refused insertion changes nothing.
class Rebalancer {
 public:
  explicit Rebalancer(Database* db) : db_(db), n_(BlockCount(db)) {
    for (std::uint32_t b = 0; b < kMaxBlocks; ++b) counts_[b] = b < n_ ? BlockEntries(db, b) : 0;
  }
  std::uint32_t blocks() const { return n_; }
  std::uint32_t Count(std::uint32_t b) const { return counts_[b]; }
  StoreCode Get(std::uint32_t b, const std::string** out) {
    auto it = staged_.find(b);
    if (it != staged_.end()) {
      *out = &it->second;
      return kStoreOk;
    }
    if (b >= n_) {
      *out = &empty_;
      return kStoreOk;
    }
    return ReadBlock(db_, b, out);
  }
  void Set(std::uint32_t b, std::string bytes) {
    counts_[b] = static_cast<std::uint32_t>(bytes.size() / kEntryBytes);
    staged_[b] = std::move(bytes);
  }
  // Pools x and y; x gets half rounded down, or 999 when y would otherwise hold 1000 or more.
  StoreCode EvenSplit(std::uint32_t x, std::uint32_t y) {
    std::string pool;
    StoreCode rc = Pool(x, y, &pool);
    if (rc != kStoreOk) return rc;
    std::size_t total = pool.size() / kEntryBytes;
    std::size_t nx = total / 2;
    if (total - nx >= kSplitEntries) nx = kSplitEntries - 1;
    if (nx > total) nx = total;
    Set(x, pool.substr(0, nx * kEntryBytes));
    Set(y, pool.substr(nx * kEntryBytes));
    return kStoreOk;
  }
  // Halves the pool of x and y, for blocks past the 24000-byte mark.
  StoreCode HalfSplit(std::uint32_t x, std::uint32_t y) {
    std::string pool;
    StoreCode rc = Pool(x, y, &pool);
    if (rc != kStoreOk) return rc;
    std::size_t nx = pool.size() / kEntryBytes / 2;
    Set(x, pool.substr(0, nx * kEntryBytes));
    Set(y, pool.substr(nx * kEntryBytes));
    return kStoreOk;
  }
  void SetBlocks(std::uint32_t n) {
    n_ = n;
    header_changed_ = true;
  }
  void TouchHeader() { header_changed_ = true; }
  // A new empty block after b: the records of blocks b+1.. move one number
  // up, and the unused record after the last block takes number b+2.
  StoreCode InsertBlockAfter(std::uint32_t b) {
    std::uint32_t first = kFirstBlockRecord + b + 1, last = kFirstBlockRecord + n_;
    StoreCode rc = db_->file->Rotate(first, last);
    if (rc != kStoreOk) return rc;
    RotateCache(db_, b + 1, n_);
    std::map<std::uint32_t, std::string> moved;
    for (auto& kv : staged_) moved[kv.first > b ? kv.first + 1 : kv.first] = std::move(kv.second);
    staged_.swap(moved);
    for (std::uint32_t k = n_; k > b + 1; --k) counts_[k] = counts_[k - 1];
    SetBlocks(n_ + 1);
    Set(b + 1, std::string());
    return kStoreOk;
  }
  StoreCode Commit() {
    for (auto& kv : staged_)
      if (kv.second.size() > kMaxRecordBytes) return kStoreRecordTooLong;
    for (auto& kv : staged_) {
      StoreCode rc = WriteBlock(db_, kv.first, std::move(kv.second));
      if (rc != kStoreOk) return rc;
    }
    if (header_changed_) {
      RecordRequest r;
      r.number = kHeaderRecord;
      r.bytes = EncodeVolumeHeader(n_);
      StoreCode rc = db_->file->Write(&r);
      if (rc != kStoreOk) return rc;
      Store32(db_->header + 4, n_);
    }
    std::uint32_t total = 0;
    for (std::uint32_t b = 0; b < kMaxBlocks; ++b) {
      if (b < n_) total += counts_[b];
      db_->totals[b] = total;
    }
    return kStoreOk;
  }

 private:
  StoreCode Pool(std::uint32_t x, std::uint32_t y, std::string* pool) {
    const std::string *bx, *by;
    StoreCode rc = Get(x, &bx);
    if (rc != kStoreOk) return rc;
    pool->assign(*bx, 0, bx->size() / kEntryBytes * kEntryBytes);
    rc = Get(y, &by);
    if (rc != kStoreOk) return rc;
    pool->append(*by, 0, by->size() / kEntryBytes * kEntryBytes);
    return kStoreOk;
  }

  Database* db_;
  std::uint32_t n_;
  std::uint32_t counts_[kMaxBlocks];
  std::map<std::uint32_t, std::string> staged_;
  const std::string empty_;
  bool header_changed_ = false;
};

std::uint32_t RoundEven(std::uint32_t v) { return (v + 1) & ~1u; }

StoreCode Overflow(Rebalancer* r, std::uint32_t b) {
  constexpr std::uint32_t kUnlimited = 0xFFFFFFF0u;
  std::uint32_t n = r->blocks();
  if (r->Count(b) <= kSplitEntries) return kStoreOk;
  std::uint32_t P = b > 0 ? r->Count(b - 1) + r->Count(b) : kUnlimited;
  std::uint32_t S = b + 1 < n ? r->Count(b) + r->Count(b + 1) : kUnlimited;
  if (P <= S && RoundEven(P) < kPairLimit) {
    r->TouchHeader();
    return r->EvenSplit(b - 1, b);
  }
  if (RoundEven(S) < kPairLimit) {
    r->TouchHeader();
    return r->EvenSplit(b, b + 1);
  }
  if (n < kMaxBlocks) {
    if (b == n - 1) {
      r->SetBlocks(n + 1);
    } else {
      StoreCode rc = r->InsertBlockAfter(b);
      if (rc != kStoreOk) return rc;
    }
    return r->EvenSplit(b, b + 1);
  }
  // All blocks in use: a block grows in place up to the record limit
  // instead of pushing entries block by block to the end, which would
  // rewrite every later block on each insertion and fill the last one.
  if (r->Count(b) <= kRecordEntries) return kStoreOk;
  std::uint32_t left = b > 0 ? r->Count(b - 1) : kUnlimited;
  std::uint32_t right = b + 1 < n ? r->Count(b + 1) : kUnlimited;
  std::uint32_t other = left <= right ? b - 1 : b + 1;
  if (r->Count(other) + r->Count(b) > 2 * kRecordEntries) return kStoreNoMemory;
  r->TouchHeader();
  return other < b ? r->HalfSplit(other, b) : r->HalfSplit(b, other);
}

StoreCode Emptied(Rebalancer* r, std::uint32_t b) {
  for (;;) {
    std::uint32_t n = r->blocks();
    if (r->Count(b) != 0) return kStoreOk;
    if (b + 1 >= n) {
      r->SetBlocks(n > 1 ? n - 1 : 1);
      return kStoreOk;
    }
    if (r->Count(b + 1) >= 2) {
      r->TouchHeader();
      return r->EvenSplit(b, b + 1);
    }
    // A successor with a single entry hands it over and is empty in turn.
    const std::string* next;
    StoreCode rc = r->Get(b + 1, &next);
    if (rc != kStoreOk) return rc;
    std::string moved = *next;
    r->Set(b, std::move(moved));
    r->Set(b + 1, std::string());
    ++b;
  }
}

StoreCode Rebalance(Database* db, std::uint32_t b, std::string block, bool emptied) {
  Rebalancer r(db);
  r.Set(b, std::move(block));
  StoreCode rc = emptied ? Emptied(&r, b) : Overflow(&r, b);
  if (rc != kStoreOk) return rc;
  return r.Commit();
}

}  // namespace

StoreCode InsertEntry(Database* db, const Property& p) {
  SearchKey k{&p, kCompareRecords, false, true};
  Position pos;
  StoreCode rc = Search(db, k, false, &pos);
  if (rc != kStoreOk) return rc;
  const std::string* current = nullptr;
  rc = ReadBlock(db, pos.block, &current);
  if (rc != kStoreOk) return rc;
  std::uint8_t e[kEntryBytes];
  StoreEntry(e, EntryOf(p));
  std::size_t entries = current->size() / kEntryBytes;
  std::size_t at = std::min<std::size_t>(pos.index, entries) * kEntryBytes;
  if (entries + 1 > kSplitEntries) {
    std::string block(*current, 0, entries * kEntryBytes);
    block.insert(at, reinterpret_cast<const char*>(e), kEntryBytes);
    return Rebalance(db, pos.block, std::move(block), false);
  }
  rc = ChangeBlock(db, pos.block, [&](std::string* block) {
    block->resize(entries * kEntryBytes);
    block->insert(at, reinterpret_cast<const char*>(e), kEntryBytes);
  });
  if (rc != kStoreOk) return rc;
  for (std::uint32_t b = pos.block; b < kMaxBlocks; ++b) ++db->totals[b];
  return kStoreOk;
}

StoreCode RemoveEntry(Database* db, const Property& p, std::vector<std::uint32_t>* recycle) {
  SearchKey k{&p, kCompareRecords, false, true};
  Position pos;
  StoreCode rc = Search(db, k, false, &pos);
  if (rc != kStoreOk) return rc;
  if (!pos.found) return kStoreRecordNotFound;
  const std::string* current = nullptr;
  rc = ReadBlock(db, pos.block, &current);
  if (rc != kStoreOk) return rc;
  std::size_t entries = current->size() / kEntryBytes;
  if (recycle != nullptr) recycle->push_back(p.record_id);
  if (entries <= 1) return Rebalance(db, pos.block, std::string(), true);
  rc = ChangeBlock(db, pos.block, [&](std::string* block) {
    block->resize(entries * kEntryBytes);
    block->erase(std::size_t(pos.index) * kEntryBytes, kEntryBytes);
  });
  if (rc != kStoreOk) return rc;
  for (std::uint32_t b = pos.block; b < kMaxBlocks; ++b) --db->totals[b];
  return kStoreOk;
}

StoreCode ReadEntries(Database* db, std::uint32_t first, std::uint32_t last, std::vector<Entry>* out) {
  out->clear();
  if (last < first) return kStoreOk;
  std::uint32_t n = BlockCount(db);
  for (std::uint32_t b = 0; b < n; ++b) {
    std::uint32_t start = BlockStart(db, b), end = db->totals[b];
    if (end <= first || start > last || start == end) continue;
    const std::string* bytes = nullptr;
    StoreCode rc = ReadBlock(db, b, &bytes);
    if (rc != kStoreOk) return rc;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
    std::size_t count = bytes->size() / kEntryBytes;
    for (std::uint32_t g = std::max(first, start); g <= last && g < end; ++g) {
      std::size_t i = g - start;
      if (i >= count) break;
      out->push_back(LoadEntry(data + i * kEntryBytes));
    }
  }
  return kStoreOk;
}

}  // namespace store
