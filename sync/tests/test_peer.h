// A scripted HTTP peer on 127.0.0.1 for the sync tests: it records the exact
// bytes every request carries and answers each with the next scripted reply.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/os.h"

namespace sync_test {

struct Reply {
  std::string bytes;       // sent as they are after the request was read
  bool close = false;      // close the connection after sending
  bool read_request = true;
  int delay_ms = 0;        // wait before replying (stalls)
};

struct Request {
  std::string raw;                  // headers and body exactly as received
  std::string headers;              // up to and including the blank line
  std::vector<std::string> chunks;  // chunk payloads of a chunked body
};

// "HTTP/1.1 <status>" reply with a body, optional extra header lines and the
// 4 bytes the client discards after every body.
std::string HttpReply(const std::string& status, const std::string& body, const std::string& extra_headers = "",
                      bool content_length = true);
// A 206 reply carrying `body` as the range [start, start + size) of `total`;
// the last range ends at `total` itself, which marks the transfer complete.
std::string RangeReply(const std::string& body, std::uint32_t start, std::uint32_t total);

class TestPeer {
 public:
  explicit TestPeer(std::vector<Reply> script);
  ~TestPeer();
  std::uint16_t port() const { return port_; }
  // Waits for the conversation to end; returns the requests seen.
  std::vector<Request> Finish();

 private:
  void Run();
  bool ReadRequest(platform::os::Socket s, Request* r);

  std::vector<Reply> script_;
  std::vector<Request> requests_;
  platform::os::Socket listener_ = platform::os::kInvalidSocket;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::string pending_;
  bool finished_ = false;
};

}  // namespace sync_test
