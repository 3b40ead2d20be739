#include "volume_state.h"

#include <algorithm>

#include "coding.h"
#include "platform/cedb.h"
#include "record_props.h"

namespace cedb {

namespace {
// Bytes a record costs in a snapshot, for the compaction estimate.
std::uint64_t RecordCost(const Record& r) { return 1 + 12 + r.props.size() + 12; }

char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }
}  // namespace

// Database names compare without regard to ASCII case, as on the device.
bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

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

std::size_t VolumeState::LowerBound(const Database& db, std::uint64_t key, std::uint32_t oid) {
  OrderEntry e{key, oid};
  return static_cast<std::size_t>(std::lower_bound(db.order.begin(), db.order.end(), e) - db.order.begin());
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
  while (r.ok && r.left > 0) {
    std::uint8_t op = r.U8();
    switch (op) {
      case kOpCreateDb: {
        r.U32();
        r.U32();
        std::uint16_t units = r.U16();
        const char* q;
        if (units >= CEDB_MAXDBASENAMELEN) return false;
        r.Take(2u * units, &q);
        r.U32();
        r.U32();
        r.U8();
        break;
      }
      case kOpDeleteDb: r.U32(); break;
      case kOpPutRecord: {
        r.U32();
        r.U32();
        std::uint32_t len = r.U32();
        const char* q;
        if (!r.Take(len, &q)) return false;
        if (!DecodeProps(q, len, nullptr)) return false;
        break;
      }
      case kOpDeleteRecord: r.U32(); r.U32(); break;
      case kOpNextOid: r.U32(); break;
      default: return false;
    }
  }
  return r.ok;
}

void VolumeState::ApplyBatch(const char* data, std::size_t n) {
  Reader r(data, n);
  while (r.ok && r.left > 0) {
    const char* start = r.p;
    std::uint8_t op = r.U8();
    std::size_t before = r.left;
    // Measure the operation with the validator's rules, then apply it.
    switch (op) {
      case kOpCreateDb: {
        const char* q;
        r.Take(8, &q);
        std::uint16_t units = r.U16();
        r.Take(2u * units + 9, &q);
        break;
      }
      case kOpDeleteDb: case kOpNextOid: r.U32(); break;
      case kOpPutRecord: {
        const char* q;
        r.Take(8, &q);
        std::uint32_t len = r.U32();
        r.Take(len, &q);
        break;
      }
      case kOpDeleteRecord: r.U64(); break;
      default: return;
    }
    if (!r.ok) return;
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
      dbs_.emplace(db.oid, std::move(db));
      break;
    }
    case kOpDeleteDb: {
      std::uint32_t oid = r.U32();
      Database* db = FindDb(oid);
      if (!db) return;
      for (const OrderEntry& e : db->order) {
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
    case kOpDeleteRecord: {
      std::uint32_t dbid = r.U32();
      std::uint32_t oid = r.U32();
      auto it = records_.find(oid);
      if (it == records_.end() || it->second.db != dbid) return;
      Database* db = FindDb(dbid);
      if (db) {
        db->bytes -= it->second.props.size();
        std::size_t pos = LowerBound(*db, it->second.key, oid);
        if (pos < db->order.size() && db->order[pos].oid == oid)
          db->order.erase(db->order.begin() + static_cast<std::ptrdiff_t>(pos));
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

void VolumeState::ApplyPut(std::uint32_t dbid, std::uint32_t oid, std::string props) {
  Database* db = FindDb(dbid);
  if (!db || oid == 0 || dbs_.count(oid)) return;
  if (oid >= next_oid_) next_oid_ = oid + 1;
  std::uint64_t key = KeyFor(*db, props);
  auto it = records_.find(oid);
  if (it == records_.end()) {
    Record rec;
    rec.db = dbid;
    rec.key = key;
    rec.props = std::move(props);
    live_bytes_ += RecordCost(rec);
    db->bytes += rec.props.size();
    OrderEntry e{key, oid};
    if (db->order.empty() || db->order.back() < e)
      db->order.push_back(e);
    else
      db->order.insert(db->order.begin() + static_cast<std::ptrdiff_t>(LowerBound(*db, key, oid)), e);
    records_.emplace(oid, std::move(rec));
    return;
  }
  Record& rec = it->second;
  if (rec.db != dbid) return;
  live_bytes_ -= RecordCost(rec);
  db->bytes -= rec.props.size();
  rec.props = std::move(props);
  live_bytes_ += RecordCost(rec);
  db->bytes += rec.props.size();
  if (key != rec.key) {
    std::size_t pos = LowerBound(*db, rec.key, oid);
    OrderEntry e{key, oid};
    // Renumbering keeps most records in place: update without moving
    // when the new key still sits between the neighbours.
    bool fits = (pos == 0 || db->order[pos - 1] < e) &&
                (pos + 1 >= db->order.size() || e < db->order[pos + 1]);
    if (fits) {
      db->order[pos] = e;
    } else {
      db->order.erase(db->order.begin() + static_cast<std::ptrdiff_t>(pos));
      db->order.insert(db->order.begin() + static_cast<std::ptrdiff_t>(LowerBound(*db, key, oid)), e);
    }
    rec.key = key;
  }
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

void VolumeState::PutRecord(std::string* out, std::uint32_t db, std::uint32_t oid, std::string props) {
  // Encoded straight into *out and moved into the image: a record can be
  // 64 KB and is written on every index change.
  out->push_back(static_cast<char>(kOpPutRecord));
  PutU32(out, db);
  PutU32(out, oid);
  PutU32(out, static_cast<std::uint32_t>(props.size()));
  *out += props;
  ApplyPut(db, oid, std::move(props));
}

void VolumeState::DeleteRecord(std::string* out, std::uint32_t db, std::uint32_t oid) {
  std::string op;
  PutU32(&op, db);
  PutU32(&op, oid);
  out->push_back(static_cast<char>(kOpDeleteRecord));
  *out += op;
  Apply(kOpDeleteRecord, op.data(), op.size());
}

std::string VolumeState::Snapshot() const {
  std::string out;
  out.reserve(live_bytes_ + 64);  // live_bytes_ is what a snapshot costs
  out.push_back(static_cast<char>(kOpNextOid));
  PutU32(&out, next_oid_);
  for (const auto& kv : dbs_) {
    const Database& db = kv.second;
    out.push_back(static_cast<char>(kOpCreateDb));
    PutU32(&out, db.oid);
    PutU32(&out, db.type);
    PutU16(&out, static_cast<std::uint16_t>(db.name.size()));
    for (char16_t c : db.name) PutU16(&out, static_cast<std::uint16_t>(c));
    PutU32(&out, db.sort_propid);
    PutU32(&out, db.sort_flags);
    out.push_back(db.has_sort ? 1 : 0);
    for (const OrderEntry& e : db.order) {
      const Record& rec = records_.at(e.oid);
      out.push_back(static_cast<char>(kOpPutRecord));
      PutU32(&out, db.oid);
      PutU32(&out, e.oid);
      PutU32(&out, static_cast<std::uint32_t>(rec.props.size()));
      out += rec.props;
    }
  }
  return out;
}

}  // namespace cedb
