// tidelark-server: the news sync server and the ad server. Flags (over an
// optional --config file): --listen ADDR --port N --data DIR --catalogue FILE
// --fetch-interval SECONDS --retention N --port-file FILE --session-timeout S
// --allow-file-addresses yes|no --fetch-pictures yes|no; the ad service with
// --ad-catalogue FILE --ad-port N (default 8002) --ad-port-file FILE;
// --ad-report FILE|- prints the ad impressions and clicks per ad and day
// and exits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <thread>

#include "ad_service.h"
#include "config.h"
#include "connection.h"
#include "feed_fetch.h"
#include "storage.h"
#include "sync_service.h"

using namespace tidelark_server;

namespace {

std::atomic<bool> g_stop{false};
std::atomic<int> g_active{0};
constexpr int kMaxConnections = 1000;

void OnSignal(int) { g_stop = true; }

void Log(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

bool AdsServed(const ServerConfig& config) { return !config.ad_catalogue.empty(); }

// A listening socket on address:port (0: any free port), its port written to
// port_file when one is named. -1 on failure.
int Listen(const std::string& address, int port, const std::string& port_file) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1 ||
      bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 256) != 0) {
    std::fprintf(stderr, "tidelark-server: cannot listen on %s:%d\n", address.c_str(), port);
    close(listener);
    return -1;
  }
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  int bound = ntohs(addr.sin_port);
  if (!port_file.empty()) {
    std::ofstream(port_file + ".tmp") << bound << "\n";
    std::rename((port_file + ".tmp").c_str(), port_file.c_str());
  }
  Log("listening on " + address + ":" + std::to_string(bound));
  return listener;
}

bool LoadAds(const ServerConfig& config, AdCatalogue* ads, std::string* error) {
  if (!AdsServed(config)) return true;
  if (!LoadAdCatalogue(config.ad_catalogue, ads, error)) return false;
  Log("ad catalogue: " + std::to_string(ads->ads.size()) + " ads");
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

}  // namespace

int main(int argc, char** argv) {
  ServerConfig config;
  std::string error;
  if (!ParseCommandLine(argc, argv, &config, &error)) {
    std::fprintf(stderr, "tidelark-server: %s\n", error.c_str());
    return 2;
  }
  if (!config.ad_report.empty()) return PrintAdReport(config);
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  FetchInit();

  Storage storage;
  if (!storage.Open(config.data_dir, &error)) {
    std::fprintf(stderr, "tidelark-server: storage: %s\n", error.c_str());
    return 1;
  }
  SyncService service(&storage, config.retention, config.allow_file_addresses);
  service.set_fetch_pictures(config.fetch_pictures);
  if (!config.catalogue.empty()) {
    Catalogue catalogue;
    if (!LoadCatalogue(config.catalogue, &catalogue, &error) || !service.InstallCatalogue(catalogue)) {
      std::fprintf(stderr, "tidelark-server: catalogue: %s\n", error.c_str());
      return 1;
    }
    Log("catalogue: " + std::to_string(catalogue.channels.size()) + " channels" +
        (catalogue.alerts_url.empty() ? "" : ", alerts"));
  }
  AdStorage ad_storage;
  AdCatalogue ads;
  if (AdsServed(config) && (!ad_storage.Open(config.data_dir, &error) || !LoadAds(config, &ads, &error))) {
    std::fprintf(stderr, "tidelark-server: ads: %s\n", error.c_str());
    return 1;
  }
  AdService ad_service(&ad_storage, std::move(ads));
  std::vector<std::string> lines;
  service.RefreshAll(&lines);
  for (const std::string& l : lines) Log("fetch " + l);

  int listener = Listen(config.listen, config.port, config.port_file);
  if (listener < 0) return 1;
  int ad_listener = AdsServed(config) ? Listen(config.listen, config.ad_port, config.ad_port_file) : -1;
  if (AdsServed(config) && ad_listener < 0) return 1;

  std::mutex wake_mu;
  std::condition_variable wake;
  std::thread fetcher([&] {
    if (config.fetch_interval <= 0) return;
    std::unique_lock<std::mutex> lock(wake_mu);
    while (!g_stop) {
      wake.wait_for(lock, std::chrono::seconds(config.fetch_interval), [] { return g_stop.load(); });
      if (g_stop) break;
      lock.unlock();
      std::vector<std::string> refresh;
      service.RefreshAll(&refresh);
      for (const std::string& l : refresh) Log("fetch " + l);
      lock.lock();
    }
  });

  while (!g_stop) {
    pollfd p[2] = {{listener, POLLIN, 0}, {ad_listener, POLLIN, 0}};
    if (poll(p, ad_listener >= 0 ? 2 : 1, 200) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & POLLIN)) continue;
      sockaddr_in peer{};
      socklen_t plen = sizeof peer;
      int fd = accept(p[i].fd, reinterpret_cast<sockaddr*>(&peer), &plen);
      if (fd < 0) continue;
      if (g_active >= kMaxConnections) {
        close(fd);
        continue;
      }
      char ip[INET_ADDRSTRLEN] = "?";
      inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
      std::string who = std::string(ip) + ":" + std::to_string(ntohs(peer.sin_port));
      ++g_active;
      bool ads = p[i].fd == ad_listener;
      std::thread([fd, who, ads, &service, &ad_service, &config] {
        ServerSession news(&service);
        AdSession ad(&ad_service);
        PhasedSession* session = ads ? static_cast<PhasedSession*>(&ad) : &news;
        ServeConnection(fd, session, config.session_timeout, who);
        --g_active;
      }).detach();
    }
  }
  Log("shutting down");
  close(listener);
  if (ad_listener >= 0) close(ad_listener);
  {
    std::lock_guard<std::mutex> lock(wake_mu);
  }
  wake.notify_all();
  fetcher.join();
  // Sessions in flight finish (or time out) before the store closes.
  for (int i = 0; i < 10 * (config.session_timeout + 1) && g_active > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (g_active > 0) {
    // A session still runs: leave without tearing the store down under it.
    // Its transaction never committed, so SQLite drops it on the next open.
    Log("stopped with " + std::to_string(g_active.load()) + " session(s) cut off");
    std::fflush(stderr);
    std::_Exit(1);
  }
  Log("stopped");
  return 0;
}
