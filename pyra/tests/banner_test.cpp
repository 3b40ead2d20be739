// Banner selection: which ads are candidates, the order of rotation,
// keywords, content by format, impression counting and the log records.
// Each test writes its ads as a sync would before the host opens the
// library; later writes from outside reach the handle with a newer stamp.
#include <algorithm>

#include "banner.h"
#include "handle.h"
#include "pyra_test_util.h"

namespace pyra {
namespace {

using testing_support::AdSpec;
using testing_support::Draw;
using testing_support::FileTimeOf;
using testing_support::kTicksPerDay;
using testing_support::PyraTest;
using testing_support::StoredInt;
using testing_support::StoredNames;
using testing_support::StoredObjectExists;
using testing_support::WriteAds;

class BannerTest : public PyraTest {
 protected:
  void TearDown() override {
    if (handle_) PyraClose(handle_);
    PyraTest::TearDown();
  }

  void Open() {
    system_.files["\\Program Files\\Tidelark\\Tidelark.exe"] = system_.now;  // installed today: no sync due
    if (!handle_) handle_ = OpenHost();
    ASSERT_NE(nullptr, handle_);
  }

  PyraHandle* h() { return static_cast<PyraHandle*>(handle_); }

  std::vector<std::string> RingNames() {
    std::vector<std::string> names;
    for (const RingEntry& e : h()->ring) names.push_back(e.name);
    return names;
  }

  // Sets the banner area (which builds the ring) for the ad space.
  void Area(std::int32_t ad_space = 43) {
    Open();
    ASSERT_EQ(0, SetBannerArea(handle_, &window_, ad_space));
  }

  // What the next pick drew: an ad's content (its name here) or a text.
  std::string Pick() {
    system_.draws.clear();
    DrawBanner(handle_, 1);
    return system_.LastDraw().text;
  }

  static AdSpec Ad(const std::string& name, int impressions = 0) {
    AdSpec ad;
    ad.name = name;
    ad.impressions = impressions;
    ad.content = name;
    return ad;
  }

  std::vector<std::string> LogNames() {
    std::vector<std::string> logs;
    for (const std::string& n : StoredNames(kInfoDb))
      if (n.compare(0, 4, "Log ") == 0) logs.push_back(n);
    return logs;
  }

  void* handle_ = nullptr;
  int window_ = 0;
};

TEST_F(BannerTest, AdSpaceLists) {
  AdSpec a = Ad("Ad 1", 0), b = Ad("Ad 2", 1), c = Ad("Ad 3", 2), d = Ad("Ad 4", 3), e = Ad("Ad 5", 4);
  a.ad_spaces = "143,43";
  b.ad_spaces = "143";
  c.ad_spaces = "43,7";
  d.ad_spaces = "7,43";
  e.ad_spaces = "";  // no "AdSpaces" at all
  ASSERT_EQ(0, WriteAds({a, b, c, d, e}));
  Area(43);
  EXPECT_EQ((std::vector<std::string>{"Ad 1", "Ad 3", "Ad 4"}), RingNames());
  Area(-1);
  EXPECT_EQ((std::vector<std::string>{"Ad 1", "Ad 2", "Ad 3", "Ad 4", "Ad 5"}), RingNames());
  Area(143);
  EXPECT_EQ((std::vector<std::string>{"Ad 1", "Ad 2"}), RingNames());
}

TEST_F(BannerTest, SizesMustFitTheBannerArea) {
  AdSpec wide = Ad("Ad 1"), tall = Ad("Ad 2"), fits = Ad("Ad 3"), no_impr = Ad("Ad 4");
  wide.width = 241;
  tall.height = 61;
  fits.width = 240;
  fits.height = 60;
  no_impr.has_impressions = false;  // only ads with all three properties are found
  ASSERT_EQ(0, WriteAds({wide, tall, fits, no_impr}));
  Area();
  EXPECT_EQ(std::vector<std::string>{"Ad 3"}, RingNames());

  // A banner narrower than every ad shows the welcome text and counts nothing.
  system_.window_width = 100;
  Area();
  EXPECT_TRUE(RingNames().empty());
  EXPECT_EQ(kWelcomeText, Pick());
  EXPECT_EQ(0, StoredInt(kAdDb, "Ad 3", "Impr"));
  EXPECT_TRUE(LogNames().empty());
}

TEST_F(BannerTest, ExpiryTodayAndTomorrow) {
  system_.now = FileTimeOf(2024, 5, 14, 22);
  AdSpec today = Ad("Ad 1", 0), yesterday = Ad("Ad 2", 1), never = Ad("Ad 3", 2);
  today.expiry = "20240514";
  yesterday.expiry = "20240513";
  ASSERT_EQ(0, WriteAds({today, yesterday, never}));
  Area();
  EXPECT_EQ((std::vector<std::string>{"Ad 1", "Ad 3"}), RingNames());

  // Tomorrow the ring still holds it, but the selection passes it over...
  system_.now += kTicksPerDay;
  for (int i = 0; i < 4; ++i) EXPECT_EQ("Ad 3", Pick());
  // ...and the next rebuild leaves it out.
  Area();
  EXPECT_EQ(std::vector<std::string>{"Ad 3"}, RingNames());
}

TEST_F(BannerTest, ImpressionCaps) {
  AdSpec capped = Ad("Ad 1", 5), one_left = Ad("Ad 2", 5), unlimited = Ad("Ad 3", 500);
  capped.max_impressions = 5;
  one_left.max_impressions = 6;
  ASSERT_EQ(0, WriteAds({capped, one_left, unlimited}));
  Area();
  EXPECT_EQ((std::vector<std::string>{"Ad 2", "Ad 3"}), RingNames());
  EXPECT_EQ("Ad 3", Pick());
  EXPECT_EQ("Ad 2", Pick());  // its sixth impression: the ring's copy reaches the cap
  EXPECT_EQ("Ad 3", Pick());
  EXPECT_EQ("Ad 3", Pick());
  EXPECT_EQ(6, StoredInt(kAdDb, "Ad 2", "Impr"));
  Area();
  EXPECT_EQ(std::vector<std::string>{"Ad 3"}, RingNames());
}

TEST_F(BannerTest, RotationOrder) {
  ASSERT_EQ(0, WriteAds({Ad("Ad 1", 0), Ad("Ad 2", 1), Ad("Ad 3", 2)}));
  Area();
  ASSERT_EQ((std::vector<std::string>{"Ad 1", "Ad 2", "Ad 3"}), RingNames());
  std::vector<std::string> shown;
  for (int i = 0; i < 7; ++i) shown.push_back(Pick());
  EXPECT_EQ((std::vector<std::string>{"Ad 2", "Ad 3", "Ad 1", "Ad 2", "Ad 3", "Ad 1", "Ad 2"}), shown);
}

TEST_F(BannerTest, SingleEligibleAdIsShownEveryTime) {
  AdSpec expired = Ad("Ad 2", 1);
  expired.expiry = "20240514";
  ASSERT_EQ(0, WriteAds({Ad("Ad 1", 0), expired}));
  Area();
  system_.now += kTicksPerDay;
  for (int i = 0; i < 3; ++i) EXPECT_EQ("Ad 1", Pick());
}

TEST_F(BannerTest, RandomJumpRightAfterARebuild) {
  ASSERT_EQ(0, WriteAds({Ad("Ad 1", 0), Ad("Ad 2", 1), Ad("Ad 3", 2), Ad("Ad 4", 3), Ad("Ad 5", 4), Ad("Ad 6", 5)}));
  system_.tick = 2;  // the first rand() after srand(2) is 5 modulo 10: four entries on
  Area();
  EXPECT_EQ("Ad 6", Pick());
  EXPECT_EQ("Ad 1", Pick());  // no jump until the next rebuild
  EXPECT_EQ("Ad 2", Pick());
}

TEST_F(BannerTest, KeywordsOfTwoWords) {
  AdSpec cars = Ad("Ad 1", 0), boats = Ad("Ad 2", 1), golf = Ad("Ad 3", 2), plain = Ad("Ad 4", 3);
  cars.keywords = {"cars"};
  boats.keywords = {"boats", "sailing"};
  golf.keywords = {"golf"};
  ASSERT_EQ(0, WriteAds({cars, boats, golf, plain}));
  Area();
  ASSERT_EQ(0, SetContextKeywords(handle_, "cars sailing", 0));
  EXPECT_EQ(4u, RingNames().size());  // the existing ring stays as it is
  Area();
  EXPECT_EQ((std::vector<std::string>{"Ad 1", "Ad 2"}), RingNames());

  ASSERT_EQ(0, SetContextKeywords(handle_, "golf nothing", 0));  // a word without matches adds nothing
  Area();
  EXPECT_EQ(std::vector<std::string>{"Ad 3"}, RingNames());

  ASSERT_EQ(0, SetContextKeywords(handle_, "nothing", 0));  // no match at all: no restriction
  Area();
  EXPECT_EQ(4u, RingNames().size());

  system_.draws.clear();
  ASSERT_EQ(0, SetContextKeywords(handle_, "cars", 1));  // the redraw flag picks the next ad
  EXPECT_EQ(Draw::kImage, system_.LastDraw().kind);
}

TEST_F(BannerTest, RepaintCountsAgainWithoutASecondLogRecord) {
  AdSpec ad = Ad("Ad 101", 3);
  ASSERT_EQ(0, WriteAds({ad}));
  Area();
  EXPECT_EQ("Ad 101", Pick());
  EXPECT_EQ(4, StoredInt(kAdDb, "Ad 101", "Impr"));
  EXPECT_EQ(0, DrawBanner(handle_, 0));
  EXPECT_EQ(5, StoredInt(kAdDb, "Ad 101", "Impr"));
  intptr_t result = 7;
  EXPECT_EQ(0, ProcessSystemMessage(handle_, &window_, 15, 0, 0, &result));  // a paint
  EXPECT_EQ(0, result);
  EXPECT_EQ(1, system_.paints);
  EXPECT_EQ(6, StoredInt(kAdDb, "Ad 101", "Impr"));
  EXPECT_EQ(1u, LogNames().size());
  EXPECT_EQ(0, ProcessSystemMessage(handle_, &window_, 6, 1, 0, nullptr));  // activation repaints too
  EXPECT_EQ(7, StoredInt(kAdDb, "Ad 101", "Impr"));
  EXPECT_EQ(1, ProcessSystemMessage(handle_, &window_, 20, 0, 0, nullptr));  // no background erasing
  EXPECT_EQ(1, system_.validations);
  EXPECT_EQ(7, StoredInt(kAdDb, "Ad 101", "Impr"));

  // A draw that fails counts nothing.
  system_.draw_image_result = 1;
  DrawBanner(handle_, 0);
  DrawBanner(handle_, 1);
  EXPECT_EQ(7, StoredInt(kAdDb, "Ad 101", "Impr"));
  EXPECT_EQ(1u, LogNames().size());
}

TEST_F(BannerTest, LogRecords) {
  AdSpec by_name = Ad("Ad 101", 0), by_property = Ad("Promo", 1), no_id = Ad("Summer", 2);
  by_property.ad_id = 77;
  AdSpec long_name = Ad("Ad 5 with a name far too long for the log buffer", 3);
  ASSERT_EQ(0, WriteAds({by_name, by_property, no_id, long_name}));
  Area();
  const std::uint64_t start = system_.now;
  std::vector<std::string> shown;
  for (int i = 0; i < 4; ++i) {
    system_.now = start + i * 10 * kFileTimeTicksPerSecond;
    shown.push_back(Pick());
  }
  ASSERT_EQ((std::vector<std::string>{"Promo", "Summer", long_name.name, "Ad 101"}), shown);
  // The long name drew and counted, but its object name does not fit the log's buffer.
  EXPECT_EQ(4, StoredInt(kAdDb, long_name.name, "Impr"));
  const std::int64_t t0 = SecondsSince2000(start);
  struct Expected {
    std::int64_t time;
    int ad_id;
  } expected[] = {{t0, 77}, {t0 + 10, 0}, {t0 + 30, 101}};
  ASSERT_EQ(3u, LogNames().size());
  for (const Expected& e : expected) {
    std::string name = "Log " + std::to_string(e.time);
    ASSERT_TRUE(StoredObjectExists(kInfoDb, name)) << name;
    EXPECT_EQ(e.time, StoredInt(kInfoDb, name, "Time"));
    EXPECT_EQ(26, StoredInt(kInfoDb, name, "AppID"));
    EXPECT_EQ(e.ad_id, StoredInt(kInfoDb, name, "AdID"));
    EXPECT_EQ(43, StoredInt(kInfoDb, name, "AdSpaceId"));
    EXPECT_EQ(0, StoredInt(kInfoDb, name, "Action"));
  }
}

TEST_F(BannerTest, TwoPicksInOneSecondKeepBothLogRecords) {
  ASSERT_EQ(0, WriteAds({Ad("Ad 1", 0), Ad("Ad 2", 1)}));
  Area();
  Pick();
  Pick();
  Pick();
  std::string base = "Log " + std::to_string(SecondsSince2000(system_.now));
  std::vector<std::string> logs = LogNames();
  std::sort(logs.begin(), logs.end());
  EXPECT_EQ((std::vector<std::string>{base, base + ".1", base + ".2"}), logs);
  EXPECT_EQ(2, StoredInt(kInfoDb, base, "AdID"));
  EXPECT_EQ(1, StoredInt(kInfoDb, base + ".1", "AdID"));
}

TEST_F(BannerTest, ContentByFormat) {
  AdSpec spaced = Ad("Ad 1", 0), image = Ad("Ad 2", 1), jpg = Ad("Ad 3", 2), html = Ad("Ad 4", 3),
         unknown = Ad("Ad 5", 4), empty = Ad("Ad 6", 5);
  spaced.content_property = "Content ";
  image.content_property = "Image";
  jpg.format = "JPG";  // drawn as an image, but only "JPEG" content is loaded
  html.format = "HTML";
  html.content_property = "HTML";
  unknown.format = "GIF";
  empty.content = "";
  ASSERT_EQ(0, WriteAds({spaced, image, jpg, html, unknown, empty}));
  AdSpec ok = Ad("Ad 7", 6);
  ok.format = "JPEG-2";  // loaded by its first four characters, but drawn only for an exact format
  ASSERT_EQ(0, WriteAds({ok}));
  system_.tick = 1;
  Area();
  std::vector<std::string> shown;
  for (int i = 0; i < 7; ++i) shown.push_back(Pick());
  EXPECT_EQ((std::vector<std::string>{"Ad 2", kWelcomeText, kWelcomeText, kWelcomeText, kWelcomeText, kWelcomeText,
                                      "Ad 1"}),
            shown);
  EXPECT_EQ(2, StoredInt(kAdDb, "Ad 2", "Impr"));
  EXPECT_EQ(3, StoredInt(kAdDb, "Ad 4", "Impr"));  // nothing counted for the text
}

// Writes the pieces and the map of an "ImageMap" ad.
void WriteImageMapAd(const std::string& name, const std::vector<std::pair<std::string, std::string>>& pieces,
                     const std::string& map) {
  Db ads;
  ASSERT_EQ(0, ads.Open(kAdDb, true));
  for (const auto& piece : pieces) {
    Obj o;
    o.Create(piece.first.c_str());
    SetBlob(o.get(), "Data", piece.second);
    ASSERT_EQ(0, Store(ads.get(), o.get()));
  }
  Obj ad;
  ad.Create(name.c_str());
  SetInt(ad.get(), "Width", 100);
  SetInt(ad.get(), "Height", 40);
  SetInt(ad.get(), "Impr", 0);
  SetText(ad.get(), "AdSpaces", "43");
  SetText(ad.get(), "Format", "ImageMap");
  SetBlob(ad.get(), "ImageMap", map);
  ASSERT_EQ(0, Store(ads.get(), ad.get()));
}

std::string MapOf(const std::vector<std::string>& objects) {
  std::string map;
  for (const std::string& o : objects) {
    for (const std::string& s : {o, std::string("Data"), std::string("0"), std::string("0"), std::string("")}) {
      map += s;
      map.push_back('\0');
    }
  }
  map.push_back('\0');
  return map;
}

TEST_F(BannerTest, ImageMapsJoinTheirPiecesInOrder) {
  std::string first(7000, 'a'), second(7000, 'b'), third(123, 'c');
  WriteImageMapAd("Ad 9", {{"Part 9 0", first}, {"Part 9 1", second}, {"Part 9 2", third}},
                  MapOf({"Part 9 0", "Part 9 1", "Part 9 2", "Part 9 0"}));
  Area();
  EXPECT_EQ(first + second + third + first, Pick());
}

TEST_F(BannerTest, BrokenImageMapDeletesItsAd) {
  WriteImageMapAd("Ad 8", {{"Part 8 0", "xyz"}}, MapOf({"Part 8 0", "Part 8 missing"}));
  std::string truncated = MapOf({"Part 8 0"});
  WriteImageMapAd("Ad 7", {}, truncated.substr(0, 5));
  ASSERT_EQ(0, WriteAds({Ad("Ad 6", 5)}));
  Area();
  ASSERT_EQ(3u, RingNames().size());
  for (int i = 0; i < 3; ++i) Pick();
  EXPECT_FALSE(StoredObjectExists(kAdDb, "Ad 8"));
  EXPECT_FALSE(StoredObjectExists(kAdDb, "Ad 7"));
  EXPECT_TRUE(StoredObjectExists(kAdDb, "Part 8 0"));
  Area();
  EXPECT_EQ(std::vector<std::string>{"Ad 6"}, RingNames());
  EXPECT_EQ(1u, LogNames().size());
}

TEST_F(BannerTest, SynchronizingTextWhileAnySyncRuns) {
  ASSERT_EQ(0, WriteAds({Ad("Ad 1")}));
  Area();
  system_.event_exists = true;
  EXPECT_EQ(kSynchronizingText, Pick());
  EXPECT_EQ(0, StoredInt(kAdDb, "Ad 1", "Impr"));
  EXPECT_EQ(0, ProcessSystemMessage(handle_, &window_, 15, 0, 0, nullptr));
  EXPECT_EQ(kSynchronizingText, system_.LastDraw().text);
  EXPECT_EQ(kPyraSyncRunning, SyncPyraDatabase(handle_, nullptr));
  system_.event_exists = false;
  EXPECT_EQ("Ad 1", Pick());
}

TEST_F(BannerTest, NewerSyncStampReopensAndRebuilds) {
  ASSERT_EQ(0, WriteAds({Ad("Ad 1", 0)}));
  Area();
  EXPECT_EQ("Ad 1", Pick());
  // Another process synchronised: a new ad and a newer stamp.
  ASSERT_EQ(0, WriteAds({Ad("Ad 2", 0)}));
  {
    Db refresh;
    ASSERT_EQ(0, refresh.Open(kRefreshDb, true));
    Obj stamp;
    stamp.Create(kLastSyncObject);
    std::uint64_t later = system_.now + 1;
    SetBlob(stamp.get(), "Last Sync Date Num", std::string(reinterpret_cast<const char*>(&later), 8));
    ASSERT_EQ(0, Store(refresh.get(), stamp.get()));
  }
  Pick();
  EXPECT_EQ(2u, RingNames().size());
}

TEST_F(BannerTest, CreatePyraInstanceSetsAreaAndDefaultKeywords) {
  AdSpec motor = Ad("Ad 1", 0), other = Ad("Ad 2", 1);
  motor.keywords = {"motorsport/cars"};
  ASSERT_EQ(0, WriteAds({motor, other}));
  Open();
  EXPECT_EQ(kPyraBadArgument, CreatePyraInstance(handle_, 1, 2, 3, 4, nullptr, nullptr, 7));
  EXPECT_EQ(7, h()->ad_space);  // stored even without a window
  ASSERT_EQ(0, CreatePyraInstance(handle_, 1, 2, 3, 4, nullptr, &window_, 43));
  EXPECT_EQ("motorsport/cars", h()->keywords);
  Area();
  EXPECT_EQ(std::vector<std::string>{"Ad 1"}, RingNames());
}

TEST_F(BannerTest, TwoHostsLogIntoOneDatabase) {
  ASSERT_EQ(0, WriteAds({Ad("Ad 1", 0), Ad("Ad 2", 1)}));
  Area();
  system_.files["\\Weather.exe"] = system_.now;
  void* weather = OpenHost(27, "\\Weather.exe", {43});
  int other_window = 0;
  ASSERT_EQ(0, SetBannerArea(weather, &other_window, 43));
  // Both hosts pick in the same second: every event keeps a record of its own.
  for (int i = 0; i < 3; ++i) {
    DrawBanner(handle_, 1);
    DrawBanner(weather, 1);
  }
  std::vector<std::string> logs = LogNames();
  EXPECT_EQ(6u, logs.size());
  int reader = 0, other = 0;
  for (const std::string& n : logs) (StoredInt(kInfoDb, n, "AppID") == 26 ? reader : other)++;
  EXPECT_EQ(3, reader);
  EXPECT_EQ(3, other);
  PyraClose(weather);
}

}  // namespace
}  // namespace pyra
