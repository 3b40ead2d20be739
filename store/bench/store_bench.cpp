// The store against SQLite doing the same logical work: article-like
// objects written, read back by name, queried by a text range ordered by it
// and by one integer, half of them deleted; block cache off and on.
// Prints one BENCH line per comparison.

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/os.h"
#include "store/store.h"

namespace {

// An object of 7 properties takes 8 records and a database holds fewer than
// 65536 records, so 10000 such objects cannot share one database: 8000 can.
constexpr int kObjects = 8000;
constexpr int kQueries = 1000;

struct Article {
  std::string name;
  std::int32_t kind;
  std::string texts[6];
};
const char* kTextNames[6] = {"Title", "Sort", "Link", "Summary", "Body", "Author"};
const int kTextMin[6] = {20, 20, 40, 200, 500, 20};
const int kTextMax[6] = {100, 60, 100, 800, 2000, 40};

std::vector<Article> MakeArticles() {
  std::mt19937 rng(42);
  std::vector<Article> out(kObjects);
  for (int i = 0; i < kObjects; ++i) {
    Article& a = out[i];
    a.name = "article" + std::to_string(100000 + i);
    a.kind = i % 10;
    for (int t = 0; t < 6; ++t) {
      int len = kTextMin[t] + static_cast<int>(rng() % (kTextMax[t] - kTextMin[t] + 1));
      a.texts[t].resize(len);
      for (char& c : a.texts[t]) c = static_cast<char>('a' + rng() % 26);
    }
  }
  return out;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Bench(const std::string& name, double ours, double peer) {
  std::printf("BENCH store/%s ours=%.4f peer=%.4f ratio=%.3f\n", name.c_str(), ours, peer, ours / peer);
  std::fflush(stdout);
}

struct Times { double write, read, range, integer, remove; };

// ---- the store ----
Times RunStore(const std::vector<Article>& articles, const std::string& volume, std::uint32_t cache,
               std::size_t* range_hits) {
  using namespace store;
  Times t{};
  Database* db = nullptr;
  if (OpenDatabase(&db, "Articles", 1, 1, kCreatorPyra, cache, 11, 10, volume.c_str()) != 0) {
    std::fprintf(stderr, "open failed\n");
    std::exit(1);
  }
  double start = Now();
  for (const Article& a : articles) {
    Object* o = nullptr;
    CreateObject(&o, a.name.c_str());
    SetProperty(o, "Kind", kTypeInteger, &a.kind, 4, 1, 1, 1, 0);
    for (int k = 0; k < 6; ++k)
      SetProperty(o, kTextNames[k], kTypeText, a.texts[k].c_str(), std::uint32_t(a.texts[k].size() + 1), 1, 1, 1, 0);
    if (std::int32_t rc = WriteObject(db, o, 1, 1, 1, 0)) {
      std::fprintf(stderr, "write failed: %d\n", rc);
      std::exit(1);
    }
    FreeObject(o);
  }
  t.write = Now() - start;
  start = Now();
  for (const Article& a : articles) {
    Object* o = nullptr;
    CreateObject(&o, a.name.c_str());
    if (ReadObject(db, o) != 0) {
      std::fprintf(stderr, "read failed\n");
      std::exit(1);
    }
    FreeObject(o);
  }
  t.read = Now() - start;
  start = Now();
  *range_hits = 0;
  for (int q = 0; q < kQueries; ++q) {
    char lo[3] = {char('a' + q % 26), char('a' + (q * 7) % 26), 0}, hi[3] = {lo[0], 'z', 0};
    Object *l = nullptr, *h = nullptr;
    CreateObject(&l, "l");
    CreateObject(&h, "h");
    SetProperty(l, "Sort", kTypeText, lo, 3, 1, 1, 1, 0);
    SetProperty(h, "Sort", kTypeText, hi, 3, 1, 1, 1, 0);
    ResultSet* r = nullptr;
    Query(db, l, h, kCompareRecords, &r, "Sort", nullptr, 0);
    *range_hits += GetResultCount(r);
    FreeResult(r);
    FreeObject(l);
    FreeObject(h);
  }
  t.range = Now() - start;
  start = Now();
  for (int q = 0; q < kQueries; ++q) {
    Object* k = nullptr;
    CreateObject(&k, "k");
    std::int32_t v = q % 10;
    SetProperty(k, "Kind", kTypeInteger, &v, 4, 1, 1, 1, 0);
    ResultSet* r = nullptr;
    Query(db, k, k, kCompareRecords, &r, nullptr, nullptr, 0);
    if (GetResultCount(r) != kObjects / 10) std::fprintf(stderr, "integer query: %u\n", GetResultCount(r));
    FreeResult(r);
    FreeObject(k);
  }
  t.integer = Now() - start;
  start = Now();
  for (int i = 0; i < kObjects; i += 2) {
    Object* o = nullptr;
    CreateObject(&o, articles[i].name.c_str());
    if (DeleteObject(db, o, 0) != 0) {
      std::fprintf(stderr, "delete failed\n");
      std::exit(1);
    }
    FreeObject(o);
  }
  t.remove = Now() - start;
  CloseDatabase(&db);
  return t;
}

// ---- SQLite: (object, property, type, value) rows ----
void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", err);
    std::exit(1);
  }
}

Times RunSqlite(const std::vector<Article>& articles, const std::string& path, std::size_t* range_hits) {
  Times t{};
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  Exec(db, "CREATE TABLE objects(id INTEGER PRIMARY KEY, name TEXT UNIQUE NOT NULL);"
           "CREATE TABLE props(object INTEGER NOT NULL, property TEXT NOT NULL, type INTEGER NOT NULL, value,"
           " PRIMARY KEY(object, property)) WITHOUT ROWID;"
           "CREATE INDEX props_value ON props(property, value, object);");
  sqlite3_stmt *ins_obj, *ins_prop, *find, *load, *range, *integer, *del_props, *del_obj;
  sqlite3_prepare_v2(db, "INSERT INTO objects(name) VALUES(?)", -1, &ins_obj, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO props VALUES(?,?,?,?)", -1, &ins_prop, nullptr);
  sqlite3_prepare_v2(db, "SELECT id FROM objects WHERE name=?", -1, &find, nullptr);
  sqlite3_prepare_v2(db, "SELECT property, type, value FROM props WHERE object=?", -1, &load, nullptr);
  sqlite3_prepare_v2(db, "SELECT object FROM props WHERE property='Sort' AND value>=? AND value<=? ORDER BY value",
                     -1, &range, nullptr);
  sqlite3_prepare_v2(db, "SELECT object FROM props WHERE property='Kind' AND value=?", -1, &integer, nullptr);
  sqlite3_prepare_v2(db, "DELETE FROM props WHERE object=?", -1, &del_props, nullptr);
  sqlite3_prepare_v2(db, "DELETE FROM objects WHERE id=?", -1, &del_obj, nullptr);
  double start = Now();
  for (const Article& a : articles) {
    Exec(db, "BEGIN");
    sqlite3_bind_text(ins_obj, 1, a.name.c_str(), -1, SQLITE_STATIC);
    sqlite3_step(ins_obj);
    sqlite3_reset(ins_obj);
    sqlite3_int64 id = sqlite3_last_insert_rowid(db);
    sqlite3_bind_int64(ins_prop, 1, id);
    sqlite3_bind_text(ins_prop, 2, "Kind", -1, SQLITE_STATIC);
    sqlite3_bind_int(ins_prop, 3, 1);
    sqlite3_bind_int(ins_prop, 4, a.kind);
    sqlite3_step(ins_prop);
    sqlite3_reset(ins_prop);
    for (int k = 0; k < 6; ++k) {
      sqlite3_bind_int64(ins_prop, 1, id);
      sqlite3_bind_text(ins_prop, 2, kTextNames[k], -1, SQLITE_STATIC);
      sqlite3_bind_int(ins_prop, 3, 3);
      sqlite3_bind_text(ins_prop, 4, a.texts[k].c_str(), -1, SQLITE_STATIC);
      sqlite3_step(ins_prop);
      sqlite3_reset(ins_prop);
    }
    Exec(db, "COMMIT");
  }
  t.write = Now() - start;
  start = Now();
  std::vector<sqlite3_int64> ids;
  for (const Article& a : articles) {
    sqlite3_bind_text(find, 1, a.name.c_str(), -1, SQLITE_STATIC);
    sqlite3_int64 id = sqlite3_step(find) == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
    sqlite3_reset(find);
    ids.push_back(id);
    sqlite3_bind_int64(load, 1, id);
    std::size_t bytes = 0;
    while (sqlite3_step(load) == SQLITE_ROW) bytes += sqlite3_column_bytes(load, 2);
    sqlite3_reset(load);
    if (bytes == 0) std::exit(1);
  }
  t.read = Now() - start;
  start = Now();
  *range_hits = 0;
  for (int q = 0; q < kQueries; ++q) {
    char lo[3] = {char('a' + q % 26), char('a' + (q * 7) % 26), 0}, hi[3] = {lo[0], 'z', 0};
    sqlite3_bind_text(range, 1, lo, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(range, 2, hi, -1, SQLITE_TRANSIENT);
    std::vector<sqlite3_int64> got;
    while (sqlite3_step(range) == SQLITE_ROW) got.push_back(sqlite3_column_int64(range, 0));
    sqlite3_reset(range);
    *range_hits += got.size();
  }
  t.range = Now() - start;
  start = Now();
  for (int q = 0; q < kQueries; ++q) {
    sqlite3_bind_int(integer, 1, q % 10);
    std::vector<sqlite3_int64> got;
    while (sqlite3_step(integer) == SQLITE_ROW) got.push_back(sqlite3_column_int64(integer, 0));
    sqlite3_reset(integer);
  }
  t.integer = Now() - start;
  start = Now();
  for (int i = 0; i < kObjects; i += 2) {
    Exec(db, "BEGIN");
    sqlite3_bind_text(find, 1, articles[i].name.c_str(), -1, SQLITE_STATIC);
    sqlite3_int64 id = sqlite3_step(find) == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
    sqlite3_reset(find);
    sqlite3_bind_int64(del_props, 1, id);
    sqlite3_step(del_props);
    sqlite3_reset(del_props);
    sqlite3_bind_int64(del_obj, 1, id);
    sqlite3_step(del_obj);
    sqlite3_reset(del_obj);
    Exec(db, "COMMIT");
  }
  t.remove = Now() - start;
  for (sqlite3_stmt* s : {ins_obj, ins_prop, find, load, range, integer, del_props, del_obj}) sqlite3_finalize(s);
  sqlite3_close(db);
  return t;
}

}  // namespace

int main() {
  std::vector<Article> articles = MakeArticles();
  std::string dir;
  platform::os::MakeTempDirectory("tidelark-store-bench", &dir);
  std::size_t sqlite_hits = 0;
  Times peer = RunSqlite(articles, platform::os::JoinPath(dir, "peer.db"), &sqlite_hits);
  for (std::uint32_t cache : {0u, 64000u}) {
    std::string suffix = cache ? "cache64k" : "nocache";
    std::size_t hits = 0;
    Times ours = RunStore(articles, platform::os::JoinPath(dir, "Reader-" + suffix + ".vol"), cache, &hits);
    if (hits != sqlite_hits) std::fprintf(stderr, "range results differ: %zu vs %zu\n", hits, sqlite_hits);
    Bench("write_" + std::to_string(kObjects) + "_" + suffix, ours.write, peer.write);
    Bench("read_by_name_" + suffix, ours.read, peer.read);
    Bench("sort_range_ordered_" + suffix, ours.range, peer.range);
    Bench("integer_query_" + suffix, ours.integer, peer.integer);
    Bench("delete_half_" + suffix, ours.remove, peer.remove);
  }
  platform::os::RemoveTree(dir);
  return 0;
}
