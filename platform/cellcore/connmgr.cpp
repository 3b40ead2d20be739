// The Connection Manager's requests: a table of destination networks made by
// the address mapping, and a table of live requests, each watched by a
// thread of its own that reports status changes through the request's event.
//
// Invariants:
// - a request is in the table from its establishment to its release; the
//   handle given out is its event, which its watcher closes when it ends;
// - a watcher reports nothing once its request is released.
#include <winsock2.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host_network.h"
#include "platform/cellcore.h"

const GUID IID_DestNetInternet = {0x436ef144, 0xb4fb, 0x4863, {0xa0, 0x41, 0x8f, 0x90, 0x5a, 0x62, 0xc5, 0x72}};
const GUID IID_ConnPrv_IProxyExtension = {
    0xaf96b0bd, 0xa481, 0x482c, {0xa0, 0x94, 0xa8, 0x44, 0x87, 0x67, 0xa0, 0xc0}};

namespace platform {
namespace cellcore {

const char kVariable[] = "TIDELARK_CONNECTION";

Conditions ParseConditions(const char* words) {
  Conditions c;
  if (!words) return c;
  std::string text(words);
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(',', at);
    std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (word.compare(0, 5, "slow:") == 0) {
      c.delay_ms = static_cast<DWORD>(std::strtoul(word.c_str() + 5, nullptr, 10));
    } else if (word == "fail") {
      c.forced_status = CONNMGR_STATUS_CONNECTIONFAILED;
    } else if (word == "disconnected") {
      c.forced_status = CONNMGR_STATUS_DISCONNECTED;
    } else if (word == "refuse") {
      c.refuse = true;
    }
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return c;
}

std::wstring HostOfUrl(const wchar_t* url) {
  if (!url) return std::wstring();
  std::wstring text(url);
  size_t start = text.find(L"://");
  start = start == std::wstring::npos ? 0 : start + 3;
  size_t end = text.find_first_of(L"/?#", start);
  std::wstring authority = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
  size_t at = authority.rfind(L'@');
  if (at != std::wstring::npos) authority.erase(0, at + 1);
  if (!authority.empty() && authority[0] == L'[') {  // [v6 address]:port
    size_t close = authority.find(L']');
    return close == std::wstring::npos ? std::wstring() : authority.substr(1, close - 1);
  }
  size_t colon = authority.find(L':');
  return colon == std::wstring::npos ? authority : authority.substr(0, colon);
}

namespace {

// Destination networks, one per mapped host, named by GUIDs of our own.
class Networks {
 public:
  bool Map(const std::wstring& host, GUID* guid) {
    std::lock_guard<std::mutex> lock(mu_);
    size_t i = 0;
    while (i < hosts_.size() && _wcsicmp(hosts_[i].c_str(), host.c_str()) != 0) ++i;
    if (i == hosts_.size()) {
      try {
        hosts_.push_back(host);
      } catch (...) {
        return false;
      }
    }
    *guid = GuidOf(i);
    return true;
  }
  // The host a GUID stands for; false for a GUID no mapping gave.
  bool Find(const GUID& guid, std::wstring* host) {
    std::lock_guard<std::mutex> lock(mu_);
    for (size_t i = 0; i < hosts_.size(); ++i) {
      GUID g = GuidOf(i);
      if (std::memcmp(&g, &guid, sizeof g) == 0) {
        *host = hosts_[i];
        return true;
      }
    }
    return false;
  }

 private:
  static GUID GuidOf(size_t index) {
    GUID g = {0x7e1d1a4b, 0x5c0e, 0x4d2a, {0x9b, 0x31, 0, 0, 0, 0, 0, 0}};
    for (int b = 0; b < 6; ++b) g.Data4[7 - b] = static_cast<unsigned char>(index >> (8 * b));
    return g;
  }
  std::mutex mu_;
  std::vector<std::wstring> hosts_;
};

Networks& TheNetworks() {
  static Networks networks;
  return networks;
}

struct Request {
  HANDLE event = nullptr;  // given out as the connection handle; the watcher closes it
  HANDLE stop = nullptr;   // manual-reset: set on release
  std::atomic<DWORD> status{CONNMGR_STATUS_UNKNOWN};
  std::wstring host;  // empty: the internet
  bool probe = false;
  Conditions conditions;

  ~Request() {
    if (event) CloseHandle(event);
    if (stop) CloseHandle(stop);
  }
  bool Released() const { return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }
  // Waits `ms`; false when the request was released meanwhile.
  bool Wait(DWORD ms) const { return WaitForSingleObject(stop, ms) == WAIT_TIMEOUT; }
  void Report(DWORD value) {
    if (Released()) return;
    status.store(value);
    SetEvent(event);
  }
};

class Requests {
 public:
  void Add(const std::shared_ptr<Request>& r) {
    std::lock_guard<std::mutex> lock(mu_);
    live_[r->event] = r;
  }
  std::shared_ptr<Request> Find(HANDLE h) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = live_.find(h);
    return it == live_.end() ? nullptr : it->second;
  }
  std::shared_ptr<Request> Take(HANDLE h) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = live_.find(h);
    if (it == live_.end()) return nullptr;
    std::shared_ptr<Request> r = it->second;
    live_.erase(it);
    return r;
  }

 private:
  std::mutex mu_;
  std::map<HANDLE, std::shared_ptr<Request>> live_;
};

Requests& TheRequests() {
  static Requests requests;
  return requests;
}

bool Reachable(const std::vector<sockaddr_storage>& addresses) { return AnyRouteIsUp(addresses); }

// The watcher: the verdict, then, while connected, the route checked again.
DWORD WINAPI Watch(void* parameter) {
  std::shared_ptr<Request> request(*static_cast<std::shared_ptr<Request>*>(parameter));
  delete static_cast<std::shared_ptr<Request>*>(parameter);
  Request& r = *request;
  if (!r.probe) r.Report(CONNMGR_STATUS_WAITINGCONNECTION);
  std::vector<sockaddr_storage> addresses;
  bool resolved = r.host.empty() ? (addresses = InternetAddresses(), true) : ResolveHost(r.host, &addresses);
  if (r.conditions.delay_ms && !r.Wait(r.conditions.delay_ms)) return 0;
  DWORD verdict = r.conditions.forced_status;
  if (!verdict) verdict = resolved && Reachable(addresses) ? CONNMGR_STATUS_CONNECTED : CONNMGR_STATUS_NOPATHTODESTINATION;
  r.Report(verdict);
  if (verdict != CONNMGR_STATUS_CONNECTED || r.conditions.forced_status) return 0;
  while (r.Wait(kRecheckMillis)) {
    if (!Reachable(addresses)) {
      r.Report(CONNMGR_STATUS_DISCONNECTED);
      break;
    }
  }
  return 0;
}

std::string Environment(const char* name) {
  char buffer[256];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

}  // namespace

}  // namespace cellcore
}  // namespace platform

using platform::cellcore::Request;
using platform::cellcore::TheNetworks;
using platform::cellcore::TheRequests;

HRESULT WINAPI ConnMgrMapURL(LPCWSTR pwszURL, GUID* pguid, DWORD* pdwIndex) {
  if (!pwszURL || !pguid) return E_INVALIDARG;
  std::wstring host = platform::cellcore::HostOfUrl(pwszURL);
  if (host.empty()) return E_INVALIDARG;
  if (!TheNetworks().Map(host, pguid)) return E_OUTOFMEMORY;
  if (pdwIndex) *pdwIndex = 0;
  return S_OK;
}

HRESULT WINAPI ConnMgrEstablishConnection(CONNMGR_CONNECTIONINFO* pConnInfo, HANDLE* phConnection) {
  if (!pConnInfo || !phConnection || pConnInfo->cbSize != sizeof(CONNMGR_CONNECTIONINFO)) return E_INVALIDARG;
  *phConnection = nullptr;
  auto request = std::make_shared<Request>();
  request->conditions =
      platform::cellcore::ParseConditions(platform::cellcore::Environment(platform::cellcore::kVariable).c_str());
  if (request->conditions.refuse) return E_FAIL;
  request->probe = pConnInfo->bDisabled != FALSE;
  const bool named = (pConnInfo->dwParams & CONNMGR_PARAM_GUIDDESTNET) != 0;
  if (named && std::memcmp(&pConnInfo->guidDestNet, &IID_DestNetInternet, sizeof(GUID)) != 0 &&
      !TheNetworks().Find(pConnInfo->guidDestNet, &request->host))
    return E_INVALIDARG;
  request->event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  request->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!request->event || !request->stop) return E_FAIL;
  auto* handed = new std::shared_ptr<Request>(request);
  HANDLE thread = CreateThread(nullptr, 0, platform::cellcore::Watch, handed, 0, nullptr);
  if (!thread) {
    delete handed;
    return E_FAIL;
  }
  CloseHandle(thread);
  TheRequests().Add(request);
  *phConnection = request->event;
  return S_OK;
}

HRESULT WINAPI ConnMgrConnectionStatus(HANDLE hConnection, DWORD* pdwStatus) {
  if (!pdwStatus) return E_INVALIDARG;
  std::shared_ptr<Request> r = TheRequests().Find(hConnection);
  if (!r) return E_INVALIDARG;
  *pdwStatus = r->status.load();
  return S_OK;
}

HRESULT WINAPI ConnMgrReleaseConnection(HANDLE hConnection, LONG) {
  std::shared_ptr<Request> r = TheRequests().Take(hConnection);
  if (!r) return E_INVALIDARG;
  SetEvent(r->stop);  // the watcher ends and the last owner closes the handles
  return S_OK;
}

HRESULT WINAPI ConnMgrProviderMessage(HANDLE hConnection, const GUID* pguidProvider, DWORD* pdwIndex, DWORD, DWORD,
                                      PBYTE pParams, ULONG cbParamSize) {
  if (!pguidProvider || std::memcmp(pguidProvider, &IID_ConnPrv_IProxyExtension, sizeof(GUID)) != 0 || !pParams ||
      cbParamSize != sizeof(PROXY_CONFIG))
    return E_INVALIDARG;
  if (hConnection && !TheRequests().Find(hConnection)) return E_INVALIDARG;
  auto* config = reinterpret_cast<PROXY_CONFIG*>(pParams);
  if (config->dwType != PROXY_CONFIG_TYPE_HTTP) return E_INVALIDARG;
  if (pdwIndex) *pdwIndex = 0;
  return platform::cellcore::ReadHostProxy(config) ? S_OK : E_FAIL;
}
