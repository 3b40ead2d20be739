// Starts the real tidelark-server on a free 127.0.0.1 port for a test.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tidelark_test {

class ServerProcess {
 public:
  ~ServerProcess() { Stop(); }
  // Extra flags follow the data folder and port flags. False when it did not
  // come up within a few seconds. With `wait_for_feeds` it returns once the
  // first round of feed fetching is done (the server listens before that).
  bool Start(const std::string& data_dir, const std::vector<std::string>& flags, bool wait_for_feeds = true);
  // Sends a signal; Stop() or Wait() collect the exit.
  void Signal(int signal);
  // Waits up to `ms` for the exit; its status, or -2 when still running.
  int Wait(int ms);
  pid_t pid() const { return pid_; }
  // SIGTERM and wait; returns the exit status (-1 when it had to be killed).
  int Stop();
  int port() const { return port_; }
  std::string log() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string log_path_;
};

// A fresh folder under the test output folder.
std::string FreshDir(const std::string& name);
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace tidelark_test
