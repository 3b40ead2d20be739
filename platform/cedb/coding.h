// Little-endian integer coding, a bounds-checked reader and CRC-32: the
// pieces every volume structure is built from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace cedb {

inline void PutU16(std::string* out, std::uint16_t v) {
  char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
  out->append(b, 2);
}
inline void PutU32(std::string* out, std::uint32_t v) {
  char b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (8 * i));
  out->append(b, 4);
}
inline void PutU64(std::string* out, std::uint64_t v) {
  PutU32(out, static_cast<std::uint32_t>(v));
  PutU32(out, static_cast<std::uint32_t>(v >> 32));
}
inline std::uint32_t GetU32(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<std::uint32_t>(u[3]) << 24);
}
inline std::uint64_t GetU64(const char* p) {
  return GetU32(p) | (static_cast<std::uint64_t>(GetU32(p + 4)) << 32);
}
inline void SetU32(char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}
inline void SetU64(char* p, std::uint64_t v) {
  SetU32(p, static_cast<std::uint32_t>(v));
  SetU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// Reads fields from a byte range; any read past the end sets ok = false and
// yields zeros, so parsers check ok once at the end.
struct Reader {
  const char* p;
  std::size_t left;
  bool ok = true;
  Reader(const char* data, std::size_t n) : p(data), left(n) {}
  bool Take(std::size_t n, const char** out) {
    if (!ok || left < n) {
      ok = false;
      return false;
    }
    *out = p;
    p += n;
    left -= n;
    return true;
  }
  std::uint8_t U8() {
    const char* q;
    return Take(1, &q) ? static_cast<std::uint8_t>(*q) : 0;
  }
  std::uint16_t U16() {
    const char* q;
    if (!Take(2, &q)) return 0;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(q[0]) |
                                      (static_cast<unsigned char>(q[1]) << 8));
  }
  std::uint32_t U32() {
    const char* q;
    return Take(4, &q) ? GetU32(q) : 0;
  }
  std::uint64_t U64() {
    const char* q;
    return Take(8, &q) ? GetU64(q) : 0;
  }
};

std::uint32_t Crc32(const void* data, std::size_t n, std::uint32_t seed = 0);

}  // namespace cedb
