// Fetching feeds and pictures with libcurl, bounded in size and time so that
// one bad source cannot stall the server.
//
// Addresses that come from outside the operator's catalogue (channels added
// on a device, pictures a feed names) are fetched only over http or https
// and only from public addresses: loopback, private, link-local, shared,
// multicast and reserved networks and the server's own addresses are
// refused after name resolution, for every connection a redirect makes,
// unless the operator allows private addresses. Such fetches ignore proxy
// settings, so that the address checked is the one connected to.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace tidelark_server {

struct FetchPolicy {
  bool allow_private_addresses = false;
};

// Call once before any thread fetches; notes the server's own addresses.
void FetchInit(const FetchPolicy& policy);
// Ends fetches in flight within moments and refuses new ones (shutdown).
void FetchStop();

struct FetchRequest {
  std::string url;
  long timeout_seconds = 30;
  std::size_t max_bytes = 8u << 20;
  bool untrusted = false;     // public http/https only (see above)
  bool allow_file = false;    // file addresses too (the operator's own feeds)
  std::string etag, last_modified;  // validators of the copy we hold
};

struct FetchResult {
  bool ok = false;            // a body, or not modified
  bool not_modified = false;  // 304: the copy we hold is current
  long status = 0;
  std::string body;
  std::string error;
  std::string etag, last_modified;
  std::int64_t retry_after = 0;  // seconds the source asked us to wait (429, 503)
  bool stopped = false;          // cut short by FetchStop: says nothing about the source
};

FetchResult Fetch(const FetchRequest& request);

// A public unicast address, not one of the server's own.
bool IsPublicAddress(const sockaddr* address);

}  // namespace tidelark_server
