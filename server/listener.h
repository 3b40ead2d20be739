// Accepts device connections and runs each on a thread of its own, with a
// session from the factory (the news side's or the ad side's). Caps keep idle or hostile peers from locking
// everyone out: connections at once in all and from one address. Stopping
// gives sessions the grace time to end on their own, then cuts their
// connections (a session ends at a commit point or is cut before it, never
// half-applied) and waits for their threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "phased_session.h"

namespace tidelark_server {

using SessionFactory = std::function<std::unique_ptr<PhasedSession>()>;

struct ListenerOptions {
  std::string address = "127.0.0.1";
  int port = 8001;
  int idle_seconds = 60;
  int max_connections = 512;
  int max_per_address = 16;
};

// The connections being served: counts per address, and the sockets to cut.
class ConnectionTable {
 public:
  // False when a cap is reached; the connection is then not served.
  bool Admit(int fd, const std::string& address, int max_total, int max_per_address);
  void Leave(int fd, const std::string& address);
  // Cuts every connection; their threads see the socket closed.
  void CutAll();
  // Waits until no connection is left or the time is up; true when none is left.
  bool WaitEmpty(int milliseconds);
  int size();

 private:
  std::mutex mu_;
  std::condition_variable empty_;
  std::set<int> fds_;
  std::map<std::string, int> per_address_;
};

class Listener {
 public:
  // Binds and listens; false with *error when that fails.
  bool Open(const ListenerOptions& options, std::string* error);
  int port() const { return port_; }
  // Serves until *stop turns true (checked every 200 ms).
  void Serve(const SessionFactory& factory, const std::atomic<bool>& stop);
  // After Serve: waits `grace_seconds` for sessions, then cuts them. Returns
  // how many had to be cut.
  int Drain(int grace_seconds);

 private:
  ListenerOptions options_;
  int fd_ = -1;
  int port_ = 0;
  ConnectionTable table_;
};

}  // namespace tidelark_server
