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

StoreCode ReadBlock(Database* db, std::uint32_t b, const std::string** out) {
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
  *out = &slot.bytes;
  return kStoreOk;
}

StoreCode WriteBlock(Database* db, std::uint32_t b, std::string bytes) {
  if (bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
  BlockCache* c = db->cache;
  BlockCache::Slot& slot = c->slots[b];
  if (slot.changed) c->changed_bytes -= static_cast<std::uint32_t>(slot.bytes.size());
  slot.bytes = std::move(bytes);
  slot.loaded = true;
  slot.changed = true;
  c->changed_bytes += static_cast<std::uint32_t>(slot.bytes.size());
  if (!c->enabled) return WriteBack(db, b, &slot);
  if (c->changed_bytes >= c->limit) return FlushCache(db);
  return kStoreOk;
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
