// What the server keeps, behind a small interface so that a second backend
// (a shared database for several server instances) can follow without
// touching the session code. Every call is one unit of work: it applies
// whole or not at all, and concurrent calls from session threads are safe.
//
// Texts are UTF-8; each device gets them in its own code page when they are
// sent. Anchors are random tokens; each names what the server sent one
// device for one database, and never selects an account by itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "feed_parser.h"

namespace tidelark_server {

struct Channel {
  std::int64_t id = 0;
  std::string name;
  std::string url;
  std::string icon;          // GIF bytes; empty for the built-in icon
  bool recommended = false;  // offered, not subscribed by default
  bool user_added = false;   // added by address from a device
  bool retired = false;      // dropped from the catalogue, or added and long unsubscribed
};

// How a channel's feed is fetched: validators for conditional requests and
// the back-off after failures.
struct FetchState {
  std::string etag, last_modified;
  std::int64_t next_fetch = 0;  // seconds since 1970; 0: at once
  int failures = 0;             // in a row
};

struct StoredItem {
  std::string key;
  std::string sort;
  std::string title, author, date, link, text;
  std::string image;  // GIF or JPEG bytes, empty when the item has none
};

// What the server sent one device for one object: the hash of its stable
// content (0: unknown, the device may hold any version) and a mark the
// session keeps (a channel's "Subscr" as sent; "" unknown).
struct SentObject {
  std::uint64_t hash = 0;
  std::string mark;
  bool operator==(const SentObject& o) const { return hash == o.hash && mark == o.mark; }
};
using Snapshot = std::map<std::string, SentObject>;  // object name -> what was sent

struct Account {
  std::int64_t id = 0;
  bool anonymous = false;
  std::string password;  // a hash, or plain text left by an older server
};

// The account as one sync plans against it.
struct AccountState {
  std::int64_t version = 0;                  // grows with every committed sync
  std::map<std::int64_t, bool> subscribed;   // channel -> subscribed; undecided ones absent
  std::map<std::string, Snapshot> snapshots; // database -> what its presented anchor covers
};

// A new anchor: `confirmed` is what the device surely holds even if the
// transfer breaks; `delivered` what it holds once the data arrived whole.
struct NewAnchor {
  std::string db, anchor, parent;  // parent: the anchor the device presented, if known
  Snapshot confirmed, delivered;
};

struct SyncCommit {
  std::int64_t account = 0;  // 0: a new anonymous account, made by the commit (and set here)
  std::int64_t expected_version = 0;
  std::map<std::int64_t, bool> subscriptions;  // changes only
  bool has_stats = false;
  std::int64_t starts = 0, time_used = 0;
  std::vector<NewAnchor> anchors;
  std::int64_t now = 0;
};

class Storage {
 public:
  virtual ~Storage() = default;

  // Catalogue. Channels from the catalogue keep their identifiers; those it
  // no longer lists are retired. Channels added by address get identifiers
  // from 100000 on.
  virtual bool InstallCatalogue(const std::vector<Channel>& channels) = 0;
  virtual std::vector<Channel> Channels(bool with_retired = false) = 0;
  virtual bool FindChannelByUrl(const std::string& url, Channel* channel) = 0;
  // A new channel for the address, or the retired one that had it, active again.
  virtual std::int64_t AddUserChannel(const std::string& name, const std::string& url, std::int64_t now) = 0;
  // Retires channels added by address that nobody has subscribed since
  // `idle_before`; returns how many.
  virtual int RetireIdleChannels(std::int64_t idle_before, std::int64_t now) = 0;

  virtual bool GetFetchState(std::int64_t channel, FetchState* state) = 0;
  virtual bool SetFetchState(std::int64_t channel, const FetchState& state) = 0;

  // Merges a fetched feed into the channel's items and keeps the newest
  // `retention` by sort order. Returns the number of new items, -1 on failure.
  virtual int StoreFeed(std::int64_t channel, const Feed& feed, int retention, std::int64_t now) = 0;
  virtual std::vector<StoredItem> Items(std::int64_t channel) = 0;  // oldest first
  virtual std::vector<std::string> KeysWithImage(std::int64_t channel) = 0;

  // Accounts.
  virtual bool FindAccount(const std::string& user, Account* account) = 0;
  // 0 when the name is taken or the store failed.
  virtual std::int64_t CreateAccount(const std::string& user, const std::string& password_hash) = 0;
  virtual bool SetPasswordHash(std::int64_t account, const std::string& hash) = 0;
  virtual std::int64_t NewAnonymousAccount() = 0;
  // The account an anchor was issued to.
  virtual bool FindAnchorOwner(const std::string& anchor, Account* owner) = 0;

  // Sync state: the account's subscriptions and version, and the snapshots
  // of the presented anchors (database -> anchor) that belong to it.
  virtual bool LoadAccountState(std::int64_t account, const std::map<std::string, std::string>& presented,
                                AccountState* state) = 0;
  enum class CommitResult { kOk, kConflict, kFailed };
  // Applies a sync: kConflict (nothing written) when another sync of the
  // account committed since its state was loaded. A presented anchor's
  // older relatives (its parent, and its other children: transfers that
  // broke) are dropped, since the device holds the presented one.
  virtual CommitResult CommitSync(SyncCommit* commit) = 0;
  // The device received these anchors' data whole.
  virtual bool ConfirmDelivery(const std::vector<std::string>& anchors) = 0;
  // Drops anchors not presented since `unused_before`, and beyond the
  // newest `keep` of one account's database. Returns how many.
  virtual int ExpireAnchors(std::int64_t unused_before, int keep) = 0;
};

}  // namespace tidelark_server
