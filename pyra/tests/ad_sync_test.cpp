// The ad library against the real server on 127.0.0.1: the ads of a
// catalogue with real pictures reach the device, rotate in the banner, and
// the impressions logged on the device reach the server's report.
#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "banner.h"
#include "handle.h"
#include "pyra_test_util.h"
#include "server_process.h"

namespace pyra {
namespace {

using testing_support::PyraTest;
using testing_support::StoredInt;
using testing_support::StoredNames;
using testing_support::StoredObjectExists;
using testing_support::StoredText;

const std::string kCatalogue = std::string(TIDELARK_SOURCE_DIR) + "/pyra/tests/ads.ini";
const std::string kImages = std::string(TIDELARK_SHARED_DATA) + "/images/";
const char kReader[] = "\\Program Files\\Tidelark\\Tidelark.exe";

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  platform::os::ReadWholeFile(path, &bytes);
  return bytes;
}

int NoProgress(int, int, const char*, int) { return 0; }

class AdSyncTest : public PyraTest {
 protected:
  void SetUp() override {
    PyraTest::SetUp();
    if (HasFatalFailure()) return;
    // The catalogue reads its pictures from the shared test data: without
    // them this test cannot say anything.
    for (const char* f : {"libjpeg-turbo-testorig.jpg", "wuffs-peacock.progressive.jpeg", "pillow-transparent.gif",
                          "image-rs-cat.jpg"})
      ASSERT_TRUE(platform::os::PathExists(kImages + f)) << "missing shared test data: " << kImages + f;
    system_.now = (static_cast<std::uint64_t>(platform::os::UnixTimeSeconds()) + kFileTimeUnixOffset) *
                  kFileTimeTicksPerSecond;
    data_ = tidelark_test::FreshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_FALSE(data_.empty());
    system_.files[kReader] = system_.now;  // installed, so the pruning walk keeps it
    StartServer(kCatalogue);
  }
  void TearDown() override {
    if (handle_) PyraClose(handle_);
    server_.Stop();
    PyraTest::TearDown();
  }

  void StartServer(const std::string& catalogue) {
    server_.Stop();
    ad_port_ = 0;
    std::string port_file = data_ + "/ad-port";
    std::remove(port_file.c_str());
    ASSERT_TRUE(server_.Start(data_, {"--ad-catalogue", catalogue, "--ad-port", "0", "--ad-port-file", port_file,
                                      "--fetch-interval", "0", "--session-timeout", "5"}))
        << server_.log();
    for (int i = 0; i < 100 && ad_port_ <= 0; ++i) {
      ad_port_ = std::atoi(tidelark_test::ReadFile(port_file).c_str());
      if (ad_port_ <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_GT(ad_port_, 0);
    Db settings;
    ASSERT_EQ(0, settings.Open("_sysSettings", true));
    Obj o;
    o.Create("ServerSettings");
    SetText(o.get(), "ServerIP", "127.0.0.1");
    SetText(o.get(), "ServerPort", std::to_string(ad_port_));
    ASSERT_EQ(0, Store(settings.get(), o.get()));
  }

  void Sync() { ASSERT_EQ(0, SyncPyraDatabase(handle_, NoProgress)) << server_.log(); }

  std::string Report() {
    std::string out = data_ + "/report.txt";
    std::string cmd = std::string(TIDELARK_SERVER_BIN) + " --data '" + data_ + "' --ad-catalogue '" + kCatalogue +
                      "' --ad-report '" + out + "'";
    EXPECT_EQ(0, std::system(cmd.c_str()));
    return tidelark_test::ReadFile(out);
  }

  // The impressions column of the report, per ad id, summed over days.
  std::map<int, int> ReportedImpressions() {
    std::map<int, int> counts;
    std::istringstream in(Report());
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::vector<std::string> fields;
      for (std::string w; words >> w;) fields.push_back(w);
      if (fields.size() < 4 || std::atoi(fields[0].c_str()) <= 0) continue;
      counts[std::atoi(fields[0].c_str())] += std::atoi(fields[fields.size() - 2].c_str());
    }
    return counts;
  }

  std::string data_;
  tidelark_test::ServerProcess server_;
  int ad_port_ = 0;
  void* handle_ = nullptr;
  int window_ = 0;
};

TEST_F(AdSyncTest, AdsRotateAndTheirImpressionsReachTheReport) {
  handle_ = OpenHost(26, kReader, {43});
  Sync();
  // The ads meant for ad space 43 and not expired, the big pictures in parts.
  std::vector<std::string> names = StoredNames(kAdDb);
  std::set<std::string> ads(names.begin(), names.end());
  for (const char* n : {"Ad 201", "Ad 202", "Ad 203", "Ad 204", "AdPart 203 0", "AdPart 203 1", "AdPart 204 2",
                        "Last Sync Time"})
    EXPECT_TRUE(ads.count(n)) << n;
  EXPECT_FALSE(ads.count("Ad 205"));  // another ad space
  EXPECT_FALSE(ads.count("Ad 206"));  // expired
  EXPECT_EQ("ImageMap", StoredText(kAdDb, "Ad 203", "Format"));
  EXPECT_EQ(0, StoredInt(kAdDb, "Ad 201", "Impr"));
  std::int32_t last[3] = {0, 0, 0}, next[3] = {0, 0, 0};
  ASSERT_EQ(0, GetSyncInfo(handle_, last, next));
  Date today = FromFileTime(system_.now).date;
  EXPECT_EQ(today.year, last[0]);
  EXPECT_EQ(today.day, last[2]);
  EXPECT_EQ(today.year, StoredInt(kRegistryDb, kReader, "Last Sync Year"));

  // A 240x150 banner: the cat (320x240) does not fit.
  system_.window_width = 240;
  system_.window_height = 150;
  ASSERT_EQ(0, SetBannerArea(handle_, &window_, 43));
  std::map<std::string, std::string> pictures = {
      {ReadBytes(kImages + "libjpeg-turbo-testorig.jpg"), "Ad 201"},
      {ReadBytes(kImages + "wuffs-peacock.progressive.jpeg"), "Ad 202"},
      {ReadBytes(kImages + "pillow-transparent.gif"), "Ad 203"},
  };
  std::map<std::string, int> shown;
  for (int i = 0; i < 9; ++i) {
    system_.draws.clear();
    system_.now += kFileTimeTicksPerSecond;  // one pick a second: one log record each
    DrawBanner(handle_, 1);
    ASSERT_EQ(testing_support::Draw::kImage, system_.LastDraw().kind) << system_.LastDraw().text;
    auto it = pictures.find(system_.LastDraw().text);
    ASSERT_NE(pictures.end(), it) << "a picture that is none of the catalogue's";
    ++shown[it->second];
  }
  EXPECT_EQ((std::map<std::string, int>{{"Ad 201", 3}, {"Ad 202", 3}, {"Ad 203", 3}}), shown);

  // The next sync takes the log records to the server and off the device;
  // the device keeps its impression counts.
  Sync();
  for (const std::string& n : StoredNames(kInfoDb)) EXPECT_NE(0u, n.find("Log ")) << n;
  EXPECT_EQ(3, StoredInt(kAdDb, "Ad 201", "Impr"));
  EXPECT_EQ((std::map<int, int>{{201, 3}, {202, 3}, {203, 3}}), ReportedImpressions());

  // A sync with nothing new changes nothing on either side.
  Sync();
  EXPECT_EQ((std::map<int, int>{{201, 3}, {202, 3}, {203, 3}}), ReportedImpressions());
  EXPECT_NE(std::string::npos, server_.log().find("PyraDatabase +0 -0;")) << server_.log();
}

TEST_F(AdSyncTest, AdsLeavingTheCatalogueLeaveTheDevice) {
  handle_ = OpenHost(26, kReader, {43});
  Sync();
  ASSERT_TRUE(StoredObjectExists(kAdDb, "Ad 204"));
  // The operator drops the cat and the test card.
  std::string smaller = data_ + "/ads.ini";
  {
    std::ofstream out(smaller);
    out << "[ad 202]\nname = Peacock\nimage = " << kImages << "wuffs-peacock.progressive.jpeg\nad-spaces = 43\n"
        << "[ad 203]\nname = Transparent\nimage = " << kImages << "pillow-transparent.gif\nad-spaces = 43\n";
  }
  StartServer(smaller);
  Sync();
  std::vector<std::string> names = StoredNames(kAdDb);
  std::set<std::string> left(names.begin(), names.end());
  EXPECT_EQ((std::set<std::string>{"Ad 202", "Ad 203", "AdPart 203 0", "AdPart 203 1", "Last Sync Time"}), left);
}

TEST_F(AdSyncTest, AFailedSyncLeavesItDue) {
  system_.files[kReader] = system_.now - 4 * testing_support::kTicksPerDay;  // its first sync is due
  int rc = 0;
  handle_ = OpenHost(26, kReader, {43}, &rc);
  EXPECT_EQ(kPyraSyncDue, rc);
  server_.Stop();
  EXPECT_EQ(15004, SyncPyraDatabase(handle_, NoProgress));  // no server: the connection fails
  std::int32_t last[3] = {-1, -1, -1}, next[3] = {-1, -1, -1};
  EXPECT_EQ(0, GetSyncInfo(handle_, last, next));
  EXPECT_EQ(-1, last[0]);
  EXPECT_FALSE(StoredObjectExists(kRefreshDb, kLastSyncObject));
  int dummy = 0;
  SetBannerArea(handle_, &dummy, 43);
  EXPECT_EQ(kPyraSyncDue, DrawBanner(handle_, 1));
}

}  // namespace
}  // namespace pyra
