// A device whose clock, files, named event and banner window the caller
// controls, and ads written straight into "PyraDatabase" as the server
// leaves them: for tests and benchmarks of the ad library.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dates.h"
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

}  // namespace testing_support
}  // namespace pyra
