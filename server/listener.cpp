#include "listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "connection.h"
#include "http_framing.h"
#include "log.h"

namespace tidelark_server {

bool ConnectionTable::Admit(int fd, const std::string& address, int max_total, int max_per_address) {
  std::lock_guard<std::mutex> lock(mu_);
  int& mine = per_address_[address];
  if (static_cast<int>(fds_.size()) >= max_total || mine >= max_per_address) {
    if (mine == 0) per_address_.erase(address);
    return false;
  }
  ++mine;
  fds_.insert(fd);
  return true;
}

void ConnectionTable::Leave(int fd, const std::string& address) {
  std::lock_guard<std::mutex> lock(mu_);
  fds_.erase(fd);
  if (--per_address_[address] <= 0) per_address_.erase(address);
  if (fds_.empty()) empty_.notify_all();
}

void ConnectionTable::CutAll() {
  std::lock_guard<std::mutex> lock(mu_);
  for (int fd : fds_) shutdown(fd, SHUT_RDWR);
}

bool ConnectionTable::WaitEmpty(int milliseconds) {
  std::unique_lock<std::mutex> lock(mu_);
  return empty_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return fds_.empty(); });
}

int ConnectionTable::size() {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int>(fds_.size());
}

bool Listener::Open(const ListenerOptions& options, std::string* error) {
  options_ = options;
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(options.port));
  if (inet_pton(AF_INET, options.address.c_str(), &addr.sin_addr) != 1 ||
      bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd_, 256) != 0) {
    *error = "cannot listen on " + options.address + ":" + std::to_string(options.port);
    return false;
  }
  socklen_t len = sizeof addr;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  return true;
}

void Listener::Serve(const SessionFactory& factory, const std::atomic<bool>& stop) {
  std::string busy = ErrorTextResponse("The server is busy. Please try again later.");
  while (!stop) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    sockaddr_in peer{};
    socklen_t plen = sizeof peer;
    int fd = accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &plen, SOCK_CLOEXEC);
    if (fd < 0) continue;
    char ip[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
    std::string address = ip;
    if (!table_.Admit(fd, address, options_.max_connections, options_.max_per_address)) {
      // Best effort: the device shows the text if it reads it before the close.
      send(fd, busy.data(), busy.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      shutdown(fd, SHUT_WR);
      close(fd);
      LogLine("refused " + address + ": too many connections");
      continue;
    }
    std::string who = address + ":" + std::to_string(ntohs(peer.sin_port));
    std::unique_ptr<PhasedSession> session = factory();
    int idle = options_.idle_seconds;
    ConnectionTable* table = &table_;
    std::thread([fd, who, address, idle, table, s = std::move(session)]() mutable {
      ServeConnection(fd, s.get(), idle, who);
      s.reset();
      table->Leave(fd, address);
      close(fd);  // after Leave: the number may serve a new connection at once
    }).detach();
  }
  close(fd_);
  fd_ = -1;
}

int Listener::Drain(int grace_seconds) {
  if (table_.WaitEmpty(grace_seconds * 1000)) return 0;
  int cut = table_.size();
  table_.CutAll();
  // A cut connection's thread ends within moments; its session object goes
  // before the table lets go of it.
  table_.WaitEmpty(5000);
  return cut;
}

}  // namespace tidelark_server
