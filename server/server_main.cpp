// tidelark-server: the news sync server. `tidelark-server --help` lists the
// flags (they also go in a --config file).
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>

#include "config.h"
#include "feed_fetch.h"
#include "listener.h"
#include "log.h"
#include "server_session.h"
#include "sqlite_storage.h"
#include "sync_service.h"

using namespace tidelark_server;

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// Fetches feeds in the background: all of them at once, then each when due;
// keeps the storage tidy between rounds. Stops within moments of g_stop.
class Fetcher {
 public:
  Fetcher(SyncService* service, const ServerConfig& config) : service_(service), config_(config) {}
  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stopping_ = true;
    }
    wake_.notify_all();
    FetchStop();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Round(bool all) {
    auto report = [](const std::string& line) { LogLine("fetch " + line); };
    service_->RefreshDue(Now(), all, report);
    service_->Maintain(Now(), report);
  }
  void Run() {
    Round(true);
    LogLine("feeds: first round done");
    if (config_.fetch_interval <= 0) return;
    // Each feed has its own time; look for due ones often enough.
    int tick = std::max(1, std::min(config_.fetch_interval, 30));
    std::unique_lock<std::mutex> lock(mu_);
    while (!stopping_) {
      wake_.wait_for(lock, std::chrono::seconds(tick), [&] { return stopping_; });
      if (stopping_) break;
      lock.unlock();
      Round(false);
      lock.lock();
    }
  }

  SyncService* service_;
  const ServerConfig& config_;
  std::thread thread_;
  std::mutex mu_;
  std::condition_variable wake_;
  bool stopping_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  ServerConfig config;
  std::string error;
  bool help = false;
  if (!ParseCommandLine(argc, argv, &config, &help, &error)) {
    std::fprintf(stderr, "tidelark-server: %s\n(tidelark-server --help lists the flags)\n", error.c_str());
    return 2;
  }
  if (help) {
    std::fputs(ConfigHelp().c_str(), stdout);
    return 0;
  }
  signal(SIGPIPE, SIG_IGN);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  FetchPolicy policy;
  policy.allow_private_addresses = config.allow_private_addresses;
  FetchInit(policy);

  SqliteStorage storage;
  if (!storage.Open(config.data_dir, &error)) {
    LogLine("storage: " + error);
    return 1;
  }
  SyncService service(&storage, config);
  if (!config.catalogue.empty()) {
    Catalogue catalogue;
    if (!LoadCatalogue(config.catalogue, &catalogue, &error) || !service.InstallCatalogue(catalogue)) {
      LogLine("catalogue: " + (error.empty() ? "cannot store it" : error));
      return 1;
    }
    LogLine("catalogue: " + std::to_string(catalogue.channels.size()) + " channels" +
            (catalogue.alerts_url.empty() ? "" : ", alerts"));
  }

  ListenerOptions options;
  options.address = config.listen;
  options.port = config.port;
  options.idle_seconds = config.session_timeout;
  options.max_connections = config.max_connections;
  options.max_per_address = config.max_connections_per_address;
  Listener listener;
  if (!listener.Open(options, &error)) {
    LogLine(error);
    return 1;
  }
  if (!config.port_file.empty()) {
    std::ofstream(config.port_file + ".tmp") << listener.port() << "\n";
    std::rename((config.port_file + ".tmp").c_str(), config.port_file.c_str());
  }
  LogLine("listening on " + config.listen + ":" + std::to_string(listener.port()));

  Fetcher fetcher(&service, config);
  fetcher.Start();
  listener.Serve([&service] { return std::unique_ptr<SessionHandler>(new ServerSession(&service)); }, g_stop);
  LogLine("shutting down");
  fetcher.Stop();
  int cut = listener.Drain(config.shutdown_grace);
  LogLine(cut ? "stopped; " + std::to_string(cut) + " session(s) cut" : "stopped");
  return 0;
}
