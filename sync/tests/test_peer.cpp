#include "test_peer.h"

#include <cstdlib>

namespace sync_test {

namespace os = platform::os;

std::string HttpReply(const std::string& status, const std::string& body, const std::string& extra_headers,
                      bool content_length) {
  std::string r = "HTTP/1.1 " + status + "\r\n" + extra_headers;
  if (content_length) r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  r += "\r\n" + body + "\r\n\r\n";
  return r;
}

std::string RangeReply(const std::string& body, std::uint32_t start, std::uint32_t total) {
  std::uint32_t end = start + static_cast<std::uint32_t>(body.size());
  if (end < total) end -= 1;
  return HttpReply("206 Partial Content", body,
                   "Content-Type: application/octet-stream\r\nContent-Range: bytes " + std::to_string(start) + "-" +
                       std::to_string(end) + "/" + std::to_string(total) + "\r\n");
}

TestPeer::TestPeer(std::vector<Reply> script) : script_(std::move(script)) {
  os::SocketStartup();
  if (os::TcpListen("127.0.0.1", 0, 4, &listener_, &port_) != os::kOk) return;
  thread_ = std::thread([this] { Run(); });
}

TestPeer::~TestPeer() { Finish(); }

std::vector<Request> TestPeer::Finish() {
  if (!finished_) {
    finished_ = true;
    if (thread_.joinable()) thread_.join();
    os::CloseSocket(listener_);
  }
  return requests_;
}

bool TestPeer::ReadRequest(os::Socket s, Request* r) {
  auto fill = [&](std::size_t need) {
    while (pending_.size() < need) {
      char buf[4096];
      std::size_t got = 0;
      if (os::SocketRecv(s, buf, sizeof buf, &got) != os::kOk) return false;
      pending_.append(buf, got);
    }
    return true;
  };
  auto take_line = [&](std::string* line) {
    for (;;) {
      std::size_t e = pending_.find("\r\n");
      if (e != std::string::npos) {
        *line = pending_.substr(0, e + 2);
        pending_.erase(0, e + 2);
        r->raw += *line;
        return true;
      }
      if (!fill(pending_.size() + 1)) return false;
    }
  };
  std::string line;
  do {
    if (!take_line(&line)) return false;
    r->headers += line;
  } while (line != "\r\n");
  if (r->headers.find("Transfer-Encoding: chunked") != std::string::npos) {
    for (;;) {
      if (!take_line(&line)) return false;
      std::size_t n = std::strtoul(line.c_str(), nullptr, 16);
      if (!fill(n + 2)) return false;
      r->raw += pending_.substr(0, n + 2);
      if (n == 0) {
        pending_.erase(0, 2);
        return true;
      }
      r->chunks.push_back(pending_.substr(0, n));
      pending_.erase(0, n + 2);
    }
  }
  std::size_t cl = r->headers.find("Content-Length: ");
  if (cl != std::string::npos) {
    std::size_t n = std::strtoul(r->headers.c_str() + cl + 16, nullptr, 10);
    if (!fill(n)) return false;
    r->raw += pending_.substr(0, n);
    pending_.erase(0, n);
  }
  return true;
}

void TestPeer::Run() {
  os::Socket s;
  // A client that never connects (cancelled before) must not hang the test.
  if (os::SocketWaitReadable(listener_, 2000) != os::kOk) return;
  if (os::TcpAccept(listener_, &s) != os::kOk) return;
  os::SetSocketTimeouts(s, 20000, 20000);
  for (const Reply& reply : script_) {
    if (reply.read_request) {
      Request r;
      bool ok = ReadRequest(s, &r);
      if (!r.raw.empty()) requests_.push_back(r);
      if (!ok) break;
    }
    if (reply.delay_ms) os::SleepMillis(static_cast<unsigned>(reply.delay_ms));
    if (!reply.bytes.empty() && os::SocketSendAll(s, reply.bytes.data(), reply.bytes.size()) != os::kOk) break;
    if (reply.close) break;
  }
  os::SocketShutdown(s);
  os::CloseSocket(s);
}

}  // namespace sync_test
