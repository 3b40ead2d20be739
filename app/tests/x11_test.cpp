// A real window: Tidelark.exe under Wine's X11 driver on a virtual X server
// (Xvfb), photographed with xwd from outside the program, shows its frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/object_store.h"
#include "platform/os.h"
#include "platform/png.h"

namespace {

namespace os = platform::os;

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
  std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

std::uint32_t Big(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// An XWD dump of a TrueColor screen (ZPixmap, 24 or 32 bits per pixel).
bool ParseXwd(const std::string& bytes, Picture* out) {
  if (bytes.size() < 100) return false;
  const auto* h = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::uint32_t header = Big(h), format = Big(h + 8), width = Big(h + 16), height = Big(h + 20);
  const std::uint32_t byte_order = Big(h + 28), bpp = Big(h + 44), line = Big(h + 48), ncolors = Big(h + 76);
  if (format != 2 || (bpp != 24 && bpp != 32)) return false;
  const size_t step = bpp / 8;
  const size_t start = header + static_cast<size_t>(ncolors) * 12;
  if (bytes.size() < start + static_cast<size_t>(line) * height) return false;
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(height);
  out->pixels.resize(static_cast<size_t>(width) * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto* p = h + start + static_cast<size_t>(y) * line + x * step;
      std::uint32_t v = byte_order ? (step == 4 ? Big(p) : (std::uint32_t(p[0]) << 16) | (p[1] << 8) | p[2])
                                   : (std::uint32_t(p[2]) << 16) | (p[1] << 8) | p[0];
      out->pixels[static_cast<size_t>(y) * width + x] = v & 0xFFFFFF;
    }
  }
  return true;
}

// The full path of a program on PATH; "" when there is none.
std::string OnPath(const char* program) {
  std::string path;
  if (!os::GetEnv("PATH", &path)) return "";
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find(':', at);
    if (end == std::string::npos) end = path.size();
    std::string full = path.substr(at, end - at) + "/" + program;
    if (os::PathExists(full)) return full;
    at = end + 1;
  }
  return "";
}

int Shell(const std::string& command) {
  os::Process p;
  if (os::SpawnProcess({"/bin/sh", "-c", command}, &p) != os::kOk) return -1;
  int code = -1;
  os::WaitProcess(&p, 60000, &code);
  return code;
}

// The bars' navy (0x1F3A5F), not the black of the bare screen.
bool Dark(std::uint32_t c) {
  return ((c >> 16) & 255) < 0x50 && ((c >> 8) & 255) < 0x70 && (c & 255) > 0x40 && (c & 255) < 0x90;
}
bool White(std::uint32_t c) { return c == 0xFFFFFF; }

TEST(RealWindow, TheProgramPaintsItsFrameOnAnXServer) {
  const std::string xvfb_program = OnPath("Xvfb");
  ASSERT_FALSE(xvfb_program.empty()) << "install xvfb (tools/install-deps)";
  ASSERT_FALSE(OnPath("xwd").empty()) << "install x11-apps (tools/install-deps)";
  const std::string bin = std::string(TIDELARK_SOURCE_DIR) + "/build/windows/bin";
  ASSERT_TRUE(os::PathExists(bin + "/Tidelark.exe")) << "build the windows preset first";

  // A device folder whose user accepted the agreement and has channels: the frame shows at once.
  std::string device;
  ASSERT_EQ(os::MakeTempDirectory("tidelark-x11", &device), 0);
  for (const char* f : {"Tidelark.exe", "TidelarkEN.lnp", "TidelarkDE.lnp", "imgdecmp.dll", "aygshell.dll"}) {
    std::string bytes;
    ASSERT_EQ(os::ReadWholeFile(bin + "/" + f, &bytes), 0) << f;
    ASSERT_EQ(os::WriteWholeFile(device + "/" + f, bytes), 0);
  }
  CObjectStore store(device + "/Reader.vol");
  for (const char* name : {"TavoPrefs", "TavoRss"}) {
    store::Database* db = nullptr;
    ASSERT_EQ(store.Open(&db, name, true), store::kStoreOk);
    if (std::strcmp(name, "TavoPrefs") == 0) {
      store::Object* o = nullptr;
      store::CreateObject(&o, "EulaAccepted");
      ASSERT_EQ(store::WriteObject(db, o, 1, 1, 1, 1), store::kStoreOk);
      store::FreeObject(o);
    }
    store::CloseDatabase(&db);
  }

  // A display of our own.
  int display = 90;
  while (display < 140 && os::PathExists("/tmp/.X" + std::to_string(display) + "-lock")) ++display;
  const std::string name = ":" + std::to_string(display);
  os::Process xvfb;
  ASSERT_EQ(os::SpawnProcess({xvfb_program, name, "-screen", "0", "320x400x24", "-nolisten", "tcp"}, &xvfb), os::kOk);
  os::SetEnv("DISPLAY", name.c_str());
  const std::string prefix = std::string(TIDELARK_SOURCE_DIR) + "/build/windows/wineprefix-x11";
  os::SetEnv("TIDELARK_WINEPREFIX", prefix.c_str());
  os::Process program;
  ASSERT_EQ(os::SpawnProcess({std::string(TIDELARK_SOURCE_DIR) + "/tools/wine-run", "--x11", device + "/Tidelark.exe"},
                             &program),
            os::kOk);

  // Wait for the frame (after the five-second splash) and photograph the screen.
  const std::string dump = device + "/screen.xwd";
  Picture shot;
  bool painted = false;
  for (int i = 0; i < 120 && !painted; ++i) {
    os::SleepMillis(1000);
    if (Shell("xwd -root -silent -display " + name + " > '" + dump + "'") != 0) continue;
    std::string bytes;
    if (os::ReadWholeFile(dump, &bytes) != 0 || !ParseXwd(bytes, &shot)) continue;
    // The frame's header row (below the 26-pixel task bar and the 34-pixel banner), the content
    // below it, and the bottom row at the screen's foot once the loop runs without a soft-key bar.
    painted = shot.width >= 240 && shot.height >= 320 && Dark(shot.At(120, 26 + 34 + 13)) &&
              White(shot.At(120, 26 + 34 + 26 + 40)) && !White(shot.At(120, 26 + 17)) &&
              Dark(shot.At(60, 320 - 13)) && Dark(shot.At(239 - 13, 320 - 12));
  }
  Shell("WINEPREFIX='" + prefix + "' wineserver -k");
  int code = 0;
  os::WaitProcess(&program, 20000, &code);
  os::KillProcess(&program);
  os::KillProcess(&xvfb);
  os::WaitProcess(&xvfb, 5000, &code);
  os::SetEnv("TIDELARK_WINEPREFIX", nullptr);
  if (shot.width > 0) {
    std::string out = std::string(TIDELARK_TEST_OUTPUT) + "/x11";
    os::MakeDirectories(out);
    platform::WritePng(out + "/x11-frame.png", shot.width, shot.height, shot.pixels.data());
  }
  EXPECT_TRUE(painted) << "no frame on the X screen (see test-output/x11/x11-frame.png)";
  os::RemoveTree(device);
}

}  // namespace
