// Fetching a feed document with libcurl: http, https and file addresses,
// bounded in time and size so that one bad source cannot stall the server.
#pragma once

#include <string>

namespace tidelark_server {

struct FetchResult {
  bool ok = false;
  long status = 0;
  std::string body;
  std::string error;
};

// Call once before any thread fetches.
void FetchInit();

FetchResult FetchUrl(const std::string& url, long timeout_seconds = 30,
                     std::size_t max_bytes = 8u << 20);

}  // namespace tidelark_server
