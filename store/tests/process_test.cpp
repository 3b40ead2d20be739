// The store across processes: a writer killed at random points leaves every
// operation that returned whole and nothing half there, cache off and on;
// and two processes working on one database see each other's objects. The
// killed writer is forked natively and is the small program
// store_test_child (process_child.cpp) under Windows; the other writer is
// that program everywhere.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "inspect.h"
#include "process_workload.h"
#include "test_db.h"

namespace store {
namespace {

namespace os = platform::os;
using testing_support::Obj;
using workload::Model;

#ifdef _WIN32
constexpr int kKills = 24;  // process start under Wine is slower
constexpr int kChildObjects = 300;
#else
constexpr int kKills = 150;  // TIDELARK_STORE_KILLS runs more
constexpr int kChildObjects = 700;
#endif

std::string ChildProgram() {
  std::string exe = os::ExecutablePath();
  std::string dir = exe.substr(0, exe.find_last_of("\\/") + 1);
#ifdef _WIN32
  return dir + "store_test_child.exe";
#else
  return dir + "store_test_child";
#endif
}

std::uint32_t ReadProgress(const std::string& path) {
  std::string s;
  if (os::ReadWholeFile(path, &s) != os::kOk || s.size() < 4) return 0;
  const unsigned char* u = reinterpret_cast<const unsigned char*>(s.data());
  return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<std::uint32_t>(u[3]) << 24);
}

// Starts the writer that will be killed, at operation `first`. Natively it
// is forked, which spares the sanitizers' start-up of a new program; it
// reaches the volume by another spelling of its path, so that it mounts it
// anew instead of sharing the parent's mount and file lock.
bool StartKilledWriter(const std::string& dir, const std::string& progress, std::uint32_t first, std::uint32_t cache,
                       os::Process* child) {
#ifdef _WIN32
  return os::SpawnProcess({ChildProgram(), "kill", os::JoinPath(dir, "Reader.vol"), progress, std::to_string(first),
                           std::to_string(cache)}, child) == os::kOk;
#else
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) std::_Exit(workload::RunKilledWriter(dir + "/./Reader.vol", progress, first, cache));
  child->handle = pid;
  child->pid = static_cast<std::uint32_t>(pid);
  return true;
#endif
}

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os::MakeTempDirectory("tidelark-storeproc", &dir_);
    volume_ = os::JoinPath(dir_, "Reader.vol");
    ASSERT_TRUE(os::PathExists(ChildProgram())) << ChildProgram();
  }
  void TearDown() override { os::RemoveTree(dir_); }
  std::string dir_, volume_;
};

// The parent checks through one handle that it keeps open from cycle to
// cycle: it must follow each dead child's last commit as a fresh mount does.
TEST_F(ProcessTest, AKilledWriterLeavesEveryReturnedOperationWhole) {
  std::string progress = os::JoinPath(dir_, "progress");
  std::mt19937 rng(20261210);
  Model model;  // after the operations known to be in the volume
  std::uint32_t verified = 0;
  int in_flight_kept = 0;
  int kills = kKills;
  std::string env;
  if (os::GetEnv("TIDELARK_STORE_KILLS", &env)) kills = std::atoi(env.c_str());
  Database* db = nullptr;
  for (int kill = 0; kill < kills; ++kill) {
    os::Process child;
    ASSERT_TRUE(StartKilledWriter(dir_, progress, verified + 1, kill % 2 ? 64000 : 0, &child));
    // Most cycles wait for the child's first operation, so that the kill
    // lands in the middle of the work; the others may catch the child
    // opening, or creating, the database.
    if (kill % 4 != 3) {
      std::uint64_t wait_start = os::MonotonicMillis();
      while (ReadProgress(progress) <= verified && os::MonotonicMillis() - wait_start < 30000 &&
             os::WaitProcess(&child, 0, nullptr) == os::kTimedOut)
        os::SleepMillis(1);
    }
    os::SleepMillis(rng() % 25);
    os::KillProcess(&child);
    int code = 0;
    os::WaitProcess(&child, -1, &code);
    ASSERT_EQ(code, -1) << "the child failed with " << code << " at kill " << kill;

    std::uint32_t reported = std::max(ReadProgress(progress), verified);
    if (db == nullptr) {
      StoreCode rc = OpenDatabase(&db, "Crash", 0, 0, kCreatorPyra, 64000, 11, 10, volume_.c_str());
      if (rc == kStoreNoDatabase && reported == 0) continue;  // killed before it made it
      ASSERT_EQ(rc, kStoreOk) << "kill " << kill;
    }
    testing_support::ExpectClean(db);
    ASSERT_FALSE(HasFailure()) << "kill " << kill;
    Model found;
    ASSERT_TRUE(workload::ReadModel(db, &found)) << "kill " << kill;
    // The one operation in flight when the child died may or may not be there.
    for (std::uint32_t i = verified + 1; i <= reported; ++i) workload::ApplyToModel(i, &model);
    if (found == model) {
      verified = reported;
    } else {
      workload::ApplyToModel(reported + 1, &model);
      ASSERT_TRUE(found == model) << "kill " << kill << ": the state is neither after operation " << reported
                                  << " nor after the next";
      verified = reported + 1;
      ++in_flight_kept;
    }
  }
  ASSERT_NE(db, nullptr);
  // A fresh mount after the last kill sees the same.
  Database* fresh = nullptr;
  ASSERT_EQ(OpenDatabase(&fresh, "Crash", 0, 0, kCreatorPyra, 0, 11, 10, volume_.c_str()), kStoreOk);
  Model found;
  ASSERT_TRUE(workload::ReadModel(fresh, &found));
  EXPECT_TRUE(found == model);
  CloseDatabase(&fresh);
  CloseDatabase(&db);
  EXPECT_GT(verified, std::uint32_t(kills));
  std::cout << "kills " << kills << ", operations " << verified << ", in-flight operations kept " << in_flight_kept
            << "\n";
}

TEST_F(ProcessTest, TwoProcessesSeeEachOthersObjects) {
  Database* db = nullptr;
  ASSERT_EQ(OpenDatabase(&db, "Shared", 1, 0, kCreatorPyra, 64000, 11, 10, volume_.c_str()), kStoreOk);
  for (int k = 0; k < workload::kParentObjects; ++k) {
    Obj o(workload::ParentObject(k).c_str());
    o.Int("Value", -k);
    ASSERT_EQ(WriteObject(db, o.o, 1, 1, 1, 0), kStoreOk);
  }
  os::Process child;
  ASSERT_EQ(os::SpawnProcess({ChildProgram(), "write", volume_, std::to_string(kChildObjects)}, &child), os::kOk);
  // The parent goes on writing and reading through its one handle.
  int code = -5, written = 0;
  std::int32_t last_step = -1;
  while (os::WaitProcess(&child, 0, &code) == os::kTimedOut) {
    Obj o(("parent-late-" + std::to_string(written)).c_str());
    o.Int("Value", written);
    ASSERT_EQ(WriteObject(db, o.o, 1, 1, 1, 0), kStoreOk);
    ++written;
    Object* shared = nullptr;
    CreateObject(&shared, "shared");
    StoreCode rc = ReadObject(db, shared);
    ASSERT_TRUE(rc == kStoreOk || rc == kStoreObjectNotFound) << rc;
    if (rc == kStoreOk) {
      std::int32_t step = -1;
      EXPECT_TRUE(testing_support::GetInt(shared, "ChildStep", &step));
      EXPECT_GE(step, last_step);  // never goes back
      last_step = step;
    }
    FreeObject(shared);
  }
  ASSERT_EQ(code, 0);
  // Everything the child did, through the same handle, without reopening.
  for (int i = 0; i < kChildObjects; ++i) {
    std::int32_t v = -1;
    ASSERT_EQ(testing_support::ReadInt(db, workload::ChildObject(i), "Value", &v), kStoreOk) << i;
    EXPECT_EQ(v, i);
  }
  int deleted = 0;
  for (int k = 0; k < workload::kParentObjects; ++k) {
    std::int32_t v = 0;
    EXPECT_EQ(testing_support::ReadInt(db, workload::ParentObject(k), "Value", &v),
              workload::ChildDeletes(k) ? kStoreObjectNotFound : kStoreOk) << k;
    deleted += workload::ChildDeletes(k);
  }
  ResultSet* all = nullptr;
  ASSERT_EQ(ListObjects(db, &all, 0), kStoreOk);
  EXPECT_EQ(GetResultCount(all), static_cast<std::uint32_t>(kChildObjects + 1 + workload::kParentObjects - deleted + written));
  FreeResult(all);
  EXPECT_GT(BlockCount(db), 1u);
  testing_support::ExpectClean(db);
  CloseDatabase(&db);
}

}  // namespace
}  // namespace store
