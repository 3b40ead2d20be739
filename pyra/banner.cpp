#include "banner.h"

#include "ad_texts.h"
#include "content.h"
#include "dates.h"
#include "pyra/pyra.h"
#include "ring.h"
#include "system.h"

namespace pyra {

namespace {

constexpr std::size_t kLogNameLimit = 40;
constexpr std::size_t kCountNameLimit = 255;
constexpr std::uint8_t kKeywordSignificantLength = 8;
// Events of one second beyond this many replace the last one.
constexpr int kLogsPerSecond = 100;

std::int32_t Today() { return DateNumber(FromFileTime(CurrentSystem().NowFileTime()).date); }

// After a sync in any process: the databases are opened afresh and the
// selection starts over.
void ReopenAfterSync(PyraHandle* handle) {
  if (handle->current_stamp <= handle->cached_stamp) return;
  handle->cached_stamp = handle->current_stamp;
  DropSelection(handle);
  CloseAdDatabases(handle);
  OpenAdDatabases(handle);
}

// Moves on to the next ad and loads it. False when nothing was found.
bool PickNext(PyraHandle* handle, int width, int height) {
  handle->current_ad.Reset();
  handle->draw = DrawKind::kNone;
  handle->content.clear();
  handle->content_status = kPyraOk;
  if (handle->ring.empty()) BuildCandidates(handle, width, height);
  if (handle->ring.empty() || !SelectNext(handle, Today(), CurrentSystem().TickCount())) return false;
  RingEntry& head = handle->ring[handle->head];
  if (LoadObject(handle->ad_db, head.name.c_str(), &handle->current_ad) != store::kStoreOk) return true;
  ++head.impressions;
  std::string format;
  ReadText(handle->current_ad.get(), "Format", &format);
  handle->draw = DrawKindOf(format);
  handle->content_status = LoadContent(handle->ad_db, handle->current_ad.get(), &handle->content);
  return true;
}

// A drawn banner counts: the stored "Impr" rises, and a fresh pick is logged.
void CountDraw(PyraHandle* handle, bool picked) {
  store::Object* ad = handle->current_ad.get();
  if (picked) WriteLogRecord(handle, ad, kLogImpression);
  std::int32_t impressions = 0;
  ReadInt(ad, "Impr", &impressions);
  SetInt(ad, "Impr", impressions + 1);
  std::string name;
  Obj count;
  if (!ObjectName(ad, kCountNameLimit, &name) || count.Create(name.c_str()) != store::kStoreOk) return;
  SetInt(count.get(), "Impr", impressions + 1);
  // Update only: an ad a sync has removed meanwhile must not come back as a stub.
  store::WriteObject(handle->ad_db, count.get(), 0, 1, 1, 1);
}

void DrawStatusText(PyraHandle* handle, const char* text) {
  if (handle->window) CurrentSystem().DrawStatus(handle->window, text);
}

void ShowBanner(PyraHandle* handle, bool pick_new, int width, int height) {
  bool picked = false, found = true;
  if (pick_new || !handle->current_ad) {
    found = PickNext(handle, width, height);
    picked = true;
  }
  // HTML ads are shown by the HTML host; until it exists they count as
  // nothing to show.
  bool showable = found && handle->current_ad && handle->draw == DrawKind::kImage &&
                  handle->content_status == kPyraOk && !handle->content.empty();
  if (!showable) {
    DrawStatusText(handle, kWelcomeText);
    return;
  }
  if (!handle->window || CurrentSystem().DrawImage(handle->window, handle->content) != 0) return;
  CountDraw(handle, picked);
}

void RecheckDue(PyraHandle* handle) {
  std::int64_t hour = HourStamp(CurrentSystem().NowFileTime());
  if (hour <= handle->check_hour) return;
  handle->check_hour = hour;
  UpdateStatus(handle);
}

// The ads whose "Keywords..." property equals the word.
std::int32_t MatchWord(store::Database* ads, const std::string& word, Results* out) {
  Obj bound;
  std::int32_t rc = bound.Create("SearchKeyWord");
  if (rc != store::kStoreOk) return rc;
  rc = store::SetProperty(bound.get(), "Keywords", store::kTypeText, word.c_str(),
                          static_cast<std::uint32_t>(word.size() + 1), 1, 1, 1, kKeywordSignificantLength);
  if (rc != store::kStoreOk) return rc;
  return store::Query(ads, bound.get(), bound.get(), store::kCompareRecords, out->out(), "Keywords", nullptr,
                      store::kCombineIntersection);
}

}  // namespace

std::int32_t SetArea(PyraHandle* handle, void* window, std::int32_t ad_space) {
  handle->ad_space = ad_space;
  if (!window) return kPyraBadArgument;
  handle->window = window;
  int width = 0, height = 0;
  CurrentSystem().WindowSize(window, &width, &height);
  BuildCandidates(handle, width, height);
  return kPyraOk;
}

std::int32_t SetKeywords(PyraHandle* handle, const char* keywords, bool redraw) {
  if (!keywords || !*keywords || !handle->ad_db || !handle->info_db) return kPyraBadArgument;
  handle->keywords = keywords;
  handle->has_keywords = true;
  handle->matches.Reset();
  for (const std::string& word : SplitKeywords(handle->keywords)) {
    Results found;
    if (MatchWord(handle->ad_db, word, &found) != store::kStoreOk || store::GetResultCount(found.get()) == 0)
      continue;
    if (!handle->matches) {
      handle->matches.Reset(found.Release());
      continue;
    }
    store::ResultSet* both = nullptr;
    if (store::CombineResults(handle->matches.get(), found.get(), store::kCombineUnion, &both) == store::kStoreOk)
      handle->matches.Reset(both);
  }
  if (redraw) Draw(handle, true);
  return kPyraOk;
}

std::int32_t Draw(PyraHandle* handle, bool pick_new) {
  RefreshSyncState(handle);
  int width = 0, height = 0;
  CurrentSystem().WindowSize(handle->window, &width, &height);
  if (handle->synchronizing) {
    DrawStatusText(handle, kSynchronizingText);
  } else {
    ReopenAfterSync(handle);
    ShowBanner(handle, pick_new, width, height);
  }
  RecheckDue(handle);
  return handle->status;
}

void WriteLogRecord(PyraHandle* handle, store::Object* ad, LogAction action) {
  std::string ad_name;
  if (!handle->info_db || !ObjectName(ad, kLogNameLimit, &ad_name)) return;
  std::int32_t ad_id = 0;
  if (!ReadInt(ad, "AdID", &ad_id) && !NumberAfterSpace(ad_name, &ad_id)) ad_id = 0;
  const std::int32_t time = static_cast<std::int32_t>(SecondsSince2000(CurrentSystem().NowFileTime()));
  const std::string base = "Log " + std::to_string(time);
  std::string name = base;
  Obj taken;
  for (int n = 1; n < kLogsPerSecond && LoadObject(handle->info_db, name.c_str(), &taken) == store::kStoreOk; ++n)
    name = base + "." + std::to_string(n);
  Obj record;
  if (record.Create(name.c_str()) != store::kStoreOk) return;
  SetInt(record.get(), "Time", time);
  SetInt(record.get(), "AppID", handle->application_id);
  SetInt(record.get(), "AdID", ad_id);
  SetInt(record.get(), "AdSpaceId", handle->ad_space);
  SetInt(record.get(), "Action", action);
  Store(handle->info_db, record.get());
}

}  // namespace pyra
