// The database layer: opening databases and writing, reading and deleting
// objects over the property index.
//
// Every operation holds one bracket on its database (database.h): a read
// sees one state of the volume, and the records and index blocks a write
// changes are committed together, so a stored object is always wholly old
// or wholly new, also after a crash and with the block cache on.

#include "database.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "block_cache.h"
#include "index.h"
#include "platform/os.h"
#include "recycle_list.h"

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
  delete db->ties;
  std::free(db->name);
  std::free(db->volume);
  std::memset(db->tag, 0, 4);
  delete db;
}

bool Usable(Database* db) { return HasTag(db, kDatabaseTag) && db->file && db->file->is_open(); }

std::string DefaultVolume() { return platform::os::ProgramDirectory() + "Reader" + ".vol"; }

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

// The index entry of the object's header: kStoreObjectNotFound when there
// is none, any other failure as it came.
StoreCode FindHeader(Database* db, const char* name, Entry* entry) {
  HeaderProperty h(name);
  if (!h.ok()) return kStoreNoMemory;
  SearchKey k{&h.p, kCompareRecords, false, false};
  Position pos;
  StoreCode rc = Search(db, k, false, &pos);
  if (rc != kStoreOk) return rc;
  if (!pos.found) return kStoreObjectNotFound;
  *entry = pos.entry;
  return kStoreOk;
}

std::string EncodeHeader(const char* name, std::uint32_t hid, const std::vector<std::uint32_t>& ids) {
  HeaderProperty h(name);
  AssignValue(&h.p, kTypeIdList, ids.data(), static_cast<std::uint32_t>(ids.size()));
  std::string out;
  EncodeProperty(h.p, hid, &out);
  return out;
}

// Removes `id` from the ascending object list, when present.
StoreCode RemoveFromObjectList(Database* db, std::uint32_t id) {
  RecordRequest r;
  r.number = kObjectListRecord;
  StoreCode rc = db->file->Read(&r);
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

StoreCode InitialiseRecords(RecordFile* file) {
  RecordRequest h;
  h.bytes = EncodeVolumeHeader(1);
  StoreCode rc = file->Append(&h);
  for (std::uint32_t i = 1; rc == kStoreOk && i < kReservedRecords; ++i) {
    RecordRequest e;
    rc = file->Append(&e);
  }
  return rc;
}

}  // namespace

// ---- Bracket -------------------------------------------------------------------

Bracket::Bracket(Database* db, BracketKind kind) : db_(db), kind_(kind) {
  status_ = db->file->Begin(kind);
  if (status_ != kStoreOk) return;
  open_ = true;
  if (db->file->depth() > 1) return;  // the outer bracket brought the copies up to date
  std::uint64_t stamp = 0;
  status_ = db->file->Stamp(&stamp);
  if (status_ == kStoreOk && stamp != db->stamp) {
    status_ = Reload(db);
    if (status_ == kStoreOk) db->stamp = stamp;
  }
  if (status_ != kStoreOk) Abandon();
}

Bracket::~Bracket() {
  if (open_) Abandon();
}

void Bracket::Abandon() {
  open_ = false;
  if (kind_ == BracketKind::kRead) {
    db_->file->Commit();  // a read bracket has nothing to undo
    return;
  }
  db_->file->Rollback();
  MarkStale(db_);
}

StoreCode Bracket::Commit() {
  if (!open_) return status_ != kStoreOk ? status_ : kStoreNotOpen;
  if (kind_ == BracketKind::kRead || db_->file->depth() > 1) {
    open_ = false;
    return db_->file->Commit();
  }
  // The stamp is taken inside the bracket: it covers this operation's own
  // writes and nobody else's, so they need no reload.
  std::uint64_t stamp = 0;
  StoreCode rc = FlushCache(db_);
  if (rc == kStoreOk) rc = db_->file->Stamp(&stamp);
  if (rc != kStoreOk) {
    Abandon();
    return rc;
  }
  assert(CheckInvariants(db_));
  open_ = false;
  rc = db_->file->Commit();
  if (rc != kStoreOk) {
    MarkStale(db_);
    return rc;
  }
  db_->stamp = stamp;
  return kStoreOk;
}

void MarkStale(Database* db) {
  db->stamp = 0;
  DropCache(db);
  db->ties->Clear();
}

StoreCode Reload(Database* db) {
  db->file->Reload();
  DropCache(db);
  db->ties->Clear();
  RecordRequest h;
  h.number = kHeaderRecord;
  StoreCode rc = db->file->Read(&h);
  if (rc != kStoreOk) return rc;
  std::memset(db->header, 0, kHeaderBytes);
  std::memcpy(db->header, h.bytes.data(), std::min<std::size_t>(h.bytes.size(), kHeaderBytes));
  std::memset(db->totals, 0, sizeof(db->totals));
  std::uint32_t n = BlockCount(db);
  std::uint32_t total = 0;
  for (std::uint32_t b = 0; b < n; ++b) {
    const std::string* bytes = nullptr;
    rc = ReadBlock(db, b, &bytes);
    if (rc != kStoreOk) return rc;
    total += static_cast<std::uint32_t>(bytes->size() / kEntryBytes);
    db->totals[b] = total;
  }
  for (std::uint32_t b = n; b < kMaxBlocks; ++b) db->totals[b] = total;
  return kStoreOk;
}

bool CheckInvariants(const Database* db, std::string* why) {
  auto fail = [&](const char* what) {
    if (why) *why = what;
    return false;
  };
  std::uint32_t n = BlockCount(db);
  for (std::uint32_t b = 1; b < kMaxBlocks; ++b)
    if (db->totals[b] < db->totals[b - 1]) return fail("totals decrease");
  for (std::uint32_t b = n; b < kMaxBlocks; ++b)
    if (db->totals[b] != db->totals[n - 1]) return fail("totals change past the last block");
  for (std::uint32_t b = 0; b < kMaxBlocks; ++b) {
    const BlockCache::Slot& slot = db->cache->slots[b];
    if (slot.changed) return fail("a changed block was not written back");
    if (slot.loaded && b < n && slot.bytes.size() / kEntryBytes != BlockEntries(db, b))
      return fail("totals disagree with a cached block");
  }
  return true;
}

// ---- Records of objects ------------------------------------------------------

StoreCode ReadRecordById(Database* db, std::uint32_t id, std::string* bytes) {
  RecordRequest r;
  r.id = id;
  StoreCode rc = db->file->Read(&r);
  if (rc != kStoreOk) return rc;
  *bytes = std::move(r.bytes);
  return kStoreOk;
}

StoreCode WriteRecordById(Database* db, std::uint32_t id, std::string bytes) {
  db->ties->Forget(id);
  RecordRequest r;
  r.id = id;
  r.bytes = std::move(bytes);
  return db->file->Write(&r);
}

StoreCode LoadStoredObject(Database* db, std::uint32_t id, Object* object) {
  // Records are parsed where the platform read them: each value is copied
  // once, into the object.
  const char* data = nullptr;
  std::size_t size = 0;
  StoreCode rc = db->file->View(id, &data, &size);
  if (rc != kStoreOk) return rc;
  RecordView hv;
  if (!ParseRecord(reinterpret_cast<const std::uint8_t*>(data), size, &hv) || hv.type != kTypeIdList)
    return kStoreReadFailed;
  std::string name(hv.name, hv.name_length);
  rc = SetObjectName(object, name.c_str());
  if (rc != kStoreOk) return rc;
  object->owner_id = id;
  std::vector<std::uint32_t> ids(hv.count);
  for (std::uint32_t i = 0; i < hv.count; ++i) ids[i] = Load32(hv.value + 4 * i);
  for (std::uint32_t rid : ids) {
    rc = db->file->View(rid, &data, &size);
    if (rc != kStoreOk) return rc;
    RecordView v;
    if (!ParseRecord(reinterpret_cast<const std::uint8_t*>(data), size, &v)) return kStoreReadFailed;
    rc = AddParsedProperty(object, v, rid);
    if (rc != kStoreOk) return rc;
  }
  return kStoreOk;
}

// ---- Opening and closing ------------------------------------------------------

StoreCode AttachDatabase(std::unique_ptr<RecordFile> file, const char* name, const char* volume,
                         bool initialise, std::uint32_t cache_limit, Database** out) {
  *out = nullptr;
  Database* db = new Database();
  std::memcpy(db->tag, kDatabaseTag, 4);
  db->file = file.release();
  db->cache = new BlockCache();
  db->ties = new TieRecords();
  db->stamp = 0;
  db->name = Duplicate(name);
  db->volume = Duplicate(volume);
  db->cache->enabled = cache_limit != 0;
  db->cache->limit = cache_limit;
  // The file may come inside the opener's bracket; either way, setting up
  // is one step.
  StoreCode rc = db->file->depth() > 0 ? kStoreOk : db->file->Begin(BracketKind::kWrite);
  if (rc == kStoreOk && (initialise || db->file->count() == 0)) rc = InitialiseRecords(db->file);
  std::uint64_t stamp = 0;
  if (rc == kStoreOk) rc = Reload(db);
  if (rc == kStoreOk) rc = db->file->Stamp(&stamp);
  if (rc == kStoreOk) {
    rc = db->file->Commit();
  } else {
    db->file->Rollback();
  }
  if (rc != kStoreOk) {
    FreeHandle(db);
    return rc;
  }
  db->stamp = stamp;
  assert(CheckInvariants(db));
  *out = db;
  return kStoreOk;
}

StoreCode OpenDatabase(Database** out, const char* name, int create, int start_empty,
                       std::uint32_t creator, std::uint32_t cache_limit, std::uint32_t version1,
                       std::uint32_t version2, const char* volume_path) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  if (name == nullptr || name[0] == 0) return kStoreBadArgument;
  std::string volume = volume_path ? volume_path : DefaultVolume();
  std::unique_ptr<RecordFile> file;
  bool created = false;
  StoreCode rc = RecordFile::Open(volume, name, create != 0, start_empty != 0, &file, &created);
  if (rc != kStoreOk) return rc;
  return AttachDatabase(std::move(file), name, volume.c_str(), created, cache_limit, out);
}

StoreCode CloseDatabase(Database** handle) {
  if (handle == nullptr) return kStoreBadArgument;
  if (*handle == nullptr) return kStoreAlreadyClosed;
  Database* db = *handle;
  if (!HasTag(db, kDatabaseTag)) return kStoreBadArgument;
  if (!db->file || !db->file->is_open()) return kStoreAlreadyClosed;
  db->file->Close();
  FreeHandle(db);
  *handle = nullptr;
  return kStoreOk;
}

StoreCode DeleteDatabase(Database* db) {
  if (!HasTag(db, kDatabaseTag)) return kStoreBadArgument;
  if (!db->file || !db->file->is_open()) return kStoreNotOpen;
  StoreCode rc = db->file->DeleteDatabase();
  FreeHandle(db);
  return rc == kStoreOk ? kStoreOk : kStoreDeleteFailed;
}

StoreCode RemoveDatabase(const char* name, const char* volume_path) {
  if (name == nullptr || name[0] == 0) return kStoreBadArgument;
  std::string volume = volume_path ? volume_path : DefaultVolume();
  std::unique_ptr<RecordFile> file;
  bool created = false;
  StoreCode rc = RecordFile::Open(volume, name, false, false, &file, &created);
  if (rc != kStoreOk) return rc;
  file->Commit();
  return file->DeleteDatabase() == kStoreOk ? kStoreOk : kStoreDeleteFailed;
}

StoreCode SetDatabaseMode(Database* db, std::uint32_t cache_limit) {
  if (!Usable(db)) return kStoreBadArgument;
  // Between operations no block is waiting to be written: only the rule
  // for the next operations changes.
  db->cache->limit = cache_limit;
  db->cache->enabled = cache_limit != 0;
  return kStoreOk;
}

// ---- Objects ----------------------------------------------------------------

StoreCode ReadObject(Database* db, Object* object) {
  if (!Usable(db) || !HasTag(object, kObjectTag) || object->name == nullptr) return kStoreBadArgument;
  Bracket bracket(db, BracketKind::kRead);
  StoreCode rc = bracket.status();
  Entry header;
  if (rc == kStoreOk) rc = FindHeader(db, object->name, &header);
  if (rc == kStoreOk) rc = LoadStoredObject(db, header.record_id, object);
  StoreCode end = bracket.Commit();
  if (rc == kStoreOk) rc = end;
  // A missing object is the caller's still; one that failed to load is freed.
  if (rc != kStoreOk && rc != kStoreObjectNotFound) FreeObject(object);
  return rc;
}

namespace {

// Which of the given properties are new and which replace stored ones.
struct WritePlan {
  std::vector<std::uint32_t> added;           // indices into the given object
  std::vector<std::uint32_t> replaced_given;  // indices into the given object
  std::vector<std::uint32_t> replaced_stored; // the matching indices into the stored object
};

WritePlan PlanWrite(const Object* given, const Object* stored, int update, int add, int retype) {
  WritePlan plan;
  for (std::uint32_t i = 0; i < given->count; ++i) {
    const Property& p = given->properties[i];
    int j = FindProperty(stored, p.name);
    if (j < 0) {
      if (add) plan.added.push_back(i);
    } else if (update && (stored->properties[j].type == p.type || retype)) {
      plan.replaced_given.push_back(i);
      plan.replaced_stored.push_back(static_cast<std::uint32_t>(j));
    }
  }
  return plan;
}

// Takes a recycled record identifier, or appends a record (with `bytes`).
StoreCode PlaceRecord(Database* db, const std::vector<std::uint32_t>& recycled, std::size_t* next,
                      std::string bytes, std::uint32_t* id) {
  if (*next < recycled.size()) {
    *id = recycled[(*next)++];
    return WriteRecordById(db, *id, std::move(bytes));
  }
  RecordRequest r;
  r.bytes = std::move(bytes);
  StoreCode rc = db->file->Append(&r);
  *id = r.id;
  return rc;
}

StoreCode IndexAs(Database* db, const Property& given, std::uint32_t record_id, std::uint32_t object_id) {
  Property p = given;  // shallow: only read
  p.record_id = record_id;
  p.object_id = object_id;
  return InsertEntry(db, p);
}

// The steps of WriteObject after the lookup, inside its bracket.
StoreCode WriteFound(Database* db, Object* object, bool is_new, std::uint32_t hid, int update, int add,
                     int retype) {
  Object* stored = nullptr;
  StoreCode rc = CreateObject(&stored, object->name);
  if (rc != kStoreOk) return rc;
  struct Freer { Object* o; ~Freer() { FreeObject(o); } } freer{stored};
  if (!is_new) {
    rc = LoadStoredObject(db, hid, stored);
    if (rc != kStoreOk) return rc;
  }
  WritePlan plan = PlanWrite(object, stored, update, add, retype);
  std::vector<std::uint32_t> recycled;
  rc = PopRecycled(db, plan.added.size() + (is_new ? 1 : 0), &recycled);
  if (rc != kStoreOk) return rc;
  std::size_t next = 0;
  if (is_new) {
    rc = PlaceRecord(db, recycled, &next, std::string(), &hid);
    if (rc != kStoreOk) return rc;
  }
  for (std::uint32_t j : plan.replaced_stored) {
    rc = RemoveEntry(db, stored->properties[j], nullptr);
    if (rc != kStoreOk) return rc;
  }
  std::string bytes;
  for (std::size_t n = 0; n < plan.replaced_given.size(); ++n) {
    EncodeProperty(object->properties[plan.replaced_given[n]], hid, &bytes);
    rc = WriteRecordById(db, stored->properties[plan.replaced_stored[n]].record_id, std::move(bytes));
    if (rc != kStoreOk) return rc;
  }
  std::vector<std::uint32_t> added_ids(plan.added.size());
  for (std::size_t n = 0; n < plan.added.size(); ++n) {
    EncodeProperty(object->properties[plan.added[n]], hid, &bytes);
    rc = PlaceRecord(db, recycled, &next, std::move(bytes), &added_ids[n]);
    if (rc != kStoreOk) return rc;
  }
  std::vector<std::uint32_t> list;
  for (std::uint32_t j = 0; j < stored->count; ++j) list.push_back(stored->properties[j].record_id);
  list.insert(list.end(), added_ids.begin(), added_ids.end());
  rc = WriteRecordById(db, hid, EncodeHeader(object->name, hid, list));
  if (rc != kStoreOk) return rc;
  for (std::size_t n = 0; n < plan.added.size(); ++n) {
    rc = IndexAs(db, object->properties[plan.added[n]], added_ids[n], hid);
    if (rc != kStoreOk) return rc;
  }
  for (std::size_t n = 0; n < plan.replaced_given.size(); ++n) {
    rc = IndexAs(db, object->properties[plan.replaced_given[n]],
                 stored->properties[plan.replaced_stored[n]].record_id, hid);
    if (rc != kStoreOk) return rc;
  }
  if (!is_new) return kStoreOk;
  HeaderProperty h(object->name);
  return IndexAs(db, h.p, hid, hid);
}

// The steps of DeleteObject after the lookup, inside its bracket.
StoreCode DeleteFound(Database* db, Object* object, std::uint32_t hid, int mode) {
  Object* stored = nullptr;
  StoreCode rc = CreateObject(&stored, object->name);
  if (rc != kStoreOk) return rc;
  struct Freer { Object* o; ~Freer() { FreeObject(o); } } freer{stored};
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
    rc = WriteRecordById(db, p.record_id, std::string());
    if (rc != kStoreOk) return rc;
  }
  if (mode == 1) {
    rc = WriteRecordById(db, hid, EncodeHeader(object->name, hid, kept));
  } else {
    HeaderProperty h(object->name);
    h.p.record_id = hid;
    h.p.object_id = hid;
    rc = RemoveEntry(db, h.p, &recycle);
    if (rc == kStoreOk) rc = WriteRecordById(db, hid, std::string());
  }
  if (rc != kStoreOk) return rc;
  return PushRecycled(db, recycle);
}

// Identifier lists are the store's own, for object headers: one among an
// object's properties would sort with the headers, hide the objects after it
// from listings and, named like an object, stand in for that object's header.
bool HoldsIdentifierList(const Object* object) {
  for (std::uint32_t i = 0; i < object->count; ++i)
    if (object->properties[i].type == kTypeIdList) return true;
  return false;
}

}  // namespace

StoreCode WriteObject(Database* db, Object* object, int create, int update, int add, int retype) {
  if (!Usable(db) || !HasTag(object, kObjectTag) || object->name == nullptr) return kStoreBadArgument;
  if (HoldsIdentifierList(object)) return kStoreBadArgument;
  // The lookup is inside the bracket: nobody can add the name in between.
  Bracket bracket(db, BracketKind::kWrite);
  if (bracket.status() != kStoreOk) return bracket.status();
  Entry header;
  StoreCode rc = FindHeader(db, object->name, &header);
  bool is_new = rc == kStoreObjectNotFound;
  if (rc != kStoreOk && !is_new) return rc;
  if (is_new && !create) {
    bracket.Commit();  // nothing written: nothing to undo
    return kStoreObjectNotFound;
  }
  rc = WriteFound(db, object, is_new, is_new ? 0 : header.record_id, update, add, retype);
  if (rc != kStoreOk) return rc;
  return bracket.Commit();
}

StoreCode DeleteObject(Database* db, Object* object, int mode) {
  if (!Usable(db) || !HasTag(object, kObjectTag) || object->name == nullptr) return kStoreBadArgument;
  Bracket bracket(db, BracketKind::kWrite);
  if (bracket.status() != kStoreOk) return bracket.status();
  Entry header;
  StoreCode rc = FindHeader(db, object->name, &header);
  if (rc == kStoreObjectNotFound) bracket.Commit();  // nothing written: nothing to undo
  if (rc != kStoreOk) return rc;
  rc = DeleteFound(db, object, header.record_id, mode);
  if (rc != kStoreOk) return rc;
  return bracket.Commit();
}

}  // namespace store
