#include "storage.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "sqlite_stmt.h"

namespace tidelark_server {
namespace {

const char kSchema[] = R"(
CREATE TABLE IF NOT EXISTS channels(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL, url TEXT NOT NULL, icon BLOB,
  recommended INTEGER NOT NULL DEFAULT 0, user_added INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS items(
  channel INTEGER NOT NULL, key TEXT NOT NULL, sort TEXT NOT NULL, title TEXT, author TEXT,
  date TEXT, link TEXT, body TEXT, image BLOB, PRIMARY KEY(channel, key));
CREATE TABLE IF NOT EXISTS accounts(
  id INTEGER PRIMARY KEY, user TEXT UNIQUE, pass TEXT, starts INTEGER DEFAULT 0,
  time_used INTEGER DEFAULT 0);
CREATE TABLE IF NOT EXISTS subscriptions(
  account INTEGER NOT NULL, channel INTEGER NOT NULL, subscribed INTEGER NOT NULL,
  PRIMARY KEY(account, channel));
CREATE TABLE IF NOT EXISTS anchors(
  account INTEGER NOT NULL, db TEXT NOT NULL, seq INTEGER NOT NULL, anchor TEXT NOT NULL UNIQUE,
  PRIMARY KEY(account, db, seq));
CREATE TABLE IF NOT EXISTS snapshots(anchor TEXT PRIMARY KEY, data BLOB NOT NULL);
)";

Channel ChannelFrom(Stmt& s) {
  Channel c;
  c.id = s.Int(0);
  c.name = s.Text(1);
  c.url = s.Text(2);
  c.icon = s.Text(3);
  c.recommended = s.Int(4) != 0;
  c.user_added = s.Int(5) != 0;
  return c;
}

const char kChannelColumns[] = "SELECT id, name, url, icon, recommended, user_added FROM channels";

}  // namespace

Storage::~Storage() {
  if (db_) sqlite3_close(db_);
}

bool Storage::Exec(const char* sql) { return ExecSql(db_, sql); }

bool Storage::Open(const std::string& dir, std::string* error) {
  return OpenSqlite(dir == ":memory:" ? dir : dir + "/tidelark-server.db", kSchema, &db_, error);
}

bool Storage::Begin() { return Exec("BEGIN IMMEDIATE;"); }
bool Storage::Commit() { return Exec("COMMIT;"); }
void Storage::Rollback() { Exec("ROLLBACK;"); }

bool Storage::PutChannel(const Channel& c) {
  Stmt s(db_,
         "INSERT INTO channels(id, name, url, icon, recommended, user_added) VALUES(?,?,?,?,?,?) "
         "ON CONFLICT(id) DO UPDATE SET name=excluded.name, url=excluded.url, icon=excluded.icon, "
         "recommended=excluded.recommended");
  return s.Bind(1, c.id).Bind(2, c.name).Bind(3, c.url).BindBlob(4, c.icon).Bind(5, c.recommended ? 1 : 0)
      .Bind(6, c.user_added ? 1 : 0).Run();
}

std::vector<Channel> Storage::Channels() {
  std::vector<Channel> out;
  Stmt s(db_, (std::string(kChannelColumns) + " ORDER BY id").c_str());
  while (s.Step()) out.push_back(ChannelFrom(s));
  return out;
}

bool Storage::FindChannel(std::int64_t id, Channel* channel) {
  Stmt s(db_, (std::string(kChannelColumns) + " WHERE id=?").c_str());
  s.Bind(1, id);
  if (!s.Step()) return false;
  *channel = ChannelFrom(s);
  return true;
}

bool Storage::FindChannelByUrl(const std::string& url, Channel* channel) {
  Stmt s(db_, (std::string(kChannelColumns) + " WHERE url=? ORDER BY id LIMIT 1").c_str());
  s.Bind(1, url);
  if (!s.Step()) return false;
  *channel = ChannelFrom(s);
  return true;
}

std::int64_t Storage::AddUserChannel(const std::string& name, const std::string& url) {
  std::int64_t id = 100000;
  {
    Stmt s(db_, "SELECT MAX(id) FROM channels");
    if (s.Step() && s.Int(0) >= id) id = s.Int(0) + 1;
  }
  Channel c;
  c.id = id;
  c.name = name;
  c.url = url;
  c.user_added = true;
  return PutChannel(c) ? id : 0;
}

int Storage::StoreFeed(std::int64_t channel, const Feed& feed, int retention, std::int64_t now) {
  int added = 0;
  const std::size_t n = feed.items.size();
  for (std::size_t i = 0; i < n; ++i) {
    const FeedItem& it = feed.items[i];
    // Undated items take the time they were first seen; the earlier in the
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
    if (s.Run() && !exists) ++added;
  }
  Stmt trim(db_,
            "DELETE FROM items WHERE channel=?1 AND key NOT IN "
            "(SELECT key FROM items WHERE channel=?1 ORDER BY sort DESC LIMIT ?2)");
  trim.Bind(1, channel).Bind(2, static_cast<std::int64_t>(retention)).Run();
  return added;
}

std::vector<StoredItem> Storage::Items(std::int64_t channel) {
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

std::vector<std::string> Storage::KeysWithImage(std::int64_t channel) {
  std::vector<std::string> out;
  Stmt s(db_, "SELECT key FROM items WHERE channel=? AND image IS NOT NULL");
  s.Bind(1, channel);
  while (s.Step()) out.push_back(s.Text(0));
  return out;
}

Storage::Auth Storage::Authenticate(const std::string& user, const std::string& pass, std::int64_t* account) {
  {
    Stmt s(db_, "SELECT id, pass FROM accounts WHERE user=?");
    s.Bind(1, user);
    if (s.Step()) {
      if (s.Text(1) != pass) return kAuthWrongPassword;
      *account = s.Int(0);
      return kAuthOk;
    }
  }
  Stmt s(db_, "INSERT INTO accounts(user, pass) VALUES(?,?)");
  if (!s.Bind(1, user).Bind(2, pass).Run()) return kAuthError;
  *account = sqlite3_last_insert_rowid(db_);
  return kAuthOk;
}

std::int64_t Storage::NewAnonymousAccount() {
  Stmt s(db_, "INSERT INTO accounts(user, pass) VALUES(NULL, NULL)");
  return s.Run() ? sqlite3_last_insert_rowid(db_) : 0;
}

bool Storage::AccountOfAnchor(const std::string& anchor, std::int64_t* account) {
  Stmt s(db_, "SELECT account FROM anchors WHERE anchor=?");
  s.Bind(1, anchor);
  if (!s.Step()) return false;
  *account = s.Int(0);
  return true;
}

void Storage::AddStats(std::int64_t account, std::int64_t starts, std::int64_t time_used) {
  Stmt s(db_, "UPDATE accounts SET starts=?, time_used=? WHERE id=?");
  s.Bind(1, starts).Bind(2, time_used).Bind(3, account).Run();
}

std::map<std::int64_t, bool> Storage::Subscriptions(std::int64_t account) {
  std::map<std::int64_t, bool> out;
  Stmt s(db_, "SELECT channel, subscribed FROM subscriptions WHERE account=?");
  s.Bind(1, account);
  while (s.Step()) out[s.Int(0)] = s.Int(1) != 0;
  return out;
}

bool Storage::SetSubscription(std::int64_t account, std::int64_t channel, bool subscribed) {
  Stmt s(db_,
         "INSERT INTO subscriptions(account, channel, subscribed) VALUES(?,?,?) "
         "ON CONFLICT(account, channel) DO UPDATE SET subscribed=excluded.subscribed");
  return s.Bind(1, account).Bind(2, channel).Bind(3, subscribed ? 1 : 0).Run();
}

bool Storage::LoadSnapshot(std::int64_t account, const std::string& db, const std::string& anchor,
                           Snapshot* snapshot) {
  snapshot->clear();
  {
    Stmt s(db_, "SELECT 1 FROM anchors WHERE account=? AND db=? AND anchor=?");
    s.Bind(1, account).Bind(2, db).Bind(3, anchor);
    if (!s.Step()) return false;
  }
  // One row per anchor: "name\0hash\0" pairs.
  Stmt s(db_, "SELECT data FROM snapshots WHERE anchor=?");
  s.Bind(1, anchor);
  if (!s.Step()) return false;
  std::string data = s.Text(0);
  for (std::size_t pos = 0; pos < data.size();) {
    std::size_t z1 = data.find('\0', pos);
    if (z1 == std::string::npos) return false;
    std::size_t z2 = data.find('\0', z1 + 1);
    if (z2 == std::string::npos) return false;
    (*snapshot)[data.substr(pos, z1 - pos)] = std::strtoull(data.c_str() + z1 + 1, nullptr, 16);
    pos = z2 + 1;
  }
  return true;
}

std::string Storage::SaveSnapshot(std::int64_t account, const std::string& db, const Snapshot& snapshot) {
  std::int64_t seq = 1;
  {
    Stmt s(db_, "SELECT MAX(seq) FROM anchors WHERE account=? AND db=?");
    s.Bind(1, account).Bind(2, db);
    if (s.Step()) seq = s.Int(0) + 1;
  }
  // Unique across accounts, so that an anchor leads back to its account.
  std::string anchor = "A" + std::to_string(account) + "." + std::to_string(seq) + "." +
                       std::to_string(static_cast<unsigned>(std::hash<std::string>()(db)) % 100000);
  {
    Stmt s(db_, "INSERT INTO anchors(account, db, seq, anchor) VALUES(?,?,?,?)");
    if (!s.Bind(1, account).Bind(2, db).Bind(3, seq).Bind(4, anchor).Run()) return "";
  }
  std::string data;
  for (const auto& [name, hash] : snapshot) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(hash));
    data += name;
    data.push_back('\0');
    data += hex;
    data.push_back('\0');
  }
  {
    Stmt s(db_, "INSERT INTO snapshots(anchor, data) VALUES(?,?)");
    if (!s.Bind(1, anchor).BindBlob(2, data).Run()) return "";
  }
  // Keep this anchor and the one before it: a device whose last transfer
  // broke still holds the previous one.
  {
    Stmt s(db_,
           "DELETE FROM snapshots WHERE anchor IN (SELECT anchor FROM anchors WHERE account=? AND db=? "
           "AND seq<?)");
    s.Bind(1, account).Bind(2, db).Bind(3, seq - 1).Run();
  }
  Stmt s(db_, "DELETE FROM anchors WHERE account=? AND db=? AND seq<?");
  s.Bind(1, account).Bind(2, db).Bind(3, seq - 1).Run();
  return anchor;
}

}  // namespace tidelark_server
