#include "fault_proxy.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "test_device.h"

namespace tidelark_test {
namespace {

// Buffered reading of one HTTP message at a time.
class Reader {
 public:
  explicit Reader(int fd) : fd_(fd) {}
  bool Line(std::string* line) {
    line->clear();
    for (;;) {
      std::size_t e = buf_.find("\r\n", pos_);
      if (e != std::string::npos) {
        *line = buf_.substr(pos_, e + 2 - pos_);
        pos_ = e + 2;
        return true;
      }
      if (buf_.size() - pos_ > 8192 || !Fill()) return false;
    }
  }
  bool Exact(std::size_t n, std::string* out) {
    while (buf_.size() - pos_ < n)
      if (!Fill()) return false;
    *out = buf_.substr(pos_, n);
    pos_ += n;
    return true;
  }

 private:
  bool Fill() {
    if (pos_ > 0) {
      buf_.erase(0, pos_);
      pos_ = 0;
    }
    char b[16384];
    ssize_t n = recv(fd_, b, sizeof b, 0);
    if (n <= 0) return false;
    buf_.append(b, static_cast<std::size_t>(n));
    return true;
  }
  int fd_;
  std::string buf_;
  std::size_t pos_ = 0;
};

// Headers up to the blank line; *length gets the Content-Length.
bool ReadHead(Reader* r, std::string* head, std::size_t* length, bool* chunked) {
  head->clear();
  *length = 0;
  *chunked = false;
  std::string line;
  do {
    if (!r->Line(&line)) return false;
    *head += line;
    if (line.compare(0, 16, "Content-Length: ") == 0) *length = std::strtoul(line.c_str() + 16, nullptr, 10);
    if (line == "Transfer-Encoding: chunked\r\n") *chunked = true;
  } while (line != "\r\n");
  return true;
}

// One request of the device, as it came.
bool ReadRequest(Reader* r, std::string* bytes, bool* chunked) {
  std::size_t length = 0;
  if (!ReadHead(r, bytes, &length, chunked)) return false;
  if (!*chunked) return true;
  for (;;) {
    std::string line, data;
    if (!r->Line(&line)) return false;
    std::size_t n = std::strtoul(line.c_str(), nullptr, 16);
    if (!r->Exact(n + 2, &data)) return false;
    *bytes += line + data;
    if (n == 0) return true;
  }
}

// One answer of the server: head, body and the four bytes after a body.
bool ReadAnswer(Reader* r, std::string* head, std::string* body, std::string* trailer) {
  std::size_t length = 0;
  bool chunked = false;
  if (!ReadHead(r, head, &length, &chunked)) return false;
  body->clear();
  trailer->clear();
  if (length == 0) return true;
  return r->Exact(length, body) && r->Exact(4, trailer);
}

}  // namespace

FaultProxy::FaultProxy(int server_port, Plan plan) : server_port_(server_port), plan_(plan) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 4) != 0) return;
  socklen_t len = sizeof a;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Run(); });
}

FaultProxy::~FaultProxy() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  close(listener_);
}

void FaultProxy::Run() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    int device = accept(listener_, nullptr, nullptr);
    if (device < 0) continue;
    Serve(device);
    close(device);
  }
}

void FaultProxy::Serve(int device) {
  int server = ConnectLocal(server_port_);
  if (server < 0) return;
  Reader from_device(device), from_server(server);
  int bodies = 0;
  for (;;) {
    std::string request, head, body, trailer;
    bool chunked = false;
    if (!ReadRequest(&from_device, &request, &chunked)) break;
    Request kind = chunked ? (bodies++ == 0 ? kPhase1Body : kPhase3Body) : (bodies == 1 ? kPhase2Range : kPhase4Range);
    int ordinal = counts_[kind]++;
    bool hit = plan_.fault != kNone && !plan_.final_answer && kind == plan_.request && ordinal == plan_.ordinal;
    if (hit && plan_.fault == kBadRequest) {
      SendText(device, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      fault_done_ = true;
      break;
    }
    if (!SendText(server, request) || !ReadAnswer(&from_server, &head, &body, &trailer)) break;
    if (plan_.final_answer && plan_.fault != kNone && (kind == kPhase3Body || kind == kPhase4Range) &&
        head.compare(0, 15, "HTTP/1.1 200 OK") == 0) {
      hit = true;
    }
    if (!hit) {
      if (!SendText(device, head + body + trailer)) break;
      continue;
    }
    SendText(device, head + body.substr(0, body.size() / 2));
    fault_done_ = true;
    if (plan_.fault == kStallInBody) ReadAll(device, 20000);  // until the device closes
    break;
  }
  close(server);
}

}  // namespace tidelark_test
