// Crash and multi-process behaviour. The test binary is also its own child
// process: "--crash-child" runs a workload until it is killed (natively the
// test forks that child instead), "--counter-child" increments a shared
// counter inside transactions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "cedb_test_util.h"
#include "../volume_file.h"

using namespace cedbtest;
namespace os = platform::os;

namespace {

#ifdef _WIN32
constexpr int kKills = 12;  // process start under Wine is slow
constexpr int kCounterSteps = 40;
constexpr int kKillDelayMin = 15, kKillDelaySpread = 60;  // ms
#else
constexpr int kKills = 300;
constexpr int kCounterSteps = 200;
constexpr int kKillDelayMin = 1, kKillDelaySpread = 30;  // ms; a forked child works at once
#endif

// ---- The crash workload ----------------------------------------------------
// Operation i (one transaction) works on kSlots groups of three records
// (numbers 4s, 4s+1, 4s+2); what it does follows from i alone, so a child
// resumes at any i and the parent steps its model from where it last was.
// It writes group `write` at version i; one operation in three also writes
// group `also`, one in two deletes group `drop`. A write to an existing group
// overwrites its records in place, or (one in four) deletes them and inserts
// new ones. A group's three records always share one version, so a torn
// transaction shows as a mixed or half-present group; and live data stays
// within kSlots groups, so a cycle costs the same after any history while
// the log keeps growing and compaction keeps cutting it.

constexpr std::uint32_t kSlots = 32;
constexpr std::uint32_t kNoSlot = ~0u;
constexpr std::uint64_t kChildCompactionBytes = 64u << 10;  // kills land inside compactions too
// Live data is at most kSlots groups of under 4 KB. Without compaction a few
// cycles of log would pass this.
constexpr DWORD kVolumeCap = 1u << 20;

struct Op {
  std::uint32_t write = kNoSlot;
  std::uint32_t also = kNoSlot;
  std::uint32_t drop = kNoSlot;
  bool reinsert = false;  // an existing group gets new records rather than new values
};

Op OpFor(std::uint32_t i) {
  std::uint64_t h = i * 0x9E3779B97F4A7C15ull;  // splitmix64 finaliser
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
  h ^= h >> 31;
  Op op;
  op.write = h % kSlots;
  std::uint32_t also = (h >> 8) % kSlots, drop = (h >> 16) % kSlots;
  if ((h >> 24) % 3 == 0 && also != op.write) op.also = also;
  if ((h >> 28) % 2 == 0 && drop != op.write && drop != op.also) op.drop = drop;
  op.reinsert = (h >> 32) % 4 == 0;
  return op;
}

using Groups = std::map<std::uint32_t, std::uint32_t>;  // slot -> version

void Step(std::uint32_t i, Groups* groups) {
  Op op = OpFor(i);
  (*groups)[op.write] = i;
  if (op.also != kNoSlot) (*groups)[op.also] = i;
  if (op.drop != kNoSlot) groups->erase(op.drop);
}

std::string Payload(std::uint32_t g, std::uint32_t k, std::uint32_t version) {
  std::string p = std::to_string(g) + ":" + std::to_string(k) + ":" + std::to_string(version) + ":";
  std::size_t len = (g * 7919u + version * 31u + k * 13u) % 1200u;
  p.append(len, static_cast<char>('a' + (g + version + k) % 26));
  return p;
}

// The version a payload names after "g:k:", or false when it names none.
bool PayloadVersion(const std::string& payload, std::uint32_t* version) {
  std::size_t a = payload.find(':');
  std::size_t b = a == std::string::npos ? a : payload.find(':', a + 1);
  std::size_t c = b == std::string::npos ? b : payload.find(':', b + 1);
  if (c == std::string::npos || c == b + 1 || c - b > 11) return false;
  std::uint64_t v = 0;
  for (std::size_t i = b + 1; i < c; ++i) {
    if (payload[i] < '0' || payload[i] > '9') return false;
    v = v * 10 + static_cast<std::uint32_t>(payload[i] - '0');
  }
  if (v > 0xFFFFFFFFu) return false;
  *version = static_cast<std::uint32_t>(v);
  return true;
}

using Oids = std::map<std::uint32_t, std::vector<CEOID>>;  // slot -> its records

bool DeleteGroup(HANDLE db, Oids* oids, std::uint32_t g) {
  auto it = oids->find(g);
  if (it == oids->end()) return true;
  for (CEOID id : it->second)
    if (!CeDeleteRecord(db, id)) return false;
  oids->erase(it);
  return true;
}

bool WriteGroup(HANDLE db, Oids* oids, std::uint32_t g, std::uint32_t version, bool reinsert) {
  if (reinsert && !DeleteGroup(db, oids, g)) return false;
  std::vector<CEOID>& ids = (*oids)[g];
  bool fresh = ids.empty();
  for (std::uint32_t k = 0; k < 3; ++k) {
    CEOID id = Write(db, fresh ? 0 : ids[k], g * 4 + k, Payload(g, k, version));
    if (!id) return false;
    if (fresh) ids.push_back(id);
  }
  return true;
}

bool RunOp(HANDLE db, Oids* oids, std::uint32_t i) {
  Op op = OpFor(i);
  if (!WriteGroup(db, oids, op.write, i, op.reinsert)) return false;
  if (op.also != kNoSlot && !WriteGroup(db, oids, op.also, i, op.reinsert)) return false;
  return op.drop == kNoSlot || DeleteGroup(db, oids, op.drop);
}

int CrashChild(const std::string& vol, const std::string& progress, std::uint32_t start) {
  cedb::SetCompactionThreshold(kChildCompactionBytes);
  CEGUID guid;
  if (!Mount(vol, &guid)) return 3;
  HANDLE db = OpenDb(&guid, "crash");
  if (db == INVALID_HANDLE_VALUE) return 4;
  Oids oids;
  for (const Rec& r : ReadAll(db)) oids[r.number / 4].push_back(r.oid);
  os::FileHandle pf;
  if (os::OpenFile(progress, os::kOpenRead | os::kOpenWrite | os::kOpenCreate, &pf) != os::kOk) return 5;
  for (std::uint32_t i = start;; ++i) {
    if (!CeBeginTransaction(&guid)) return 6;
    if (!RunOp(db, &oids, i)) return 7;
    if (!CeCommitTransaction(&guid)) return 8;
    char b[4] = {static_cast<char>(i), static_cast<char>(i >> 8), static_cast<char>(i >> 16), static_cast<char>(i >> 24)};
    os::WriteAt(pf, 0, b, 4);
  }
}

std::uint32_t ReadProgress(const std::string& progress) {
  std::string s;
  if (os::ReadWholeFile(progress, &s) != os::kOk || s.size() < 4) return 0;
  const unsigned char* u = reinterpret_cast<const unsigned char*>(s.data());
  return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<std::uint32_t>(u[3]) << 24);
}

// Natively the child is forked: the sanitizers' start-up that an exec pays
// (about 0.1 s a process) would otherwise be most of a cycle. Windows has no fork,
// so there the test binary starts itself.
bool StartCrashChild(const std::string& vol, const std::string& progress, std::uint32_t start, os::Process* child) {
#ifdef _WIN32
  return os::SpawnProcess({os::ExecutablePath(), "--crash-child", vol, progress, std::to_string(start)}, child) ==
         os::kOk;
#else
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) std::_Exit(CrashChild(vol, progress, start));
  child->handle = pid;
  child->pid = static_cast<std::uint32_t>(pid);
  return true;
#endif
}

// Reads every record of the crash database: each must be intact, in order,
// and in a whole group of one version. *found gets slot -> version.
void ReadGroups(HANDLE db, int kill, Groups* found) {
  std::map<std::uint32_t, int> parts;
  std::uint32_t last_number = 0;
  bool first = true;
  for (const Rec& r : ReadAll(db)) {
    std::uint32_t g = r.number / 4, k = r.number % 4, version = 0;
    ASSERT_TRUE(first || r.number > last_number) << "order broken at kill " << kill;
    first = false;
    last_number = r.number;
    ASSERT_TRUE(g < kSlots && k < 3 && PayloadVersion(r.payload, &version))
        << "record " << r.number << " is not the workload's, kill " << kill;
    ASSERT_EQ(r.payload, Payload(g, k, version)) << "torn record at kill " << kill;
    if (parts[g]++ == 0) (*found)[g] = version;
    ASSERT_EQ((*found)[g], version) << "group " << g << " mixes versions at kill " << kill;
  }
  for (auto& kv : parts) ASSERT_EQ(kv.second, 3) << "group " << kv.first << " half-present at kill " << kill;
}

// ---- The counter workload ----------------------------------------------------

int CounterChild(const std::string& vol, const std::string& tag, int steps) {
  CEGUID guid;
  if (!Mount(vol, &guid)) return 3;
  HANDLE db = OpenDb(&guid, "counter");
  HANDLE plain = OpenDb(&guid, "plain");
  if (db == INVALID_HANDLE_VALUE || plain == INVALID_HANDLE_VALUE) return 4;
  for (int i = 0; i < steps; ++i) {
    if (!CeBeginTransaction(&guid)) return 5;
    Rec counter;
    if (!ReadAtPosition(db, 0, &counter)) return 6;
    std::uint32_t v = static_cast<std::uint32_t>(std::stoul(counter.payload));
    if (!Write(db, counter.oid, 0, std::to_string(v + 1))) return 7;
    if (!Write(db, 0, v + 1, tag + ":" + std::to_string(i))) return 8;
    if (!CeCommitTransaction(&guid)) return 9;
    if (!Write(plain, 0, static_cast<std::uint32_t>(i), tag)) return 10;
  }
  CeCloseDatabase(db);
  CeCloseDatabase(plain);
  return CeUnmountDBVol(&guid) ? 0 : 11;
}

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("cedbproc");
    vol_ = os::JoinPath(dir_, "Reader.vol");
  }
  void TearDown() override { os::RemoveTree(dir_); }
  std::string dir_, vol_;
};

// Starts a crash child at the next operation and kills it at a random moment.
void RunAndKill(const std::string& vol, const std::string& progress, std::uint32_t verified, int kill,
                std::mt19937* rng) {
  os::Process child;
  ASSERT_TRUE(StartCrashChild(vol, progress, verified + 1, &child));
  // Every other cycle waits for the child's first commit before the random delay: a
  // slow process start (Wine) must not let every kill land before any work was done.
  if (kill % 2 == 0) {
    std::uint64_t wait_start = os::MonotonicMillis();
    while (ReadProgress(progress) <= verified && os::MonotonicMillis() - wait_start < 30000 &&
           os::WaitProcess(&child, 0, nullptr) == os::kTimedOut) {
      os::SleepMillis(1);
    }
  }
  os::SleepMillis(kKillDelayMin + (*rng)() % kKillDelaySpread);
  os::KillProcess(&child);
  int code = 0;
  os::WaitProcess(&child, -1, &code);
  ASSERT_EQ(code, -1) << "child failed with " << code << " at kill " << kill;
}

// Mounts the volume as the next process would and reads what it holds.
void ReadVolume(const std::string& vol, int kill, Groups* found, CEVOLUMEREPORT* rep) {
  CEGUID guid;
  ASSERT_TRUE(Mount(vol, &guid)) << GetLastError();
  rep->cbSize = sizeof *rep;
  ASSERT_TRUE(CeGetVolumeReport(&guid, rep));
  CEOID oid = 0;
  HANDLE db = OpenDb(&guid, "crash", &oid);
  ASSERT_NE(db, INVALID_HANDLE_VALUE) << "database lost at kill " << kill;
  ASSERT_NO_FATAL_FAILURE(ReadGroups(db, kill, found));
  CeCloseDatabase(db);
  ASSERT_EQ(Count(&guid, oid), 3 * found->size()) << "record count disagrees with the records at kill " << kill;
  ASSERT_TRUE(CeUnmountDBVol(&guid));
  ASSERT_LE(rep->dwFileBytes, kVolumeCap) << "compaction fell behind at kill " << kill << ", live "
                                          << rep->dwLiveBytes;
}

// What the parent knows after the kills so far.
struct KillRun {
  std::uint32_t verified = 0;  // operations known to be in the volume
  Groups model;                // the groups after operation `verified`
  int in_flight_kept = 0, tails_cut = 0, shrinks = 0;
  DWORD largest = 0, last_size = 0;
  std::uint64_t check_ms = 0;

  // Every operation the child reported is there; the one in flight when it
  // died may be there too, whole. Steps the model only over this cycle's
  // operations, so a check costs the same after any history.
  void Verify(const Groups& found, std::uint32_t reported, int kill) {
    for (std::uint32_t i = verified + 1; i <= reported; ++i) Step(i, &model);
    verified = reported;
    if (found == model) return;
    Step(reported + 1, &model);
    ASSERT_EQ(found, model) << "state is neither after op " << reported << " nor the next, kill " << kill;
    verified = reported + 1;
    in_flight_kept++;
  }

  void Count(const CEVOLUMEREPORT& rep) {
    tails_cut += rep.dwDroppedBytes > 0;
    shrinks += rep.dwFileBytes < last_size;
    last_size = rep.dwFileBytes;
    largest = std::max(largest, rep.dwFileBytes);
  }
};

TEST_F(ProcessTest, KilledWriterLeavesEveryReturnedTransactionWhole) {
  std::string progress = os::JoinPath(dir_, "progress");
  CEGUID guid;
  ASSERT_TRUE(Mount(vol_, &guid));
  ASSERT_NE(CreateDb(&guid, "crash"), 0u);
  ASSERT_TRUE(CeUnmountDBVol(&guid));
  std::mt19937 rng(20261209);
  int kills = kKills;
  std::string env;
  if (os::GetEnv("TIDELARK_CEDB_KILLS", &env)) kills = std::atoi(env.c_str());
  KillRun run;
  std::uint64_t start_ms = os::MonotonicMillis();
  for (int kill = 0; kill < kills; ++kill) {
    ASSERT_NO_FATAL_FAILURE(RunAndKill(vol_, progress, run.verified, kill, &rng));
    std::uint64_t check_start = os::MonotonicMillis();
    std::uint32_t reported = std::max(ReadProgress(progress), run.verified);
    Groups found;
    CEVOLUMEREPORT rep = {};
    ASSERT_NO_FATAL_FAILURE(ReadVolume(vol_, kill, &found, &rep));
    ASSERT_NO_FATAL_FAILURE(run.Verify(found, reported, kill));
    run.Count(rep);
    run.check_ms += os::MonotonicMillis() - check_start;
  }
  EXPECT_GT(run.verified, 0u);
  std::cout << "kills " << kills << ", operations " << run.verified << ", in-flight commits kept "
            << run.in_flight_kept << ", torn tails cut " << run.tails_cut << ", volume shrank " << run.shrinks
            << " times, largest " << run.largest << " bytes; " << os::MonotonicMillis() - start_ms
            << " ms, of which checks " << run.check_ms << " ms\n";
}

TEST_F(ProcessTest, TwoProcessesGiveASerialOrder) {
  CEGUID guid;
  ASSERT_TRUE(Mount(vol_, &guid));
  ASSERT_NE(CreateDb(&guid, "counter"), 0u);
  ASSERT_NE(CreateDb(&guid, "plain"), 0u);
  HANDLE db = OpenDb(&guid, "counter");
  ASSERT_NE(Write(db, 0, 0, "0"), 0u);
  // The parent keeps its mount and reads while the children write.
  std::vector<os::Process> kids(2);
  for (int c = 0; c < 2; ++c)
    ASSERT_EQ(os::SpawnProcess({os::ExecutablePath(), "--counter-child", vol_, c ? "B" : "A",
                                std::to_string(kCounterSteps)}, &kids[c]), os::kOk);
  DWORD seen_max = 0;
  for (int c = 0; c < 2; ++c) {
    int code = -5;
    while (os::WaitProcess(&kids[c], 20, &code) == os::kTimedOut) {
      Rec counter;
      ASSERT_TRUE(ReadAtPosition(db, 0, &counter));
      DWORD v = static_cast<DWORD>(std::stoul(counter.payload));
      EXPECT_GE(v, seen_max);  // never goes back
      seen_max = v;
    }
    ASSERT_EQ(code, 0) << "child " << c;
  }
  std::vector<Rec> all = ReadAll(db);
  ASSERT_EQ(all.size(), 1u + 2 * kCounterSteps);
  EXPECT_EQ(all[0].payload, std::to_string(2 * kCounterSteps));  // no lost update
  std::map<std::string, int> next_step = {{"A", 0}, {"B", 0}};
  for (std::size_t i = 1; i < all.size(); ++i) {
    EXPECT_EQ(all[i].number, i);  // each counter value was handed out once
    std::string tag = all[i].payload.substr(0, 1);
    int step = std::stoi(all[i].payload.substr(2));
    EXPECT_EQ(step, next_step[tag]) << "program order of " << tag;  // a serial order of both programs
    next_step[tag] = step + 1;
  }
  HANDLE plain = OpenDb(&guid, "plain");
  EXPECT_EQ(ReadAll(plain).size(), 2u * kCounterSteps);
  CeCloseDatabase(plain);
  CeCloseDatabase(db);
  CeUnmountDBVol(&guid);
}

}  // namespace

int main(int argc, char** argv) {
  // Children end with _Exit: a failing child reports its code, not its leaks.
  if (argc >= 5 && std::string(argv[1]) == "--crash-child")
    std::_Exit(CrashChild(argv[2], argv[3], static_cast<std::uint32_t>(std::stoul(argv[4]))));
  if (argc >= 5 && std::string(argv[1]) == "--counter-child")
    std::_Exit(CounterChild(argv[2], argv[3], std::stoi(argv[4])));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
