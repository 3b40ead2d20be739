#include "inspect.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "block_cache.h"
#include "platform/cedb.h"
#include "platform/os.h"
#include "database.h"
#include "index.h"
#include "recycle_list.h"

namespace store {
namespace {

std::string Format(const char* fmt, unsigned a, unsigned b = 0, unsigned c = 0) {
  char buf[200];
  std::snprintf(buf, sizeof(buf), fmt, a, b, c);
  return buf;
}

}  // namespace

namespace {

// What the index says, gathered once for the checks below.
struct IndexFacts {
  std::vector<Entry> entries;
  std::map<std::uint32_t, std::uint32_t> owner_of;  // record id -> object id, from the entries
  std::vector<std::uint32_t> headers;               // in index order
  std::set<std::uint32_t> listed;                   // property records the headers list
};

void CheckHeaderRecord(Database* db, std::vector<std::string>* problems) {
  RecordRequest h;
  h.number = kHeaderRecord;
  if (db->file->Read(&h) != kStoreOk || h.bytes.size() < kHeaderBytes || h.bytes.compare(0, 4, "IODB") != 0) {
    problems->push_back("record 0 is not a volume header");
  } else {
    std::uint32_t n = Load32(reinterpret_cast<const std::uint8_t*>(h.bytes.data()) + 4);
    if (n < 1 || n > kMaxBlocks) problems->push_back(Format("block count %u outside 1..64", n));
  }
  if (db->file->count() < kReservedRecords)
    problems->push_back(Format("only %u records, fewer than the 67 reserved", db->file->count()));
}

// Block sizes and totals; false when a block cannot be read at all.
bool ReadAllEntries(Database* db, IndexFacts* facts, std::vector<std::string>* problems) {
  std::uint32_t n = BlockCount(db);
  std::uint32_t running = 0;
  for (std::uint32_t b = 0; b < n; ++b) {
    const std::string* bytes = nullptr;
    if (ReadBlock(db, b, &bytes) != kStoreOk) {
      problems->push_back(Format("index block %u cannot be read", b + 1));
      return false;
    }
    if (bytes->size() % kEntryBytes)
      problems->push_back(Format("index block %u has %u bytes, not a multiple of 24", b + 1, unsigned(bytes->size())));
    std::uint32_t count = static_cast<std::uint32_t>(bytes->size() / kEntryBytes);
    if (count == 0 && b + 1 < n) problems->push_back(Format("index block %u is empty before the last", b + 1));
    running += count;
    if (db->totals[b] != running)
      problems->push_back(Format("running total of block %u is %u, entries %u", b + 1, db->totals[b], running));
    for (std::uint32_t i = 0; i < count; ++i)
      facts->entries.push_back(LoadEntry(reinterpret_cast<const std::uint8_t*>(bytes->data()) + i * kEntryBytes));
  }
  return true;
}

// Each entry against its record and its successor; headers first, and no
// two headers of one name (they sort next to each other).
void CheckEntries(Database* db, IndexFacts* facts, std::vector<std::string>* problems) {
  Object* scratch = nullptr;
  CreateObject(&scratch, nullptr);
  bool headers_done = false;
  std::string previous_name;
  const std::vector<Entry>& entries = facts->entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    bool is_header = e.record_id == e.object_id;
    if (is_header && headers_done) problems->push_back(Format("header entry of object %u after property entries", e.object_id));
    if (!is_header) headers_done = true;
    if (is_header) facts->headers.push_back(e.record_id);
    if (!facts->owner_of.emplace(e.record_id, e.object_id).second)
      problems->push_back(Format("record %u is indexed more than once", e.record_id));
    std::string bytes;
    RecordView v;
    if (ReadRecordById(db, e.record_id, &bytes) != kStoreOk ||
        !ParseRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &v)) {
      problems->push_back(Format("indexed record %u cannot be read", e.record_id));
      continue;
    }
    if (v.object_id != e.object_id)
      problems->push_back(Format("record %u belongs to object %u, its entry says %u", e.record_id, v.object_id, e.object_id));
    if (is_header) {
      std::string name(v.name, v.name_length);
      if (facts->headers.size() > 1 && name == previous_name)
        problems->push_back("two objects are named \"" + name + "\"");
      previous_name = name;
    }
    // Rebuild the property to recompute its keys and to compare with the next entry.
    while (scratch->count > 0) RemoveProperty(scratch, scratch->properties[0].name, scratch->properties[0].type);
    if (AddParsedProperty(scratch, v, e.record_id) != kStoreOk) continue;
    Property& p = scratch->properties[0];
    if (std::memcmp(p.key, e.key, sizeof(p.key)) != 0)
      problems->push_back(Format("keys of entry for record %u do not match its record", e.record_id));
    if (i + 1 < entries.size()) {
      SearchKey k{&p, kCompareRecords, false, true};
      int c = 0;
      if (CompareEntry(db, entries[i + 1], k, &c) == kStoreOk && c <= 0)
        problems->push_back(Format("entries %u and %u are out of order", unsigned(i), unsigned(i + 1)));
    }
  }
  FreeObject(scratch);
}

// Each object's properties are indexed once, under that object.
void CheckObjects(Database* db, IndexFacts* facts, std::vector<std::string>* problems) {
  std::size_t property_entries = 0;
  for (std::uint32_t hid : facts->headers) {
    std::string bytes;
    RecordView v;
    if (ReadRecordById(db, hid, &bytes) != kStoreOk ||
        !ParseRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &v) || v.type != 0) {
      problems->push_back(Format("object header %u cannot be read", hid));
      continue;
    }
    for (std::uint32_t i = 0; i < v.count; ++i) {
      std::uint32_t rid = Load32(v.value + 4 * i);
      facts->listed.insert(rid);
      auto it = facts->owner_of.find(rid);
      if (it == facts->owner_of.end()) problems->push_back(Format("property record %u of object %u is not indexed", rid, hid));
      else if (it->second != hid) problems->push_back(Format("property record %u of object %u is indexed under %u", rid, hid, it->second));
      ++property_entries;
    }
  }
  if (facts->headers.size() + property_entries != facts->entries.size())
    problems->push_back(Format("%u entries, but %u objects with %u properties", unsigned(facts->entries.size()),
                               unsigned(facts->headers.size()), unsigned(property_entries)));
}

// The two lists, and every record past the reserved ones accounted for.
void CheckLists(Database* db, const IndexFacts& facts, std::vector<std::string>* problems) {
  RecordRequest list;
  list.number = kObjectListRecord;
  if (db->file->Read(&list) == kStoreOk) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(list.bytes.data());
    for (std::size_t i = 4; i + 4 <= list.bytes.size(); i += 4)
      if (Load32(p + i - 4) >= Load32(p + i)) problems->push_back("object list is not ascending");
  }
  std::set<std::uint32_t> recycled;
  RecordRequest recycle;
  recycle.number = kRecycleRecord;
  if (db->file->Read(&recycle) == kStoreOk) {
    if (recycle.bytes.size() % 4 || recycle.bytes.size() >= 4 * kPurgeAt)
      problems->push_back(Format("recycle list has %u bytes", unsigned(recycle.bytes.size())));
    const auto* p = reinterpret_cast<const std::uint8_t*>(recycle.bytes.data());
    for (std::size_t i = 0; i + 4 <= recycle.bytes.size(); i += 4) {
      std::uint32_t id = Load32(p + i);
      if (facts.owner_of.count(id)) problems->push_back(Format("recycled record %u is still indexed", id));
      if (!recycled.insert(id).second) problems->push_back(Format("record %u is recycled twice", id));
    }
  }
  for (std::uint32_t number = kReservedRecords; number < db->file->count(); ++number) {
    std::uint32_t id = 0;
    if (db->file->IdAt(number, &id) != kStoreOk) {
      problems->push_back(Format("record %u cannot be found", number));
      continue;
    }
    if (!facts.owner_of.count(id) && !facts.listed.count(id) && !recycled.count(id))
      problems->push_back(Format("record %u (number %u) is orphaned: not indexed, listed or recycled", id, number));
  }
}

}  // namespace

StoreCode CheckDatabase(Database* db, std::vector<std::string>* problems) {
  if (!HasTag(db, kDatabaseTag) || !db->file) return kStoreBadArgument;
  problems->clear();
  Bracket bracket(db, BracketKind::kRead);
  if (bracket.status() != kStoreOk) return bracket.status();
  std::string why;
  if (!CheckInvariants(db, &why)) problems->push_back("handle: " + why);
  CheckHeaderRecord(db, problems);
  IndexFacts facts;
  if (ReadAllEntries(db, &facts, problems)) {
    CheckEntries(db, &facts, problems);
    CheckObjects(db, &facts, problems);
    CheckLists(db, facts, problems);
  }
  return bracket.Commit();
}

StoreCode DescribeDatabase(Database* db, std::string* out) {
  ResultSet* all = nullptr;
  StoreCode rc = ListObjects(db, &all, 0);
  if (rc != kStoreOk) return rc;
  char line[400];
  Object* o = nullptr;
  for (rc = FirstResult(all, &o); rc == kStoreOk; rc = NextResult(all, &o)) {
    std::snprintf(line, sizeof(line), "object %u \"%s\" (%u properties)\n", all->ids[all->cursor],
                  o->name ? o->name : "", o->count);
    *out += line;
    for (std::uint32_t i = 0; i < o->count; ++i) {
      const Property& p = o->properties[i];
      std::string value;
      switch (TypeClass(p.type)) {
        case 0: value = std::to_string(p.value.list.count) + " identifiers"; break;
        case 1: value = std::to_string(p.value.integer); break;
        case 2: std::snprintf(line, sizeof(line), "%.17g", p.value.real); value = line; break;
        case 3: value = std::string("\"") + p.value.text + "\""; break;
        case 4: {
          value = "u\"";
          for (std::size_t k = 0; p.value.text16[k]; ++k)
            value += p.value.text16[k] < 128 ? char(p.value.text16[k]) : '?';
          value += "\"";
          break;
        }
        default: {
          value = std::to_string(p.value.binary.length) + " bytes";
          for (std::uint32_t k = 0; k < p.value.binary.length && k < 16; ++k) {
            std::snprintf(line, sizeof(line), " %02X", p.value.binary.bytes[k]);
            value += line;
          }
          if (p.value.binary.length > 16) value += " ...";
        }
      }
      std::snprintf(line, sizeof(line), "  %-20s type %-5u %s\n", p.name, p.type, value.substr(0, 300).c_str());
      *out += line;
    }
    FreeObject(o);
  }
  FreeResult(all);
  return rc == kStoreNoMoreResults ? kStoreOk : rc;
}

std::vector<std::string> VolumeDatabaseNames(const std::string& volume, bool* mounted) {
  std::vector<std::string> names;
  CEGUID guid;
  CREATE_INVALIDGUID(&guid);
  std::u16string path = platform::os::Utf8ToUtf16(volume);
  *mounted = CeMountDBVol(&guid, reinterpret_cast<LPCWSTR>(path.c_str()), OPEN_EXISTING) != FALSE;
  if (!*mounted) return names;
  HANDLE list = CeFindFirstDatabaseEx(&guid, 0);
  for (CEOID oid; list != INVALID_HANDLE_VALUE && (oid = CeFindNextDatabaseEx(list, &guid)) != 0;) {
    CEOIDINFOEX info;
    std::memset(&info, 0, sizeof(info));
    info.wVersion = CEOIDINFOEX_VERSION;
    if (!CeOidGetInfoEx2(&guid, oid, &info) || info.wObjType != OBJTYPE_DATABASE) continue;
    std::u16string name;
    for (int i = 0; i < CEDB_MAXDBASENAMELEN && info.infDatabase.szDbaseName[i]; ++i)
      name += static_cast<char16_t>(info.infDatabase.szDbaseName[i]);
    names.push_back(platform::os::Utf16ToUtf8(name));
  }
  if (list != INVALID_HANDLE_VALUE) CeCloseDatabase(list);
  CeUnmountDBVol(&guid);
  return names;
}

void CheckVolume(const std::string& volume, bool* mounted, std::vector<std::string>* problems) {
  for (const std::string& name : VolumeDatabaseNames(volume, mounted)) {
    Database* db = nullptr;
    StoreCode rc = OpenDatabase(&db, name.c_str(), 0, 0, kCreatorPyra, 0, kVersionMajor, kVersionMinor, volume.c_str());
    if (rc != kStoreOk) {
      problems->push_back("database \"" + name + "\": cannot open (" + std::to_string(rc) + ")");
      continue;
    }
    std::vector<std::string> found;
    rc = CheckDatabase(db, &found);
    if (rc != kStoreOk) found.push_back("check failed with " + std::to_string(rc));
    for (const std::string& f : found) problems->push_back("database \"" + name + "\": " + f);
    CloseDatabase(&db);
  }
}

}  // namespace store
