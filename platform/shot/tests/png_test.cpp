#include "platform/png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace {

std::uint32_t Be32(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

TEST(Png, HeaderChunksAndPixelsDecodeBack) {
  const std::uint32_t px[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF, 0x123456};
  std::vector<unsigned char> png = platform::EncodePng(3, 2, px);
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(13u, Be32(&png[8]));
  EXPECT_EQ(0, std::memcmp(&png[12], "IHDR", 4));
  EXPECT_EQ(3u, Be32(&png[16]));
  EXPECT_EQ(2u, Be32(&png[20]));
  // Every chunk's CRC covers its type and data.
  std::size_t pos = 8;
  std::vector<unsigned char> idat;
  bool saw_end = false;
  while (pos + 12 <= png.size()) {
    std::uint32_t len = Be32(&png[pos]);
    ASSERT_LE(pos + 12 + len, png.size());
    uLong crc = crc32(0L, &png[pos + 4], len + 4);
    EXPECT_EQ(crc, Be32(&png[pos + 8 + len]));
    if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0) idat.assign(&png[pos + 8], &png[pos + 8] + len);
    if (std::memcmp(&png[pos + 4], "IEND", 4) == 0) saw_end = true;
    pos += 12 + len;
  }
  EXPECT_TRUE(saw_end);
  EXPECT_EQ(png.size(), pos);
  std::vector<unsigned char> raw(2 * (1 + 9));
  uLongf rawlen = static_cast<uLongf>(raw.size());
  ASSERT_EQ(Z_OK, uncompress(raw.data(), &rawlen, idat.data(), static_cast<uLong>(idat.size())));
  ASSERT_EQ(raw.size(), rawlen);
  const unsigned char expect[] = {0, 255, 0, 0, 0, 255, 0, 0, 0, 255,
                                  0, 0, 0, 0, 255, 255, 255, 0x12, 0x34, 0x56};
  EXPECT_EQ(0, std::memcmp(raw.data(), expect, sizeof expect));
}

}  // namespace
