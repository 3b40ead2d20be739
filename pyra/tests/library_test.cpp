// Opening and closing, the version contract, the records written at open,
// the registry of hosts, the user record and the sync-due rule, through
// the library's exports on a device the test controls.
#include <cstring>

#include "pyra_test_util.h"

namespace pyra {
namespace {

using testing_support::FileTimeOf;
using testing_support::kTicksPerDay;
using testing_support::PyraTest;
using testing_support::StoredInt;
using testing_support::StoredNames;
using testing_support::StoredObjectExists;
using testing_support::StoredText;

const char kReader[] = "\\Program Files\\Tidelark\\Tidelark.exe";
const char kWeather[] = "\\Program Files\\Weather\\Weather.exe";

TEST(Version, Table) {
  struct Case {
    PyraVersion version;
    int expected;
  } cases[] = {
      {{1, 2, 0}, kPyraVersionAccepted}, {{1, 2, 1}, kPyraVersionAccepted}, {{1, 2, 2}, kPyraVersionAccepted},
      {{1, 2, 3}, kPyraVersionMismatch}, {{1, 3, 0}, kPyraVersionMismatch}, {{1, 1, 9}, kPyraVersionMismatch},
      {{2, 0, 0}, kPyraVersionMismatch}, {{0, 2, 2}, kPyraVersionMismatch},
  };
  for (const Case& c : cases) {
    PyraVersion v = c.version, oldest = {9, 9, 9};
    EXPECT_EQ(c.expected, PyraGetVersion(&v, &oldest)) << c.version.major << "." << c.version.minor << "."
                                                   << c.version.build;
    EXPECT_EQ(1u, v.major);
    EXPECT_EQ(2u, v.minor);
    EXPECT_EQ(2u, v.build);
    EXPECT_EQ(0u, oldest.build);
    EXPECT_EQ(2u, oldest.minor);
  }
  PyraVersion v = {1, 2, 2};
  EXPECT_EQ(kPyraVersionAccepted, PyraGetVersion(&v, nullptr));
  EXPECT_EQ(kPyraBadArgument, PyraGetVersion(nullptr, &v));
}

TEST_F(PyraTest, OpenRefusesAnotherVersionWithoutAHandle) {
  PyraOpenVersion version{{1, 3, 0}, {0, 0, 0}};
  void* handle = reinterpret_cast<void*>(1);
  EXPECT_EQ(kPyraVersionMismatch, PyraOpen(&handle, 26, &version, kReader, nullptr, 0));
  EXPECT_EQ(reinterpret_cast<void*>(1), handle);
  EXPECT_EQ(2u, version.host.minor);  // the library's version, for the host's message
  EXPECT_EQ(2u, version.host.build);
  EXPECT_EQ(kPyraBadArgument, PyraOpen(&handle, 26, nullptr, kReader, nullptr, 0));
  EXPECT_EQ(kPyraBadArgument, PyraOpen(nullptr, 26, &version, kReader, nullptr, 0));
  EXPECT_FALSE(StoredObjectExists(kRegistryDb, kReader));
}

TEST_F(PyraTest, OpenWritesTheDefaultRecordsOnce) {
  system_.op = "Harbour Mobile";
  void* handle = OpenHost();
  ASSERT_NE(nullptr, handle);
  EXPECT_EQ("http://127.0.0.1:8002/", StoredText(kLauncherSettingsDb, "DefaultSettings", "ServerAddress"));
  EXPECT_EQ("Username", StoredText(kLauncherSettingsDb, "DefaultSettings", "User"));
  EXPECT_EQ(0, StoredInt(kLauncherSettingsDb, "DefaultSettings", "OTALimit"));
  EXPECT_EQ("Pocket", StoredText(kPrefsDb, "PyraDevice", "DevType"));
  EXPECT_EQ("Pocket", StoredText(kPrefsDb, "PyraDevice", "DevModel"));
  EXPECT_EQ(240, StoredInt(kPrefsDb, "PyraDevice", "Width"));
  EXPECT_EQ(320, StoredInt(kPrefsDb, "PyraDevice", "Height"));
  EXPECT_EQ(320, StoredInt(kPrefsDb, "PyraDevice", "Width1"));
  EXPECT_EQ(240, StoredInt(kPrefsDb, "PyraDevice", "Height1"));
  EXPECT_EQ("2", StoredText(kPrefsDb, "PyraDevice", "DevID"));
  EXPECT_EQ("213234", StoredText(kPrefsDb, "PyraDevice", "HID"));
  EXPECT_EQ("Tidelark Test Handheld", StoredText(kPrefsDb, "PyraDevice", "OEMName"));
  EXPECT_EQ("Harbour Mobile", StoredText(kPrefsDb, "PyraDevice", "OpName"));
  EXPECT_EQ("Username", StoredText(kPrefsDb, "PyraUser", "User"));
  EXPECT_EQ("ENU", StoredText(kPrefsDb, "PyraUser", "Lang"));
  EXPECT_EQ("USA", StoredText(kPrefsDb, "PyraUser", "Country"));
  ASSERT_EQ(0, PyraClose(handle));

  // The next open keeps the records; the OEM text stays, the operator is
  // replaced only by a name that was found.
  system_.oem = "Another OEM";
  system_.op.clear();
  system_.screen_width = 480;
  handle = OpenHost();
  EXPECT_EQ("Tidelark Test Handheld", StoredText(kPrefsDb, "PyraDevice", "OEMName"));
  EXPECT_EQ("Harbour Mobile", StoredText(kPrefsDb, "PyraDevice", "OpName"));
  EXPECT_EQ(240, StoredInt(kPrefsDb, "PyraDevice", "Width"));
  system_.op = "Bay Telecom";
  void* second = OpenHost();
  EXPECT_EQ("Bay Telecom", StoredText(kPrefsDb, "PyraDevice", "OpName"));
  PyraClose(second);
  PyraClose(handle);
}

TEST_F(PyraTest, DeviceRecordWithoutOrientationLocaleOrOperator) {
  system_.orientation = false;
  system_.has_locale = false;
  system_.has_oem = false;
  void* handle = OpenHost();
  EXPECT_EQ(-999, StoredInt(kPrefsDb, "PyraDevice", "Width1"));
  EXPECT_EQ("<missing>", StoredText(kPrefsDb, "PyraUser", "Lang"));
  EXPECT_EQ("<missing>", StoredText(kPrefsDb, "PyraDevice", "OEMName"));
  EXPECT_EQ("", StoredText(kPrefsDb, "PyraDevice", "OpName"));
  PyraClose(handle);
}

TEST_F(PyraTest, TwoHandlesInOneProcess) {
  void* first = OpenHost();
  void* second = OpenHost(27, kWeather, {7});
  ASSERT_NE(first, second);
  EXPECT_EQ(0, PyraClose(first));
  // Both stay usable until the last close.
  int dummy = 1;
  EXPECT_EQ(0, SetBannerArea(first, &dummy, 43));
  EXPECT_EQ(0, SetBannerArea(second, &dummy, 7));
  EXPECT_NE(kPyraBadArgument, DrawBanner(first, 1));
  EXPECT_EQ(0, PyraClose(first));  // closing twice changes nothing
  EXPECT_NE(kPyraBadArgument, DrawBanner(second, 1));
  EXPECT_EQ(0, PyraClose(second));
  // A fresh open works on the same volume afterwards.
  void* third = OpenHost();
  EXPECT_EQ(0, PyraClose(third));
}

TEST_F(PyraTest, BadHandles) {
  char fake[64] = "XXXX";
  void* h = fake;
  std::int32_t count = 1, length = 10;
  std::int32_t date[3] = {0, 0, 0};
  EXPECT_EQ(kPyraBadArgument, PyraClose(nullptr));
  EXPECT_EQ(kPyraBadArgument, PyraClose(h));
  EXPECT_EQ(kPyraBadArgument, RegisterApplication(h, 1, kReader, nullptr, 0));
  EXPECT_EQ(kPyraBadArgument, UnregisterApplication(h, 1));
  EXPECT_EQ(kPyraBadArgument, GetInstalledApplications(nullptr, nullptr, &count, &length));
  EXPECT_EQ(kPyraBadArgument, SetUserInformation(h, "a", "b"));
  EXPECT_EQ(kPyraBadArgument, GetUserInformation(nullptr, nullptr, &length));
  EXPECT_EQ(kPyraBadArgument, GetSyncInfo(h, date, date));
  EXPECT_EQ(kPyraBadArgument, SetBannerArea(h, h, 43));
  EXPECT_EQ(kPyraBadArgument, SetContextKeywords(h, "cars", 0));
  EXPECT_EQ(kPyraBadArgument, DrawBanner(nullptr, 1));
  EXPECT_EQ(0, ProcessSystemMessage(h, h, 15, 0, 0, nullptr));
  EXPECT_EQ(kPyraBadArgument, SyncPyraDatabase(h, nullptr));
  EXPECT_EQ(kPyraBadArgument, CreatePyraInstance(h, 0, 0, 0, 0, nullptr, h, 43));

  void* handle = OpenHost();
  EXPECT_EQ(kPyraBadArgument, RegisterApplication(handle, 1, nullptr, nullptr, 0));
  EXPECT_EQ(kPyraBadArgument, SetUserInformation(handle, nullptr, "b"));
  EXPECT_EQ(kPyraBadArgument, SetUserInformation(handle, "a", nullptr));
  EXPECT_EQ(kPyraBadArgument, GetSyncInfo(handle, nullptr, date));
  EXPECT_EQ(kPyraBadArgument, SetBannerArea(handle, nullptr, 43));
  EXPECT_EQ(kPyraBadArgument, SetContextKeywords(handle, "", 0));
  EXPECT_EQ(kPyraBadArgument, SetContextKeywords(handle, nullptr, 0));
  PyraClose(handle);
}

TEST_F(PyraTest, OpenRegistersOnlyWithAnIdAndAPath) {
  void* a = OpenHost(-1, kReader, {43});
  void* b = OpenHost(26, nullptr, {43});
  EXPECT_TRUE(StoredNames(kRegistryDb).empty());
  EXPECT_FALSE(StoredObjectExists(kInfoDb, "AdSpaceIDs"));
  void* c = OpenHost(26, kReader, {43});
  EXPECT_EQ(std::vector<std::string>{kReader}, StoredNames(kRegistryDb));
  PyraClose(c);
  PyraClose(b);
  PyraClose(a);
}

TEST_F(PyraTest, RegistrationMergesAdSpacesAndReadsTheVersionResource) {
  system_.products[kReader] = {"Tidelark", "1.0.10"};
  void* handle = OpenHost(26, kReader, {43});
  EXPECT_EQ("43", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));
  EXPECT_EQ("Tidelark", StoredText(kRegistryDb, kReader, "Application"));
  EXPECT_EQ("1.0.10", StoredText(kRegistryDb, kReader, "Version"));
  EXPECT_EQ(26, StoredInt(kRegistryDb, kReader, "AppID"));

  // A second host with 43 and 50 adds only 50; without a version resource
  // its path stands in for both texts.
  std::int32_t ids[] = {43, 50};
  EXPECT_EQ(0, RegisterApplication(handle, 27, kWeather, ids, 2));
  EXPECT_EQ("43;50", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));
  EXPECT_EQ(kWeather, StoredText(kRegistryDb, kWeather, "Application"));
  EXPECT_EQ(kWeather, StoredText(kRegistryDb, kWeather, "Version"));

  // No ids: nothing happens at all.
  EXPECT_EQ(0, RegisterApplication(handle, 28, "\\x.exe", nullptr, 3));
  EXPECT_EQ(0, RegisterApplication(handle, 28, "\\x.exe", ids, 0));
  EXPECT_FALSE(StoredObjectExists(kRegistryDb, "\\x.exe"));

  char a[128], b[128];
  char* buffers[] = {a, b};
  std::int32_t count = 2, length = 128;
  ASSERT_EQ(0, GetInstalledApplications(handle, buffers, &count, &length));
  EXPECT_EQ(2, count);
  // Store order is name order.
  EXPECT_STREQ("Tidelark v. 1.0.10", a);
  EXPECT_EQ(std::string(kWeather) + " v. " + kWeather, b);
  count = 1;
  length = 9;
  std::memset(a, 'x', sizeof a);
  ASSERT_EQ(0, GetInstalledApplications(handle, buffers, &count, &length));
  EXPECT_EQ(1, count);
  EXPECT_STREQ("Tidelark", a);  // length - 1 characters
  EXPECT_EQ('x', a[9]);         // nothing written past the length
  PyraClose(handle);
}

TEST_F(PyraTest, AnotherProcessesAdSpacesAreNotWrittenOver) {
  void* reader = OpenHost(26, kReader, {43});
  void* weather = OpenHost(27, kWeather, {50});
  // The reader's handle loaded the list before the weather host added 50.
  std::int32_t ids[] = {7};
  EXPECT_EQ(0, RegisterApplication(reader, 28, "\\Games\\Sea.exe", ids, 1));
  EXPECT_EQ("43;50;7", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));
  PyraClose(weather);
  PyraClose(reader);
  EXPECT_EQ("43;50;7", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));
}

TEST_F(PyraTest, UnregisteringRemovesItsAdSpaces) {
  void* handle = OpenHost(26, kReader, {43, 44});
  EXPECT_EQ("43;44", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));
  EXPECT_EQ(0, UnregisterApplication(handle, 26));
  EXPECT_FALSE(StoredObjectExists(kInfoDb, "AdSpaceIDs"));  // no id left: the object goes
  EXPECT_FALSE(StoredObjectExists(kRegistryDb, kReader));
  EXPECT_EQ(kPyraNoMoreResults, UnregisterApplication(handle, 26));

  // An id another host still shows stays listed.
  std::int32_t reader_ids[] = {43, 44}, weather_ids[] = {44, 9};
  RegisterApplication(handle, 26, kReader, reader_ids, 2);
  RegisterApplication(handle, 27, kWeather, weather_ids, 2);
  EXPECT_EQ("43;44;9", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));
  EXPECT_EQ(0, UnregisterApplication(handle, 27));
  EXPECT_EQ("43;44", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));
  PyraClose(handle);
}

TEST_F(PyraTest, PruningRemovesHostsWhoseFileIsGone) {
  system_.files[kReader] = 0;
  system_.files[kWeather] = 0;
  void* handle = OpenHost(26, kReader, {43});
  std::int32_t weather_ids[] = {50};
  RegisterApplication(handle, 27, kWeather, weather_ids, 1);
  // A third host shares the weather host's id but is still installed.
  system_.files["\\Games\\Sea.exe"] = 0;
  std::int32_t sea_ids[] = {51};
  RegisterApplication(handle, 27, "\\Games\\Sea.exe", sea_ids, 1);
  EXPECT_EQ("43;50;51", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));

  system_.files.erase(kWeather);
  std::int32_t count = 0, length = 0;
  EXPECT_EQ(kPyraBufferTooSmall, GetInstalledApplications(handle, nullptr, &count, &length));
  EXPECT_EQ(2, count);
  EXPECT_EQ(255, length);
  EXPECT_FALSE(StoredObjectExists(kRegistryDb, kWeather));
  EXPECT_TRUE(StoredObjectExists(kRegistryDb, "\\Games\\Sea.exe"));
  EXPECT_EQ("43;51", StoredText(kInfoDb, "AdSpaceIDs", "AdIDs"));
  PyraClose(handle);
}

TEST_F(PyraTest, UserRecord) {
  void* handle = OpenHost();
  char buffer[32];
  std::int32_t length = sizeof buffer;
  EXPECT_EQ(kPyraNoUser, GetUserInformation(handle, buffer, &length));
  EXPECT_EQ(0, SetUserInformation(handle, "", "secret"));  // an empty name writes nothing
  EXPECT_EQ(kPyraNoUser, GetUserInformation(handle, buffer, &length));

  EXPECT_EQ(0, SetUserInformation(handle, "marina", "N/A"));
  EXPECT_EQ("", StoredText(kPrefsDb, "PyraUser", "Pass"));
  EXPECT_EQ("ENU", StoredText(kPrefsDb, "PyraUser", "Lang"));  // the rest of the record stays
  EXPECT_EQ(0, GetUserInformation(handle, buffer, &length));
  EXPECT_STREQ("marina", buffer);
  length = 6;
  EXPECT_EQ(kPyraBufferTooSmall, GetUserInformation(handle, buffer, &length));
  EXPECT_EQ(7, length);
  length = 0;
  EXPECT_EQ(kPyraBufferTooSmall, GetUserInformation(handle, nullptr, &length));
  EXPECT_EQ(7, length);

  EXPECT_EQ(0, SetUserInformation(handle, "marina", "tide"));
  EXPECT_EQ("tide", StoredText(kPrefsDb, "PyraUser", "Pass"));
  EXPECT_EQ(0, SetUserInformation(handle, "marina", ""));
  EXPECT_EQ("", StoredText(kPrefsDb, "PyraUser", "Pass"));
  PyraClose(handle);
}

// The registration's last sync, as a successful sync leaves it.
void StampRegistration(const char* path, int year, int month, int day) {
  Db registry;
  ASSERT_EQ(0, registry.Open(kRegistryDb, true));
  Obj o;
  ASSERT_EQ(0, o.Create(path));
  SetInt(o.get(), "Last Sync Year", year);
  SetInt(o.get(), "Last Sync Month", month);
  SetInt(o.get(), "Last Sync Day", day);
  ASSERT_EQ(0, Store(registry.get(), o.get()));
}

TEST_F(PyraTest, SyncDueAfterTwoWeeks) {
  struct Case {
    int year, month, day;  // last sync
    std::uint64_t now;
    bool due;
  } cases[] = {
      {2006, 12, 25, FileTimeOf(2007, 1, 7, 23, 59), false},
      {2006, 12, 25, FileTimeOf(2007, 1, 8, 0, 0), true},
      {2008, 2, 20, FileTimeOf(2008, 3, 4), false},
      {2008, 2, 20, FileTimeOf(2008, 3, 5), true},
      {2008, 2, 30, FileTimeOf(2008, 2, 1), true},  // a stored day past the month's end
      {2008, 13, 1, FileTimeOf(2008, 1, 1), true},
  };
  for (const Case& c : cases) {
    system_.now = FileTimeOf(2000, 1, 1);
    void* handle = OpenHost();
    StampRegistration(kReader, c.year, c.month, c.day);
    PyraClose(handle);
    system_.now = c.now;
    int rc = 0;
    handle = OpenHost(26, kReader, {43}, &rc);
    EXPECT_EQ(c.due ? kPyraSyncDue : 0, rc) << c.year << "-" << c.month << "-" << c.day;
    PyraClose(handle);
  }
}

TEST_F(PyraTest, FirstSyncDueThreeDaysAfterInstalling) {
  system_.files[kReader] = FileTimeOf(2007, 1, 30, 8);
  system_.now = FileTimeOf(2007, 2, 1, 23, 59);
  int rc = -1;
  void* handle = OpenHost(26, kReader, {43}, &rc);
  EXPECT_EQ(0, rc);
  int dummy = 0;
  SetBannerArea(handle, &dummy, 43);
  // The status follows the hour: the next hour's draw recomputes it.
  system_.now = FileTimeOf(2007, 2, 2, 0, 30);
  EXPECT_EQ(kPyraSyncDue, DrawBanner(handle, 1));
  PyraClose(handle);

  // Without the file (or without any registration) a sync is due.
  system_.files.clear();
  system_.now = FileTimeOf(2007, 1, 31);
  handle = OpenHost(26, kReader, {43}, &rc);
  EXPECT_EQ(kPyraSyncDue, rc);
  PyraClose(handle);
  handle = OpenHost(-1, nullptr, {}, &rc);
  EXPECT_EQ(kPyraSyncDue, rc);
  PyraClose(handle);
}

TEST_F(PyraTest, DueStatusIsRecomputedEveryHourAcrossMidnight) {
  system_.files[kReader] = FileTimeOf(2007, 1, 30, 8);
  system_.now = FileTimeOf(2007, 2, 1, 23, 10);
  void* handle = OpenHost();
  int dummy = 0;
  SetBannerArea(handle, &dummy, 43);
  EXPECT_EQ(0, DrawBanner(handle, 1));
  system_.now = FileTimeOf(2007, 2, 1, 23, 50);
  EXPECT_EQ(0, DrawBanner(handle, 1));
  // Past midnight the hour of the day is smaller, yet the day has moved on.
  system_.now = FileTimeOf(2007, 2, 2, 0, 10);
  EXPECT_EQ(kPyraSyncDue, DrawBanner(handle, 1));
  PyraClose(handle);
}

TEST_F(PyraTest, SyncInfo) {
  void* handle = OpenHost();
  std::int32_t last[3] = {-1, -1, -1}, next[3] = {-2, -2, -2};
  EXPECT_EQ(0, GetSyncInfo(handle, last, next));
  EXPECT_EQ(-1, last[0]);  // nothing stored: left as the caller set it
  EXPECT_EQ(-2, next[2]);
  PyraClose(handle);

  struct Case {
    int year, month, day;
    int rc;
    int next_year, next_month, next_day;
  } cases[] = {
      {2006, 12, 25, 0, 2007, 1, 8},
      {2008, 2, 20, 0, 2008, 3, 5},
      {2008, 13, 2, kPyraBadArgument, 0, 0, 0},
      {2007, 2, 29, kPyraBadArgument, 0, 0, 0},
  };
  for (const Case& c : cases) {
    {
      Db ads;
      ASSERT_EQ(0, ads.Open(kAdDb, true));
      Obj o;
      o.Create(kLastSyncObject);
      SetInt(o.get(), "Last Sync Year", c.year);
      SetInt(o.get(), "Last Sync Month", c.month);
      SetInt(o.get(), "Last Sync Day", c.day);
      ASSERT_EQ(0, Store(ads.get(), o.get()));
    }
    handle = OpenHost();
    EXPECT_EQ(c.rc, GetSyncInfo(handle, last, next));
    PyraClose(handle);
    if (c.rc != 0) continue;
    EXPECT_EQ(c.year, last[0]);
    EXPECT_EQ(c.month, last[1]);
    EXPECT_EQ(c.day, last[2]);
    EXPECT_EQ(c.next_year, next[0]);
    EXPECT_EQ(c.next_month, next[1]);
    EXPECT_EQ(c.next_day, next[2]);
  }
}

}  // namespace
}  // namespace pyra
