// The check-box lists' channels and the subscription changes they write.
#include "channels/subscriptions.h"

#include <algorithm>

#include "store_query.h"

namespace channels {

namespace {

// The first channel named exactly `name` whose "Subscr" is `state`; false when none.
bool FindChannel(store::Database* db, const std::string& name, const char* state, ObjectHandle* found) {
  QueryTemplate example;
  example.Text("ChName", name).Text("Subscr", state);
  store::ResultSet* result = nullptr;
  if (store::Query(db, example.Get(), example.Get(), store::kCompareRecords, &result, nullptr, nullptr, 0) !=
      store::kStoreOk)
    return false;
  store::Object* object = nullptr;
  const bool ok = store::FirstResult(result, &object) == store::kStoreOk;
  if (ok) found->Adopt(object);
  store::FreeResult(result);
  return ok;
}

bool SetState(store::Object* object, const char* state) {
  return store::SetProperty(object, "Subscr", store::kTypeText, state,
                            static_cast<std::uint32_t>(std::char_traits<char>::length(state) + 1), 1, 1, 1,
                            0) == store::kStoreOk;
}

}  // namespace

std::vector<Section> ReadSections(const CObjectStore& store) {
  std::vector<Section> sections;
  ScopedDatabase db;
  if (store.Open(db.Out(), "TavoCats", false) != store::kStoreOk) return sections;
  ObjectHandle categories("Categories");
  if (!categories.ReadFrom(db.Get())) return sections;
  std::uint32_t count = 0;
  store::GetPropertyCount(categories.Get(), &count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t size = 0;
    std::uint16_t type = 0;
    store::GetPropertyName(categories.Get(), i, nullptr, &size, &type);
    if (size == 0) continue;
    std::string key(size, '\0');
    if (store::GetPropertyName(categories.Get(), i, &key[0], &size, &type) != store::kStoreOk) continue;
    key.resize(size - 1);
    Section section;
    section.key = key;
    if (!CObjectStore::ReadText(categories.Get(), key.c_str(), &section.plugin)) continue;
    sections.push_back(std::move(section));
  }
  return sections;
}

std::int32_t QueryBySubscription(store::Database* db, std::uint16_t type, const char* plugin, const char* state,
                                 store::ResultSet** result) {
  QueryTemplate low, high;
  low.Text("Plugin", plugin, type).Text("ChName", " ", type).Text("Subscr", state, type);
  high.Text("Plugin", plugin, type).Text("Subscr", state, type);
  return store::Query(db, low.Get(), high.Get(), store::kCompareRecords, result, "ChName", nullptr, 0);
}

std::vector<ListedChannel> ReadListed(store::ResultSet* result, const TextRules& rules) {
  std::vector<ListedChannel> listed;
  ForEachResult(result, [&](store::Object* object) {
    ListedChannel channel;
    if (!CObjectStore::ReadText(object, "ChName", &channel.name)) return;
    CObjectStore::ReadText(object, "DbName", &channel.database);
    channel.display_name = rules.widen ? rules.widen(channel.name) : LatinWiden(channel.name);
    listed.push_back(std::move(channel));
  });
  auto compare = rules.compare_ignoring_case ? rules.compare_ignoring_case : CompareFoldingLatin;
  std::stable_sort(listed.begin(), listed.end(), [compare](const ListedChannel& a, const ListedChannel& b) {
    return compare(a.display_name, b.display_name) < 0;
  });
  return listed;
}

int Unsubscribe(const CObjectStore& store, const std::vector<std::string>& names) {
  ScopedDatabase db;
  if (store.Open(db.Out(), "TavoRss", false) != store::kStoreOk) return 0;
  int written = 0;
  for (const std::string& name : names) {
    ObjectHandle channel;
    if (!FindChannel(db.Get(), name, kSubscribed, &channel)) continue;
    std::string database;
    if (CObjectStore::ReadText(channel.Get(), "DbName", &database) && !database.empty())
      store::RemoveDatabase(database.c_str(), store.Volume());
    // The icon goes before the state changes: a channel left half-way stays
    // subscribed and off the channel list, where this list finds it again.
    ObjectHandle icon(ObjectName(channel.Get()).c_str());
    store::SetProperty(icon.Get(), "Icon", store::kTypeBinary, "", 1, 1, 1, 1, 0);
    store::DeleteObject(db.Get(), icon.Get(), 1);
    store::RemoveProperty(channel.Get(), "Icon", store::kTypeBinary);
    if (!SetState(channel.Get(), kNotSubscribed)) continue;
    if (store::WriteObject(db.Get(), channel.Get(), 0, 1, 0, 0) == store::kStoreOk) ++written;
  }
  return written;
}

int Subscribe(const CObjectStore& store, const std::vector<std::string>& names) {
  ScopedDatabase db;
  if (store.Open(db.Out(), "TavoRss", false) != store::kStoreOk) return 0;
  int written = 0;
  for (const std::string& name : names) {
    ObjectHandle channel;
    if (!FindChannel(db.Get(), name, kNotSubscribed, &channel)) continue;
    if (!SetState(channel.Get(), kSubscribed)) continue;
    if (store::WriteObject(db.Get(), channel.Get(), 0, 1, 0, 0) == store::kStoreOk) ++written;
  }
  return written;
}

}  // namespace channels
