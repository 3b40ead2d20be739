#include "server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace tidelark_test {

std::string FreshDir(const std::string& name) {
  std::string dir = std::string(TIDELARK_TEST_OUTPUT) + "/server/" + name;
  std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
  if (std::system(cmd.c_str()) != 0) return "";
  return dir;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool ServerProcess::Start(const std::string& data_dir, const std::vector<std::string>& flags, bool wait_for_feeds) {
  std::string port_file = data_dir + "/port";
  unlink(port_file.c_str());
  log_path_ = data_dir + "/server.log";
  std::vector<std::string> args = {TIDELARK_SERVER_BIN, "--data", data_dir, "--port", "0", "--port-file", port_file};
  args.insert(args.end(), flags.begin(), flags.end());
  pid_ = fork();
  if (pid_ == 0) {
    int fd = open(log_path_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(fd, 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  for (int i = 0; i < 1200; ++i) {
    std::string p = ReadFile(port_file);
    if (!p.empty() && (!wait_for_feeds || log().find("feeds: first round done") != std::string::npos)) {
      port_ = std::atoi(p.c_str());
      return port_ > 0;
    }
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void ServerProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

int ServerProcess::Wait(int ms) {
  if (pid_ <= 0) return -1;
  int status = 0;
  for (int waited = 0; waited <= ms; waited += 20) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -2;
}

int ServerProcess::Stop() {
  if (pid_ <= 0) return 0;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return -1;
}

std::string ServerProcess::log() const { return ReadFile(log_path_); }

}  // namespace tidelark_test
