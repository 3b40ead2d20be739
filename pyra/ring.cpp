#include "ring.h"

#include <string>

#include "ad_texts.h"
#include "dates.h"
#include "system.h"

namespace pyra {

namespace {

constexpr std::size_t kNameLimit = 100;
constexpr std::size_t kExpiryLimit = 255;
constexpr char kNoExpiry[] = "99991231";

std::int32_t QueryFitting(PyraHandle* handle, int width, int height, Results* out) {
  Obj low, high;
  std::int32_t rc = low.Create("FindByDimLow");
  if (rc == store::kStoreOk) rc = high.Create("FindByDimHigh");
  if (rc != store::kStoreOk) return rc;
  SetInt(low.get(), "Width", 0);
  SetInt(low.get(), "Height", 0);
  SetInt(low.get(), "Impr", 0);
  SetInt(high.get(), "Width", width);
  SetInt(high.get(), "Height", height);
  return store::Query(handle->ad_db, low.get(), high.get(), store::kCompareRecords, out->out(), "Impr",
                      handle->matches.get(), store::kCombineIntersection);
}

// The ring entry for an ad, or false when the ad is not a candidate.
bool Candidate(PyraHandle* handle, store::Object* ad, const std::string& today, RingEntry* entry) {
  if (handle->ad_space != -1) {
    std::string spaces;
    if (!ReadText(ad, "AdSpaces", &spaces) || !AdSpaceListed(spaces, handle->ad_space)) return false;
  }
  if (!ObjectName(ad, kNameLimit, &entry->name)) return false;
  std::int32_t impressions = 0, maximum = 0;
  ReadInt(ad, "Impr", &impressions);
  std::string expiry;
  if (!ReadText(ad, "ExpTime", kExpiryLimit, &expiry)) expiry = kNoExpiry;
  else if (ExpiryPassed(today, expiry)) return false;
  bool capped = ReadInt(ad, "MSC", &maximum);
  if (capped && maximum <= impressions) return false;
  entry->impressions = static_cast<std::uint32_t>(impressions);
  entry->maximum = capped ? static_cast<std::uint32_t>(maximum) : 0xFFFFFFFFu;
  entry->expiry = ExpiryNumber(expiry);
  return true;
}

bool Eligible(const RingEntry& entry, std::int32_t today) {
  return entry.impressions < entry.maximum && today <= entry.expiry;
}

}  // namespace

std::uint32_t FirstRandom(std::uint32_t seed) { return ((seed * 214013u + 2531011u) >> 16) & 0x7FFFu; }

void BuildCandidates(PyraHandle* handle, int width, int height) {
  handle->rebuilt = true;
  handle->ring.clear();
  handle->head = 0;
  handle->last_shown = -1;
  if (!handle->ad_db) return;
  Results fitting;
  if (QueryFitting(handle, width, height, &fitting) != store::kStoreOk) return;
  const std::string today = DateText(FromFileTime(CurrentSystem().NowFileTime()).date);
  Obj ad;
  for (std::int32_t rc = store::FirstResult(fitting.get(), ad.out()); rc == store::kStoreOk;
       rc = store::NextResult(fitting.get(), ad.out())) {
    RingEntry entry;
    if (Candidate(handle, ad.get(), today, &entry)) handle->ring.push_back(std::move(entry));
  }
}

bool SelectNext(PyraHandle* handle, std::int32_t today, std::uint32_t tick) {
  const std::size_t n = handle->ring.size();
  std::size_t first = n;
  for (std::size_t k = 0; k < n && first == n; ++k) {
    std::size_t i = (handle->head + k) % n;
    if (Eligible(handle->ring[i], today)) first = i;
  }
  if (first == n) return false;
  std::size_t chosen = first;
  for (std::size_t k = 1; k < n; ++k) {
    std::size_t i = (first + k) % n;
    if (Eligible(handle->ring[i], today) && static_cast<int>(i) != handle->last_shown) {
      chosen = i;
      break;
    }
  }
  if (handle->rebuilt) {
    std::uint32_t r = FirstRandom(tick) % 10;
    if (r >= 2) chosen = (chosen + r - 1) % n;
    handle->rebuilt = false;
  }
  handle->head = chosen;
  handle->last_shown = static_cast<int>(chosen);
  return true;
}

}  // namespace pyra
