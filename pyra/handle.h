// The handle PyraOpen gives out, and what every part of the library does
// with it.
//
// Invariants:
// - A handle starts with "ALCX"; every export compares it before use.
// - A result set (keyword matches) never outlives the ad database it came
//   from: the matches are dropped before the databases close.
// - While the synchronizing flag is set nothing touches the ad databases.
// - The handle's lock is held by every export for the whole call, except
//   by SyncPyraDatabase while its session runs: it sets the named event and
//   closes the databases before letting go, so a DrawBanner on the window
//   thread meanwhile sees the flag and draws the synchronizing text.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "store_access.h"

namespace pyra {

struct RingEntry {
  std::uint32_t impressions = 0;
  std::uint32_t maximum = 0xFFFFFFFFu;  // "MSC"; all bits set when absent
  std::int32_t expiry = 99991231;        // "ExpTime" as yyyymmdd
  std::string name;
};

enum class DrawKind { kNone, kImage, kHtml };

struct PyraHandle {
  char magic[4] = {'A', 'L', 'C', 'X'};
  void* window = nullptr;
  std::uint64_t cached_stamp = 0;   // the sync stamp when the databases were last (re)opened
  std::uint64_t current_stamp = 0;  // "RefresBanner" at the latest refresh
  bool rebuilt = false;
  std::int32_t application_id = -1;
  store::Database* ad_db = nullptr;
  store::Database* info_db = nullptr;
  bool has_keywords = false;
  std::string keywords;
  Results matches;
  // The candidate ring: entries in ring order, the head (current entry) and
  // the entry shown last (-1: none).
  std::vector<RingEntry> ring;
  std::size_t head = 0;
  int last_shown = -1;
  Obj current_ad;
  DrawKind draw = DrawKind::kNone;
  std::int32_t ad_space = -1;
  std::string content;
  std::int32_t content_status = 0;
  bool ad_spaces_loaded = false;
  std::vector<std::int32_t> ad_spaces;
  bool synchronizing = false;
  std::int32_t status = 0;
  std::int32_t open_error = 0;  // of "PyraDatabase", kept for the status
  std::int64_t check_hour = 0;  // an hour count that never decreases
  bool closed = false;
  std::recursive_mutex lock;
};

// Null or without "ALCX": not a handle.
bool ValidHandle(const PyraHandle* handle);

// Reads the synchronizing flag (the named event exists) and the current
// sync stamp ("Last Sync Date Num" in "RefresBanner", 0 when missing).
void RefreshSyncState(PyraHandle* handle);
// Opens "PyraDatabase" and "PyraInfo" (created when missing) where the
// handle has none; remembers an ad-database error in open_error.
std::int32_t OpenAdDatabases(PyraHandle* handle);
void CloseAdDatabases(PyraHandle* handle);
// Forgets the ring, the keyword matches and the current ad.
void DropSelection(PyraHandle* handle);

// The ad sync due rule for the handle's application (true when due).
bool SyncDue(std::int32_t application_id);
// Recomputes the handle's status from the due rule.
void UpdateStatus(PyraHandle* handle);
// GetSyncInfo: the last sync date and the date the next one is due.
std::int32_t SyncInfo(PyraHandle* handle, std::int32_t* last, std::int32_t* next);

}  // namespace pyra
