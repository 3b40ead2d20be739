// The operator's ad catalogue, picture sizes from real files, and the ad
// store's events and report.
#include <gtest/gtest.h>

#include <string>

#include "ad_catalogue.h"
#include "ad_service.h"
#include "ad_storage.h"
#include "config.h"

namespace tidelark_server {
namespace {

const std::string kImages = std::string(TIDELARK_SHARED_DATA) + "/images/";

std::string Image(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(kImages + name, &bytes)) << "missing shared test data: " << kImages + name;
  return bytes;
}

TEST(AdCatalogue, PictureSizesOfRealFiles) {
  struct Case {
    const char* file;
    int width, height;
  } cases[] = {
      {"libjpeg-turbo-testorig.jpg", 227, 149},      // baseline
      {"libjpeg-turbo-testimgari.jpg", 227, 149},    // arithmetic coding
      {"wuffs-peacock.progressive.jpeg", 100, 75},   // progressive
      {"wuffs-peacock.grayscale.jpeg", 100, 75},
      {"jpeg-decoder-jpg-size-15x15.jpg", 15, 15},
      {"image-rs-cat.jpg", 320, 240},
      {"wuffs-hippopotamus.interlaced.gif", 36, 28},
      {"pillow-transparent.gif", 200, 150},
      {"wuffs-peacock.default.truncated.jpeg", 100, 75},  // the header is whole
  };
  for (const Case& c : cases) {
    int w = 0, h = 0;
    ASSERT_TRUE(ImageSize(Image(c.file), &w, &h)) << c.file;
    EXPECT_EQ(c.width, w) << c.file;
    EXPECT_EQ(c.height, h) << c.file;
  }
  int w = 0, h = 0;
  std::string jpeg = Image("libjpeg-turbo-testorig.jpg");
  EXPECT_FALSE(ImageSize(jpeg.substr(0, 20), &w, &h));  // cut before the frame header
  EXPECT_FALSE(ImageSize("\x89PNG\r\n\x1a\n", &w, &h));
  EXPECT_FALSE(ImageSize("", &w, &h));
}

TEST(AdCatalogue, ParsesAdsAndRefusesBadLines) {
  const std::string base = kImages.substr(0, kImages.size() - 1);
  AdCatalogue c;
  std::string error;
  ASSERT_TRUE(ParseAdCatalogueText("# ads\n[ad 7]\nname = Peacock\nimage = wuffs-peacock.progressive.jpeg\n"
                                   "ad-spaces = 43, 7\nkeywords = birds  photos\nexpires = 20301231\n"
                                   "max-impressions = 5\n\n[ad 8]\nname = Sized\nimage = " +
                                       kImages + "libjpeg-turbo-testorig.jpg\nsize = 200x40\nad-spaces = 1\n",
                                   base, &c, &error))
      << error;
  ASSERT_EQ(2u, c.ads.size());
  const Ad& a = c.ads[0];
  EXPECT_EQ(7, a.id);
  EXPECT_EQ(100, a.width);
  EXPECT_EQ(75, a.height);
  EXPECT_EQ((std::vector<std::int32_t>{43, 7}), a.ad_spaces);
  EXPECT_EQ((std::vector<std::string>{"birds", "photos"}), a.keywords);
  EXPECT_EQ("20301231", a.expires);
  EXPECT_EQ(5, a.max_impressions);
  EXPECT_EQ(200, c.ads[1].width);  // the operator's size wins
  EXPECT_EQ(-1, c.ads[1].max_impressions);

  const std::string ad = "[ad 1]\nname = A\nimage = wuffs-peacock.progressive.jpeg\nad-spaces = 43\n";
  const char* bad[] = {
      "name = before any ad\n",
      "[ad 0]\n",
      "[ad x]\n",
      "[advert 1]\n",
      "[ad 1\n",
      "expires = 20301331\n",
      "expires = tomorrow\n",
      "max-impressions = 0\n",
      "ad-spaces = 43,,7\n",
      "ad-spaces = forty\n",
      "size = 0x30\n",
      "image = missing.jpg\n",
      "image = ../opml/newsboat-example.opml\n",  // not a picture
      "colour = blue\n",
      "[ad 1]\nname = again\n",
  };
  for (const char* line : bad) {
    std::string text = ad + line;
    if (std::string(line).compare(0, 4, "name") == 0) text = line;
    EXPECT_FALSE(ParseAdCatalogueText(text, base, &c, &error)) << line;
  }
  EXPECT_FALSE(ParseAdCatalogueText("[ad 1]\nname = No picture\nad-spaces = 43\n", base, &c, &error));
  EXPECT_NE(std::string::npos, error.find("needs a name, an image and ad spaces"));
}

TEST(AdCatalogue, TheDemoCatalogueLoads) {
  AdCatalogue c;
  std::string error;
  ASSERT_TRUE(LoadAdCatalogue(std::string(TIDELARK_SOURCE_DIR) + "/server/demo/ads.ini", &c, &error)) << error;
  ASSERT_EQ(4u, c.ads.size());
  for (const Ad& a : c.ads) {
    EXPECT_EQ(234, a.width) << a.name;
    EXPECT_EQ(30, a.height) << a.name;  // fits the reader's 34-pixel banner strip
  }
}

TEST(AdObjects, LargePicturesTravelInParts) {
  Ad ad;
  ad.id = 9;
  ad.image = Image("image-rs-cat.jpg");  // 21474 bytes
  ad.width = 320;
  ad.height = 240;
  ad.ad_spaces = {43, 7};
  ad.keywords = {"cats", "pets"};
  std::vector<sync_engine::WireObject> objects = AdObjects(ad);
  ASSERT_EQ(4u, objects.size());
  std::string joined;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ("AdPart 9 " + std::to_string(i), objects[i].name);
    joined += objects[i].Find("Data")->value;
  }
  EXPECT_EQ(ad.image, joined);
  const sync_engine::WireObject& o = objects[3];
  EXPECT_EQ("Ad 9", o.name);
  std::string text;
  ASSERT_TRUE(o.GetText("Format", &text));
  EXPECT_EQ("ImageMap", text);
  ASSERT_TRUE(o.GetText("AdSpaces", &text));
  EXPECT_EQ("43,7", text);
  ASSERT_TRUE(o.GetText("Keywords2", &text));
  EXPECT_EQ("pets", text);
  // Five zero-terminated strings per part, an empty name at the end.
  const std::string& map = o.Find("ImageMap")->value;
  EXPECT_EQ(std::string("AdPart 9 0\0Data\0" "0\0" "8000\0\0", 22), map.substr(0, 22));
  EXPECT_EQ('\0', map.back());
  EXPECT_EQ(0, o.Find("Impr")->AsInt());
}

TEST(AdStorage, EventsAreKeptOnceAndReportedPerDay) {
  AdStorage st;
  std::string error;
  ASSERT_TRUE(st.Open(":memory:", &error)) << error;
  std::int64_t device = st.NewDevice(1000);
  ASSERT_GT(device, 0);
  // Seconds since 2000: 23:59:59 on 1 January 2024 and the next second.
  const std::int64_t last_second = 757468799;
  std::vector<AdEvent> events = {
      {"Log 757468799", last_second, 26, 101, 43, 0},
      {"Log 757468799.1", last_second, 26, 101, 43, 6},
      {"Log 757468800", last_second + 1, 26, 101, 43, 0},
      {"Log 757468800.1", last_second + 1, 26, 102, 43, 0},
  };
  EXPECT_EQ(4, st.AddEvents(device, events));
  EXPECT_EQ(0, st.AddEvents(device, events));  // a transfer that broke sends them again
  std::int64_t other = st.NewDevice(1000);
  EXPECT_EQ(1, st.AddEvents(other, {events[0]}));
  std::vector<AdReportRow> rows = st.Report();
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(101, rows[0].ad);
  EXPECT_EQ("2024-01-01", rows[0].day);
  EXPECT_EQ(2, rows[0].impressions);
  EXPECT_EQ(1, rows[0].clicks);
  EXPECT_EQ("2024-01-02", rows[1].day);
  EXPECT_EQ(1, rows[1].impressions);
  EXPECT_EQ(102, rows[2].ad);

  // Anchors lead back to their device.
  std::string anchor = st.SaveSnapshot(other, "PyraDatabase", {{"Ad 101", 5}});
  std::int64_t found = 0;
  ASSERT_TRUE(st.DeviceOfAnchor(anchor, &found));
  EXPECT_EQ(other, found);
  AdSnapshot snapshot;
  ASSERT_TRUE(st.LoadSnapshot(other, "PyraDatabase", anchor, &snapshot));
  EXPECT_EQ(5u, snapshot["Ad 101"]);
  EXPECT_FALSE(st.LoadSnapshot(device, "PyraDatabase", anchor, &snapshot));
}

}  // namespace
}  // namespace tidelark_server
