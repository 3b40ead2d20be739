// The real sync server for tests under Wine: the native tidelark-server
// with the device's ads on a free 127.0.0.1 port (platform/unix_host.h).
#pragma once

#include <cstdlib>
#include <string>

#include "platform/unix_host.h"

namespace pyra_test {

using platform::unix_host::RunShell;
using platform::unix_host::WaitForFile;
using platform::unix_host::WinePath;

class UnixServer {
 public:
  // dir: a Unix folder for the server's data, logs and files.
  bool Start(const std::string& server, const std::string& dir, const std::string& ad_catalogue) {
    if (!server_.Start(server, dir,
                       "--ad-catalogue " + ad_catalogue + " --ad-port 0 --ad-port-file " + dir +
                           "/ad-port --fetch-interval 0 --session-timeout 5",
                       "ad-port"))
      return false;
    ad_port_ = std::atoi(server_.ReadText("ad-port").c_str());
    return ad_port_ > 0;
  }
  void Stop() { server_.Stop(); }
  // The report of impressions and clicks, as the operator prints it.
  std::string Report(const std::string& server, const std::string& ad_catalogue) {
    std::string out = server_.dir() + "/report.txt";
    RunShell(server + " --data " + server_.dir() + " --ad-catalogue " + ad_catalogue + " --ad-report " + out +
             "; echo done > " + out + ".done");
    WaitForFile(out + ".done", 20);
    std::string text;
    platform::os::ReadWholeFile(WinePath(out), &text);
    return text;
  }
  std::string Log() const { return server_.Log(); }
  int ad_port() const { return ad_port_; }

 private:
  platform::unix_host::Server server_;
  int ad_port_ = 0;
};

}  // namespace pyra_test
