// The channel list's rows: query, counts, order and opening a channel.
#include "channels/channel_rows.h"

#include <algorithm>
#include <cassert>

#include "store_query.h"

namespace channels {

namespace {

char16_t FoldLatin(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  // Latin-1 small letters à..þ but ÷.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  return c;
}

std::u16string Widen(const TextRules& rules, const std::string& text) {
  return rules.widen ? rules.widen(text) : LatinWiden(text);
}

int Compare(const TextRules& rules, const std::u16string& a, const std::u16string& b) {
  return rules.compare_ignoring_case ? rules.compare_ignoring_case(a, b) : CompareFoldingLatin(a, b);
}

// One channel object of "TavoRss" as a row; false when it is not listed.
bool RowOf(store::Object* object, const TextRules& rules, ChannelRow* row) {
  std::uint32_t size = 0;
  row->object_name = ObjectName(object);
  // Only a channel with an icon of at least 2 bytes is listed.
  if (store::GetProperty(object, "Icon", store::kTypeBinary, nullptr, &size) != store::kStoreBufferTooSmall || size < 2)
    return false;
  row->icon.assign(size, '\0');
  if (store::GetProperty(object, "Icon", store::kTypeBinary, &row->icon[0], &size) != store::kStoreOk) return false;
  if (!CObjectStore::ReadText(object, "ChName", &row->name)) row->name.clear();
  CObjectStore::ReadText(object, "DbName", &row->database);
  row->display_name = Widen(rules, row->name.empty() ? std::string(kUnnamedChannel) : row->name);
  if (row->display_name.size() > kMaxDisplayName) row->display_name.resize(kMaxDisplayName);
  return true;
}

}  // namespace

std::u16string LatinWiden(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out.push_back(c);
  return out;
}

int CompareFoldingLatin(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char16_t x = FoldLatin(a[i]), y = FoldLatin(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

ListSettings ReadListSettings(const CObjectStore& store) {
  ListSettings settings;
  ScopedDatabase db;
  if (store.Open(db.Out(), "TavoSavedPrefs", false) != store::kStoreOk) return settings;
  std::int32_t value = 0;
  settings.icon_view = CObjectStore::ReadInt(db.Get(), "DisplaySettings", "IconView", &value) && value == 1;
  if (!CObjectStore::ReadInt(db.Get(), "DSIData", "LastActive", &settings.last_active)) settings.last_active = 0;
  return settings;
}

std::int32_t SaveIconView(const CObjectStore& store, bool icon_view) {
  ScopedDatabase db;
  std::int32_t rc = store.Open(db.Out(), "TavoSavedPrefs", true);
  if (rc != store::kStoreOk) return rc;
  return StoreRecord("DisplaySettings").Int("IconView", icon_view ? 1 : 0).WriteTo(db.Get());
}

std::vector<std::string> ReadUserOrder(const CObjectStore& store) {
  std::vector<std::string> names;
  ScopedDatabase db;
  if (store.Open(db.Out(), "TavoCustomArrange", false) != store::kStoreOk) return names;
  store::ResultSet* result = nullptr;
  if (store::ListObjects(db.Get(), &result, 0) != store::kStoreOk) return names;
  std::vector<std::pair<std::string, std::string>> objects;  // object name, "ChName"
  ForEachResult(result, [&](store::Object* object) {
    std::string name;
    if (CObjectStore::ReadText(object, "ChName", &name)) objects.push_back({ObjectName(object), name});
  });
  store::FreeResult(result);
  // "Obj1", "Obj2", ... "Obj10": the order they were written in.
  std::stable_sort(objects.begin(), objects.end(), [](const auto& a, const auto& b) {
    return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
  });
  for (auto& o : objects) names.push_back(std::move(o.second));
  return names;
}

std::int32_t CountArticles(const CObjectStore& store, const std::string& database, std::int32_t* total,
                           std::int32_t* read) {
  *total = *read = 0;
  ScopedDatabase db;
  std::int32_t rc = store.Open(db.Out(), database.c_str(), false);
  if (rc == store::kStoreNoDatabase) return store::kStoreOk;  // nothing synchronised yet
  if (rc != store::kStoreOk) return rc;
  // Every article has a title; "ChannelName" and the picture objects have none.
  QueryTemplate low, high;
  low.Text("Title", " ");
  high.Text("Title", "\xFF");
  std::uint32_t count = 0;
  rc = CountRange(db.Get(), low, high, &count);
  if (rc != store::kStoreOk) return rc;
  *total = static_cast<std::int32_t>(count);
  low.Int("READ", 1);
  high.Int("READ", 1);
  rc = CountRange(db.Get(), low, high, &count);
  if (rc != store::kStoreOk) return rc;
  *read = static_cast<std::int32_t>(count);
  return store::kStoreOk;
}

std::int32_t QueryChannelRows(const CObjectStore& store, const char* plugin, const TextRules& rules,
                              std::vector<ChannelRow>* rows) {
  rows->clear();
  ScopedDatabase db;
  std::int32_t rc = store.Open(db.Out(), "TavoRss", false);
  if (rc != store::kStoreOk) return rc;
  QueryTemplate example;
  example.Text("Plugin", plugin ? plugin : "");
  store::ResultSet* result = nullptr;
  rc = store::Query(db.Get(), example.Get(), example.Get(), store::kCompareRecords, &result, nullptr, nullptr, 0);
  if (rc != store::kStoreOk) return rc;
  rows->reserve(store::GetResultCount(result));
  ForEachResult(result, [&](store::Object* object) {
    ChannelRow row;
    if (RowOf(object, rules, &row)) rows->push_back(std::move(row));
  });
  store::FreeResult(result);
  // "TavoRss" stays open while the counts are read: the volume stays
  // mounted, so each article database opens without reading the volume again.
  const bool counted = !plugin || std::string(plugin) != kWeatherPlugin;
  for (ChannelRow& row : *rows) {
    if (!counted || row.database.empty()) continue;
    std::int32_t total = 0, read = 0;
    // A channel whose database cannot be counted shows no articles.
    if (CountArticles(store, row.database, &total, &read) != store::kStoreOk) total = read = 0;
    row.total = total;
    row.unread = total - std::min(read, total);
  }
  return store::kStoreOk;
}

void ArrangeRows(const std::vector<std::string>& user_order, const TextRules& rules, std::vector<ChannelRow>* rows) {
  // Ties in the folded names fall back to the stored bytes, then the object
  // names, so that the order never depends on the query's.
  std::sort(rows->begin(), rows->end(), [&rules](const ChannelRow& a, const ChannelRow& b) {
    int c = Compare(rules, a.display_name, b.display_name);
    if (c != 0) return c < 0;
    if (a.display_name != b.display_name) return a.display_name < b.display_name;
    return a.object_name < b.object_name;
  });
  std::vector<ChannelRow> placed;
  placed.reserve(rows->size());
  for (ChannelRow& row : *rows) {
    auto at = row.name.empty() ? user_order.end() : std::find(user_order.begin(), user_order.end(), row.name);
    row.order = at == user_order.end() ? -1 : static_cast<int>(at - user_order.begin());
    const int p = row.order;
    if (p == 0)
      placed.insert(placed.begin(), std::move(row));
    else if (p > 0 && p < static_cast<int>(placed.size()))
      placed.insert(placed.begin() + p, std::move(row));
    else
      placed.push_back(std::move(row));
  }
  for (std::size_t i = 0; i < placed.size(); ++i) placed[i].command = kFirstRowCommand + static_cast<int>(i);
  *rows = std::move(placed);
}

std::vector<ChannelRow> ReadChannelList(const CObjectStore& store, const char* plugin, const TextRules& rules) {
  // Held for the whole read, so that the volume is mounted once.
  ScopedDatabase rss;
  store.Open(rss.Out(), "TavoRss", false);
  std::vector<std::string> order = ReadUserOrder(store);
  std::vector<ChannelRow> rows;
  QueryChannelRows(store, plugin, rules, &rows);
  ArrangeRows(order, rules, &rows);
  return rows;
}

void CheckArranged(const std::vector<ChannelRow>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    assert(rows[i].command == kFirstRowCommand + static_cast<int>(i));
    assert(rows[i].unread >= 0 && rows[i].unread <= rows[i].total);
    assert(rows[i].display_name.size() <= kMaxDisplayName);
    (void)rows;
    (void)i;
  }
}

int OpenChannel(const CObjectStore& store, const std::string& object_name, int command, OpenedChannel* out) {
  {
    ScopedDatabase rss;
    if (store.Open(rss.Out(), "TavoRss", false) != store::kStoreOk) return -1;
    ObjectHandle object(object_name.c_str());
    if (!object.ReadFrom(rss.Get())) return -1;
    if (!CObjectStore::ReadText(object.Get(), "Plugin", &out->plugin) ||
        !CObjectStore::ReadText(object.Get(), "DbName", &out->database) ||
        !CObjectStore::ReadText(object.Get(), "ChName", &out->name))
      return -1;
  }
  {
    ScopedDatabase prefs;
    if (store.Open(prefs.Out(), "TavoSavedPrefs", true) == store::kStoreOk) {
      // Added or replaced; a stored value of another type stays.
      ObjectHandle data("DSIData");
      std::int32_t value = command;
      store::SetProperty(data.Get(), "LastActive", store::kTypeInteger, &value, 4, 1, 1, 0, 0);
      store::WriteObject(prefs.Get(), data.Get(), 1, 1, 1, 0);
    }
  }
  if (out->plugin != kWeatherPlugin) {
    ScopedDatabase channel;
    if (store.Open(channel.Out(), out->database.c_str(), true) == store::kStoreOk)
      StoreRecord("ChannelName").Text("Channel", out->name).WriteTo(channel.Get());
  }
  return 0;
}

}  // namespace channels
