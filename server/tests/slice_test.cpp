// The server's ranged answers in the device's units, whatever lengths the
// device asks for: every answer one padded Base64 segment of at most the
// characters asked for, content ranges in characters, and completion exactly
// at the end.
#include <gtest/gtest.h>

#include "server_session.h"
#include "sqlite_storage.h"
#include "sync/base64.h"
#include "sync_service.h"

namespace tidelark_server {
namespace {

using sync_engine::WireObject;
using sync_engine::WireProperty;

struct Answer {
  std::string status;
  std::uint64_t start = 0, end = 0, total = 0;
  std::string body;
  bool trailer = false;
};

// Splits one response the way the device reads it.
Answer Parse(const std::string& r) {
  Answer a;
  std::size_t head_end = r.find("\r\n\r\n");
  EXPECT_NE(head_end, std::string::npos) << r.substr(0, 200);
  if (head_end == std::string::npos) return a;
  std::string head = r.substr(0, head_end + 2);
  a.status = head.substr(9, 3);
  std::size_t cr = head.find("Content-Range: bytes ");
  if (cr != std::string::npos) {
    std::sscanf(head.c_str() + cr, "Content-Range: bytes %lu-%lu/%lu", &a.start, &a.end, &a.total);
  }
  std::size_t cl = head.find("Content-Length: ");
  std::size_t length = cl == std::string::npos ? 0 : std::stoul(head.substr(cl + 16));
  a.body = r.substr(head_end + 4, length);
  std::string rest = r.substr(head_end + 4 + a.body.size());
  a.trailer = rest == "\r\n\r\n";
  EXPECT_TRUE(rest.empty() || a.trailer) << "bytes after the body: " << rest.size();
  return a;
}

class SliceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(storage_.Open(":memory:", &error)) << error;
    Catalogue cat;
    for (int i = 0; i < kChannels; ++i) {
      Channel c;
      c.id = 30000 + i;
      c.name = "Channel " + std::to_string(i);
      c.url = "file:///nowhere.xml";
      cat.channels.push_back(c);
    }
    ASSERT_TRUE(service_.InstallCatalogue(cat));
  }
  // Phase 1's body: one request object per channel database, in pieces.
  HttpRequest Phase1Request() {
    std::string stream;
    for (int i = 0; i < kChannels; ++i) {
      WireObject r;
      r.name = "Sync-Database";
      r.properties.push_back(WireProperty::Text("Name", "Tavo " + std::to_string(30000 + i)));
      stream += sync_engine::EncodeWhole(r);
    }
    HttpRequest req;
    req.method = "POST";
    req.chunked = true;
    req.has_range = true;
    req.range_start = 0;
    req.range_length = sync_engine::kPieceChars;
    for (std::size_t at = 0; at < stream.size(); at += sync_engine::kPieceBytes)
      req.chunks.push_back(sync_engine::Base64Encode(stream.substr(at, sync_engine::kPieceBytes)));
    return req;
  }
  HttpRequest Range(std::uint64_t start, std::uint64_t length) {
    HttpRequest req;
    req.method = "POST";
    req.has_range = true;
    req.range_start = start;
    req.range_length = length;
    return req;
  }
  static constexpr int kChannels = 300;
  SqliteStorage storage_;
  SyncService service_{&storage_, ServerConfig()};
};

TEST_F(SliceTest, AnyLengthsTheDeviceAsksForJoinToTheWholeResource) {
  // The device asks for 13336 characters first, then what fits its buffers.
  const std::vector<std::uint64_t> lengths[] = {
      {10000},
      {13336, 9997, 5, 4, 7, 1333, 13336},
      {13335, 13334, 13333, 4001, 10000},
  };
  std::string whole;  // the first run's decoded resource
  for (const auto& asks : lengths) {
    ServerSession session(&service_);
    HttpRequest first = Phase1Request();
    first.range_length = asks[0];
    std::string response;
    ASSERT_TRUE(session.Handle(first, &response));
    std::string raw;
    std::uint64_t at = 0, total = 0;
    for (std::size_t i = 1;; ++i) {
      Answer a = Parse(response);
      std::uint64_t asked = asks[(i - 1) % asks.size()];
      if (total == 0) total = a.total;
      EXPECT_EQ(a.total, total) << "the total never changes";
      EXPECT_EQ(a.start, at);
      EXPECT_LE(a.body.size(), asked);
      EXPECT_EQ(a.trailer, !a.body.empty());
      std::string bytes;
      ASSERT_TRUE(DecodeBase64Segment(a.body, &bytes)) << "one padded segment";
      EXPECT_LE(bytes.size(), sync_engine::kPieceBytes);
      raw += bytes;
      at += a.body.size();
      if (a.status == "200") {
        EXPECT_EQ(a.end, total);
        EXPECT_EQ(at, total);
        break;
      }
      ASSERT_EQ(a.status, "206");
      EXPECT_EQ(a.body.find('='), std::string::npos) << "only the last segment is padded";
      EXPECT_NE(a.end, a.total);
      if (!a.body.empty()) {
        EXPECT_EQ(a.end, at - 1);
      }
      ASSERT_LT(i, 20000u);
      ASSERT_TRUE(session.Handle(Range(at, asks[i % asks.size()]), &response));
    }
    EXPECT_EQ(total, sync_engine::Base64EncodedSize(raw.size()));
    if (whole.empty()) whole = raw;
    EXPECT_EQ(raw, whole);
    // A range past the end, or between characters of a group, is refused.
    EXPECT_FALSE(session.Handle(Range(total, 10000), &response));
    EXPECT_NE(response.find(" 400 "), std::string::npos);
  }
  // The resource asks for every channel database.
  std::size_t count = 0;
  for (std::size_t p = whole.find("SendAllNames"); p != std::string::npos; p = whole.find("SendAllNames", p + 1))
    ++count;
  EXPECT_EQ(count, static_cast<std::size_t>(kChannels));
  ServerSession misaligned(&service_);
  std::string response;
  ASSERT_TRUE(misaligned.Handle(Phase1Request(), &response));
  EXPECT_FALSE(misaligned.Handle(Range(13334, 10000), &response));
}

}  // namespace
}  // namespace tidelark_server
