#include "device_checks.h"

#include <sys/wait.h>

#include <cstdio>
#include <map>

#include "sqlite_storage.h"
#include "device_text.h"
#include "sync_service.h"
#include "wire_out.h"

namespace tidelark_test {

using sync_engine::StoreSyncStore;
using sync_engine::SyncStore;
using sync_engine::WireObject;

int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) output->append(buf, n);
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ExpectConsistent(const std::string& volume) { ExpectConsistent(volume, ""); }

void ExpectConsistent(const std::string& volume, const std::string& database) {
  std::string out;
  std::string command = std::string(TIDELARK_VOL_BIN) + " --check " + Quote(volume);
  if (!database.empty()) command += " " + Quote(database);
  EXPECT_EQ(RunCommand(command, &out), 0) << out;
  EXPECT_EQ(out.find("problem"), std::string::npos) << out;
}

namespace {

// Name -> the object as the server's encoder writes it, for comparing.
using Encoded = std::map<std::string, std::string>;

Encoded DeviceDatabase(SyncStore* store, const std::string& db) {
  Encoded out;
  SyncStore::Database h = nullptr;
  if (store->Open(db, false, false, 0, &h) != 0) return out;
  store->ForEachObject(h, 0, nullptr, [&](const WireObject& o) {
    out[o.name] = tidelark_server::EncodeForDevice(o);
    return true;
  });
  store->Close(&h);
  return out;
}

}  // namespace

void ExpectChannelsAsOnTheServer(const std::string& data_dir, const std::string& volume, std::size_t channels,
                                 int code_page) {
  tidelark_server::SqliteStorage storage;
  std::string error;
  ASSERT_TRUE(storage.Open(data_dir, &error)) << error;
  tidelark_server::SyncService service(&storage, tidelark_server::ServerConfig());
  std::vector<tidelark_server::Channel> all = storage.Channels(false);
  ASSERT_EQ(all.size(), channels);
  std::size_t objects = 0;
  StoreSyncStore device(volume);
  SyncStore::Database in_use = nullptr;  // keeps the volume in use across the databases
  ASSERT_EQ(device.Open("TavoSyncDBAnchors", false, false, 0, &in_use), 0);
  for (const tidelark_server::Channel& c : all) {
    std::string db = "Tavo " + std::to_string(c.id);
    Encoded want;
    WireObject name;
    name.name = "ChannelName";
    name.properties.push_back(
        sync_engine::WireProperty::Text("Channel", tidelark_server::ToDeviceText(c.name, code_page)));
    want[name.name] = tidelark_server::EncodeForDevice(name);
    for (const tidelark_server::PreparedObject& p : *service.PreparedItems(c.id, false, code_page)) want[p.name] = p.full;
    Encoded got = DeviceDatabase(&device, db);
    EXPECT_EQ(got.size(), want.size()) << db << " (" << c.name << ")";
    std::size_t differ = 0;
    for (const auto& [n, bytes] : want) {
      auto it = got.find(n);
      if (it == got.end() || it->second != bytes) {
        if (++differ <= 3) ADD_FAILURE() << db << ": " << n << (it == got.end() ? " missing" : " differs");
      }
    }
    objects += got.size();
  }
  device.Close(&in_use);
  EXPECT_GT(objects, channels);
}

void Site::Start(const std::string& name, int channels, int items, int text) {
  dir = FreshDir(name);
  std::string cat;
  for (int c = 0; c < channels; ++c) {
    std::string feed = "<?xml version='1.0'?><rss version='2.0'><channel><title>Feed " + std::to_string(c) +
                       "</title>";
    for (int i = 0; i < items; ++i)
      feed += "<item><title>Story " + std::to_string(i) + " of " + std::to_string(c) + "</title><guid>g" +
              std::to_string(c) + "-" + std::to_string(i) + "</guid><link>http://x/" + std::to_string(i) +
              "</link><description>" + std::string(text + 37 * (c + i) % 300, static_cast<char>('a' + c % 26)) +
              "</description></item>";
    feed += "</channel></rss>";
    std::string file = dir + "/feed" + std::to_string(c) + ".xml";
    WriteFile(file, feed);
    cat += "[channel " + std::to_string(50000 + c) + "]\nname = Feed " + std::to_string(c) + "\nurl = " + file +
           "\n";
  }
  WriteFile(dir + "/cat.ini", cat);
  server.reset(new ServerProcess());
  if (!server->Start(dir, {"--catalogue", dir + "/cat.ini", "--fetch-interval", "0", "--fetch-pictures", "no"}))
    return;
  StoreSyncStore store(Template());
  SeedStartup(&store);
  first_sync = RunEngine(server->port(), &store, ReaderOrder(SubscribedDbs(&store))).result;
}

}  // namespace tidelark_test
