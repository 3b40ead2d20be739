// Servers that fail while a device's data arrives: answering 400 and
// closing, closing in the middle of an answer, stalling in the last one.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "device_checks.h"

namespace tidelark_test {
namespace {

using P = FaultProxy;

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
      {"stalls in the middle of the final answer", {P::kStallInBody, P::kPhase4Range, 0, true}, 8000},
      {"closes in the middle of a phase 4 answer", {P::kCloseInBody, P::kPhase4Range, 9, false}, 20000},
  };
  ExpectFailures(faults, "fault");
  // The last one left some databases written and their anchors advanced;
  // an ordinary sync still brings everything.
  SyncOutcome o = Sync(server_port());
  ASSERT_EQ(o.result, 0) << site_->server->log();
  ExpectComplete();
  ExpectConsistent(volume_);
}


}  // namespace
}  // namespace tidelark_test
