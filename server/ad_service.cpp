#include "ad_service.h"

#include <cstdio>
#include <ctime>
#include <set>
#include <sstream>

#include "wire_out.h"

namespace tidelark_server {

using sync_engine::WireObject;
using sync_engine::WireProperty;

using Received = AdSession::Received;

namespace {

constexpr char kAdDb[] = "PyraDatabase";
constexpr char kInfoDb[] = "PyraInfo";
constexpr char kPrefsDb[] = "PyraPrefs";
// Pictures above this go in parts; the device's work buffer holds 10000 bytes.
constexpr std::size_t kMaxPiece = 8000;

std::string AdName(std::int32_t id) { return "Ad " + std::to_string(id); }
bool ServerObject(const std::string& name) {
  return name.compare(0, 3, "Ad ") == 0 || name.compare(0, 7, "AdPart ") == 0;
}
bool LogRecord(const std::string& name) { return name.compare(0, 4, "Log ") == 0; }

std::string Text(const WireObject* o, const char* name) {
  std::string v;
  if (o) o->GetText(name, &v);
  return v;
}
std::int64_t Int(const WireObject* o, const char* name) {
  const WireProperty* p = o ? o->Find(name) : nullptr;
  return p ? p->AsInt() : 0;
}

std::string TodayUtc() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[48];
  std::snprintf(text, sizeof text, "%04d%02d%02d", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday);
  return text;
}

std::string JoinIds(const std::vector<std::int32_t>& ids, char separator) {
  std::string text;
  for (std::size_t i = 0; i < ids.size(); ++i) text += (i ? std::string(1, separator) : "") + std::to_string(ids[i]);
  return text;
}

const WireObject* Find(const Received& sent, const std::string& db, const std::string& name) {
  auto it = sent.find(db);
  if (it == sent.end()) return nullptr;
  for (const WireObject* o : it->second)
    if (o->name == name) return o;
  return nullptr;
}

AdDevice DeviceRecord(const Received& sent) {
  const WireObject* device = Find(sent, kPrefsDb, "PyraDevice");
  const WireObject* user = Find(sent, kPrefsDb, "PyraUser");
  AdDevice d;
  d.user = Text(user, "User");
  d.lang = Text(user, "Lang");
  d.country = Text(user, "Country");
  d.type = Text(device, "DevType");
  d.oem = Text(device, "OEMName");
  d.op = Text(device, "OpName");
  d.width = Int(device, "Width");
  d.height = Int(device, "Height");
  d.ad_spaces = Text(Find(sent, kInfoDb, "AdSpaceIDs"), "AdIDs");
  return d;
}

std::vector<AdEvent> Events(const Received& sent) {
  std::vector<AdEvent> events;
  auto it = sent.find(kInfoDb);
  if (it == sent.end()) return events;
  for (const WireObject* o : it->second) {
    if (!LogRecord(o->name)) continue;
    AdEvent e;
    e.name = o->name;
    e.time = Int(o, "Time");
    e.application = Int(o, "AppID");
    e.ad = Int(o, "AdID");
    e.ad_space = Int(o, "AdSpaceId");
    e.action = Int(o, "Action");
    events.push_back(e);
  }
  return events;
}

// The ad spaces a device lists ("43;50"); empty when none.
std::set<std::int32_t> DeviceAdSpaces(const std::string& text) {
  std::set<std::int32_t> ids;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ';')) {
    char* end = nullptr;
    long v = std::strtol(item.c_str(), &end, 10);
    if (end != item.c_str() && *end == '\0') ids.insert(static_cast<std::int32_t>(v));
  }
  return ids;
}

bool MeantFor(const Ad& ad, const std::set<std::int32_t>& spaces, const std::string& today) {
  if (!ad.expires.empty() && ad.expires < today) return false;
  if (spaces.empty()) return true;
  for (std::int32_t s : ad.ad_spaces)
    if (spaces.count(s)) return true;
  return false;
}

}  // namespace

std::vector<WireObject> AdObjects(const Ad& ad) {
  std::vector<WireObject> out;
  WireObject o;
  o.name = AdName(ad.id);
  o.properties.push_back(WireProperty::Int("Width", ad.width));
  o.properties.push_back(WireProperty::Int("Height", ad.height));
  o.properties.push_back(WireProperty::Int("Impr", 0));
  o.properties.push_back(WireProperty::Int("AdID", ad.id));
  o.properties.push_back(WireProperty::Text("AdSpaces", JoinIds(ad.ad_spaces, ',')));
  for (std::size_t i = 0; i < ad.keywords.size(); ++i)
    o.properties.push_back(WireProperty::Text(i ? "Keywords" + std::to_string(i + 1) : "Keywords", ad.keywords[i]));
  if (!ad.expires.empty()) o.properties.push_back(WireProperty::Text("ExpTime", ad.expires));
  if (ad.max_impressions >= 0) o.properties.push_back(WireProperty::Int("MSC", ad.max_impressions));
  if (ad.image.size() <= kMaxPiece) {
    o.properties.push_back(WireProperty::Text("Format", "JPEG"));
    o.properties.push_back(WireProperty::Binary("Content", ad.image));
    out.push_back(std::move(o));
    return out;
  }
  // Per part: its object, its property, and three texts the device skips
  // (offset, size and an empty one).
  std::string map;
  for (std::size_t off = 0, i = 0; off < ad.image.size(); off += kMaxPiece, ++i) {
    WireObject part;
    part.name = "AdPart " + std::to_string(ad.id) + " " + std::to_string(i);
    std::string bytes = ad.image.substr(off, kMaxPiece);
    for (const std::string& t : {part.name, std::string("Data"), std::to_string(off), std::to_string(bytes.size()),
                                 std::string()}) {
      map += t;
      map.push_back('\0');
    }
    part.properties.push_back(WireProperty::Binary("Data", bytes));
    out.push_back(std::move(part));
  }
  map.push_back('\0');
  o.properties.push_back(WireProperty::Text("Format", "ImageMap"));
  o.properties.push_back(WireProperty::Binary("ImageMap", map));
  out.push_back(std::move(o));
  return out;
}

AdService::AdService(AdStorage* storage, AdCatalogue catalogue) : storage_(storage), catalogue_(std::move(catalogue)) {
  for (const Ad& ad : catalogue_.ads)
    for (const WireObject& o : AdObjects(ad)) prepared_[ad.id].push_back(Prepare(o, {"Impr"}));
}

std::string AdService::Report() {
  std::vector<AdReportRow> rows;
  std::int64_t devices = 0;
  {
    std::lock_guard<std::mutex> lock(storage_->mutex());
    rows = storage_->Report();
    devices = storage_->DeviceCount();
  }
  std::map<std::int64_t, std::string> names;
  for (const Ad& ad : catalogue_.ads) names[ad.id] = ad.name;
  std::string out = "ad        name                      day         impressions  clicks\n";
  std::int64_t impressions = 0, clicks = 0;
  char line[160];
  for (const AdReportRow& r : rows) {
    std::string name = names.count(r.ad) ? names[r.ad] : "";
    std::snprintf(line, sizeof line, "%-9lld %-25.25s %-10s  %11lld  %6lld\n", static_cast<long long>(r.ad),
                  name.c_str(), r.day.c_str(), static_cast<long long>(r.impressions),
                  static_cast<long long>(r.clicks));
    out += line;
    impressions += r.impressions;
    clicks += r.clicks;
  }
  std::snprintf(line, sizeof line, "%-9s %-25s %-10s  %11lld  %6lld\n", "total", "", "",
                static_cast<long long>(impressions), static_cast<long long>(clicks));
  out += line;
  out += "devices: " + std::to_string(devices) + "\n";
  return out;
}

bool AdSession::Phase1(const std::vector<WireObject>& objects, std::string* error) {
  if (!ReadRequests(objects, error)) return false;
  resource_.clear();
  std::string summary, unknown;
  for (const auto& r : requested_) {
    const char* op = r.first == kAdDb ? "SendAllNames"
                     : r.first == kInfoDb || r.first == kPrefsDb ? "SendAllObjects"
                                                                 : nullptr;
    if (!op) {
      unknown += " " + r.first;
      continue;
    }
    WireObject req;
    req.name = kRequestObjectName;
    req.properties.push_back(WireProperty::Text("Name", r.first));
    req.properties.push_back(WireProperty::Text("Operation", op));
    resource_ += EncodeForDevice(req);
    summary += " " + r.first;
  }
  log_.push_back("ads phase 1: " + std::to_string(objects.size()) + " requests; asking for" + summary +
                 (unknown.empty() ? "" : "; not served:" + unknown));
  return true;
}

bool AdSession::Phase3(const std::vector<WireObject>& objects, std::string* error_text, std::string* error) {
  Received sent;
  if (!GroupByDatabase(objects, &sent, error)) return false;
  const AdDevice record = DeviceRecord(sent);
  AdStorage* st = service_->storage();
  std::lock_guard<std::mutex> lock(st->mutex());
  if (!st->Begin()) {
    *error_text = "The ad server is busy. Please try again later.";
    return false;
  }
  std::int64_t device = 0;
  int new_events = StoreDevice(sent, record, &device);
  std::vector<Plan> plans;
  for (const auto& r : requested_) {
    if (r.first != kAdDb && r.first != kInfoDb && r.first != kPrefsDb) continue;
    plans.push_back(r.first == kAdDb ? PlanAds(sent, device, r.second, DeviceAdSpaces(record.ad_spaces))
                                     : PlanDeletingLogs(sent, r.first));
  }
  std::string summary;
  bool ok = new_events >= 0 && Emit(device, &plans, &summary);
  if (!ok || !st->Commit()) {
    st->Rollback();
    *error_text = "The ad server could not store this sync. Please try again later.";
    *error = "store failed";
    return false;
  }
  log_.push_back("ads phase 3: device " + std::to_string(device) + " (\"" + record.user.substr(0, 40) +
                 "\", ad spaces " + (record.ad_spaces.empty() ? "none" : record.ad_spaces) + "), " +
                 std::to_string(objects.size()) + " objects received, " + std::to_string(new_events) +
                 " new events;" + summary);
  return true;
}

bool AdSession::GroupByDatabase(const std::vector<WireObject>& objects, Received* sent, std::string* error) {
  std::string current;
  for (const WireObject& o : objects) {
    if (o.name == kRequestObjectName) {
      current = Text(&o, "Name");
      (*sent)[current];
      continue;
    }
    if (current.empty()) {
      *error = "object before any database";
      return false;
    }
    (*sent)[current].push_back(&o);
  }
  return true;
}

int AdSession::StoreDevice(const Received& sent, const AdDevice& record, std::int64_t* device) {
  AdStorage* st = service_->storage();
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  for (const auto& r : requested_)
    if (!r.second.empty() && st->DeviceOfAnchor(r.second, device)) break;
  if (!*device) *device = st->NewDevice(now);
  if (!*device || !st->UpdateDevice(*device, record, now)) return -1;
  return st->AddEvents(*device, Events(sent));
}

// "PyraDatabase": the ads meant for the device, sent when it does not hold
// them as they are; ads it holds that the catalogue no longer offers go.
AdSession::Plan AdSession::PlanAds(const Received& sent, std::int64_t device, const std::string& anchor,
                                   const std::set<std::int32_t>& spaces) {
  Plan plan;
  plan.db = kAdDb;
  std::set<std::string> held;
  auto it = sent.find(kAdDb);
  if (it != sent.end())
    for (const WireObject* o : it->second) held.insert(o->name);
  AdSnapshot before;
  bool known = !anchor.empty() && service_->storage()->LoadSnapshot(device, kAdDb, anchor, &before);
  const std::string today = TodayUtc();
  for (const Ad& ad : service_->catalogue().ads) {
    if (!MeantFor(ad, spaces, today)) continue;
    for (const PreparedObject& o : service_->Prepared(ad.id)) {
      plan.after[o.name] = o.hash;
      bool has = held.count(o.name) > 0;
      auto b = before.find(o.name);
      if (has && known && b != before.end() && b->second == o.hash) continue;
      plan.adds.push_back(has ? &o.stable : &o.full);
    }
  }
  for (const std::string& name : held)
    if (ServerObject(name) && !plan.after.count(name)) plan.deletes.push_back(name);
  return plan;
}

// "PyraInfo" and "PyraPrefs": nothing to add; the log records received go.
AdSession::Plan AdSession::PlanDeletingLogs(const Received& sent, const std::string& db) {
  Plan plan;
  plan.db = db;
  auto it = sent.find(db);
  if (it != sent.end())
    for (const WireObject* o : it->second)
      if (LogRecord(o->name)) plan.deletes.push_back(o->name);
  return plan;
}

bool AdSession::Emit(std::int64_t device, std::vector<Plan>* plans, std::string* summary) {
  resource_.clear();
  for (Plan& plan : *plans) {
    std::string anchor = service_->storage()->SaveSnapshot(device, plan.db, plan.after);
    if (anchor.empty()) return false;
    if (!plan.deletes.empty()) {
      resource_ += EncodeForDevice(DatabaseHeader(plan.db, "Update", "Delete", anchor));
      for (const std::string& n : plan.deletes) resource_ += EncodeForDevice(NameOnlyObject(n));
    }
    resource_ += EncodeForDevice(DatabaseHeader(plan.db, "Update", "Add", anchor));
    for (const std::string* o : plan.adds) resource_ += *o;
    *summary += " " + plan.db + " +" + std::to_string(plan.adds.size()) + " -" + std::to_string(plan.deletes.size()) +
                ";";
  }
  return true;
}

}  // namespace tidelark_server
