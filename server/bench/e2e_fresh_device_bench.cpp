// A fresh device's complete sync from the real server: every feed of the
// shared data as a channel, the first sync (the channel list) and the second
// (the channels), the engine writing into a fresh volume. The peer, in the
// same run, writes the same objects into a fresh volume through the store
// alone. Both keep their volume in use for the whole run, as the engine's
// session does.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "server_process.h"
#include "store/store.h"
#include "sync/store_adapter.h"
#include "test_device.h"

using namespace tidelark_test;
using sync_engine::StoreSyncStore;
using sync_engine::SyncStore;
using sync_engine::WireObject;

namespace {

using Volume = std::map<std::string, std::vector<WireObject>>;

double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

// What the syncs wrote: every database but the ones the device had before.
Volume Written(StoreSyncStore* store, const std::vector<std::string>& dbs) {
  Volume v;
  for (const std::string& db : dbs) {
    SyncStore::Database h = nullptr;
    if (store->Open(db, false, false, 0, &h) != 0) continue;
    store->ForEachObject(h, 0, nullptr, [&](const WireObject& o) {
      v[db].push_back(o);
      return true;
    });
    store->Close(&h);
  }
  return v;
}

// The peer: the same objects through the store's own operations.
bool WriteThroughTheStore(const std::string& path, const Volume& volume) {
  store::Database* in_use = nullptr;
  for (const auto& [name, objects] : volume) {
    store::Database* db = nullptr;
    if (store::OpenDatabase(&db, name.c_str(), 1, 0, store::kCreatorPyra, 0, store::kVersionMajor,
                            store::kVersionMinor, path.c_str()) != store::kStoreOk)
      return false;
    for (const WireObject& w : objects) {
      store::Object* o = nullptr;
      if (store::CreateObject(&o, w.name.c_str()) != store::kStoreOk) return false;
      for (const auto& p : w.properties) {
        std::uint32_t length = static_cast<std::uint32_t>(p.value.size());
        if (store::SetProperty(o, p.name.c_str(), p.type, p.value.data(), length, 1, 1, 1, 0) != store::kStoreOk)
          return false;
      }
      int rc = store::WriteObject(db, o, 1, 1, 1, 1);
      store::FreeObject(o);
      if (rc != store::kStoreOk) return false;
    }
    if (!in_use) {
      in_use = db;
    } else {
      store::CloseDatabase(&db);
    }
  }
  if (in_use) store::CloseDatabase(&in_use);
  return true;
}

}  // namespace

int main() {
  std::string dir = FreshDir("e2e_fresh_device_bench");
  std::size_t feeds = WriteSharedFeedsCatalogue(dir);
  if (feeds < 20) {
    std::fprintf(stderr, "the shared feeds are missing: %s\n", TIDELARK_SHARED_DATA);
    return 1;
  }
  ServerProcess server;
  if (!server.Start(dir, {"--catalogue", dir + "/cat.ini", "--fetch-interval", "0", "--fetch-pictures", "no"})) {
    std::fprintf(stderr, "the server did not start\n%s", server.log().c_str());
    return 1;
  }
  double ours = 1e9, peer = 1e9;
  std::size_t objects = 0, databases = 0;
  for (int round = 0; round < 5; ++round) {
    std::string device = dir + "/device" + std::to_string(round) + ".vol";
    StoreSyncStore store(device);
    if (!SeedStartup(&store)) return 1;
    SyncStore::Database in_use = nullptr;
    store.Open("TavoPrefs", false, false, 0, &in_use);
    auto start = std::chrono::steady_clock::now();
    SyncOutcome first = RunEngine(server.port(), &store, ReaderOrder(SubscribedDbs(&store)));
    std::vector<std::string> dbs = ReaderOrder(SubscribedDbs(&store));
    SyncOutcome second = RunEngine(server.port(), &store, dbs);
    ours = std::min(ours, Seconds(start));
    if (first.result != 0 || second.result != 0) {
      std::fprintf(stderr, "sync failed: %d %d\n%s", first.result, second.result, server.log().c_str());
      return 1;
    }
    dbs.insert(dbs.end(), {"TavoCats", "TavoSyncDBAnchors"});
    Volume written = Written(&store, dbs);
    store.Close(&in_use);
    objects = databases = 0;
    for (const auto& [db, list] : written) objects += list.size(), ++databases;

    std::string copy = dir + "/peer" + std::to_string(round) + ".vol";
    start = std::chrono::steady_clock::now();
    if (!WriteThroughTheStore(copy, written)) {
      std::fprintf(stderr, "the store refused a write\n");
      return 1;
    }
    peer = std::min(peer, Seconds(start));
  }
  std::printf("# %zu feeds, %zu objects in %zu databases; ours: two syncs of a fresh device, peer: the same "
              "objects written through the store\n",
              feeds, objects, databases);
  std::printf("BENCH sync/e2e_fresh_device ours=%.4f peer=%.4f ratio=%.2f\n", ours, peer, ours / peer);
  return 0;
}
