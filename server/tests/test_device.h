// Devices for the server's tests and its load tool: the real sync engine
// (sync_engine::Synchronize, its HTTP client and its codec) against the real
// server, over an in-memory store that a test can read and change, or over
// any other store.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "memory_store.h"
#include "sync/sync_store.h"
#include "sync/wire_object.h"

namespace tidelark_test {

using Database = std::map<std::string, sync_engine::WireObject>;

struct SyncOutcome {
  int result = -1;                   // the session's result code
  std::string error_text;            // a text the server sent, as the device showed it
  std::vector<std::string> texts;    // the progress texts, in order
  std::size_t received_objects = 0;  // objects written or deleted in phase 4
  std::vector<std::string> headers;  // "<db> <Create|Update|Overwrite>" per database header applied
  bool ok() const { return result == 0; }
};

// One session of the engine against 127.0.0.1:port: the store's server
// settings are pointed there, the databases added in the given order (the
// engine sends them newest first) with the reader's user agent.
SyncOutcome RunEngine(int port, sync_engine::SyncStore* store, const std::vector<std::string>& databases,
                      int io_timeout_ms = 20000);

// The reader's order: "TavoRss", "TavoAlerts", the subscribed channels,
// "TavoInfo", "TavoSets", "TavoPrefs".
std::vector<std::string> ReaderOrder(const std::vector<std::string>& subscribed_channels);
// The channel databases "TavoRss" marks subscribed.
std::vector<std::string> SubscribedDbs(sync_engine::SyncStore* store);

// Seeds what a fresh reader holds before its first sync: "TavoPrefs" (user
// and device records), "TavoRss" (three default channels), an empty
// "TavoCats" and "TavoInfo". False when the store refused a write.
bool SeedStartup(sync_engine::SyncStore* store, const std::string& user = "Username", const std::string& pass = "");

class TestDevice {
 public:
  void SeedStartup(const std::string& user = "Username", const std::string& pass = "") {
    tidelark_test::SeedStartup(&store_, user, pass);
  }
  // The objects of a database (an empty one is created when it is missing).
  Database& Db(const std::string& name) { return store_.Make(name).objects; }
  bool Has(const std::string& name) const { return store_.dbs.count(name) > 0; }
  std::string Anchor(const std::string& db);
  void SetAnchor(const std::string& db, const std::string& anchor);
  SyncOutcome Sync(int port, int io_timeout_ms = 20000) {
    return RunEngine(port, &store_, ReaderOrder(SubscribedDbs(&store_)), io_timeout_ms);
  }

 private:
  sync_test::MemoryStore store_;
};

// Writes <dir>/cat.ini with every feed of the shared data as a channel of
// its own (identifiers from 40001 on); the number of feeds, 0 when the
// shared data is missing.
std::size_t WriteSharedFeedsCatalogue(const std::string& dir);

// An RSS document with stories first..first+count-1 (newest first), each
// dated, with a guid and a body of `body` characters; `version` goes into
// every title and body (a feed whose stories were edited).
std::string RssFeed(const std::string& title, int first, int count, std::size_t body = 0, const std::string& version = "");

// The "Subscr" of a channel object, and setting it as the device's screens do.
std::string SubscrOf(const Database& rss, const std::string& channel);
void SetSubscr(Database* rss, const std::string& channel, bool on);

// Raw helpers for bad-input tests.
// A connection to 127.0.0.1:port, from another loopback address if given.
int ConnectLocal(int port, const char* source = nullptr);
bool SendText(int fd, const std::string& bytes);
std::string ReadAll(int fd, int timeout_ms);

}  // namespace tidelark_test
