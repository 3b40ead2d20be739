// The ".lnp" language pack file: what it holds and how it is coded.
//
// All integers are 32-bit little-endian: version (2), language name, extra
// text, entry count N, first ID, then N strings. A string is a key, a length
// L in UTF-16 units and L units, each XORed with the low 16 bits of
// (key ^ (key >> 16)); texts carry their terminating zero inside L. A file
// may be stored plain or gzip-compressed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lang {

// Load results. 1 and 2 are the classic ones; 3 to 5 reject files that
// would otherwise make the reader trust lies or run out of memory.
enum PackStatus : int {
  kPackOk = 0,
  kPackCannotOpen = 1,    // missing or unreadable file
  kPackBadVersion = 2,    // version field is not 2
  kPackMalformed = 3,     // truncated, or a count or length larger than the file
  kPackTooLarge = 4,      // more than kMaxPackBytes once decompressed (a gzip bomb)
  kPackMismatch = 5,      // first ID or entry count differ from the English pack
};

constexpr std::uint32_t kPackVersion = 2;
// Real packs are a few tens of kilobytes; nothing legitimate comes near this.
constexpr std::size_t kMaxPackBytes = 8u << 20;

struct PackData {
  std::u16string language_name;
  std::u16string extra;
  std::int32_t first_id = 0;
  // Texts in ID order, without their terminating zero.
  std::vector<std::u16string> texts;
  // Stored length of each text in UTF-16 units, terminator included.
  std::vector<std::uint32_t> lengths;
};

// Decodes a whole (decompressed) pack; never reads past `size`.
int DecodePack(const unsigned char* data, std::size_t size, PackData* out);
// Reads a file through the gzip reader (plain or compressed) and decodes it.
int ReadPackFile(const std::u16string& path, PackData* out);

// Encodes with a fresh key per string drawn from `seed`.
std::string EncodePack(const PackData& pack, std::uint32_t seed);
// Writes plain or gzip-compressed; 0 on success.
int WritePackFile(const std::string& path, const std::string& bytes, bool compress);

}  // namespace lang
