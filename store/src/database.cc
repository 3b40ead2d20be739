// The database layer: opening databases and writing, reading and deleting
// objects over the property index.
//
// Each operation that writes several records runs inside one transaction
// of the volume; when it fails, the records, the block totals and the
// cache return to their state before the operation, so a stored object is
// always wholly old or wholly new.

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "database.h"
#include "platform/os.h"

namespace store {
namespace {

char* Duplicate(const char* s) {
  if (s == nullptr) return nullptr;
  char* d = static_cast<char*>(std::malloc(std::strlen(s) + 1));
  if (d) std::strcpy(d, s);
  return d;
}

void FreeHandle(Database* db) {
  if (db == nullptr) return;
  delete db->file;
  delete db->cache;
  std::free(db->name);
  std::free(db->volume);
  std::memset(db->tag, 0, 4);
  delete db;
}

bool Usable(Database* db) { return HasTag(db, kDatabaseTag) && db->file && db->file->is_open(); }

// Everything in memory that an operation changes, to restore on failure.
struct Snapshot {
  std::uint32_t totals[kMaxBlocks];
  std::uint8_t header[kHeaderBytes];
  std::list<CacheNode> nodes;
  std::uint32_t cached_bytes, blocks;
};

class Transaction {
 public:
  explicit Transaction(Database* db) : db_(db) {
    std::memcpy(snap_.totals, db->totals, sizeof(snap_.totals));
    std::memcpy(snap_.header, db->header, kHeaderBytes);
    snap_.nodes = db->cache->nodes;
    snap_.cached_bytes = db->cache->cached_bytes;
    snap_.blocks = db->cache->blocks;
    begin_rc_ = db->file->Begin();
  }
  ~Transaction() {
    if (!done_) Abort();
  }
  std::int32_t begin_status() const { return begin_rc_; }
  std::int32_t Commit() {
    done_ = true;
    std::int32_t rc = db_->file->Commit();
    if (rc != kStoreOk) Restore();
    return rc;
  }
  void Abort() {
    done_ = true;
    db_->file->Rollback();
    Restore();
  }

 private:
  void Restore() {
    std::memcpy(db_->totals, snap_.totals, sizeof(snap_.totals));
    std::memcpy(db_->header, snap_.header, kHeaderBytes);
    db_->cache->nodes = std::move(snap_.nodes);
    db_->cache->cached_bytes = snap_.cached_bytes;
    db_->cache->blocks = snap_.blocks;
  }
  Database* db_;
  Snapshot snap_;
  std::int32_t begin_rc_;
  bool done_ = false;
};

// A type-0 property named as the object: the shape of a header record.
struct HeaderProperty {
  Property p;
  explicit HeaderProperty(const char* name) {
    InitProperty(&p, name, 0);
    AssignValue(&p, kTypeIdList, nullptr, 0);
  }
  ~HeaderProperty() { DestroyProperty(&p); }
  bool ok() const { return p.name != nullptr; }
};

std::int32_t FindHeader(Database* db, const char* name, Entry* entry) {
  HeaderProperty h(name);
  if (!h.ok()) return kStoreNoMemory;
  SearchKey k{&h.p, kCompareRecords, false, false};
  Position pos;
  ReadBracket bracket(db);
  std::int32_t rc = Search(db, k, false, &pos);
  if (bracket.End() != kStoreOk) rc = kStoreReadFailed;
  if (rc != kStoreOk || !pos.found) return kStoreObjectNotFound;
  *entry = pos.entry;
  return kStoreOk;
}

std::int32_t WriteById(Database* db, std::uint32_t id, std::string bytes) {
  RecordRequest r;
  r.id = id;
  r.bytes = std::move(bytes);
  return db->file->Write(&r);
}

std::string EncodeHeader(const char* name, std::uint32_t hid, const std::vector<std::uint32_t>& ids) {
  HeaderProperty h(name);
  AssignValue(&h.p, kTypeIdList, ids.data(), static_cast<std::uint32_t>(ids.size()));
  std::string out;
  EncodeProperty(h.p, hid, &out);
  return out;
}

// Removes `id` from the ascending object list, when present.
std::int32_t RemoveFromObjectList(Database* db, std::uint32_t id) {
  RecordRequest r;
  r.number = kObjectListRecord;
  std::int32_t rc = db->file->Read(&r);
  if (rc != kStoreOk) return rc;
  std::size_t n = r.bytes.size() / 4;
  const auto* p = reinterpret_cast<const std::uint8_t*>(r.bytes.data());
  std::size_t lo = 0, hi = n;
  while (lo < hi) {
    std::size_t mid = (lo + hi) / 2;
    if (Load32(p + 4 * mid) < id) lo = mid + 1; else hi = mid;
  }
  if (lo >= n || Load32(p + 4 * lo) != id) return kStoreOk;
  r.bytes.erase(lo * 4, 4);
  r.bytes.resize(r.bytes.size() / 4 * 4);
  return db->file->Write(&r);
}

}  // namespace

std::int32_t ReadRecordById(Database* db, std::uint32_t id, std::string* bytes) {
  RecordRequest r;
  r.id = id;
  std::int32_t rc = db->file->Read(&r);
  if (rc != kStoreOk) return rc;
  *bytes = std::move(r.bytes);
  return kStoreOk;
}

std::int32_t LoadStoredObject(Database* db, std::uint32_t id, Object* object) {
  std::string header;
  std::int32_t rc = ReadRecordById(db, id, &header);
  if (rc != kStoreOk) return rc;
  RecordView hv;
  if (!ParseRecord(reinterpret_cast<const std::uint8_t*>(header.data()), header.size(), &hv) ||
      hv.type != kTypeIdList)
    return kStoreReadFailed;
  std::string name(hv.name, hv.name_length);
  rc = SetObjectName(object, name.c_str());
  if (rc != kStoreOk) return rc;
  object->owner_id = id;
  std::vector<std::uint32_t> ids(hv.count);
  for (std::uint32_t i = 0; i < hv.count; ++i) ids[i] = Load32(hv.value + 4 * i);
  std::string bytes;
  for (std::uint32_t rid : ids) {
    rc = ReadRecordById(db, rid, &bytes);
    if (rc != kStoreOk) return rc;
    RecordView v;
    if (!ParseRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &v))
      return kStoreReadFailed;
    rc = AddParsedProperty(object, v, rid);
    if (rc != kStoreOk) return rc;
  }
  return kStoreOk;
}

std::int32_t AttachDatabase(std::unique_ptr<RecordFile> file, const char* name, const char* volume,
                            bool initialise, std::uint32_t cache_limit, Database** out) {
  *out = nullptr;
  Database* db = new Database();
  std::memcpy(db->tag, kDatabaseTag, 4);
  db->file = file.release();
  db->cache = new BlockCache();
  db->name = Duplicate(name);
  db->volume = Duplicate(volume);
  if (initialise || db->file->count() == 0) {
    std::int32_t rc = db->file->Begin();
    if (rc == kStoreOk) {
      RecordRequest h;
      h.bytes = EncodeVolumeHeader(1);
      rc = db->file->Append(&h);
      for (std::uint32_t i = 1; rc == kStoreOk && i < kReservedRecords; ++i) {
        RecordRequest e;
        rc = db->file->Append(&e);
      }
      if (rc == kStoreOk) rc = db->file->Commit();
      else db->file->Rollback();
    }
    if (rc != kStoreOk) {
      FreeHandle(db);
      return rc;
    }
  }
  db->cache->enabled = cache_limit != 0;
  db->cache->limit = cache_limit;
  std::int32_t rc = LoadTotals(db);
  if (rc != kStoreOk) {
    FreeHandle(db);
    return rc;
  }
  *out = db;
  return kStoreOk;
}

std::int32_t OpenDatabase(Database** out, const char* name, int create, int start_empty,
                          std::uint32_t creator, std::uint32_t cache_limit, std::uint32_t version1,
                          std::uint32_t version2, const char* volume_path) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  if (name == nullptr || name[0] == 0) return kStoreBadArgument;
  std::string volume = volume_path ? volume_path : platform::os::ProgramDirectory() + "Reader" + ".vol";
  std::unique_ptr<RecordFile> file;
  bool created = false;
  std::int32_t rc = RecordFile::Open(volume, name, create != 0, start_empty != 0, &file, &created);
  if (rc != kStoreOk) return rc;
  return AttachDatabase(std::move(file), name, volume.c_str(), created, cache_limit, out);
}

std::int32_t CloseDatabase(Database** handle) {
  if (handle == nullptr) return kStoreBadArgument;
  if (*handle == nullptr) return kStoreAlreadyClosed;
  Database* db = *handle;
  if (!HasTag(db, kDatabaseTag)) return kStoreBadArgument;
  if (!db->file || !db->file->is_open()) return kStoreAlreadyClosed;
  std::int32_t rc = FlushCache(db);
  db->file->Close();
  FreeHandle(db);
  *handle = nullptr;
  return rc;
}

std::int32_t DeleteDatabase(Database* db) {
  if (!HasTag(db, kDatabaseTag)) return kStoreBadArgument;
  if (!db->file || !db->file->is_open()) return kStoreNotOpen;
  FlushCache(db);
  std::int32_t rc = db->file->DeleteDatabase();
  FreeHandle(db);
  return rc == kStoreOk ? kStoreOk : kStoreDeleteFailed;
}

std::int32_t RemoveDatabase(const char* name, const char* volume_path) {
  if (name == nullptr || name[0] == 0) return kStoreBadArgument;
  std::string volume = volume_path ? volume_path : platform::os::ProgramDirectory() + "Reader" + ".vol";
  std::unique_ptr<RecordFile> file;
  bool created = false;
  std::int32_t rc = RecordFile::Open(volume, name, false, false, &file, &created);
  if (rc != kStoreOk) return rc;
  return file->DeleteDatabase() == kStoreOk ? kStoreOk : kStoreDeleteFailed;
}

std::int32_t SetDatabaseMode(Database* db, std::uint32_t cache_limit) {
  if (!Usable(db)) return kStoreBadArgument;
  std::int32_t rc = FlushCache(db);
  if (rc != kStoreOk) return rc;
  db->cache->limit = cache_limit;
  db->cache->enabled = cache_limit != 0;
  if (cache_limit != 0) return LoadTotals(db);
  return kStoreOk;
}

std::int32_t ReadObject(Database* db, Object* object) {
  if (!Usable(db) || !HasTag(object, kObjectTag) || object->name == nullptr) return kStoreBadArgument;
  ReadBracket bracket(db);
  Entry header;
  std::int32_t rc = FindHeader(db, object->name, &header);
  if (rc == kStoreOk) {
    rc = LoadStoredObject(db, header.record_id, object);
    if (rc != kStoreOk) FreeObject(object);
  }
  std::int32_t end = bracket.End();
  return rc == kStoreOk ? end : rc;
}

std::int32_t WriteObject(Database* db, Object* object, int create, int update, int add, int retype) {
  if (!Usable(db) || !HasTag(object, kObjectTag) || object->name == nullptr) return kStoreBadArgument;
  Entry header;
  std::int32_t rc = FindHeader(db, object->name, &header);
  bool is_new = rc == kStoreObjectNotFound;
  if (rc != kStoreOk && !is_new) return rc;
  if (is_new && !create) return kStoreObjectNotFound;

  Object* stored = nullptr;
  rc = CreateObject(&stored, object->name);
  if (rc != kStoreOk) return rc;
  struct Freer { Object* o; ~Freer() { FreeObject(o); } } freer{stored};

  Transaction tx(db);
  if (tx.begin_status() != kStoreOk) return tx.begin_status();

  // Which of the given properties are new, which replace stored ones.
  std::vector<std::uint32_t> added, replaced_given, replaced_stored;
  std::uint32_t hid = 0;
  if (!is_new) {
    hid = header.record_id;
    rc = LoadStoredObject(db, hid, stored);
    if (rc != kStoreOk) return rc;
  }
  for (std::uint32_t i = 0; i < object->count; ++i) {
    const Property& p = object->properties[i];
    int j = FindProperty(stored, p.name);
    if (j < 0) {
      if (add) added.push_back(i);
    } else if (update && (stored->properties[j].type == p.type || retype)) {
      replaced_given.push_back(i);
      replaced_stored.push_back(static_cast<std::uint32_t>(j));
    }
  }

  std::vector<std::uint32_t> recycled;
  rc = PopRecycled(db, added.size() + (is_new ? 1 : 0), &recycled);
  if (rc != kStoreOk) return rc;
  std::size_t next_recycled = 0;
  if (is_new) {
    if (next_recycled < recycled.size()) {
      hid = recycled[next_recycled++];
    } else {
      RecordRequest r;
      rc = db->file->Append(&r);
      if (rc != kStoreOk) return rc;
      hid = r.id;
    }
  }

  for (std::uint32_t j : replaced_stored) {
    rc = RemoveEntry(db, stored->properties[j], nullptr);
    if (rc != kStoreOk) return rc;
  }
  std::string bytes;
  for (std::size_t n = 0; n < replaced_given.size(); ++n) {
    EncodeProperty(object->properties[replaced_given[n]], hid, &bytes);
    rc = WriteById(db, stored->properties[replaced_stored[n]].record_id, bytes);
    if (rc != kStoreOk) return rc;
  }
  std::vector<std::uint32_t> added_ids;
  for (std::uint32_t i : added) {
    EncodeProperty(object->properties[i], hid, &bytes);
    if (next_recycled < recycled.size()) {
      std::uint32_t id = recycled[next_recycled++];
      rc = WriteById(db, id, bytes);
      added_ids.push_back(id);
    } else {
      RecordRequest r;
      r.bytes = bytes;
      rc = db->file->Append(&r);
      added_ids.push_back(r.id);
    }
    if (rc != kStoreOk) return rc;
  }

  std::vector<std::uint32_t> list;
  for (std::uint32_t j = 0; j < stored->count; ++j) list.push_back(stored->properties[j].record_id);
  list.insert(list.end(), added_ids.begin(), added_ids.end());
  rc = WriteById(db, hid, EncodeHeader(object->name, hid, list));
  if (rc != kStoreOk) return rc;

  for (std::size_t n = 0; n < added.size(); ++n) {
    Property p = object->properties[added[n]];  // shallow: only read
    p.record_id = added_ids[n];
    p.object_id = hid;
    rc = InsertEntry(db, p);
    if (rc != kStoreOk) return rc;
  }
  for (std::size_t n = 0; n < replaced_given.size(); ++n) {
    Property p = object->properties[replaced_given[n]];
    p.record_id = stored->properties[replaced_stored[n]].record_id;
    p.object_id = hid;
    rc = InsertEntry(db, p);
    if (rc != kStoreOk) return rc;
  }
  if (is_new) {
    HeaderProperty h(object->name);
    h.p.record_id = hid;
    h.p.object_id = hid;
    rc = InsertEntry(db, h.p);
    if (rc != kStoreOk) return rc;
  }
  return tx.Commit();
}

std::int32_t DeleteObject(Database* db, Object* object, int mode) {
  if (!Usable(db) || !HasTag(object, kObjectTag) || object->name == nullptr) return kStoreBadArgument;
  Entry header;
  std::int32_t rc = FindHeader(db, object->name, &header);
  if (rc != kStoreOk) return rc;
  std::uint32_t hid = header.record_id;
  Object* stored = nullptr;
  rc = CreateObject(&stored, object->name);
  if (rc != kStoreOk) return rc;
  struct Freer { Object* o; ~Freer() { FreeObject(o); } } freer{stored};

  Transaction tx(db);
  if (tx.begin_status() != kStoreOk) return tx.begin_status();
  rc = LoadStoredObject(db, hid, stored);
  if (rc != kStoreOk) return rc;
  rc = RemoveFromObjectList(db, hid);
  if (rc != kStoreOk) return rc;
  std::vector<std::uint32_t> recycle, kept;
  for (std::uint32_t j = 0; j < stored->count; ++j) {
    const Property& p = stored->properties[j];
    if (mode == 1 && FindProperty(object, p.name) < 0) {
      kept.push_back(p.record_id);
      continue;
    }
    rc = RemoveEntry(db, p, &recycle);
    if (rc != kStoreOk) return rc;
    rc = WriteById(db, p.record_id, std::string());
    if (rc != kStoreOk) return rc;
  }
  if (mode == 1) {
    rc = WriteById(db, hid, EncodeHeader(object->name, hid, kept));
  } else {
    HeaderProperty h(object->name);
    h.p.record_id = hid;
    h.p.object_id = hid;
    rc = RemoveEntry(db, h.p, &recycle);
    if (rc == kStoreOk) rc = WriteById(db, hid, std::string());
  }
  if (rc != kStoreOk) return rc;
  rc = PushRecycled(db, recycle);
  if (rc != kStoreOk) return rc;
  return tx.Commit();
}

}  // namespace store
