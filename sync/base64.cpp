#include "sync/base64.h"

namespace sync_engine {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::uint8_t Value(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<std::uint8_t>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 'a' + 26);
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0' + 52);
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;  // not rejected: the peer never sends them, and garbage must not stop a piece
}

}  // namespace

std::size_t Base64Encode(const std::uint8_t* bytes, std::size_t length, char* output) {
  std::size_t o = 0;
  std::size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    std::uint8_t b0 = bytes[i], b1 = bytes[i + 1], b2 = bytes[i + 2];
    output[o++] = kAlphabet[b0 >> 2];
    output[o++] = kAlphabet[((b0 << 4) | (b1 >> 4)) & 63];
    output[o++] = kAlphabet[((b1 << 2) | (b2 >> 6)) & 63];
    output[o++] = kAlphabet[b2 & 63];
  }
  std::size_t rest = length - i;
  if (rest == 1) {
    std::uint8_t b0 = bytes[i];
    output[o++] = kAlphabet[b0 >> 2];
    output[o++] = kAlphabet[(b0 << 4) & 63];
    output[o++] = '=';
    output[o++] = '=';
  } else if (rest == 2) {
    std::uint8_t b0 = bytes[i], b1 = bytes[i + 1];
    output[o++] = kAlphabet[b0 >> 2];
    output[o++] = kAlphabet[((b0 << 4) | (b1 >> 4)) & 63];
    output[o++] = kAlphabet[(b1 << 2) & 63];
    output[o++] = '=';
  }
  return o;
}

std::size_t Base64DecodedSize(const char* characters, std::size_t count) {
  if (count < 2) return 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i + 2 <= count; i += 4) {
    bool pad2 = i + 2 >= count || characters[i + 2] == '=';
    bool pad3 = i + 3 >= count || characters[i + 3] == '=';
    n += 1 + (pad2 ? 0 : 1) + (pad3 ? 0 : 1);
    if (pad2 || pad3) break;
  }
  std::size_t cap = Base64DecodedMax(count);
  return n < cap ? n : cap;
}

std::size_t Base64Decode(const char* characters, std::size_t count, std::uint8_t* output,
                         std::size_t capacity) {
  if (count < 2) return 0;
  std::size_t cap = Base64DecodedMax(count);
  if (cap > capacity) cap = capacity;
  std::size_t o = 0;
  for (std::size_t i = 0; i + 2 <= count; i += 4) {
    // A short final group of 2 or 3 characters decodes as if padded.
    char c0 = characters[i];
    char c1 = characters[i + 1];
    char c2 = i + 2 < count ? characters[i + 2] : '=';
    char c3 = i + 3 < count ? characters[i + 3] : '=';
    std::uint8_t d0 = Value(c0), d1 = Value(c1), d2 = Value(c2), d3 = Value(c3);
    if (o < cap) output[o++] = static_cast<std::uint8_t>((d0 << 2) | (d1 >> 4));
    if (c2 != '=' && o < cap) output[o++] = static_cast<std::uint8_t>((d1 << 4) | (d2 >> 2));
    if (c3 != '=' && o < cap) output[o++] = static_cast<std::uint8_t>((d2 << 6) | d3);
    if (c2 == '=' || c3 == '=') break;  // padding ends the segment
  }
  return o;
}

std::string Base64Encode(const std::string& bytes) {
  std::string out(Base64EncodedSize(bytes.size()), '\0');
  out.resize(Base64Encode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &out[0]));
  return out;
}

std::string Base64Decode(const std::string& characters) {
  std::string out(Base64DecodedMax(characters.size()), '\0');
  out.resize(Base64Decode(characters.data(), characters.size(),
                          reinterpret_cast<std::uint8_t*>(&out[0]), out.size()));
  return out;
}

}  // namespace sync_engine
