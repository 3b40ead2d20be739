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

namespace {

TEST(ProgramFrame, EveryShapeLaysTheFrameOutAndPaintsIt) {
  struct Case {
    const wchar_t* screen;
    const char* name;
    int width, height;
  } cases[] = {{L"TIDELARK_SCREEN=portrait", "portrait", 240, 320},
               {L"TIDELARK_SCREEN=square", "square", 240, 240},
               {L"TIDELARK_SCREEN=landscape", "landscape", 320, 240}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceFolder device;
    Driver driver;
    Seen seen;
    HWND frame = StartToChannels(driver, device, &seen, {c.screen});
    ASSERT_NE(frame, nullptr);
    State s = driver.State();
    int x, y, w, h;
    // The frame fills the screen below the task bar (26): it runs without a soft-key bar.
    ASSERT_TRUE(walk::ParseRect(s, "frame", &x, &y, &w, &h));
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height - 26);
    ASSERT_TRUE(walk::ParseRect(s, "banner", &x, &y, &w, &h));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, 34);
    ASSERT_TRUE(walk::ParseRect(s, "content", &x, &y, &w, &h));
    EXPECT_EQ(x, 2) << "inside the left border";
    EXPECT_EQ(y, 34 + 26) << "below the banner and the header row";
    EXPECT_EQ(w, c.width - 4);
    EXPECT_EQ(y + h, c.height - 26 - 26) << "above the bottom row";
    int sx, sy, sw, sh, nx, ny, nw, nh, tx, ty, tw, th;
    ASSERT_TRUE(walk::ParseRect(s, "button 5017", &sx, &sy, &sw, &sh));
    EXPECT_EQ(sx + sw / 2, c.width / 2) << "the Static Bar is centred";
    ASSERT_TRUE(walk::ParseRect(s, "button 5021", &nx, &ny, &nw, &nh));
    EXPECT_EQ(nx + nw, c.width) << "the Navigation Bar ends at the right edge";
    ASSERT_TRUE(walk::ParseRect(s, "title_box", &tx, &ty, &tw, &th));
    EXPECT_LT(tx + tw, sx - sw) << "the title box ends before the Static Bar";
    EXPECT_EQ(ty + th, c.height - 26);
    ASSERT_TRUE(driver.Shot(Output(std::string("frame-") + c.name + ".png")));
    EXPECT_EQ(Close(driver, frame), 0);
  }
}

TEST(ProgramFrame, BarsBackForwardAndKeysDriveTheScreens) {
  DeviceFolder device;
  Driver driver;
  Seen seen;
  HWND frame = StartToChannels(driver, device, &seen);
  ASSERT_NE(frame, nullptr);
  struct Step {
    int command;  // a bar button, or a negative virtual key
    const char* title;
  } steps[] = {{5016, "Options"}, {5018, "Help"}, {5017, "Synchronize"}, {5019, "Help"},
               {5019, "Options"}, {5020, "Help"}, {5022, "Add channel"},  {5011, "Channels"}};
  for (const Step& step : steps) {
    ASSERT_TRUE(walk::TapButton(driver, frame, step.command)) << step.command;
    State s = driver.State();
    EXPECT_EQ(s["title"], step.title) << "after " << step.command;
    if (step.command == 5022) {
      EXPECT_EQ(Visible(s, 5021), "1") << "the add-channel screen has text fields";
      EXPECT_EQ(ButtonState(s, 5022), "2") << "its Dynamic Bar button marks the screen";
      ASSERT_TRUE(driver.Shot(Output("screen-add-channel.png")));
    } else if (step.title == std::string("Channels")) {
      EXPECT_EQ(Visible(s, 5021), "0");
    }
  }
  State s = driver.State();
  EXPECT_EQ(Visible(s, 5019), "1") << "back leads somewhere";
  EXPECT_EQ(Visible(s, 5020), "0") << "a new screen leaves nothing to go forward to";

  // The input panel comes and goes with its button; the content area ends above it.
  ASSERT_TRUE(walk::TapButton(driver, frame, 5022));
  int x, y, w, h;
  ASSERT_TRUE(walk::ParseRect(driver.State(), "content", &x, &y, &w, &h));
  const int full = h;
  ASSERT_TRUE(walk::TapButton(driver, frame, 5021));
  s = driver.State();
  EXPECT_EQ(s["input_panel"], "1");
  ASSERT_TRUE(walk::ParseRect(s, "content", &x, &y, &w, &h));
  EXPECT_LT(h, full);
  ASSERT_TRUE(driver.Shot(Output("screen-input-panel.png")));
  ASSERT_TRUE(walk::TapButton(driver, frame, 5021));
  s = driver.State();
  EXPECT_EQ(s["input_panel"], "0");
  ASSERT_TRUE(walk::ParseRect(s, "content", &x, &y, &w, &h));
  EXPECT_EQ(h, full);

  // Keys: the first one shows the focus, the second moves it, a tap ends the mode.
  ASSERT_TRUE(walk::TapButton(driver, frame, 5011));
  driver.Key(frame, VK_DOWN);
  driver.Sync();
  s = driver.State();
  EXPECT_EQ(s["focus_mode"], "1");
  const std::string first = s["focus"];
  EXPECT_NE(first, "none") << "the focus shows where it was (the banner when nowhere)";
  driver.Key(frame, VK_RIGHT);
  driver.Sync();
  s = driver.State();
  const std::string second = s["focus"];
  EXPECT_NE(second, first) << "the second key moves the focus";
  ASSERT_TRUE(driver.Shot(Output("screen-focus.png")));
  // The action key presses the focused bar button.
  const std::map<std::string, std::string> screens = {
      {"button 5011", "Channels"}, {"button 5022", "Add channel"}, {"button 5015", "Alerts"},
      {"button 5016", "Options"},  {"button 5017", "Synchronize"}, {"button 5018", "Help"}};
  driver.Key(frame, VK_RETURN);
  driver.Sync();
  if (screens.count(second)) EXPECT_EQ(driver.State()["title"], screens.at(second)) << second;
  ASSERT_TRUE(walk::ParseRect(driver.State(), "content", &x, &y, &w, &h));
  driver.Tap(frame, x + w / 2, y + h / 2);
  driver.Sync();
  EXPECT_EQ(driver.State()["focus_mode"], "0") << "a tap on the content area ends focus mode";
  EXPECT_EQ(Close(driver, frame), 0);
}

}  // namespace
