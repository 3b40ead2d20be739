// The library's interface version and the versions of hosts it accepts.
#pragma once

#include "pyra/pyra.h"

namespace pyra {

constexpr PyraVersion kLibraryVersion = {1, 2, 2};
// The oldest interface this library still serves.
constexpr PyraVersion kOldestVersion = {1, 2, 0};

// Whether a host built for `version` can use this library.
constexpr bool Accepted(const PyraVersion& version) {
  return version.major == kLibraryVersion.major && version.minor == kLibraryVersion.minor &&
         version.build <= kLibraryVersion.build;
}

}  // namespace pyra
