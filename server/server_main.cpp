// tidelark-server: the news sync server and, with an ad catalogue, the ad
// server on a port of its own. `tidelark-server --help` lists the flags
// (they also go in a --config file); --ad-report prints the ad impressions
// and clicks per ad and day and exits.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>

#include "ad_service.h"
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

bool AdsServed(const ServerConfig& config) { return !config.ad_catalogue.empty(); }

bool LoadAds(const ServerConfig& config, AdCatalogue* ads, std::string* error) {
  if (!AdsServed(config)) return true;
  if (!LoadAdCatalogue(config.ad_catalogue, ads, error)) return false;
  LogLine("ad catalogue: " + std::to_string(ads->ads.size()) + " ads");
  return true;
}

// --ad-report: the table, to a file or standard output.
int PrintAdReport(const ServerConfig& config) {
  AdStorage storage;
  AdCatalogue ads;
  std::string error;
  if (!storage.Open(config.data_dir, &error) || !LoadAds(config, &ads, &error)) {
    std::fprintf(stderr, "tidelark-server: ad report: %s\n", error.c_str());
    return 1;
  }
  AdService service(&storage, std::move(ads));
  std::string report = service.Report();
  if (config.ad_report == "-") {
    std::fputs(report.c_str(), stdout);
    return 0;
  }
  std::ofstream out(config.ad_report);
  out << report;
  return out ? 0 : 1;
}

void WritePortFile(const std::string& path, int port) {
  if (path.empty()) return;
  std::ofstream(path + ".tmp") << port << "\n";
  std::rename((path + ".tmp").c_str(), path.c_str());
}

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
  if (!config.ad_report.empty()) return PrintAdReport(config);
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
  AdStorage ad_storage;
  AdCatalogue ads;
  if (AdsServed(config) && (!ad_storage.Open(config.data_dir, &error) || !LoadAds(config, &ads, &error))) {
    LogLine("ads: " + error);
    return 1;
  }
  AdService ad_service(&ad_storage, std::move(ads));

  ListenerOptions options;
  options.address = config.listen;
  options.port = config.port;
  options.idle_seconds = config.session_timeout;
  options.max_connections = config.max_connections;
  options.max_per_address = config.max_connections_per_address;
  Listener listener, ad_listener;
  if (!listener.Open(options, &error)) {
    LogLine(error);
    return 1;
  }
  ListenerOptions ad_options = options;
  ad_options.port = config.ad_port;
  if (AdsServed(config) && !ad_listener.Open(ad_options, &error)) {
    LogLine(error);
    return 1;
  }
  WritePortFile(config.port_file, listener.port());
  LogLine("listening on " + config.listen + ":" + std::to_string(listener.port()));
  if (AdsServed(config)) {
    WritePortFile(config.ad_port_file, ad_listener.port());
    LogLine("ads: listening on " + config.listen + ":" + std::to_string(ad_listener.port()));
  }

  Fetcher fetcher(&service, config);
  fetcher.Start();
  std::thread ads_thread;
  if (AdsServed(config))
    ads_thread = std::thread([&] {
      ad_listener.Serve([&ad_service] { return std::unique_ptr<PhasedSession>(new AdSession(&ad_service)); }, g_stop);
    });
  listener.Serve([&service] { return std::unique_ptr<PhasedSession>(new ServerSession(&service)); }, g_stop);
  LogLine("shutting down");
  if (ads_thread.joinable()) ads_thread.join();
  fetcher.Stop();
  int cut = listener.Drain(config.shutdown_grace) + (AdsServed(config) ? ad_listener.Drain(0) : 0);
  LogLine(cut ? "stopped; " + std::to_string(cut) + " session(s) cut" : "stopped");
  return 0;
}
