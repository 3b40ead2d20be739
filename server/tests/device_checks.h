// What the device end-to-end tests share: running the real programs,
// checking a volume with tidelark-vol, comparing a device's channels with
// what the server holds, and servers with generated channels whose device
// volumes have had their first sync.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fault_proxy.h"
#include "server_process.h"
#include "sync/store_adapter.h"
#include "sync/sync_session.h"
#include "test_device.h"

namespace tidelark_test {

// Runs a command; its exit code, and its output (stdout and stderr) in *output.
int RunCommand(const std::string& command, std::string* output);
inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// tidelark-vol --check: every database of the volume consistent.
void ExpectConsistent(const std::string& volume);
// tidelark-vol --check of one database of the volume.
void ExpectConsistent(const std::string& volume, const std::string& database);

// Every channel database of the volume holds exactly what the server (its
// data folder) holds for that channel, as a fresh device of that code page
// gets it.
void ExpectChannelsAsOnTheServer(const std::string& data_dir, const std::string& volume, std::size_t channels,
                                 int code_page = 1252);

// A server with generated channels, and a device volume that has had its
// first sync (the channel list, every channel subscribed). Each test copies
// that volume and runs the second sync, which brings every channel.
struct Site {
  std::string dir;
  std::unique_ptr<ServerProcess> server;
  int first_sync = -1;
  std::string Template() const { return dir + "/first-sync.vol"; }

  // Writes the feeds and the catalogue, starts the server and makes the
  // template volume with the first sync.
  void Start(const std::string& name, int channels, int items, int text);
};

inline bool Saw(const SyncOutcome& o, const std::string& text) {
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
    store_.reset(new sync_engine::StoreSyncStore(volume_));
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
  // Each sync, on a copy of its own, through a proxy that breaks one answer
  // fails (never 0, never "Done.") and leaves a consistent volume.
  template <std::size_t N>
  void ExpectFailures(const Fault (&faults)[N], const std::string& prefix) {
    for (std::size_t i = 0; i < N; ++i) {
      UseCopy(prefix + std::to_string(i));
      ExpectFailure(faults[i]);
    }
  }
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
  std::unique_ptr<sync_engine::StoreSyncStore> store_;
};

}  // namespace tidelark_test
