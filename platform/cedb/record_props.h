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

#include "platform/cedb.h"

namespace cedb {

bool TypeSupported(std::uint16_t type);
bool IsVariableType(std::uint16_t type);

// A property whose variable value lives elsewhere: in the encoded bytes of a
// record, in a caller's CEPROPVAL, or in a scratch buffer of the caller.
struct PropView {
  std::uint32_t propid = 0;
  std::uint64_t fixed = 0;     // fixed-size types
  const char* data = nullptr;  // LPWSTR (2 bytes per unit, little-endian) and BLOB
  std::size_t size = 0;
};

// Checks the encoding; props may be null to validate only. The views point
// into `data`.
bool DecodePropViews(const char* data, std::size_t n, std::vector<PropView>* props);
// Bytes EncodeViews produces.
std::size_t EncodedSize(const std::vector<PropView>& props);
void EncodeViews(const std::vector<PropView>& props, std::string* out);
// Looks up one property's fixed value; false when the record lacks it.
bool FindFixed(const std::string& encoded, std::uint32_t propid, std::uint64_t* value);

// Applies a write's properties to a record's current ones (`props`, which
// may point into the image): replaced and added values point into the
// caller's CEPROPVALs, LPWSTR text into `scratch` (reserved by the callee so
// that its strings never move). Returns 0 or ERROR_INVALID_PARAMETER (bad
// type, value too long, record too long); `props` is then unusable.
DWORD MergeWrite(WORD count, const CEPROPVAL* vals, std::vector<PropView>* props,
                 std::vector<std::string>* scratch);

}  // namespace cedb
