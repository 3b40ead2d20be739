// A small device for tests and the load tool: keeps databases in memory and
// runs the four sync phases over one connection exactly as the device's
// engine frames them (chunked Base64 pieces up, ranged slices down).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sync/wire_object.h"

namespace tidelark_test {

using Database = std::map<std::string, sync_engine::WireObject>;

struct MiniDevice {
  std::map<std::string, Database> dbs;
  std::map<std::string, std::string> anchors;  // "TavoSyncDBAnchors"
  // Seeds "TavoPrefs" and "TavoRss" as a fresh device would.
  void SeedStartup(const std::string& user = "Username", const std::string& pass = "");
  std::vector<std::string> SubscribedDbs() const;
};

struct SyncOutcome {
  bool ok = false;
  std::string error;       // what went wrong
  std::string error_text;  // a "txt" answer from the server
  std::size_t received_objects = 0;  // objects written or deleted in phase 4
  std::size_t received_bytes = 0;    // raw bytes of the phase 4 resource
  std::vector<std::string> headers;  // "db op objects-op" per header
};

// Synchronises `databases` (in the order the device adds them).
SyncOutcome RunSync(int port, MiniDevice* device, const std::vector<std::string>& databases);
// The reader's order: "TavoRss", "TavoAlerts", channels, "TavoInfo", "TavoSets", "TavoPrefs".
std::vector<std::string> ReaderOrder(const MiniDevice& device);

// Raw helpers for bad-input tests.
int ConnectLocal(int port);
bool SendText(int fd, const std::string& bytes);
std::string ReadAll(int fd, int timeout_ms);

}  // namespace tidelark_test
