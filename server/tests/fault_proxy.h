// A proxy on 127.0.0.1 between a device and the real server that passes a
// sync session through request by request, counts the requests of each
// phase, and can break one answer the way a failing server or network does.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace tidelark_test {

class FaultProxy {
 public:
  // The device's requests: phase 1's and phase 3's bodies, and the range
  // requests of phases 2 and 4.
  enum Request { kPhase1Body, kPhase2Range, kPhase3Body, kPhase4Range, kRequestKinds };
  enum Fault {
    kNone,
    kBadRequest,   // "400 Bad Request" with "Connection: close" instead of the answer
    kStallInBody,  // half the answer's body, then nothing until the device gives up
    kCloseInBody,  // half the answer's body, then the connection closes
  };
  struct Plan {
    Fault fault = kNone;
    Request request = kPhase1Body;
    int ordinal = 0;            // which request of that kind (0: the first)
    bool final_answer = false;  // instead: the answer that completes phase 4
  };

  FaultProxy(int server_port, Plan plan);
  ~FaultProxy();
  int port() const { return port_; }
  int count(Request kind) const { return counts_[kind].load(); }
  bool fault_done() const { return fault_done_.load(); }

 private:
  void Run();
  void Serve(int device);

  int server_port_;
  Plan plan_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> counts_[kRequestKinds] = {};
  std::atomic<bool> fault_done_{false};
  std::thread thread_;
};

}  // namespace tidelark_test
