// The registry of host applications ("PyraRegisteredApps", one object per
// host named by its file path) and the shared ad-space list ("AdSpaceIDs" in
// "PyraInfo": the union of every registered host's ad spaces, which travels
// to the ad server).
//
// Invariants: the handle's copy of the ad-space list is read again from
// "PyraInfo" before every change and after every save, so a change made by
// another process is never written over; an id leaves the list only when no
// remaining registration lists it.
#pragma once

#include <cstdint>

#include "handle.h"

namespace pyra {

// Reads "AdIDsBlob"; without the object nothing is loaded.
void LoadAdSpaceList(PyraHandle* handle);

std::int32_t Register(PyraHandle* handle, std::int32_t application_id, const char* path, const std::int32_t* ids,
                      std::int32_t count);
std::int32_t Unregister(PyraHandle* handle, std::int32_t application_id);
// With buffers: the installed applications' texts. Without: the pruning walk.
std::int32_t InstalledApplications(PyraHandle* handle, char** buffers, std::int32_t* count, std::int32_t* length);

}  // namespace pyra
