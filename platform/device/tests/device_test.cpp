#include "platform/device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/os.h"

namespace {

using platform::device::ParseScreen;
using platform::device::ScreenMetrics;

TEST(DeviceScreen, ParsesNamedAndExplicitSizes) {
  struct Case {
    const char* value;
    bool ok;
    int w, h;
  } cases[] = {
      {"portrait", true, 240, 320}, {"square", true, 240, 240}, {"landscape", true, 320, 240},
      {"vga", true, 480, 640},      {"300x400", true, 300, 400}, {"99x400", false, 0, 0},
      {"300x", false, 0, 0},        {"x300", false, 0, 0},       {"12345x300", false, 0, 0},
      {"wide", false, 0, 0},        {"", false, 0, 0},
  };
  for (const Case& c : cases) {
    ScreenMetrics m;
    m.width = -7;
    EXPECT_EQ(c.ok, ParseScreen(c.value, &m)) << c.value;
    if (c.ok) {
      EXPECT_EQ(c.w, m.width) << c.value;
      EXPECT_EQ(c.h, m.height) << c.value;
    } else {
      EXPECT_EQ(-7, m.width) << "untouched on failure: " << c.value;
    }
  }
}

void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  if (value) setenv(name, value, 1); else unsetenv(name);
#endif
}

TEST(DeviceScreen, EnvironmentThenSettingsFileThenPortrait) {
  std::string dir = platform::os::JoinPath(TIDELARK_TEST_OUTPUT, "device_test");
  platform::os::MakeDirectories(dir);
  platform::os::SetProgramDirectory(dir);
  std::string ini = platform::os::JoinPath(dir, "device.ini");
  std::remove(ini.c_str());

  SetEnv("TIDELARK_SCREEN", nullptr);
  EXPECT_EQ(240, platform::device::Screen().width);
  EXPECT_EQ(320, platform::device::Screen().height);

  EXPECT_EQ("Tidelark Handheld", platform::device::OemInfo());
  { std::ofstream(ini) << "# display\nscreen = landscape\noem = Harbour Devices PPC-7\n"; }
  EXPECT_EQ(320, platform::device::Screen().width);
  EXPECT_EQ("Harbour Devices PPC-7", platform::device::OemInfo());

  SetEnv("TIDELARK_SCREEN", "square");
  EXPECT_EQ(240, platform::device::Screen().height);
  platform::device::Rect work = platform::device::WorkArea();
  EXPECT_EQ(26, work.top);
  EXPECT_EQ(240 - 26, work.bottom) << "ends above the soft-key bar";
  EXPECT_EQ(240 - 26 - 26, work.Height());

  ScreenMetrics vga;
  ASSERT_TRUE(ParseScreen("vga", &vga));
  platform::device::SetScreenOverride(&vga);
  EXPECT_EQ(480, platform::device::ScreenRect().Width());
  platform::device::SetScreenOverride(nullptr);
  SetEnv("TIDELARK_SCREEN", nullptr);
  std::remove(ini.c_str());
}

TEST(DevicePaths, CePathsMapBelowTheRoot) {
  SetEnv("TIDELARK_DEVICE_ROOT", "droot");
  std::string sep = platform::device::DeviceRoot().substr(5);
  ASSERT_EQ(1u, sep.size());
  EXPECT_EQ("droot" + sep + "My Documents" + sep + "a.opml",
            platform::device::MapCePath("\\My Documents\\a.opml"));
  EXPECT_EQ("droot" + sep + "Windows" + sep + "x.lnp", platform::device::MapCePath("\\Windows/x.lnp"));
  EXPECT_EQ("", platform::device::MapCePath("relative\\x"));
  EXPECT_EQ("", platform::device::MapCePath("\\Windows\\..\\..\\etc"));
  SetEnv("TIDELARK_DEVICE_ROOT", nullptr);
}

}  // namespace
