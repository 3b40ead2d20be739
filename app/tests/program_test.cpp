// Tidelark.exe as a user meets it: started in a device folder of its own,
// driven through real window messages, asked for its state and screenshots.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/object_store.h"
#include "gui/window_box.h"
#include "platform/os.h"
#include "platform/screenshot.h"
#include "walk.h"

namespace {

using platform::automation::Driver;
using walk::State;

constexpr DWORD kWait = 20000;

std::wstring Wide(const std::string& s) {
  std::u16string w = platform::os::Utf8ToUtf16(s);
  return std::wstring(w.begin(), w.end());
}

// A device folder with the program under `base` (its packs named after it).
class DeviceFolder {
 public:
  explicit DeviceFolder(const std::string& base = "Tidelark") : base_(base) {
    EXPECT_EQ(platform::os::MakeTempDirectory("tidelark-device", &dir_), 0);
    const std::string bin = TIDELARK_BIN_DIR;
    Copy(bin + "/Tidelark.exe", base + ".exe");
    Copy(bin + "/TidelarkEN.lnp", base + "EN.lnp");
    Copy(bin + "/TidelarkDE.lnp", base + "DE.lnp");
    Copy(bin + "/imgdecmp.dll", "imgdecmp.dll");
    Copy(bin + "/aygshell.dll", "aygshell.dll");
  }
  ~DeviceFolder() { platform::os::RemoveTree(dir_); }
  std::wstring Program() const { return Wide(platform::os::JoinPath(dir_, base_ + ".exe")); }
  std::string Volume() const { return platform::os::JoinPath(dir_, "Reader.vol"); }

  // An integer of a stored object; -1 when it cannot be read.
  int ReadInt(const char* database, const char* object, const char* property) const {
    CObjectStore access(Volume());
    store::Database* db = nullptr;
    if (access.Open(&db, database, false, false, 0) != store::kStoreOk) return -1;
    std::int32_t value = -1;
    if (!CObjectStore::ReadInt(db, object, property, &value)) value = -1;
    store::CloseDatabase(&db);
    return value;
  }
  bool Has(const char* database, const char* object) const {
    CObjectStore access(Volume());
    store::Database* db = nullptr;
    if (access.Open(&db, database, false) != store::kStoreOk) return false;
    bool found = CObjectStore::CanRead(db, object);
    store::CloseDatabase(&db);
    return found;
  }

 private:
  void Copy(const std::string& from, const std::string& to) {
    std::string bytes;
    ASSERT_EQ(platform::os::ReadWholeFile(from, &bytes), 0) << from;
    ASSERT_EQ(platform::os::WriteWholeFile(platform::os::JoinPath(dir_, to), bytes), 0);
  }
  std::string base_;
  std::string dir_;
};

std::string Output(const std::string& name) {
  std::string dir = std::string(TIDELARK_TEST_OUTPUT) + "/program";
  platform::os::MakeDirectories(dir);
  return dir + "/" + name;
}

struct Seen {
  bool agreement = false, welcome = false;
};

void Note(void* context, const char* name) {
  Seen* seen = static_cast<Seen*>(context);
  if (std::string(name) == "agreement") seen->agreement = true;
  if (std::string(name) == "welcome") seen->welcome = true;
}

// Starts the program and brings it to its channel list.
HWND StartToChannels(Driver& driver, const DeviceFolder& device, Seen* seen,
                     const std::vector<std::wstring>& env = {}) {
  EXPECT_TRUE(driver.Start(device.Program(), env));
  HWND frame = nullptr;
  EXPECT_TRUE(walk::StartToChannels(driver, &frame, Note, seen));
  return frame;
}

int Close(Driver& driver, HWND frame) {
  PostMessageW(frame, WM_CLOSE, 0, 0);
  return driver.WaitExit(kWait);
}

std::string ButtonField(const State& s, int command, int field) {
  auto it = s.find("button " + std::to_string(command));
  if (it == s.end()) return "missing";
  int v[6] = {};
  std::sscanf(it->second.c_str(), "%d %d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
  return std::to_string(v[field]);
}
std::string Visible(const State& s, int command) { return ButtonField(s, command, 4); }
std::string ButtonState(const State& s, int command) { return ButtonField(s, command, 5); }

TEST(ProgramStart, FirstAndSecondStartCountStartsAskOnceAndHintOnce) {
  DeviceFolder device;
  {
    Driver driver;
    Seen seen;
    HWND frame = StartToChannels(driver, device, &seen);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(seen.agreement);
    EXPECT_TRUE(seen.welcome) << "the first-run hint";
    State s = driver.State();
    EXPECT_EQ(s["title"], "Channels");
    EXPECT_EQ(s["first_run"], "0") << "the hint clears the flag";
    EXPECT_EQ(Visible(s, 5015), "0") << "no alerts: the alert button is hidden";
    EXPECT_EQ(Visible(s, 5021), "0") << "no text fields on the channel list";
    EXPECT_EQ(Visible(s, 5019), "0") << "nothing to go back to";
    EXPECT_EQ(Close(driver, frame), 0);
  }
  EXPECT_EQ(device.ReadInt("TavoInfo", "SyncStats", "StartCount"), 1);
  EXPECT_GT(device.ReadInt("TavoInfo", "SyncStats", "TimeUsed"), 0);
  EXPECT_TRUE(device.Has("TavoPrefs", "EulaAccepted"));
  {
    Driver driver;
    Seen seen;
    HWND frame = StartToChannels(driver, device, &seen);
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(seen.agreement) << "accepted once is enough";
    EXPECT_FALSE(seen.welcome) << "the hint shows once";
    EXPECT_EQ(Close(driver, frame), 0);
  }
  EXPECT_EQ(device.ReadInt("TavoInfo", "SyncStats", "StartCount"), 2);
}

TEST(ProgramStart, DecliningEndsTheRunCountsItAndAsksAgain) {
  DeviceFolder device;
  for (int start = 1; start <= 2; ++start) {
    Driver driver;
    ASSERT_TRUE(driver.Start(device.Program()));
    HWND splash = driver.WaitForWindow(VexaAppGUISystem::kWindowClassName, nullptr, kWait);
    ASSERT_NE(splash, nullptr);
    // Wait for the agreement (the splash goes on a tap).
    State s;
    for (int i = 0; i < 200 && s["eula"] != "1"; ++i) {
      for (HWND w : driver.Windows(VexaAppGUISystem::kWindowClassName)) {
        RECT r;
        GetWindowRect(w, &r);
        if (r.top == 0) driver.Tap(w, 5, 5);
      }
      s = driver.State();
    }
    ASSERT_EQ(s["eula"], "1") << "start " << start;
    int x, y, w, h;
    ASSERT_TRUE(walk::ParseRect(s, "eula_decline", &x, &y, &w, &h));
    HWND eula = nullptr;
    for (HWND win : driver.Windows(VexaAppGUISystem::kWindowClassName)) {
      RECT r;
      GetWindowRect(win, &r);
      if (r.top == 0) eula = win;
    }
    ASSERT_NE(eula, nullptr);
    driver.Tap(eula, x + w / 2, y + h / 2);
    EXPECT_EQ(driver.WaitExit(kWait), 0);
    EXPECT_EQ(device.ReadInt("TavoInfo", "SyncStats", "StartCount"), start);
    EXPECT_GE(device.ReadInt("TavoInfo", "SyncStats", "TimeUsed"), 0) << "the time is written on an early end too";
    EXPECT_FALSE(device.Has("TavoPrefs", "EulaAccepted"));
  }
}

TEST(ProgramStart, ASecondStartBringsTheFirstForwardAndEnds) {
  DeviceFolder device;
  Driver first;
  Seen seen;
  HWND frame = StartToChannels(first, device, &seen);
  ASSERT_NE(frame, nullptr);
  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
  SetForegroundWindow(other);
  Driver second;
  ASSERT_TRUE(second.Start(device.Program()));
  EXPECT_EQ(second.WaitExit(kWait), 0);
  EXPECT_TRUE(second.Windows(nullptr).empty());
  first.Sync();
  EXPECT_EQ(GetForegroundWindow(), frame);
  DestroyWindow(other);
  EXPECT_EQ(Close(first, frame), 0);
}

TEST(ProgramStart, AnotherBaseNameFindsItsOwnPacks) {
  DeviceFolder device("Reader");
  Driver driver;
  Seen seen;
  HWND frame = StartToChannels(driver, device, &seen);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(driver.State()["title"], "Channels");
  EXPECT_EQ(Close(driver, frame), 0);
}

TEST(ProgramStart, TheSplashFitsTheScreensShape) {
  struct Case {
    const wchar_t* screen;
    const char* picture;
  } cases[] = {{L"TIDELARK_SCREEN=portrait", "175"}, {L"TIDELARK_SCREEN=square", "176"},
               {L"TIDELARK_SCREEN=landscape", "177"}};
  for (const Case& c : cases) {
    DeviceFolder device;
    Driver driver;
    ASSERT_TRUE(driver.Start(device.Program(), {c.screen}));
    ASSERT_NE(driver.WaitForWindow(VexaAppGUISystem::kWindowClassName, nullptr, kWait), nullptr);
    State s = driver.State();
    for (int i = 0; i < 100 && s["splash"] == "0"; ++i) s = driver.State();
    EXPECT_EQ(s["splash"], c.picture);
    driver.Kill();
  }
}

}  // namespace
