#include "feed_fetch.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

namespace tidelark_server {
namespace {

std::atomic<bool> g_stopped{false};
FetchPolicy g_policy;

// The server's own addresses, read once.
class OwnAddresses {
 public:
  void Load() {
    std::lock_guard<std::mutex> lock(mu_);
    v4_.clear();
    v6_.clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
      if (!a->ifa_addr) continue;
      if (a->ifa_addr->sa_family == AF_INET)
        v4_.push_back(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
      else if (a->ifa_addr->sa_family == AF_INET6)
        v6_.push_back(reinterpret_cast<sockaddr_in6*>(a->ifa_addr)->sin6_addr);
    }
    freeifaddrs(list);
  }
  bool Has4(std::uint32_t a) {
    std::lock_guard<std::mutex> lock(mu_);
    for (std::uint32_t x : v4_)
      if (x == a) return true;
    return false;
  }
  bool Has6(const in6_addr& a) {
    std::lock_guard<std::mutex> lock(mu_);
    for (const in6_addr& x : v6_)
      if (std::memcmp(&x, &a, sizeof a) == 0) return true;
    return false;
  }

 private:
  std::mutex mu_;
  std::vector<std::uint32_t> v4_;
  std::vector<in6_addr> v6_;
};

OwnAddresses& Own() {
  static OwnAddresses own;
  return own;
}

// Host order.
bool PublicV4(std::uint32_t a) {
  struct Net {
    std::uint32_t base;
    int bits;
  };
  static const Net kNotPublic[] = {
      {0x00000000, 8},  {0x0A000000, 8},  {0x64400000, 10}, {0x7F000000, 8},  {0xA9FE0000, 16},
      {0xAC100000, 12}, {0xC0000000, 24}, {0xC0000200, 24}, {0xC0586300, 24}, {0xC0A80000, 16},
      {0xC6120000, 15}, {0xC6336400, 24}, {0xCB007100, 24}, {0xE0000000, 4},  {0xF0000000, 4}};
  for (const Net& n : kNotPublic)
    if ((a >> (32 - n.bits)) == (n.base >> (32 - n.bits))) return false;
  return true;
}

struct Transfer {
  std::string* body;
  std::size_t max;
  bool too_big = false;
  bool untrusted = false;
  bool refused = false;  // an address the policy refuses
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  Transfer* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  if (t->body->size() + n > t->max) {
    t->too_big = true;
    return 0;
  }
  t->body->append(data, n);
  return n;
}

int OnProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return g_stopped ? 1 : 0; }

// Every connection, the first and each redirect's, passes here with the
// address it is about to connect to.
curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
  Transfer* t = static_cast<Transfer*>(user);
  if (t->untrusted && !g_policy.allow_private_addresses && !IsPublicAddress(&address->addr)) {
    t->refused = true;
    return CURL_SOCKET_BAD;
  }
  return socket(address->family, address->socktype, address->protocol);
}

std::string Header(CURL* curl, const char* name) {
  curl_header* h = nullptr;
  if (curl_easy_header(curl, name, 0, CURLH_HEADER, -1, &h) != CURLHE_OK || !h || !h->value) return "";
  return h->value;
}

// Seconds, or an HTTP date.
std::int64_t RetryAfter(const std::string& value) {
  if (value.empty()) return 0;
  char* end = nullptr;
  long long n = std::strtoll(value.c_str(), &end, 10);
  if (end && *end == '\0') return n > 0 ? n : 0;
  time_t when = curl_getdate(value.c_str(), nullptr);
  time_t now = time(nullptr);
  return when > now ? when - now : 0;
}

}  // namespace

bool IsPublicAddress(const sockaddr* address) {
  if (address->sa_family == AF_INET) {
    const sockaddr_in* a = reinterpret_cast<const sockaddr_in*>(address);
    return PublicV4(ntohl(a->sin_addr.s_addr)) && !Own().Has4(a->sin_addr.s_addr);
  }
  if (address->sa_family != AF_INET6) return false;
  const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
  const unsigned char* b = a.s6_addr;
  // IPv4 inside IPv6 (mapped, compatible, NAT64): the IPv4 address decides.
  static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  static const unsigned char kNat64[12] = {0, 0x64, 0xFF, 0x9B, 0, 0, 0, 0, 0, 0, 0, 0};
  if (std::memcmp(b, kMapped, 12) == 0 || std::memcmp(b, kNat64, 12) == 0) {
    std::uint32_t v4 = (std::uint32_t(b[12]) << 24) | (b[13] << 16) | (b[14] << 8) | b[15];
    return PublicV4(v4) && !Own().Has4(htonl(v4));
  }
  if (IN6_IS_ADDR_UNSPECIFIED(&a) || IN6_IS_ADDR_LOOPBACK(&a) || IN6_IS_ADDR_LINKLOCAL(&a) ||
      IN6_IS_ADDR_SITELOCAL(&a) || IN6_IS_ADDR_MULTICAST(&a) || IN6_IS_ADDR_V4COMPAT(&a))
    return false;
  if ((b[0] & 0xFE) == 0xFC) return false;                                         // unique local
  if (b[0] == 0x20 && b[1] == 0x01 && b[2] == 0x0D && b[3] == 0xB8) return false;  // documentation
  if ((b[0] & 0xE0) != 0x20) return false;                                         // not global unicast
  return !Own().Has6(a);
}

void FetchInit(const FetchPolicy& policy) {
  g_policy = policy;
  Own().Load();
  curl_global_init(CURL_GLOBAL_DEFAULT);
}

void FetchStop() { g_stopped = true; }

FetchResult Fetch(const FetchRequest& request) {
  FetchResult r;
  if (g_stopped) {
    r.error = "the server is stopping";
    r.stopped = true;
    return r;
  }
  CURL* curl = curl_easy_init();
  if (!curl) {
    r.error = "curl_easy_init failed";
    return r;
  }
  Transfer t{&r.body, request.max_bytes};
  t.untrusted = request.untrusted;
  char err[CURL_ERROR_SIZE] = {0};
  const char* protocols = request.allow_file ? "http,https,file" : "http,https";
  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, protocols);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, request.timeout_seconds);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, std::min(10L, request.timeout_seconds));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "tidelark-server/1.0");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, err);
  if (request.untrusted) curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_slist* headers = nullptr;
  if (!request.etag.empty()) headers = curl_slist_append(headers, ("If-None-Match: " + request.etag).c_str());
  if (!request.last_modified.empty())
    headers = curl_slist_append(headers, ("If-Modified-Since: " + request.last_modified).c_str());
  if (headers) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  CURLcode rc = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r.status);
  if (rc == CURLE_OK && request.url.compare(0, 4, "http") == 0) {
    r.etag = Header(curl, "ETag");
    r.last_modified = Header(curl, "Last-Modified");
    r.retry_after = RetryAfter(Header(curl, "Retry-After"));
  }
  curl_easy_cleanup(curl);
  curl_slist_free_all(headers);
  if (t.refused) {
    r.error = "address refused: not a public address";
  } else if (t.too_big) {
    r.error = "larger than " + std::to_string(request.max_bytes) + " bytes";
  } else if (rc != CURLE_OK) {
    r.stopped = g_stopped;
    r.error = g_stopped ? "stopped" : err[0] ? err : curl_easy_strerror(rc);
  } else if (r.status == 304) {
    r.ok = r.not_modified = true;
  } else if (r.status >= 400) {
    r.error = "HTTP status " + std::to_string(r.status);
  } else {
    r.ok = true;
  }
  return r;
}

}  // namespace tidelark_server
