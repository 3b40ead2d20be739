// Subscribing and unsubscribing: the check-box lists' channels and what
// their buttons write. Changes go to the store at once and reach the server
// with the next synchronization, which always carries "TavoRss".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/object_store.h"
#include "channels/channel_rows.h"

namespace channels {

constexpr char kSubscribed[] = "Yes";
constexpr char kNotSubscribed[] = "No";

// The sections of the check-box lists: "TavoCats"/"Categories", each
// property a section heading's key and its text value the section's plug-in.
struct Section {
  std::string key;
  std::string plugin;
};
std::vector<Section> ReadSections(const CObjectStore& store);

// The channels of "TavoRss" whose "Plugin" is `plugin` and whose "Subscr"
// is `state`, in "ChName" order: the range query between the template with
// "Plugin", "ChName" = " " and "Subscr", and the one without "ChName"; the
// templates' properties are of type `type`. The store's code.
std::int32_t QueryBySubscription(store::Database* db, std::uint16_t type, const char* plugin, const char* state,
                                 store::ResultSet** result);

struct ListedChannel {
  std::string name;             // "ChName"
  std::u16string display_name;  // its text on the list
  std::string database;         // "DbName"; empty when missing
};
// The channels of a result set, sorted by name ignoring case.
std::vector<ListedChannel> ReadListed(store::ResultSet* result, const TextRules& rules);

// Unsubscribes each named channel that is subscribed: deletes its article
// database, its stored "Icon" and sets "Subscr" = "No", so that it leaves
// the channel list and joins the recommendations. Names are compared
// exactly. Returns how many were written.
int Unsubscribe(const CObjectStore& store, const std::vector<std::string>& names);

// Subscribes each named channel that is not subscribed: "Subscr" = "Yes",
// written back as an update only. Returns how many were written.
int Subscribe(const CObjectStore& store, const std::vector<std::string>& names);

}  // namespace channels
