// What every news session shares: storage, the catalogue, the feeds and the
// articles prepared for sending, per code page.
//
// Choices the device leaves to the server:
// - Channels: "TavoRss" holds the catalogue as the account sees it; default
//   channels the catalogue carries keep their identifiers, the others are
//   deleted from the device's "TavoRss" (their article databases are left
//   alone). Only subscribed channels carry "Icon", since the channel list
//   shows every channel that has one. Channels added by address (http or
//   https to public addresses only) get identifiers from 100000 on and are
//   visible to the accounts that added them; nobody subscribing to one for a
//   while retires it, as does the catalogue dropping one of its own.
// - Feeds are fetched in the background, each on its own schedule: with its
//   validators (ETag, Last-Modified), and after failures or "429" later and
//   later (doubling up to a day, or what the source's Retry-After asks).
// - Text goes to each device in its own code page (device_text.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "config.h"
#include "feed_fetch.h"
#include "storage.h"
#include "sync/wire_object.h"

namespace tidelark_server {

// An object ready to send: its bytes in full, its bytes without the
// properties that belong to the device once it holds the object ("READ" and
// the alert flags), the hash of the latter, and the session's mark.
struct PreparedObject {
  std::string name;
  std::string full, stable;
  std::uint64_t hash = 0;
  std::string mark;
  std::set<std::string> properties;  // the names of its properties
};
PreparedObject Prepare(const sync_engine::WireObject& object, const std::set<std::string>& volatile_props,
                       const std::string& mark = "");

using PreparedList = std::vector<PreparedObject>;

// The articles of each channel prepared for one code page, built once per
// feed change (a change invalidates the channel's entries after storing).
class PreparedCache {
 public:
  using Build = std::shared_ptr<const PreparedList> (*)(Storage*, std::int64_t channel, int code_page);
  std::shared_ptr<const PreparedList> Get(Storage* storage, std::int64_t channel, int code_page, Build build);
  void Invalidate(std::int64_t channel);

 private:
  std::mutex mu_;
  std::map<std::pair<std::int64_t, int>, std::shared_ptr<const PreparedList>> entries_;
};

class SyncService {
 public:
  SyncService(Storage* storage, const ServerConfig& config) : storage_(storage), config_(config) {}

  // Writes the catalogue into storage (identifiers kept, dropped ones retired).
  bool InstallCatalogue(const Catalogue& catalogue);
  using Report = std::function<void(const std::string& line)>;
  // Fetches the feeds that are due (all of them with `all`); a line for each.
  void RefreshDue(std::int64_t now, bool all, const Report& report);
  // Fetches and stores one channel's feed; *log says what happened.
  bool RefreshChannel(const Channel& channel, std::int64_t now, std::string* log);
  // Retires idle added channels and forgets old anchors.
  void Maintain(std::int64_t now, const Report& report);

  // A channel's articles as a device of this code page gets them.
  std::shared_ptr<const PreparedList> PreparedItems(std::int64_t channel, bool alert, int code_page);
  void Invalidate(std::int64_t channel) { cache_.Invalidate(channel); }

  // The active channels, read once per change.
  std::shared_ptr<const std::vector<Channel>> ActiveChannels();
  void CatalogueChanged();

  Storage* storage() { return storage_; }
  const ServerConfig& config() const { return config_; }
  std::string alerts_url() const;

 private:
  // Fetches the pictures of the newest items that have none stored yet.
  void FetchPictures(const Channel& channel, Feed* feed);

  Storage* storage_;
  ServerConfig config_;
  PreparedCache cache_;
  std::mutex catalogue_mu_;  // the active channels as last read
  std::shared_ptr<const std::vector<Channel>> catalogue_;
  mutable std::mutex alerts_mu_;  // the alert feed's address and schedule
  std::string alerts_url_;
  std::int64_t alerts_next_ = 0;
};

// The object a device receives for an item, in its code page; exposed for tests.
sync_engine::WireObject ArticleObject(const StoredItem& item, bool alert, bool with_read, int code_page);
// The objects that carry an item's picture: one with "Feed" and "Image", or
// parts with "Data" and one with "Feed" and "ImageMap".
std::vector<sync_engine::WireObject> PictureObjects(const std::string& key, const std::string& image);
std::uint64_t ContentHash(const sync_engine::WireObject& object);
// When to fetch a feed next after `failures` failures in a row.
std::int64_t NextFetchTime(std::int64_t now, int interval, int failures, std::int64_t retry_after);
// A 1x1 GIF for channels whose catalogue entry names no icon.
std::string DefaultIcon();

}  // namespace tidelark_server
