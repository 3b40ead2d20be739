// The command-line device (tidelark-sync) against the real server with every
// feed of the shared data as a channel of its own, and its failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "device_checks.h"

namespace tidelark_test {
namespace {

TEST(DeviceEndToEnd, EveryFeedOfTheSharedDataArrivesWholeOnAFreshDevice) {
  std::string dir = FreshDir("EveryFeedOfTheSharedData");
  std::size_t feeds = WriteSharedFeedsCatalogue(dir);
  ASSERT_GE(feeds, 20u) << "the shared feeds are missing: " << TIDELARK_SHARED_DATA;
  ServerProcess server;
  ASSERT_TRUE(server.Start(dir, {"--catalogue", dir + "/cat.ini", "--fetch-interval", "0", "--fetch-pictures", "no"}));
  FaultProxy counting(server.port(), FaultProxy::Plan());
  std::string device = dir + "/device";
  ASSERT_EQ(mkdir(device.c_str(), 0755), 0);
  std::string sync = std::string(TIDELARK_SYNC_BIN) + " --device " + Quote(device) + " --server 127.0.0.1:" +
                     std::to_string(counting.port());
  // The first sync brings the channel list, the second the channels.
  for (int i = 0; i < 2; ++i) {
    std::string out;
    EXPECT_EQ(RunCommand(sync, &out), 0) << out << server.log();
    EXPECT_NE(out.find("Done."), std::string::npos) << out;
    EXPECT_NE(out.find("result 0\n"), std::string::npos) << out;
  }
  // The articles took many answers (some 700 KB of them).
  EXPECT_GE(counting.count(FaultProxy::kPhase4Range), 50);
  ExpectChannelsAsOnTheServer(dir, device + "/Reader.vol", feeds);
  ExpectConsistent(device + "/Reader.vol");
}

TEST(DeviceEndToEnd, TextArrivesInTheDevicesOwnCodePage) {
  std::string dir = FreshDir("CodePages");
  // A Russian channel whose name and articles are Cyrillic, with a Greek word.
  const std::string cyrillic = "\xD0\xA6\xD0\xB8\xD1\x82\xD0\xB0\xD1\x82\xD0\xB0 #17703";  // "Citata" in Cyrillic
  const std::string greek = "\xCE\xB1\xCE\xB2\xCE\xB3";                                          // alpha beta gamma
  const std::string name = "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8";      // "Novosti"
  ASSERT_TRUE(WriteFile(dir + "/ru.xml", "<?xml version='1.0' encoding='utf-8'?><rss version='2.0'><channel>"
                                         "<title>RU</title><item><title>" + cyrillic + " " + greek +
                                         "</title><guid>1</guid><description>&laquo;" + cyrillic +
                                         "&raquo;</description></item></channel></rss>"));
  ASSERT_TRUE(WriteFile(dir + "/cat.ini", "[channel 6325]\nname = " + name + "\nurl = ru.xml\n"));
  ServerProcess server;
  ASSERT_TRUE(server.Start(dir, {"--catalogue", dir + "/cat.ini", "--fetch-interval", "0", "--fetch-pictures", "no"}));
  const struct {
    const char* lang;
    std::string title, channel, shown;
  } devices[] = {
      // Windows-1251: the letters themselves; Greek transliterated.
      {"RUS", "\xD6\xE8\xF2\xE0\xF2\xE0 #17703 abg", "\xCD\xEE\xE2\xEE\xF1\xF2\xE8", cyrillic + " abg"},
      // Windows-1252: Latin letters, not question marks.
      {"ENU", "Citata #17703 abg", "Novosti", "Citata #17703 abg"},
  };
  for (const auto& dev : devices) {
    SCOPED_TRACE(dev.lang);
    std::string device = dir + "/device-" + dev.lang;
    ASSERT_EQ(mkdir(device.c_str(), 0755), 0);
    std::string sync = std::string(TIDELARK_SYNC_BIN) + " --device " + Quote(device) + " --server 127.0.0.1:" +
                       std::to_string(server.port()) + " --lang " + dev.lang + " --list";
    std::string out;
    ASSERT_EQ(RunCommand(sync, &out), 0) << out << server.log();
    EXPECT_NE(out.find("\"" + dev.shown + "\""), std::string::npos) << "shown from the device's code page:\n" << out;
    sync_engine::StoreSyncStore store(device + "/Reader.vol");
    sync_engine::SyncStore::Database db = nullptr;
    ASSERT_EQ(store.Open("Tavo 6325", false, false, 0, &db), 0);
    std::string title, text, channel;
    store.ForEachObject(db, 0, nullptr, [&](const sync_engine::WireObject& o) {
      if (o.name == "ChannelName") o.GetText("Channel", &channel);
      else if (o.name.compare(0, 5, "Item ") == 0) o.GetText("Title", &title), o.GetText("Text", &text);
      return true;
    });
    store.Close(&db);
    EXPECT_EQ(title, dev.title);
    EXPECT_EQ(channel, dev.channel);
    EXPECT_EQ(text, "\xAB" + dev.title.substr(0, dev.title.size() - 4) + "\xBB");
  }
  EXPECT_NE(server.log().find("code page 1251"), std::string::npos);
}

TEST(DeviceEndToEnd, TidelarkSyncReportsAFailedSyncAsAFailure) {
  std::string dir = FreshDir("TidelarkSyncFailure");
  ASSERT_TRUE(WriteFile(dir + "/cat.ini", "[channel 6325]\nname = Demo\nurl = " + std::string(TIDELARK_SOURCE_DIR) +
                                              "/server/demo/feeds/tidelark-news.xml\n"));
  ServerProcess server;
  ASSERT_TRUE(server.Start(dir, {"--catalogue", dir + "/cat.ini", "--fetch-interval", "0", "--fetch-pictures", "no"}));
  std::string device = dir + "/device";
  ASSERT_EQ(mkdir(device.c_str(), 0755), 0);
  // The server's own refusal (an error text) and a broken answer.
  FaultProxy::Plan broken;
  broken.fault = FaultProxy::kBadRequest;
  broken.request = FaultProxy::kPhase3Body;
  FaultProxy proxy(server.port(), broken);
  const std::string base = std::string(TIDELARK_SYNC_BIN) + " --device " + Quote(device) + " --server 127.0.0.1:";
  std::string out;
  ASSERT_EQ(RunCommand(base + std::to_string(server.port()) + " --user ann --pass right", &out), 0) << out;
  const struct {
    std::string command, shown;
  } failures[] = {
      {base + std::to_string(server.port()) + " --user ann --pass wrong", "Wrong user name or password."},
      {base + std::to_string(proxy.port()), ""},
  };
  for (const auto& f : failures) {
    EXPECT_EQ(RunCommand(f.command, &out), 1) << f.command << "\n" << out;
    EXPECT_EQ(out.find("Done."), std::string::npos) << out;
    EXPECT_NE(out.find("Sync error occured!"), std::string::npos) << out;
    EXPECT_NE(out.find("the sync failed: a request or response failed (15002)"), std::string::npos) << out;
    EXPECT_NE(out.find(f.shown), std::string::npos) << out;
  }
  ExpectConsistent(device + "/Reader.vol");
}


}  // namespace
}  // namespace tidelark_test
