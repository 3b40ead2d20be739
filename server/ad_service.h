// The ad side of the server: what phases 1 and 3 of a device session
// (phased_session.h) mean for the ad library's databases, and the
// operator's report.
//
// Choices the device leaves to the server:
// - Devices: each gets an id at its first ad sync and is found again
//   through the anchors it presents ("P<device>.<n>.<database>").
// - Phase 2 asks for all of "PyraPrefs" (the device and user records) and
//   "PyraInfo" (the log records and the ad-space list), and for the names in
//   "PyraDatabase".
// - "PyraDatabase" holds the catalogue's ads that have not expired and are
//   meant for an ad space the device lists (every ad when it lists none).
//   An ad is the object "Ad <id>" with its picture in "Content", or, when
//   the picture does not fit one piece, the parts "AdPart <id> <n>" and an
//   "ImageMap" in the ad. "Impr" goes only with an ad the device does not
//   hold yet, so that its own count survives every update. Ads and parts
//   the catalogue no longer offers are deleted; other objects (the device's
//   "Last Sync Time") are left alone.
// - "PyraInfo": every "Log" record is stored as an event and deleted from
//   the device, so that each travels once; a record that comes again after
//   a broken transfer is stored once.
//
// Invariant: a session's device record, events and anchors commit in one
// transaction or not at all.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ad_catalogue.h"
#include "ad_storage.h"
#include "phased_session.h"
#include "sync_service.h"

namespace tidelark_server {

// The objects that carry one ad, parts first.
std::vector<sync_engine::WireObject> AdObjects(const Ad& ad);

class AdService {
 public:
  AdService(AdStorage* storage, AdCatalogue catalogue);

  AdStorage* storage() { return storage_; }
  const AdCatalogue& catalogue() const { return catalogue_; }
  // An ad's objects, prepared once; "Impr" is the volatile part.
  const std::vector<PreparedObject>& Prepared(std::int32_t ad) const { return prepared_.at(ad); }

  // Impressions and clicks per ad and day, as a table for the operator.
  std::string Report();

 private:
  AdStorage* storage_;
  AdCatalogue catalogue_;
  std::map<std::int32_t, std::vector<PreparedObject>> prepared_;
};

class AdSession : public PhasedSession {
 public:
  explicit AdSession(AdService* service) : service_(service) {}

  // What the device sent in phase 3, by database.
  using Received = std::map<std::string, std::vector<const sync_engine::WireObject*>>;

 protected:
  bool Phase1(const std::vector<sync_engine::WireObject>& objects, std::string* error) override;
  bool Phase3(const std::vector<sync_engine::WireObject>& objects, std::string* error_text,
              std::string* error) override;

 private:
  // One database's part of the phase 4 stream.
  struct Plan {
    std::string db;
    std::vector<std::string> deletes;
    std::vector<const std::string*> adds;  // encoded objects
    AdSnapshot after;
  };

  bool GroupByDatabase(const std::vector<sync_engine::WireObject>& objects, Received* sent, std::string* error);
  // Finds or makes the device, stores its record and events; the number of
  // new events, -1 on failure.
  int StoreDevice(const Received& sent, const AdDevice& record, std::int64_t* device);
  Plan PlanAds(const Received& sent, std::int64_t device, const std::string& anchor,
               const std::set<std::int32_t>& spaces);
  Plan PlanDeletingLogs(const Received& sent, const std::string& db);
  // Stores each plan's snapshot under a new anchor and writes the stream.
  bool Emit(std::int64_t device, std::vector<Plan>* plans, std::string* summary);

  AdService* service_;
};

}  // namespace tidelark_server
