// The storage in one SQLite database in WAL mode: <data>/tidelark-server.db.
//
// Invariants: one connection, every call serialised by the mutex that owns
// it; a call that writes more than one row does so in one transaction;
// deleted content is zeroed (secure_delete), so a replaced password leaves
// no trace; an "unsure" row exists only beside its anchor's "sent" row.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "storage.h"

struct sqlite3;

namespace tidelark_server {

class SqliteStorage : public Storage {
 public:
  SqliteStorage() = default;
  ~SqliteStorage() override;
  SqliteStorage(const SqliteStorage&) = delete;
  SqliteStorage& operator=(const SqliteStorage&) = delete;

  // Opens or creates <dir>/tidelark-server.db (":memory:": a private
  // in-memory database) and brings an older server's layout up to date.
  bool Open(const std::string& dir, std::string* error);

  bool InstallCatalogue(const std::vector<Channel>& channels) override;
  std::vector<Channel> Channels(bool with_retired) override;
  bool FindChannelByUrl(const std::string& url, Channel* channel) override;
  std::int64_t AddUserChannel(const std::string& name, const std::string& url, std::int64_t now) override;
  int RetireIdleChannels(std::int64_t idle_before, std::int64_t now) override;
  bool GetFetchState(std::int64_t channel, FetchState* state) override;
  bool SetFetchState(std::int64_t channel, const FetchState& state) override;
  int StoreFeed(std::int64_t channel, const Feed& feed, int retention, std::int64_t now) override;
  std::vector<StoredItem> Items(std::int64_t channel) override;
  std::vector<std::string> KeysWithImage(std::int64_t channel) override;
  bool FindAccount(const std::string& user, Account* account) override;
  std::int64_t CreateAccount(const std::string& user, const std::string& password_hash) override;
  bool SetPasswordHash(std::int64_t account, const std::string& hash) override;
  std::int64_t NewAnonymousAccount() override;
  bool FindAnchorOwner(const std::string& anchor, Account* owner) override;
  bool LoadAccountState(std::int64_t account, const std::map<std::string, std::string>& presented,
                        AccountState* state) override;
  CommitResult CommitSync(SyncCommit* commit) override;
  bool ConfirmDelivery(const std::vector<std::string>& anchors) override;
  int ExpireAnchors(std::int64_t unused_before, int keep) override;

 private:
  bool Exec(const char* sql);
  bool Migrate(std::string* error);
  // Inside a transaction, with the mutex held.
  bool SaveAnchor(std::int64_t account, const NewAnchor& a, std::int64_t now);

  sqlite3* db_ = nullptr;
  std::mutex mu_;
  // Writes never wait for the log to be copied into the database: a
  // connection of its own does that in the background.
  class Checkpointer {
   public:
    void Start(const std::string& path);
    void Stop();

   private:
    sqlite3* db_ = nullptr;
    std::thread thread_;
    std::mutex mu_;
    std::condition_variable wake_;
    bool stopping_ = false;
  };
  Checkpointer checkpointer_;
};

// Snapshot <-> its stored bytes ("name\0hash\0mark\0" per object).
std::string EncodeSnapshot(const Snapshot& snapshot);
bool DecodeSnapshot(const std::string& bytes, Snapshot* snapshot);

}  // namespace tidelark_server
