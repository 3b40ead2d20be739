// The candidate ring: the ads that fit a banner area, in ascending order of
// their stored impressions, walked in a circle so that successive banners
// rotate through them.
//
// An entry is eligible while its impressions (counted in memory from the
// build on) are below its maximum and today is not past its expiry. The
// ring is rebuilt only when it is empty, by SetBannerArea, and after a sync;
// entries that become ineligible are passed over until then.
#pragma once

#include <cstdint>

#include "handle.h"

namespace pyra {

// Rebuilds the ring for a banner area of width x height: the ads whose
// "Width" and "Height" fit, listed for the handle's ad space, not expired
// and below their "MSC" (restricted to the keyword matches when held).
void BuildCandidates(PyraHandle* handle, int width, int height);

// Moves the head to the next eligible entry after the one shown last (the
// only eligible one again when there is no other). Right after a rebuild
// the choice jumps a random number of entries on. False when nothing is
// eligible.
bool SelectNext(PyraHandle* handle, std::int32_t today, std::uint32_t tick);

// The value the platform's rand() gives first after srand(seed).
std::uint32_t FirstRandom(std::uint32_t seed);

}  // namespace pyra
