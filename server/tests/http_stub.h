// A small HTTP server on 127.0.0.1 for tests: each request's head goes to the
// handler, whose answer is sent as it is (a whole response), and counted.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tidelark_test {

class HttpStub {
 public:
  using Handler = std::function<std::string(const std::string& request_head)>;
  explicit HttpStub(Handler handler);
  ~HttpStub();
  int port() const { return port_; }
  int requests() const { return requests_.load(); }
  std::vector<std::string> heads();  // the request heads so far
  std::string url(const std::string& path = "/feed") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  // A complete "200 OK" response with the body and extra header lines.
  static std::string Ok(const std::string& body, const std::string& headers = "");

 private:
  Handler handler_;
  int fd_ = -1, port_ = 0;
  std::atomic<int> requests_{0};
  std::mutex mu_;
  std::vector<std::string> heads_;
  std::thread thread_;
};

}  // namespace tidelark_test
