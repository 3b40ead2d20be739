// Hosts of PyraLibrary.dll under Wine against the real server on
// 127.0.0.1: a second host process synchronises while this one shows the
// synchronizing text and is refused a second sync; afterwards this host's
// next banner reopens the databases and shows the new ads, rotates them,
// and its own sync takes the impressions to the server's report.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "banner_window.h"
#include "platform/os.h"
#include "platform/screenshot.h"
#include "pyra/pyra.h"
#include "store/store.h"
#include "unix_server.h"

namespace {

using pyra_test::CountPixels;
using pyra_test::kStatusPixel;
using pyra_test::kWhitePixel;

const std::string kServer = std::string(TIDELARK_SOURCE_DIR) + "/build/native/bin/tidelark-server";
const std::string kCatalogue = std::string(TIDELARK_SOURCE_DIR) + "/pyra/tests/ads.ini";
const std::string kImages = std::string(TIDELARK_SHARED_DATA) + "/images/";

std::wstring W(const std::string& s) {
  std::u16string u = platform::os::Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}

std::string ShotPath(const std::string& name) {
  std::string dir = pyra_test::WinePath(std::string(TIDELARK_TEST_OUTPUT) + "/pyra");
  platform::os::MakeDirectories(dir);
  return dir + "/" + name;
}

// Impressions per ad id in the operator's report.
std::map<int, int> Impressions(const std::string& report) {
  std::map<int, int> counts;
  std::istringstream in(report);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string w; words >> w;) fields.push_back(w);
    if (fields.size() >= 4 && std::atoi(fields[0].c_str()) > 0)
      counts[std::atoi(fields[0].c_str())] += std::atoi(fields[fields.size() - 2].c_str());
  }
  return counts;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::os::PathExists(pyra_test::WinePath(kServer)))
        << kServer << " is missing: build the native preset first";
    for (const char* f : {"libjpeg-turbo-testorig.jpg", "wuffs-peacock.progressive.jpeg", "pillow-transparent.gif"})
      ASSERT_TRUE(platform::os::PathExists(pyra_test::WinePath(kImages + f))) << "missing shared test data: " << f;
    ASSERT_EQ(0, platform::os::MakeTempDirectory("tidelark-pyra-host", &root_));
    SetEnvironmentVariableW(L"TIDELARK_DEVICE_ROOT", W(root_).c_str());
    server_dir_ = std::string(TIDELARK_TEST_OUTPUT) + "/pyra-server-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
    platform::os::RemoveTree(pyra_test::WinePath(server_dir_));
    ASSERT_EQ(0, platform::os::MakeDirectories(pyra_test::WinePath(server_dir_)));
  }

  void Start(const std::string& catalogue, int banner_height) {
    ASSERT_TRUE(server_.Start(kServer, server_dir_, catalogue)) << server_.Log();
    WriteServerSettings();
    window_ = pyra_test::CreateBannerWindow(240, banner_height);
  }
  void TearDown() override {
    pyra_test::AttachedHandle() = nullptr;
    if (handle_) PyraClose(handle_);
    if (window_) DestroyWindow(window_);
    server_.Stop();
    platform::os::RemoveTree(root_);
  }

  void WriteServerSettings() {
    std::string volume = root_ + "\\Windows\\PyraDatabase.vol";
    platform::os::MakeDirectories(root_ + "\\Windows");
    store::Database* db = nullptr;
    ASSERT_EQ(0, store::OpenDatabase(&db, "_sysSettings", 1, 0, store::kCreatorPyra, 0, 11, 10, volume.c_str()));
    store::Object* o = nullptr;
    store::CreateObject(&o, "ServerSettings");
    std::string port = std::to_string(server_.ad_port());
    store::SetProperty(o, "ServerIP", store::kTypeText, "127.0.0.1", 10, 1, 1, 1, 0);
    store::SetProperty(o, "ServerPort", store::kTypeText, port.c_str(), static_cast<std::uint32_t>(port.size() + 1), 1,
                       1, 1, 0);
    EXPECT_EQ(0, store::WriteObject(db, o, 1, 1, 1, 1));
    store::FreeObject(o);
    store::CloseDatabase(&db);
  }

  void OpenHost() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    PyraOpenVersion version{{1, 2, 2}, {0, 0, 0}};
    std::int32_t ids[] = {43};
    int rc = PyraOpen(&handle_, 26, &version, self, ids, 1);
    ASSERT_TRUE(rc == 0 || rc == kPyraSyncDue) << rc;
    ASSERT_EQ(0, SetBannerArea(handle_, window_, 43));
    pyra_test::AttachedHandle() = handle_;
  }

  // Starts the second host; it holds its sync open until `go` is set.
  PROCESS_INFORMATION StartSecondHost(const wchar_t* started, const wchar_t* go) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe(self);
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"pyra_test_host.exe";
    std::wstring cmd = L"\"" + exe + L"\" --app -1 --hold " + started + L" " + go;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    EXPECT_TRUE(CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    return pi;
  }

  platform::Pixels Capture() {
    platform::Pixels px;
    EXPECT_TRUE(platform::CaptureWindow(window_, true, &px));
    return px;
  }

  std::string root_, server_dir_;
  pyra_test::UnixServer server_;
  HWND window_ = nullptr;
  void* handle_ = nullptr;
};

TEST_F(HostTest, AnotherHostSynchronisesThenTheBannerShowsTheNewAds) {
  Start(kCatalogue, 150);
  OpenHost();
  DrawBanner(handle_, 1);
  EXPECT_GT(CountPixels(Capture(), kStatusPixel), 240 * 150 / 2) << "no ads yet: the welcome text";

  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, L"PyraTestSyncStarted");
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, L"PyraTestSyncGo");
  PROCESS_INFORMATION other = StartSecondHost(L"PyraTestSyncStarted", L"PyraTestSyncGo");
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started, 60000)) << "the second host never synchronised";

  // While it synchronises: no second sync, and the synchronizing text.
  EXPECT_EQ(kPyraSyncRunning, SyncPyraDatabase(handle_, nullptr));
  DrawBanner(handle_, 1);
  platform::Pixels during = Capture();
  EXPECT_GT(CountPixels(during, kStatusPixel), 240 * 150 / 2);
  EXPECT_TRUE(platform::SaveWindowPng(window_, ShotPath("host-while-another-syncs.png"), true));

  SetEvent(go);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other.hProcess, 120000));
  DWORD code = 1;
  GetExitCodeProcess(other.hProcess, &code);
  EXPECT_EQ(0u, code) << server_.Log();
  CloseHandle(other.hProcess);
  CloseHandle(other.hThread);
  CloseHandle(started);
  CloseHandle(go);

  // This host's next banner reopens the databases and shows the new ads,
  // drawn on white and centred; the cat (320x240) does not fit.
  std::vector<std::vector<std::uint32_t>> shots;
  for (int i = 0; i < 4; ++i) {
    DrawBanner(handle_, 1);
    platform::Pixels px = Capture();
    EXPECT_EQ(0, CountPixels(px, kStatusPixel)) << "pick " << i << " drew a status text";
    // Every picture that fits is narrower than 240: white at both sides.
    EXPECT_EQ(kWhitePixel, px.At(2, 75)) << "pick " << i;
    EXPECT_EQ(kWhitePixel, px.At(237, 75)) << "pick " << i;
    EXPECT_GT(240 * 150 - CountPixels(px, kWhitePixel), 2000) << "pick " << i << " drew no picture";
    EXPECT_TRUE(platform::SaveWindowPng(window_, ShotPath("host-ad-" + std::to_string(i + 1) + ".png"), true));
    shots.push_back(px.data);
    Sleep(1100);  // one pick a second: one log record each
  }
  EXPECT_NE(shots[0], shots[1]) << "the banner did not rotate";
  EXPECT_NE(shots[1], shots[2]);

  // This host's own sync takes the four impressions to the report.
  ASSERT_EQ(0, SyncPyraDatabase(handle_, nullptr)) << server_.Log();
  std::map<int, int> counts = Impressions(server_.Report(kServer, kCatalogue));
  int total = 0;
  for (const auto& c : counts) {
    EXPECT_TRUE(c.first == 201 || c.first == 202 || c.first == 203) << c.first;
    total += c.second;
  }
  EXPECT_EQ(4, total) << server_.Report(kServer, kCatalogue);
  EXPECT_EQ(3u, counts.size()) << "four picks rotate through the three ads that fit";
}

// The demo catalogue's banners in the news reader's strip (240x34).
TEST_F(HostTest, DemoBannersInTheReadersStrip) {
  Start(std::string(TIDELARK_SOURCE_DIR) + "/server/demo/ads.ini", 34);
  OpenHost();
  ASSERT_EQ(0, SyncPyraDatabase(handle_, nullptr)) << server_.Log();
  std::set<std::vector<std::uint32_t>> different;
  for (int i = 0; i < 4; ++i) {
    DrawBanner(handle_, 1);
    platform::Pixels px = Capture();
    EXPECT_EQ(kWhitePixel, px.At(1, 17)) << "a 234-pixel banner sits centred";
    EXPECT_LT(CountPixels(px, kWhitePixel), 240 * 34 / 4) << "pick " << i << " drew no banner";
    EXPECT_TRUE(platform::SaveWindowPng(window_, ShotPath("demo-ad-" + std::to_string(i + 1) + ".png"), true));
    different.insert(px.data);
  }
  EXPECT_EQ(4u, different.size()) << "four picks rotate through the four demo ads";
}

}  // namespace
