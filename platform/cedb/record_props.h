// Encoded record properties: how a record's CEPROPVAL list is kept in the
// log and in memory. One property is u32 propid followed by its value:
//   CEVT_LPWSTR  u32 unit count, then the UTF-16 units (no terminator);
//   CEVT_BLOB    u32 byte count, then the bytes;
//   other types  8 bytes holding the value (integers zero- or sign-extended,
//                doubles by bit pattern, FILETIME low then high word).
// A record is u16 property count followed by the properties, propids unique.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cedb {

struct PropValue {
  std::uint32_t propid = 0;
  std::uint64_t fixed = 0;  // fixed-size types
  std::string bytes;        // LPWSTR (2 bytes per unit) and BLOB
};

bool TypeSupported(std::uint16_t type);
bool IsVariableType(std::uint16_t type);
std::string EncodeProps(const std::vector<PropValue>& props);
bool DecodeProps(const char* data, std::size_t n, std::vector<PropValue>* props);
// A decoded property pointing into the encoded bytes, for readers that copy
// the value once into their own buffer.
struct PropView {
  std::uint32_t propid = 0;
  std::uint64_t fixed = 0;
  const char* data = nullptr;  // LPWSTR (2 bytes per unit) and BLOB
  std::size_t size = 0;
};
// Same checks as DecodeProps; props may be null to validate only.
bool DecodePropViews(const char* data, std::size_t n, std::vector<PropView>* props);
// Looks up one property's fixed value; false when the record lacks it.
bool FindFixed(const std::string& encoded, std::uint32_t propid, std::uint64_t* value);

}  // namespace cedb
