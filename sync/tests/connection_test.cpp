// CConnection against the Connection Manager stand-in and the host's network.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "host_conditions.h"
#include "platform/services.h"
#include "sync/connection.h"

namespace {

constexpr wchar_t kLoopback[] = L"http://127.0.0.1:8001/";

using cellcore_test::ConnectionWords;
using cellcore_test::HostProxy;

// What the program would have started, recorded.
std::mutex g_mu;
std::vector<std::string> g_started;

bool RecordStart(const std::u16string& file, const std::u16string& parameters) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_started.push_back(std::string(file.begin(), file.end()) + " " + std::string(parameters.begin(), parameters.end()));
  return true;
}

class Recorded {
 public:
  Recorded() {
    services_ = platform::DefaultServices();
    services_.shell_execute = RecordStart;
    platform::SetServices(&services_);
    std::lock_guard<std::mutex> lock(g_mu);
    g_started.clear();
  }
  ~Recorded() { platform::SetServices(nullptr); }
  std::vector<std::string> Started() const {
    std::lock_guard<std::mutex> lock(g_mu);
    return g_started;
  }

 private:
  platform::Services services_;
};

// A connection that notes which of its operations the worker called.
class NotingConnection : public CConnectionState {
 public:
  ~NotingConnection() override { StopWorker(); }
  HRESULT OnRequested() override { return Note("requested", CConnectionState::OnRequested()); }
  HRESULT OnFailed() override { return Note("failed", CConnectionState::OnFailed()); }
  HRESULT OnConnected() override { return Note("connected", CConnectionState::OnConnected()); }
  HRESULT OnDisconnected() override { return Note("disconnected", CConnectionState::OnDisconnected()); }
  HRESULT OnWaiting() override { return Note("waiting", CConnectionState::OnWaiting()); }
  HRESULT OnEnd() override { return Note("end", CConnectionState::OnEnd()); }

  std::string Calls() const {
    std::lock_guard<std::mutex> lock(mu_);
    return calls_;
  }
  // Waits until the calls end with `tail`.
  bool WaitFor(const std::string& tail, DWORD timeout_ms) const {
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeout_ms; Sleep(10)) {
      std::string c = Calls();
      if (c.size() >= tail.size() && c.compare(c.size() - tail.size(), tail.size(), tail) == 0) return true;
    }
    return false;
  }

 private:
  HRESULT Note(const char* what, HRESULT result) {
    std::lock_guard<std::mutex> lock(mu_);
    calls_ += calls_.empty() ? what : std::string(" ") + what;
    return result;
  }
  mutable std::mutex mu_;
  std::string calls_;
};

// The stand-in reports "waiting" and, without a delay, its verdict right
// after it on the same auto-reset event: the worker may wake once for both.
std::string WithoutWaiting(std::string calls) {
  for (size_t at; (at = calls.find(" waiting")) != std::string::npos;) calls.erase(at, 8);
  return calls;
}

TEST(ConnectionProbe, AnswersFromTheNetworkWithinItsWait) {
  const struct {
    const char* words;
    const wchar_t* address;
    HRESULT result;
  } cases[] = {
      {nullptr, kLoopback, kConnectionOk},
      {"disconnected", kLoopback, kConnectionUnavailable},
      {"fail", kLoopback, kConnectionUnavailable},
      {"slow:1500", kLoopback, kConnectionFailed},  // no answer within 400 ms
      {nullptr, L"http:///", static_cast<HRESULT>(E_INVALIDARG)},  // the mapping's failure, as it is
  };
  for (const auto& c : cases) {
    ConnectionWords words(c.words);
    CConnectionState connection;
    DWORD start = GetTickCount();
    EXPECT_EQ(connection.CheckConnection(c.address, FALSE), c.result) << (c.words ? c.words : "") << " " << c.address;
    EXPECT_LT(GetTickCount() - start, 1500u) << "a probe never waits long";
  }
}

TEST(ConnectionWorker, ConnectsAndKeepsWatchingUntilStopped) {
  Recorded recorded;
  NotingConnection connection;
  ASSERT_EQ(connection.StartConnection(kLoopback, FALSE), kConnectionOk);
  ASSERT_TRUE(connection.WaitFor("connected", 5000)) << connection.Calls();
  EXPECT_EQ(WithoutWaiting(connection.Calls()), "requested connected");
  EXPECT_EQ(connection.LastStatus(), static_cast<DWORD>(CONNMGR_STATUS_CONNECTED));
  Sleep(100);
  EXPECT_EQ(WithoutWaiting(connection.Calls()), "requested connected") << "connected: the watch goes on";
  connection.StopWorker();
  EXPECT_EQ(WithoutWaiting(connection.Calls()), "requested connected end");
  EXPECT_FALSE(connection.HasWorker());
  EXPECT_TRUE(recorded.Started().empty());
}

TEST(ConnectionWorker, FailuresGoToTheErrorReporterAndDisconnectionDoesNot) {
  const struct {
    const char* words;
    const char* calls;
    DWORD last;
    bool cached;
    const char* reporter;  // "" when it is not started
  } cases[] = {
      {"fail", "requested failed end", CONNMGR_STATUS_CONNECTIONFAILED, false, ":MSREMNET -CMERROR 0x21 -report"},
      {"disconnected", "requested disconnected end", CONNMGR_STATUS_DISCONNECTED, true, ""},
      {"refuse", "failed end", 0x80004005, false, ":MSREMNET -CMERROR 0x80004005 -report"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    Recorded recorded;
    ConnectionWords words(c.words);
    NotingConnection connection;
    ASSERT_EQ(connection.StartConnection(kLoopback, FALSE), kConnectionOk);
    ASSERT_TRUE(connection.WaitFor("end", 5000)) << connection.Calls();
    EXPECT_EQ(WithoutWaiting(connection.Calls()), c.calls);
    EXPECT_EQ(connection.LastStatus(), c.last);
    EXPECT_EQ(connection.ReleasedAsCached(), c.cached);
    std::vector<std::string> started = recorded.Started();
    if (*c.reporter) {
      ASSERT_EQ(started.size(), 1u);
      EXPECT_EQ(started[0], c.reporter);
    } else {
      EXPECT_TRUE(started.empty());
    }
  }
}

TEST(ConnectionWorker, ANewStartAndTheDestructorStopTheWaitingWorker) {
  ConnectionWords words("slow:5000");
  auto connection = std::make_unique<NotingConnection>();
  ASSERT_EQ(connection->StartConnection(kLoopback, FALSE), kConnectionOk);
  ASSERT_TRUE(connection->WaitFor("waiting", 3000));
  ASSERT_EQ(connection->StartConnection(nullptr, FALSE), kConnectionOk) << "the kept address";
  ASSERT_TRUE(connection->WaitFor("waiting", 3000)) << connection->Calls();
  EXPECT_EQ(connection->Calls(), "requested waiting end requested waiting") << "one worker at a time";
  DWORD start = GetTickCount();
  connection.reset();
  EXPECT_LT(GetTickCount() - start, 1000u) << "the destructor ends the waiting worker at once";
}

TEST(ConnectionWorker, AMappingFailureStartsNothing) {
  CConnectionState connection;
  EXPECT_EQ(connection.StartConnection(L"http:///", FALSE), static_cast<HRESULT>(E_INVALIDARG));
  EXPECT_FALSE(connection.HasWorker());
}

TEST(ConnectionProxySettings, AConnectionReadsTheProxyWithoutCredentials) {
  CConnectionState without;
  ASSERT_EQ(without.CheckConnection(kLoopback, FALSE), kConnectionOk);
  EXPECT_FALSE(without.Proxy().Valid());
  HostProxy proxy(L"proxy.example:8080", 1);
  NotingConnection with;
  ASSERT_EQ(with.CheckConnection(kLoopback, TRUE), kConnectionOk);
  ASSERT_TRUE(with.Proxy().Valid());
  EXPECT_STREQ(with.Proxy().Config().szProxyServer, L"proxy.example:8080");
  EXPECT_EQ(with.Proxy().Config().szUsername[0], 0);
  ASSERT_EQ(with.StartConnection(nullptr, TRUE), kConnectionOk);
  ASSERT_TRUE(with.WaitFor("connected", 5000));
  EXPECT_TRUE(with.Proxy().Valid());
}

}  // namespace
