// Base64 as the sync wire carries it: standard alphabet, "=" padding, no line
// breaks, no terminating zero. Both directions write into caller buffers and
// never past the capacity given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sync_engine {

// Characters produced for n bytes: 4 * floor((n + 2) / 3).
constexpr std::size_t Base64EncodedSize(std::size_t n) { return 4 * ((n + 2) / 3); }
// Upper bound on the bytes decoded from count characters.
constexpr std::size_t Base64DecodedMax(std::size_t count) { return count / 4 * 3 + 2; }

// Writes Base64EncodedSize(length) characters to output; returns that number.
std::size_t Base64Encode(const std::uint8_t* bytes, std::size_t length, char* output);

// Bytes Base64Decode writes for these characters when its capacity is no limit.
std::size_t Base64DecodedSize(const char* characters, std::size_t count);

// Decodes count characters into output (at most capacity bytes); returns the
// bytes written. Fewer than 2 characters give 0 bytes; characters outside
// the alphabet count as 0; decoding stops after the first padded group
// that is not the last one.
std::size_t Base64Decode(const char* characters, std::size_t count, std::uint8_t* output,
                         std::size_t capacity);

std::string Base64Encode(const std::string& bytes);
std::string Base64Decode(const std::string& characters);

}  // namespace sync_engine
