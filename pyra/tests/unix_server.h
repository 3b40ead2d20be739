// The real sync server for tests under Wine: the native tidelark-server,
// started through the host's shell (Wine runs Unix programs it is handed),
// with the device's ads on a free 127.0.0.1 port. Files are exchanged
// through the test's output folder, which both sides see.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/os.h"

namespace pyra_test {

// A Unix path as a Windows program names it.
inline std::string WinePath(const std::string& unix_path) { return "Z:" + unix_path; }

// Runs a shell command line on the host without waiting for it.
inline bool RunUnixShell(const std::string& command) {
  std::string line = "Z:\\bin\\sh -c \"" + command + "\"";
  std::u16string wide = platform::os::Utf8ToUtf16(line);
  std::wstring cmd(wide.begin(), wide.end());
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

// Waits until the file exists and is not empty; its contents, or "".
inline std::string WaitForFile(const std::string& unix_path, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    std::string text;
    if (platform::os::ReadWholeFile(WinePath(unix_path), &text) == 0 && !text.empty()) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return std::string();
}

class UnixServer {
 public:
  ~UnixServer() { Stop(); }

  // dir: a Unix folder for the server's data, logs and files.
  bool Start(const std::string& server, const std::string& dir, const std::string& ad_catalogue) {
    dir_ = dir;
    std::string cmd = "echo $$ > " + dir + "/pid; exec " + server + " --data " + dir + " --port 0 --port-file " +
                      dir + "/port --ad-catalogue " + ad_catalogue + " --ad-port 0 --ad-port-file " + dir +
                      "/ad-port --fetch-interval 0 --session-timeout 5 2> " + dir + "/server.log";
    if (!RunUnixShell(cmd)) return false;
    ad_port_ = std::atoi(WaitForFile(dir + "/ad-port", 20).c_str());
    return ad_port_ > 0;
  }
  void Stop() {
    if (dir_.empty()) return;
    RunUnixShell("kill -TERM $(cat " + dir_ + "/pid); while kill -0 $(cat " + dir_ +
                 "/pid) 2>/dev/null; do sleep 0.1; done; echo stopped > " + dir_ + "/stopped");
    WaitForFile(dir_ + "/stopped", 20);
    dir_.clear();
  }
  // The report of impressions and clicks, as the operator prints it.
  std::string Report(const std::string& server, const std::string& ad_catalogue) {
    std::string out = dir_ + "/report.txt";
    RunUnixShell(server + " --data " + dir_ + " --ad-catalogue " + ad_catalogue + " --ad-report " + out +
                 "; echo done > " + out + ".done");
    WaitForFile(out + ".done", 20);
    std::string text;
    platform::os::ReadWholeFile(WinePath(out), &text);
    return text;
  }
  std::string Log() const {
    std::string text;
    platform::os::ReadWholeFile(WinePath(dir_ + "/server.log"), &text);
    return text;
  }
  int ad_port() const { return ad_port_; }

 private:
  std::string dir_;
  int ad_port_ = 0;
};

}  // namespace pyra_test
