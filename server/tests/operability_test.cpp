// The server as an operator runs it: listening before the feeds are in,
// stopping on SIGTERM within seconds, cutting idle sessions but not slow
// ones, connection caps, the outbound rules, conditional fetching and
// back-off, and channels the catalogue dropped.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <thread>

#include "feed_fetch.h"
#include "http_stub.h"
#include "server_process.h"
#include "sync/base64.h"
#include "sync/wire_object.h"
#include "test_device.h"

namespace tidelark_test {
namespace {

using sync_engine::WireObject;
using sync_engine::WireProperty;
using Clock = std::chrono::steady_clock;

class OperabilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = FreshDir(std::string("ops-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_FALSE(dir_.empty());
  }
  void Catalogue(const std::vector<std::pair<int, std::string>>& channels) {
    std::string cat;
    for (const auto& [id, url] : channels)
      cat += "[channel " + std::to_string(id) + "]\nname = C" + std::to_string(id) + "\nurl = " + url + "\n";
    ASSERT_TRUE(WriteFile(dir_ + "/cat.ini", cat));
  }
  // Waits until the server's log has `text` after `from` characters.
  bool WaitForLog(const std::string& text, std::size_t from = 0, int ms = 10000) {
    for (int waited = 0; waited < ms; waited += 50) {
      if (server_.log().find(text, from) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  std::string dir_;
  ServerProcess server_;
};

// True when the server ended the connection (closed it, or answered and closed).
bool Refused(int fd) {
  std::string got = ReadAll(fd, 1500);
  char probe;
  return recv(fd, &probe, 1, MSG_DONTWAIT) == 0 || got.find("busy") != std::string::npos;
}

// A phase 1 request of one database, as its head and its one chunk.
std::string Phase1Head() { return "POST / HTTP/1.1\r\nRange: bytes=0-13335\r\nTransfer-Encoding: chunked\r\n\r\n"; }
std::string Phase1Chunk() {
  WireObject r;
  r.name = "Sync-Database";
  r.properties.push_back(WireProperty::Text("Name", "TavoRss"));
  std::string b64 = sync_engine::Base64Encode(sync_engine::EncodeWhole(r));
  char size[16];
  std::snprintf(size, sizeof size, "%zx", b64.size());
  return std::string(size) + "\r\n" + b64 + "\r\n0\r\n\r\n";
}

TEST_F(OperabilityTest, HelpListsTheFlagsAndLogLinesCarryTheirTime) {
  FILE* p = popen((std::string(TIDELARK_SERVER_BIN) + " --help").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0);
  for (const char* flag : {"--listen", "--port", "--catalogue", "--session-timeout", "--max-connections"})
    EXPECT_NE(out.find(flag), std::string::npos) << flag;
  Catalogue({{6325, std::string(TIDELARK_SOURCE_DIR) + "/server/demo/feeds/tidelark-news.xml"}});
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini"}));
  ASSERT_EQ(server_.Stop(), 0);
  std::string log = server_.log();
  std::regex stamped(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )");
  int lines = 0;
  for (std::size_t at = 0; at < log.size();) {
    std::size_t end = log.find('\n', at);
    std::string line = log.substr(at, end - at);
    if (!line.empty() && line[0] != ' ') {  // continuation lines of one event are indented
      EXPECT_TRUE(std::regex_search(line, stamped)) << line;
      ++lines;
    }
    at = end == std::string::npos ? log.size() : end + 1;
  }
  EXPECT_GE(lines, 4);
}

TEST_F(OperabilityTest, ListensAtOnceFetchesInTheBackgroundAndStopsWithinSeconds) {
  // A feed that takes its time, and one that never answers.
  HttpStub slow([](const std::string&) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    return HttpStub::Ok(RssFeed("Slow", 1, 2));
  });
  HttpStub hung([](const std::string&) {
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return std::string();
  });
  Catalogue({{6325, slow.url()}, {12444, hung.url()}});
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini", "--shutdown-grace", "1"}, false));
  // A device syncs while the first round of fetching still runs.
  TestDevice d;
  d.SeedStartup();
  SyncOutcome o = d.Sync(server_.port());
  EXPECT_TRUE(o.ok()) << server_.log();
  EXPECT_EQ(server_.log().find("feeds: first round done"), std::string::npos) << "the sync did not wait for the feeds";
  EXPECT_TRUE(d.Db("TavoRss").count("Channel 6325"));
  ASSERT_TRUE(WaitForLog("\"C6325\": 2 items"));
  // A session stalled in the middle of a request and a fetch that hangs:
  // SIGTERM still ends the server within seconds, cleanly.
  int stalled = ConnectLocal(server_.port());
  ASSERT_GE(stalled, 0);
  SendText(stalled, Phase1Head() + "40\r\nAAAA");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  auto begin = Clock::now();
  server_.Signal(SIGTERM);
  int status = server_.Wait(15000);
  double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  close(stalled);
  EXPECT_EQ(status, 0) << server_.log();
  EXPECT_LT(seconds, 10.0);
  EXPECT_NE(server_.log().find("1 session(s) cut"), std::string::npos) << server_.log();
}

TEST_F(OperabilityTest, ASlowSessionCompletesAnIdleOneIsCut) {
  Catalogue({{6325, std::string(TIDELARK_SOURCE_DIR) + "/server/demo/feeds/tidelark-news.xml"}});
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini", "--session-timeout", "2"}));
  // Five seconds in the sending, never two without a byte: it goes through.
  int slow = ConnectLocal(server_.port());
  std::string request = Phase1Head() + Phase1Chunk();
  for (std::size_t at = 0; at < request.size(); at += request.size() / 10 + 1) {
    ASSERT_TRUE(SendText(slow, request.substr(at, request.size() / 10 + 1)));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  std::string answer = ReadAll(slow, 3000);
  close(slow);
  EXPECT_NE(answer.find("Content-Range: bytes 0-"), std::string::npos) << answer.substr(0, 200) << server_.log();
  // Three seconds without a byte: cut.
  int idle = ConnectLocal(server_.port());
  SendText(idle, Phase1Head());
  auto begin = Clock::now();
  std::string cut = ReadAll(idle, 8000);
  double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  close(idle);
  EXPECT_NE(cut.find("400"), std::string::npos);
  EXPECT_LT(seconds, 7.0);
  EXPECT_TRUE(WaitForLog("without progress"));
}

TEST_F(OperabilityTest, IdleConnectionsCannotLockEveryoneOut) {
  Catalogue({{6325, std::string(TIDELARK_SOURCE_DIR) + "/server/demo/feeds/tidelark-news.xml"}});
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini", "--max-connections-per-address", "2",
                                   "--max-connections", "3", "--session-timeout", "30"}));
  int a1 = ConnectLocal(server_.port(), "127.0.0.1");
  int a2 = ConnectLocal(server_.port(), "127.0.0.1");
  ASSERT_GE(a2, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int a3 = ConnectLocal(server_.port(), "127.0.0.1");
  EXPECT_TRUE(Refused(a3)) << "a third from one address";
  int b1 = ConnectLocal(server_.port(), "127.0.0.2");
  ASSERT_GE(b1, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int c1 = ConnectLocal(server_.port(), "127.0.0.3");
  EXPECT_TRUE(Refused(c1)) << "a fourth in all";
  EXPECT_FALSE(Refused(b1)) << "the admitted one stays open";
  for (int fd : {a1, a2, a3, b1, c1}) close(fd);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  TestDevice d;
  d.SeedStartup();
  EXPECT_TRUE(d.Sync(server_.port()).ok()) << server_.log();
  EXPECT_NE(server_.log().find("too many connections"), std::string::npos);
}

TEST_F(OperabilityTest, AddressesFromDevicesReachOnlyPublicHosts) {
  int fetched = 0;
  HttpStub local([&](const std::string&) {
    ++fetched;
    return HttpStub::Ok(RssFeed("Inside", 1, 2));
  });
  Catalogue({{6325, std::string(TIDELARK_SOURCE_DIR) + "/server/demo/feeds/tidelark-news.xml"}});
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini"}));
  TestDevice d;
  d.SeedStartup();
  ASSERT_TRUE(d.Sync(server_.port()).ok());
  // Loopback by address and by a name that resolves to it; a file address.
  const std::string urls[] = {local.url(), "http://localhost:" + std::to_string(local.port()) + "/feed",
                              "file:///etc/hostname"};
  for (const std::string& url : urls) {
    WireObject added;
    added.name = "Channel 2026:12:09:10:00:00:000";
    added.properties = {WireProperty::Text("URL", url), WireProperty::Text("Subscr", "Yes"),
                        WireProperty::Text("ChName", "Inside"), WireProperty::Text("Plugin", "News")};
    d.Db("TavoRss")[added.name] = added;
    ASSERT_TRUE(d.Sync(server_.port()).ok());
    EXPECT_FALSE(d.Db("TavoRss").count(added.name)) << url;
    for (const auto& [name, o] : d.Db("TavoRss")) {
      std::string n;
      o.GetText("ChName", &n);
      EXPECT_NE(n, "Inside") << url;
    }
  }
  EXPECT_EQ(local.requests(), 0);
}

TEST(OutboundRules, PublicAddressesOnly) {
  struct {
    const char* address;
    bool is_public;
  } cases[] = {
      {"93.184.216.34", true},  {"8.8.8.8", true},        {"127.0.0.1", false},   {"10.1.2.3", false},
      {"172.16.0.1", false},    {"172.32.0.1", true},     {"192.168.1.1", false}, {"169.254.169.254", false},
      {"100.64.0.1", false},    {"0.0.0.0", false},       {"224.0.0.1", false},   {"255.255.255.255", false},
      {"2606:2800:220:1::1", true}, {"::1", false},       {"::", false},          {"fe80::1", false},
      {"fd00::1", false},       {"ff02::1", false},       {"::ffff:127.0.0.1", false}, {"::ffff:8.8.8.8", true},
      {"64:ff9b::a00:1", false}, {"2001:db8::1", false},
  };
  for (auto& c : cases) {
    sockaddr_storage s{};
    if (std::string(c.address).find(':') == std::string::npos) {
      auto* a = reinterpret_cast<sockaddr_in*>(&s);
      a->sin_family = AF_INET;
      ASSERT_EQ(inet_pton(AF_INET, c.address, &a->sin_addr), 1) << c.address;
    } else {
      auto* a = reinterpret_cast<sockaddr_in6*>(&s);
      a->sin6_family = AF_INET6;
      ASSERT_EQ(inet_pton(AF_INET6, c.address, &a->sin6_addr), 1) << c.address;
    }
    EXPECT_EQ(tidelark_server::IsPublicAddress(reinterpret_cast<sockaddr*>(&s)), c.is_public) << c.address;
  }
}

TEST(OutboundRules, EveryFetchIsBoundedInSizeAndTime) {
  tidelark_server::FetchInit(tidelark_server::FetchPolicy());
  HttpStub big([](const std::string&) { return HttpStub::Ok(std::string(100000, 'x')); });
  HttpStub slow([](const std::string&) {
    std::this_thread::sleep_for(std::chrono::seconds(4));
    return HttpStub::Ok("late");
  });
  tidelark_server::FetchRequest r;
  r.url = big.url();
  r.max_bytes = 1000;
  tidelark_server::FetchResult got = tidelark_server::Fetch(r);
  EXPECT_FALSE(got.ok);
  EXPECT_NE(got.error.find("larger than"), std::string::npos) << got.error;
  r.url = slow.url();
  r.max_bytes = 1000;
  r.timeout_seconds = 1;
  auto begin = Clock::now();
  got = tidelark_server::Fetch(r);
  EXPECT_FALSE(got.ok);
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - begin).count(), 3.5);
  // Untrusted: refused after resolution, before any byte is sent.
  r.url = "http://localhost:" + std::to_string(big.port()) + "/feed";
  r.untrusted = true;
  r.timeout_seconds = 5;
  int before = big.requests();
  got = tidelark_server::Fetch(r);
  EXPECT_FALSE(got.ok);
  EXPECT_NE(got.error.find("refused"), std::string::npos) << got.error;
  EXPECT_EQ(big.requests(), before);
}

TEST_F(OperabilityTest, FeedsAreFetchedConditionallyAndBackOffWhenAsked) {
  std::atomic<int> mode{0};  // 0: feed with validators, 1: 429 with Retry-After
  HttpStub feed([&](const std::string& head) {
    if (mode == 1) return std::string("HTTP/1.0 429 Too Many Requests\r\nRetry-After: 3600\r\nContent-Length: 0\r\n\r\n");
    if (head.find("If-None-Match: \"v1\"") != std::string::npos)
      return std::string("HTTP/1.0 304 Not Modified\r\n\r\n");
    return HttpStub::Ok(RssFeed("Cond", 1, 3), "ETag: \"v1\"\r\nLast-Modified: Wed, 01 Jan 2025 00:00:00 GMT\r\n");
  });
  Catalogue({{6325, feed.url()}});
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini", "--fetch-interval", "1"}));
  ASSERT_TRUE(WaitForLog("not modified"));
  std::vector<std::string> heads = feed.heads();
  ASSERT_GE(heads.size(), 2u);
  EXPECT_EQ(heads[0].find("If-None-Match"), std::string::npos);
  EXPECT_NE(heads[1].find("If-None-Match: \"v1\""), std::string::npos) << heads[1];
  EXPECT_NE(heads[1].find("If-Modified-Since: Wed, 01 Jan 2025 00:00:00 GMT"), std::string::npos) << heads[1];
  // The articles stayed: a device gets them.
  TestDevice d;
  d.SeedStartup();
  ASSERT_TRUE(d.Sync(server_.port()).ok());
  EXPECT_EQ(d.Db("Tavo 6325").size(), 4u);
  mode = 1;
  std::size_t mark = server_.log().size();
  ASSERT_TRUE(WaitForLog("HTTP status 429", mark));
  int after = feed.requests();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_EQ(feed.requests(), after) << "no request within the hour it asked for";
  EXPECT_NE(server_.log().find("next try in 36", mark), std::string::npos) << server_.log().substr(mark);
}

TEST_F(OperabilityTest, ChannelsTheCatalogueDroppedAreNoLongerFetchedOrOffered) {
  HttpStub kept([](const std::string&) { return HttpStub::Ok(RssFeed("Kept", 1, 2)); });
  HttpStub dropped([](const std::string&) { return HttpStub::Ok(RssFeed("Dropped", 1, 2)); });
  Catalogue({{6325, kept.url()}, {20001, dropped.url()}});
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini", "--fetch-interval", "1"}));
  TestDevice d;
  d.SeedStartup();
  ASSERT_TRUE(d.Sync(server_.port()).ok());
  ASSERT_TRUE(d.Db("TavoRss").count("Channel 20001"));
  ASSERT_EQ(server_.Stop(), 0);
  Catalogue({{6325, kept.url()}});
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini", "--fetch-interval", "1"}));
  int dropped_before = dropped.requests(), kept_before = kept.requests();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_GT(kept.requests(), kept_before);
  EXPECT_EQ(dropped.requests(), dropped_before);
  ASSERT_TRUE(d.Sync(server_.port()).ok());
  EXPECT_FALSE(d.Db("TavoRss").count("Channel 20001"));
  EXPECT_TRUE(d.Db("TavoRss").count("Channel 6325"));
}

}  // namespace
}  // namespace tidelark_test
