// Everything the server keeps, in one SQLite database in WAL mode: the
// channel catalogue, the feed items, accounts, subscriptions, and per
// account and database the anchors handed out with what each one covered.
//
// Invariants: every call is serialised by one mutex; a session's changes go
// in between Begin() and Commit() so a broken session leaves nothing
// half-written; an anchor names exactly one stored snapshot of object names
// and content hashes, and only the two newest of an account's database stay.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "feed_parser.h"

struct sqlite3;

namespace tidelark_server {

struct Channel {
  std::int64_t id = 0;
  std::string name;
  std::string url;
  std::string icon;          // GIF bytes; empty for the built-in icon
  bool recommended = false;  // offered, not subscribed by default
  bool user_added = false;   // added by address from a device
};

struct StoredItem {
  std::string key;
  std::string sort;
  std::string title, author, date, link, text;
  std::string image;  // GIF or JPEG bytes, empty when the item has none
};

// Object name -> content hash: what a device holds after a sync.
using Snapshot = std::map<std::string, std::uint64_t>;

class Storage {
 public:
  Storage() = default;
  ~Storage();
  Storage(const Storage&) = delete;
  Storage& operator=(const Storage&) = delete;

  // Opens or creates <dir>/tidelark-server.db (":memory:": a private
  // in-memory database). False with *error on failure.
  bool Open(const std::string& dir, std::string* error);

  std::mutex& mutex() { return mu_; }
  bool Begin();
  bool Commit();
  void Rollback();

  // Catalogue. Channels from the catalogue file keep their identifiers;
  // channels added by address get identifiers from 100000 on.
  bool PutChannel(const Channel& channel);
  std::vector<Channel> Channels();
  bool FindChannel(std::int64_t id, Channel* channel);
  bool FindChannelByUrl(const std::string& url, Channel* channel);
  std::int64_t AddUserChannel(const std::string& name, const std::string& url);

  // Merges a fetched feed into the channel's items and keeps the newest
  // `retention` by sort order. Returns the number of new items.
  int StoreFeed(std::int64_t channel, const Feed& feed, int retention, std::int64_t now);
  std::vector<StoredItem> Items(std::int64_t channel);  // oldest first
  // Keys of the channel's items that already have their picture.
  std::vector<std::string> KeysWithImage(std::int64_t channel);

  // Accounts. A named account is created by its first sync; afterwards the
  // password must match. Anonymous devices get an account of their own that
  // their anchors lead back to.
  enum Auth { kAuthOk, kAuthWrongPassword, kAuthError };
  Auth Authenticate(const std::string& user, const std::string& pass, std::int64_t* account);
  std::int64_t NewAnonymousAccount();
  bool AccountOfAnchor(const std::string& anchor, std::int64_t* account);
  void AddStats(std::int64_t account, std::int64_t starts, std::int64_t time_used);

  // channel id -> subscribed; channels the account never decided are absent.
  std::map<std::int64_t, bool> Subscriptions(std::int64_t account);
  bool SetSubscription(std::int64_t account, std::int64_t channel, bool subscribed);

  // The snapshot an anchor of this account and database stands for.
  bool LoadSnapshot(std::int64_t account, const std::string& db, const std::string& anchor,
                    Snapshot* snapshot);
  // Stores a snapshot under a new anchor and returns it ("" on failure).
  std::string SaveSnapshot(std::int64_t account, const std::string& db, const Snapshot& snapshot);

 private:
  bool Exec(const char* sql);
  sqlite3* db_ = nullptr;
  std::mutex mu_;
};

}  // namespace tidelark_server
