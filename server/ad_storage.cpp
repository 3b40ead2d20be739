#include "ad_storage.h"

#include <sqlite3.h>

#include "sqlite_stmt.h"

namespace tidelark_server {

namespace {

const char kSchema[] = R"(
CREATE TABLE IF NOT EXISTS devices(
  id INTEGER PRIMARY KEY, first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL,
  user TEXT, type TEXT, width INTEGER, height INTEGER, oem TEXT, operator TEXT, lang TEXT,
  country TEXT, ad_spaces TEXT);
CREATE TABLE IF NOT EXISTS anchors(
  device INTEGER NOT NULL, db TEXT NOT NULL, seq INTEGER NOT NULL, anchor TEXT NOT NULL UNIQUE,
  PRIMARY KEY(device, db, seq));
CREATE TABLE IF NOT EXISTS held(anchor TEXT NOT NULL, name TEXT NOT NULL, hash INTEGER NOT NULL,
  PRIMARY KEY(anchor, name));
CREATE TABLE IF NOT EXISTS events(
  device INTEGER NOT NULL, name TEXT NOT NULL, time INTEGER NOT NULL, application INTEGER NOT NULL,
  ad INTEGER NOT NULL, ad_space INTEGER NOT NULL, action INTEGER NOT NULL,
  UNIQUE(device, name, time, ad, action));
CREATE INDEX IF NOT EXISTS events_by_ad ON events(ad, time);
)";

// Seconds from 1970 to 2000-01-01, the devices' epoch.
constexpr std::int64_t kDeviceEpoch = 946684800;

}  // namespace

AdStorage::~AdStorage() {
  if (db_) sqlite3_close(db_);
}

bool AdStorage::Exec(const char* sql) { return ExecSql(db_, sql); }

bool AdStorage::Open(const std::string& dir, std::string* error) {
  return OpenSqlite(dir == ":memory:" ? dir : dir + "/tidelark-ads.db", kSchema, &db_, error);
}

bool AdStorage::Begin() { return Exec("BEGIN IMMEDIATE;"); }
bool AdStorage::Commit() { return Exec("COMMIT;"); }
void AdStorage::Rollback() { Exec("ROLLBACK;"); }

bool AdStorage::DeviceOfAnchor(const std::string& anchor, std::int64_t* device) {
  Stmt s(db_, "SELECT device FROM anchors WHERE anchor=?");
  s.Bind(1, anchor);
  if (!s.Step()) return false;
  *device = s.Int(0);
  return true;
}

std::int64_t AdStorage::NewDevice(std::int64_t now) {
  Stmt s(db_, "INSERT INTO devices(first_seen, last_seen) VALUES(?, ?)");
  if (!s.Bind(1, now).Bind(2, now).Run()) return 0;
  return sqlite3_last_insert_rowid(db_);
}

bool AdStorage::UpdateDevice(std::int64_t device, const AdDevice& d, std::int64_t now) {
  Stmt s(db_,
         "UPDATE devices SET last_seen=?, user=?, type=?, width=?, height=?, oem=?, operator=?, lang=?, country=?, "
         "ad_spaces=? WHERE id=?");
  return s.Bind(1, now).Bind(2, d.user).Bind(3, d.type).Bind(4, d.width).Bind(5, d.height).Bind(6, d.oem)
      .Bind(7, d.op).Bind(8, d.lang).Bind(9, d.country).Bind(10, d.ad_spaces).Bind(11, device).Run();
}

std::int64_t AdStorage::DeviceCount() {
  Stmt s(db_, "SELECT COUNT(*) FROM devices");
  return s.Step() ? s.Int(0) : 0;
}

bool AdStorage::LoadSnapshot(std::int64_t device, const std::string& db, const std::string& anchor,
                             AdSnapshot* snapshot) {
  snapshot->clear();
  {
    Stmt s(db_, "SELECT 1 FROM anchors WHERE device=? AND db=? AND anchor=?");
    s.Bind(1, device).Bind(2, db).Bind(3, anchor);
    if (!s.Step()) return false;
  }
  Stmt s(db_, "SELECT name, hash FROM held WHERE anchor=?");
  s.Bind(1, anchor);
  while (s.Step()) (*snapshot)[s.Text(0)] = static_cast<std::uint64_t>(s.Int(1));
  return true;
}

std::string AdStorage::SaveSnapshot(std::int64_t device, const std::string& db, const AdSnapshot& snapshot) {
  std::int64_t seq = 1;
  {
    Stmt s(db_, "SELECT MAX(seq) FROM anchors WHERE device=? AND db=?");
    s.Bind(1, device).Bind(2, db);
    if (s.Step()) seq = s.Int(0) + 1;
  }
  // Unique across devices and databases, so that an anchor leads back to its device.
  std::string anchor = "P" + std::to_string(device) + "." + std::to_string(seq) + "." + db;
  {
    Stmt s(db_, "INSERT INTO anchors(device, db, seq, anchor) VALUES(?,?,?,?)");
    if (!s.Bind(1, device).Bind(2, db).Bind(3, seq).Bind(4, anchor).Run()) return "";
  }
  for (const auto& [name, hash] : snapshot) {
    Stmt s(db_, "INSERT INTO held(anchor, name, hash) VALUES(?,?,?)");
    if (!s.Bind(1, anchor).Bind(2, name).Bind(3, static_cast<std::int64_t>(hash)).Run()) return "";
  }
  // Keep this anchor and the one before it: a device whose last transfer
  // broke still holds the previous one.
  {
    Stmt s(db_,
           "DELETE FROM held WHERE anchor IN (SELECT anchor FROM anchors WHERE device=? AND db=? AND seq<?)");
    s.Bind(1, device).Bind(2, db).Bind(3, seq - 1).Run();
  }
  Stmt s(db_, "DELETE FROM anchors WHERE device=? AND db=? AND seq<?");
  s.Bind(1, device).Bind(2, db).Bind(3, seq - 1).Run();
  return anchor;
}

int AdStorage::AddEvents(std::int64_t device, const std::vector<AdEvent>& events) {
  int added = 0;
  for (const AdEvent& e : events) {
    Stmt s(db_,
           "INSERT OR IGNORE INTO events(device, name, time, application, ad, ad_space, action) "
           "VALUES(?,?,?,?,?,?,?)");
    if (!s.Bind(1, device).Bind(2, e.name).Bind(3, e.time).Bind(4, e.application).Bind(5, e.ad)
             .Bind(6, e.ad_space).Bind(7, e.action).Run())
      return -1;
    added += s.Changes();
  }
  return added;
}

std::vector<AdReportRow> AdStorage::Report() {
  std::vector<AdReportRow> rows;
  Stmt s(db_,
         "SELECT ad, date(time + ?, 'unixepoch') AS day, SUM(action = 0), SUM(action <> 0) FROM events "
         "GROUP BY ad, day ORDER BY ad, day");
  s.Bind(1, kDeviceEpoch);
  while (s.Step()) {
    AdReportRow r;
    r.ad = s.Int(0);
    r.day = s.Text(1);
    r.impressions = s.Int(2);
    r.clicks = s.Int(3);
    rows.push_back(r);
  }
  return rows;
}

}  // namespace tidelark_server
