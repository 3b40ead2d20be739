#include <gtest/gtest.h>

#include "http_framing.h"
#include "sync/base64.h"

namespace tidelark_server {
namespace {

ReadStatus ReadOne(const std::string& bytes, HttpRequest* req, std::string* error) {
  BufferSource src(bytes);
  RequestReader reader(&src);
  return reader.Read(req, error);
}

const char kHead[] =
    "POST / HTTP/1.1\r\nConnection: Keep-Alive\r\nCache-Control: no-store\r\n"
    "User-Agent: Tavo Sync Engine version 1.0.10B2 for PocketPC\r\nRange: bytes=0-13335\r\n";

TEST(Framing, ChunkedRequestGivesEachSegment) {
  std::string req = std::string(kHead) + "Transfer-Encoding: chunked\r\n\r\n4\r\nYWJj\r\n8\r\nYWJjZA==\r\n0\r\n\r\n";
  req += std::string(kHead) + "\r\n";  // the next request on the same connection: a range
  BufferSource src(req);
  RequestReader reader(&src);
  HttpRequest r;
  std::string error;
  ASSERT_EQ(reader.Read(&r, &error), ReadStatus::kOk) << error;
  EXPECT_TRUE(r.chunked);
  ASSERT_EQ(r.chunks.size(), 2u);
  EXPECT_EQ(r.chunks[1], "YWJjZA==");
  EXPECT_EQ(r.range_start, 0u);
  EXPECT_EQ(r.range_length, 13336u);
  EXPECT_EQ(r.user_agent, "Tavo Sync Engine version 1.0.10B2 for PocketPC");
  ASSERT_EQ(reader.Read(&r, &error), ReadStatus::kOk) << error;
  EXPECT_FALSE(r.chunked);
  EXPECT_TRUE(r.chunks.empty());
  EXPECT_EQ(reader.Read(&r, &error), ReadStatus::kClosed);
}

TEST(Framing, BadInputIsAnErrorNeverAGuess) {
  const std::string te = std::string(kHead) + "Transfer-Encoding: chunked\r\n\r\n";
  struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"garbage", "\x01\x02garbage\r\n\r\n"},
      {"no version", "POST /\r\n\r\n"},
      {"other method", "DELETE / HTTP/1.1\r\n\r\n"},
      {"negative chunk", te + "-5\r\nabcde\r\n0\r\n\r\n"},
      {"huge chunk", te + "7fffffff\r\nabc"},
      {"chunk over the limit", te + "10001\r\n"},
      {"non-hex chunk", te + "zz\r\nab\r\n0\r\n\r\n"},
      {"chunk without CR LF", te + "4\r\nYWJjXX0\r\n\r\n"},
      {"cut inside a chunk", te + "8\r\nYWJj"},
      {"no final chunk", te + "4\r\nYWJj\r\n"},
      {"bad range", std::string("POST / HTTP/1.1\r\nRange: bytes=9-3\r\n\r\n")},
      {"negative range", std::string("POST / HTTP/1.1\r\nRange: bytes=-3\r\n\r\n")},
      {"header without colon", std::string("POST / HTTP/1.1\r\nRange\r\n\r\n")},
      {"long line", std::string("POST / HTTP/1.1\r\nX: ") + std::string(5000, 'a') + "\r\n\r\n"},
      {"gzip coding", std::string("POST / HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n")},
      {"both lengths", te.substr(0, te.size() - 2) + "Content-Length: 3\r\n\r\n"},
      {"length beyond the limit", std::string("POST / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n")},
      {"headers never end", std::string("POST / HTTP/1.1\r\nA: b\r\n")},
  };
  for (auto& c : cases) {
    HttpRequest r;
    std::string error;
    EXPECT_EQ(ReadOne(c.bytes, &r, &error), ReadStatus::kError) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

TEST(Framing, ManyHeadersAreRefused) {
  std::string req = "POST / HTTP/1.1\r\n";
  for (int i = 0; i < 100; ++i) req += "X-A: b\r\n";
  HttpRequest r;
  std::string error;
  EXPECT_EQ(ReadOne(req + "\r\n", &r, &error), ReadStatus::kError);
}

TEST(Framing, StrictBase64) {
  struct {
    const char* text;
    bool ok;
    const char* bytes;
  } cases[] = {
      {"YWJj", true, "abc"},   {"/w==", true, "\xFF"}, {"YWI=", true, "ab"}, {"", true, ""},
      {"YWJ", false, ""},      {"YW=j", false, ""},    {"Y!Jj", false, ""},  {"YWJj\r\n", false, ""},
      {"====", false, ""},     {"YWJjYW==YWJj", false, ""},
  };
  for (auto& c : cases) {
    std::string out;
    EXPECT_EQ(DecodeBase64Segment(c.text, &out), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(out, c.bytes) << c.text;
    }
  }
}

TEST(Framing, ErrorTextIsNeverFinalAndEndsWithTheTrailer) {
  std::string err = ErrorTextResponse("Wrong user name or password.");
  EXPECT_NE(err.find("Content-Type: txt\r\n"), std::string::npos);
  EXPECT_EQ(err.find(" 200 "), std::string::npos);  // never a final answer: the device must fail
  EXPECT_EQ(err.find("Connection: close"), std::string::npos);
  EXPECT_EQ(err.compare(0, 11, "HTTP/1.1 20"), 0);
  // The device takes four bytes after the text before it reads on.
  std::string tail = "Content-Length: 28\r\n\r\nWrong user name or password.\r\n\r\n";
  ASSERT_GE(err.size(), tail.size());
  EXPECT_EQ(err.substr(err.size() - tail.size()), tail);
}

}  // namespace
}  // namespace tidelark_server
