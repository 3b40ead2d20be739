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
