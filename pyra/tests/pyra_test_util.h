// Test helpers for the ad library: a device whose clock, files, named event
// and banner window the test controls, a fresh device folder per test, and
// ads written straight into "PyraDatabase" as the server would leave them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dates.h"
#include "platform/os.h"
#include "pyra/pyra.h"
#include "store/store.h"
#include "store_access.h"
#include "system.h"

namespace pyra {
namespace testing_support {

inline std::uint64_t FileTimeOf(int year, int month, int day, int hour = 12, int minute = 0) {
  DateTime t;
  t.date = {year, month, day};
  t.hour = hour;
  t.minute = minute;
  return ToFileTime(t);
}

constexpr std::uint64_t kTicksPerDay = 24ull * 3600 * kFileTimeTicksPerSecond;

struct Draw {
  enum Kind { kText, kImage } kind;
  std::string text;  // the status text, or the image bytes
};

class FakeSystem : public System {
 public:
  std::uint64_t now = FileTimeOf(2024, 5, 14, 9);
  std::uint32_t tick = 1;  // FirstRandom(1) % 10 == 1: no jump after a rebuild
  bool event_exists = false;
  int events_created = 0;
  std::map<std::string, std::uint64_t> files;  // path -> creation time
  std::map<std::string, std::pair<std::string, std::string>> products;  // path -> name, version
  int screen_width = 240, screen_height = 320;
  bool orientation = true;
  std::string language = "ENU", country = "USA", oem = "Tidelark Test Handheld", op;
  bool has_locale = true, has_oem = true;
  int window_width = 240, window_height = 60;
  int draw_image_result = 0;
  std::vector<Draw> draws;
  int paints = 0, validations = 0;

  std::uint64_t NowFileTime() override { return now; }
  std::uint32_t TickCount() override { return tick; }
  bool SyncEventExists() override { return event_exists; }
  bool CreateSyncEvent(void** held) override {
    if (event_exists) return false;
    event_exists = true;
    ++events_created;
    *held = this;
    return true;
  }
  void CloseSyncEvent(void* held) override {
    if (held == this) event_exists = false;
  }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  bool FileCreationTime(const std::string& path, std::uint64_t* time) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    *time = it->second;
    return true;
  }
  bool ProductName(const std::string& path, std::string* name) override {
    auto it = products.find(path);
    if (it == products.end() || it->second.first.empty()) return false;
    *name = it->second.first;
    return true;
  }
  bool ProductVersion(const std::string& path, std::string* version) override {
    auto it = products.find(path);
    if (it == products.end() || it->second.second.empty()) return false;
    *version = it->second.second;
    return true;
  }
  void ScreenSize(int* width, int* height) override {
    *width = screen_width;
    *height = screen_height;
  }
  bool OrientationQuery() override { return orientation; }
  bool LanguageAbbreviation(std::string* text) override { return has_locale && (*text = language, true); }
  bool CountryAbbreviation(std::string* text) override { return has_locale && (*text = country, true); }
  bool OemInfo(std::string* text) override { return has_oem && (*text = oem, true); }
  bool OperatorName(std::string* text) override { return !op.empty() && (*text = op, true); }
  bool WindowSize(void* window, int* width, int* height) override {
    *width = window ? window_width : 0;
    *height = window ? window_height : 0;
    return window != nullptr;
  }
  void DrawStatus(void*, const char* text) override { draws.push_back({Draw::kText, text}); }
  int DrawImage(void*, const std::string& bytes) override {
    if (draw_image_result == 0) draws.push_back({Draw::kImage, bytes});
    return draw_image_result;
  }
  void Paint(void*, const std::function<void()>& draw) override {
    ++paints;
    draw();
  }
  void ValidateWindow(void*) override { ++validations; }

  const Draw& LastDraw() const {
    static const Draw none{Draw::kText, "<nothing drawn>"};
    return draws.empty() ? none : draws.back();
  }
};

// A fresh device folder and a fake system for every test.
class PyraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, platform::os::MakeTempDirectory("tidelark-pyra", &root_));
    SetEnvironment("TIDELARK_DEVICE_ROOT", root_);
    SetSystem(&system_);
  }
  void TearDown() override {
    SetSystem(nullptr);
    platform::os::RemoveTree(root_);
  }

  static void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
  }

  // Opens a handle for application 26 with ad space 43, as the news reader does.
  void* OpenHost(std::int32_t application_id = 26, const char* path = "\\Program Files\\Tidelark\\Tidelark.exe",
                 std::vector<std::int32_t> ad_spaces = {43}, int* rc_out = nullptr) {
    PyraOpenVersion version{{1, 2, 2}, {0, 0, 0}};
    void* handle = nullptr;
    int rc = PyraOpen(&handle, application_id, &version, path, ad_spaces.data(),
                      static_cast<std::int32_t>(ad_spaces.size()));
    if (rc_out) *rc_out = rc;
    EXPECT_TRUE(rc == 0 || rc == kPyraSyncDue) << rc;
    return handle;
  }

  std::string root_;
  FakeSystem system_;
};

// An ad as the server writes it.
struct AdSpec {
  std::string name;
  int width = 200, height = 40;
  int impressions = 0;
  bool has_impressions = true;
  int max_impressions = -1;  // -1: no "MSC"
  std::string expiry;        // empty: no "ExpTime"
  std::string ad_spaces = "43";
  std::vector<std::string> keywords;
  std::string format = "JPEG";
  std::string content = "image bytes";
  std::string content_property = "Content";
  int ad_id = -1;  // -1: no "AdID"
};

inline int WriteAd(store::Database* db, const AdSpec& ad) {
  Obj o;
  int rc = o.Create(ad.name.c_str());
  if (rc) return rc;
  SetInt(o.get(), "Width", ad.width);
  SetInt(o.get(), "Height", ad.height);
  if (ad.has_impressions) SetInt(o.get(), "Impr", ad.impressions);
  if (ad.max_impressions >= 0) SetInt(o.get(), "MSC", ad.max_impressions);
  if (!ad.expiry.empty()) SetText(o.get(), "ExpTime", ad.expiry);
  if (!ad.ad_spaces.empty()) SetText(o.get(), "AdSpaces", ad.ad_spaces);
  for (std::size_t i = 0; i < ad.keywords.size(); ++i)
    SetText(o.get(), i == 0 ? "Keywords" : ("Keywords" + std::to_string(i + 1)).c_str(), ad.keywords[i]);
  SetText(o.get(), "Format", ad.format);
  if (!ad.content_property.empty()) SetBlob(o.get(), ad.content_property.c_str(), ad.content);
  if (ad.ad_id >= 0) SetInt(o.get(), "AdID", ad.ad_id);
  return Store(db, o.get());
}

inline int WriteAds(const std::vector<AdSpec>& ads) {
  Db db;
  int rc = db.Open(kAdDb, true);
  for (const AdSpec& ad : ads)
    if (rc == 0) rc = WriteAd(db.get(), ad);
  return rc;
}

// The stored object's int32 property (or `missing`).
inline std::int32_t StoredInt(const char* database, const std::string& object, const char* property,
                              std::int32_t missing = -999) {
  Db db;
  Obj o;
  std::int32_t value = missing;
  if (db.Open(database, false) == 0 && LoadObject(db.get(), object.c_str(), &o) == 0) ReadInt(o.get(), property, &value);
  return value;
}

inline std::string StoredText(const char* database, const std::string& object, const char* property) {
  Db db;
  Obj o;
  std::string value = "<missing>";
  if (db.Open(database, false) == 0 && LoadObject(db.get(), object.c_str(), &o) == 0) ReadText(o.get(), property, &value);
  return value;
}

inline bool StoredObjectExists(const char* database, const std::string& object) {
  Db db;
  Obj o;
  return db.Open(database, false) == 0 && LoadObject(db.get(), object.c_str(), &o) == 0;
}

// Names of the stored objects of a database, in name order.
inline std::vector<std::string> StoredNames(const char* database) {
  std::vector<std::string> names;
  Db db;
  Results all;
  if (db.Open(database, false) != 0 || store::ListObjects(db.get(), all.out(), 0) != 0) return names;
  Obj o;
  for (int rc = store::FirstResult(all.get(), o.out()); rc == 0; rc = store::NextResult(all.get(), o.out())) {
    std::string name;
    ObjectName(o.get(), SIZE_MAX, &name);
    names.push_back(name);
  }
  return names;
}

}  // namespace testing_support
}  // namespace pyra
