// Behaviour of the CE database calls on one volume: the record work the
// record layer does, errors, transactions, damaged files and compaction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "cedb_test_util.h"

using namespace cedbtest;
namespace os = platform::os;

class CedbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("cedb");
    path_ = os::JoinPath(dir_, "Reader.vol");
    ASSERT_TRUE(Mount(path_, &guid_));
  }
  void TearDown() override {
    CeUnmountDBVol(&guid_);
    os::RemoveTree(dir_);
  }
  void Remount() {
    ASSERT_TRUE(CeUnmountDBVol(&guid_));
    ASSERT_TRUE(Mount(path_, &guid_));
  }
  std::string dir_, path_;
  CEGUID guid_;
};

TEST_F(CedbTest, RecordWorkOfTheRecordLayer) {
  CEOID dbid = CreateDb(&guid_, "TavoRss");
  ASSERT_NE(dbid, 0u);
  CEOID opened = 0;
  HANDLE db = OpenDb(&guid_, "TavoRss", &opened);
  ASSERT_NE(db, INVALID_HANDLE_VALUE);
  EXPECT_EQ(opened, dbid);

  std::vector<CEOID> ids;
  for (std::uint32_t n = 0; n < 70; ++n) {
    CEOID id = Write(db, 0, n, "payload " + std::to_string(n));
    ASSERT_NE(id, 0u);
    ids.push_back(id);
  }
  EXPECT_EQ(Count(&guid_, dbid), 70u);

  struct Case { DWORD seek_type; DWORD value; std::uint32_t number; };
  const Case cases[] = {
      {CEDB_SEEK_BEGINNING, 0, 0}, {CEDB_SEEK_BEGINNING, 66, 66}, {CEDB_SEEK_BEGINNING, 69, 69},
      {CEDB_SEEK_CEOID, ids[5], 5}, {CEDB_SEEK_CEOID, ids[69], 69}, {CEDB_SEEK_END, 0, 69},
  };
  for (const Case& c : cases) {
    DWORD index = 12345;
    CEOID got = CeSeekDatabaseEx(db, c.seek_type, c.value, 0, &index);
    EXPECT_EQ(got, ids[c.number]) << c.seek_type << "/" << c.value;
    EXPECT_EQ(index, c.number);
    Rec r;
    ASSERT_TRUE(ReadCurrent(db, &r));
    EXPECT_EQ(r.number, c.number);
    EXPECT_EQ(r.payload, "payload " + std::to_string(c.number));
  }
  // Auto-increment: consecutive reads walk the sort order.
  Rec a, b;
  ASSERT_TRUE(ReadAtPosition(db, 10, &a));
  ASSERT_TRUE(ReadCurrent(db, &b));
  EXPECT_EQ(a.number, 10u);
  EXPECT_EQ(b.number, 11u);

  // Overwrite by identifier keeps the identifier and position.
  EXPECT_EQ(Write(db, ids[7], 7, std::string(65280, 'x')), ids[7]);
  Rec r;
  ASSERT_TRUE(ReadAtPosition(db, 7, &r));
  EXPECT_EQ(r.oid, ids[7]);
  EXPECT_EQ(r.payload.size(), 65280u);

  // Delete record 3 and renumber the later ones, as the record layer does.
  ASSERT_TRUE(CeDeleteRecord(db, ids[3]));
  for (std::uint32_t n = 4; n < 70; ++n) {
    ASSERT_TRUE(CeSeekDatabaseEx(db, CEDB_SEEK_CEOID, ids[n], 0, nullptr));
    Rec old;
    ASSERT_TRUE(ReadCurrent(db, &old));
    ASSERT_EQ(Write(db, ids[n], n - 1, old.payload), ids[n]);
  }
  EXPECT_EQ(Count(&guid_, dbid), 69u);
  std::vector<Rec> all = ReadAll(db);
  ASSERT_EQ(all.size(), 69u);
  for (std::uint32_t n = 0; n < 69; ++n) {
    EXPECT_EQ(all[n].number, n);
    EXPECT_EQ(all[n].oid, ids[n < 3 ? n : n + 1]);
  }
  // Past the end.
  EXPECT_EQ(CeSeekDatabaseEx(db, CEDB_SEEK_BEGINNING, 69, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEEK));
  EXPECT_EQ(CeSeekDatabaseEx(db, CEDB_SEEK_CEOID, ids[3], 0, nullptr), 0u);

  // Everything survives a remount, and deleted identifiers are not reused.
  CeCloseDatabase(db);
  Remount();
  db = OpenDb(&guid_, "TavoRss");
  ASSERT_NE(db, INVALID_HANDLE_VALUE);
  std::vector<Rec> again = ReadAll(db);
  ASSERT_EQ(again.size(), all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(again[i].oid, all[i].oid);
    EXPECT_EQ(again[i].payload, all[i].payload);
  }
  CEOID fresh = Write(db, 0, 69, "new");
  for (CEOID id : ids) EXPECT_NE(fresh, id);
  CeCloseDatabase(db);

  // Delete the database; its name is free again and the old handle is dead.
  HANDLE stale = OpenDb(&guid_, "TavoRss");
  ASSERT_TRUE(CeDeleteDatabaseEx(&guid_, dbid));
  EXPECT_EQ(CeSeekDatabaseEx(stale, CEDB_SEEK_BEGINNING, 0, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CeCloseDatabase(stale);
  EXPECT_EQ(OpenDb(&guid_, "TavoRss"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_NE(CreateDb(&guid_, "TavoRss"), 0u);
}

TEST_F(CedbTest, ManyDatabasesOnOneVolumeStaySeparate) {
  std::map<std::string, HANDLE> dbs;
  for (const char* name : {"TavoPrefs", "TavoInfo", "channel-1", "channel-2"}) {
    ASSERT_NE(CreateDb(&guid_, name), 0u);
    dbs[name] = OpenDb(&guid_, name);
  }
  for (int n = 0; n < 5; ++n)
    for (auto& kv : dbs) ASSERT_NE(Write(kv.second, 0, n, kv.first), 0u);
  Remount();
  for (auto& kv : dbs) {
    HANDLE h = OpenDb(&guid_, kv.first);
    std::vector<Rec> all = ReadAll(h);
    ASSERT_EQ(all.size(), 5u) << kv.first;
    for (const Rec& r : all) EXPECT_EQ(r.payload, kv.first);
    CeCloseDatabase(h);
  }
  CEOIDINFOEX info = {};
  ASSERT_TRUE(CeOidGetInfoEx2(&guid_, CreateDb(&guid_, "sized"), &info));
  EXPECT_EQ(info.infDatabase.dwSize, 0u);
  HANDLE sized = OpenDb(&guid_, "sized");
  CEOID rec = Write(sized, 0, 1, std::string(1000, 's'));
  ASSERT_TRUE(CeOidGetInfoEx2(&guid_, rec, &info));
  EXPECT_EQ(info.wObjType, OBJTYPE_RECORD);
  CEOID parent = info.infRecord.oidParent;
  ASSERT_TRUE(CeOidGetInfoEx2(&guid_, parent, &info));
  EXPECT_GT(info.infDatabase.dwSize, 1000u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(info.infDatabase.szDbaseName)), u"sized");
  ASSERT_TRUE(CeDeleteRecord(sized, rec));
  ASSERT_TRUE(CeOidGetInfoEx2(&guid_, parent, &info));
  EXPECT_EQ(info.infDatabase.dwSize, 0u);
  EXPECT_EQ(info.infDatabase.dwNumRecords, 0u);
  CeCloseDatabase(sized);
  // Names compare without case, as on the device.
  EXPECT_EQ(CreateDb(&guid_, "tavoprefs"), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DUP_NAME));
}

TEST_F(CedbTest, ErrorsCarryCeCodes) {
  CEOID dbid = CreateDb(&guid_, "db");
  HANDLE db = OpenDb(&guid_, "db");
  CEOID rec = Write(db, 0, 1, "x");
  ASSERT_NE(rec, 0u);
  CEPROPVAL stream = {};
  stream.propid = MAKELONG(100, 2);  // CEVT_STREAM: not supported
  CEPROPVAL big = {};
  std::string bytes(CEDB_MAXPROPDATASIZE + 1, 'b');
  big.propid = MAKELONG(CEVT_BLOB, 1);
  big.val.blob.dwCount = static_cast<DWORD>(bytes.size());
  big.val.blob.lpb = reinterpret_cast<LPBYTE>(&bytes[0]);
  CEGUID bad_guid;
  CREATE_INVALIDGUID(&bad_guid);
  int dummy = 0;
  struct Case { const char* what; bool ok; DWORD error; };
  const Case cases[] = {
      {"unsupported property type", CeWriteRecordProps(db, 0, 1, &stream) != 0, ERROR_INVALID_PARAMETER},
      {"value above the limit", CeWriteRecordProps(db, 0, 1, &big) != 0, ERROR_INVALID_PARAMETER},
      {"write to unknown record", Write(db, rec + 1000, 1, "x") != 0, ERROR_INVALID_PARAMETER},
      {"delete unknown record", CeDeleteRecord(db, rec + 1000) != FALSE, ERROR_INVALID_PARAMETER},
      {"delete record twice", CeDeleteRecord(db, rec) && CeDeleteRecord(db, rec), ERROR_INVALID_PARAMETER},
      {"duplicate database", CreateDb(&guid_, "db") != 0, ERROR_DUP_NAME},
      {"open missing database", OpenDb(&guid_, "nope") != INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND},
      {"unmounted guid", CreateDb(&bad_guid, "x") != 0, ERROR_INVALID_PARAMETER},
      {"garbage handle", CeSeekDatabaseEx(&dummy, CEDB_SEEK_BEGINNING, 0, 0, nullptr) != 0, ERROR_INVALID_HANDLE},
      {"delete unknown database", CeDeleteDatabaseEx(&guid_, dbid + 5000) != FALSE, ERROR_INVALID_PARAMETER},
      {"open existing volume that is missing",
       Mount(os::JoinPath(dir_, "none.vol"), &bad_guid, OPEN_EXISTING), ERROR_FILE_NOT_FOUND},
      {"create new on an existing volume", Mount(path_, &bad_guid, CREATE_NEW), ERROR_FILE_EXISTS},
      {"commit without begin", CeCommitTransaction(&guid_) != FALSE, ERROR_INVALID_OPERATION},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.ok) << c.what;
  }
  // Error codes are checked one by one, right after each call.
  EXPECT_EQ(CeWriteRecordProps(db, 0, 1, &stream), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(OpenDb(&guid_, "nope"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(Mount(path_, &bad_guid, CREATE_NEW));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_FALSE(CeCommitTransaction(&guid_));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_OPERATION));
  EXPECT_EQ(CeSeekDatabaseEx(&dummy, CEDB_SEEK_BEGINNING, 0, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  // A failed call changed nothing.
  EXPECT_EQ(Count(&guid_, dbid), 0u);
  CeCloseDatabase(db);
}

TEST_F(CedbTest, ReadBufferRulesAndPropertyTypes) {
  CreateDb(&guid_, "db");
  HANDLE db = OpenDb(&guid_, "db");
  std::u16string text = u"Grüße";
  CEPROPVAL v[4] = {};
  v[0].propid = MAKELONG(CEVT_UI4, 0);
  v[0].val.ulVal = 0xFFFFFFF0u;
  v[1].propid = MAKELONG(CEVT_LPWSTR, 2);
  v[1].val.lpwstr = reinterpret_cast<LPWSTR>(&text[0]);
  v[2].propid = MAKELONG(CEVT_I4, 3);
  v[2].val.lVal = -7;
  v[3].propid = MAKELONG(CEVT_BLOB, 1);
  v[3].val.blob.dwCount = 0;
  CEOID oid = CeWriteRecordProps(db, 0, 4, v);
  ASSERT_NE(oid, 0u);

  // Too small a buffer without reallocation: the needed size comes back.
  BYTE small[8];
  LPBYTE buf = small;
  DWORD size = sizeof small;
  WORD count = 0;
  ASSERT_TRUE(CeSeekDatabaseEx(db, CEDB_SEEK_BEGINNING, 0, 0, nullptr));
  EXPECT_EQ(CeReadRecordPropsEx(db, 0, &count, nullptr, &buf, &size, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_GT(size, 4 * sizeof(CEPROPVAL));

  // Chosen properties, one missing.
  CEPROPID want[3] = {static_cast<CEPROPID>(MAKELONG(CEVT_LPWSTR, 2)), static_cast<CEPROPID>(MAKELONG(CEVT_I4, 9)),
                      static_cast<CEPROPID>(MAKELONG(CEVT_I4, 3))};
  count = 3;
  buf = nullptr;
  size = 0;
  ASSERT_EQ(CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, want, &buf, &size, nullptr), oid);
  CEPROPVAL* got = reinterpret_cast<CEPROPVAL*>(buf);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(got[0].val.lpwstr)), text);
  EXPECT_EQ(got[1].wFlags & CEDB_PROPNOTFOUND, CEDB_PROPNOTFOUND);
  EXPECT_EQ(got[2].val.lVal, -7);
  LocalFree(buf);

  // Property delete and merge: unnamed properties stay.
  CEPROPVAL del = {};
  del.propid = MAKELONG(CEVT_LPWSTR, 2);
  del.wFlags = CEDB_PROPDELETE;
  ASSERT_EQ(CeWriteRecordProps(db, oid, 1, &del), oid);
  ASSERT_TRUE(CeSeekDatabaseEx(db, CEDB_SEEK_CEOID, oid, 0, nullptr));
  count = 0;
  buf = nullptr;
  ASSERT_EQ(CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, nullptr, &buf, &size, nullptr), oid);
  EXPECT_EQ(count, 3);
  got = reinterpret_cast<CEPROPVAL*>(buf);
  EXPECT_EQ(got[0].val.ulVal, 0xFFFFFFF0u);
  LocalFree(buf);
  CeCloseDatabase(db);
}

TEST_F(CedbTest, TransactionIsAllOrNothing) {
  CEOID dbid = CreateDb(&guid_, "db");
  HANDLE db = OpenDb(&guid_, "db");
  ASSERT_TRUE(CeBeginTransaction(&guid_));
  ASSERT_TRUE(CeBeginTransaction(&guid_));  // nested
  for (int n = 0; n < 3; ++n) ASSERT_NE(Write(db, 0, n, "a"), 0u);
  EXPECT_EQ(Count(&guid_, dbid), 3u);  // own writes are visible at once
  ASSERT_TRUE(CeCommitTransaction(&guid_));
  ASSERT_TRUE(CeCommitTransaction(&guid_));
  EXPECT_FALSE(CeCommitTransaction(&guid_));

  ASSERT_TRUE(CeBeginTransaction(&guid_));
  ASSERT_NE(Write(db, 0, 3, "b"), 0u);
  ASSERT_TRUE(CeDeleteRecord(db, ReadAll(db)[0].oid));
  ASSERT_TRUE(CeRollbackTransaction(&guid_));
  EXPECT_EQ(Count(&guid_, dbid), 3u);
  EXPECT_EQ(ReadAll(db).size(), 3u);

  // While one thread holds a bracket, another thread's write waits for it.
  ASSERT_TRUE(CeBeginTransaction(&guid_));
  ASSERT_NE(Write(db, 0, 10, "t"), 0u);
  std::thread other([&] {
    HANDLE h = OpenDb(&guid_, "db");
    EXPECT_EQ(Count(&guid_, dbid), 5u);  // sees the whole bracket or nothing: it waits
    Write(h, 0, 20, "o");
    CeCloseDatabase(h);
  });
  os::SleepMillis(50);
  ASSERT_NE(Write(db, 0, 11, "t"), 0u);
  ASSERT_TRUE(CeCommitTransaction(&guid_));
  other.join();
  EXPECT_EQ(Count(&guid_, dbid), 6u);
  CeCloseDatabase(db);
  Remount();
  EXPECT_EQ(Count(&guid_, dbid), 6u);
}

TEST_F(CedbTest, ConcurrentThreadsLoseNothing) {
  CEOID dbid = CreateDb(&guid_, "db");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      HANDLE h = OpenDb(&guid_, "db");
      for (int n = 0; n < 100; ++n) Write(h, 0, static_cast<std::uint32_t>(t * 1000 + n), "p");
      CeCloseDatabase(h);
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(Count(&guid_, dbid), 400u);
}

TEST_F(CedbTest, ChurnIsCompacted) {
  CreateDb(&guid_, "db");
  HANDLE db = OpenDb(&guid_, "db");
  std::string payload(1000, 'c');
  std::vector<CEOID> ids;
  for (int n = 0; n < 100; ++n) ids.push_back(Write(db, 0, n, payload));
  for (int round = 0; round < 100; ++round)
    for (int n = 0; n < 100; ++n) ASSERT_EQ(Write(db, ids[n], n, payload), ids[n]);
  // About 10 MB were written; the live data is about 100 KB.
  CEVOLUMEREPORT rep = {};
  rep.cbSize = sizeof rep;
  ASSERT_TRUE(CeGetVolumeReport(&guid_, &rep));
  EXPECT_LT(rep.dwFileBytes, 2u * 1024 * 1024);
  std::uint64_t size = 0;
  os::FileHandle f;
  ASSERT_EQ(os::OpenFile(path_, os::kOpenRead, &f), os::kOk);
  os::GetFileSize(f, &size);
  os::CloseFile(f);
  EXPECT_LT(size, 2u * 1024 * 1024);
  CeCloseDatabase(db);
  Remount();
  db = OpenDb(&guid_, "db");
  EXPECT_EQ(ReadAll(db).size(), 100u);
  CeCloseDatabase(db);
}

// Damaged files: every cut and every flipped byte of a small volume either
// mounts with a prefix of the committed writes or fails with a clear code.
TEST_F(CedbTest, DamagedVolumesMountWithIntactPrefix) {
  CreateDb(&guid_, "db");
  HANDLE db = OpenDb(&guid_, "db");
  for (int n = 0; n < 20; ++n) Write(db, 0, n, "record " + std::to_string(n));
  CeCloseDatabase(db);
  ASSERT_TRUE(CeUnmountDBVol(&guid_));
  std::string good;
  ASSERT_EQ(os::ReadWholeFile(path_, &good), os::kOk);
  std::string damaged_path = os::JoinPath(dir_, "damaged.vol");

  auto check = [&](const std::string& bytes, const std::string& what) {
    ASSERT_EQ(os::WriteWholeFile(damaged_path, bytes), os::kOk);
    CEGUID g;
    if (!Mount(damaged_path, &g)) {
      DWORD err = GetLastError();
      EXPECT_TRUE(err == ERROR_BAD_FORMAT) << what << " error " << err;
      return;
    }
    HANDLE h = OpenDb(&g, "db");
    if (h != INVALID_HANDLE_VALUE) {
      std::vector<Rec> all = ReadAll(h);
      for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].number, i) << what;
        EXPECT_EQ(all[i].payload, "record " + std::to_string(i)) << what;
      }
      CeCloseDatabase(h);
    }
    CeUnmountDBVol(&g);
  };
  for (std::size_t cut = 0; cut < good.size(); cut += 7) check(good.substr(0, cut), "cut " + std::to_string(cut));
  for (std::size_t at = 0; at < good.size(); at += 5) {
    std::string b = good;
    b[at] = static_cast<char>(b[at] ^ 0x41);
    check(b, "flip " + std::to_string(at));
  }
  check(std::string(5000, '\xAB'), "foreign");
  // What a crash while creating a volume can leave: it mounts as a new volume.
  for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{40}, std::size_t{64}}) {
    std::string remains = good.substr(0, 64);
    std::fill(remains.begin(), remains.begin() + 32, '\0');
    ASSERT_EQ(os::WriteWholeFile(damaged_path, cut == 0 ? std::string(64, '\0') : remains.substr(0, cut)), os::kOk);
    CEGUID fresh;
    ASSERT_TRUE(Mount(damaged_path, &fresh)) << "cut " << cut << " error " << GetLastError();
    EXPECT_NE(CreateDb(&fresh, "db"), 0u);
    CeUnmountDBVol(&fresh);
  }
  // A file that is no volume is refused, and left as it was.
  ASSERT_EQ(os::WriteWholeFile(damaged_path, std::string(5000, '\xAB')), os::kOk);
  CEGUID foreign;
  EXPECT_FALSE(Mount(damaged_path, &foreign));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));
  std::string after;
  os::ReadWholeFile(damaged_path, &after);
  EXPECT_EQ(after, std::string(5000, '\xAB'));
  check("<?xml version=\"1.0\"?><rss></rss>", "foreign text");

  // A cut in the last batch is reported, and the next write overwrites it.
  ASSERT_EQ(os::WriteWholeFile(damaged_path, good.substr(0, good.size() - 3)), os::kOk);
  CEGUID g;
  ASSERT_TRUE(Mount(damaged_path, &g));
  CEVOLUMEREPORT rep = {};
  rep.cbSize = sizeof rep;
  ASSERT_TRUE(CeGetVolumeReport(&g, &rep));
  EXPECT_GT(rep.dwDroppedBytes, 0u);
  std::string cut_file;
  os::ReadWholeFile(damaged_path, &cut_file);
  EXPECT_EQ(cut_file.size() + rep.dwDroppedBytes, good.size() - 3);  // the torn batch is gone from the file
  HANDLE h = OpenDb(&g, "db");
  EXPECT_EQ(ReadAll(h).size(), 19u);
  ASSERT_NE(Write(h, 0, 19, "record 19"), 0u);
  CeCloseDatabase(h);
  CeUnmountDBVol(&g);
  ASSERT_TRUE(Mount(damaged_path, &g));
  h = OpenDb(&g, "db");
  EXPECT_EQ(ReadAll(h).size(), 20u);
  CeCloseDatabase(h);
  CeUnmountDBVol(&g);
}

TEST_F(CedbTest, DatabasesAreListed) {
  struct Db { const char* name; DWORD type; };
  const Db dbs[] = {{"TavoRss", 0}, {"TavoPrefs", 7}, {"channel-1", 7}, {"gone", 7}};
  std::map<CEOID, std::string> made;
  for (const Db& d : dbs) {
    CEDBASEINFOEX info = {};
    info.wVersion = CEDBASEINFOEX_VERSION;
    info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE;
    std::u16string n = W(d.name);
    for (std::size_t i = 0; i < n.size(); ++i) info.szDbaseName[i] = n[i];
    info.dwDbaseType = d.type;
    CEOID oid = CeCreateDatabaseEx2(&guid_, &info);
    ASSERT_NE(oid, 0u);
    made[oid] = d.name;
  }
  auto list = [&](DWORD type, bool delete_gone_midway) {
    std::vector<std::string> names;
    HANDLE e = CeFindFirstDatabaseEx(&guid_, type);
    EXPECT_NE(e, INVALID_HANDLE_VALUE);
    if (delete_gone_midway) {
      for (auto& kv : made) {
        if (kv.second == "gone") {
          EXPECT_TRUE(CeDeleteDatabaseEx(&guid_, kv.first));
        }
      }
    }
    for (CEOID oid; (oid = CeFindNextDatabaseEx(e, &guid_)) != 0;) names.push_back(made[oid]);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(CeFindNextDatabaseEx(e, &guid_), 0u);  // stays at the end
    EXPECT_TRUE(CeCloseDatabase(e));
    return names;
  };
  EXPECT_EQ(list(0, false), (std::vector<std::string>{"TavoRss", "TavoPrefs", "channel-1", "gone"}));
  EXPECT_EQ(list(7, true), (std::vector<std::string>{"TavoPrefs", "channel-1"}));
  Remount();
  EXPECT_EQ(list(0, false), (std::vector<std::string>{"TavoRss", "TavoPrefs", "channel-1"}));
  EXPECT_EQ(CeFindNextDatabaseEx(nullptr, &guid_), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CEGUID bad;
  CREATE_INVALIDGUID(&bad);
  EXPECT_EQ(CeFindFirstDatabaseEx(&bad, 0), INVALID_HANDLE_VALUE);
}

TEST_F(CedbTest, StampsChangeWithEveryChangeAndAreNeverReused) {
  CreateDb(&guid_, "a");
  CreateDb(&guid_, "b");
  HANDLE a = OpenDb(&guid_, "a");
  HANDLE b = OpenDb(&guid_, "b");
  std::set<CEDBSTAMP> seen;
  auto stamp = [&](HANDLE h) {
    CEDBSTAMP s = 0;
    EXPECT_TRUE(CeGetDatabaseStamp(h, &s));
    return s;
  };
  CEDBSTAMP s = stamp(a);
  seen.insert(s);
  EXPECT_EQ(stamp(a), s);  // reading changes nothing
  CEOID rec = Write(a, 0, 0, "one");
  struct Step { const char* what; std::function<void()> change; bool changes_a; };
  const std::vector<Step> steps = {
      {"write to the other database", [&] { Write(b, 0, 0, "x"); }, false},
      {"new record", [&] { Write(a, 0, 1, "two"); }, true},
      {"rewrite", [&] { Write(a, rec, 0, "uno"); }, true},
      {"rewrite with the same bytes", [&] { Write(a, rec, 0, "uno"); }, true},
      {"delete", [&] { CeDeleteRecord(a, rec); }, true},
      {"remount", [&] {
         CeCloseDatabase(a);
         CeCloseDatabase(b);
         Remount();
         a = OpenDb(&guid_, "a");
         b = OpenDb(&guid_, "b");
       }, true},
  };
  s = stamp(a);
  for (const Step& step : steps) {
    step.change();
    CEDBSTAMP now = stamp(a);
    EXPECT_EQ(now != s, step.changes_a) << step.what;
    EXPECT_TRUE(now == s || seen.insert(now).second) << step.what << ": a stamp came back";
    s = now;
  }
  // Inside a write bracket the stamp shows the bracket's writes; a rollback
  // gives a stamp seen neither before nor inside.
  ASSERT_TRUE(CeBeginTransaction(&guid_));
  Write(a, 0, 5, "in the bracket");
  CEDBSTAMP inside = stamp(a);
  EXPECT_TRUE(seen.insert(inside).second);
  ASSERT_TRUE(CeRollbackTransaction(&guid_));
  EXPECT_TRUE(seen.insert(stamp(a)).second);
  EXPECT_EQ(ReadAll(a).size(), 1u);
  CeCloseDatabase(a);
  CeCloseDatabase(b);
}

TEST_F(CedbTest, ReadBracketRefusesWritesAndNestsInAWriteBracket) {
  CEOID dbid = CreateDb(&guid_, "db");
  HANDLE db = OpenDb(&guid_, "db");
  ASSERT_NE(Write(db, 0, 0, "a"), 0u);
  ASSERT_TRUE(CeBeginReadTransaction(&guid_));
  ASSERT_TRUE(CeBeginReadTransaction(&guid_));
  EXPECT_EQ(ReadAll(db).size(), 1u);
  EXPECT_EQ(Write(db, 0, 1, "b"), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_OPERATION));
  EXPECT_FALSE(CeBeginTransaction(&guid_));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_OPERATION));
  ASSERT_TRUE(CeCommitTransaction(&guid_));
  EXPECT_EQ(Write(db, 0, 1, "b"), 0u);  // still inside the outer read bracket
  ASSERT_TRUE(CeCommitTransaction(&guid_));
  EXPECT_FALSE(CeCommitTransaction(&guid_));
  ASSERT_NE(Write(db, 0, 1, "b"), 0u);
  // A read bracket inside a write bracket is part of it.
  ASSERT_TRUE(CeBeginTransaction(&guid_));
  ASSERT_TRUE(CeBeginReadTransaction(&guid_));
  ASSERT_NE(Write(db, 0, 2, "c"), 0u);
  ASSERT_TRUE(CeCommitTransaction(&guid_));
  ASSERT_NE(Write(db, 0, 3, "d"), 0u);
  ASSERT_TRUE(CeRollbackTransaction(&guid_));
  EXPECT_EQ(Count(&guid_, dbid), 2u);
  CeCloseDatabase(db);
}

TEST_F(CedbTest, RewritingALargeRecordLogsOnlyWhatChanged) {
  CreateDb(&guid_, "db");
  HANDLE db = OpenDb(&guid_, "db");
  std::string block;
  for (int i = 0; i < 2500; ++i) block += "entry-" + std::to_string(100000 + i) + "-x-";  // ~45 KB
  CEOID oid = Write(db, 0, 1, block);
  ASSERT_NE(oid, 0u);
  auto file_bytes = [&] {
    CEVOLUMEREPORT rep = {};
    rep.cbSize = sizeof rep;
    EXPECT_TRUE(CeGetVolumeReport(&guid_, &rep));
    return rep.dwFileBytes;
  };
  DWORD before = file_bytes();
  std::mt19937 rng(5);
  const int kEdits = 200;
  for (int i = 0; i < kEdits; ++i) {
    std::size_t at = rng() % block.size();
    if (rng() % 3 == 0)
      block.erase(at, 16);
    else
      block.insert(at, "inserted-24-bytes-......");
    ASSERT_EQ(Write(db, oid, static_cast<std::uint32_t>(i % 3), block), oid);
  }
  // Each edit costs its new bytes and a little framing, not the record.
  EXPECT_LT(file_bytes() - before, DWORD(kEdits * 120));
  Rec r;
  ASSERT_TRUE(ReadAtPosition(db, 0, &r));
  EXPECT_EQ(r.payload, block);
  CeCloseDatabase(db);
  Remount();
  db = OpenDb(&guid_, "db");
  ASSERT_TRUE(ReadAtPosition(db, 0, &r));
  EXPECT_EQ(r.payload, block);
  EXPECT_EQ(r.number, static_cast<std::uint32_t>((kEdits - 1) % 3));
  CeCloseDatabase(db);
}

// Two mounts of one file (another spelling of its path) behave as two
// processes: each sees what the other committed at its next call, through
// commits and compactions alike.
TEST_F(CedbTest, AnotherMountsCommitsAreSeenAtTheNextCall) {
  CEOID dbid = CreateDb(&guid_, "db");
  CEGUID other;
  ASSERT_TRUE(Mount(dir_ + "/./Reader.vol", &other));
  ASSERT_NE(other.Data1, guid_.Data1);  // a mount of its own
  HANDLE mine = OpenDb(&guid_, "db");
  HANDLE theirs = OpenDb(&other, "db");
  std::string payload(3000, 'p');
  std::vector<CEOID> ids;
  for (std::uint32_t n = 0; n < 400; ++n) {
    HANDLE writer = n % 2 ? mine : theirs;
    HANDLE reader = n % 2 ? theirs : mine;
    CEGUID* reader_guid = n % 2 ? &other : &guid_;
    ids.push_back(Write(writer, 0, n, payload + std::to_string(n)));
    ASSERT_NE(ids.back(), 0u);
    if (n >= 10) {
      ASSERT_TRUE(CeDeleteRecord(writer, ids[n - 10]));  // churn: the log outgrows the data
    }
    EXPECT_EQ(Count(reader_guid, dbid), n >= 10 ? 10u : n + 1) << n;
    Rec r;
    ASSERT_TRUE(ReadAtPosition(reader, n >= 10 ? 9 : n, &r)) << n;
    EXPECT_EQ(r.payload, payload + std::to_string(n));
  }
  CEVOLUMEREPORT rep = {};
  rep.cbSize = sizeof rep;
  ASSERT_TRUE(CeGetVolumeReport(&other, &rep));
  EXPECT_LT(rep.dwFileBytes, 1000u * 3000);  // compacted on the way: 1.2 MB were written
  CeCloseDatabase(mine);
  CeCloseDatabase(theirs);
  CeUnmountDBVol(&other);
}
