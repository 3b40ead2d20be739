// The host's own programs for tests under Wine: Wine runs a Unix program it
// is handed (here the host's shell), so a test can start the native build's
// server and tools beside the Windows program. Files pass through folders
// that both sides see; a Unix path is the same file under drive Z:.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/os.h"

namespace platform {
namespace unix_host {

// A Unix path as a Windows program names it.
inline std::string WinePath(const std::string& unix_path) { return "Z:" + unix_path; }

// Runs a shell command line on the host without waiting for it.
inline bool RunShell(const std::string& command) {
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

// Runs a command line to its end; its exit status, or -1 when it did not end
// within `seconds`. `scratch` names a file for the status (replaced).
inline int RunShellAndWait(const std::string& command, const std::string& scratch, int seconds) {
  platform::os::RemoveFile(WinePath(scratch));
  if (!RunShell(command + "; echo $? > " + scratch)) return -1;
  const std::string status = WaitForFile(scratch, seconds);
  return status.empty() ? -1 : std::atoi(status.c_str());
}

// The native tidelark-server in a folder of its own (data, log, port file).
class Server {
 public:
  ~Server() { Stop(); }
  // Starts `server` with `flags` after its data and port flags and waits
  // for `ready_file` in the folder (the server writes its port files once
  // it listens). False when it did not come up.
  bool Start(const std::string& server, const std::string& dir, const std::string& flags,
             const std::string& ready_file = "port") {
    dir_ = dir;
    std::string cmd = "echo $$ > " + dir + "/pid; exec " + server + " --data " + dir + " --port 0 --port-file " +
                      dir + "/port " + flags + " 2> " + dir + "/server.log";
    if (!RunShell(cmd)) return false;
    return !WaitForFile(dir + "/" + ready_file, 20).empty();
  }
  void Stop() {
    if (dir_.empty()) return;
    RunShell("kill -TERM $(cat " + dir_ + "/pid); while kill -0 $(cat " + dir_ +
             "/pid) 2>/dev/null; do sleep 0.1; done; echo stopped > " + dir_ + "/stopped");
    WaitForFile(dir_ + "/stopped", 20);
    dir_.clear();
  }
  int port() const { return std::atoi(ReadText("port").c_str()); }
  std::string ReadText(const std::string& name) const {
    std::string text;
    platform::os::ReadWholeFile(WinePath(dir_ + "/" + name), &text);
    return text;
  }
  std::string Log() const { return ReadText("server.log"); }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

}  // namespace unix_host
}  // namespace platform
