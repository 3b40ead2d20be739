#include "record_file.h"

#include <algorithm>

#include "record_format.h"
#include "store/store.h"

namespace store {

MemoryBackend::Record* MemoryBackend::Find(std::uint32_t id) {
  auto it = records_.find(id);
  return it == records_.end() ? nullptr : &it->second;
}

std::size_t MemoryBackend::PositionOf(std::uint32_t number) const {
  std::size_t lo = 0, hi = order_.size();
  while (lo < hi) {
    std::size_t mid = (lo + hi) / 2;
    if (records_.at(order_[mid]).number < number) lo = mid + 1; else hi = mid;
  }
  return lo;
}

std::int32_t MemoryBackend::ReadByNumber(std::uint32_t number, std::uint32_t* id, std::string* bytes) {
  if (number >= order_.size()) return kStoreRecordNotFound;
  *id = order_[number];
  *bytes = records_[*id].bytes;
  return kStoreOk;
}

std::int32_t MemoryBackend::ReadById(std::uint32_t id, std::uint32_t* number, std::string* bytes) {
  Record* r = Find(id);
  if (r == nullptr) return kStoreRecordNotFound;
  *number = r->number;
  *bytes = r->bytes;
  return kStoreOk;
}

std::int32_t MemoryBackend::Write(std::uint32_t id, std::uint32_t number, const std::string& bytes,
                                  std::uint32_t* new_id) {
  if (id == 0) {
    id = next_id_++;
    std::size_t at = PositionOf(number);
    records_[id] = Record{number, bytes};
    order_.insert(order_.begin() + at, id);
    if (new_id) *new_id = id;
    return kStoreOk;
  }
  Record* r = Find(id);
  if (r == nullptr) return kStoreWriteFailed;
  if (r->number != number) {
    std::size_t at = PositionOf(r->number);
    order_.erase(order_.begin() + at);
    r->number = number;
    order_.insert(order_.begin() + PositionOf(number), id);
  }
  r->bytes = bytes;
  if (new_id) *new_id = id;
  return kStoreOk;
}

std::int32_t MemoryBackend::Delete(std::uint32_t id) {
  Record* r = Find(id);
  if (r == nullptr) return kStoreRecordDeleteFailed;
  order_.erase(order_.begin() + PositionOf(r->number));
  records_.erase(id);
  return kStoreOk;
}

RecordFile::RecordFile(std::unique_ptr<RecordBackend> backend) : backend_(std::move(backend)) {
  count_ = backend_ ? backend_->Count() : 0;
}

std::int32_t RecordFile::Read(RecordRequest* r) {
  if (!backend_) return kStoreNotOpen;
  if (r->number != kNoNumber) {
    if (r->number >= count_) return kStoreRecordNotFound;
    std::uint32_t id = 0;
    std::int32_t rc = backend_->ReadByNumber(r->number, &id, &r->bytes);
    if (rc == kStoreRecordNotFound) return kStoreRecordNotFound;
    if (rc != kStoreOk) return kStoreReadFailed;
    r->id = id;
    return kStoreOk;
  }
  if (r->id == kNoNumber) return kStoreBadArgument;
  std::uint32_t number = 0;
  std::int32_t rc = backend_->ReadById(r->id, &number, &r->bytes);
  if (rc == kStoreRecordNotFound) return kStoreRecordNotFound;
  if (rc != kStoreOk) return kStoreReadFailed;
  r->number = number;
  return kStoreOk;
}

std::int32_t RecordFile::Write(RecordRequest* r) {
  if (!backend_) return kStoreNotOpen;
  if (r->bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
  if (r->number == kNoNumber && r->id == kNoNumber) return kStoreBadArgument;
  if (r->number == kNoNumber || r->id == kNoNumber) {
    RecordRequest probe;
    probe.number = r->number;
    probe.id = r->id;
    if (Read(&probe) != kStoreOk) return kStoreRecordNotFound;
    r->number = probe.number;
    r->id = probe.id;
  }
  std::uint32_t id = 0;
  if (backend_->Write(r->id, r->number, r->bytes, &id) != kStoreOk) return kStoreWriteFailed;
  return kStoreOk;
}

std::int32_t RecordFile::Append(RecordRequest* r) {
  if (!backend_) return kStoreNotOpen;
  if (r->bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
  if (count_ + 1 >= 65536) return kStoreAppendFailed;
  std::uint32_t id = 0;
  if (backend_->Write(0, count_, r->bytes, &id) != kStoreOk) return kStoreAppendFailed;
  r->number = count_;
  r->id = id;
  ++count_;
  return kStoreOk;
}

std::int32_t RecordFile::DeleteRecords(std::vector<RecordRequest>* requests) {
  if (!backend_) return kStoreNotOpen;
  if (requests->empty() || requests->size() >= 65535) return kStoreBadArgument;
  if (requests->size() > count_) return kStoreRecordDeleteFailed;
  for (RecordRequest& r : *requests) {
    r.bytes.clear();
    if (Read(&r) != kStoreOk) return kStoreRecordDeleteFailed;
    r.bytes.clear();
  }
  std::sort(requests->begin(), requests->end(),
            [](const RecordRequest& a, const RecordRequest& b) { return a.number < b.number; });
  std::uint32_t deleted = 0;
  std::size_t next = 0;
  std::uint32_t n = count_;
  for (std::uint32_t number = (*requests)[0].number; number < n; ++number) {
    // Duplicated requests name one record once.
    while (next < requests->size() && (*requests)[next].number < number) ++next;
    if (next < requests->size() && (*requests)[next].number == number) {
      if (backend_->Delete((*requests)[next].id) != kStoreOk) return kStoreRecordDeleteFailed;
      ++deleted;
      while (next < requests->size() && (*requests)[next].number == number) ++next;
      continue;
    }
    // Reading by position is stable while we walk: each deleted record
    // before `number` has shifted the positions down by one.
    std::uint32_t id = 0;
    std::string bytes;
    if (backend_->ReadByNumber(number - deleted, &id, &bytes) != kStoreOk) return kStoreRecordDeleteFailed;
    if (backend_->Write(id, number - deleted, bytes, nullptr) != kStoreOk) return kStoreRecordDeleteFailed;
  }
  count_ -= deleted;
  return kStoreOk;
}

std::int32_t RecordFile::Begin() {
  if (!backend_) return kStoreNotOpen;
  if (depth_++ == 0) return backend_->Begin();
  return kStoreOk;
}

std::int32_t RecordFile::Commit() {
  if (!backend_ || depth_ == 0) return kStoreNotOpen;
  if (--depth_ == 0) return backend_->Commit();
  return kStoreOk;
}

void RecordFile::Rollback() {
  if (!backend_ || depth_ == 0) return;
  depth_ = 0;
  backend_->Rollback();
  count_ = backend_->Count();
}

RecordFile::~RecordFile() { Close(); }

std::int32_t RecordFile::Close() {
  if (!backend_) return kStoreNotOpen;
  if (depth_ > 0) Rollback();
  std::int32_t rc = backend_->Close();
  backend_.reset();
  return rc;
}

std::int32_t RecordFile::DeleteDatabase() {
  if (!backend_) return kStoreNotOpen;
  if (depth_ > 0) Rollback();
  std::int32_t rc = backend_->DeleteDatabase();
  backend_.reset();
  return rc;
}

std::int32_t RecordFile::Flush() { return backend_ ? backend_->Flush() : kStoreNotOpen; }

}  // namespace store
