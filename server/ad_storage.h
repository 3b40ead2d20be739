// What the ad service keeps, in its own SQLite database in WAL mode: the
// devices that synchronise ads, the anchors handed out to them with the ad
// objects each one covers, and the impression and click events the devices
// logged.
//
// Invariants: every call is serialised by one mutex; a session's changes go
// in between Begin() and Commit(); an event is stored once however often a
// device sends it (device, log name, time, ad and action identify it); an
// anchor names exactly one device and one snapshot, and only the two newest
// of a device's database stay.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <map>

struct sqlite3;

namespace tidelark_server {

// Object name -> content hash: what a device holds after an ad sync.
using AdSnapshot = std::map<std::string, std::uint64_t>;

// What a device says about itself ("PyraDevice" and "PyraUser").
struct AdDevice {
  std::string user, type, oem, op, lang, country, ad_spaces;
  std::int64_t width = 0, height = 0;
};

// One "Log" record of a device.
struct AdEvent {
  std::string name;
  std::int64_t time = 0;  // seconds since 2000-01-01 UTC
  std::int64_t application = 0, ad = 0, ad_space = 0, action = 0;
};

// Impressions (action 0) and clicks (every other action) of one ad on one day.
struct AdReportRow {
  std::int64_t ad = 0;
  std::string day;  // YYYY-MM-DD, UTC
  std::int64_t impressions = 0, clicks = 0;
};

class AdStorage {
 public:
  AdStorage() = default;
  ~AdStorage();
  AdStorage(const AdStorage&) = delete;
  AdStorage& operator=(const AdStorage&) = delete;

  // Opens or creates <dir>/tidelark-ads.db (":memory:": a private in-memory database).
  bool Open(const std::string& dir, std::string* error);

  std::mutex& mutex() { return mu_; }
  bool Begin();
  bool Commit();
  void Rollback();

  bool DeviceOfAnchor(const std::string& anchor, std::int64_t* device);
  std::int64_t NewDevice(std::int64_t now);
  bool UpdateDevice(std::int64_t device, const AdDevice& record, std::int64_t now);
  std::int64_t DeviceCount();

  bool LoadSnapshot(std::int64_t device, const std::string& db, const std::string& anchor, AdSnapshot* snapshot);
  // Stores a snapshot under a new anchor "P<device>.<n>" and returns it ("" on failure).
  std::string SaveSnapshot(std::int64_t device, const std::string& db, const AdSnapshot& snapshot);

  // Returns how many were new, or -1 on failure.
  int AddEvents(std::int64_t device, const std::vector<AdEvent>& events);
  std::vector<AdReportRow> Report();

 private:
  bool Exec(const char* sql);
  sqlite3* db_ = nullptr;
  std::mutex mu_;
};

}  // namespace tidelark_server
