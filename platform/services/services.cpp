#include "platform/services.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<const Services*> g_current{nullptr};
}

const Services& GetServices() {
  const Services* s = g_current.load(std::memory_order_acquire);
  return s ? *s : DefaultServices();
}

const Services* SetServices(const Services* services) {
  const Services* old = g_current.exchange(services, std::memory_order_acq_rel);
  return old ? old : &DefaultServices();
}

}  // namespace platform
