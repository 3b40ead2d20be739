#include "sync/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace sync_engine;

TEST(Base64, KnownValues) {
  struct Case { std::string bytes, text; } cases[] = {
      {"abc", "YWJj"},
      {std::string(1, '\xff'), "/w=="},
      {"", ""},
      {"ab", "YWI="},
      {std::string("\0\0\0", 3), "AAAA"},
      {"\xfb\xff", "+/8="},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, Base64Encode(c.bytes)) << c.text;
    EXPECT_EQ(c.bytes, Base64Decode(c.text)) << c.text;
  }
}

TEST(Base64, RoundTripsEveryLength) {
  std::mt19937 rng(7);
  for (std::size_t n = 0; n < 200; ++n) {
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    std::string text = Base64Encode(bytes);
    ASSERT_EQ(Base64EncodedSize(n), text.size());
    ASSERT_EQ(bytes, Base64Decode(text)) << n;
  }
}

TEST(Base64, DecodeEdgeRules) {
  EXPECT_EQ("", Base64Decode("Y"));            // fewer than 2 characters
  EXPECT_EQ("a", Base64Decode("YW"));          // short final group decodes as padded
  EXPECT_EQ("ab", Base64Decode("YWI"));
  EXPECT_EQ("a", Base64Decode("YQ==YWJj"));    // stops after a padded group that is not the last
  EXPECT_EQ(std::string("\0\0\0", 3), Base64Decode("!!!!"));  // outside the alphabet counts as 0
}

TEST(Base64, DecodedSizeIsWhatDecodeWrites) {
  std::mt19937 rng(11);
  const char alphabet[] = "AB+/=x";
  std::vector<std::string> texts = {"", "Y", "YW", "YWI", "YWJj", "YQ==YWJj", "YWI=", "Y=Jj", "YW=j"};
  for (int i = 0; i < 500; ++i) {
    std::string t(rng() % 13, 'A');
    for (char& c : t) c = alphabet[rng() % 6];
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    EXPECT_EQ(Base64Decode(t).size(), Base64DecodedSize(t.data(), t.size())) << t;
  }
}

TEST(Base64, DecodeNeverWritesPastCapacity) {
  std::uint8_t out[5];
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(4u, Base64Decode("YWJjZGVm", 8, out, 4));
  EXPECT_EQ(0xEE, out[4]);
  EXPECT_EQ(0, std::memcmp(out, "abcd", 4));
}

TEST(Base64, FullPieceIsTheWorkBufferSize) {
  EXPECT_EQ(13336u, Base64EncodedSize(10000));
}
