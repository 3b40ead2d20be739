#include "system.h"

#include <atomic>

namespace pyra {

namespace {

std::atomic<System*> g_system{nullptr};

}  // namespace

System& CurrentSystem() {
  System* system = g_system.load();
  return system ? *system : PlatformSystem();
}

void SetSystem(System* system) { g_system.store(system); }

}  // namespace pyra
