// The sorted property index: up to 64 blocks of 24-byte entries, searched
// by bisection over the blocks and then inside one block.
//
// Order of a stored entry E against a sought property P: key 1 and key 2
// (type class and the first 7 name bytes), then for names of at most 7 bytes
// the value prefix in key 3 and key 4; when those tie, and in comparison
// mode 36 only, E's record decides: type, name, value, object identifier.
//
// A 7-byte name shares its keys 1 and 2 with every longer name that starts
// with it, so for a 7-byte P the record is read first to see whether E has
// the same name; otherwise the value prefix of a 7-byte name would be
// compared with that of a longer one and the order would depend on which of
// the two is being inserted.

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "database.h"

namespace store {
namespace {

constexpr std::uint32_t kSplitEntries = 1000;        // a block above this is split
constexpr std::uint32_t kPairLimit = 2000;
constexpr std::uint32_t kRecordEntries = kMaxRecordBytes / kEntryBytes;  // 2720

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

std::int32_t ReadView(Database* db, std::uint32_t id, std::string* bytes, RecordView* view) {
  std::int32_t rc = ReadRecordById(db, id, bytes);
  if (rc != kStoreOk) return rc;
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

std::int32_t CompareEntry(Database* db, const Entry& e, const SearchKey& k, int* result) {
  const Property& p = *k.p;
  std::size_t plen = std::strlen(p.name);
  std::string bytes;
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
        std::int32_t rc = ReadView(db, e.record_id, &bytes, &view);
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
    std::int32_t rc = ReadView(db, e.record_id, &bytes, &view);
    if (rc != kStoreOk) return rc;
  }
  *result = CompareRecord(view, e, k);
  return kStoreOk;
}

std::int32_t Search(Database* db, const SearchKey& k, bool last, Position* pos, std::string* block_copy) {
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
  std::string scratch;
  const std::string* bytes = nullptr;
  int c = 0;
  std::uint32_t lo = 0, hi = n - 1;
  std::uint32_t held = kMaxBlocks;  // the block *bytes holds
  while (lo < hi) {
    std::uint32_t mid = last ? (lo + hi + 1) / 2 : (lo + hi) / 2;
    std::int32_t rc = ReadBlock(db, mid, &scratch, &bytes);
    held = mid;
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
  // Comparisons read property records, never blocks, so the last probe is still valid.
  if (held != lo) {
    std::int32_t rc = ReadBlock(db, lo, &scratch, &bytes);
    if (rc != kStoreOk) return rc;
  }
  std::int32_t rc = kStoreOk;
  if (block_copy != nullptr) {
    // A block read outside the cache is ours already: hand it over uncopied.
    if (bytes == &scratch) {
      *block_copy = std::move(scratch);
      bytes = block_copy;
    } else {
      *block_copy = *bytes;
    }
  }
  // Comparisons read property records only, never blocks, so *bytes stays valid.
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

namespace {

// Blocks loaded on demand from their records, written back together.
class Rebalancer {
 public:
  explicit Rebalancer(Database* db) : db_(db), n_(BlockCount(db)) {
    for (std::uint32_t b = 0; b < kMaxBlocks; ++b) counts_[b] = b < n_ ? BlockEntries(db, b) : 0;
  }
  std::uint32_t blocks() const { return n_; }
  std::uint32_t Count(std::uint32_t b) const { return counts_[b]; }
  std::int32_t Get(std::uint32_t b, std::string** out) {
    auto it = loaded_.find(b);
    if (it == loaded_.end()) {
      std::string bytes;
      if (b < n_) {
        RecordRequest r;
        r.number = kFirstBlockRecord + b;
        std::int32_t rc = db_->file->Read(&r);
        if (rc != kStoreOk) return rc;
        bytes = std::move(r.bytes);
        bytes.resize(bytes.size() / kEntryBytes * kEntryBytes);
      }
      it = loaded_.emplace(b, std::move(bytes)).first;
    }
    *out = &it->second;
    return kStoreOk;
  }
  void Set(std::uint32_t b, std::string bytes) {
    counts_[b] = static_cast<std::uint32_t>(bytes.size() / kEntryBytes);
    loaded_[b] = std::move(bytes);
    dirty_.insert(b);
  }
  // Pools x and y; x gets half rounded down, or 999 when y would otherwise hold 1000 or more.
  std::int32_t EvenSplit(std::uint32_t x, std::uint32_t y) {
    std::string *bx, *by;
    std::int32_t rc = Get(x, &bx);
    if (rc != kStoreOk) return rc;
    rc = Get(y, &by);
    if (rc != kStoreOk) return rc;
    std::string pool = *bx + *by;
    std::size_t total = pool.size() / kEntryBytes;
    std::size_t nx = total / 2;
    if (total - nx >= kSplitEntries) nx = kSplitEntries - 1;
    if (nx > total) nx = total;
    Set(x, pool.substr(0, nx * kEntryBytes));
    Set(y, pool.substr(nx * kEntryBytes));
    return kStoreOk;
  }
  // Halves the pool of x and y, for blocks past the 24000-byte mark.
  std::int32_t HalfSplit(std::uint32_t x, std::uint32_t y) {
    std::string *bx, *by;
    std::int32_t rc = Get(x, &bx);
    if (rc != kStoreOk) return rc;
    rc = Get(y, &by);
    if (rc != kStoreOk) return rc;
    std::string pool = *bx + *by;
    std::size_t nx = pool.size() / kEntryBytes / 2;
    Set(x, pool.substr(0, nx * kEntryBytes));
    Set(y, pool.substr(nx * kEntryBytes));
    return kStoreOk;
  }
  void SetBlocks(std::uint32_t n) {
    n_ = n;
    header_dirty_ = true;
  }
  void TouchHeader() { header_dirty_ = true; }
  std::int32_t Commit() {
    for (std::uint32_t b : dirty_) {
      const std::string& bytes = loaded_[b];
      if (bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
    }
    for (std::uint32_t b : dirty_) {
      RecordRequest r;
      r.number = kFirstBlockRecord + b;
      r.bytes = loaded_[b];
      std::int32_t rc = db_->file->Write(&r);
      if (rc != kStoreOk) return rc;
    }
    if (header_dirty_) {
      RecordRequest r;
      r.number = kHeaderRecord;
      r.bytes = EncodeVolumeHeader(n_);
      // The header copy keeps any bytes past the known fields.
      std::int32_t rc = db_->file->Write(&r);
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
  Database* db_;
  std::uint32_t n_;
  std::uint32_t counts_[kMaxBlocks];
  std::map<std::uint32_t, std::string> loaded_;
  std::set<std::uint32_t> dirty_;
  bool header_dirty_ = false;
};

std::uint32_t RoundEven(std::uint32_t v) { return (v + 1) & ~1u; }

std::int32_t Overflow(Rebalancer* r, std::uint32_t b) {
  constexpr std::uint32_t kUnlimited = 0xFFFFFFF0u;
  for (;;) {
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
    if (b == n - 1 && (b == 0 || n < kMaxBlocks)) {
      r->SetBlocks(n + 1);
      return r->EvenSplit(b, b + 1);
    }
    if (n == kMaxBlocks) {
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
    std::int32_t rc = r->EvenSplit(b, b + 1);
    if (rc != kStoreOk) return rc;
    r->TouchHeader();
    ++b;
  }
}

std::int32_t Emptied(Rebalancer* r, std::uint32_t b) {
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
    std::string* next;
    std::int32_t rc = r->Get(b + 1, &next);
    if (rc != kStoreOk) return rc;
    std::string moved = *next;
    r->Set(b, moved);
    r->Set(b + 1, std::string());
    ++b;
  }
}

std::int32_t Rebalance(Database* db, std::uint32_t b, const std::string& block, bool emptied) {
  std::int32_t rc = FlushCache(db);
  if (rc != kStoreOk) return rc;
  Rebalancer r(db);
  r.Set(b, block);
  rc = emptied ? Emptied(&r, b) : Overflow(&r, b);
  if (rc != kStoreOk) return rc;
  return r.Commit();
}

}  // namespace

std::int32_t InsertEntry(Database* db, const Property& p) {
  SearchKey k{&p, kCompareRecords, false, true};
  Position pos;
  std::string block;
  std::int32_t rc = Search(db, k, false, &pos, &block);
  if (rc != kStoreOk) return rc;
  block.resize(block.size() / kEntryBytes * kEntryBytes);
  std::uint8_t e[kEntryBytes];
  StoreEntry(e, EntryOf(p));
  std::size_t at = std::min<std::size_t>(pos.index, block.size() / kEntryBytes);
  block.insert(at * kEntryBytes, reinterpret_cast<const char*>(e), kEntryBytes);
  if (block.size() / kEntryBytes > kSplitEntries) return Rebalance(db, pos.block, block, false);
  rc = WriteBlock(db, pos.block, std::move(block));
  if (rc != kStoreOk) return rc;
  for (std::uint32_t b = pos.block; b < kMaxBlocks; ++b) ++db->totals[b];
  return kStoreOk;
}

std::int32_t RemoveEntry(Database* db, const Property& p, std::vector<std::uint32_t>* recycle) {
  SearchKey k{&p, kCompareRecords, false, true};
  Position pos;
  std::string block;
  std::int32_t rc = Search(db, k, false, &pos, &block);
  if (rc != kStoreOk) return rc;
  if (!pos.found) return kStoreRecordNotFound;
  block.resize(block.size() / kEntryBytes * kEntryBytes);
  block.erase(std::size_t(pos.index) * kEntryBytes, kEntryBytes);
  if (recycle != nullptr) recycle->push_back(p.record_id);
  if (block.empty()) return Rebalance(db, pos.block, block, true);
  rc = WriteBlock(db, pos.block, std::move(block));
  if (rc != kStoreOk) return rc;
  for (std::uint32_t b = pos.block; b < kMaxBlocks; ++b) --db->totals[b];
  return kStoreOk;
}

std::int32_t ReadEntries(Database* db, std::uint32_t first, std::uint32_t last, std::vector<Entry>* out) {
  out->clear();
  if (last < first) return kStoreOk;
  std::uint32_t n = BlockCount(db);
  for (std::uint32_t b = 0; b < n; ++b) {
    std::uint32_t start = BlockStart(db, b), end = db->totals[b];
    if (end <= first || start > last || start == end) continue;
    std::string scratch;
    const std::string* bytes = nullptr;
    std::int32_t rc = ReadBlock(db, b, &scratch, &bytes);
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
