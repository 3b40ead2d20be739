#include "coding.h"

#include <zlib.h>

namespace cedb {

// zlib's CRC-32 is the same polynomial and convention, and several times
// faster than a byte-at-a-time table: checksums sit on every write.
std::uint32_t Crc32(const void* data, std::size_t n, std::uint32_t seed) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  uLong c = seed;
  while (n > 0) {
    uInt chunk = n > 0x40000000u ? 0x40000000u : static_cast<uInt>(n);
    c = crc32(c, p, chunk);
    p += chunk;
    n -= chunk;
  }
  return static_cast<std::uint32_t>(c);
}

}  // namespace cedb
