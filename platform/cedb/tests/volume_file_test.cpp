// The volume file when writes fail: a failed commit leaves nothing behind,
// and a commit never leaves a dead writer's remains behind its own batch.
#include <gtest/gtest.h>

#include "../coding.h"
#include "../volume_file.h"
#include "platform/cedb_testing.h"
#include "cedb_test_util.h"

using namespace cedbtest;
namespace os = platform::os;

namespace {

class VolumeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("cedbfile");
    path_ = os::JoinPath(dir_, "Reader.vol");
  }
  void TearDown() override {
    cedb::FailFileWritesAfter(-1);
    os::RemoveTree(dir_);
  }
  std::uint64_t FileSize() {
    std::string bytes;
    os::ReadWholeFile(path_, &bytes);
    return bytes.size();
  }
  std::string dir_, path_;
};

// A batch frame as a writer puts it in the file.
std::string Frame(const std::string& body) {
  std::string f;
  cedb::PutU32(&f, cedb::kBatchMagic);
  cedb::PutU32(&f, static_cast<std::uint32_t>(body.size()));
  std::uint32_t crc = cedb::Crc32(f.data() + 4, 4);
  cedb::PutU32(&f, cedb::Crc32(body.data(), body.size(), crc));
  return f + body;
}

TEST_F(VolumeFileTest, AFailedCommitLeavesNothingAndTheNextOneWorks) {
  CEGUID guid;
  ASSERT_TRUE(Mount(path_, &guid));
  CEOID dbid = CreateDb(&guid, "db");
  HANDLE db = OpenDb(&guid, "db");
  ASSERT_NE(Write(db, 0, 0, "kept"), 0u);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    cedb::FailFileWritesAfter(0);
    ASSERT_TRUE(CeBeginTransaction(&guid));
    ASSERT_NE(Write(db, 0, 1, "lost"), 0u);
    ASSERT_NE(Write(db, 0, 2, "lost"), 0u);
    EXPECT_FALSE(CeCommitTransaction(&guid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
    cedb::FailFileWritesAfter(-1);
    EXPECT_EQ(Count(&guid, dbid), 1u + round);  // the image dropped the bracket too
    EXPECT_EQ(CeWriteRecordProps(db, 0, 0, nullptr) != 0, true);  // and writing goes on
  }
  CeCloseDatabase(db);
  ASSERT_TRUE(CeUnmountDBVol(&guid));
  ASSERT_TRUE(Mount(path_, &guid));
  db = OpenDb(&guid, "db");
  std::vector<Rec> all = ReadAll(db);
  ASSERT_EQ(all.size(), 3u);  // "kept" and the two empty records written after each failure
  EXPECT_EQ(all[0].payload, "kept");
  CeCloseDatabase(db);
  CeUnmountDBVol(&guid);
}

// A writer in another process died in the middle of a batch; its remains
// hold, inside a record value, bytes that form a well-formed batch. The next
// commit must not leave those bytes behind its own batch, even if the disk
// fails right after that batch.
TEST_F(VolumeFileTest, ACommitCutsADeadWritersRemainsBeforeWriting) {
  CEGUID guid;
  ASSERT_TRUE(Mount(path_, &guid));
  CreateDb(&guid, "db");
  HANDLE db = OpenDb(&guid, "db");
  ASSERT_NE(Write(db, 0, 0, "first"), 0u);
  std::uint64_t end = FileSize();

  // The size of the batch the next write makes, measured on a twin volume.
  std::string twin = os::JoinPath(dir_, "twin.vol");
  std::string bytes;
  ASSERT_EQ(os::ReadWholeFile(path_, &bytes), os::kOk);
  ASSERT_EQ(os::WriteWholeFile(twin, bytes), os::kOk);
  CEGUID tg;
  ASSERT_TRUE(Mount(twin, &tg));
  HANDLE tdb = OpenDb(&tg, "db");
  ASSERT_NE(Write(tdb, 0, 1, "second"), 0u);
  CeCloseDatabase(tdb);
  CeUnmountDBVol(&tg);
  ASSERT_EQ(os::ReadWholeFile(twin, &bytes), os::kOk);
  std::size_t batch = bytes.size() - end;

  // The remains: a torn batch whose bytes, from where the next batch would
  // end, are a well-formed batch creating a database.
  std::string ghost_body;
  ghost_body.push_back(1);  // create database
  cedb::PutU32(&ghost_body, 900000);
  cedb::PutU32(&ghost_body, 0);
  cedb::PutU16(&ghost_body, 5);
  for (char c : std::string("Ghost")) cedb::PutU16(&ghost_body, static_cast<std::uint16_t>(c));
  cedb::PutU32(&ghost_body, 0);
  cedb::PutU32(&ghost_body, 0);
  ghost_body.push_back(0);
  std::string remains;
  cedb::PutU32(&remains, cedb::kBatchMagic);
  cedb::PutU32(&remains, 1u << 20);  // longer than what follows: torn
  cedb::PutU32(&remains, 0);
  remains.resize(batch, 'r');
  remains += Frame(ghost_body);
  os::FileHandle f;
  ASSERT_EQ(os::OpenFile(path_, os::kOpenRead | os::kOpenWrite, &f), os::kOk);
  ASSERT_EQ(os::WriteAt(f, end, remains.data(), remains.size()), os::kOk);
  os::CloseFile(f);

  // The disk allows two more writes: as much as the batch itself takes.
  cedb::FailFileWritesAfter(2);
  Write(db, 0, 1, "second");
  cedb::FailFileWritesAfter(-1);
  CeCloseDatabase(db);
  CeUnmountDBVol(&guid);
  ASSERT_TRUE(Mount(path_, &guid));
  CEOID ghost = 0;
  std::u16string name = W("Ghost");
  EXPECT_EQ(CeOpenDatabaseEx2(&guid, &ghost, P(name), nullptr, 0, nullptr), INVALID_HANDLE_VALUE)
      << "a dead writer's bytes were replayed";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  db = OpenDb(&guid, "db");
  std::vector<Rec> all = ReadAll(db);
  ASSERT_GE(all.size(), 1u);
  EXPECT_EQ(all[0].payload, "first");
  CeCloseDatabase(db);
  CeUnmountDBVol(&guid);
}

}  // namespace
