// The recycle list (record 65): identifiers of records that belong to no
// object any more. Deleting a record renumbers every later one, so deleted
// records are reused first and only purged, all at once, when the list
// reaches 16000 identifiers.

#include "database.h"

namespace store {
namespace {

constexpr std::size_t kPurgeAt = 16000;

std::int32_t ReadList(Database* db, RecordRequest* r) {
  r->number = kRecycleRecord;
  std::int32_t rc = db->file->Read(r);
  if (rc != kStoreOk) return rc;
  r->bytes.resize(r->bytes.size() / 4 * 4);
  return kStoreOk;
}

}  // namespace

std::int32_t PushRecycled(Database* db, const std::vector<std::uint32_t>& ids) {
  if (ids.empty()) return kStoreOk;
  RecordRequest r;
  std::int32_t rc = ReadList(db, &r);
  if (rc != kStoreOk) return rc;
  for (std::uint32_t id : ids) {
    std::uint8_t b[4];
    Store32(b, id);
    r.bytes.append(reinterpret_cast<const char*>(b), 4);
    if (r.bytes.size() / 4 >= kPurgeAt) {
      std::vector<RecordRequest> doomed(r.bytes.size() / 4);
      const auto* p = reinterpret_cast<const std::uint8_t*>(r.bytes.data());
      for (std::size_t i = 0; i < doomed.size(); ++i) {
        doomed[i].id = Load32(p + 4 * i);
        doomed[i].number = kNoNumber;
      }
      rc = db->file->DeleteRecords(&doomed);
      if (rc != kStoreOk) return rc;
      r.bytes.clear();
    }
  }
  r.number = kRecycleRecord;
  return db->file->Write(&r);
}

std::int32_t PopRecycled(Database* db, std::size_t want, std::vector<std::uint32_t>* ids) {
  ids->clear();
  if (want == 0) return kStoreOk;
  RecordRequest r;
  std::int32_t rc = ReadList(db, &r);
  if (rc != kStoreOk) return rc;
  std::size_t have = r.bytes.size() / 4;
  if (have == 0) return kStoreOk;
  const auto* p = reinterpret_cast<const std::uint8_t*>(r.bytes.data());
  while (ids->size() < want && have > 0) ids->push_back(Load32(p + 4 * --have));
  r.bytes.resize(have * 4);
  r.number = kRecycleRecord;
  return db->file->Write(&r);
}

}  // namespace store
