#include "connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "log.h"

namespace tidelark_server {
namespace {

// Waits at most the idle time for each piece; any byte that moves is progress.
class SocketSource : public ByteSource {
 public:
  SocketSource(int fd, int idle_ms) : fd_(fd), idle_ms_(idle_ms) {}
  long Read(char* out, std::size_t n) override {
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      int ready = poll(&p, 1, idle_ms_);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) {
        idle_ = ready == 0;
        return -1;
      }
      ssize_t r = recv(fd_, out, n, 0);
      if (r < 0 && errno == EINTR) continue;
      return static_cast<long>(r);
    }
  }
  bool idle() const { return idle_; }

 private:
  int fd_;
  int idle_ms_;
  bool idle_ = false;
};

bool SendAll(int fd, const std::string& bytes, int idle_ms) {
  std::size_t off = 0;
  while (off < bytes.size()) {
    pollfd p{fd, POLLOUT, 0};
    int ready = poll(&p, 1, idle_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t n = send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) return false;
    off += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void ServeConnection(int fd, PhasedSession* session, int idle_seconds, const std::string& peer) {
  const int idle_ms = idle_seconds * 1000;
  auto begin = std::chrono::steady_clock::now();
  SocketSource source(fd, idle_ms);
  RequestReader reader(&source);
  std::string agent, end = "closed by the device";
  int requests = 0;
  for (;;) {
    HttpRequest request;
    std::string error;
    ReadStatus status = reader.Read(&request, &error);
    if (status == ReadStatus::kClosed) {
      if (source.idle()) end = "cut after " + std::to_string(idle_seconds) + " s without progress";
      break;
    }
    if (status == ReadStatus::kError) {
      end = source.idle() ? "cut after " + std::to_string(idle_seconds) + " s without progress" : "bad request: " + error;
      SendAll(fd, BadRequestResponse(), idle_ms);
      break;
    }
    ++requests;
    if (agent.empty()) agent = request.user_agent;
    std::string response;
    bool keep = session->Handle(request, &response);
    if (!SendAll(fd, response, idle_ms)) {
      end = "send failed";
      break;
    }
    if (!keep) {
      end = "ended by the server";
      break;
    }
  }
  shutdown(fd, SHUT_RDWR);
  long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - begin).count());
  std::string line = "session " + peer + " [" + agent + "] " + std::to_string(requests) + " requests, " +
                     std::to_string(ms) + " ms, " + (session->finished() ? "complete" : end);
  for (const std::string& l : session->log()) line += "\n  " + l;
  LogLine(line);
}

}  // namespace tidelark_server
