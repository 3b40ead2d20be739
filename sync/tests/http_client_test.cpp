#include "sync/http_client.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/services.h"
#include "test_peer.h"

using namespace sync_engine;
using sync_test::HttpReply;
using sync_test::Reply;
using sync_test::TestPeer;

namespace {

std::vector<std::u16string> g_boxes;
int RecordBox(void*, const std::u16string& text, const std::u16string& caption, std::uint32_t) {
  g_boxes.push_back(caption + u":" + text);
  return platform::kIdOk;
}
const platform::Services kRecordingServices = {RecordBox, nullptr, nullptr};

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    old_ = platform::SetServices(&kRecordingServices);
  }
  void TearDown() override {
    Disconnect(&client_);
    platform::SetServices(old_);
  }
  void ConnectTo(const TestPeer& peer) {
    client_.host = "127.0.0.1";
    client_.port = peer.port();
    client_.method = "POST";
    ASSERT_EQ(0, Connect(&client_));
  }
  // Sends one range request and reads its answer.
  ReadResult Exchange(std::uint32_t capacity, std::string* body) {
    EXPECT_EQ(RangeRequest::kRequested, RequestNextRange(&client_, 13336));
    std::string buf(capacity, '\0');
    std::uint32_t length = 99;
    int cancel = 0;
    ReadResult rc = ReadResponse(&client_, &buf[0], buf.size(), &length, nullptr, &cancel);
    body->assign(buf.data(), length);
    return rc;
  }
  HttpClient client_;
  const platform::Services* old_ = nullptr;
};

}  // namespace

TEST(HttpHeaders, RequestTextIsExact) {
  HttpClient c;
  c.method = "POST";
  c.range_start = 0;
  c.range_length = 13336;
  c.chunked = 1;
  std::string text;
  ASSERT_TRUE(BuildRequestHeaders(c, &text));
  EXPECT_EQ(
      "POST / HTTP/1.1\r\nConnection: Keep-Alive\r\nCache-Control: no-store\r\n"
      "User-Agent: Korvel Sync Engine for PocketPC\r\nRange: bytes=0-13335\r\n"
      "Transfer-Encoding: chunked\r\n\r\n",
      text);

  HttpClient g;
  g.range_start = 26672;
  g.range_length = 10000;
  g.request_body_length = 12;
  g.accept = "*/*";
  g.user_agent_line = "User-Agent: Tavo Sync Engine version 1.0.10B2 for PocketPC";
  ASSERT_TRUE(BuildRequestHeaders(g, &text));
  EXPECT_EQ(
      "GET / HTTP/1.1\r\nConnection: Keep-Alive\r\nCache-Control: no-store\r\n"
      "User-Agent: Tavo Sync Engine version 1.0.10B2 for PocketPC\r\nAccept: */*\r\n"
      "Range: bytes=26672-36671\r\nContent-Length: 12\r\n\r\n",
      text);
}

TEST(HttpHeaders, OversizedHeaderTextIsRefused) {
  HttpClient c;
  c.user_agent_line = "User-Agent: " + std::string(990, 'u');
  std::string text;
  EXPECT_FALSE(BuildRequestHeaders(c, &text));
  EXPECT_EQ(-1, SendRequestHeaders(&c));
}

TEST(HttpHeaders, CompletionRules) {
  struct Case { const char* lines; std::uint32_t complete, total, state; } cases[] = {
      {"HTTP/1.1 206 Partial Content\r\n|Content-Range: bytes 0-13335/40000\r\n", 0, 40000, kResponseOk},
      {"HTTP/1.1 206 Partial Content\r\n|Content-Range: bytes 26672-40000/40000\r\n", 1, 40000, kResponseOk},
      {"HTTP/1.1 200 OK\r\n|Content-Range: bytes 0-13335/40000\r\n", 1, 40000, kResponseOk},
      {"HTTP/1.1 404 Not Found\r\n", 0, 0, kResponseFailed},
      {"HTTP/1.0 200 OK\r\n|Content-Length: 17\r\n|Connection: close\r\n", 1, 17, kResponseClosing},
      // An error status stays an error when the server closes after it.
      {"HTTP/1.1 400 Bad Request\r\n|Content-Length: 0\r\n|Connection: close\r\n", 0, 0, kResponseFailed},
      // A close after a partial range cuts the resource short: not complete.
      {"HTTP/1.1 206 Partial Content\r\n|Content-Range: bytes 0-13335/40000\r\n|Connection: close\r\n", 0,
       40000, kResponseClosing},
      // Only a 2xx status is a success, though these contain "20".
      {"HTTP/1.1 520 Origin Error\r\n", 0, 0, kResponseFailed},
      {"HTTP/1.1 420 Enhance Your Calm\r\n|Content-Range: bytes 0-20/20\r\n", 1, 20, kResponseFailed},
  };
  for (const auto& c : cases) {
    HttpClient h;
    std::string all = c.lines;
    std::size_t at = 0;
    while (at < all.size()) {
      std::size_t bar = all.find('|', at);
      if (bar == std::string::npos) bar = all.size();
      ApplyResponseHeaderLine(&h, all.data() + at, bar - at);
      at = bar + 1;
    }
    EXPECT_EQ(c.complete, h.complete) << c.lines;
    EXPECT_EQ(c.total, h.total_length) << c.lines;
    EXPECT_EQ(static_cast<std::int32_t>(c.state), h.response_state) << c.lines;
  }
  HttpClient t;
  const char line[] = "Content-Type:   txt\r\n";
  ApplyResponseHeaderLine(&t, line, sizeof line - 1);
  EXPECT_EQ("txt", t.content_type);
}

TEST_F(HttpClientTest, ChunkedBodyAndRangesOnOneConnection) {
  std::string body1(100, 'A');
  TestPeer peer({Reply{sync_test::RangeReply(body1, 0, 200)}, Reply{sync_test::RangeReply("BBBB", 100, 104)}});
  ConnectTo(peer);
  client_.range_length = 13336;
  ASSERT_EQ(0, BeginChunkedRequest(&client_));
  std::string chunk(4096, 'c');
  EXPECT_GE(SendChunk(&client_, chunk.data(), chunk.size()), 0);
  EXPECT_GE(SendChunk(&client_, "xyz", 3), 0);
  ASSERT_EQ(0, EndChunkedRequest(&client_));
  std::string buf(13336, '\0');
  std::uint32_t length = 0;
  int cancel = 0;
  EXPECT_EQ(ReadResult::kBody, ReadResponse(&client_, &buf[0], buf.size(), &length, nullptr, &cancel));
  EXPECT_EQ(100u, length);
  EXPECT_EQ(100u, client_.range_start);
  EXPECT_EQ(body1, buf.substr(0, 100));
  EXPECT_EQ(0u, client_.complete);
  std::string body;
  EXPECT_EQ(ReadResult::kBody, Exchange(13336, &body));
  EXPECT_EQ(104u, client_.range_start);
  EXPECT_EQ("BBBB", body);
  EXPECT_EQ(1u, client_.complete);
  EXPECT_EQ(RangeRequest::kComplete, RequestNextRange(&client_, 13336));  // nothing more is asked
  Disconnect(&client_);
  auto requests = peer.Finish();
  ASSERT_EQ(2u, requests.size());
  EXPECT_NE(std::string::npos, requests[0].raw.find("\r\n\r\n1000\r\n" + chunk + "\r\n3\r\nxyz\r\n0\r\n\r\n"));
  EXPECT_EQ(std::string::npos, requests[1].headers.find("chunked"));
  EXPECT_NE(std::string::npos, requests[1].headers.find("Range: bytes=100-13435\r\n"));
}

TEST_F(HttpClientTest, FailedAndSpecialResponses) {
  struct Case {
    const char* what;
    std::string reply;
    std::uint32_t capacity;
    ReadResult result;
    std::size_t boxes;
  } cases[] = {
      {"404", HttpReply("404 Not Found", "nope"), 100, ReadResult::kFailed, 0},
      {"error text", HttpReply("200 OK", "Server busy", "Content-Type: txt\r\n"), 100, ReadResult::kErrorText, 1},
      {"body larger than the buffer", HttpReply("206 Partial Content", std::string(101, 'x')), 100,
       ReadResult::kFailed, 0},
      {"empty body", HttpReply("206 Partial Content", ""), 100, ReadResult::kEmpty, 0},
      {"server closes after it",
       HttpReply("200 OK", "abcd", "Content-Length: 4\r\nConnection: close\r\nX-Later: 1\r\n", false), 100,
       ReadResult::kClosing, 0},
      {"body cut short", "HTTP/1.1 206 Partial Content\r\nContent-Length: 50\r\n\r\nonly a few", 100,
       ReadResult::kFailed, 0},
      {"closed before the body", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n", 100, ReadResult::kFailed, 0},
      {"closed inside the headers", "HTTP/1.1 200 OK\r\nContent-Le", 100, ReadResult::kFailed, 0},
      {"400 with Connection: close", "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
       100, ReadResult::kFailed, 0},
  };
  for (const auto& c : cases) {
    g_boxes.clear();
    client_ = HttpClient();
    TestPeer peer({Reply{c.reply, true}});
    ConnectTo(peer);
    std::string body;
    EXPECT_EQ(c.result, Exchange(c.capacity, &body)) << c.what;
    EXPECT_EQ(c.boxes, g_boxes.size()) << c.what;
    if (c.result == ReadResult::kClosing) {
      EXPECT_EQ("abcd", body);
    } else {
      EXPECT_EQ("", body) << c.what;
    }
    Disconnect(&client_);
    peer.Finish();
  }
}

TEST_F(HttpClientTest, ErrorTextIsShownCaptionedError) {
  TestPeer peer({Reply{HttpReply("200 OK", "Server busy", "Content-Type: txt\r\n")}});
  ConnectTo(peer);
  std::string body;
  EXPECT_EQ(ReadResult::kErrorText, Exchange(100, &body));
  ASSERT_EQ(1u, g_boxes.size());
  EXPECT_EQ(u"Error:Server busy", g_boxes[0]);
}

TEST_F(HttpClientTest, FourBytesAfterAnErrorTextAreTakenBeforeTheNextResponse) {
  // The connection stays open: the next response is read right only when
  // exactly the four bytes after the text were consumed.
  TestPeer peer({Reply{HttpReply("203 Non-Authoritative Information", "Try later", "Content-Type: txt\r\n")},
                 Reply{sync_test::RangeReply("QUJD", 0, 4)}});
  ConnectTo(peer);
  std::string body;
  EXPECT_EQ(ReadResult::kErrorText, Exchange(100, &body));
  EXPECT_EQ(ReadResult::kBody, Exchange(100, &body));
  EXPECT_EQ("QUJD", body);
}

TEST_F(HttpClientTest, StalledServerTimesOut) {
  // Stalls before answering, and in the middle of a final body.
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 60\r\n\r\n";
  std::vector<std::vector<Reply>> scripts = {
      {Reply{"", false, true, 900}},
      {Reply{head + std::string(20, 'a')}, Reply{std::string(40, 'b') + "\r\n\r\n", true, false, 900}},
  };
  for (const auto& script : scripts) {
    client_ = HttpClient();
    client_.io_timeout_ms = 300;
    TestPeer peer(script);
    ConnectTo(peer);
    std::string body;
    std::uint64_t start = platform::os::MonotonicMillis();
    EXPECT_EQ(ReadResult::kFailed, Exchange(100, &body));
    EXPECT_EQ("", body);
    EXPECT_LT(platform::os::MonotonicMillis() - start, 850u);
    Disconnect(&client_);
    peer.Finish();
  }
}

TEST(HttpConnect, FailuresReturnMinusOne) {
  platform::os::Socket l;
  std::uint16_t port = 0;
  ASSERT_EQ(platform::os::kOk, platform::os::TcpListen("127.0.0.1", 0, 1, &l, &port));
  platform::os::CloseSocket(l);
  HttpClient c;
  c.host = "127.0.0.1";
  c.port = port;
  EXPECT_EQ(-1, Connect(&c));
  EXPECT_EQ(platform::os::kInvalidSocket, c.socket);
  c.port = 70000;
  EXPECT_EQ(-1, Connect(&c));
  c.host = "";
  c.port = 8001;
  EXPECT_EQ(-1, Connect(&c));
  Disconnect(&c);  // nothing to do when never connected
}

TEST(HttpConnect, DottedAddressWithoutReverseEntryConnects) {
  // 127.0.0.2 is loopback but has no host name: a reverse lookup would fail.
  platform::os::Socket l;
  std::uint16_t port = 0;
  if (platform::os::TcpListen("127.0.0.2", 0, 1, &l, &port) != platform::os::kOk) {
    GTEST_SKIP() << "127.0.0.2 cannot be listened on here";
  }
  HttpClient c;
  c.host = "127.0.0.2";
  c.port = port;
  EXPECT_EQ(0, Connect(&c));
  platform::os::Socket accepted;
  EXPECT_EQ(platform::os::kOk, platform::os::TcpAccept(l, &accepted));
  platform::os::CloseSocket(accepted);
  Disconnect(&c);
  EXPECT_EQ(platform::os::kInvalidSocket, c.socket);
  platform::os::CloseSocket(l);
}
