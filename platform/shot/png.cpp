#include "platform/png.h"

#include <zlib.h>

#include <cstdio>

namespace platform {

namespace {

void Put32(std::vector<unsigned char>* out, std::uint32_t v) {
  out->push_back(static_cast<unsigned char>(v >> 24));
  out->push_back(static_cast<unsigned char>(v >> 16));
  out->push_back(static_cast<unsigned char>(v >> 8));
  out->push_back(static_cast<unsigned char>(v));
}

void Chunk(std::vector<unsigned char>* out, const char type[4], const std::vector<unsigned char>& data) {
  Put32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  uLong crc = crc32(0L, out->data() + start, static_cast<uInt>(out->size() - start));
  Put32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::vector<unsigned char> EncodePng(int width, int height, const std::uint32_t* pixels) {
  std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<unsigned char> ihdr;
  Put32(&ihdr, static_cast<std::uint32_t>(width));
  Put32(&ihdr, static_cast<std::uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  Chunk(&out, "IHDR", ihdr);

  std::vector<unsigned char> raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
      raw.push_back(static_cast<unsigned char>(p >> 16));
      raw.push_back(static_cast<unsigned char>(p >> 8));
      raw.push_back(static_cast<unsigned char>(p));
    }
  }
  uLongf len = compressBound(static_cast<uLong>(raw.size()));
  std::vector<unsigned char> z(len);
  compress2(z.data(), &len, raw.data(), static_cast<uLong>(raw.size()), 6);
  z.resize(len);
  Chunk(&out, "IDAT", z);
  Chunk(&out, "IEND", {});
  return out;
}

bool WritePng(const std::string& path, int width, int height, const std::uint32_t* pixels) {
  std::vector<unsigned char> bytes = EncodePng(width, height, pixels);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace platform
