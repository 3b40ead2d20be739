// A device with 200 subscribed channels against the real server: phase 2's
// requests and phase 4's data both take several answers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "device_checks.h"

namespace tidelark_test {
namespace {

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
  for (const char* db : {"TavoSyncDBAnchors", "TavoRss", "Tavo 50000", "Tavo 50199"}) ExpectConsistent(volume_, db);
}

TEST_F(TwoHundredChannels, AServerFailingBeforeTheDataIsAFailure) {
  const Fault faults[] = {
      {"400 and Connection: close answering phase 1", {P::kBadRequest, P::kPhase1Body, 0, false}, 20000},
      {"400 and Connection: close answering phase 2", {P::kBadRequest, P::kPhase2Range, 0, false}, 20000},
      {"closes in the middle of a phase 2 answer", {P::kCloseInBody, P::kPhase2Range, 0, false}, 20000},
  };
  ExpectFailures(faults, "early");
}


}  // namespace
}  // namespace tidelark_test
