#include "feed_fetch.h"

#include <curl/curl.h>

namespace tidelark_server {
namespace {

struct Sink {
  std::string* body;
  std::size_t max;
  bool too_big = false;
};

size_t Write(char* data, size_t size, size_t count, void* user) {
  Sink* sink = static_cast<Sink*>(user);
  size_t n = size * count;
  if (sink->body->size() + n > sink->max) {
    sink->too_big = true;
    return 0;
  }
  sink->body->append(data, n);
  return n;
}

}  // namespace

void FetchInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }

FetchResult FetchUrl(const std::string& url, long timeout_seconds, std::size_t max_bytes) {
  FetchResult r;
  CURL* curl = curl_easy_init();
  if (!curl) {
    r.error = "curl_easy_init failed";
    return r;
  }
  Sink sink{&r.body, max_bytes};
  char err[CURL_ERROR_SIZE] = {0};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,file");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeout_seconds);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "tidelark-server/1.0");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Write);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, err);
  CURLcode rc = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r.status);
  curl_easy_cleanup(curl);
  if (sink.too_big) {
    r.error = "feed larger than the limit";
  } else if (rc != CURLE_OK) {
    r.error = err[0] ? err : curl_easy_strerror(rc);
  } else if (r.status >= 400) {
    r.error = "HTTP status " + std::to_string(r.status);
  } else {
    r.ok = true;
  }
  return r;
}

}  // namespace tidelark_server
