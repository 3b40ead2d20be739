#include "system.h"

#include <atomic>

#include "platform/device.h"

namespace pyra {

namespace {

std::atomic<System*> g_system{nullptr};

}  // namespace

System& CurrentSystem() {
  System* system = g_system.load();
  return system ? *system : PlatformSystem();
}

void SetSystem(System* system) { g_system.store(system); }

std::string HostPath(const std::string& path) {
  if (path.size() > 1 && path[0] == '\\' && path[1] != '\\') return platform::device::MapCePath(path);
  return path;
}

}  // namespace pyra
