// Synchronising from inside Tidelark.exe: the program started in a device
// folder of its own, driven from outside through its window messages, syncing
// with the real server (the native build's, started on the host) through a
// relay that slows the answers and holds them on request. Screenshots in
// build/windows/test-output/sync/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/object_store.h"
#include "app/stored_object.h"
#include "device_folder.h"
#include "platform/os.h"
#include "platform/unix_host.h"
#include "relay.h"
#include "walk.h"

namespace {

using platform::automation::Driver;
using platform::unix_host::WinePath;
using walk::State;

constexpr DWORD kWait = 20000;
const std::string kNativeBin = std::string(TIDELARK_SOURCE_DIR) + "/build/native/bin";
const std::string kFeeds = std::string(TIDELARK_SHARED_DATA) + "/feeds";
// The language pack's texts the failures show (resources/lang/en.txt).
const char kTransferFailed[] = "The data transfer failed. Please try again.";                     // 224
const char kNoServer[] = "No connection to the server. Check your connection and try again.";  // 226

std::string Output(const std::string& name) {
  std::string dir = std::string(TIDELARK_TEST_OUTPUT) + "/sync";
  platform::os::MakeDirectories(dir);
  return dir + "/" + name;
}

// A catalogue with every feed of the shared data as a channel; the number of feeds.
std::size_t WriteSharedFeedsCatalogue(const std::string& dir) {
  std::vector<std::string> names;
  platform::os::ListDirectory(WinePath(kFeeds), &names);
  std::sort(names.begin(), names.end());
  std::string catalogue;
  for (std::size_t i = 0; i < names.size(); ++i)
    catalogue += "[channel " + std::to_string(40001 + i) + "]\nname = " + names[i] + "\nurl = " + kFeeds + "/" +
                 names[i] + "\n";
  return platform::os::WriteWholeFile(WinePath(dir + "/cat.ini"), catalogue) == 0 ? names.size() : 0;
}

struct Device : walk::DeviceFolder {
  Device() : walk::DeviceFolder(TIDELARK_BIN_DIR) { EXPECT_TRUE(ok()) << Dir(); }
};

// The progress window is a dialog too: a message box is one without its cancel button.
HWND FindMessageBox(Driver& driver, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  do {
    for (HWND w : driver.Windows(walk::kDialogClass))
      if (!GetDlgItem(w, 1002)) return w;
    Sleep(20);
  } while (GetTickCount() - start < timeout_ms);
  return nullptr;
}

// The message box's text: its static controls' texts, joined.
std::string MessageText(HWND box) {
  std::string text;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t cls[32] = {}, t[512] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") != 0 || !SendMessageW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(t))) continue;
    std::u16string u(t, t + lstrlenW(t));
    text += platform::os::Utf16ToUtf8(u);
  }
  return text;
}

HWND ProgressWindow(Driver& driver) {
  for (HWND w : driver.Windows(walk::kDialogClass))
    if (GetDlgItem(w, 1002)) return w;
  return nullptr;
}

int Close(Driver& driver, HWND frame) {
  PostMessageW(frame, WM_CLOSE, 0, 0);
  return driver.WaitExit(kWait);
}

// The volume checked by the volume inspector (index against records,
// orphans, doubled names); its exit code.
int CheckVolume(const std::string& volume) {
  platform::os::Process p;
  if (platform::os::SpawnProcess({std::string(TIDELARK_BIN_DIR) + "/tidelark-vol.exe", "--check", volume}, &p) != 0)
    return -100;
  int code = -1;
  if (platform::os::WaitProcess(&p, 60000, &code) != 0) return -101;
  return code;
}

class SyncScreen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_dir_ = std::string(TIDELARK_TEST_OUTPUT) + "/sync-server";
    platform::os::RemoveTree(WinePath(server_dir_));
    platform::os::MakeDirectories(WinePath(server_dir_));
    feeds_ = WriteSharedFeedsCatalogue(server_dir_);
    server_ = new platform::unix_host::Server();
    started_ = server_->Start(kNativeBin + "/tidelark-server", server_dir_,
                              "--catalogue " + server_dir_ + "/cat.ini --fetch-interval 0 --fetch-pictures no");
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(platform::os::PathExists(WinePath(kNativeBin + "/tidelark-server")))
        << "the native build's server is missing: build the native preset first";
    ASSERT_GE(feeds_, 20u) << "the shared feeds are missing: " << kFeeds;
    ASSERT_TRUE(started_) << server_->Log();
  }

  // Starts the program on `device` and brings it to the sync screen.
  HWND StartAtSyncScreen(const Device& device, const std::vector<std::wstring>& env = {}) {
    EXPECT_TRUE(driver_->Start(device.Program(), env));
    HWND frame = nullptr;
    EXPECT_TRUE(walk::StartToChannels(*driver_, &frame, nullptr, nullptr));
    ShowSyncScreen(frame);
    return frame;
  }
  // The same, with the device syncing through `relay`, started here at `rate`.
  HWND StartThroughRelay(walk::Relay* relay, int rate, const Device& device,
                         const std::vector<std::wstring>& env = {}) {
    EXPECT_TRUE(relay->Start(server_->port(), rate));
    EXPECT_EQ(device.SetServer("127.0.0.1", relay->port()), 0);
    return StartAtSyncScreen(device, env);
  }
  // The same after a first sync has brought the channel list, back at the sync screen.
  HWND StartWithChannelList(walk::Relay* relay, const Device& device) {
    HWND frame = StartThroughRelay(relay, 128 * 1024, device);
    if (!frame) return nullptr;
    EXPECT_EQ(SyncFixedDatabases()["sync_result"], "0");
    ShowSyncScreen(frame);
    return frame;
  }
  void ShowSyncScreen(HWND frame) {
    EXPECT_TRUE(walk::TapButton(*driver_, frame, 5017));
    EXPECT_EQ(driver_->State()["title"], "Synchronize");
  }
  // Syncs the checked channels (none) and waits for the end; the state then.
  State SyncFixedDatabases() {
    EXPECT_TRUE(driver_->Command(3041));
    EXPECT_EQ(driver_->State()["sync_channels"], "0");
    return walk::WaitForState(*driver_, "sync", "0", 120000);
  }

  static std::string server_dir_;
  static std::size_t feeds_;
  static platform::unix_host::Server* server_;
  static bool started_;
  std::unique_ptr<Driver> driver_ = std::make_unique<Driver>();
};

std::string SyncScreen::server_dir_;
std::size_t SyncScreen::feeds_ = 0;
platform::unix_host::Server* SyncScreen::server_ = nullptr;
bool SyncScreen::started_ = false;

TEST_F(SyncScreen, BringsTheChannelListThenEveryChannelWithMovingProgress) {
  walk::Relay relay;
  Device device;
  HWND frame = StartThroughRelay(&relay, 256 * 1024, device);
  ASSERT_TRUE(frame);
  const int seeded = std::atoi(driver_->State()["sync_rows"].c_str());

  // Nothing checked: the six fixed databases alone, which bring the channel list.
  State after = SyncFixedDatabases();
  EXPECT_EQ(after["sync_result"], "0");
  EXPECT_EQ(after["title"], "Channels") << "the news view follows the sync";
  EXPECT_FALSE(FindMessageBox(*driver_, 500)) << "a sync that worked says nothing";
  EXPECT_EQ(device.ReadInt("TavoInfo", "SyncStats", "SyncCount"), 1);
  EXPECT_EQ(device.Count("Tavo 40001"), -1) << "no channel database was synchronised";
  ShowSyncScreen(frame);
  const int rows = std::atoi(driver_->State()["sync_rows"].c_str());
  EXPECT_GE(rows, static_cast<int>(feeds_)) << "the server's channels are listed (seeded: " << seeded << ")";

  // One channel checked: that channel's database joins the fixed ones.
  State screen = driver_->State();
  int x, y, w, h;
  char database[64] = {};
  ASSERT_EQ(std::sscanf(screen["sync_row 0"].c_str(), "%d %d %d %d %63[^\n]", &x, &y, &w, &h, database), 5);
  driver_->Tap(frame, x + 8, y + h / 2);
  driver_->Sync();
  EXPECT_EQ(driver_->State()["sync_rows"], std::to_string(rows) + " 1");
  relay.Hold();
  ASSERT_TRUE(driver_->Command(3041));
  EXPECT_EQ(driver_->State()["sync_channels"], "1") << "the checked channel joins the fixed databases";
  relay.Release();
  after = walk::WaitForState(*driver_, "sync", "0", 120000);
  EXPECT_EQ(after["sync_result"], "0");
  EXPECT_GT(device.Count(database), 0) << database;
  ShowSyncScreen(frame);

  // All channels: held once under way, the window answers and shows its progress.
  std::set<std::string> progress;
  ASSERT_TRUE(walk::TapSyncAll(*driver_, frame));
  State s = walk::WaitForState(*driver_, "sync", "1", kWait);
  ASSERT_EQ(s["sync"], "1");
  EXPECT_EQ(s["sync_channels"], std::to_string(rows)) << "every listed channel";
  ASSERT_TRUE(walk::WaitUntilUnderWay(*driver_, 60000, &progress)) << "the bars move";
  relay.Hold();
  Sleep(300);  // what was under way arrives
  const DWORD ping = GetTickCount();
  EXPECT_TRUE(driver_->Sync(5000)) << "the window answers while the sync thread works";
  EXPECT_LT(GetTickCount() - ping, 5000u);
  EXPECT_TRUE(driver_->Shot(Output("progress-mid-sync.png")));
  State held = driver_->State();
  EXPECT_EQ(held["sync"], "1");
  EXPECT_TRUE(ProgressWindow(*driver_)) << "the progress window is up";
  EXPECT_FALSE(held["sync_text"].empty());
  relay.Release();
  after = walk::WaitForState(*driver_, "sync", "0", 180000, &progress);
  EXPECT_EQ(after["sync_result"], "0");
  EXPECT_GE(progress.size(), 3u) << "the progress values moved";
  EXPECT_FALSE(ProgressWindow(*driver_));
  EXPECT_EQ(after["title"], "Channels");
  EXPECT_EQ(device.ReadInt("TavoInfo", "SyncStats", "SyncCount"), 3);
  EXPECT_EQ(Close(*driver_, frame), 0);

  // Every channel of the catalogue came with its articles (a few feeds of the
  // shared data are broken on purpose and bring none).
  int filled = 0, articles = 0;
  for (std::size_t i = 0; i < feeds_; ++i) {
    int n = device.Count(("Tavo " + std::to_string(40001 + i)).c_str());
    if (n > 0) {
      ++filled;
      articles += n;
    }
  }
  EXPECT_GE(filled, static_cast<int>(feeds_) - 4) << articles << " articles";
  EXPECT_GE(articles, 200);
  EXPECT_GT(device.Count("TavoSyncDBAnchors"), static_cast<int>(feeds_) / 2);
  EXPECT_GT(relay.connections(), 0);
  EXPECT_EQ(CheckVolume(device.Volume()), 0);
}

TEST_F(SyncScreen, CancelMidSyncIsSilentAndLeavesTheVolumeConsistent) {
  walk::Relay relay;
  Device device;
  HWND frame = StartWithChannelList(&relay, device);
  ASSERT_TRUE(frame);
  // Cancelled by a tap on the button, then by the escape key on it.
  for (bool by_key : {false, true}) {
    SCOPED_TRACE(by_key ? "escape key" : "tap");
    if (by_key) ShowSyncScreen(frame);
    relay.Hold();
    ASSERT_TRUE(walk::TapSyncAll(*driver_, frame));
    State s = walk::WaitForState(*driver_, "sync", "1", kWait);
    ASSERT_EQ(s["sync"], "1");
    HWND window = ProgressWindow(*driver_);
    ASSERT_TRUE(window);
    if (by_key) {
      driver_->Key(GetDlgItem(window, 1002), VK_ESCAPE);
    } else {
      int x, y, w, h;
      ASSERT_TRUE(walk::ParseRect(s, "sync_cancel", &x, &y, &w, &h));
      POINT p = {x + w / 2, y + h / 2};
      ScreenToClient(window, &p);
      driver_->Tap(window, p.x, p.y);
    }
    driver_->Sync();
    relay.Release();
    State after = walk::WaitForState(*driver_, "sync", "0", 60000);
    EXPECT_EQ(after["sync_result"], "15005");
    EXPECT_FALSE(FindMessageBox(*driver_, 1500)) << "a cancelled sync says nothing";
    EXPECT_EQ(after["title"], "Channels");
  }
  // The next sync runs whole on what the cancelled ones left.
  ShowSyncScreen(frame);
  ASSERT_TRUE(walk::TapSyncAll(*driver_, frame));
  walk::WaitForState(*driver_, "sync", "1", kWait);
  State after = walk::WaitForState(*driver_, "sync", "0", 180000);
  EXPECT_EQ(after["sync_result"], "0");
  EXPECT_EQ(Close(*driver_, frame), 0);
  EXPECT_GT(device.Count("Tavo 40001"), 0);
  EXPECT_EQ(CheckVolume(device.Volume()), 0);
}

TEST_F(SyncScreen, ClosingTheProgramMidSyncCancelsItAndKeepsTheVolume) {
  walk::Relay relay;
  Device device;
  HWND frame = StartWithChannelList(&relay, device);
  ASSERT_TRUE(frame);
  ASSERT_TRUE(walk::TapSyncAll(*driver_, frame));
  ASSERT_TRUE(walk::WaitUntilUnderWay(*driver_, 60000, nullptr));
  relay.Hold();
  PostMessageW(frame, WM_CLOSE, 0, 0);
  Sleep(500);
  relay.Release();
  EXPECT_EQ(driver_->WaitExit(30000), 0) << "the program ends, its sync cancelled";
  EXPECT_EQ(CheckVolume(device.Volume()), 0);
  EXPECT_EQ(device.ReadInt("TavoInfo", "SyncStats", "SyncCount"), 2);
}

TEST_F(SyncScreen, FailuresShowTheirMessage) {
  walk::FixedAnswerServer not_found;
  ASSERT_TRUE(not_found.Start("404 Not Found"));
  const struct {
    const char* what;
    int port;
    const char* text;
    const char* result;
  } cases[] = {
      {"server down", walk::ClosedPort(), kNoServer, "15004"},
      {"a web server without the sync service", not_found.port(), kTransferFailed, "15002"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    driver_ = std::make_unique<Driver>();
    Device device;
    ASSERT_EQ(device.SetServer("127.0.0.1", c.port), 0);
    HWND frame = StartAtSyncScreen(device);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(driver_->Command(3041));
    HWND box = FindMessageBox(*driver_, 60000);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageText(box), c.text);
    wchar_t caption[64] = {};
    GetWindowTextW(box, caption, 64);
    EXPECT_STREQ(caption, L"Tidelark");
    EXPECT_TRUE(driver_->Shot(Output(std::string("message-") + c.result + ".png")));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    State after = walk::WaitForState(*driver_, "sync", "0", kWait);
    EXPECT_EQ(after["sync_result"], c.result);
    EXPECT_EQ(after["title"], "Channels");
    EXPECT_EQ(Close(*driver_, frame), 0);
  }
}

TEST_F(SyncScreen, NoConnectionStartsNothing) {
  const struct {
    const wchar_t* words;
    DWORD status;
  } cases[] = {
      {L"TIDELARK_CONNECTION=disconnected", 0x20},
      {L"TIDELARK_CONNECTION=fail", 0x21},  // the platform's error reporter is asked to explain
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    driver_ = std::make_unique<Driver>();
    walk::Relay relay;
    Device device;
    HWND frame = StartThroughRelay(&relay, 0, device, {c.words});
    ASSERT_TRUE(frame);
    const DWORD start = GetTickCount();
    ASSERT_TRUE(driver_->Command(3041, 60000));
    EXPECT_LT(GetTickCount() - start, 40000u) << "a connection that was refused is not waited for";
    State s = driver_->State();
    EXPECT_EQ(s["sync"], "0");
    EXPECT_EQ(s["sync_connection"], std::to_string(c.status));
    EXPECT_EQ(s["title"], "Synchronize") << "the screen stays";
    EXPECT_FALSE(ProgressWindow(*driver_));
    EXPECT_FALSE(FindMessageBox(*driver_, 1000)) << "nothing is shown";
    EXPECT_EQ(relay.connections(), 0) << "no request reached the server";
    EXPECT_EQ(Close(*driver_, frame), 0);
  }
}

TEST_F(SyncScreen, ASlowConnectionIsWaitedFor) {
  walk::Relay relay;
  Device device;
  // The probe gets no answer in time; the connection made on the worker comes 1.5 s later.
  HWND frame = StartThroughRelay(&relay, 0, device, {L"TIDELARK_CONNECTION=slow:1500"});
  ASSERT_TRUE(frame);
  const DWORD start = GetTickCount();
  ASSERT_TRUE(driver_->Command(3041, 60000));
  EXPECT_GE(GetTickCount() - start, 1400u) << "the sync waited for the connection";
  State after = walk::WaitForState(*driver_, "sync", "0", 120000);
  EXPECT_EQ(after["sync_result"], "0");
  EXPECT_EQ(after["sync_connection"], std::to_string(0x10));
  EXPECT_GT(relay.connections(), 0);
  EXPECT_EQ(Close(*driver_, frame), 0);
}

// The program's edit controls, top to bottom.
std::vector<HWND> EditControls(HWND frame) {
  std::vector<std::pair<LONG, HWND>> found;
  EnumChildWindows(
      frame,
      [](HWND w, LPARAM lp) -> BOOL {
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        RECT r;
        if (lstrcmpiW(cls, L"Edit") == 0 && IsWindowVisible(w) && GetWindowRect(w, &r))
          reinterpret_cast<std::vector<std::pair<LONG, HWND>>*>(lp)->push_back({r.top, w});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  std::sort(found.begin(), found.end());
  std::vector<HWND> edits;
  for (auto& f : found) edits.push_back(f.second);
  return edits;
}

TEST_F(SyncScreen, SettingsScreensStoreWhatTheyShow) {
  Device device;
  {
    // Anchors of an earlier sync.
    CObjectStore access(device.Volume());
    store::Database* db = nullptr;
    ASSERT_EQ(access.Open(&db, "TavoSyncDBAnchors", true), 0);
    StoredObject("TavoRss").SetText("LastAnchor", "20261201 1000").Write(db);
    store::CloseDatabase(&db);
  }
  EXPECT_TRUE(driver_->Start(device.Program()));
  HWND frame = nullptr;
  ASSERT_TRUE(walk::StartToChannels(*driver_, &frame, nullptr, nullptr));

  // Sync settings: "limit" with an empty field stores 20; the other mode keeps its defaults.
  ASSERT_TRUE(driver_->Command(3024));
  EXPECT_EQ(driver_->State()["title"], "Sync settings");
  EXPECT_TRUE(driver_->Shot(Output("sync-settings.png")));
  ASSERT_TRUE(driver_->Command(3104));
  ASSERT_TRUE(driver_->Command(3102));
  EXPECT_EQ(device.ReadInt("TavoSets", "SyncOTA", "DataLimit"), 20);
  EXPECT_EQ(device.ReadInt("TavoSets", "SyncOTA", "Data"), 3);
  EXPECT_EQ(device.ReadInt("TavoSets", "SyncOTA", "UnreadArticles"), 1);
  EXPECT_EQ(device.ReadInt("TavoSets", "SyncDesktop", "DataLimit"), -1);
  // The desktop mode: a typed limit, kept over a switch of modes.
  ASSERT_TRUE(driver_->Command(3024));
  ASSERT_TRUE(driver_->Command(3101));
  std::vector<HWND> edits = EditControls(frame);
  ASSERT_FALSE(edits.empty());
  SendMessageW(edits.back(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"75"));
  ASSERT_TRUE(driver_->Command(3104));
  ASSERT_TRUE(driver_->Command(3100));
  ASSERT_TRUE(driver_->Command(3103));
  ASSERT_TRUE(driver_->Command(3102));
  EXPECT_EQ(device.ReadInt("TavoSets", "SyncDesktop", "DataLimit"), 75);
  EXPECT_EQ(device.ReadInt("TavoSets", "SyncOTA", "DataLimit"), -1);

  // Connection settings: a new e-mail keeps the anchors, a new user name removes them.
  ASSERT_TRUE(driver_->Command(3026));
  EXPECT_EQ(driver_->State()["title"], "Connection");
  edits = EditControls(frame);
  ASSERT_EQ(edits.size(), 3u);
  wchar_t shown[64] = {};
  SendMessageW(edits[1], WM_GETTEXT, 64, reinterpret_cast<LPARAM>(shown));
  EXPECT_STREQ(shown, L"") << "the placeholder user name shows as an empty field";
  SendMessageW(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"reader@example.net"));
  EXPECT_TRUE(driver_->Shot(Output("connection-settings.png")));
  ASSERT_TRUE(driver_->Command(3050));
  EXPECT_EQ(device.ReadText("TavoPrefs", "TavoUser", "Email"), "reader@example.net");
  EXPECT_EQ(device.Count("TavoSyncDBAnchors"), 1) << "the e-mail alone keeps the anchors";
  ASSERT_TRUE(driver_->Command(3026));
  edits = EditControls(frame);
  ASSERT_EQ(edits.size(), 3u);
  SendMessageW(edits[1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"reader "));
  ASSERT_TRUE(driver_->Command(3050));
  EXPECT_EQ(device.ReadText("TavoPrefs", "TavoUser", "User"), "reader") << "one trailing blank goes";
  EXPECT_EQ(device.Count("TavoSyncDBAnchors"), -1) << "a new user name starts without anchors";
  EXPECT_EQ(Close(*driver_, frame), 0);
}

}  // namespace
