// The host's network as the Connection Manager sees it: addresses, routes,
// interfaces and the per-user proxy setting.
#include "host_network.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <vector>

namespace platform {
namespace cellcore {

namespace {

// A documentation address (TEST-NET-2): its route is the route to the internet.
constexpr char kInternetProbe[] = "198.51.100.1";

bool SocketsStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

bool IsLoopback(const sockaddr_storage& a) {
  if (a.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&a);
    return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
  }
  if (a.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&a);
    return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
  }
  return false;
}

bool InterfaceIsUp(NET_IFINDEX index) {
  MIB_IF_ROW2 row = {};
  row.InterfaceIndex = index;
  return GetIfEntry2(&row) == NO_ERROR && row.OperStatus == IfOperStatusUp;
}

// The loopback interface; a host that lists none still loops back.
bool LoopbackIsUp() {
  ULONG size = 16384;
  std::vector<unsigned char> buffer(size);
  ULONG rc = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    rc = GetAdaptersAddresses(AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                              nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (rc != NO_ERROR) return true;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next)
    if (a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) return a->OperStatus == IfOperStatusUp;
  return true;
}

bool RouteIsUp(const sockaddr_storage& address) {
  if (IsLoopback(address)) return LoopbackIsUp();
  DWORD index = 0;
  sockaddr_storage copy = address;
  if (GetBestInterfaceEx(reinterpret_cast<sockaddr*>(&copy), &index) != NO_ERROR) return false;
  return InterfaceIsUp(index);
}

}  // namespace

bool ResolveHost(const std::wstring& host, std::vector<sockaddr_storage>* addresses) {
  addresses->clear();
  if (host.empty() || !SocketsStarted()) return false;
  ADDRINFOW hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* found = nullptr;
  if (GetAddrInfoW(host.c_str(), nullptr, &hints, &found) != 0) return false;
  for (ADDRINFOW* a = found; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    sockaddr_storage s = {};
    memcpy(&s, a->ai_addr, a->ai_addrlen);
    addresses->push_back(s);
  }
  FreeAddrInfoW(found);
  return !addresses->empty();
}

bool AnyRouteIsUp(const std::vector<sockaddr_storage>& addresses) {
  for (const sockaddr_storage& a : addresses)
    if (RouteIsUp(a)) return true;
  return false;
}

std::vector<sockaddr_storage> InternetAddresses() {
  sockaddr_storage s = {};
  auto* v4 = reinterpret_cast<sockaddr_in*>(&s);
  v4->sin_family = AF_INET;
  inet_pton(AF_INET, kInternetProbe, &v4->sin_addr);
  return {s};
}

bool HostIsReachable(const std::wstring& host) {
  std::vector<sockaddr_storage> addresses;
  return ResolveHost(host, &addresses) && AnyRouteIsUp(addresses);
}

namespace {

void CopyText(const std::wstring& text, WCHAR* to, size_t units) {
  size_t n = text.size() < units - 1 ? text.size() : units - 1;
  text.copy(to, n);
  to[n] = 0;
}

bool ReadSetting(HKEY key, const wchar_t* name, std::wstring* text) {
  wchar_t buffer[512];
  DWORD size = sizeof buffer - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  buffer[size / sizeof(wchar_t)] = 0;
  *text = buffer;
  return true;
}

// "http=a:1;https=b:2" -> "a:1"; a plain "a:1" stays as it is.
std::wstring HttpEntry(const std::wstring& servers) {
  if (servers.find(L'=') == std::wstring::npos) return servers;
  size_t at = 0;
  while (at < servers.size()) {
    size_t end = servers.find(L';', at);
    std::wstring entry = servers.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
    if (entry.compare(0, 5, L"http=") == 0) return entry.substr(5);
    if (end == std::wstring::npos) break;
    at = end + 1;
  }
  return std::wstring();
}

}  // namespace

bool ReadHostProxy(PROXY_CONFIG* config) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD enable = 0, size = sizeof enable, type = 0;
  std::wstring servers, bypass;
  bool ok = RegQueryValueExW(key, L"ProxyEnable", nullptr, &type, reinterpret_cast<BYTE*>(&enable), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && enable != 0 && ReadSetting(key, L"ProxyServer", &servers);
  ReadSetting(key, L"ProxyOverride", &bypass);
  RegCloseKey(key);
  std::wstring server = ok ? HttpEntry(servers) : std::wstring();
  if (server.empty()) return false;
  config->dwEnable = TRUE;
  CopyText(server, config->szProxyServer, 256);
  CopyText(bypass, config->szProxyOverride, 64);
  return true;
}

}  // namespace cellcore
}  // namespace platform
