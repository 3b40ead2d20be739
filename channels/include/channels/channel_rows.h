// The rows of the channel list, read from the store: which channels a
// plug-in shows, their article counts, the user's order, and what opening a
// channel writes. Portable: the screens draw these rows, tests read them.
//
// The channel list shows a channel of "TavoRss" when its "Plugin" is the
// list's plug-in and its "Icon" holds at least 2 bytes. Rows are sorted by
// display name ignoring case, then placed by the user's order of
// "TavoCustomArrange"; row i carries the command value kFirstRowCommand + i.
//
// Invariants of an arranged list (CheckArranged):
// - commands run kFirstRowCommand, kFirstRowCommand + 1, ... in list order;
// - 0 <= unread <= total for every row;
// - display names hold at most kMaxDisplayName characters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/object_store.h"

namespace channels {

// The command value of the first row (4047 + row opens a channel).
constexpr int kFirstRowCommand = 4047;
// Longest display name kept, in characters.
constexpr std::size_t kMaxDisplayName = 259;
// A channel of this plug-in has no article database to count.
constexpr char kWeatherPlugin[] = "Weather";
constexpr char kNewsPlugin[] = "News";
// The display name of a channel whose object has no "ChName".
constexpr char kUnnamedChannel[] = "Rss Channel";

struct ChannelRow {
  std::string object_name;     // the channel's object in "TavoRss"
  std::string name;            // "ChName" as stored (8-bit); empty when missing
  std::u16string display_name; // what the list shows
  std::string database;        // "DbName"
  std::string icon;            // the "Icon" bytes
  int command = 0;             // kFirstRowCommand + position
  std::int32_t total = 0;      // articles
  std::int32_t unread = 0;
  int order = -1;              // position in the user's order; -1 when it does not name the channel
};

// How 8-bit texts of the store become the list's text, and how names
// compare ignoring case. The defaults treat the bytes as Latin-1 and fold
// ASCII and Latin-1 letters; the program passes its ANSI code page's.
struct TextRules {
  std::u16string (*widen)(const std::string& text) = nullptr;
  // < 0, 0, > 0 as a compared with b, ignoring case.
  int (*compare_ignoring_case)(const std::u16string& a, const std::u16string& b) = nullptr;
};
std::u16string LatinWiden(const std::string& text);
int CompareFoldingLatin(const std::u16string& a, const std::u16string& b);

// The display settings the list reads each time it opens.
struct ListSettings {
  bool icon_view = false;       // "DisplaySettings"/"IconView" == 1
  std::int32_t last_active = 0; // "DSIData"/"LastActive"; 0 when missing
};
ListSettings ReadListSettings(const CObjectStore& store);
// Saves "DisplaySettings"/"IconView" as the display settings screen does:
// the database and object are created when missing. The store's code.
std::int32_t SaveIconView(const CObjectStore& store, bool icon_view);

// The names of the user's order: the "ChName" of each object of
// "TavoCustomArrange" in the order they were written ("Obj1", "Obj2", ...,
// shorter names first); empty when there is none.
std::vector<std::string> ReadUserOrder(const CObjectStore& store);

// Counts the articles of a channel database: the objects whose "Title" lies
// between " " and "\xFF", and those of them with "READ" = 1. A database that
// does not exist yet holds none. Returns the store's code.
std::int32_t CountArticles(const CObjectStore& store, const std::string& database, std::int32_t* total,
                           std::int32_t* read);

// The listed channels of `plugin`, unordered, with their counts (none for
// "Weather" channels). A channel whose object cannot be read is skipped.
// Returns the store's code of opening "TavoRss" (the list is then empty).
std::int32_t QueryChannelRows(const CObjectStore& store, const char* plugin, const TextRules& rules,
                              std::vector<ChannelRow>* rows);

// Sorts by display name ignoring case, places the rows by the user's
// order and numbers them (see the top of this file).
void ArrangeRows(const std::vector<std::string>& user_order, const TextRules& rules, std::vector<ChannelRow>* rows);

// The whole list: the user's order, the rows, arranged.
std::vector<ChannelRow> ReadChannelList(const CObjectStore& store, const char* plugin, const TextRules& rules);

// Asserts the invariants above (tests).
void CheckArranged(const std::vector<ChannelRow>& rows);

// What opening a channel needs of its object.
struct OpenedChannel {
  std::string plugin;    // "Plugin"
  std::string database;  // "DbName"
  std::string name;      // "ChName"
};

// Opening the channel of a row: reads its object (-1 when it or one of the
// three properties is missing), stores `command` as "LastActive" and writes
// "ChannelName"/"Channel" into the channel's database, created when it is
// not there yet (not for "Weather"). Returns 0 or -1.
int OpenChannel(const CObjectStore& store, const std::string& object_name, int command, OpenedChannel* out);

}  // namespace channels
