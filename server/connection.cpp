#include "connection.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace tidelark_server {
namespace {

// Each receive waits at most the time-out; the whole session at most ten
// time-outs, so a peer that trickles bytes cannot hold a thread for ever.
class SocketSource : public ByteSource {
 public:
  SocketSource(int fd, int timeout_seconds)
      : fd_(fd), deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(10 * timeout_seconds)) {}
  long Read(char* out, std::size_t n) override {
    if (std::chrono::steady_clock::now() > deadline_) return -1;
    for (;;) {
      ssize_t r = recv(fd_, out, n, 0);
      if (r < 0 && errno == EINTR) continue;
      return static_cast<long>(r);
    }
  }

 private:
  int fd_;
  std::chrono::steady_clock::time_point deadline_;
};

bool SendAll(int fd, const std::string& bytes) {
  std::size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    off += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void ServeConnection(int fd, PhasedSession* session, int timeout_seconds, const std::string& peer) {
  timeval tv{timeout_seconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  auto begin = std::chrono::steady_clock::now();
  SocketSource source(fd, timeout_seconds);
  RequestReader reader(&source);
  std::string agent, end = "closed by the device";
  int requests = 0;
  for (;;) {
    HttpRequest request;
    std::string error;
    ReadStatus status = reader.Read(&request, &error);
    if (status == ReadStatus::kClosed) break;
    if (status == ReadStatus::kError) {
      end = "bad request: " + error;
      SendAll(fd, BadRequestResponse());
      break;
    }
    ++requests;
    if (agent.empty()) agent = request.user_agent;
    std::string response;
    bool keep = session->Handle(request, &response);
    if (!SendAll(fd, response)) {
      end = "send failed";
      break;
    }
    if (!keep) {
      end = "ended by the server";
      break;
    }
    if (session->finished()) end = "complete";
  }
  shutdown(fd, SHUT_RDWR);
  close(fd);
  long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - begin).count());
  std::string line = "session " + peer + " [" + agent + "] " + std::to_string(requests) + " requests, " +
                     std::to_string(ms) + " ms, " + (session->finished() ? "complete" : end);
  for (const std::string& l : session->log()) line += "\n  " + l;
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace tidelark_server
