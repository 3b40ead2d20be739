#include "recycle_list.h"

#include "database.h"

namespace store {
namespace {

StoreCode ReadList(Database* db, RecordRequest* r) {
  r->number = kRecycleRecord;
  StoreCode rc = db->file->Read(r);
  if (rc != kStoreOk) return rc;
  r->bytes.resize(r->bytes.size() / 4 * 4);
  return kStoreOk;
}

StoreCode Purge(Database* db, const std::string& list) {
  std::vector<RecordRequest> doomed(list.size() / 4);
  const auto* p = reinterpret_cast<const std::uint8_t*>(list.data());
  for (std::size_t i = 0; i < doomed.size(); ++i) {
    doomed[i].id = Load32(p + 4 * i);
    doomed[i].number = kNoNumber;
  }
  return db->file->DeleteRecords(&doomed);
}

}  // namespace

StoreCode PushRecycled(Database* db, const std::vector<std::uint32_t>& ids) {
  if (ids.empty()) return kStoreOk;
  RecordRequest r;
  StoreCode rc = ReadList(db, &r);
  if (rc != kStoreOk) return rc;
  for (std::uint32_t id : ids) {
    std::uint8_t b[4];
    Store32(b, id);
    r.bytes.append(reinterpret_cast<const char*>(b), 4);
    if (r.bytes.size() / 4 >= kPurgeAt) {
      rc = Purge(db, r.bytes);
      if (rc != kStoreOk) return rc;
      r.bytes.clear();
    }
  }
  r.number = kRecycleRecord;
  return db->file->Write(&r);
}

StoreCode PopRecycled(Database* db, std::size_t want, std::vector<std::uint32_t>* ids) {
  ids->clear();
  if (want == 0) return kStoreOk;
  RecordRequest r;
  StoreCode rc = ReadList(db, &r);
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
