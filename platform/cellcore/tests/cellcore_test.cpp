// The Connection Manager stand-in against the host's real network state.
#include <gtest/gtest.h>

#include <string>

#include "host_conditions.h"
#include "platform/cellcore.h"

namespace {

using platform::cellcore::Conditions;
using platform::cellcore::ParseConditions;

using cellcore_test::ConnectionWords;
using cellcore_test::HostProxy;

GUID Map(const wchar_t* url) {
  GUID g = {};
  EXPECT_EQ(ConnMgrMapURL(url, &g, nullptr), S_OK) << "mapping";
  return g;
}

CONNMGR_CONNECTIONINFO Info(const GUID& network, bool probe) {
  CONNMGR_CONNECTIONINFO info = {};
  info.cbSize = sizeof info;
  info.dwParams = CONNMGR_PARAM_GUIDDESTNET | CONNMGR_PARAM_MAXCONNLATENCY;
  info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
  info.bDisabled = probe;
  info.guidDestNet = network;
  info.ulMaxConnLatency = 4000;
  return info;
}

DWORD Status(HANDLE h) {
  DWORD status = 0xFFFF;
  EXPECT_EQ(ConnMgrConnectionStatus(h, &status), S_OK);
  return status;
}

// Waits for status changes until one is not "waiting"; the statuses seen.
std::vector<DWORD> WatchUntilSettled(HANDLE h, DWORD timeout_ms) {
  std::vector<DWORD> seen;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout_ms) {
    if (WaitForSingleObject(h, 200) != WAIT_OBJECT_0) continue;
    DWORD s = Status(h);
    seen.push_back(s);
    if (!(s & CONNMGR_STATUS_WAITINGCONNECTION)) break;
  }
  return seen;
}

TEST(CellcoreMapping, TheHostOfAnAddressNamesItsNetwork) {
  const struct {
    const wchar_t* url;
    const wchar_t* host;
  } cases[] = {
      {L"http://127.0.0.1:8001/", L"127.0.0.1"},
      {L"http://user:pw@sync.example.net:80/path?q=1", L"sync.example.net"},
      {L"https://[::1]:8443/x", L"::1"},
      {L"sync.example.net/a", L"sync.example.net"},
      {L"http:///nothing", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::cellcore::HostOfUrl(c.url), c.host) << c.url;

  GUID a = Map(L"http://127.0.0.1:8001/"), b = Map(L"http://127.0.0.1:9/other"), c = Map(L"http://localhost/");
  EXPECT_EQ(memcmp(&a, &b, sizeof a), 0) << "one host, one network";
  EXPECT_NE(memcmp(&a, &c, sizeof a), 0);
  GUID g;
  EXPECT_EQ(ConnMgrMapURL(L"http:///x", &g, nullptr), E_INVALIDARG);
  EXPECT_EQ(ConnMgrMapURL(nullptr, &g, nullptr), E_INVALIDARG);
  EXPECT_EQ(ConnMgrMapURL(L"http://a/", nullptr, nullptr), E_INVALIDARG);
}

TEST(CellcoreMapping, TestWordsParse) {
  const struct {
    const char* words;
    DWORD delay, status;
    bool refuse;
  } cases[] = {
      {"", 0, 0, false},
      {"slow:2500", 2500, 0, false},
      {"fail", 0, CONNMGR_STATUS_CONNECTIONFAILED, false},
      {"slow:10,disconnected", 10, CONNMGR_STATUS_DISCONNECTED, false},
      {"refuse,unknown", 0, 0, true},
  };
  for (const auto& c : cases) {
    Conditions p = ParseConditions(c.words);
    EXPECT_EQ(p.delay_ms, c.delay) << c.words;
    EXPECT_EQ(p.forced_status, c.status) << c.words;
    EXPECT_EQ(p.refuse, c.refuse) << c.words;
  }
}

TEST(CellcoreRequests, ALoopbackServerIsReachableAndARequestWaitsFirst) {
  HANDLE h = nullptr;
  CONNMGR_CONNECTIONINFO info = Info(Map(L"http://127.0.0.1:8001/"), false);
  ASSERT_EQ(ConnMgrEstablishConnection(&info, &h), S_OK);
  ASSERT_NE(h, nullptr);
  std::vector<DWORD> seen = WatchUntilSettled(h, 5000);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), static_cast<DWORD>(CONNMGR_STATUS_CONNECTED));
  EXPECT_EQ(ConnMgrReleaseConnection(h, 0), S_OK);
  DWORD status;
  EXPECT_EQ(ConnMgrConnectionStatus(h, &status), E_INVALIDARG) << "released";
  EXPECT_EQ(ConnMgrReleaseConnection(h, 0), E_INVALIDARG);
}

TEST(CellcoreRequests, VerdictsFromTheHostAndFromTheTestWords) {
  const struct {
    const char* words;
    const wchar_t* url;
    bool probe;
    DWORD verdict;
  } cases[] = {
      {nullptr, L"http://127.0.0.1/", true, CONNMGR_STATUS_CONNECTED},
      {nullptr, L"http://localhost/", true, CONNMGR_STATUS_CONNECTED},
      {nullptr, L"http://no-such-host.invalid/", false, CONNMGR_STATUS_NOPATHTODESTINATION},
      {"fail", L"http://127.0.0.1/", false, CONNMGR_STATUS_CONNECTIONFAILED},
      {"disconnected", L"http://127.0.0.1/", true, CONNMGR_STATUS_DISCONNECTED},
  };
  for (const auto& c : cases) {
    ConnectionWords words(c.words);
    HANDLE h = nullptr;
    CONNMGR_CONNECTIONINFO info = Info(Map(c.url), c.probe);
    ASSERT_EQ(ConnMgrEstablishConnection(&info, &h), S_OK) << c.url;
    std::vector<DWORD> seen = WatchUntilSettled(h, 10000);
    ASSERT_FALSE(seen.empty()) << c.url;
    EXPECT_EQ(seen.back(), c.verdict) << c.url << " " << (c.words ? c.words : "");
    if (c.probe) {
      EXPECT_EQ(seen.size(), 1u) << "a probe only reports its verdict";
    }
    ConnMgrReleaseConnection(h, 0);
  }
}

TEST(CellcoreRequests, ASlowVerdictComesLateAndARefusalAtOnce) {
  {
    ConnectionWords words("slow:600");
    HANDLE h = nullptr;
    CONNMGR_CONNECTIONINFO info = Info(Map(L"http://127.0.0.1/"), true);
    DWORD start = GetTickCount();
    ASSERT_EQ(ConnMgrEstablishConnection(&info, &h), S_OK);
    EXPECT_LT(GetTickCount() - start, 300u) << "establishing does not wait for the verdict";
    EXPECT_EQ(WaitForSingleObject(h, 400), static_cast<DWORD>(WAIT_TIMEOUT)) << "nothing within 400 ms";
    EXPECT_EQ(Status(h), static_cast<DWORD>(CONNMGR_STATUS_UNKNOWN));
    ASSERT_EQ(WaitForSingleObject(h, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_GE(GetTickCount() - start, 550u);
    EXPECT_EQ(Status(h), static_cast<DWORD>(CONNMGR_STATUS_CONNECTED));
    ConnMgrReleaseConnection(h, 0);
  }
  {
    ConnectionWords words("refuse");
    HANDLE h = reinterpret_cast<HANDLE>(1);
    CONNMGR_CONNECTIONINFO info = Info(Map(L"http://127.0.0.1/"), false);
    EXPECT_EQ(ConnMgrEstablishConnection(&info, &h), E_FAIL);
    EXPECT_EQ(h, nullptr);
  }
}

TEST(CellcoreRequests, BadRequestsAreRefused) {
  HANDLE h = nullptr;
  GUID unknown = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  CONNMGR_CONNECTIONINFO info = Info(unknown, false);
  EXPECT_EQ(ConnMgrEstablishConnection(&info, &h), E_INVALIDARG) << "no mapping named it";
  info = Info(Map(L"http://127.0.0.1/"), false);
  info.cbSize = 12;
  EXPECT_EQ(ConnMgrEstablishConnection(&info, &h), E_INVALIDARG);
  EXPECT_EQ(ConnMgrEstablishConnection(nullptr, &h), E_INVALIDARG);
  DWORD status;
  EXPECT_EQ(ConnMgrConnectionStatus(reinterpret_cast<HANDLE>(0x1234), &status), E_INVALIDARG);
}

TEST(CellcoreRequests, AReleaseDuringASlowVerdictEndsTheWatcherQuietly) {
  ConnectionWords words("slow:3000");
  HANDLE h = nullptr;
  CONNMGR_CONNECTIONINFO info = Info(Map(L"http://127.0.0.1/"), true);
  ASSERT_EQ(ConnMgrEstablishConnection(&info, &h), S_OK);
  DWORD start = GetTickCount();
  EXPECT_EQ(ConnMgrReleaseConnection(h, 0), S_OK);
  EXPECT_LT(GetTickCount() - start, 500u) << "a release never waits for the watcher";
}

// The per-user proxy setting of the host, set and removed again.
HRESULT AskProxy(PROXY_CONFIG* config) {
  *config = PROXY_CONFIG();
  config->dwType = PROXY_CONFIG_TYPE_HTTP;
  return ConnMgrProviderMessage(nullptr, &IID_ConnPrv_IProxyExtension, nullptr, 0, 0,
                                reinterpret_cast<PBYTE>(config), sizeof *config);
}

TEST(CellcoreProxy, TheHostsHttpProxyIsReported) {
  static_assert(sizeof(PROXY_CONFIG) == 1288, "the platform's block");
  PROXY_CONFIG config;
  {
    HostProxy proxy(L"http=proxy.example:8080;https=secure.example:443", 1);
    ASSERT_EQ(AskProxy(&config), S_OK);
    EXPECT_STREQ(config.szProxyServer, L"proxy.example:8080");
    EXPECT_TRUE(config.dwEnable);
  }
  {
    HostProxy proxy(L"plain.example:3128", 0);
    EXPECT_EQ(AskProxy(&config), E_FAIL) << "not enabled";
  }
  config = PROXY_CONFIG();
  config.dwType = 2;
  EXPECT_EQ(ConnMgrProviderMessage(nullptr, &IID_ConnPrv_IProxyExtension, nullptr, 0, 0,
                                   reinterpret_cast<PBYTE>(&config), sizeof config),
            E_INVALIDARG);
  EXPECT_EQ(ConnMgrProviderMessage(nullptr, &IID_DestNetInternet, nullptr, 0, 0, reinterpret_cast<PBYTE>(&config),
                                   sizeof config),
            E_INVALIDARG);
}

}  // namespace
