// Between the program and a server on 127.0.0.1, for the walk and the
// end-to-end tests: a relay that passes the bytes through unchanged, slowed
// to a rate and held on request (so that a sync stands still where it is for
// a screenshot), and a server that answers every request with one HTTP
// status (a web server that is not a sync server).
//
// Invariants: both listen on 127.0.0.1 only; Stop (and the destructor) closes
// every socket and joins every thread they started.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace walk {

class Relay {
 public:
  Relay() = default;
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;
  ~Relay() { Stop(); }

  // Listens on a free port and relays each connection to 127.0.0.1:`target_port`;
  // the server's bytes pass at `bytes_per_second` at most (0: as fast as they come).
  bool Start(int target_port, int bytes_per_second);
  void Stop();
  int port() const { return port_; }
  // No byte passes either way until Release; bytes under way are kept, not lost.
  void Hold();
  void Release();
  // Connections accepted so far.
  int connections() const { return connections_.load(); }

 private:
  void Accept();
  void Pump(SOCKET from, SOCKET to, bool from_server);
  void Track(SOCKET s);

  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0, target_port_ = 0, rate_ = 0;
  HANDLE open_ = nullptr;  // manual-reset: set while bytes may pass
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::mutex mu_;  // guards sockets_ and threads_
  std::vector<SOCKET> sockets_;
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

class FixedAnswerServer {
 public:
  FixedAnswerServer() = default;
  FixedAnswerServer(const FixedAnswerServer&) = delete;
  FixedAnswerServer& operator=(const FixedAnswerServer&) = delete;
  ~FixedAnswerServer() { Stop(); }

  // Answers every request with `status_line` ("404 Not Found") and an empty body.
  bool Start(const std::string& status_line);
  void Stop();
  int port() const { return port_; }

 private:
  void Serve();

  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::string answer_;
  std::thread server_;
};

// A port on 127.0.0.1 that nothing listens on (a server that is down).
int ClosedPort();

}  // namespace walk
