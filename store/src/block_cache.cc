// The write-back block cache of index blocks.
//
// With the cache on, a read looks in the cache first; a hit moves its node
// to the front. A miss adds the block at the front; when the cached bytes
// reach the limit the least recently used node is written back and freed,
// and if the total is still not below the limit the new block is not kept.
// Writes replace a node's bytes without touching the record. A flush writes
// every changed node back; unchanged ones are only dropped.

#include "database.h"

namespace store {
namespace {

std::int32_t WriteRecordNumber(Database* db, std::uint32_t number, const std::string& bytes) {
  RecordRequest r;
  r.number = number;
  r.bytes = bytes;
  return db->file->Write(&r);
}

// Evicts the tail unless it is `keep`; true when `keep` itself had to go.
std::int32_t Evict(Database* db, std::list<CacheNode>::iterator keep, bool* dropped_keep) {
  BlockCache* c = db->cache;
  *dropped_keep = false;
  if (c->cached_bytes < c->limit) return kStoreOk;
  auto tail = std::prev(c->nodes.end());
  if (tail != keep) {
    // Only a changed block needs its record rewritten.
    if (tail->dirty) {
      std::int32_t rc = WriteRecordNumber(db, tail->record, tail->bytes);
      if (rc != kStoreOk) return rc;
    }
    c->cached_bytes -= static_cast<std::uint32_t>(tail->bytes.size());
    c->nodes.erase(tail);
    --c->blocks;
  }
  if (c->cached_bytes >= c->limit) *dropped_keep = true;
  return kStoreOk;
}

}  // namespace

std::int32_t ReadBlock(Database* db, std::uint32_t b, std::string* scratch, const std::string** out) {
  BlockCache* c = db->cache;
  std::uint32_t number = kFirstBlockRecord + b;
  if (c->enabled) {
    for (auto it = c->nodes.begin(); it != c->nodes.end(); ++it)
      if (it->record == number) {
        c->nodes.splice(c->nodes.begin(), c->nodes, it);
        *out = &c->nodes.front().bytes;
        return kStoreOk;
      }
  }
  RecordRequest r;
  r.number = number;
  std::int32_t rc = db->file->Read(&r);
  if (rc != kStoreOk) return rc;
  if (c->enabled) {
    c->nodes.push_front(CacheNode{number, std::move(r.bytes), false});
    c->cached_bytes += static_cast<std::uint32_t>(c->nodes.front().bytes.size());
    ++c->blocks;
    bool dropped = false;
    rc = Evict(db, c->nodes.begin(), &dropped);
    if (rc != kStoreOk) return rc;
    if (dropped) {
      c->cached_bytes -= static_cast<std::uint32_t>(c->nodes.front().bytes.size());
      *scratch = std::move(c->nodes.front().bytes);
      c->nodes.pop_front();
      --c->blocks;
      *out = scratch;
      return kStoreOk;
    }
    *out = &c->nodes.front().bytes;
    return kStoreOk;
  }
  *scratch = std::move(r.bytes);
  *out = scratch;
  return kStoreOk;
}

std::int32_t WriteBlock(Database* db, std::uint32_t b, std::string bytes) {
  BlockCache* c = db->cache;
  std::uint32_t number = kFirstBlockRecord + b;
  if (bytes.size() > kMaxRecordBytes) return kStoreRecordTooLong;
  if (!c->enabled) return WriteRecordNumber(db, number, bytes);
  auto it = c->nodes.begin();
  for (; it != c->nodes.end(); ++it)
    if (it->record == number) break;
  if (it == c->nodes.end()) {
    c->nodes.push_front(CacheNode{number, std::string(), true});
    ++c->blocks;
  } else {
    c->cached_bytes -= static_cast<std::uint32_t>(it->bytes.size());
    c->nodes.splice(c->nodes.begin(), c->nodes, it);
  }
  CacheNode& node = c->nodes.front();
  node.bytes = std::move(bytes);
  node.dirty = true;
  c->cached_bytes += static_cast<std::uint32_t>(node.bytes.size());
  bool dropped = false;
  std::int32_t rc = Evict(db, c->nodes.begin(), &dropped);
  if (rc != kStoreOk) return rc;
  if (dropped) {
    // Not kept: the write goes to the record now.
    c->cached_bytes -= static_cast<std::uint32_t>(node.bytes.size());
    std::string out = std::move(node.bytes);
    c->nodes.pop_front();
    --c->blocks;
    return WriteRecordNumber(db, number, out);
  }
  return kStoreOk;
}

std::int32_t FlushCache(Database* db) {
  BlockCache* c = db->cache;
  std::int32_t status = kStoreOk;
  while (!c->nodes.empty()) {
    CacheNode& n = c->nodes.back();
    if (n.dirty) {
      std::int32_t rc = WriteRecordNumber(db, n.record, n.bytes);
      if (rc != kStoreOk) status = rc;
    }
    c->nodes.pop_back();
  }
  c->cached_bytes = 0;
  c->blocks = 0;
  return status;
}

void DropCache(Database* db) {
  db->cache->nodes.clear();
  db->cache->cached_bytes = 0;
  db->cache->blocks = 0;
}

std::int32_t LoadTotals(Database* db) {
  RecordRequest h;
  h.number = kHeaderRecord;
  std::int32_t rc = db->file->Read(&h);
  if (rc != kStoreOk) return rc;
  std::memset(db->header, 0, kHeaderBytes);
  std::memcpy(db->header, h.bytes.data(), std::min<std::size_t>(h.bytes.size(), kHeaderBytes));
  std::memset(db->totals, 0, sizeof(db->totals));
  std::uint32_t n = BlockCount(db);
  std::uint32_t total = 0;
  for (std::uint32_t b = 0; b < n; ++b) {
    std::string scratch;
    const std::string* bytes = nullptr;
    rc = ReadBlock(db, b, &scratch, &bytes);
    if (rc != kStoreOk) return rc;
    total += static_cast<std::uint32_t>(bytes->size() / kEntryBytes);
    db->totals[b] = total;
  }
  for (std::uint32_t b = n; b < kMaxBlocks; ++b) db->totals[b] = total;
  return kStoreOk;
}

}  // namespace store
