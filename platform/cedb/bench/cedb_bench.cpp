// The record layer's work on this engine and on SQLite (WAL,
// synchronous=NORMAL), side by side: append 60,000 records of 100 bytes,
// random reads by position and by identifier, overwrites, deleting from
// the front with the renumbering of every later record, and rewriting
// 24 KB records in place with an entry inserted or removed each time (what
// the object store does to its index blocks). Prints one
// "BENCH cedb/<row> ours=<s> peer=<s> ratio=<ours/peer>" line per row.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/cedb.h"
#include "platform/os.h"

namespace os = platform::os;

namespace {

constexpr std::uint32_t kRecords = 60000;
constexpr int kReads = 60000;
constexpr int kOverwrites = 60000;
constexpr int kFrontDeletes = 3;
constexpr int kBlocks = 64;
constexpr std::size_t kBlockBytes = 24000;
constexpr int kBlockRewrites = 20000;

std::map<std::string, double> g_seconds;

std::string Dir() {
  static std::string dir = [] {
    std::string d;
    os::MakeTempDirectory("cedbbench", &d);
    return d;
  }();
  return dir;
}

std::string Payload(std::uint32_t n) {
  std::string p(100, static_cast<char>('a' + n % 26));
  std::memcpy(&p[0], &n, 4);
  return p;
}

// ---- this engine ------------------------------------------------------------

struct Ours {
  CEGUID guid;
  HANDLE db = INVALID_HANDLE_VALUE;
  std::vector<CEOID> ids;  // by record number

  void Open() {
    std::string path = os::JoinPath(Dir(), "Reader.vol");
    os::RemoveFile(path);
    std::u16string w = os::Utf8ToUtf16(path);
    CeMountDBVol(&guid, reinterpret_cast<LPCWSTR>(w.c_str()), OPEN_ALWAYS);
    db = CreateAndOpen(u'r');
  }
  // A database of the given one-letter name, sorted on the record number.
  HANDLE CreateAndOpen(char16_t letter) {
    CEDBASEINFOEX info = {};
    info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC;
    info.szDbaseName[0] = letter;
    info.wNumSortOrder = 1;
    info.rgSortSpecs[0].wNumProps = 1;
    info.rgSortSpecs[0].rgPropID[0] = MAKELONG(CEVT_UI4, 0);
    CeCreateDatabaseEx2(&guid, &info);
    CEOID oid = 0;
    std::u16string name(1, letter);
    return CeOpenDatabaseEx2(&guid, &oid, reinterpret_cast<LPCWSTR>(name.c_str()), &info.rgSortSpecs[0],
                             CEDB_AUTOINCREMENT, nullptr);
  }
  void Close() {
    CeCloseDatabase(db);
    CeUnmountDBVol(&guid);
  }
  CEOID Write(CEOID oid, std::uint32_t number, const std::string& payload) {
    CEPROPVAL v[2] = {};
    v[0].propid = MAKELONG(CEVT_UI4, 0);
    v[0].val.ulVal = number;
    v[1].propid = MAKELONG(CEVT_BLOB, 1);
    v[1].val.blob.dwCount = static_cast<DWORD>(payload.size());
    v[1].val.blob.lpb = reinterpret_cast<LPBYTE>(const_cast<char*>(payload.data()));
    return CeWriteRecordProps(db, oid, 2, v);
  }
  // Reads the current record's payload, as the record layer does.
  std::size_t ReadCurrent(std::uint32_t* number) {
    WORD count = 0;
    LPBYTE buf = nullptr;
    DWORD size = 0;
    if (!CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, nullptr, &buf, &size, nullptr)) return 0;
    CEPROPVAL* v = reinterpret_cast<CEPROPVAL*>(buf);
    *number = v[0].val.ulVal;
    std::size_t n = v[1].val.blob.dwCount;
    LocalFree(buf);
    return n;
  }
};

Ours g_ours;

// ---- SQLite -------------------------------------------------------------------

struct Peer {
  sqlite3* db = nullptr;
  sqlite3_stmt* insert = nullptr;
  sqlite3_stmt* by_number = nullptr;
  sqlite3_stmt* by_id = nullptr;
  sqlite3_stmt* update = nullptr;
  sqlite3_stmt* del = nullptr;
  std::vector<sqlite3_int64> ids;

  void Exec(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
  void Open() {
    std::string path = os::JoinPath(Dir(), "peer.db");
    os::RemoveFile(path);
    os::RemoveFile(path + "-wal");
    os::RemoveFile(path + "-shm");
    sqlite3_open(path.c_str(), &db);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
    Exec("CREATE TABLE r(id INTEGER PRIMARY KEY, num INTEGER NOT NULL, payload BLOB)");
    Exec("CREATE INDEX r_num ON r(num)");
    sqlite3_prepare_v2(db, "INSERT INTO r(num, payload) VALUES(?, ?)", -1, &insert, nullptr);
    sqlite3_prepare_v2(db, "SELECT id, payload FROM r WHERE num = ?", -1, &by_number, nullptr);
    sqlite3_prepare_v2(db, "SELECT num, payload FROM r WHERE id = ?", -1, &by_id, nullptr);
    sqlite3_prepare_v2(db, "UPDATE r SET num = ?, payload = ? WHERE id = ?", -1, &update, nullptr);
    sqlite3_prepare_v2(db, "DELETE FROM r WHERE id = ?", -1, &del, nullptr);
  }
  void Close() {
    for (sqlite3_stmt* s : {insert, by_number, by_id, update, del}) sqlite3_finalize(s);
    sqlite3_close(db);
  }
  void Update(sqlite3_int64 id, std::uint32_t number, const std::string& payload) {
    sqlite3_bind_int64(update, 1, number);
    sqlite3_bind_blob(update, 2, payload.data(), static_cast<int>(payload.size()), SQLITE_STATIC);
    sqlite3_bind_int64(update, 3, id);
    sqlite3_step(update);
    sqlite3_reset(update);
  }
  std::size_t Read(sqlite3_stmt* s, sqlite3_int64 key, std::int64_t* other) {
    sqlite3_bind_int64(s, 1, key);
    std::size_t n = 0;
    if (sqlite3_step(s) == SQLITE_ROW) {
      *other = sqlite3_column_int64(s, 0);
      n = static_cast<std::size_t>(sqlite3_column_bytes(s, 1));
      sqlite3_column_blob(s, 1);
    }
    sqlite3_reset(s);
    return n;
  }
};

Peer g_peer;

std::vector<std::uint32_t> RandomNumbers(int n, std::uint32_t below, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint32_t> v(static_cast<std::size_t>(n));
  for (auto& x : v) x = rng() % below;
  return v;
}

void Record(benchmark::State& state, const std::string& name, double seconds) {
  g_seconds[name] = seconds;
  state.SetIterationTime(seconds);
}

// Each row runs once per side; the rows depend on each other (same volume).
void Append(benchmark::State& state, bool ours) {
  for (auto _ : state) {
    std::uint64_t t0 = os::MonotonicMicros();
    if (ours) {
      g_ours.Open();
      for (std::uint32_t n = 0; n < kRecords; ++n) g_ours.ids.push_back(g_ours.Write(0, n, Payload(n)));
    } else {
      g_peer.Open();
      for (std::uint32_t n = 0; n < kRecords; ++n) {
        std::string p = Payload(n);
        sqlite3_bind_int64(g_peer.insert, 1, n);
        sqlite3_bind_blob(g_peer.insert, 2, p.data(), static_cast<int>(p.size()), SQLITE_STATIC);
        sqlite3_step(g_peer.insert);
        sqlite3_reset(g_peer.insert);
        g_peer.ids.push_back(sqlite3_last_insert_rowid(g_peer.db));
      }
    }
    Record(state, std::string(ours ? "ours" : "peer") + "/append", (os::MonotonicMicros() - t0) / 1e6);
  }
}

void ReadByPosition(benchmark::State& state, bool ours) {
  std::vector<std::uint32_t> at = RandomNumbers(kReads, kRecords, 1);
  for (auto _ : state) {
    std::uint64_t t0 = os::MonotonicMicros(), sum = 0;
    for (std::uint32_t n : at) {
      if (ours) {
        std::uint32_t number = 0;
        CeSeekDatabaseEx(g_ours.db, CEDB_SEEK_BEGINNING, n, 0, nullptr);
        sum += g_ours.ReadCurrent(&number) + number;
      } else {
        std::int64_t id = 0;
        sum += g_peer.Read(g_peer.by_number, n, &id) + static_cast<std::uint64_t>(id);
      }
    }
    benchmark::DoNotOptimize(sum);
    Record(state, std::string(ours ? "ours" : "peer") + "/read_by_position", (os::MonotonicMicros() - t0) / 1e6);
  }
}

void ReadById(benchmark::State& state, bool ours) {
  std::vector<std::uint32_t> at = RandomNumbers(kReads, kRecords, 2);
  for (auto _ : state) {
    std::uint64_t t0 = os::MonotonicMicros(), sum = 0;
    for (std::uint32_t n : at) {
      if (ours) {
        std::uint32_t number = 0;
        CeSeekDatabaseEx(g_ours.db, CEDB_SEEK_CEOID, g_ours.ids[n], 0, nullptr);
        sum += g_ours.ReadCurrent(&number) + number;
      } else {
        std::int64_t number = 0;
        sum += g_peer.Read(g_peer.by_id, g_peer.ids[n], &number) + static_cast<std::uint64_t>(number);
      }
    }
    benchmark::DoNotOptimize(sum);
    Record(state, std::string(ours ? "ours" : "peer") + "/read_by_id", (os::MonotonicMicros() - t0) / 1e6);
  }
}

void Overwrite(benchmark::State& state, bool ours) {
  std::vector<std::uint32_t> at = RandomNumbers(kOverwrites, kRecords, 3);
  for (auto _ : state) {
    std::uint64_t t0 = os::MonotonicMicros();
    for (std::uint32_t n : at) {
      std::string p = Payload(n + 7);
      if (ours)
        g_ours.Write(g_ours.ids[n], n, p);
      else
        g_peer.Update(g_peer.ids[n], n, p);
    }
    Record(state, std::string(ours ? "ours" : "peer") + "/overwrite", (os::MonotonicMicros() - t0) / 1e6);
  }
}

// Deletes record 0, then rewrites every later record with its number
// lowered by one; each delete with its renumbering is one transaction.
void DeleteFront(benchmark::State& state, bool ours) {
  for (auto _ : state) {
    std::uint64_t t0 = os::MonotonicMicros();
    for (int d = 0; d < kFrontDeletes; ++d) {
      if (ours) {
        CeBeginTransaction(&g_ours.guid);
        CeDeleteRecord(g_ours.db, g_ours.ids.front());
        g_ours.ids.erase(g_ours.ids.begin());
        for (std::size_t n = 0; n < g_ours.ids.size(); ++n)
          g_ours.Write(g_ours.ids[n], static_cast<std::uint32_t>(n), Payload(static_cast<std::uint32_t>(n)));
        CeCommitTransaction(&g_ours.guid);
      } else {
        g_peer.Exec("BEGIN");
        sqlite3_bind_int64(g_peer.del, 1, g_peer.ids.front());
        sqlite3_step(g_peer.del);
        sqlite3_reset(g_peer.del);
        g_peer.ids.erase(g_peer.ids.begin());
        for (std::size_t n = 0; n < g_peer.ids.size(); ++n)
          g_peer.Update(g_peer.ids[n], static_cast<std::uint32_t>(n), Payload(static_cast<std::uint32_t>(n)));
        g_peer.Exec("COMMIT");
      }
    }
    Record(state, std::string(ours ? "ours" : "peer") + "/delete_front_renumber", (os::MonotonicMicros() - t0) / 1e6);
  }
}

// Each rewrite takes one 24-byte entry out of a block and puts one in at
// another place, as an index insertion next to a removal does.
std::vector<std::string> InitialBlocks() {
  std::vector<std::string> blocks(kBlocks);
  for (int b = 0; b < kBlocks; ++b)
    for (std::size_t i = 0; i < kBlockBytes / 24; ++i) {
      char e[24];
      std::uint32_t v[6] = {std::uint32_t(b), std::uint32_t(i), 0x31000000u + std::uint32_t(i), 7, std::uint32_t(i * 13), 0};
      std::memcpy(e, v, 24);
      blocks[b].append(e, 24);
    }
  return blocks;
}

void RewriteLargeInPlace(benchmark::State& state, bool ours) {
  std::vector<std::string> blocks = InitialBlocks();
  std::mt19937 rng(4);
  std::vector<CEOID> oids;
  std::vector<sqlite3_int64> rows;
  HANDLE db = INVALID_HANDLE_VALUE;
  sqlite3_stmt* update = nullptr;
  if (ours) {
    db = g_ours.CreateAndOpen(u'b');
    std::swap(db, g_ours.db);
    for (int b = 0; b < kBlocks; ++b) oids.push_back(g_ours.Write(0, b + 1, blocks[b]));
  } else {
    g_peer.Exec("CREATE TABLE b(id INTEGER PRIMARY KEY, num INTEGER NOT NULL, payload BLOB)");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(g_peer.db, "INSERT INTO b(num, payload) VALUES(?, ?)", -1, &insert, nullptr);
    for (int b = 0; b < kBlocks; ++b) {
      sqlite3_bind_int64(insert, 1, b + 1);
      sqlite3_bind_blob(insert, 2, blocks[b].data(), static_cast<int>(blocks[b].size()), SQLITE_STATIC);
      sqlite3_step(insert);
      sqlite3_reset(insert);
      rows.push_back(sqlite3_last_insert_rowid(g_peer.db));
    }
    sqlite3_finalize(insert);
    sqlite3_prepare_v2(g_peer.db, "UPDATE b SET num = ?, payload = ? WHERE id = ?", -1, &update, nullptr);
  }
  for (auto _ : state) {
    std::uint64_t t0 = os::MonotonicMicros();
    for (int i = 0; i < kBlockRewrites; ++i) {
      int b = static_cast<int>(rng() % kBlocks);
      std::string& block = blocks[b];
      std::size_t entries = block.size() / 24;
      std::string entry = block.substr((rng() % entries) * 24, 24);
      block.erase((rng() % entries) * 24, 24);
      block.insert((rng() % entries) * 24, entry);
      if (ours) {
        g_ours.Write(oids[b], static_cast<std::uint32_t>(b + 1), block);
      } else {
        sqlite3_bind_int64(update, 1, b + 1);
        sqlite3_bind_blob(update, 2, block.data(), static_cast<int>(block.size()), SQLITE_STATIC);
        sqlite3_bind_int64(update, 3, rows[b]);
        sqlite3_step(update);
        sqlite3_reset(update);
      }
    }
    Record(state, std::string(ours ? "ours" : "peer") + "/rewrite_large_in_place",
           (os::MonotonicMicros() - t0) / 1e6);
  }
  if (ours) {
    // What is stored must be what was written.
    CeSeekDatabaseEx(g_ours.db, CEDB_SEEK_CEOID, oids[5], 0, nullptr);
    WORD count = 0;
    LPBYTE buf = nullptr;
    DWORD size = 0;
    CeReadRecordPropsEx(g_ours.db, CEDB_ALLOWREALLOC, &count, nullptr, &buf, &size, nullptr);
    CEPROPVAL* v = reinterpret_cast<CEPROPVAL*>(buf);
    if (std::string(reinterpret_cast<char*>(v[1].val.blob.lpb), v[1].val.blob.dwCount) != blocks[5])
      state.SkipWithError("a rewritten record differs");
    LocalFree(buf);
    std::swap(db, g_ours.db);
    CeCloseDatabase(db);
  } else {
    sqlite3_finalize(update);
  }
}

void Finish(benchmark::State& state, bool ours) {
  for (auto _ : state) {
    if (ours) {
      // Every record must still be where the renumbering put it.
      std::uint32_t number = 0;
      CeSeekDatabaseEx(g_ours.db, CEDB_SEEK_BEGINNING, 100, 0, nullptr);
      g_ours.ReadCurrent(&number);
      if (number != 100) state.SkipWithError("renumbering lost its order");
      g_ours.Close();
    } else {
      g_peer.Close();
    }
  }
}

void Register(const char* row, void (*fn)(benchmark::State&, bool)) {
  for (bool ours : {true, false}) {
    std::string name = std::string(ours ? "cedb/" : "sqlite/") + row;
    benchmark::RegisterBenchmark(name.c_str(), fn, ours)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Registration order is run order: each side builds its data first.
  Register("append", Append);
  Register("read_by_position", ReadByPosition);
  Register("read_by_id", ReadById);
  Register("overwrite", Overwrite);
  Register("delete_front_renumber", DeleteFront);
  Register("rewrite_large_in_place", RewriteLargeInPlace);
  Register("finish", Finish);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  for (const char* row :
       {"append", "read_by_position", "read_by_id", "overwrite", "delete_front_renumber", "rewrite_large_in_place"}) {
    auto o = g_seconds.find(std::string("ours/") + row), p = g_seconds.find(std::string("peer/") + row);
    if (o == g_seconds.end() || p == g_seconds.end()) continue;
    std::printf("BENCH cedb/%s ours=%.6f peer=%.6f ratio=%.3f\n", row, o->second, p->second,
                p->second > 0 ? o->second / p->second : 0.0);
  }
  os::RemoveTree(Dir());
  return 0;
}
