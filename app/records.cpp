// Start-up records. Each function opens what it needs and closes it again:
// nothing is kept open between screens.
#include "app/records.h"

#include <climits>
#include <cstring>
#include <vector>

#include "app/object_store.h"
#include "platform/os.h"
#include "store/store.h"

namespace app {

namespace {

DeviceFacts g_facts;
bool g_first_run = false;
std::uint64_t g_start_tick = 0;

const DefaultChannel kChannels[kDefaultChannelCount] = {
    {"Channel 12441", "Download Squad", "Tavo 12441"},
    {"Channel 4805", "Engadget", "Tavo 4805"},
    {"Channel 7324", "Lifehacker", "Tavo 7324"},
    {"Channel 1081", "Pocket PC Thoughts", "Tavo 1081"},
    {"Channel 12741", "Smartphone Thoughts", "Tavo 12741"},
    {"Channel 4145", "CNET News.com", "Tavo 4145"},
    {"Channel 3881", "CNN.com", "Tavo 3881"},
    {"Channel 12444", "Tidelark Forum", "Tavo 12444"},
    {"Channel 6325", "Tidelark", "Tavo 6325"},
    {"Channel 5750", "PalmInfocenter", "Tavo 5750"},
    {"Channel 4895", "PalmAddicts", "Tavo 4895"},
    {"Channel 4931", "Slashdot", "Tavo 4931"},
    {"Channel 5205", "TV Squad", "Tavo 5205"},
    {"Channel 18519", "1SRC News", "Tavo 18519"},
    {"Channel 18537", "Autoblog", "Tavo 18537"},
    {"Channel 18542", "Brighthand", "Tavo 18542"},
};

// The program's own news channel, shown first in the custom order.
constexpr int kOwnChannel = 8;

using store::Database;
using store::Object;

std::int32_t Open(Database** db, const char* name, bool create, bool start_empty,
                  std::uint32_t creator = store::kCreatorPyra) {
  return store::OpenDatabase(db, name, create ? 1 : 0, start_empty ? 1 : 0, creator, 0, store::kVersionMajor,
                             store::kVersionMinor);
}

void Close(Database** db) {
  if (*db) store::CloseDatabase(db);
}

bool Exists(const char* name) {
  Database* db = nullptr;
  if (Open(&db, name, false, false) != store::kStoreOk) return false;
  Close(&db);
  return true;
}

using Record = StoreRecord;

bool ReadInt(Database* db, const char* object, const char* property, std::int32_t* value) {
  return CObjectStore::ReadInt(db, object, property, value);
}

bool CanRead(Database* db, const char* object) { return CObjectStore::CanRead(db, object); }

// Adds to a statistic in "TavoInfo", starting from `first` when it cannot be read.
void AddToStatistic(const char* property, std::int64_t add, std::int32_t first) {
  Database* db = nullptr;
  if (Open(&db, "TavoInfo", true, false, 0) != store::kStoreOk) return;
  std::int32_t stored = 0;
  std::int64_t value = ReadInt(db, "SyncStats", property, &stored) ? stored + add : first;
  if (value > INT_MAX) value = INT_MAX;  // saturate: a long-lived device must not wrap to negative
  if (value < 0) value = 0;
  Record("SyncStats").Int(property, static_cast<std::int32_t>(value)).WriteTo(db);
  Close(&db);
}

std::string Narrow(const std::u16string& wide) {
  std::u16string cut = wide.substr(0, kMaxLocaleText);
  return platform::os::Utf16ToUtf8(cut);
}

}  // namespace

void SetDeviceFacts(const DeviceFacts& facts) { g_facts = facts; }
const DeviceFacts& GetDeviceFacts() { return g_facts; }
bool FirstRun() { return g_first_run; }
void SetFirstRun(bool first_run) { g_first_run = first_run; }
const DefaultChannel* DefaultChannels() { return kChannels; }

void SeedDatabases() {
  g_first_run = false;
  Database* db = nullptr;

  if (Open(&db, "TavoCats", false, false) == store::kStoreOk) Close(&db);
  if (Open(&db, "TavoCats", true, true) != store::kStoreOk) return;
  Record("Categories").Text("News", "News").WriteTo(db);
  Close(&db);

  if (Open(&db, "TavoRss", false, false) == store::kStoreOk) {
    Close(&db);
  } else {
    g_first_run = true;
    if (Open(&db, "TavoRss", true, true) != store::kStoreOk) return;
    std::string icon = g_facts.channel_icon ? g_facts.channel_icon() : std::string();
    for (const DefaultChannel& c : kChannels) {
      Record(c.object_name)
          .Text("ChName", c.display_name)
          .Text("DbName", c.database_name)
          .Text("Plugin", "News")
          .Text("URL", "")
          .Text("Subscr", "Yes")
          .Int("Rating", 0)
          .Raw("Icon", store::kTypeBinary, icon.data(), static_cast<std::uint32_t>(icon.size()))
          .WriteTo(db);
    }
    Close(&db);
  }

  if (Open(&db, "TavoCustomArrange", true, true) != store::kStoreOk) return;
  Record("Obj1").Text("ChName", kChannels[kOwnChannel].display_name).WriteTo(db);
  Close(&db);

  WriteDeviceRecord("TavoPrefs", "TavoUser", "TavoDevice");

  if (Open(&db, "TavoPrefs", false, false) == store::kStoreOk) {
    Record("TavoApp").Text("AppId", "26").WriteTo(db);
    Close(&db);
  }

  if (!Exists("TavoSets") && Open(&db, "TavoSets", true, false) == store::kStoreOk) {
    Record("SyncOTA").Int("DataLimit", -1).Int("Data", 3).Int("UnreadArticles", -1).WriteTo(db);
    Record("SyncDesktop").Int("DataLimit", -1).Int("Data", 3).Int("UnreadArticles", 0).WriteTo(db);
    Record("SyncSets").Int("Mode", 1).WriteTo(db);
    Close(&db);
  }

  if (!Exists("TavoSavedPrefs") && Open(&db, "TavoSavedPrefs", true, false) == store::kStoreOk) {
    Record("AlertsSettings")
        .Int("NoNotifyChecked", 0)
        .Int("PlaySound", 1)
        .Int("VisualReminder", 1)
        .Int("ComboSelection", 4)
        .WriteTo(db);
    Close(&db);
  }
}

std::int32_t WriteDeviceRecord(const char* database, const char* user_object, const char* device_object) {
  if (!database || !user_object || !device_object) return store::kStoreBadArgument;
  Database* db = nullptr;
  if (Open(&db, database, false, false) == store::kStoreOk) {
    Close(&db);
    return store::kStoreOk;
  }
  std::int32_t rc = Open(&db, database, true, false);
  if (rc != store::kStoreOk) {
    Close(&db);
    return rc;
  }
  int width = g_facts.screen_width ? g_facts.screen_width() : 0;
  int height = g_facts.screen_height ? g_facts.screen_height() : 0;
  rc = Record(device_object)
           .Text("DevType", "Pocket")
           .Text("DevModel", "Pocket")
           .Int("Width", width)
           .Int("Height", height)
           .Raw("DevID", store::kTypeText, "2", 1)  // one byte, no terminating zero
           .Text("HID", "213234")
           .WriteTo(db);
  Record user(user_object);
  user.Text("User", "Username");
  std::u16string wide;
  if (g_facts.language_abbreviation && g_facts.language_abbreviation(&wide)) user.Text("Lang", Narrow(wide));
  wide.clear();
  if (g_facts.country_abbreviation && g_facts.country_abbreviation(&wide)) user.Text("Country", Narrow(wide));
  std::int32_t urc = user.WriteTo(db);
  Close(&db);
  return rc != store::kStoreOk ? rc : urc;
}

void CountStart() {
  g_start_tick = platform::os::MonotonicMillis();
  AddToStatistic("StartCount", 1, 1);
}

void AddTimeUsed() {
  std::uint64_t elapsed = platform::os::MonotonicMillis() - g_start_tick;
  AddTimeUsed(elapsed > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(elapsed));
}

void AddTimeUsed(std::uint32_t elapsed_ms) {
  std::int64_t add = elapsed_ms;
  AddToStatistic("TimeUsed", add, add > INT_MAX ? INT_MAX : static_cast<std::int32_t>(add));
}

void AcceptAgreement() {
  Database* db = nullptr;
  if (Open(&db, "TavoPrefs", true, false) != store::kStoreOk) return;
  if (CanRead(db, "EulaAccepted")) {
    Close(&db);
    return;
  }
  Record("EulaAccepted").WriteTo(db);
  Close(&db);
  g_first_run = true;
}

bool AgreementAccepted() {
  Database* db = nullptr;
  if (Open(&db, "TavoPrefs", false, false) != store::kStoreOk) return false;
  bool accepted = CanRead(db, "EulaAccepted");
  Close(&db);
  return accepted;
}

}  // namespace app
