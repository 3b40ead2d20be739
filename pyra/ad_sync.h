// The ad sync: "PyraDatabase", "PyraInfo" and "PyraPrefs" exchanged with
// the ad server through the library's own sync engine.
//
// One at a time across every process: the named event exists for the
// whole sync, and other handles draw the synchronizing text meanwhile.
// A successful sync stamps "RefresBanner", which makes every other handle
// reopen its databases at its next DrawBanner.
#pragma once

#include <cstdint>
#include <mutex>

#include "handle.h"
#include "pyra/pyra.h"

namespace pyra {

// The ad service's defaults when "_sysSettings" on the library's volume
// names no server.
extern const char kAdServerHost[];
constexpr std::uint32_t kAdServerPort = 8002;

// Called with the handle's lock held through `lock`; lets go of it while
// the session runs.
std::int32_t SyncAds(PyraHandle* handle, PyraSyncCallback callback, std::unique_lock<std::recursive_mutex>* lock);

}  // namespace pyra
