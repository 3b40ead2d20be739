#include "relay.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>

namespace walk {

namespace {

constexpr DWORD kTick = 50;  // the throttle's time slice

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

sockaddr_in Loopback(int port) {
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A listening socket on a free loopback port; INVALID_SOCKET when none.
SOCKET Listen(int* port) {
  if (!StartWinsock()) return INVALID_SOCKET;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in a = Loopback(0);
  int size = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  *port = ntohs(a.sin_port);
  return s;
}

bool SendAll(SOCKET s, const char* data, int size) {
  while (size > 0) {
    int sent = send(s, data, size, 0);
    if (sent <= 0) return false;
    data += sent;
    size -= sent;
  }
  return true;
}

}  // namespace

bool Relay::Start(int target_port, int bytes_per_second) {
  target_port_ = target_port;
  rate_ = bytes_per_second;
  open_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  listener_ = Listen(&port_);
  if (!open_ || listener_ == INVALID_SOCKET) return false;
  acceptor_ = std::thread([this] { Accept(); });
  return true;
}

void Relay::Hold() { ResetEvent(open_); }
void Relay::Release() { SetEvent(open_); }

void Relay::Track(SOCKET s) {
  std::lock_guard<std::mutex> lock(mu_);
  sockets_.push_back(s);
}

void Relay::Accept() {
  for (;;) {
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;  // closed by Stop
    SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = Loopback(target_port_);
    if (server == INVALID_SOCKET || connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      if (server != INVALID_SOCKET) closesocket(server);
      closesocket(client);
      continue;
    }
    ++connections_;
    std::lock_guard<std::mutex> lock(mu_);
    if (stopping_) {
      closesocket(client);
      closesocket(server);
      return;
    }
    sockets_.push_back(client);
    sockets_.push_back(server);
    threads_.emplace_back([this, client, server] { Pump(client, server, false); });
    threads_.emplace_back([this, client, server] { Pump(server, client, true); });
  }
}

void Relay::Pump(SOCKET from, SOCKET to, bool from_server) {
  int slice = 16384;
  if (from_server && rate_ > 0) slice = std::max(1, rate_ * static_cast<int>(kTick) / 1000);
  std::vector<char> buffer(static_cast<size_t>(slice));
  for (;;) {
    int got = recv(from, buffer.data(), slice, 0);
    if (got <= 0) break;
    WaitForSingleObject(open_, INFINITE);
    if (stopping_ || !SendAll(to, buffer.data(), got)) break;
    if (from_server && rate_ > 0) Sleep(kTick);
  }
  // The other direction learns of the end as the peers would.
  shutdown(to, SD_SEND);
}

void Relay::Stop() {
  if (listener_ == INVALID_SOCKET && !acceptor_.joinable()) return;
  stopping_ = true;
  Release();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  listener_ = INVALID_SOCKET;
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (SOCKET s : sockets_) shutdown(s, SD_BOTH);
    threads.swap(threads_);
  }
  for (std::thread& t : threads) t.join();
  for (SOCKET s : sockets_) closesocket(s);
  sockets_.clear();
  if (open_) CloseHandle(open_);
  open_ = nullptr;
}

bool FixedAnswerServer::Start(const std::string& status_line) {
  answer_ = "HTTP/1.1 " + status_line + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  listener_ = Listen(&port_);
  if (listener_ == INVALID_SOCKET) return false;
  server_ = std::thread([this] { Serve(); });
  return true;
}

void FixedAnswerServer::Serve() {
  for (;;) {
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    // The whole request first (headers, then the body they announce), so the answer is read, not reset.
    std::string request;
    char buffer[4096];
    std::size_t end = std::string::npos, body = 0;
    while (end == std::string::npos || request.size() < end + 4 + body) {
      int got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<size_t>(got));
      if (end == std::string::npos && (end = request.find("\r\n\r\n")) != std::string::npos) {
        std::size_t at = request.find("Content-Length:");
        if (at != std::string::npos && at < end) body = std::strtoul(request.c_str() + at + 15, nullptr, 10);
      }
    }
    SendAll(client, answer_.data(), static_cast<int>(answer_.size()));
    shutdown(client, SD_SEND);
    closesocket(client);
  }
}

void FixedAnswerServer::Stop() {
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  listener_ = INVALID_SOCKET;
  if (server_.joinable()) server_.join();
}

int ClosedPort() {
  int port = 0;
  SOCKET s = Listen(&port);
  if (s == INVALID_SOCKET) return 0;
  closesocket(s);
  return port;
}

}  // namespace walk
