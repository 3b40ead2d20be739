// Byte layouts of the store's records: the volume header, index entries and
// property / object header records. All integers little-endian.
//
// Property record: type (2), zero (2), object identifier (4), name area of
// N = 4 * floor((L + 2) / 4) + 4 bytes (name, zero, significant length,
// padding), then the value by type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "handles.h"

namespace store {

constexpr std::uint32_t kHeaderRecord = 0;
constexpr std::uint32_t kFirstBlockRecord = 1;
constexpr std::uint32_t kMaxBlocks = 64;
constexpr std::uint32_t kRecycleRecord = 65;
constexpr std::uint32_t kObjectListRecord = 66;
constexpr std::uint32_t kReservedRecords = 67;
constexpr std::uint32_t kEntryBytes = 24;
constexpr std::uint32_t kHeaderBytes = 20;
constexpr std::uint32_t kNoNumber = 65535;

inline std::uint32_t Load32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline void Store32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); p[2] = std::uint8_t(v >> 16); p[3] = std::uint8_t(v >> 24);
}
inline std::uint16_t Load16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

struct Entry {
  std::uint32_t record_id;
  std::uint32_t object_id;
  std::uint32_t key[4];
};
inline Entry LoadEntry(const std::uint8_t* p) {
  return Entry{Load32(p), Load32(p + 4), {Load32(p + 8), Load32(p + 12), Load32(p + 16), Load32(p + 20)}};
}
inline void StoreEntry(std::uint8_t* p, const Entry& e) {
  Store32(p, e.record_id); Store32(p + 4, e.object_id);
  for (int i = 0; i < 4; ++i) Store32(p + 8 + 4 * i, e.key[i]);
}
inline Entry EntryOf(const Property& p) {
  return Entry{p.record_id, p.object_id, {p.key[0], p.key[1], p.key[2], p.key[3]}};
}

inline std::uint32_t NameAreaBytes(std::size_t name_length) {
  return static_cast<std::uint32_t>(4 * ((name_length + 2) / 4) + 4);
}

// The 20-byte volume header "IODB" with the block count.
std::string EncodeVolumeHeader(std::uint32_t block_count);

// Serialises a property with the given owning object identifier.
void EncodeProperty(const Property& p, std::uint32_t object_id, std::string* out);

// A parsed property record; pointers point into the record bytes.
struct RecordView {
  std::uint16_t type;
  std::uint32_t object_id;
  const char* name;           // zero-terminated inside the record
  std::size_t name_length;
  std::uint8_t significant_length;
  const std::uint8_t* value;  // integer/double/text: the value; 16-bit text: the units; binary: the bytes; list: the ids
  std::size_t value_length;   // bytes (text with its zero, 16-bit text all remaining bytes, list 4 x count)
  std::uint32_t count;        // identifier list: count; binary: length
};
// False when the bytes are not a well-formed property record.
bool ParseRecord(const std::uint8_t* data, std::size_t length, RecordView* view);

// Adds the parsed record to the object (may-add only), keeping the name's
// significant length; the added property gets record_id and the view's object id.
StoreCode AddParsedProperty(Object* object, const RecordView& view, std::uint32_t record_id);

}  // namespace store
