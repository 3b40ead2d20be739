#include "http_stub.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "test_device.h"

namespace tidelark_test {

HttpStub::HttpStub(Handler handler) : handler_(std::move(handler)) {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  listen(fd_, 16);
  thread_ = std::thread([this] {
    int c;
    while ((c = accept(fd_, nullptr, nullptr)) >= 0) {
      std::thread([this, c] {
        std::string head;
        char buf[1024];
        while (head.find("\r\n\r\n") == std::string::npos) {
          pollfd p{c, POLLIN, 0};
          if (poll(&p, 1, 2000) <= 0) break;
          ssize_t n = recv(c, buf, sizeof buf, 0);
          if (n <= 0) break;
          head.append(buf, static_cast<std::size_t>(n));
        }
        {
          std::lock_guard<std::mutex> lock(mu_);
          heads_.push_back(head);
        }
        ++requests_;
        SendText(c, handler_(head));
        close(c);
      }).detach();
    }
  });
}

HttpStub::~HttpStub() {
  shutdown(fd_, SHUT_RDWR);
  close(fd_);
  thread_.join();
}

std::vector<std::string> HttpStub::heads() {
  std::lock_guard<std::mutex> lock(mu_);
  return heads_;
}

std::string HttpStub::Ok(const std::string& body, const std::string& headers) {
  return "HTTP/1.0 200 OK\r\nContent-Type: application/rss+xml\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace tidelark_test
