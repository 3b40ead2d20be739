// The real server against a small device: fresh sync, incremental sync,
// read marks, channels added by address, accounts, bad input and restarts.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sync/base64.h"
#include "sync/sync_session.h"
#include "server_process.h"
#include "http_stub.h"
#include "test_device.h"

namespace tidelark_test {
namespace {

using sync_engine::WireObject;
using sync_engine::WireProperty;

const std::string kDemo = std::string(TIDELARK_SOURCE_DIR) + "/server/demo";

std::string Rss(const std::string& title, int first, int count) { return RssFeed(title, first, count); }

class SyncServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = FreshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_FALSE(dir_.empty());
  }
  // A catalogue in the test folder whose first feed the test can rewrite.
  void StartWithOwnFeed(int retention, int interval) {
    ASSERT_TRUE(WriteFile(dir_ + "/own.xml", Rss("Own", 1, 3)));
    ASSERT_TRUE(WriteFile(dir_ + "/cat.ini",
                          "[channel 6325]\nname = Own\nurl = own.xml\n"
                          "[channel 20001]\nname = Offered\nurl = " + kDemo + "/feeds/tide-tables.rdf\nsubscribe = no\n"
                          "[alerts]\nurl = " + kDemo + "/feeds/alerts.xml\n"));
    ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini", "--retention", std::to_string(retention),
                                     "--fetch-interval", std::to_string(interval), "--session-timeout", "3"}));
  }
  void StartDemo() {
    ASSERT_TRUE(server_.Start(dir_, {"--catalogue", kDemo + "/catalogue.ini", "--session-timeout", "3"}));
  }
  SyncOutcome Sync(TestDevice* d) {
    SyncOutcome o = d->Sync(server_.port());
    EXPECT_TRUE(o.ok()) << o.result << " " << o.error_text << "\n" << server_.log();
    return o;
  }
  std::string dir_;
  ServerProcess server_;
};

std::string TextOf(const WireObject& o, const char* name) {
  std::string v;
  o.GetText(name, &v);
  return v;
}

TEST_F(SyncServerTest, FreshDeviceGetsCatalogueArticlesAndAnchors) {
  StartDemo();
  TestDevice d;
  d.SeedStartup();
  SyncOutcome o = Sync(&d);
  ASSERT_TRUE(o.ok());
  const Database& rss = d.Db("TavoRss");
  // Catalogue channels keep their identifiers; the seeded one the server
  // does not carry is removed.
  ASSERT_TRUE(rss.count("Channel 6325"));
  ASSERT_TRUE(rss.count("Channel 12444"));
  ASSERT_TRUE(rss.count("Channel 20001"));
  EXPECT_FALSE(rss.count("Channel 12441"));
  EXPECT_EQ(TextOf(rss.at("Channel 6325"), "ChName"), "Tidelark News");
  EXPECT_EQ(TextOf(rss.at("Channel 6325"), "DbName"), "Tavo 6325");
  EXPECT_EQ(TextOf(rss.at("Channel 20001"), "Subscr"), "No");
  EXPECT_EQ(rss.at("Channel 20001").Find("Icon"), nullptr);
  const WireProperty* icon = rss.at("Channel 6325").Find("Icon");
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->type, sync_engine::kTypeBinary);
  EXPECT_EQ(icon->value.compare(0, 3, "GIF"), 0);
  EXPECT_EQ(TextOf(d.Db("TavoCats")["Categories"], "News"), "News");

  const Database& news = d.Db("Tavo 6325");
  ASSERT_EQ(news.size(), 4u);  // three articles and "ChannelName"
  EXPECT_EQ(TextOf(news.at("ChannelName"), "Channel"), "Tidelark News");
  std::vector<std::pair<std::string, std::string>> by_sort;
  for (const auto& [name, obj] : news) {
    if (name == "ChannelName") continue;
    ASSERT_EQ(name.compare(0, 5, "Item "), 0);
    ASSERT_GE(obj.properties.size(), 5u);
    EXPECT_EQ(obj.properties[0].name, "Title");
    EXPECT_EQ(obj.properties[1].name, "Author");
    EXPECT_EQ(obj.properties[2].name, "Date");
    EXPECT_EQ(obj.properties[3].name, "Link");
    ASSERT_NE(obj.Find("READ"), nullptr);
    EXPECT_EQ(obj.Find("READ")->AsInt(), 0);
    by_sort.push_back({TextOf(obj, "Sort"), TextOf(obj, "Title")});
  }
  std::sort(by_sort.begin(), by_sort.end());
  EXPECT_EQ(by_sort.front().second, "Welcome to Tidelark");
  EXPECT_EQ(by_sort[1].second, "Reading offline, caf\xE9 edition");  // Windows-1252
  EXPECT_EQ(by_sort.back().second, "Tidelark syncs over the desktop connection");
  EXPECT_EQ(d.Db("Tavo 12444").size(), 3u);
  // Alerts carry their three flags.
  ASSERT_EQ(d.Db("TavoAlerts").size(), 1u);
  const WireObject& alert = d.Db("TavoAlerts").begin()->second;
  EXPECT_EQ(alert.Find("NEW_ALERT")->AsInt(), 1);
  EXPECT_EQ(alert.Find("New")->AsInt(), 1);
  EXPECT_EQ(alert.Find("READ")->AsInt(), 0);
  for (const char* db : {"TavoRss", "TavoAlerts", "Tavo 6325", "Tavo 12444"})
    EXPECT_FALSE(d.Anchor(db).empty()) << db;
}

TEST_F(SyncServerTest, SecondSyncSendsOnlyChangesAndKeepsReadMarks) {
  StartWithOwnFeed(3, 1);
  TestDevice d;
  d.SeedStartup();
  ASSERT_TRUE(Sync(&d).ok());
  ASSERT_EQ(d.Db("Tavo 6325").size(), 4u);
  // Nothing changed: headers only.
  SyncOutcome again = Sync(&d);
  EXPECT_EQ(again.received_objects, 0u);
  // The user reads story 3 and story 2 on the device.
  for (auto& [name, o] : d.Db("Tavo 6325")) {
    std::string t = TextOf(o, "Title");
    if (t == "Story 3" || t == "Story 2")
      for (auto& p : o.properties)
        if (p.name == "READ") p = WireProperty::Int("READ", 1);
  }
  // A new story arrives; with a retention of 3 the oldest falls out.
  ASSERT_TRUE(WriteFile(dir_ + "/own.xml", Rss("Own", 1, 4)));
  SyncOutcome changed;
  for (int i = 0; i < 60; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    changed = Sync(&d);
    if (changed.received_objects) break;
  }
  const Database& own = d.Db("Tavo 6325");
  std::map<std::string, int> read;
  for (const auto& [name, o] : own)
    if (name != "ChannelName") read[TextOf(o, "Title")] = o.Find("READ") ? o.Find("READ")->AsInt() : -1;
  std::map<std::string, int> expect = {{"Story 2", 1}, {"Story 3", 1}, {"Story 4", 0}};
  EXPECT_EQ(read, expect);
  EXPECT_EQ(changed.received_objects, 2u);  // one addition, one deletion
}

TEST_F(SyncServerTest, UnknownAnchorOnAFilledDatabaseDoesNotResetReadMarks) {
  StartDemo();
  TestDevice d;
  d.SeedStartup();
  ASSERT_TRUE(Sync(&d).ok());
  for (auto& [name, o] : d.Db("Tavo 6325"))
    for (auto& p : o.properties)
      if (p.name == "READ") p = WireProperty::Int("READ", 1);
  d.SetAnchor("Tavo 6325", "lost");
  SyncOutcome o = Sync(&d);
  for (const std::string& h : o.headers) EXPECT_EQ(h.find("Tavo 6325 Create"), std::string::npos) << h;
  for (auto& [name, obj] : d.Db("Tavo 6325"))
    if (name != "ChannelName") {
      EXPECT_EQ(obj.Find("READ")->AsInt(), 1) << name;
    }
}

TEST_F(SyncServerTest, SubscribingAndUnsubscribingReachTheAccount) {
  StartDemo();
  TestDevice d;
  d.SeedStartup("anna", "secret");
  ASSERT_TRUE(Sync(&d).ok());
  // Subscribe the offered channel the way the recommendation screen does.
  for (auto& p : d.Db("TavoRss")["Channel 20001"].properties)
    if (p.name == "Subscr") p = WireProperty::Text("Subscr", "Yes");
  ASSERT_TRUE(Sync(&d).ok());
  EXPECT_NE(d.Db("TavoRss")["Channel 20001"].Find("Icon"), nullptr);
  // The next sync carries the channel's articles.
  ASSERT_TRUE(Sync(&d).ok());
  EXPECT_EQ(d.Db("Tavo 20001").size(), 3u);
  // A second device of the same account sees the subscription.
  TestDevice other;
  other.SeedStartup("anna", "secret");
  ASSERT_TRUE(Sync(&other).ok());
  EXPECT_EQ(TextOf(other.Db("TavoRss")["Channel 20001"], "Subscr"), "Yes");
  // Unsubscribing on the device unsubscribes the account.
  auto& ch = d.Db("TavoRss")["Channel 6325"];
  for (auto& p : ch.properties)
    if (p.name == "Subscr") p = WireProperty::Text("Subscr", "No");
  ASSERT_TRUE(Sync(&d).ok());
  TestDevice third;
  third.SeedStartup("anna", "secret");
  ASSERT_TRUE(Sync(&third).ok());
  EXPECT_EQ(TextOf(third.Db("TavoRss")["Channel 6325"], "Subscr"), "No");
}

TEST_F(SyncServerTest, WrongPasswordGetsATextAndChangesNothing) {
  StartDemo();
  TestDevice d;
  d.SeedStartup("ben", "right");
  ASSERT_TRUE(Sync(&d).ok());
  TestDevice intruder;
  intruder.SeedStartup("ben", "wrong");
  for (auto& [name, o] : intruder.Db("TavoRss"))
    for (auto& p : o.properties)
      if (p.name == "Subscr") p = WireProperty::Text("Subscr", "No");
  SyncOutcome bad = intruder.Sync(server_.port());
  EXPECT_EQ(bad.result, sync_engine::kSyncTransferFailed);
  EXPECT_EQ(bad.error_text, "Wrong user name or password.");
  EXPECT_TRUE(intruder.Db("Tavo 6325").empty());
  TestDevice again;
  again.SeedStartup("ben", "right");
  ASSERT_TRUE(Sync(&again).ok());
  EXPECT_EQ(TextOf(again.Db("TavoRss")["Channel 6325"], "Subscr"), "Yes");
}

TEST_F(SyncServerTest, ChannelAddedByAddressComesBackComplete) {
  // The feed is on this machine: the operator allows private addresses.
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", kDemo + "/catalogue.ini", "--allow-private-addresses", "yes"}));
  std::string body = Rss("Harbour Radio", 1, 5);
  HttpStub feed([&](const std::string&) { return HttpStub::Ok(body); });
  TestDevice d;
  d.SeedStartup();
  ASSERT_TRUE(Sync(&d).ok());
  WireObject added;
  added.name = "Channel 2026:12:09:10:00:00:000";
  added.properties.push_back(WireProperty::Text("URL", "http://127.0.0.1:" + std::to_string(feed.port()) + "/feed"));
  added.properties.push_back(WireProperty::Text("Subscr", "Yes"));
  added.properties.push_back(WireProperty::Text("ChName", "Harbour"));
  added.properties.push_back(WireProperty::Text("Plugin", "News"));
  d.Db("TavoRss")[added.name] = added;
  SyncOutcome o = Sync(&d);
  ASSERT_TRUE(o.ok());
  EXPECT_FALSE(d.Db("TavoRss").count(added.name));
  std::string db;
  for (const auto& [name, obj] : d.Db("TavoRss"))
    if (TextOf(obj, "ChName") == "Harbour") {
      db = TextOf(obj, "DbName");
      EXPECT_EQ(TextOf(obj, "Subscr"), "Yes");
      EXPECT_NE(obj.Find("Icon"), nullptr);
      EXPECT_EQ(name, "Channel " + db.substr(5));
    }
  ASSERT_FALSE(db.empty());
  EXPECT_EQ(d.Db(db).size(), 6u);  // five stories and "ChannelName"
  EXPECT_FALSE(d.Anchor(db).empty());
  // Another account does not see it.
  TestDevice other;
  other.SeedStartup();
  ASSERT_TRUE(Sync(&other).ok());
  for (const auto& [name, obj] : other.Db("TavoRss")) EXPECT_NE(TextOf(obj, "ChName"), "Harbour");
}

TEST_F(SyncServerTest, BadInputEndsOneSessionAndTheServerKeepsServing) {
  StartDemo();
  const std::string head = "POST / HTTP/1.1\r\nRange: bytes=0-13335\r\nTransfer-Encoding: chunked\r\n\r\n";
  std::vector<std::string> attacks = {
      "GARBAGE\r\n\r\n",
      head + "-10\r\n",
      head + "fffffff\r\n",
      head + "8\r\n!!!!!!!!\r\n0\r\n\r\n",
      head + "8\r\n" + "T2JqSAA=" + "\r\n0\r\n\r\n",              // "ObjH" and an unfinished object
      head + "8\r\n" + "WFhYWFhY" + "\r\n0\r\n\r\n",              // not an object at all
      "POST / HTTP/1.1\r\nRange: bytes=0-13335\r\n\r\n",          // a range before any request
  };
  // A property that claims 16 MB: larger than any work buffer, refused at once.
  std::string huge("ObjHx\0Prop\0\x03\0\xff\xff\xffn\0\0abcd", 23);
  std::string b64 = sync_engine::Base64Encode(huge);
  char size[16];
  std::snprintf(size, sizeof size, "%zx", b64.size());
  attacks.push_back(head + size + "\r\n" + b64 + "\r\n0\r\n\r\n");
  for (const std::string& a : attacks) {
    int fd = ConnectLocal(server_.port());
    ASSERT_GE(fd, 0);
    SendText(fd, a);
    std::string answer = ReadAll(fd, 4000);
    close(fd);
    EXPECT_NE(answer.find("400"), std::string::npos) << a.substr(0, 40) << " -> " << answer.substr(0, 60);
  }
  // A device that stalls mid-session and one that vanishes.
  int stall = ConnectLocal(server_.port());
  SendText(stall, head + "4\r\nYWJj");
  int gone = ConnectLocal(server_.port());
  SendText(gone, head);
  close(gone);
  TestDevice d;
  d.SeedStartup();
  EXPECT_TRUE(Sync(&d).ok());
  EXPECT_EQ(d.Db("Tavo 6325").size(), 4u);
  std::string after_stall = ReadAll(stall, 6000);  // the time-out closes it
  close(stall);
  EXPECT_NE(after_stall.find("400"), std::string::npos);
}

TEST_F(SyncServerTest, PicturesTravelWholeOrInPartsJoinedByAnImageMap) {
  std::string big = "GIF89a";
  for (int i = 0; big.size() < 20000; ++i) big.push_back(static_cast<char>(i * 7));
  std::string small = "GIF89a" + std::string(94, 'p');
  ASSERT_TRUE(WriteFile(dir_ + "/big.gif", big));
  ASSERT_TRUE(WriteFile(dir_ + "/small.gif", small));
  ASSERT_TRUE(WriteFile(dir_ + "/pics.xml",
                        "<rss version='2.0' xmlns:media='http://search.yahoo.com/mrss/'><channel><title>P</title>"
                        "<item><title>Big</title><guid>big</guid><link>http://p/big</link>"
                        "<enclosure url='file://" + dir_ + "/big.gif' type='image/gif' length='1'/></item>"
                        "<item><title>Small</title><guid>small</guid><link>http://p/small</link>"
                        "<media:thumbnail url='file://" + dir_ + "/small.gif'/></item>"
                        "<item><title>None</title><guid>none</guid><link>http://p/none</link></item>"
                        "</channel></rss>"));
  ASSERT_TRUE(WriteFile(dir_ + "/cat.ini", "[channel 6325]\nname = P\nurl = pics.xml\n"));
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", dir_ + "/cat.ini"}));
  TestDevice d;
  d.SeedStartup();
  ASSERT_TRUE(Sync(&d).ok());
  const Database& db = d.Db("Tavo 6325");
  std::map<std::string, std::string> key_of;
  for (const auto& [name, o] : db)
    if (name.compare(0, 5, "Item ") == 0) key_of[TextOf(o, "Title")] = name.substr(5);
  ASSERT_EQ(key_of.size(), 3u);
  // Behind a picture the link moves before the date: still the fifth element.
  const WireObject& big_item = db.at("Item " + key_of["Big"]);
  EXPECT_EQ(big_item.properties[2].name, "Link");
  EXPECT_EQ(big_item.properties[3].name, "Date");
  EXPECT_EQ(db.at("Item " + key_of["None"]).properties[3].name, "Link");
  EXPECT_FALSE(db.count("Pic " + key_of["None"]));

  const WireObject& small_pic = db.at("Pic " + key_of["Small"]);
  EXPECT_EQ(TextOf(small_pic, "Feed"), key_of["Small"]);
  ASSERT_NE(small_pic.Find("Image"), nullptr);
  EXPECT_EQ(small_pic.Find("Image")->value, small);

  const WireObject& big_pic = db.at("Pic " + key_of["Big"]);
  EXPECT_EQ(TextOf(big_pic, "Feed"), key_of["Big"]);
  EXPECT_EQ(big_pic.Find("Image"), nullptr);
  const WireProperty* map = big_pic.Find("ImageMap");
  ASSERT_NE(map, nullptr);
  // Join the parts the way the article view does.
  std::vector<std::string> texts;
  for (std::size_t p = 0; p < map->value.size();) {
    std::size_t z = map->value.find('\0', p);
    ASSERT_NE(z, std::string::npos);
    texts.push_back(map->value.substr(p, z - p));
    p = z + 1;
  }
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "");
  std::string joined;
  for (std::size_t i = 0; i + 4 <= texts.size(); i += 4) {
    ASSERT_TRUE(db.count(texts[i])) << texts[i];
    const WireProperty* part = db.at(texts[i]).Find(texts[i + 1]);
    ASSERT_NE(part, nullptr);
    EXPECT_LE(part->value.size(), 8000u);
    joined += part->value;
  }
  EXPECT_EQ(joined, big);
}

TEST_F(SyncServerTest, RestartLosesNothing) {
  StartDemo();
  TestDevice d;
  d.SeedStartup("cora", "pw");
  ASSERT_TRUE(Sync(&d).ok());
  EXPECT_EQ(server_.Stop(), 0);  // graceful shutdown
  ASSERT_TRUE(server_.Start(dir_, {"--catalogue", kDemo + "/catalogue.ini"}));
  SyncOutcome o = Sync(&d);
  EXPECT_EQ(o.received_objects, 0u);
  TestDevice wrong;
  wrong.SeedStartup("cora", "other");
  EXPECT_FALSE(wrong.Sync(server_.port()).ok());
}

}  // namespace
}  // namespace tidelark_test
