// What a host pays per banner: a pick of the next ad (one load by name, one
// write of its "Impr", a log record), a repaint of the same ad, and a ring
// rebuild over a database of many ads; an open and close of the library.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "device_fixture.h"
#include "platform/os.h"
#include "pyra/pyra.h"

namespace {

using pyra::testing_support::AdSpec;
using pyra::testing_support::FakeSystem;

// A device folder with `ads` ads of 4 KB pictures, and the library open on it.
class Device {
 public:
  explicit Device(int ads) {
    platform::os::MakeTempDirectory("tidelark-pyra-bench", &root_);
    setenv("TIDELARK_DEVICE_ROOT", root_.c_str(), 1);
    pyra::SetSystem(&system_);
    std::vector<AdSpec> specs;
    for (int i = 0; i < ads; ++i) {
      AdSpec ad;
      ad.name = "Ad " + std::to_string(100 + i);
      ad.impressions = i;
      ad.content = std::string(4096, static_cast<char>('a' + i % 26));
      ad.keywords = {i % 2 ? "boats" : "cars"};
      specs.push_back(ad);
    }
    pyra::testing_support::WriteAds(specs);
    PyraOpenVersion version{{1, 2, 2}, {0, 0, 0}};
    std::int32_t ids[] = {43};
    system_.files["\\Tidelark.exe"] = system_.now;
    PyraOpen(&handle_, 26, &version, "\\Tidelark.exe", ids, 1);
    SetBannerArea(handle_, &window_, 43);
  }
  ~Device() {
    PyraClose(handle_);
    pyra::SetSystem(nullptr);
    platform::os::RemoveTree(root_);
  }
  void* handle() { return handle_; }
  FakeSystem& system() { return system_; }

 private:
  std::string root_;
  FakeSystem system_;
  void* handle_ = nullptr;
  int window_ = 0;
};

void BM_PickNextBanner(benchmark::State& state) {
  Device device(20);
  for (auto _ : state) {
    device.system().now += pyra::kFileTimeTicksPerSecond;  // a new log record each time
    device.system().draws.clear();
    benchmark::DoNotOptimize(DrawBanner(device.handle(), 1));
  }
}
BENCHMARK(BM_PickNextBanner)->Unit(benchmark::kMicrosecond);

void BM_RepaintBanner(benchmark::State& state) {
  Device device(20);
  DrawBanner(device.handle(), 1);
  for (auto _ : state) {
    device.system().draws.clear();
    benchmark::DoNotOptimize(DrawBanner(device.handle(), 0));
  }
}
BENCHMARK(BM_RepaintBanner)->Unit(benchmark::kMicrosecond);

void BM_RebuildRing(benchmark::State& state) {
  Device device(static_cast<int>(state.range(0)));
  int window = 0;
  for (auto _ : state) benchmark::DoNotOptimize(SetBannerArea(device.handle(), &window, 43));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RebuildRing)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_KeywordsTwoWords(benchmark::State& state) {
  Device device(200);
  for (auto _ : state) benchmark::DoNotOptimize(SetContextKeywords(device.handle(), "boats sailing", 0));
}
BENCHMARK(BM_KeywordsTwoWords)->Unit(benchmark::kMillisecond);

void BM_OpenAndClose(benchmark::State& state) {
  Device device(20);
  PyraOpenVersion version{{1, 2, 2}, {0, 0, 0}};
  for (auto _ : state) {
    void* handle = nullptr;
    PyraOpen(&handle, -1, &version, nullptr, nullptr, 0);
    PyraClose(handle);
  }
}
BENCHMARK(BM_OpenAndClose)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
