// The real device against the real server on 127.0.0.1, at real sizes: the
// command-line device (tidelark-sync) with every feed of the shared data as
// a channel, the engine on a real volume with 200 channels, and servers that
// fail in the middle of a sync. Every volume must pass tidelark-vol --check.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <map>
#include <set>

#include "fault_proxy.h"
#include "server_process.h"
#include "storage.h"
#include "sync/store_adapter.h"
#include "sync/sync_session.h"
#include "sync_service.h"
#include "test_device.h"
#include "wire_out.h"

namespace tidelark_test {
namespace {

using sync_engine::StoreSyncStore;
using sync_engine::SyncStore;
using sync_engine::WireObject;

// Runs a command; its exit code, and its output (stdout and stderr) in *output.
int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) output->append(buf, n);
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// tidelark-vol --check: every database of the volume consistent.
void ExpectConsistent(const std::string& volume) {
  std::string out;
  EXPECT_EQ(RunCommand(std::string(TIDELARK_VOL_BIN) + " --check " + Quote(volume), &out), 0) << out;
  EXPECT_EQ(out.find("problem"), std::string::npos) << out;
}

// Name -> the object as the server's encoder writes it, for comparing.
using Encoded = std::map<std::string, std::string>;

Encoded DeviceDatabase(SyncStore* store, const std::string& db) {
  Encoded out;
  SyncStore::Database h = nullptr;
  if (store->Open(db, false, false, 0, &h) != 0) return out;
  store->ForEachObject(h, 0, nullptr, [&](const WireObject& o) {
    out[o.name] = tidelark_server::EncodeForDevice(o);
    return true;
  });
  store->Close(&h);
  return out;
}

// Every channel database of the volume holds exactly what the server holds
// for that channel (a fresh device: articles unread).
void ExpectChannelsAsOnTheServer(const std::string& data_dir, const std::string& volume, std::size_t channels) {
  tidelark_server::Storage storage;
  std::string error;
  ASSERT_TRUE(storage.Open(data_dir, &error)) << error;
  tidelark_server::SyncService service(&storage, 50);
  std::lock_guard<std::mutex> lock(storage.mutex());
  std::vector<tidelark_server::Channel> all = storage.Channels();
  ASSERT_EQ(all.size(), channels);
  std::size_t objects = 0;
  StoreSyncStore device(volume);
  SyncStore::Database in_use = nullptr;  // keeps the volume in use across the databases
  ASSERT_EQ(device.Open("TavoSyncDBAnchors", false, false, 0, &in_use), 0);
  for (const tidelark_server::Channel& c : all) {
    std::string db = "Tavo " + std::to_string(c.id);
    Encoded want;
    WireObject name;
    name.name = "ChannelName";
    name.properties.push_back(sync_engine::WireProperty::Text("Channel", c.name));
    want[name.name] = tidelark_server::EncodeForDevice(name);
    for (const tidelark_server::PreparedObject& p : *service.PreparedItems(c.id, false)) want[p.name] = p.full;
    Encoded got = DeviceDatabase(&device, db);
    EXPECT_EQ(got.size(), want.size()) << db << " (" << c.name << ")";
    std::size_t differ = 0;
    for (const auto& [n, bytes] : want) {
      auto it = got.find(n);
      if (it == got.end() || it->second != bytes) {
        if (++differ <= 3) ADD_FAILURE() << db << ": " << n << (it == got.end() ? " missing" : " differs");
      }
    }
    objects += got.size();
  }
  device.Close(&in_use);
  EXPECT_GT(objects, channels);
}

std::vector<std::string> SharedFeeds() {
  std::string dir = std::string(TIDELARK_SHARED_DATA) + "/feeds";
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(DeviceEndToEnd, EveryFeedOfTheSharedDataArrivesWholeOnAFreshDevice) {
  std::vector<std::string> feeds = SharedFeeds();
  std::size_t bytes = 0;
  for (const std::string& f : feeds) bytes += ReadFile(f).size();
  ASSERT_GE(feeds.size(), 20u) << "the shared feeds are missing: " << TIDELARK_SHARED_DATA;
  ASSERT_GT(bytes, 1000000u);
  std::string dir = FreshDir("EveryFeedOfTheSharedData");
  std::string cat;
  for (std::size_t i = 0; i < feeds.size(); ++i) {
    std::string file = feeds[i].substr(feeds[i].rfind('/') + 1);
    cat += "[channel " + std::to_string(40001 + i) + "]\nname = " + file + "\nurl = " + feeds[i] + "\n";
  }
  ASSERT_TRUE(WriteFile(dir + "/cat.ini", cat));
  ServerProcess server;
  ASSERT_TRUE(server.Start(dir, {"--catalogue", dir + "/cat.ini", "--fetch-interval", "0",
                                           "--fetch-pictures", "no"}));
  std::string device = dir + "/device";
  ASSERT_EQ(mkdir(device.c_str(), 0755), 0);
  std::string sync = std::string(TIDELARK_SYNC_BIN) + " --device " + Quote(device) + " --server 127.0.0.1:" +
                     std::to_string(server.port());
  // The first sync brings the channel list, the second the channels.
  for (int i = 0; i < 2; ++i) {
    std::string out;
    EXPECT_EQ(RunCommand(sync, &out), 0) << out << server.log();
    EXPECT_NE(out.find("Done."), std::string::npos) << out;
    EXPECT_NE(out.find("result 0\n"), std::string::npos) << out;
  }
  ExpectChannelsAsOnTheServer(dir, device + "/Reader.vol", feeds.size());
  ExpectConsistent(device + "/Reader.vol");
  // The transfer took many pieces: well over a hundred requests in all.
  EXPECT_NE(server.log().find("complete"), std::string::npos);
}

// A server with generated channels, and a device volume that has had its
// first sync (the channel list, every channel subscribed). Each test copies
// that volume and runs the second sync, which brings every channel.
struct Site {
  std::string dir;
  std::unique_ptr<ServerProcess> server;
  int first_sync = -1;
  std::string Template() const { return dir + "/first-sync.vol"; }

  void Start(const std::string& name, int channels, int items, int text) {
    dir = FreshDir(name);
    std::string cat;
    for (int c = 0; c < channels; ++c) {
      std::string feed = "<?xml version='1.0'?><rss version='2.0'><channel><title>Feed " + std::to_string(c) +
                         "</title>";
      for (int i = 0; i < items; ++i)
        feed += "<item><title>Story " + std::to_string(i) + " of " + std::to_string(c) + "</title><guid>g" +
                std::to_string(c) + "-" + std::to_string(i) + "</guid><link>http://x/" + std::to_string(i) +
                "</link><description>" + std::string(text + 37 * (c + i) % 300, static_cast<char>('a' + c % 26)) +
                "</description></item>";
      feed += "</channel></rss>";
      std::string file = dir + "/feed" + std::to_string(c) + ".xml";
      WriteFile(file, feed);
      cat += "[channel " + std::to_string(50000 + c) + "]\nname = Feed " + std::to_string(c) + "\nurl = " + file +
             "\n";
    }
    WriteFile(dir + "/cat.ini", cat);
    server.reset(new ServerProcess());
    if (!server->Start(dir, {"--catalogue", dir + "/cat.ini", "--fetch-interval", "0", "--fetch-pictures", "no"}))
      return;
    StoreSyncStore store(Template());
    SeedStartup(&store);
    first_sync = RunEngine(server->port(), &store, ReaderOrder(SubscribedDbs(&store))).result;
  }
};

bool Saw(const SyncOutcome& o, const std::string& text) {
  for (const std::string& t : o.texts)
    if (t == text) return true;
  return false;
}

class SiteTest : public ::testing::Test {
 protected:
  explicit SiteTest(Site* site, int channels) : site_(site), channels_(channels) {}
  void SetUp() override {
    ASSERT_TRUE(site_->server && site_->server->port() > 0);
    ASSERT_EQ(site_->first_sync, 0) << site_->server->log();
  }
  // A copy of the volume after the first sync, under a name of its own.
  void UseCopy(const std::string& name) {
    volume_ = site_->dir + "/" + name + ".vol";
    ASSERT_TRUE(WriteFile(volume_, ReadFile(site_->Template())));
    store_.reset(new StoreSyncStore(volume_));
    ASSERT_EQ(SubscribedDbs(store_.get()).size(), static_cast<std::size_t>(channels_));
  }
  SyncOutcome Sync(int port, int io_timeout_ms = 20000) {
    return RunEngine(port, store_.get(), ReaderOrder(SubscribedDbs(store_.get())), io_timeout_ms);
  }
  int server_port() const { return site_->server->port(); }
  void ExpectComplete() { ExpectChannelsAsOnTheServer(site_->dir, volume_, channels_); }

  struct Fault {
    const char* what;
    FaultProxy::Plan plan;
    int io_timeout_ms;
  };
  // The sync through a proxy that breaks one answer fails (never 0, never
  // "Done.") and leaves a consistent volume.
  void ExpectFailure(const Fault& f) {
    SCOPED_TRACE(f.what);
    FaultProxy proxy(server_port(), f.plan);
    SyncOutcome o = Sync(proxy.port(), f.io_timeout_ms);
    EXPECT_TRUE(proxy.fault_done());
    EXPECT_EQ(o.result, sync_engine::kSyncTransferFailed);
    EXPECT_FALSE(Saw(o, "Done."));
    EXPECT_TRUE(Saw(o, "Sync error occured!"));
    ExpectConsistent(volume_);
  }

  Site* site_;
  int channels_;
  std::string volume_;
  std::unique_ptr<StoreSyncStore> store_;
};

using P = FaultProxy;

// 200 subscribed channels: phase 2's 205 request objects take more than one
// answer. Checking every database of such a volume with tidelark-vol takes
// minutes with today's store, so the faults here strike before phase 3 has
// created the channel databases.
Site g_two_hundred;
class TwoHundredChannels : public SiteTest {
 protected:
  static constexpr int kChannels = 200;
  TwoHundredChannels() : SiteTest(&g_two_hundred, kChannels) {}
  static void SetUpTestSuite() { g_two_hundred.Start("TwoHundredChannels", kChannels, 1, 300); }
  static void TearDownTestSuite() { g_two_hundred.server.reset(); }
};

TEST_F(TwoHundredChannels, ArriveCompleteOverSeveralAnswersOfBothPhases) {
  UseCopy("complete");
  FaultProxy proxy(server_port(), FaultProxy::Plan());
  SyncOutcome o = Sync(proxy.port());
  ASSERT_EQ(o.result, 0) << site_->server->log();
  EXPECT_TRUE(Saw(o, "Done."));
  EXPECT_GE(proxy.count(FaultProxy::kPhase2Range), 1);
  EXPECT_GE(proxy.count(FaultProxy::kPhase4Range), 10);
  ExpectComplete();
  // The anchors, the channel list and the first and last channel.
  for (const char* db : {"TavoSyncDBAnchors", "TavoRss", "Tavo 50000", "Tavo 50199"}) {
    std::string out;
    EXPECT_EQ(RunCommand(std::string(TIDELARK_VOL_BIN) + " --check " + Quote(volume_) + " " + Quote(db), &out), 0)
        << out;
  }
}

TEST_F(TwoHundredChannels, AServerFailingBeforeTheDataIsAFailure) {
  const Fault faults[] = {
      {"400 and Connection: close answering phase 1", {P::kBadRequest, P::kPhase1Body, 0, false}, 20000},
      {"400 and Connection: close answering phase 2", {P::kBadRequest, P::kPhase2Range, 0, false}, 20000},
      {"closes in the middle of a phase 2 answer", {P::kCloseInBody, P::kPhase2Range, 0, false}, 20000},
  };
  int n = 0;
  for (const Fault& f : faults) {
    UseCopy("early" + std::to_string(++n));
    ExpectFailure(f);
  }
}

// Channels whose data takes some twenty answers; the faults strike while it
// is written.
Site g_failing;
class FailingServer : public SiteTest {
 protected:
  static constexpr int kChannels = 24;
  FailingServer() : SiteTest(&g_failing, kChannels) {}
  static void SetUpTestSuite() { g_failing.Start("FailingServer", kChannels, 6, 700); }
  static void TearDownTestSuite() { g_failing.server.reset(); }
};

TEST_F(FailingServer, AFailureWhileTheDataArrivesLeavesAConsistentVolumeThatTheNextSyncCompletes) {
  const Fault faults[] = {
      {"400 and Connection: close answering phase 3", {P::kBadRequest, P::kPhase3Body, 0, false}, 20000},
      {"400 and Connection: close answering phase 4", {P::kBadRequest, P::kPhase4Range, 4, false}, 20000},
      {"stalls in the middle of the final answer", {P::kStallInBody, P::kPhase4Range, 0, true}, 3000},
      {"closes in the middle of a phase 4 answer", {P::kCloseInBody, P::kPhase4Range, 9, false}, 20000},
  };
  int n = 0;
  for (const Fault& f : faults) {
    UseCopy("fault" + std::to_string(++n));
    ExpectFailure(f);
  }
  // The last one left some databases written and their anchors advanced;
  // an ordinary sync still brings everything.
  SyncOutcome o = Sync(server_port());
  ASSERT_EQ(o.result, 0) << site_->server->log();
  ExpectComplete();
  ExpectConsistent(volume_);
}

}  // namespace
}  // namespace tidelark_test
