// The client seeds a device folder through the app's start-up records; no
// server answers here, so only the start-up work is observed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/records.h"
#include "platform/os.h"
#include "sync/store_adapter.h"

namespace {

using sync_engine::StoreSyncStore;
using sync_engine::WireObject;

class SyncSeedTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(platform::os::kOk, platform::os::MakeTempDirectory("tidelark-sync-seed", &dir_)); }
  void TearDown() override { platform::os::RemoveTree(dir_); }

  // Runs the client against a port nobody listens on: the sync fails, the
  // start-up records stay.
  void RunClient() {
    platform::os::Process p;
    ASSERT_EQ(0, platform::os::SpawnProcess({TIDELARK_SYNC_BIN, "--device", dir_, "--server", "127.0.0.1:1"}, &p));
    int code = 0;
    ASSERT_EQ(0, platform::os::WaitProcess(&p, 60000, &code));
    EXPECT_EQ(1, code);  // a failed sync is not reported as success
  }

  bool Read(const std::string& db, const std::string& name, WireObject* out) {
    StoreSyncStore s(dir_ + platform::os::PathSeparator() + "Reader.vol");
    StoreSyncStore::Database h = nullptr;
    if (s.Open(db, false, false, 0, &h) != 0) return false;
    bool ok = s.ReadObject(h, name, out) == 0;
    s.Close(&h);
    return ok;
  }
  int Count(const std::string& db) {
    StoreSyncStore s(dir_ + platform::os::PathSeparator() + "Reader.vol");
    StoreSyncStore::Database h = nullptr;
    if (s.Open(db, false, false, 0, &h) != 0) return -1;
    int n = 0;
    s.ForEachObject(h, 0, nullptr, [&](const WireObject&) { return ++n, true; });
    s.Close(&h);
    return n;
  }
  std::string Text(const std::string& db, const std::string& object, const char* property) {
    WireObject o;
    std::string v;
    if (Read(db, object, &o)) o.GetText(property, &v);
    return v;
  }
  int Int(const std::string& db, const std::string& object, const char* property) {
    WireObject o;
    if (!Read(db, object, &o)) return -1;
    const sync_engine::WireProperty* p = o.Find(property);
    return p ? p->AsInt() : -1;
  }

  std::string dir_;
};

TEST_F(SyncSeedTest, FreshFolderGetsTheAppsRecords) {
  // The screen comes from the device folder's own choice.
  std::FILE* f = std::fopen((dir_ + platform::os::PathSeparator() + "device.ini").c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("screen=landscape\n", f);
  std::fclose(f);
  RunClient();

  ASSERT_EQ(app::kDefaultChannelCount, Count("TavoRss"));
  const app::DefaultChannel* channels = app::DefaultChannels();
  for (int i = 0; i < app::kDefaultChannelCount; ++i) {
    SCOPED_TRACE(channels[i].object_name);
    EXPECT_EQ(channels[i].display_name, Text("TavoRss", channels[i].object_name, "ChName"));
    EXPECT_EQ(channels[i].database_name, Text("TavoRss", channels[i].object_name, "DbName"));
    EXPECT_EQ("Yes", Text("TavoRss", channels[i].object_name, "Subscr"));
    WireObject o;
    ASSERT_TRUE(Read("TavoRss", channels[i].object_name, &o));
    const sync_engine::WireProperty* icon = o.Find("Icon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(0u, icon->value.rfind("GIF89a", 0));
  }
  EXPECT_EQ(320, Int("TavoPrefs", "TavoDevice", "Width"));
  EXPECT_EQ(240, Int("TavoPrefs", "TavoDevice", "Height"));
  EXPECT_EQ("ENU", Text("TavoPrefs", "TavoUser", "Lang"));
  EXPECT_EQ("USA", Text("TavoPrefs", "TavoUser", "Country"));
  EXPECT_EQ("26", Text("TavoPrefs", "TavoApp", "AppId"));
  WireObject eula;
  EXPECT_TRUE(Read("TavoPrefs", "EulaAccepted", &eula));
  EXPECT_EQ(1, Int("TavoInfo", "SyncStats", "StartCount"));
  EXPECT_EQ(1, Count("TavoCustomArrange"));
  EXPECT_EQ(3, Count("TavoSets"));
}

TEST_F(SyncSeedTest, LaterRunsCountTheStartAndKeepTheUsersChannels) {
  RunClient();
  {
    // The user drops every channel but one; a later start must not seed again.
    StoreSyncStore s(dir_ + platform::os::PathSeparator() + "Reader.vol");
    StoreSyncStore::Database h = nullptr;
    ASSERT_EQ(0, s.Open("TavoRss", false, false, 0, &h));
    for (int i = 1; i < app::kDefaultChannelCount; ++i) EXPECT_EQ(0, s.DeleteObject(h, app::DefaultChannels()[i].object_name));
    s.Close(&h);
  }
  RunClient();
  EXPECT_EQ(1, Count("TavoRss"));
  EXPECT_EQ(2, Int("TavoInfo", "SyncStats", "StartCount"));
  EXPECT_EQ(240, Int("TavoPrefs", "TavoDevice", "Width"));
}

}  // namespace
