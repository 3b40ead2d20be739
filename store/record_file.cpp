#include "record_file.h"

#include <algorithm>
#include <cassert>

#include "record_format.h"

namespace store {

// ---- MemoryBackend ---------------------------------------------------------

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

StoreCode MemoryBackend::ReadByNumber(std::uint32_t number, std::uint32_t* id, std::string* bytes) {
  if (number >= order_.size()) return kStoreRecordNotFound;
  *id = order_[number];
  *bytes = records_[*id].bytes;
  return kStoreOk;
}

StoreCode MemoryBackend::ViewById(std::uint32_t id, std::uint32_t* number, const char** data, std::size_t* size) {
  Record* r = Find(id);
  if (r == nullptr) return kStoreRecordNotFound;
  *number = r->number;
  *data = r->bytes.data();
  *size = r->bytes.size();
  return kStoreOk;
}

StoreCode MemoryBackend::IdAt(std::uint32_t number, std::uint32_t* id) {
  if (number >= order_.size()) return kStoreRecordNotFound;
  *id = order_[number];
  return kStoreOk;
}

StoreCode MemoryBackend::NumberOf(std::uint32_t id, std::uint32_t* number) {
  Record* r = Find(id);
  if (r == nullptr) return kStoreRecordNotFound;
  *number = static_cast<std::uint32_t>(PositionOf(r->number));
  return kStoreOk;
}

// Moves `id` to its place for `number`; in place when its neighbours allow.
void MemoryBackend::Place(std::uint32_t id, std::uint32_t number) {
  Record& r = records_.at(id);
  std::size_t at = PositionOf(r.number);
  while (at < order_.size() && order_[at] != id) ++at;
  bool fits = (at == 0 || records_.at(order_[at - 1]).number < number) &&
              (at + 1 >= order_.size() || number < records_.at(order_[at + 1]).number);
  r.number = number;
  if (fits) return;
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(at));
  order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(PositionOf(number)), id);
}

StoreCode MemoryBackend::Write(std::uint32_t id, std::uint32_t number, const std::string& bytes,
                               std::uint32_t* new_id) {
  ++changes_;
  if (id == 0) {
    id = next_id_++;
    std::size_t at = PositionOf(number);
    records_[id] = Record{number, bytes};
    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(at), id);
    if (new_id) *new_id = id;
    return kStoreOk;
  }
  Record* r = Find(id);
  if (r == nullptr) return kStoreWriteFailed;
  if (r->number != number) Place(id, number);
  r->bytes = bytes;
  if (new_id) *new_id = id;
  return kStoreOk;
}

StoreCode MemoryBackend::Renumber(std::uint32_t id, std::uint32_t number) {
  if (Find(id) == nullptr) return kStoreWriteFailed;
  ++changes_;
  Place(id, number);
  return kStoreOk;
}

StoreCode MemoryBackend::Delete(std::uint32_t id) {
  Record* r = Find(id);
  if (r == nullptr) return kStoreRecordDeleteFailed;
  ++changes_;
  std::size_t at = PositionOf(r->number);
  while (at < order_.size() && order_[at] != id) ++at;
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(at));
  records_.erase(id);
  return kStoreOk;
}

StoreCode MemoryBackend::Stamp(std::uint64_t* stamp) {
  *stamp = changes_;
  return kStoreOk;
}

// ---- RecordFile --------------------------------------------------------------

RecordFile::RecordFile(std::unique_ptr<RecordBackend> backend)
    : backend_(std::move(backend)), reserved_ids_(kReservedRecords, 0) {
  count_ = backend_ ? backend_->Count() : 0;
}

RecordFile::~RecordFile() { Close(); }

void RecordFile::Reload() {
  if (backend_) count_ = backend_->Count();
  // Another handle may have moved block records (Rotate).
  std::fill(reserved_ids_.begin(), reserved_ids_.end(), 0);
}

void RecordFile::Remember(std::uint32_t number, std::uint32_t id) {
  if (number < reserved_ids_.size()) reserved_ids_[number] = id;
}

StoreCode RecordFile::ReservedId(std::uint32_t number, std::uint32_t* id) {
  if (number < reserved_ids_.size() && reserved_ids_[number] != 0) {
    *id = reserved_ids_[number];
    return kStoreOk;
  }
  StoreCode rc = backend_->IdAt(number, id);
  if (rc == kStoreOk) Remember(number, *id);
  return rc;
}

StoreCode RecordFile::Read(RecordRequest* r) {
  if (!backend_) return kStoreNotOpen;
  if (r->number != kNoNumber) {
    if (r->number >= count_) return kStoreRecordNotFound;
    std::uint32_t id = 0;
    StoreCode rc = backend_->ReadByNumber(r->number, &id, &r->bytes);
    if (rc == kStoreRecordNotFound) return kStoreRecordNotFound;
    if (rc != kStoreOk) return kStoreReadFailed;
    r->id = id;
    Remember(r->number, id);
    return kStoreOk;
  }
  if (r->id == kNoNumber) return kStoreBadArgument;
  std::uint32_t number = 0;
  const char* data = nullptr;
  std::size_t size = 0;
  StoreCode rc = backend_->ViewById(r->id, &number, &data, &size);
  if (rc == kStoreRecordNotFound) return kStoreRecordNotFound;
  if (rc != kStoreOk) return kStoreReadFailed;
  r->bytes.assign(data, size);
  r->number = number;
  return kStoreOk;
}

StoreCode RecordFile::View(std::uint32_t id, const char** data, std::size_t* size) {
  if (!backend_) return kStoreNotOpen;
  std::uint32_t number = 0;
  StoreCode rc = backend_->ViewById(id, &number, data, size);
  if (rc == kStoreRecordNotFound) return kStoreRecordNotFound;
  return rc == kStoreOk ? kStoreOk : kStoreReadFailed;
}

StoreCode RecordFile::Write(RecordRequest* r) {
  if (!backend_) return kStoreNotOpen;
  if (r->bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
  if (r->number == kNoNumber && r->id == kNoNumber) return kStoreBadArgument;
  // The missing address is looked up, not read with the record's bytes.
  if (r->id == kNoNumber) {
    if (r->number >= count_ || ReservedId(r->number, &r->id) != kStoreOk) return kStoreRecordNotFound;
  } else if (r->number == kNoNumber) {
    if (backend_->NumberOf(r->id, &r->number) != kStoreOk) return kStoreRecordNotFound;
  }
  if (backend_->Write(r->id, r->number, r->bytes, nullptr) != kStoreOk) return kStoreWriteFailed;
  return kStoreOk;
}

StoreCode RecordFile::Append(RecordRequest* r) {
  if (!backend_) return kStoreNotOpen;
  if (r->bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
  if (count_ + 1 >= 65536) return kStoreAppendFailed;
  std::uint32_t id = 0;
  if (backend_->Write(0, count_, r->bytes, &id) != kStoreOk) return kStoreAppendFailed;
  r->number = count_;
  r->id = id;
  Remember(count_, id);
  ++count_;
  return kStoreOk;
}

StoreCode RecordFile::DeleteRecords(std::vector<RecordRequest>* requests) {
  if (!backend_) return kStoreNotOpen;
  if (requests->empty() || requests->size() >= 65535) return kStoreBadArgument;
  if (requests->size() > count_) return kStoreRecordDeleteFailed;
  for (RecordRequest& r : *requests) {
    StoreCode rc = r.id != kNoNumber ? backend_->NumberOf(r.id, &r.number)
                                     : (r.number < count_ ? backend_->IdAt(r.number, &r.id) : kStoreRecordNotFound);
    if (rc != kStoreOk) return kStoreRecordDeleteFailed;
  }
  std::sort(requests->begin(), requests->end(),
            [](const RecordRequest& a, const RecordRequest& b) { return a.number < b.number; });
  // Duplicated requests name one record once.
  requests->erase(std::unique(requests->begin(), requests->end(),
                              [](const RecordRequest& a, const RecordRequest& b) { return a.number == b.number; }),
                  requests->end());
  // All deletions first, then one walk that gives every later record its
  // new number: each renumbering leaves a record between its neighbours.
  for (const RecordRequest& r : *requests)
    if (backend_->Delete(r.id) != kStoreOk) return kStoreRecordDeleteFailed;
  std::uint32_t first = (*requests)[0].number;
  count_ -= static_cast<std::uint32_t>(requests->size());
  for (std::uint32_t number = first; number < count_; ++number) {
    std::uint32_t id = 0;
    if (backend_->IdAt(number, &id) != kStoreOk || backend_->Renumber(id, number) != kStoreOk)
      return kStoreRecordDeleteFailed;
    Remember(number, id);
  }
  return kStoreOk;
}

StoreCode RecordFile::IdAt(std::uint32_t number, std::uint32_t* id) {
  if (!backend_) return kStoreNotOpen;
  if (number >= count_) return kStoreRecordNotFound;
  if (number < reserved_ids_.size()) return ReservedId(number, id);
  return backend_->IdAt(number, id) == kStoreOk ? kStoreOk : kStoreRecordNotFound;
}

StoreCode RecordFile::Move(std::uint32_t id, std::uint32_t to) {
  if (backend_->Renumber(id, to) != kStoreOk) return kStoreWriteFailed;
  Remember(to, id);
  return kStoreOk;
}

StoreCode RecordFile::Rotate(std::uint32_t first, std::uint32_t last) {
  if (!backend_) return kStoreNotOpen;
  if (first >= last || last >= count_ || last >= reserved_ids_.size()) return kStoreBadArgument;
  std::vector<std::uint32_t> ids(last - first + 1);
  for (std::uint32_t k = first; k <= last; ++k) {
    StoreCode rc = ReservedId(k, &ids[k - first]);
    if (rc != kStoreOk) return rc;
  }
  // The moving record steps aside first, so that no two records ever share
  // a number.
  constexpr std::uint32_t kAside = 0xFFFFFFFEu;
  if (backend_->Renumber(ids.back(), kAside) != kStoreOk) return kStoreWriteFailed;
  for (std::uint32_t k = last; k-- > first;) {
    StoreCode rc = Move(ids[k - first], k + 1);
    if (rc != kStoreOk) return rc;
  }
  return Move(ids.back(), first);
}

StoreCode RecordFile::Stamp(std::uint64_t* stamp) {
  if (!backend_) return kStoreNotOpen;
  return backend_->Stamp(stamp) == kStoreOk ? kStoreOk : kStoreReadFailed;
}

StoreCode RecordFile::Begin(BracketKind kind) {
  if (!backend_) return kStoreNotOpen;
  if (depth_ > 0) {
    // A write cannot join a read bracket: the store always opens the write first.
    assert(kind == BracketKind::kRead || kind_ == BracketKind::kWrite);
    ++depth_;
    return kStoreOk;
  }
  StoreCode rc = backend_->Begin(kind);
  if (rc != kStoreOk) return rc;
  depth_ = 1;
  kind_ = kind;
  return kStoreOk;
}

StoreCode RecordFile::Commit() {
  if (!backend_ || depth_ == 0) return kStoreNotOpen;
  if (--depth_ > 0) return kStoreOk;
  StoreCode rc = backend_->Commit();
  // A failed commit took the bracket's records with it.
  if (rc != kStoreOk) Reload();
  return rc;
}

void RecordFile::Rollback() {
  if (!backend_ || depth_ == 0) return;
  depth_ = 0;
  backend_->Rollback();
  Reload();
}

StoreCode RecordFile::Close() {
  if (!backend_) return kStoreNotOpen;
  if (depth_ > 0) Rollback();
  StoreCode rc = backend_->Close();
  backend_.reset();
  return rc;
}

StoreCode RecordFile::DeleteDatabase() {
  if (!backend_) return kStoreNotOpen;
  if (depth_ > 0) Rollback();
  StoreCode rc = backend_->DeleteDatabase();
  backend_.reset();
  return rc;
}

StoreCode RecordFile::Flush() { return backend_ ? backend_->Flush() : kStoreNotOpen; }

}  // namespace store
