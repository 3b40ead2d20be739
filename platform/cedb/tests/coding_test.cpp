#include <gtest/gtest.h>

#include <cstring>

#include "../coding.h"

namespace {

// Volumes on disk carry these checksums: the function must never change.
TEST(CedbCoding, Crc32MatchesTheStandardCheckValueAndChains) {
  const char* text = "123456789";
  EXPECT_EQ(0xCBF43926u, cedb::Crc32(text, 9));
  EXPECT_EQ(0u, cedb::Crc32(text, 0));
  EXPECT_EQ(cedb::Crc32(text, 9), cedb::Crc32(text + 4, 5, cedb::Crc32(text, 4)));
}

}  // namespace
