#include "app/records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/os.h"
#include "store/store.h"

using namespace app;

namespace {

int g_width = 240, g_height = 320;
std::u16string g_lang = u"ENU", g_country = u"USA";
bool g_has_locale = true;
const std::string kIcon("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04", 21);

int Width() { return g_width; }
int Height() { return g_height; }
bool Lang(std::u16string* t) {
  *t = g_lang;
  return g_has_locale;
}
bool Country(std::u16string* t) {
  *t = g_country;
  return g_has_locale;
}
std::string Icon() { return kIcon; }

// Reads stored objects back through the store's own operations.
struct Stored {
  store::Database* db = nullptr;
  explicit Stored(const char* name) {
    store::OpenDatabase(&db, name, 0, 0, store::kCreatorPyra, 0, 11, 10);
  }
  ~Stored() {
    if (db) store::CloseDatabase(&db);
  }
  bool open() const { return db != nullptr; }
  // Value bytes of a property as stored, or "<missing>".
  std::string Bytes(const char* object, const char* property, std::uint16_t type) {
    store::Object* o = nullptr;
    store::CreateObject(&o, object);
    if (store::ReadObject(db, o) != 0) {
      store::FreeObject(o);
      return "<missing>";
    }
    std::uint32_t size = 0;
    std::string out = "<missing>";
    if (store::GetProperty(o, property, type, nullptr, &size) == store::kStoreBufferTooSmall) {
      out.assign(size, '\0');
      store::GetProperty(o, property, type, &out[0], &size);
    }
    store::FreeObject(o);
    return out;
  }
  std::string Text(const char* object, const char* property) {
    std::string b = Bytes(object, property, store::kTypeText);
    if (!b.empty() && b.back() == '\0') b.pop_back();
    return b;
  }
  std::int32_t Int(const char* object, const char* property) {
    std::string b = Bytes(object, property, store::kTypeInteger);
    std::int32_t v = -12345;
    if (b.size() == 4) std::memcpy(&v, b.data(), 4);
    return v;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    store::ResultSet* rs = nullptr;
    if (store::ListObjects(db, &rs, 0) != 0) return names;
    store::Object* o = nullptr;
    for (std::int32_t rc = store::FirstResult(rs, &o); rc == 0; rc = store::NextResult(rs, &o)) {
      char name[128];
      std::uint32_t size = sizeof name;
      store::GetObjectName(o, name, &size);
      names.push_back(name);
      store::FreeObject(o);
    }
    store::FreeResult(rs);
    return names;
  }
  void Delete(const std::string& object) {
    store::Object* o = nullptr;
    store::CreateObject(&o, object.c_str());
    EXPECT_EQ(0, store::DeleteObject(db, o, 0));
    store::FreeObject(o);
  }
};

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::os::kOk, platform::os::MakeTempDirectory("tidelark-records", &dir_));
    old_dir_ = platform::os::ProgramDirectory();
    platform::os::SetProgramDirectory(dir_ + platform::os::PathSeparator());
    g_width = 240, g_height = 320, g_has_locale = true;
    g_lang = u"ENU", g_country = u"USA";
    DeviceFacts f;
    f.screen_width = Width;
    f.screen_height = Height;
    f.language_abbreviation = Lang;
    f.country_abbreviation = Country;
    f.channel_icon = Icon;
    SetDeviceFacts(f);
  }
  void TearDown() override {
    platform::os::SetProgramDirectory(old_dir_);
    platform::os::RemoveTree(dir_);
  }
  std::string dir_, old_dir_;
};

}  // namespace

TEST_F(RecordsTest, FirstStartWritesEveryDefault) {
  SeedDatabases();
  EXPECT_TRUE(FirstRun());
  {
    Stored rss("TavoRss");
    ASSERT_TRUE(rss.open());
    EXPECT_EQ(16u, rss.Names().size());
    for (int i = 0; i < kDefaultChannelCount; ++i) {
      const DefaultChannel& c = DefaultChannels()[i];
      SCOPED_TRACE(c.object_name);
      EXPECT_EQ(c.display_name, rss.Text(c.object_name, "ChName"));
      EXPECT_EQ(c.database_name, rss.Text(c.object_name, "DbName"));
      EXPECT_EQ("News", rss.Text(c.object_name, "Plugin"));
      EXPECT_EQ(std::string(1, '\0'), rss.Bytes(c.object_name, "URL", store::kTypeText));
      EXPECT_EQ("Yes", rss.Text(c.object_name, "Subscr"));
      EXPECT_EQ(0, rss.Int(c.object_name, "Rating"));
      EXPECT_EQ(kIcon, rss.Bytes(c.object_name, "Icon", store::kTypeBinary));
    }
  }
  EXPECT_EQ("News", Stored("TavoCats").Text("Categories", "News"));
  EXPECT_EQ("Tidelark", Stored("TavoCustomArrange").Text("Obj1", "ChName"));
  Stored prefs("TavoPrefs");
  EXPECT_EQ("Pocket", prefs.Text("TavoDevice", "DevType"));
  EXPECT_EQ("Pocket", prefs.Text("TavoDevice", "DevModel"));
  EXPECT_EQ(240, prefs.Int("TavoDevice", "Width"));
  EXPECT_EQ(320, prefs.Int("TavoDevice", "Height"));
  EXPECT_EQ("2", prefs.Text("TavoDevice", "DevID"));
  EXPECT_EQ("213234", prefs.Text("TavoDevice", "HID"));
  EXPECT_EQ("Username", prefs.Text("TavoUser", "User"));
  EXPECT_EQ("ENU", prefs.Text("TavoUser", "Lang"));
  EXPECT_EQ("USA", prefs.Text("TavoUser", "Country"));
  EXPECT_EQ("26", prefs.Text("TavoApp", "AppId"));
  Stored sets("TavoSets");
  EXPECT_EQ(-1, sets.Int("SyncOTA", "DataLimit"));
  EXPECT_EQ(3, sets.Int("SyncOTA", "Data"));
  EXPECT_EQ(-1, sets.Int("SyncOTA", "UnreadArticles"));
  EXPECT_EQ(-1, sets.Int("SyncDesktop", "DataLimit"));
  EXPECT_EQ(3, sets.Int("SyncDesktop", "Data"));
  EXPECT_EQ(0, sets.Int("SyncDesktop", "UnreadArticles"));
  EXPECT_EQ(1, sets.Int("SyncSets", "Mode"));
  Stored saved("TavoSavedPrefs");
  EXPECT_EQ(0, saved.Int("AlertsSettings", "NoNotifyChecked"));
  EXPECT_EQ(1, saved.Int("AlertsSettings", "PlaySound"));
  EXPECT_EQ(1, saved.Int("AlertsSettings", "VisualReminder"));
  EXPECT_EQ(4, saved.Int("AlertsSettings", "ComboSelection"));
}

TEST_F(RecordsTest, SecondStartWritesNoChannelsEvenWhenAllWereDeleted) {
  SeedDatabases();
  {
    Stored rss("TavoRss");
    for (const auto& n : rss.Names()) rss.Delete(n);
    EXPECT_TRUE(rss.Names().empty());
  }
  {
    // User changes that later starts must keep.
    store::Database* db = nullptr;
    ASSERT_EQ(0, store::OpenDatabase(&db, "TavoSets", 0, 0, store::kCreatorPyra, 0, 11, 10));
    store::Object* o = nullptr;
    store::CreateObject(&o, "SyncSets");
    std::int32_t mode = 2;
    store::SetProperty(o, "Mode", 1, &mode, 4, 1, 1, 1, 0);
    EXPECT_EQ(0, store::WriteObject(db, o, 1, 1, 1, 1));
    store::FreeObject(o);
    store::CreateObject(&o, "Extra");
    store::CloseDatabase(&db);
    ASSERT_EQ(0, store::OpenDatabase(&db, "TavoCustomArrange", 0, 0, store::kCreatorPyra, 0, 11, 10));
    EXPECT_EQ(0, store::WriteObject(db, o, 1, 1, 1, 1));
    store::FreeObject(o);
    store::CloseDatabase(&db);
  }
  SeedDatabases();
  EXPECT_FALSE(FirstRun());
  EXPECT_TRUE(Stored("TavoRss").Names().empty());
  EXPECT_EQ(2, Stored("TavoSets").Int("SyncSets", "Mode"));
  // The custom order is rebuilt on every start.
  EXPECT_EQ(std::vector<std::string>{"Obj1"}, Stored("TavoCustomArrange").Names());
}

TEST_F(RecordsTest, DeviceRecordIsWrittenOnlyWhenThePrefsAreNew) {
  SeedDatabases();
  g_width = 320, g_height = 240;
  SeedDatabases();
  EXPECT_EQ(240, Stored("TavoPrefs").Int("TavoDevice", "Width"));
  ASSERT_EQ(0, store::RemoveDatabase("TavoPrefs"));
  SeedDatabases();
  Stored prefs("TavoPrefs");
  EXPECT_EQ(320, prefs.Int("TavoDevice", "Width"));
  EXPECT_EQ(240, prefs.Int("TavoDevice", "Height"));
  EXPECT_EQ("26", prefs.Text("TavoApp", "AppId"));
}

TEST_F(RecordsTest, LocaleTextsAreOptionalAndBounded) {
  g_has_locale = false;
  EXPECT_EQ(0, WriteDeviceRecord("Prefs A", "U", "D"));
  EXPECT_EQ("<missing>", Stored("Prefs A").Bytes("U", "Lang", store::kTypeText));
  EXPECT_EQ("Username", Stored("Prefs A").Text("U", "User"));
  g_has_locale = true;
  g_lang = std::u16string(60, u'L');
  EXPECT_EQ(0, WriteDeviceRecord("Prefs B", "U", "D"));
  EXPECT_EQ(std::string(40, 'L'), Stored("Prefs B").Text("U", "Lang"));
}

TEST_F(RecordsTest, StatisticsCount) {
  CountStart();
  EXPECT_EQ(1, Stored("TavoInfo").Int("SyncStats", "StartCount"));
  CountStart();
  CountStart();
  AddTimeUsed(500);
  AddTimeUsed(250);
  EXPECT_EQ(3, Stored("TavoInfo").Int("SyncStats", "StartCount"));
  EXPECT_EQ(750, Stored("TavoInfo").Int("SyncStats", "TimeUsed"));
  Stored("TavoInfo").Delete("SyncStats");
  CountStart();
  EXPECT_EQ(1, Stored("TavoInfo").Int("SyncStats", "StartCount"));
  AddTimeUsed(0x7FFFFFF0u);
  AddTimeUsed(0x7FFFFFF0u);
  EXPECT_EQ(0x7FFFFFFF, Stored("TavoInfo").Int("SyncStats", "TimeUsed"));  // saturates, never wraps
}

TEST_F(RecordsTest, AgreementIsRecordedOnce) {
  SeedDatabases();
  SetFirstRun(false);
  EXPECT_FALSE(AgreementAccepted());
  AcceptAgreement();
  EXPECT_TRUE(AgreementAccepted());
  EXPECT_TRUE(FirstRun());
  SetFirstRun(false);
  AcceptAgreement();
  EXPECT_FALSE(FirstRun());  // already accepted: nothing changes
  EXPECT_EQ(1u, Stored("TavoPrefs").Names().size() - 3);  // TavoApp, TavoDevice, TavoUser and the flag
}
