// The volume inspector run as a program: listing and checking a volume
// written by the store, and catching a damaged index, an orphaned record and
// two objects of one name.

#include <gtest/gtest.h>

#include <string>

#include "database.h"
#include "index.h"
#include "app/stored_object.h"
#include "inspect.h"
#include "platform/os.h"
#include "store/store.h"

namespace {

std::string ToolPath() {
  std::string exe = platform::os::ExecutablePath();
  std::size_t cut = exe.find_last_of("\\/");
  std::string dir = exe.substr(0, cut + 1);
#ifdef _WIN32
  return dir + "..\\bin\\tidelark-vol.exe";
#else
  return dir + "../bin/tidelark-vol";
#endif
}

int RunTool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {ToolPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  platform::os::Process p;
  if (platform::os::SpawnProcess(argv, &p) != 0) return -100;
  int code = -1;
  if (platform::os::WaitProcess(&p, 60000, &code) != 0) return -101;
  return code;
}

class VolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::os::MakeTempDirectory("tidelark-vol", &dir_);
    volume_ = platform::os::JoinPath(dir_, "Reader.vol");
    for (const char* dbname : {"TavoRss", "TavoPrefs"}) {
      store::Database* db = nullptr;
      ASSERT_EQ(store::OpenDatabase(&db, dbname, 1, 0, store::kCreatorPyra, 0, 11, 10, volume_.c_str()), 0);
      for (int i = 0; i < 30; ++i) {
        store::Object* o = nullptr;
        store::CreateObject(&o, ("channel" + std::to_string(i)).c_str());
        std::int32_t v = i;
        store::SetProperty(o, "Mode", store::kTypeInteger, &v, 4, 1, 1, 1, 0);
        store::SetProperty(o, "Title", store::kTypeText, "News of the day", 16, 1, 1, 1, 0);
        store::SetProperty(o, "Icon", store::kTypeBinary, "\x47\x49\x46\x38", 4, 1, 1, 1, 0);
        ASSERT_EQ(store::WriteObject(db, o, 1, 1, 1, 0), 0);
        store::FreeObject(o);
      }
      ASSERT_EQ(store::CloseDatabase(&db), 0);
    }
  }
  void TearDown() override { platform::os::RemoveTree(dir_); }
  std::string dir_, volume_;
};

TEST_F(VolTest, ListsAndChecksAVolume) {
  EXPECT_EQ(RunTool({volume_, "TavoRss"}), 0);
  EXPECT_EQ(RunTool({"--check", volume_}), 0);
  EXPECT_EQ(RunTool({"--check", platform::os::JoinPath(dir_, "missing.vol")}), 2);
  EXPECT_NE(RunTool({"--check", volume_, "NoSuchDb"}), 0);
}

TEST_F(VolTest, CheckFailsOnAnIndexOutOfOrder) {
  store::Database* db = nullptr;
  ASSERT_EQ(store::OpenDatabase(&db, "TavoPrefs", 0, 0, store::kCreatorPyra, 0, 11, 10, volume_.c_str()), 0);
  store::RecordRequest block;
  block.number = 1;
  ASSERT_EQ(db->file->Read(&block), 0);
  ASSERT_GE(block.bytes.size(), 48u * 24);
  // Swap the last two entries: both are property entries of different names.
  std::size_t n = block.bytes.size();
  std::string a = block.bytes.substr(n - 48, 24), b = block.bytes.substr(n - 24, 24);
  block.bytes.replace(n - 48, 24, b);
  block.bytes.replace(n - 24, 24, a);
  ASSERT_EQ(db->file->Write(&block), 0);
  ASSERT_EQ(store::CloseDatabase(&db), 0);
  EXPECT_EQ(RunTool({"--check", volume_, "TavoPrefs"}), 1);
  EXPECT_EQ(RunTool({"--check", volume_, "TavoRss"}), 0);
}

// Problems the in-process check finds that contain `what`.
int Count(store::Database* db, const std::string& what) {
  std::vector<std::string> problems;
  EXPECT_EQ(store::CheckDatabase(db, &problems), store::kStoreOk);
  int n = 0;
  for (const auto& p : problems) n += p.find(what) != std::string::npos;
  return n;
}

TEST_F(VolTest, CheckFindsOrphanedRecordsAndDuplicateNames) {
  using namespace store;
  Database* db = nullptr;
  // A record that no object lists, no entry indexes and the recycle list lacks.
  ASSERT_EQ(OpenDatabase(&db, "TavoPrefs", 0, 0, kCreatorPyra, 0, 11, 10, volume_.c_str()), kStoreOk);
  EXPECT_EQ(Count(db, "orphaned"), 0);
  {
    Bracket bracket(db, BracketKind::kWrite);
    RecordRequest junk;
    junk.bytes = "left behind";
    ASSERT_EQ(db->file->Append(&junk), kStoreOk);
    ASSERT_EQ(bracket.Commit(), kStoreOk);
  }
  EXPECT_EQ(Count(db, "orphaned"), 1);
  ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  // A second object named "channel7": its own header record and entry.
  ASSERT_EQ(OpenDatabase(&db, "TavoRss", 0, 0, kCreatorPyra, 0, 11, 10, volume_.c_str()), kStoreOk);
  EXPECT_EQ(Count(db, "two objects are named"), 0);
  {
    Bracket bracket(db, BracketKind::kWrite);
    Property h;
    InitProperty(&h, "channel7", 0);
    AssignValue(&h, kTypeIdList, nullptr, 0);
    RecordRequest r;
    ASSERT_EQ(db->file->Append(&r), kStoreOk);
    h.record_id = h.object_id = r.id;
    EncodeProperty(h, r.id, &r.bytes);
    ASSERT_EQ(db->file->Write(&r), kStoreOk);
    ASSERT_EQ(InsertEntry(db, h), kStoreOk);
    DestroyProperty(&h);
    ASSERT_EQ(bracket.Commit(), kStoreOk);
  }
  EXPECT_EQ(Count(db, "two objects are named \"channel7\""), 1);
  ASSERT_EQ(CloseDatabase(&db), kStoreOk);
  EXPECT_EQ(RunTool({"--check", volume_, "TavoPrefs"}), 1);
  EXPECT_EQ(RunTool({"--check", volume_, "TavoRss"}), 1);
  EXPECT_EQ(RunTool({volume_}), 0);  // listing still works
}

}  // namespace

namespace {

std::string StoredText(const std::string& volume, const char* property) {
  store::Database* db = nullptr;
  if (store::OpenDatabase(&db, "_sysSettings", 0, 0, store::kCreatorPyra, 0, 11, 10, volume.c_str()) != 0) return "";
  StoredObject settings("ServerSettings");
  std::string text;
  if (settings.Load(db) == store::kStoreOk) settings.GetText(property, &text);
  store::CloseDatabase(&db);
  return text;
}

TEST_F(VolTest, PointsAVolumeAtAServer) {
  const std::string fresh = platform::os::JoinPath(dir_, "fresh.vol");
  EXPECT_EQ(RunTool({"--server", "127.0.0.1:8123", fresh}), 0) << "a missing volume is made";
  EXPECT_EQ(StoredText(fresh, "ServerIP"), "127.0.0.1");
  EXPECT_EQ(StoredText(fresh, "ServerPort"), "8123");
  EXPECT_EQ(RunTool({"--server", "sync.example.net:80", fresh}), 0) << "and changed again";
  EXPECT_EQ(StoredText(fresh, "ServerIP"), "sync.example.net");
  EXPECT_EQ(StoredText(fresh, "ServerPort"), "80");
  EXPECT_EQ(RunTool({"--check", fresh}), 0);
  for (const char* bad : {"127.0.0.1", "host:", ":80", "host:0", "host:65536", "host:8x"})
    EXPECT_EQ(RunTool({"--server", bad, fresh}), 2) << bad;
  EXPECT_EQ(StoredText(fresh, "ServerIP"), "sync.example.net") << "a bad address changes nothing";
}

}  // namespace
