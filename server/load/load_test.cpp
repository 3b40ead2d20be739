// tidelark-server-load [devices] [channels] [articles]: starts the real
// server on 127.0.0.1 with generated feeds, lets `devices` fresh devices
// (the real sync engine over in-memory stores) sync at once, each with every
// channel, and prints syncs per second and the p50 and p99 session times.
// Exit 0 only when every sync completed.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "server_process.h"
#include "test_device.h"

using namespace tidelark_test;
using sync_engine::WireObject;
using sync_engine::WireProperty;

int main(int argc, char** argv) {
  int devices = argc > 1 ? std::atoi(argv[1]) : 200;
  int channels = argc > 2 ? std::atoi(argv[2]) : 10;
  int articles = argc > 3 ? std::atoi(argv[3]) : 50;
  std::string dir = FreshDir("load");
  std::string cat;
  for (int c = 0; c < channels; ++c) {
    std::string feed = "<?xml version='1.0'?><rss version='2.0'><channel><title>Load " + std::to_string(c) + "</title>";
    for (int i = 0; i < articles; ++i)
      feed += "<item><title>Article " + std::to_string(i) + " of channel " + std::to_string(c) + "</title><guid>c" +
              std::to_string(c) + "-" + std::to_string(i) + "</guid><link>http://load.example/" + std::to_string(i) +
              "</link><pubDate>" + std::to_string(1 + i % 28) + " Feb 2026 10:" + std::to_string(10 + i % 50) +
              ":00 GMT</pubDate><description>&lt;p&gt;" + std::string(600, 'x') + "&lt;/p&gt;</description></item>";
    feed += "</channel></rss>";
    std::string file = dir + "/feed" + std::to_string(c) + ".xml";
    WriteFile(file, feed);
    cat += "[channel " + std::to_string(30000 + c) + "]\nname = Load " + std::to_string(c) + "\nurl = " + file + "\n";
  }
  WriteFile(dir + "/cat.ini", cat);
  ServerProcess server;
  // Every device comes from 127.0.0.1: the per-address cap must let them in.
  if (!server.Start(dir, {"--catalogue", dir + "/cat.ini", "--retention", std::to_string(articles),
                          "--fetch-interval", "0", "--max-connections-per-address", std::to_string(devices + 10)})) {
    std::fprintf(stderr, "server did not start\n%s", server.log().c_str());
    return 1;
  }
  std::vector<double> times(devices, 0);
  std::atomic<int> failures{0};
  std::atomic<std::size_t> objects{0};
  auto begin = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int d = 0; d < devices; ++d) {
    threads.emplace_back([&, d] {
      TestDevice dev;
      dev.SeedStartup();
      for (int c = 0; c < channels; ++c) {
        WireObject o;
        o.name = "Channel " + std::to_string(30000 + c);
        o.properties = {WireProperty::Text("ChName", "Load"), WireProperty::Text("DbName", "Tavo " + std::to_string(30000 + c)),
                        WireProperty::Text("Plugin", "News"), WireProperty::Text("Subscr", "Yes")};
        dev.Db("TavoRss")[o.name] = o;
      }
      auto t0 = std::chrono::steady_clock::now();
      SyncOutcome o = dev.Sync(server.port(), 60000);
      times[d] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      std::size_t got = 0;
      for (int c = 0; c < channels; ++c) got += dev.Db("Tavo " + std::to_string(30000 + c)).size();
      if (!o.ok() || got != static_cast<std::size_t>(channels * (articles + 1))) {
        ++failures;
        std::fprintf(stderr, "device %d: result %d %s (%zu objects)\n", d, o.result, o.error_text.c_str(), got);
      }
      objects += o.received_objects;
    });
  }
  for (std::thread& t : threads) t.join();
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  std::sort(times.begin(), times.end());
  auto pct = [&](double p) { return times[std::min<std::size_t>(times.size() - 1, static_cast<std::size_t>(p * times.size()))]; };
  std::printf("LOAD devices=%d channels=%d articles=%d failures=%d syncs_per_second=%.1f p50=%.3fs p99=%.3fs "
              "wall=%.2fs received=%zu objects\n",
              devices, channels, articles, failures.load(), devices / wall, pct(0.50), pct(0.99), wall, objects.load());
  int stop = server.Stop();
  return failures == 0 && stop == 0 ? 0 : 1;
}
