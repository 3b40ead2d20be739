#include "sqlite_storage.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "sqlite_stmt.h"

namespace tidelark_server {
namespace {

// Layout 2. Layout 1 (an older server) kept anchors that selected accounts,
// snapshots apart from them and plain-text passwords; Migrate() converts it.
const char kSchema[] = R"(
CREATE TABLE IF NOT EXISTS channels(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL, url TEXT NOT NULL, icon BLOB,
  recommended INTEGER NOT NULL DEFAULT 0, user_added INTEGER NOT NULL DEFAULT 0,
  retired INTEGER NOT NULL DEFAULT 0, idle_since INTEGER,
  etag TEXT, last_modified TEXT, next_fetch INTEGER NOT NULL DEFAULT 0, failures INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS items(
  channel INTEGER NOT NULL, key TEXT NOT NULL, sort TEXT NOT NULL, title TEXT, author TEXT,
  date TEXT, link TEXT, body TEXT, image BLOB, PRIMARY KEY(channel, key));
CREATE TABLE IF NOT EXISTS accounts(
  id INTEGER PRIMARY KEY, user TEXT UNIQUE, pass TEXT, starts INTEGER DEFAULT 0,
  time_used INTEGER DEFAULT 0, version INTEGER NOT NULL DEFAULT 0, created INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS subscriptions(
  account INTEGER NOT NULL, channel INTEGER NOT NULL, subscribed INTEGER NOT NULL,
  PRIMARY KEY(account, channel));
CREATE TABLE IF NOT EXISTS sent(
  id INTEGER PRIMARY KEY, anchor TEXT NOT NULL UNIQUE, account INTEGER NOT NULL, db TEXT NOT NULL, parent TEXT,
  issued INTEGER NOT NULL, used INTEGER NOT NULL, data BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS unsure(id INTEGER PRIMARY KEY, names BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS sent_parent ON sent(parent);
CREATE INDEX IF NOT EXISTS sent_account ON sent(account, db);
)";

const char kLayout1To2[] = R"(
ALTER TABLE channels ADD COLUMN retired INTEGER NOT NULL DEFAULT 0;
ALTER TABLE channels ADD COLUMN idle_since INTEGER;
ALTER TABLE channels ADD COLUMN etag TEXT;
ALTER TABLE channels ADD COLUMN last_modified TEXT;
ALTER TABLE channels ADD COLUMN next_fetch INTEGER NOT NULL DEFAULT 0;
ALTER TABLE channels ADD COLUMN failures INTEGER NOT NULL DEFAULT 0;
ALTER TABLE accounts ADD COLUMN version INTEGER NOT NULL DEFAULT 0;
ALTER TABLE accounts ADD COLUMN created INTEGER NOT NULL DEFAULT 0;
DROP TABLE anchors;
DROP TABLE snapshots;
)";

constexpr int kLayout = 2;

// A transaction that rolls back unless committed.
class Tx {
 public:
  explicit Tx(sqlite3* db) : db_(db) { ok_ = sqlite3_exec(db_, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) == SQLITE_OK; }
  ~Tx() {
    if (ok_ && !done_) sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
  }
  bool ok() const { return ok_; }
  bool Commit() {
    done_ = sqlite3_exec(db_, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
    return done_;
  }

 private:
  sqlite3* db_;
  bool ok_ = false, done_ = false;
};

Channel ChannelFrom(Stmt& s) {
  Channel c;
  c.id = s.Int(0);
  c.name = s.Text(1);
  c.url = s.Text(2);
  c.icon = s.Text(3);
  c.recommended = s.Int(4) != 0;
  c.user_added = s.Int(5) != 0;
  c.retired = s.Int(6) != 0;
  return c;
}

const char kChannelColumns[] = "SELECT id, name, url, icon, recommended, user_added, retired FROM channels";

}  // namespace

std::string EncodeSnapshot(const Snapshot& snapshot) {
  std::string data;
  for (const auto& [name, sent] : snapshot) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(sent.hash));
    data += name;
    data.push_back('\0');
    data += hex;
    data.push_back('\0');
    data += sent.mark;
    data.push_back('\0');
  }
  return data;
}

bool DecodeSnapshot(const std::string& data, Snapshot* snapshot) {
  snapshot->clear();
  for (std::size_t pos = 0; pos < data.size();) {
    std::size_t z1 = data.find('\0', pos);
    std::size_t z2 = z1 == std::string::npos ? z1 : data.find('\0', z1 + 1);
    std::size_t z3 = z2 == std::string::npos ? z2 : data.find('\0', z2 + 1);
    if (z3 == std::string::npos) return false;
    SentObject& s = (*snapshot)[data.substr(pos, z1 - pos)];
    s.hash = std::strtoull(data.c_str() + z1 + 1, nullptr, 16);
    s.mark = data.substr(z2 + 1, z3 - z2 - 1);
    pos = z3 + 1;
  }
  return true;
}

namespace {

// An anchor's data keeps what the device holds once the transfer arrived;
// its "unsure" row, until the device confirms, names the objects that went
// out in it ("*": all of them) and whether their mark was the same before.
std::string EncodeUnsure(const Snapshot& confirmed, const Snapshot& delivered) {
  std::string names;
  bool all = true;
  for (const auto& [name, sent] : delivered) {
    auto c = confirmed.find(name);
    if (c != confirmed.end() && c->second == sent) {
      all = false;
      continue;
    }
    bool keeps_mark = c != confirmed.end() && !sent.mark.empty() && c->second.mark == sent.mark;
    all = all && !keeps_mark;
    names += name;
    names.push_back('\0');
    names.push_back(keeps_mark ? '1' : '0');
    names.push_back('\0');
  }
  if (names.empty()) return "";
  return all ? "*" : names;
}

// The snapshot as far as the device surely holds it.
void ApplyUnsure(const std::string& names, Snapshot* snapshot) {
  if (names == "*") {
    for (auto& [name, sent] : *snapshot) sent = SentObject();
    return;
  }
  for (std::size_t pos = 0; pos < names.size();) {
    std::size_t z1 = names.find('\0', pos);
    if (z1 == std::string::npos || z1 + 2 >= names.size()) return;
    auto it = snapshot->find(names.substr(pos, z1 - pos));
    if (it != snapshot->end()) {
      it->second.hash = 0;
      if (names[z1 + 1] != '1') it->second.mark.clear();
    }
    pos = z1 + 3;
  }
}

}  // namespace

SqliteStorage::~SqliteStorage() {
  checkpointer_.Stop();
  if (db_) sqlite3_close(db_);
}

void SqliteStorage::Checkpointer::Start(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    return;
  }
  sqlite3_busy_timeout(db_, 1000);
  thread_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mu_);
    while (!stopping_) {
      wake_.wait_for(lock, std::chrono::seconds(2), [&] { return stopping_; });
      sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
  });
}

void SqliteStorage::Checkpointer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
}

bool SqliteStorage::Exec(const char* sql) { return ExecSql(db_, sql); }

bool SqliteStorage::Migrate(std::string* error) {
  int layout = 0;
  {
    Stmt s(db_, "PRAGMA user_version");
    if (s.Step()) layout = static_cast<int>(s.Int(0));
  }
  if (layout > kLayout) {
    *error = "the data folder was written by a newer server (layout " + std::to_string(layout) + ")";
    return false;
  }
  bool old = false;
  {
    Stmt s(db_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='snapshots'");
    old = s.Step();
  }
  Tx tx(db_);
  if (!tx.ok() || (old && !Exec(kLayout1To2)) || !Exec(kSchema) ||
      !Exec(("PRAGMA user_version=" + std::to_string(kLayout) + ";").c_str()) || !tx.Commit()) {
    *error = sqlite3_errmsg(db_);
    return false;
  }
  return true;
}

bool SqliteStorage::Open(const std::string& dir, std::string* error) {
  std::lock_guard<std::mutex> lock(mu_);
  std::string path = dir == ":memory:" ? dir : dir + "/tidelark-server.db";
  // The schema comes with Migrate(), which first brings an older layout up to date.
  if (!OpenSqlite(path, "", &db_, error)) return false;
  if (!Exec("PRAGMA secure_delete=FAST;")) {
    *error = sqlite3_errmsg(db_);
    return false;
  }
  if (!Migrate(error)) return false;
  if (dir != ":memory:") {
    sqlite3_wal_autocheckpoint(db_, 0);
    checkpointer_.Start(path);
  }
  return true;
}

bool SqliteStorage::InstallCatalogue(const std::vector<Channel>& channels) {
  std::lock_guard<std::mutex> lock(mu_);
  Tx tx(db_);
  if (!tx.ok() || !Exec("UPDATE channels SET retired=1 WHERE user_added=0;")) return false;
  for (const Channel& c : channels) {
    Stmt s(db_,
           "INSERT INTO channels(id, name, url, icon, recommended, user_added, retired) VALUES(?,?,?,?,?,0,0) "
           "ON CONFLICT(id) DO UPDATE SET name=excluded.name, url=excluded.url, icon=excluded.icon, "
           "recommended=excluded.recommended, user_added=0, retired=0");
    if (!s.Bind(1, c.id).Bind(2, c.name).Bind(3, c.url).BindBlob(4, c.icon).Bind(5, c.recommended ? 1 : 0).Run())
      return false;
  }
  return tx.Commit();
}

std::vector<Channel> SqliteStorage::Channels(bool with_retired) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<Channel> out;
  Stmt s(db_, (std::string(kChannelColumns) + (with_retired ? "" : " WHERE retired=0") + " ORDER BY id").c_str());
  while (s.Step()) out.push_back(ChannelFrom(s));
  return out;
}

bool SqliteStorage::FindChannelByUrl(const std::string& url, Channel* channel) {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, (std::string(kChannelColumns) + " WHERE url=? ORDER BY retired, id LIMIT 1").c_str());
  s.Bind(1, url);
  if (!s.Step()) return false;
  *channel = ChannelFrom(s);
  return true;
}

std::int64_t SqliteStorage::AddUserChannel(const std::string& name, const std::string& url, std::int64_t now) {
  std::lock_guard<std::mutex> lock(mu_);
  Tx tx(db_);
  if (!tx.ok()) return 0;
  {
    Stmt s(db_, "SELECT id FROM channels WHERE url=? ORDER BY retired, id LIMIT 1");
    s.Bind(1, url);
    if (s.Step()) {
      std::int64_t id = s.Int(0);
      Stmt wake(db_, "UPDATE channels SET retired=0, idle_since=NULL, next_fetch=0 WHERE id=? AND user_added=1");
      return wake.Bind(1, id).Run() && tx.Commit() ? id : 0;
    }
  }
  std::int64_t id = 100000;
  {
    Stmt s(db_, "SELECT MAX(id) FROM channels");
    if (s.Step() && s.Int(0) >= id) id = s.Int(0) + 1;
  }
  Stmt s(db_, "INSERT INTO channels(id, name, url, user_added, next_fetch) VALUES(?,?,?,1,?)");
  return s.Bind(1, id).Bind(2, name).Bind(3, url).Bind(4, now).Run() && tx.Commit() ? id : 0;
}

int SqliteStorage::RetireIdleChannels(std::int64_t idle_before, std::int64_t now) {
  std::lock_guard<std::mutex> lock(mu_);
  Tx tx(db_);
  if (!tx.ok()) return 0;
  const char* subscribed =
      "EXISTS(SELECT 1 FROM subscriptions s WHERE s.channel=channels.id AND s.subscribed=1)";
  Stmt busy(db_, (std::string("UPDATE channels SET idle_since=NULL WHERE user_added=1 AND retired=0 AND ") +
                  subscribed).c_str());
  Stmt idle(db_, (std::string("UPDATE channels SET idle_since=? WHERE user_added=1 AND retired=0 AND "
                              "idle_since IS NULL AND NOT ") + subscribed).c_str());
  Stmt retire(db_, "UPDATE channels SET retired=1 WHERE user_added=1 AND retired=0 AND idle_since<?");
  if (!busy.Run() || !idle.Bind(1, now).Run() || !retire.Bind(1, idle_before).Run()) return 0;
  int retired = sqlite3_changes(db_);
  if (!Exec("DELETE FROM items WHERE channel IN (SELECT id FROM channels WHERE retired=1 AND user_added=1);"))
    return 0;
  return tx.Commit() ? retired : 0;
}

bool SqliteStorage::GetFetchState(std::int64_t channel, FetchState* state) {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, "SELECT etag, last_modified, next_fetch, failures FROM channels WHERE id=?");
  s.Bind(1, channel);
  if (!s.Step()) return false;
  state->etag = s.Text(0);
  state->last_modified = s.Text(1);
  state->next_fetch = s.Int(2);
  state->failures = static_cast<int>(s.Int(3));
  return true;
}

bool SqliteStorage::SetFetchState(std::int64_t channel, const FetchState& state) {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, "UPDATE channels SET etag=?, last_modified=?, next_fetch=?, failures=? WHERE id=?");
  return s.Bind(1, state.etag).Bind(2, state.last_modified).Bind(3, state.next_fetch).Bind(4, state.failures)
      .Bind(5, channel).Run();
}

int SqliteStorage::StoreFeed(std::int64_t channel, const Feed& feed, int retention, std::int64_t now) {
  std::lock_guard<std::mutex> lock(mu_);
  Tx tx(db_);
  if (!tx.ok()) return -1;
  int added = 0;
  const std::size_t n = feed.items.size();
  for (std::size_t i = 0; i < n; ++i) {
    const FeedItem& it = feed.items[i];
    // An undated item sorts by when it was first seen; the earlier in the
    // document, the newer.
    std::int64_t when = it.time ? it.time : now;
    std::time_t tt = static_cast<std::time_t>(when);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char sort[64];
    // A dated item's order must not move when newer items push it down the
    // document: its tie-break is its key, an undated one's its first position.
    char tie[16];
    if (it.time)
      std::snprintf(tie, sizeof tie, "%.8s", it.key.c_str());
    else
      std::snprintf(tie, sizeof tie, "%04zu", 9999 - std::min<std::size_t>(i, 9999));
    std::snprintf(sort, sizeof sort, "%04d%02d%02d%02d%02d%02d.%s", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tie);
    bool exists;
    {
      Stmt q(db_, "SELECT sort FROM items WHERE channel=? AND key=?");
      q.Bind(1, channel).Bind(2, it.key);
      exists = q.Step();
      if (exists && !it.time) {
        std::string kept = q.Text(0);
        std::snprintf(sort, sizeof sort, "%s", kept.c_str());
      }
    }
    Stmt s(db_,
           "INSERT INTO items(channel, key, sort, title, author, date, link, body, image) "
           "VALUES(?,?,?,?,?,?,?,?,?) "
           "ON CONFLICT(channel, key) DO UPDATE SET sort=excluded.sort, title=excluded.title, "
           "author=excluded.author, date=excluded.date, link=excluded.link, body=excluded.body, "
           "image=COALESCE(excluded.image, items.image)");
    s.Bind(1, channel).Bind(2, it.key).Bind(3, std::string(sort)).Bind(4, it.title).Bind(5, it.author)
        .Bind(6, it.date).Bind(7, it.link).Bind(8, it.text);
    if (!it.image.empty()) s.BindBlob(9, it.image);
    if (!s.Run()) return -1;
    if (!exists) ++added;
  }
  Stmt trim(db_,
            "DELETE FROM items WHERE channel=?1 AND key NOT IN "
            "(SELECT key FROM items WHERE channel=?1 ORDER BY sort DESC LIMIT ?2)");
  if (!trim.Bind(1, channel).Bind(2, static_cast<std::int64_t>(retention)).Run()) return -1;
  return tx.Commit() ? added : -1;
}

std::vector<StoredItem> SqliteStorage::Items(std::int64_t channel) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<StoredItem> out;
  Stmt s(db_, "SELECT key, sort, title, author, date, link, body, image FROM items WHERE channel=? ORDER BY sort");
  s.Bind(1, channel);
  while (s.Step()) {
    StoredItem it;
    it.key = s.Text(0);
    it.sort = s.Text(1);
    it.title = s.Text(2);
    it.author = s.Text(3);
    it.date = s.Text(4);
    it.link = s.Text(5);
    it.text = s.Text(6);
    it.image = s.Text(7);
    out.push_back(std::move(it));
  }
  return out;
}

std::vector<std::string> SqliteStorage::KeysWithImage(std::int64_t channel) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> out;
  Stmt s(db_, "SELECT key FROM items WHERE channel=? AND image IS NOT NULL");
  s.Bind(1, channel);
  while (s.Step()) out.push_back(s.Text(0));
  return out;
}

bool SqliteStorage::FindAccount(const std::string& user, Account* account) {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, "SELECT id, pass FROM accounts WHERE user=?");
  s.Bind(1, user);
  if (!s.Step()) return false;
  account->id = s.Int(0);
  account->anonymous = false;
  account->password = s.Text(1);
  return true;
}

std::int64_t SqliteStorage::CreateAccount(const std::string& user, const std::string& password_hash) {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, "INSERT INTO accounts(user, pass) VALUES(?,?)");
  return s.Bind(1, user).Bind(2, password_hash).Run() ? sqlite3_last_insert_rowid(db_) : 0;
}

bool SqliteStorage::SetPasswordHash(std::int64_t account, const std::string& hash) {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, "UPDATE accounts SET pass=? WHERE id=?");
  return s.Bind(1, hash).Bind(2, account).Run() && sqlite3_changes(db_) == 1;
}

std::int64_t SqliteStorage::NewAnonymousAccount() {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, "INSERT INTO accounts(user, pass, created) VALUES(NULL, NULL, ?)");
  return s.Bind(1, static_cast<std::int64_t>(std::time(nullptr))).Run() ? sqlite3_last_insert_rowid(db_) : 0;
}

bool SqliteStorage::FindAnchorOwner(const std::string& anchor, Account* owner) {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, "SELECT a.id, a.user IS NULL, a.pass FROM sent s JOIN accounts a ON a.id=s.account WHERE s.anchor=?");
  s.Bind(1, anchor);
  if (!s.Step()) return false;
  owner->id = s.Int(0);
  owner->anonymous = s.Int(1) != 0;
  owner->password = s.Text(2);
  return true;
}

bool SqliteStorage::LoadAccountState(std::int64_t account, const std::map<std::string, std::string>& presented,
                                     AccountState* state) {
  std::lock_guard<std::mutex> lock(mu_);
  *state = AccountState();
  {
    Stmt s(db_, "SELECT version FROM accounts WHERE id=?");
    s.Bind(1, account);
    if (!s.Step()) return false;
    state->version = s.Int(0);
  }
  {
    Stmt s(db_, "SELECT channel, subscribed FROM subscriptions WHERE account=?");
    s.Bind(1, account);
    while (s.Step()) state->subscribed[s.Int(0)] = s.Int(1) != 0;
  }
  for (const auto& [db, anchor] : presented) {
    if (anchor.empty()) continue;
    Stmt s(db_, "SELECT s.data, u.names FROM sent s LEFT JOIN unsure u ON u.id=s.id "
                "WHERE s.anchor=? AND s.account=? AND s.db=?");
    s.Bind(1, anchor).Bind(2, account).Bind(3, db);
    if (!s.Step()) continue;
    Snapshot snapshot;
    if (!DecodeSnapshot(s.Text(0), &snapshot)) continue;
    if (!s.IsNull(1)) ApplyUnsure(s.Text(1), &snapshot);
    state->snapshots[db] = std::move(snapshot);
  }
  return true;
}

bool SqliteStorage::SaveAnchor(std::int64_t account, const NewAnchor& a, std::int64_t now) {
  if (!a.parent.empty()) {
    // The device holds the parent now: its own parent and its other
    // children (transfers that broke) are no longer held by anyone.
    const char* gone =
        "account=?1 AND (anchor=(SELECT parent FROM sent WHERE anchor=?2) OR parent=?2)";
    Stmt unsure(db_, (std::string("DELETE FROM unsure WHERE id IN (SELECT id FROM sent WHERE ") + gone + ")").c_str());
    Stmt sent(db_, (std::string("DELETE FROM sent WHERE ") + gone).c_str());
    Stmt used(db_, "UPDATE sent SET used=? WHERE anchor=?");
    if (!unsure.Bind(1, account).Bind(2, a.parent).Run() || !sent.Bind(1, account).Bind(2, a.parent).Run() ||
        !used.Bind(1, now).Bind(2, a.parent).Run())
      return false;
  }
  Stmt s(db_, "INSERT INTO sent(anchor, account, db, parent, issued, used, data) VALUES(?,?,?,?,?,?,?)");
  s.Bind(1, a.anchor).Bind(2, account).Bind(3, a.db).Bind(5, now).Bind(6, now).BindBlob(7, EncodeSnapshot(a.delivered));
  if (!a.parent.empty()) s.Bind(4, a.parent);
  if (!s.Run()) return false;
  std::string unsure = EncodeUnsure(a.confirmed, a.delivered);
  if (unsure.empty()) return true;
  Stmt u(db_, "INSERT INTO unsure(id, names) VALUES(?,?)");
  return u.Bind(1, sqlite3_last_insert_rowid(db_)).BindBlob(2, unsure).Run();
}

Storage::CommitResult SqliteStorage::CommitSync(SyncCommit* commit) {
  std::lock_guard<std::mutex> lock(mu_);
  Tx tx(db_);
  if (!tx.ok()) return CommitResult::kFailed;
  const SyncCommit& c = *commit;
  if (!c.account) {
    Stmt s(db_, "INSERT INTO accounts(user, pass, created) VALUES(NULL, NULL, ?)");
    if (!s.Bind(1, c.now).Run()) return CommitResult::kFailed;
    commit->account = sqlite3_last_insert_rowid(db_);
    commit->expected_version = 0;
  }
  {
    Stmt s(db_, "UPDATE accounts SET version=version+1 WHERE id=? AND version=?");
    if (!s.Bind(1, c.account).Bind(2, c.expected_version).Run()) return CommitResult::kFailed;
    if (sqlite3_changes(db_) != 1) return CommitResult::kConflict;
  }
  for (const auto& [channel, subscribed] : c.subscriptions) {
    Stmt s(db_,
           "INSERT INTO subscriptions(account, channel, subscribed) VALUES(?,?,?) "
           "ON CONFLICT(account, channel) DO UPDATE SET subscribed=excluded.subscribed");
    if (!s.Bind(1, c.account).Bind(2, channel).Bind(3, subscribed ? 1 : 0).Run()) return CommitResult::kFailed;
  }
  if (c.has_stats) {
    Stmt s(db_, "UPDATE accounts SET starts=?, time_used=? WHERE id=?");
    if (!s.Bind(1, c.starts).Bind(2, c.time_used).Bind(3, c.account).Run()) return CommitResult::kFailed;
  }
  for (const NewAnchor& a : c.anchors)
    if (!SaveAnchor(c.account, a, c.now)) return CommitResult::kFailed;
  return tx.Commit() ? CommitResult::kOk : CommitResult::kFailed;
}

bool SqliteStorage::ConfirmDelivery(const std::vector<std::string>& anchors) {
  std::lock_guard<std::mutex> lock(mu_);
  Tx tx(db_);
  if (!tx.ok()) return false;
  for (const std::string& a : anchors) {
    Stmt s(db_, "DELETE FROM unsure WHERE id=(SELECT id FROM sent WHERE anchor=?)");
    if (!s.Bind(1, a).Run()) return false;
  }
  return tx.Commit();
}

int SqliteStorage::ExpireAnchors(std::int64_t unused_before, int keep) {
  std::lock_guard<std::mutex> lock(mu_);
  Tx tx(db_);
  if (!tx.ok()) return 0;
  Stmt old(db_, "DELETE FROM sent WHERE used<?");
  if (!old.Bind(1, unused_before).Run()) return 0;
  int dropped = sqlite3_changes(db_);
  Stmt over(db_,
            "DELETE FROM sent WHERE anchor IN (SELECT anchor FROM (SELECT anchor, ROW_NUMBER() OVER "
            "(PARTITION BY account, db ORDER BY used DESC, issued DESC) AS n FROM sent) WHERE n>?)");
  if (!over.Bind(1, keep).Run()) return 0;
  dropped += sqlite3_changes(db_);
  if (!Exec("DELETE FROM unsure WHERE id NOT IN (SELECT id FROM sent);")) return 0;
  // An anonymous account lives only in the anchors its device holds (one
  // made moments ago may not have any yet).
  Stmt subs(db_,
            "DELETE FROM subscriptions WHERE account IN (SELECT id FROM accounts WHERE user IS NULL AND created<? "
            "AND id NOT IN (SELECT account FROM sent))");
  Stmt accounts(db_, "DELETE FROM accounts WHERE user IS NULL AND created<? AND id NOT IN (SELECT account FROM sent)");
  if (!subs.Bind(1, unused_before).Run() || !accounts.Bind(1, unused_before).Run()) return 0;
  return tx.Commit() ? dropped : 0;
}

}  // namespace tidelark_server
