#include "startup_records.h"

#include <string>
#include <vector>

namespace tidelark_sync {
namespace {

using sync_engine::SyncStore;
using sync_engine::WireObject;
using sync_engine::WireProperty;

// A 1x1 GIF standing in for the channel icon resource.
const unsigned char kIcon[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0x1f, 0x5f, 0xb4, 0xff,
                               0xff, 0xff, 0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3b};

struct DefaultChannel {
  const char* id;
  const char* name;
};

const DefaultChannel kChannels[] = {
    {"12441", "Download Squad"}, {"4805", "Engadget"},        {"7324", "Lifehacker"},
    {"1081", "Pocket PC Thoughts"}, {"12741", "Smartphone Thoughts"}, {"4145", "CNET News"},
    {"3881", "CNN News"},        {"12444", "Tidelark Forum"}, {"6325", "Tidelark"},
    {"5750", "PalmInfocenter"},  {"4895", "PalmAddicts"},     {"4931", "Slashdot"},
    {"5205", "TV Squad"},        {"18519", "1SRC News"},      {"18537", "Autoblog"},
    {"18542", "Brighthand"},
};

int WriteAll(SyncStore* store, const char* db, bool start_empty, const std::vector<WireObject>& objects) {
  SyncStore::Database h = nullptr;
  int rc = store->Open(db, true, start_empty, 0, &h);
  if (rc != 0) return rc;
  for (const WireObject& o : objects) {
    rc = store->WriteObject(h, o);
    if (rc != 0) break;
  }
  store->Close(&h);
  return rc;
}

WireObject Obj(const std::string& name, std::vector<WireProperty> props) {
  WireObject o;
  o.name = name;
  o.properties = std::move(props);
  return o;
}

}  // namespace

int SeedWhenEmpty(SyncStore* store, bool* seeded) {
  *seeded = false;
  SyncStore::Database h = nullptr;
  if (store->Open("TavoRss", false, false, 0, &h) == 0) {
    store->Close(&h);
    return 0;
  }
  *seeded = true;
  int rc = WriteAll(store, "TavoCats", true, {Obj("Categories", {WireProperty::Text("News", "News")})});
  if (rc) return rc;
  std::vector<WireObject> channels;
  std::string icon(reinterpret_cast<const char*>(kIcon), sizeof kIcon);
  for (const DefaultChannel& c : kChannels)
    channels.push_back(Obj(std::string("Channel ") + c.id,
                           {WireProperty::Text("ChName", c.name), WireProperty::Text("DbName", std::string("Tavo ") + c.id),
                            WireProperty::Text("Plugin", "News"), WireProperty::Text("URL", ""),
                            WireProperty::Text("Subscr", "Yes"), WireProperty::Int("Rating", 0),
                            WireProperty::Binary("Icon", icon)}));
  if ((rc = WriteAll(store, "TavoRss", true, channels))) return rc;
  if ((rc = WriteAll(store, "TavoCustomArrange", true, {Obj("Obj1", {WireProperty::Text("ChName", "Tidelark")})})))
    return rc;
  WireProperty dev_id = WireProperty::Text("DevID", "2");
  dev_id.value = "2";  // one byte, no terminating zero
  if ((rc = WriteAll(store, "TavoPrefs", false,
                     {Obj("TavoDevice", {WireProperty::Text("DevType", "Pocket"), WireProperty::Text("DevModel", "Pocket"),
                                         WireProperty::Int("Width", 240), WireProperty::Int("Height", 320), dev_id,
                                         WireProperty::Text("HID", "213234")}),
                      Obj("TavoUser", {WireProperty::Text("User", "Username"), WireProperty::Text("Lang", "ENU"),
                                       WireProperty::Text("Country", "USA")}),
                      Obj("TavoApp", {WireProperty::Text("AppId", "26")}), Obj("EulaAccepted", {})})))
    return rc;
  if ((rc = WriteAll(store, "TavoSets", false,
                     {Obj("SyncOTA", {WireProperty::Int("DataLimit", -1), WireProperty::Int("Data", 3),
                                      WireProperty::Int("UnreadArticles", -1)}),
                      Obj("SyncDesktop", {WireProperty::Int("DataLimit", -1), WireProperty::Int("Data", 3),
                                          WireProperty::Int("UnreadArticles", 0)}),
                      Obj("SyncSets", {WireProperty::Int("Mode", 1)})})))
    return rc;
  if ((rc = WriteAll(store, "TavoSavedPrefs", false,
                     {Obj("AlertsSettings", {WireProperty::Int("NoNotifyChecked", 0), WireProperty::Int("PlaySound", 1),
                                             WireProperty::Int("VisualReminder", 1),
                                             WireProperty::Int("ComboSelection", 4)})})))
    return rc;
  return WriteAll(store, "TavoInfo", false,
                  {Obj("SyncStats", {WireProperty::Int("StartCount", 1), WireProperty::Int("TimeUsed", 0)})});
}

}  // namespace tidelark_sync
