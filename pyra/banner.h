// The banner: picking the next ad from the ring, drawing it (or one of the
// two status texts), counting impressions and logging them.
//
// Two counters move: the ring entry's copy of the impressions at each pick
// (it decides eligibility until the next rebuild) and the stored "Impr" at
// each successful draw, repaints included (it orders the next rebuild and
// decides the "MSC" test). Only a pick writes a log record.
#pragma once

#include <cstdint>
#include <string>

#include "handle.h"

namespace pyra {

constexpr char kSynchronizingText[] = "Pyra Launcher is now synchronizng!";
constexpr char kWelcomeText[] = "Welcome, please sync now!";

// Logged actions.
enum LogAction : std::int32_t {
  kLogImpression = 0,
  kLogFullScreen = 1,
  kLogCall = 3,
  kLogSms = 4,
  kLogMail = 5,
  kLogWebPage = 6,
};

std::int32_t SetArea(PyraHandle* handle, void* window, std::int32_t ad_space);
std::int32_t SetKeywords(PyraHandle* handle, const char* keywords, bool redraw);
std::int32_t Draw(PyraHandle* handle, bool pick_new);

// Writes one "Log <seconds since 2000>" record into "PyraInfo" for the ad.
// When another event of the same second has taken that name, the record is
// named "Log <seconds>.<n>" instead of replacing it. Errors are ignored.
void WriteLogRecord(PyraHandle* handle, store::Object* ad, LogAction action);

}  // namespace pyra
