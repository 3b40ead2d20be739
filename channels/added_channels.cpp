// The add form's saved state and the channel object it writes.
#include "channels/added_channels.h"

#include <cstdio>

#include "channels/channel_rows.h"
#include "channels/subscriptions.h"
#include "store_query.h"

namespace channels {

namespace {

constexpr char kBlanks[] = " \t\r\n";

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// One millisecond later, carried into the larger units; the day is not
// carried: names only need to differ.
platform::os::DateTime Later(platform::os::DateTime t) {
  if (++t.millisecond < 1000) return t;
  t.millisecond = 0;
  if (++t.second < 60) return t;
  t.second = 0;
  if (++t.minute < 60) return t;
  t.minute = 0;
  ++t.hour;
  return t;
}

}  // namespace

bool LoadAddForm(const CObjectStore& store, AddForm* form) {
  ScopedDatabase db;
  if (store.Open(db.Out(), "TavoSavedPrefs", false) != store::kStoreOk) return false;
  ObjectHandle saved("AddChannel");
  if (!saved.ReadFrom(db.Get())) return false;
  std::uint32_t size = 4;
  std::int32_t option = kNoOption;
  if (store::GetProperty(saved.Get(), "RadioBtnChecked", store::kTypeInteger, &option, &size) == store::kStoreOk)
    form->option = option == kChooseFromList || option == kEnterAddress ? option : kNoOption;
  CObjectStore::ReadText(saved.Get(), "URL", &form->url);
  CObjectStore::ReadText(saved.Get(), "ChName", &form->name);
  return true;
}

std::int32_t SaveAddForm(const CObjectStore& store, const AddForm& form) {
  ScopedDatabase db;
  std::int32_t rc = store.Open(db.Out(), "TavoSavedPrefs", true);
  if (rc != store::kStoreOk) return rc;
  return StoreRecord("AddChannel")
      .Int("RadioBtnChecked", form.option)
      .Text("URL", form.url)
      .Text("ChName", form.name)
      .WriteTo(db.Get());
}

std::string AddedChannelName(const platform::os::DateTime& utc) {
  char name[64];
  std::snprintf(name, sizeof name, "Channel %04d:%02d:%02d:%02d:%02d:%02d:%03d", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second, utc.millisecond);
  return name;
}

bool IsBareAddress(const std::string& url) {
  const std::string t = Trimmed(url);
  if (t.empty()) return true;
  const std::size_t scheme = t.find("://");
  return scheme != std::string::npos && scheme + 3 == t.size();
}

std::int32_t AddChannel(const CObjectStore& store, const std::string& url, const std::string& name,
                        const platform::os::DateTime& utc, std::string* object) {
  if (IsBareAddress(url)) return store::kStoreBadArgument;
  ScopedDatabase db;
  std::int32_t rc = store.Open(db.Out(), "TavoRss", true);
  if (rc != store::kStoreOk) return rc;
  // Two adds in one millisecond must not make one object of two channels.
  platform::os::DateTime at = utc;
  std::string object_name = AddedChannelName(at);
  for (int tries = 0; tries < 1000 && CObjectStore::CanRead(db.Get(), object_name.c_str()); ++tries)
    object_name = AddedChannelName(at = Later(at));
  rc = StoreRecord(object_name.c_str())
           .Text("URL", Trimmed(url))
           .Text("Subscr", kSubscribed)
           .Text("ChName", Trimmed(name))
           .Text("Plugin", kNewsPlugin)
           .WriteTo(db.Get());
  if (rc == store::kStoreOk && object) *object = object_name;
  return rc;
}

}  // namespace channels
