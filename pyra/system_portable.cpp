// The device services where there is no Windows: the clock and files of
// the os layer, the screen of the device stand-in, and a named event that
// only this process sees. There is no banner window to draw into.
#include <mutex>
#include <set>

#include "dates.h"
#include "platform/device.h"
#include "platform/os.h"
#include "system.h"

namespace pyra {

namespace {

class PortableSystem : public System {
 public:
  std::uint64_t NowFileTime() override {
    return (static_cast<std::uint64_t>(platform::os::UnixTimeSeconds()) + kFileTimeUnixOffset) *
           kFileTimeTicksPerSecond;
  }
  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(platform::os::MonotonicMillis()); }

  bool SyncEventExists() override {
    std::lock_guard<std::mutex> guard(mu_);
    return event_held_;
  }
  bool CreateSyncEvent(void** held) override {
    std::lock_guard<std::mutex> guard(mu_);
    if (event_held_) return false;
    event_held_ = true;
    *held = this;
    return true;
  }
  void CloseSyncEvent(void* held) override {
    std::lock_guard<std::mutex> guard(mu_);
    if (held == this) event_held_ = false;
  }

  bool FileExists(const std::string& path) override { return platform::os::PathExists(HostPath(path)); }
  bool FileCreationTime(const std::string&, std::uint64_t*) override { return false; }
  bool ProductName(const std::string&, std::string*) override { return false; }
  bool ProductVersion(const std::string&, std::string*) override { return false; }

  void ScreenSize(int* width, int* height) override {
    platform::device::ScreenMetrics screen = platform::device::Screen();
    *width = screen.width;
    *height = screen.height;
  }
  bool OrientationQuery() override { return true; }
  bool LanguageAbbreviation(std::string*) override { return false; }
  bool CountryAbbreviation(std::string*) override { return false; }
  bool OemInfo(std::string* text) override {
    *text = platform::device::OemInfo();
    return true;
  }
  bool OperatorName(std::string*) override { return false; }

  bool WindowSize(void*, int* width, int* height) override {
    *width = *height = 0;
    return false;
  }
  void DrawStatus(void*, const char*) override {}
  int DrawImage(void*, const std::string&) override { return -1; }
  void Paint(void*, const std::function<void()>& draw) override { draw(); }
  void ValidateWindow(void*) override {}

 private:
  std::mutex mu_;
  bool event_held_ = false;
};

}  // namespace

System& PlatformSystem() {
  static PortableSystem system;
  return system;
}

}  // namespace pyra
