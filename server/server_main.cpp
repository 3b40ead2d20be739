// tidelark-server: the news sync server. Flags (over an optional --config
// file): --listen ADDR --port N --data DIR --catalogue FILE
// --fetch-interval SECONDS --retention N --port-file FILE --session-timeout S
// --allow-file-addresses yes|no --fetch-pictures yes|no
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

}  // namespace

int main(int argc, char** argv) {
  ServerConfig config;
  std::string error;
  if (!ParseCommandLine(argc, argv, &config, &error)) {
    std::fprintf(stderr, "tidelark-server: %s\n", error.c_str());
    return 2;
  }
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
  std::vector<std::string> lines;
  service.RefreshAll(&lines);
  for (const std::string& l : lines) Log("fetch " + l);

  int listener = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(config.port));
  if (inet_pton(AF_INET, config.listen.c_str(), &addr.sin_addr) != 1 ||
      bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 256) != 0) {
    std::fprintf(stderr, "tidelark-server: cannot listen on %s:%d\n", config.listen.c_str(), config.port);
    return 1;
  }
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  int port = ntohs(addr.sin_port);
  if (!config.port_file.empty()) {
    std::ofstream(config.port_file + ".tmp") << port << "\n";
    std::rename((config.port_file + ".tmp").c_str(), config.port_file.c_str());
  }
  Log("listening on " + config.listen + ":" + std::to_string(port));

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
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    sockaddr_in peer{};
    socklen_t plen = sizeof peer;
    int fd = accept(listener, reinterpret_cast<sockaddr*>(&peer), &plen);
    if (fd < 0) continue;
    if (g_active >= kMaxConnections) {
      close(fd);
      continue;
    }
    char ip[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
    std::string who = std::string(ip) + ":" + std::to_string(ntohs(peer.sin_port));
    ++g_active;
    std::thread([fd, who, &service, &config] {
      ServeConnection(fd, &service, config.session_timeout, who);
      --g_active;
    }).detach();
  }
  Log("shutting down");
  close(listener);
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
