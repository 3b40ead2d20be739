#include "block_cache.h"

#include "database.h"

namespace store {
namespace {

StoreCode WriteBack(Database* db, std::uint32_t b, BlockCache::Slot* slot) {
  RecordRequest r;
  r.number = kFirstBlockRecord + b;
  r.bytes.swap(slot->bytes);  // lent, not copied
  StoreCode rc = db->file->Write(&r);
  slot->bytes.swap(r.bytes);
  if (rc != kStoreOk) return rc;
  if (slot->changed) db->cache->changed_bytes -= static_cast<std::uint32_t>(slot->bytes.size());
  slot->changed = false;
  return kStoreOk;
}

}  // namespace

StoreCode LoadedBlock(Database* db, std::uint32_t b, BlockCache::Slot** out) {
  BlockCache::Slot& slot = db->cache->slots[b];
  if (!slot.loaded) {
    RecordRequest r;
    r.number = kFirstBlockRecord + b;
    StoreCode rc = db->file->Read(&r);
    if (rc != kStoreOk) return rc;
    slot.bytes = std::move(r.bytes);
    slot.loaded = true;
    slot.changed = false;
  }
  *out = &slot;
  return kStoreOk;
}

StoreCode ReadBlock(Database* db, std::uint32_t b, const std::string** out) {
  BlockCache::Slot* slot = nullptr;
  StoreCode rc = LoadedBlock(db, b, &slot);
  if (rc != kStoreOk) return rc;
  *out = &slot->bytes;
  return kStoreOk;
}

StoreCode BlockChanged(Database* db, std::uint32_t b, std::size_t size_before, bool was_changed) {
  BlockCache* c = db->cache;
  BlockCache::Slot& slot = c->slots[b];
  if (slot.bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
  if (was_changed) c->changed_bytes -= static_cast<std::uint32_t>(size_before);
  slot.changed = true;
  slot.changed_at = ++c->tick;
  c->changed_bytes += static_cast<std::uint32_t>(slot.bytes.size());
  if (!c->enabled) return WriteBack(db, b, &slot);
  // Over the limit: the oldest changes go back first, this one last.
  while (c->changed_bytes >= c->limit) {
    std::uint32_t oldest = b;
    for (std::uint32_t k = 0; k < kMaxBlocks; ++k)
      if (c->slots[k].changed && c->slots[k].changed_at < c->slots[oldest].changed_at) oldest = k;
    StoreCode rc = WriteBack(db, oldest, &c->slots[oldest]);
    if (rc != kStoreOk || oldest == b) return rc;
  }
  return kStoreOk;
}

StoreCode WriteBlock(Database* db, std::uint32_t b, std::string bytes) {
  if (bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
  BlockCache::Slot& slot = db->cache->slots[b];
  std::size_t before = slot.bytes.size();
  bool was_changed = slot.changed;
  slot.bytes = std::move(bytes);
  slot.loaded = true;
  return BlockChanged(db, b, before, was_changed);
}

StoreCode FlushCache(Database* db) {
  for (std::uint32_t b = 0; b < kMaxBlocks; ++b) {
    BlockCache::Slot& slot = db->cache->slots[b];
    if (!slot.changed) continue;
    StoreCode rc = WriteBack(db, b, &slot);
    if (rc != kStoreOk) return rc;
  }
  return kStoreOk;
}

void DropCache(Database* db) {
  for (BlockCache::Slot& slot : db->cache->slots) {
    slot.loaded = false;
    slot.changed = false;
    std::string().swap(slot.bytes);
  }
  db->cache->changed_bytes = 0;
}

void RotateCache(Database* db, std::uint32_t first, std::uint32_t last) {
  BlockCache::Slot* s = db->cache->slots;
  BlockCache::Slot moved = std::move(s[last]);
  for (std::uint32_t k = last; k > first; --k) s[k] = std::move(s[k - 1]);
  s[first] = std::move(moved);
}

}  // namespace store
