// The news side of the server: what phases 1 and 3 of a device session
// (phased_session.h) mean for the reader's databases.
//
// Choices the device leaves to the server:
// - Channels: "TavoRss" holds the catalogue as the account sees it; default
//   channels the catalogue carries keep their identifiers, the others are
//   deleted from the device's "TavoRss" (their article databases are left
//   alone). Only subscribed channels carry "Icon", since the channel list
//   shows every channel that has one. Channels added by address (http or
//   https only: a device must not make the server read its own files) get
//   identifiers from 100000 on and are visible to the accounts that added them.
// - Subscriptions: the device's "Subscr" is the truth, except on a device
//   whose "TavoRss" anchor the server does not know (fresh seeds), which
//   does not overrule what the account decided.
// - Anchors: "A<account>.<seq>.<n>", one per account and database; each names a
//   snapshot of object names and content hashes. A known anchor gets
//   "Update" with what differs; an unknown one gets "Create" when the device
//   holds nothing, else "Update" with everything (held objects without
//   "READ"), so a lost anchor never turns read articles unread.
// - Anonymous devices ("User" = "Username") get an account of their own,
//   found again through the anchors they present.
//
// Invariants: nothing the device sends is stored before its phase 3 stream
// has arrived whole and parsed cleanly; the account's changes and the new
// anchors commit in one transaction or not at all; a device that holds an
// article never gets "READ" for it again.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config.h"
#include "http_framing.h"
#include "phased_session.h"
#include "storage.h"
#include "sync/wire_object.h"

namespace tidelark_server {

// An object ready to send: its bytes in full, its bytes without the
// properties that belong to the device once it holds the object ("READ" and
// the alert flags), and the hash of the latter.
struct PreparedObject {
  std::string name;
  std::string full, stable;
  std::uint64_t hash = 0;
};
PreparedObject Prepare(const sync_engine::WireObject& object, const std::set<std::string>& volatile_props);

// Shared by every session: storage, catalogue and feed refresh.
class SyncService {
 public:
  SyncService(Storage* storage, int retention, bool allow_file_addresses = false)
      : storage_(storage), retention_(retention), allow_file_addresses_(allow_file_addresses) {}

  // Writes the catalogue into storage (identifiers kept).
  bool InstallCatalogue(const Catalogue& catalogue);
  // Fetches and stores one channel's feed; *log says what happened.
  bool RefreshChannel(const Channel& channel, std::string* log);
  // Every channel and the alert feed.
  void RefreshAll(std::vector<std::string>* log);

  // A channel's articles, prepared once per feed refresh. Call with the
  // storage mutex held.
  std::shared_ptr<const std::vector<PreparedObject>> PreparedItems(std::int64_t channel, bool alert);
  void Invalidate(std::int64_t channel) { cache_.erase(channel); }  // storage mutex held

  Storage* storage() { return storage_; }
  int retention() const { return retention_; }
  const std::string& alerts_url() const { return alerts_url_; }
  bool allow_file_addresses() const { return allow_file_addresses_; }
  void set_fetch_pictures(bool fetch) { fetch_pictures_ = fetch; }

 private:
  // Fetches the pictures of the newest items that have none stored yet.
  void FetchPictures(const Channel& channel, Feed* feed);

  Storage* storage_;
  int retention_;
  bool allow_file_addresses_;
  bool fetch_pictures_ = true;
  std::string alerts_url_;
  std::map<std::int64_t, std::shared_ptr<const std::vector<PreparedObject>>> cache_;
};

class ServerSession : public PhasedSession {
 public:
  explicit ServerSession(SyncService* service) : service_(service) {}

 protected:
  bool Phase1(const std::vector<sync_engine::WireObject>& objects, std::string* error) override;
  bool Phase3(const std::vector<sync_engine::WireObject>& objects, std::string* error_text,
              std::string* error) override;

 private:
  SyncService* service_;
};

// The object a device receives for an item; exposed for tests.
sync_engine::WireObject ArticleObject(const StoredItem& item, bool alert, bool with_read);
// The objects that carry an item's picture: one with "Feed" and "Image", or
// parts with "Data" and one with "Feed" and "ImageMap".
std::vector<sync_engine::WireObject> PictureObjects(const std::string& key, const std::string& image);
std::uint64_t ContentHash(const sync_engine::WireObject& object);

}  // namespace tidelark_server
