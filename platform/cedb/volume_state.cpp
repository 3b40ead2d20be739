#include "volume_state.h"

#include <algorithm>
#include <atomic>

#include "coding.h"
#include "platform/cedb.h"

namespace cedb {

namespace {
// Bytes a record costs in a snapshot, for the compaction estimate.
std::uint64_t RecordCost(const Record& r) { return 1 + 12 + r.props.size() + 12; }

char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

// Stamps count up for the whole process, so a replayed image never hands
// out a value that a handle may still remember.
std::atomic<std::uint64_t> g_last_stamp{0};
std::uint64_t NextStamp() { return ++g_last_stamp; }

// Word at a time: these run over whole index blocks on every rewrite.
std::uint64_t Word(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

std::size_t CommonPrefix(const char* a, std::size_t an, const char* b, std::size_t bn) {
  std::size_t n = std::min(an, bn), i = 0;
  while (i + 8 <= n && Word(a + i) == Word(b + i)) i += 8;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

std::size_t CommonSuffix(const char* a, std::size_t an, const char* b, std::size_t bn, std::size_t limit) {
  std::size_t n = std::min(limit, std::min(an, bn)), i = 0;
  while (i + 8 <= n && Word(a + an - i - 8) == Word(b + bn - i - 8)) i += 8;
  while (i < n && a[an - i - 1] == b[bn - i - 1]) ++i;
  return i;
}

// One run of a patched value: `copy` bytes of the old value from `from`,
// then `literal` bytes of the new value from `at`.
struct Run {
  std::size_t from, copy, at, literal;
};

// Runs that build `now` from `old`: copies of what they share, literals
// for the rest. Past the common prefix and suffix, a middle of more than a
// few bytes is searched for entries inserted, removed or replaced: after a
// difference, 16 equal bytes within 64 bytes skipped on one side, or on
// both alike, resynchronise. Where that fails, or after too many runs, the
// rest of the middle is one literal.
std::vector<Run> Diff(const char* old, std::size_t on, const char* now, std::size_t nn) {
  constexpr std::size_t kWindow = 16, kReach = 64, kMaxRuns = 128, kSmall = 128;
  std::size_t prefix = CommonPrefix(old, on, now, nn);
  std::size_t suffix = CommonSuffix(old, on, now, nn, std::min(on, nn) - prefix);
  std::size_t oe = on - suffix, ne = nn - suffix;  // ends of the middles
  std::vector<Run> runs;
  Run run{0, prefix, prefix, 0};
  std::size_t i = prefix, j = prefix;  // in now, in old
  bool search = ne - prefix > kSmall && oe - prefix > kSmall;
  while (i < ne) {
    bool found = false;
    std::size_t a = 0, b = 0;
    for (std::size_t k = 1; search && !found && runs.size() < kMaxRuns && k <= kReach; ++k) {
      const std::size_t tries[3][2] = {{k, 0}, {0, k}, {k, k}};
      for (const auto& t : tries) {
        if (i + t[0] + kWindow <= ne && j + t[1] + kWindow <= oe &&
            std::memcmp(now + i + t[0], old + j + t[1], kWindow) == 0) {
          a = t[0];
          b = t[1];
          found = true;
          break;
        }
      }
    }
    if (!found) {
      run.literal = ne - i;
      break;
    }
    run.literal = a;
    runs.push_back(run);
    i += a;
    j += b;
    std::size_t c = CommonPrefix(old + j, oe - j, now + i, ne - i);
    run = Run{j, c, i + c, 0};
    i += c;
    j += c;
  }
  runs.push_back(run);
  if (suffix > 0) runs.push_back(Run{oe, suffix, nn, 0});
  return runs;
}

const PropView* FindView(const std::vector<PropView>& props, std::uint32_t propid) {
  for (const PropView& p : props)
    if (p.propid == propid) return &p;
  return nullptr;
}

// Steps over one operation body; with `validate`, also checks what Apply
// relies on. False when the body is cut short or invalid.
bool SkipOp(std::uint8_t op, Reader* r, bool validate) {
  const char* q;
  switch (op) {
    case kOpCreateDb: {
      r->Take(8, &q);
      std::uint16_t units = r->U16();
      if (validate && units >= CEDB_MAXDBASENAMELEN) return false;
      r->Take(2u * units + 9, &q);
      break;
    }
    case kOpDeleteDb: case kOpNextOid: r->U32(); break;
    case kOpPutRecord: {
      r->Take(8, &q);
      std::uint32_t len = r->U32();
      if (!r->Take(len, &q)) return false;
      if (validate && !DecodePropViews(q, len, nullptr)) return false;
      break;
    }
    case kOpDeleteRecord: r->U64(); break;
    case kOpPatchRecord: {
      r->Take(8, &q);
      std::uint16_t count = r->U16();
      std::vector<std::uint32_t> seen;
      for (std::uint16_t i = 0; i < count && r->ok; ++i) {
        std::uint32_t propid = r->U32();
        if (validate) {
          if (!TypeSupported(LOWORD(propid)) || std::find(seen.begin(), seen.end(), propid) != seen.end())
            return false;
          seen.push_back(propid);
        }
        if (!IsVariableType(LOWORD(propid))) {
          r->U64();
          continue;
        }
        std::uint16_t runs = r->U16();
        for (std::uint16_t k = 0; k < runs && r->ok; ++k) {
          r->Take(8, &q);
          std::uint32_t m = r->U32();
          if (validate && m > CEDB_MAXPROPDATASIZE) return false;
          r->Take(m, &q);
        }
      }
      break;
    }
    default: return false;
  }
  return r->ok;
}

}  // namespace

// Database names compare without regard to ASCII case, as on the device.
bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

// ---- RecordOrder -------------------------------------------------------------

std::size_t RecordOrder::RawLowerBound(const OrderEntry& e) const {
  return static_cast<std::size_t>(std::lower_bound(entries_.begin(), entries_.end(), e) - entries_.begin());
}

void RecordOrder::Settle() {
  if (removed_.empty()) return;
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const OrderEntry& e) { return removed_.count(e.oid) != 0; }),
                 entries_.end());
  removed_.clear();
}

const std::vector<OrderEntry>& RecordOrder::entries() {
  Settle();
  return entries_;
}

std::size_t RecordOrder::LowerBound(std::uint64_t key, std::uint32_t oid) {
  Settle();
  return RawLowerBound(OrderEntry{key, oid});
}

void RecordOrder::Insert(const OrderEntry& e) {
  if (removed_.count(e.oid)) Settle();
  if (entries_.empty() || entries_.back() < e)
    entries_.push_back(e);
  else
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(RawLowerBound(e)), e);
}

void RecordOrder::Remove(const OrderEntry& e) { removed_.insert(e.oid); }

void RecordOrder::Rekey(std::uint32_t oid, std::uint64_t old_key, std::uint64_t new_key) {
  std::size_t pos = RawLowerBound(OrderEntry{old_key, oid});
  if (pos >= entries_.size() || entries_[pos].oid != oid) return;
  OrderEntry e{new_key, oid};
  // Renumbering keeps most records in place: update without moving when
  // the new key still sits between the neighbours.
  bool fits = (pos == 0 || entries_[pos - 1] < e) && (pos + 1 >= entries_.size() || e < entries_[pos + 1]);
  if (fits) {
    entries_[pos] = e;
    return;
  }
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(RawLowerBound(e)), e);
}

void RecordOrder::Clear() {
  entries_.clear();
  removed_.clear();
}

// ---- VolumeState ---------------------------------------------------------------

void VolumeState::Clear() {
  dbs_.clear();
  records_.clear();
  next_oid_ = 1;
  live_bytes_ = 0;
}

std::uint64_t VolumeState::KeyFor(const Database& db, const std::string& props) {
  if (!db.has_sort) return 0;
  std::uint64_t v;
  if (!FindFixed(props, db.sort_propid, &v)) return (db.sort_flags & CEDB_SORT_UNKNOWNFIRST) ? 0 : (1ull << 34);
  std::uint16_t type = static_cast<std::uint16_t>(db.sort_propid & 0xFFFF);
  std::uint64_t k;
  if (type == CEVT_I4 || type == CEVT_I2)
    k = static_cast<std::uint64_t>(static_cast<std::int64_t>(v) + (1ll << 31)) & 0xFFFFFFFFull;
  else
    k = v & 0xFFFFFFFFull;
  if (db.sort_flags & CEDB_SORT_DESCENDING) k = 0xFFFFFFFFull - k;
  return 1 + k;
}

Database* VolumeState::FindDb(std::uint32_t oid) {
  auto it = dbs_.find(oid);
  return it == dbs_.end() ? nullptr : &it->second;
}

Database* VolumeState::FindDbByName(const std::u16string& name) {
  for (auto& kv : dbs_)
    if (SameName(kv.second.name, name)) return &kv.second;
  return nullptr;
}

const Record* VolumeState::FindRecord(std::uint32_t oid) const {
  auto it = records_.find(oid);
  return it == records_.end() ? nullptr : &it->second;
}

bool VolumeState::ValidateBatch(const char* data, std::size_t n) {
  Reader r(data, n);
  while (r.ok && r.left > 0)
    if (!SkipOp(r.U8(), &r, true)) return false;
  return r.ok;
}

void VolumeState::ApplyBatch(const char* data, std::size_t n) {
  Reader r(data, n);
  while (r.ok && r.left > 0) {
    const char* start = r.p;
    std::uint8_t op = r.U8();
    std::size_t before = r.left;
    if (!SkipOp(op, &r, false)) return;
    Apply(op, start + 1, before - r.left);
  }
}

void VolumeState::Apply(std::uint8_t op, const char* data, std::size_t n) {
  Reader r(data, n);
  switch (op) {
    case kOpCreateDb: {
      Database db;
      db.oid = r.U32();
      db.type = r.U32();
      std::uint16_t units = r.U16();
      for (std::uint16_t i = 0; i < units; ++i) db.name.push_back(static_cast<char16_t>(r.U16()));
      db.sort_propid = r.U32();
      db.sort_flags = r.U32();
      db.has_sort = r.U8() != 0;
      if (!r.ok || db.oid == 0 || dbs_.count(db.oid) || records_.count(db.oid) || FindDbByName(db.name)) return;
      if (db.oid >= next_oid_) next_oid_ = db.oid + 1;
      live_bytes_ += 32 + 2 * units;
      db.stamp = NextStamp();
      dbs_.emplace(db.oid, std::move(db));
      break;
    }
    case kOpDeleteDb: {
      std::uint32_t oid = r.U32();
      Database* db = FindDb(oid);
      if (!db) return;
      for (const OrderEntry& e : db->order.entries()) {
        auto it = records_.find(e.oid);
        if (it != records_.end()) {
          live_bytes_ -= RecordCost(it->second);
          records_.erase(it);
        }
      }
      live_bytes_ -= 32 + 2 * db->name.size();
      dbs_.erase(oid);
      break;
    }
    case kOpPutRecord: {
      std::uint32_t dbid = r.U32();
      std::uint32_t oid = r.U32();
      std::uint32_t len = r.U32();
      const char* q;
      if (!r.Take(len, &q)) return;
      ApplyPut(dbid, oid, std::string(q, len));
      break;
    }
    case kOpPatchRecord:
      ApplyPatch(data, n);
      break;
    case kOpDeleteRecord: {
      std::uint32_t dbid = r.U32();
      std::uint32_t oid = r.U32();
      auto it = records_.find(oid);
      if (it == records_.end() || it->second.db != dbid) return;
      Database* db = FindDb(dbid);
      if (db) {
        db->bytes -= it->second.props.size();
        db->order.Remove(OrderEntry{it->second.key, oid});
        db->stamp = NextStamp();
      }
      live_bytes_ -= RecordCost(it->second);
      records_.erase(it);
      break;
    }
    case kOpNextOid: {
      std::uint32_t next = r.U32();
      if (next > next_oid_) next_oid_ = next;
      break;
    }
  }
}

void VolumeState::Replace(Database* db, std::uint32_t oid, Record* rec, std::string props) {
  std::uint64_t key = KeyFor(*db, props);
  live_bytes_ -= RecordCost(*rec);
  db->bytes -= rec->props.size();
  rec->props = std::move(props);
  live_bytes_ += RecordCost(*rec);
  db->bytes += rec->props.size();
  if (key != rec->key) {
    db->order.Rekey(oid, rec->key, key);
    rec->key = key;
  }
  db->stamp = NextStamp();
}

void VolumeState::ApplyPut(std::uint32_t dbid, std::uint32_t oid, std::string props) {
  Database* db = FindDb(dbid);
  if (!db || oid == 0 || dbs_.count(oid)) return;
  if (oid >= next_oid_) next_oid_ = oid + 1;
  auto it = records_.find(oid);
  if (it != records_.end()) {
    if (it->second.db == dbid) Replace(db, oid, &it->second, std::move(props));
    return;
  }
  Record rec;
  rec.db = dbid;
  rec.key = KeyFor(*db, props);
  rec.props = std::move(props);
  live_bytes_ += RecordCost(rec);
  db->bytes += rec.props.size();
  db->order.Insert(OrderEntry{rec.key, oid});
  db->stamp = NextStamp();
  records_.emplace(oid, std::move(rec));
}

void VolumeState::ApplyPatch(const char* data, std::size_t n) {
  Reader r(data, n);
  std::uint32_t dbid = r.U32();
  std::uint32_t oid = r.U32();
  std::uint16_t count = r.U16();
  auto it = records_.find(oid);
  Database* db = FindDb(dbid);
  if (!r.ok || it == records_.end() || it->second.db != dbid || !db) return;
  std::vector<PropView> old;
  if (!DecodePropViews(it->second.props.data(), it->second.props.size(), &old)) return;
  std::string props;
  props.reserve(it->second.props.size() + n);
  PutU16(&props, count);
  for (std::uint16_t i = 0; i < count; ++i) {
    std::uint32_t propid = r.U32();
    PutU32(&props, propid);
    std::uint16_t type = LOWORD(propid);
    if (!IsVariableType(type)) {
      PutU64(&props, r.U64());
      continue;
    }
    const PropView* base = FindView(old, propid);
    std::size_t base_size = base ? base->size : 0;
    std::size_t length_at = props.size();
    PutU32(&props, 0);
    std::uint64_t size = 0;
    std::uint16_t runs = r.U16();
    for (std::uint16_t k = 0; k < runs; ++k) {
      std::uint32_t from = r.U32(), copy = r.U32(), literal = r.U32();
      const char* bytes;
      if (!r.Take(literal, &bytes) || std::uint64_t(from) + copy > base_size) return;
      size += std::uint64_t(copy) + literal;
      if (size > CEDB_MAXPROPDATASIZE) return;
      if (copy) props.append(base->data + from, copy);
      props.append(bytes, literal);
    }
    if (type == CEVT_LPWSTR && size % 2 != 0) return;
    SetU32(&props[length_at], static_cast<std::uint32_t>(type == CEVT_LPWSTR ? size / 2 : size));
  }
  if (!r.ok) return;
  Replace(db, oid, &it->second, std::move(props));
}

void VolumeState::CreateDb(std::string* out, std::uint32_t oid, const std::u16string& name,
                           std::uint32_t type, bool has_sort, std::uint32_t sort_propid,
                           std::uint32_t sort_flags) {
  std::string op;
  PutU32(&op, oid);
  PutU32(&op, type);
  PutU16(&op, static_cast<std::uint16_t>(name.size()));
  for (char16_t c : name) PutU16(&op, static_cast<std::uint16_t>(c));
  PutU32(&op, sort_propid);
  PutU32(&op, sort_flags);
  op.push_back(has_sort ? 1 : 0);
  out->push_back(static_cast<char>(kOpCreateDb));
  *out += op;
  Apply(kOpCreateDb, op.data(), op.size());
}

void VolumeState::DeleteDb(std::string* out, std::uint32_t oid) {
  std::string op;
  PutU32(&op, oid);
  out->push_back(static_cast<char>(kOpDeleteDb));
  *out += op;
  Apply(kOpDeleteDb, op.data(), op.size());
}

void VolumeState::WriteRecord(std::string* out, std::uint32_t db, std::uint32_t oid,
                              const std::vector<PropView>& props) {
  const Record* rec = FindRecord(oid);
  std::vector<PropView> old;
  if (!rec || !DecodePropViews(rec->props.data(), rec->props.size(), &old)) {
    std::string encoded;
    EncodeViews(props, &encoded);
    out->push_back(static_cast<char>(kOpPutRecord));
    PutU32(out, db);
    PutU32(out, oid);
    PutU32(out, static_cast<std::uint32_t>(encoded.size()));
    *out += encoded;
    ApplyPut(db, oid, std::move(encoded));
    return;
  }
  // Only what changed goes into the log: an index block that gains an
  // entry costs its 24 bytes and a little framing, not the whole block.
  std::size_t start = out->size();
  out->push_back(static_cast<char>(kOpPatchRecord));
  PutU32(out, db);
  PutU32(out, oid);
  PutU16(out, static_cast<std::uint16_t>(props.size()));
  for (const PropView& p : props) {
    PutU32(out, p.propid);
    if (!IsVariableType(LOWORD(p.propid))) {
      PutU64(out, p.fixed);
      continue;
    }
    static const char kNothing[1] = {0};
    const PropView* base = FindView(old, p.propid);
    std::vector<Run> runs = Diff(base && base->data ? base->data : kNothing, base ? base->size : 0,
                                 p.data ? p.data : kNothing, p.size);
    PutU16(out, static_cast<std::uint16_t>(runs.size()));
    for (const Run& run : runs) {
      PutU32(out, static_cast<std::uint32_t>(run.from));
      PutU32(out, static_cast<std::uint32_t>(run.copy));
      PutU32(out, static_cast<std::uint32_t>(run.literal));
      out->append(p.data + run.at, run.literal);
    }
  }
  ApplyPatch(out->data() + start + 1, out->size() - start - 1);
}

void VolumeState::DeleteRecord(std::string* out, std::uint32_t db, std::uint32_t oid) {
  std::string op;
  PutU32(&op, db);
  PutU32(&op, oid);
  out->push_back(static_cast<char>(kOpDeleteRecord));
  *out += op;
  Apply(kOpDeleteRecord, op.data(), op.size());
}

std::uint64_t VolumeState::SnapshotSize() {
  std::uint64_t size = 5;
  for (auto& kv : dbs_) {
    size += 1 + 4 + 4 + 2 + 2 * kv.second.name.size() + 4 + 4 + 1;
    for (const OrderEntry& e : kv.second.order.entries()) size += 13 + records_.at(e.oid).props.size();
  }
  return size;
}

bool VolumeState::WriteSnapshot(const std::function<bool(const char*, std::size_t)>& sink) {
  constexpr std::size_t kChunk = 1 << 20;
  std::string chunk;
  chunk.reserve(kChunk + CEDB_MAXRECORDSIZE + 64);
  auto flush = [&](bool always) {
    if (chunk.empty() || (!always && chunk.size() < kChunk)) return true;
    bool ok = sink(chunk.data(), chunk.size());
    chunk.clear();
    return ok;
  };
  chunk.push_back(static_cast<char>(kOpNextOid));
  PutU32(&chunk, next_oid_);
  for (auto& kv : dbs_) {
    Database& db = kv.second;
    chunk.push_back(static_cast<char>(kOpCreateDb));
    PutU32(&chunk, db.oid);
    PutU32(&chunk, db.type);
    PutU16(&chunk, static_cast<std::uint16_t>(db.name.size()));
    for (char16_t c : db.name) PutU16(&chunk, static_cast<std::uint16_t>(c));
    PutU32(&chunk, db.sort_propid);
    PutU32(&chunk, db.sort_flags);
    chunk.push_back(db.has_sort ? 1 : 0);
    for (const OrderEntry& e : db.order.entries()) {
      const Record& rec = records_.at(e.oid);
      chunk.push_back(static_cast<char>(kOpPutRecord));
      PutU32(&chunk, db.oid);
      PutU32(&chunk, e.oid);
      PutU32(&chunk, static_cast<std::uint32_t>(rec.props.size()));
      chunk += rec.props;
      if (!flush(false)) return false;
    }
  }
  return flush(true);
}

std::string VolumeState::CheckInvariants() {
  std::size_t in_order = 0;
  for (auto& kv : dbs_) {
    Database& db = kv.second;
    if (db.stamp == 0) return "database without a stamp";
    const std::vector<OrderEntry>& order = db.order.entries();
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (i > 0 && !(order[i - 1] < order[i])) return "order not sorted";
      auto it = records_.find(order[i].oid);
      if (it == records_.end() || it->second.db != db.oid || it->second.key != order[i].key)
        return "order entry without its record";
      if (order[i].oid >= next_oid_) return "identifier not below next_oid";
    }
    in_order += order.size();
  }
  if (in_order != records_.size()) return "record missing from its database's order";
  return "";
}

}  // namespace cedb
