#include "sync_service.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "feed_fetch.h"
#include "feed_parser.h"
#include "sync/base64.h"
#include "text_1252.h"
#include "wire_out.h"

namespace tidelark_server {

using sync_engine::WireObject;
using sync_engine::WireProperty;

namespace {

// Values stay well under the device's 10000-byte work buffer with their header.
constexpr std::size_t kMaxText = 8000;
constexpr std::size_t kMaxShort = 1000;
// Pictures larger than this go in parts; a map of 256 KB stays far below the buffer.
constexpr std::size_t kMaxPicturePart = 8000;
constexpr std::size_t kMaxPicture = 256 * 1024;
constexpr int kPicturesPerRefresh = 20;

// A 1x1 GIF for channels whose catalogue entry names no icon.
const unsigned char kDefaultIcon[] = {
    'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0x1f, 0x5f, 0xb4, 0xff, 0xff, 0xff,
    0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3b};

std::string DefaultIcon() { return std::string(reinterpret_cast<const char*>(kDefaultIcon), sizeof kDefaultIcon); }

std::string DbNameOf(std::int64_t id) { return "Tavo " + std::to_string(id); }

// "Tavo <id>" -> id, or 0.
std::int64_t ChannelOfDb(const std::string& db) {
  if (db.compare(0, 5, "Tavo ") != 0 || db.size() < 6 || db.size() > 15) return 0;
  std::int64_t id = 0;
  for (std::size_t i = 5; i < db.size(); ++i) {
    if (db[i] < '0' || db[i] > '9') return 0;
    id = id * 10 + (db[i] - '0');
  }
  return id;
}

std::string Text(const WireObject& o, const char* name) {
  std::string v;
  o.GetText(name, &v);
  return v;
}

// What one database should hold after this sync, in send order.
struct Desired {
  std::string db;
  std::vector<PreparedObject> own;
  std::shared_ptr<const std::vector<PreparedObject>> shared;  // a channel's cached articles
};

struct DbReport {
  std::string db, op;
  std::size_t adds = 0, deletes = 0;
};

}  // namespace

PreparedObject Prepare(const WireObject& object, const std::set<std::string>& volatile_props) {
  PreparedObject p;
  p.name = object.name;
  p.full = EncodeForDevice(object);
  WireObject stable = object;
  stable.properties.erase(std::remove_if(stable.properties.begin(), stable.properties.end(),
                                         [&](const WireProperty& q) { return volatile_props.count(q.name) > 0; }),
                          stable.properties.end());
  p.stable = volatile_props.empty() ? p.full : EncodeForDevice(stable);
  p.hash = ContentHash(stable);
  return p;
}

std::vector<WireObject> PictureObjects(const std::string& key, const std::string& image) {
  std::vector<WireObject> out;
  if (image.empty()) return out;
  WireObject pic;
  pic.name = "Pic " + key;
  pic.properties.push_back(WireProperty::Text("Feed", key));
  if (image.size() <= kMaxPicturePart) {
    pic.properties.push_back(WireProperty::Binary("Image", image));
    out.push_back(std::move(pic));
    return out;
  }
  // Larger pictures travel in parts that the "ImageMap" joins again: per
  // part its object, its property and two texts (offset and size).
  std::string map;
  for (std::size_t off = 0, i = 0; off < image.size(); off += kMaxPicturePart, ++i) {
    std::string bytes = image.substr(off, kMaxPicturePart);
    WireObject part;
    part.name = "Part " + key + " " + std::to_string(i);
    part.properties.push_back(WireProperty::Binary("Data", bytes));
    for (const std::string& t : {part.name, std::string("Data"), std::to_string(off), std::to_string(bytes.size())}) {
      map += t;
      map.push_back('\0');
    }
    out.push_back(std::move(part));
  }
  map.push_back('\0');
  pic.properties.push_back(WireProperty::Binary("ImageMap", map));
  out.push_back(std::move(pic));
  return out;
}

std::shared_ptr<const std::vector<PreparedObject>> SyncService::PreparedItems(std::int64_t channel, bool alert) {
  auto it = cache_.find(channel);
  if (it != cache_.end()) return it->second;
  auto items = std::make_shared<std::vector<PreparedObject>>();
  for (const StoredItem& item : storage_->Items(channel)) {
    items->push_back(Prepare(ArticleObject(item, alert, true), {"READ", "NEW_ALERT", "New"}));
    for (const WireObject& p : PictureObjects(item.key, item.image)) items->push_back(Prepare(p, {}));
  }
  cache_[channel] = items;
  return items;
}

std::uint64_t ContentHash(const WireObject& object) {
  std::string bytes = EncodeForDevice(object);
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h & 0x7FFFFFFFFFFFFFFFull;  // fits SQLite's signed integer
}

WireObject ArticleObject(const StoredItem& item, bool alert, bool with_read) {
  WireObject o;
  o.name = (alert ? "Alert " : "Item ") + item.key;
  // Title, Author, Date and Link first: the article view finds the link by position.
  o.properties.push_back(WireProperty::Text("Title", CutText(item.title, kMaxShort)));
  o.properties.push_back(WireProperty::Text("Author", CutText(item.author, 200)));
  WireProperty date = WireProperty::Text("Date", CutText(item.date, 100));
  WireProperty link = WireProperty::Text("Link", item.link.size() <= kMaxShort ? item.link : "");
  // The article view places a picture right behind the title; the link
  // stays its fifth element when it moves before the date.
  if (item.image.empty()) {
    o.properties.push_back(date);
    o.properties.push_back(link);
  } else {
    o.properties.push_back(link);
    o.properties.push_back(date);
  }
  o.properties.push_back(WireProperty::Text("Text", CutText(item.text, kMaxText)));
  o.properties.push_back(WireProperty::Text("Sort", item.sort));
  if (with_read) {
    o.properties.push_back(WireProperty::Int("READ", 0));
    if (alert) {
      o.properties.push_back(WireProperty::Int("NEW_ALERT", 1));
      o.properties.push_back(WireProperty::Int("New", 1));
    }
  }
  return o;
}

bool SyncService::InstallCatalogue(const Catalogue& catalogue) {
  std::lock_guard<std::mutex> lock(storage_->mutex());
  if (!storage_->Begin()) return false;
  for (Channel c : catalogue.channels) {
    if (c.icon.empty()) c.icon = DefaultIcon();
    if (!storage_->PutChannel(c)) {
      storage_->Rollback();
      return false;
    }
  }
  alerts_url_ = catalogue.alerts_url;
  return storage_->Commit();
}

bool SyncService::RefreshChannel(const Channel& channel, std::string* log) {
  FetchResult r = FetchUrl(channel.url);
  if (!r.ok) {
    *log = "channel " + std::to_string(channel.id) + ": fetch failed: " + r.error;
    return false;
  }
  Feed feed;
  if (!ParseFeed(r.body, &feed)) {
    *log = "channel " + std::to_string(channel.id) + ": not a feed (" + std::to_string(r.body.size()) + " bytes)";
    return false;
  }
  if (fetch_pictures_) FetchPictures(channel, &feed);
  std::lock_guard<std::mutex> lock(storage_->mutex());
  if (!storage_->Begin()) return false;
  int added = storage_->StoreFeed(channel.id, feed, retention_, static_cast<std::int64_t>(std::time(nullptr)));
  Invalidate(channel.id);
  if (!storage_->Commit()) {
    storage_->Rollback();
    *log = "channel " + std::to_string(channel.id) + ": store failed";
    return false;
  }
  *log = "channel " + std::to_string(channel.id) + " \"" + channel.name + "\": " +
         std::to_string(feed.items.size()) + " items, " + std::to_string(added) + " new";
  return true;
}

void SyncService::FetchPictures(const Channel& channel, Feed* feed) {
  std::set<std::string> have;
  {
    std::lock_guard<std::mutex> lock(storage_->mutex());
    for (const std::string& k : storage_->KeysWithImage(channel.id)) have.insert(k);
  }
  // A local picture only for a local feed: a feed from elsewhere must not
  // make the server read its own files.
  bool local_ok = channel.url.compare(0, 7, "file://") == 0;
  int fetched = 0;
  for (std::size_t i = 0; i < feed->items.size() && static_cast<int>(i) < retention_; ++i) {
    FeedItem& it = feed->items[i];
    const std::string& u = it.image_url;
    bool scheme = u.compare(0, 7, "http://") == 0 || u.compare(0, 8, "https://") == 0 ||
                  (local_ok && u.compare(0, 7, "file://") == 0);
    if (u.empty() || !scheme || have.count(it.key) || fetched >= kPicturesPerRefresh) continue;
    ++fetched;
    FetchResult r = FetchUrl(u, 10, kMaxPicture);
    bool gif = r.body.compare(0, 4, "GIF8") == 0;
    bool jpeg = r.body.size() > 3 && static_cast<unsigned char>(r.body[0]) == 0xFF &&
                static_cast<unsigned char>(r.body[1]) == 0xD8;
    if (r.ok && (gif || jpeg)) it.image = r.body;
  }
}

void SyncService::RefreshAll(std::vector<std::string>* log) {
  std::vector<Channel> channels;
  {
    std::lock_guard<std::mutex> lock(storage_->mutex());
    channels = storage_->Channels();
  }
  if (!alerts_url_.empty()) {
    Channel alerts;
    alerts.id = kAlertChannel;
    alerts.name = "alerts";
    alerts.url = alerts_url_;
    channels.push_back(alerts);
  }
  for (const Channel& c : channels) {
    if (c.id == kAlertChannel && c.name != "alerts") continue;
    std::string line;
    RefreshChannel(c, &line);
    log->push_back(line);
  }
}

bool ServerSession::Phase1(const std::vector<WireObject>& objects, std::string* error) {
  if (!ReadRequests(objects, error)) return false;
  // Phase 2 always asks for the account and the subscriptions.
  auto want = [&](const std::string& db) {
    for (auto& r : requested_)
      if (r.first == db) return;
    requested_.push_back({db, ""});
  };
  want("TavoPrefs");
  want("TavoRss");
  std::set<std::int64_t> known;
  {
    std::lock_guard<std::mutex> lock(service_->storage()->mutex());
    for (const Channel& c : service_->storage()->Channels()) known.insert(c.id);
  }
  resource_.clear();
  std::string summary, unknown;
  for (auto& r : requested_) {
    const std::string& db = r.first;
    const char* op = nullptr;
    if (db == "TavoRss" || db == "TavoPrefs" || db == "TavoSets" || db == "TavoInfo") op = "SendAllObjects";
    else if (db == "TavoAlerts" || known.count(ChannelOfDb(db))) op = "SendAllNames";
    if (!op) {  // not ours: nothing asked, nothing sent back
      unknown += " " + db;
      continue;
    }
    WireObject req;
    req.name = kRequestObjectName;
    req.properties.push_back(WireProperty::Text("Name", db));
    req.properties.push_back(WireProperty::Text("Operation", op));
    resource_ += EncodeForDevice(req);
    summary += " " + db;
  }
  log_.push_back("phase 1: " + std::to_string(objects.size()) + " requests; asking for" + summary +
                 (unknown.empty() ? "" : "; not served:" + unknown));
  return true;
}

bool ServerSession::Phase3(const std::vector<WireObject>& objects, std::string* error_text, std::string* error) {
  // Group the stream by database.
  std::map<std::string, std::vector<const WireObject*>> sent;
  std::string current;
  for (const WireObject& o : objects) {
    if (o.name == kRequestObjectName) {
      current = Text(o, "Name");
      sent[current];
      continue;
    }
    if (current.empty()) {
      *error = "object before any database";
      return false;
    }
    sent[current].push_back(&o);
  }
  Storage* st = service_->storage();
  const auto find = [&](const std::string& db, const std::string& name) -> const WireObject* {
    auto it = sent.find(db);
    if (it == sent.end()) return nullptr;
    for (const WireObject* o : it->second)
      if (o->name == name) return o;
    return nullptr;
  };
  const WireObject* user = find("TavoPrefs", "TavoUser");
  std::string user_name = user ? Text(*user, "User") : "";
  std::string pass = user ? Text(*user, "Pass") : "";

  // Channels added by address are fetched before the store is locked.
  struct Added {
    std::string object_name, name, url;
    Feed feed;
    bool ok = false;
  };
  std::vector<Added> added;
  for (const WireObject* o : sent["TavoRss"]) {
    std::string url = Text(*o, "URL");
    if (url.empty() || o->Find("DbName") || url.size() > 2000) continue;
    Added a;
    a.object_name = o->name;
    a.name = Text(*o, "ChName");
    a.url = url;
    if (url.compare(0, 7, "http://") == 0 || url.compare(0, 8, "https://") == 0 ||
        (service_->allow_file_addresses() && url.compare(0, 7, "file://") == 0)) {
      FetchResult r = FetchUrl(url, 20);
      a.ok = r.ok && ParseFeed(r.body, &a.feed);
    }
    added.push_back(std::move(a));
  }

  std::lock_guard<std::mutex> lock(st->mutex());
  if (!st->Begin()) {
    *error_text = "The server is busy. Please try again later.";
    return false;
  }
  bool ok = true;
  std::int64_t account = 0;
  bool anonymous = user_name.empty() || user_name == "Username";
  if (anonymous) {
    for (auto& r : requested_)
      if (!r.second.empty() && st->AccountOfAnchor(r.second, &account)) break;
    if (!account) account = st->NewAnonymousAccount();
  } else {
    Storage::Auth auth = st->Authenticate(user_name, pass, &account);
    if (auth == Storage::kAuthWrongPassword) {
      st->Rollback();
      *error_text = "Wrong user name or password.";
      *error = "wrong password for \"" + user_name.substr(0, 40) + "\"";
      return false;
    }
  }
  if (!account) {
    st->Rollback();
    *error_text = "The server could not store your account. Please try again later.";
    *error = "account store failed";
    return false;
  }
  if (const WireObject* stats = find("TavoInfo", "SyncStats")) {
    const WireProperty* s = stats->Find("StartCount");
    const WireProperty* t = stats->Find("TimeUsed");
    st->AddStats(account, s ? s->AsInt() : 0, t ? t->AsInt() : 0);
  }

  std::vector<Channel> catalogue = st->Channels();
  std::map<std::int64_t, const Channel*> by_id;
  for (const Channel& c : catalogue) by_id[c.id] = &c;

  // The device's subscriptions are the truth.
  // The device's subscriptions are the truth, except that a device the
  // account has never synchronised (its seeded defaults) does not overrule
  // what the account decided elsewhere.
  std::string rss_anchor;
  for (auto& r : requested_)
    if (r.first == "TavoRss") rss_anchor = r.second;
  Snapshot rss_before;
  bool rss_known = !rss_anchor.empty() && st->LoadSnapshot(account, "TavoRss", rss_anchor, &rss_before);
  {
    std::map<std::int64_t, bool> decided = st->Subscriptions(account);
    for (const WireObject* o : sent["TavoRss"]) {
      std::int64_t id = ChannelOfDb(Text(*o, "DbName"));
      if (!id || !by_id.count(id)) continue;
      if (!rss_known && decided.count(id)) continue;
      ok = ok && st->SetSubscription(account, id, Text(*o, "Subscr") == "Yes");
    }
  }
  std::set<std::string> renamed;  // device objects replaced by the server's
  std::vector<std::int64_t> new_channels;
  for (Added& a : added) {
    renamed.insert(a.object_name);
    Channel existing;
    std::int64_t id = 0;
    if (st->FindChannelByUrl(a.url, &existing)) {
      id = existing.id;
    } else if (a.ok) {
      std::string name = !a.name.empty() ? a.name : !a.feed.title.empty() ? a.feed.title : a.url;
      id = st->AddUserChannel(CutText(name, 90), a.url);
      if (id) st->StoreFeed(id, a.feed, service_->retention(), static_cast<std::int64_t>(std::time(nullptr)));
      service_->Invalidate(id);
    }
    if (id) {
      ok = ok && st->SetSubscription(account, id, true);
      new_channels.push_back(id);
    }
    // An address that gave no feed is dropped from the device.
  }
  if (!new_channels.empty()) {
    catalogue = st->Channels();
    by_id.clear();
    for (const Channel& c : catalogue) by_id[c.id] = &c;
  }
  std::map<std::int64_t, bool> subs = st->Subscriptions(account);

  std::vector<Desired> plan;
  std::vector<std::string> held_names_db;  // dbs whose names we know
  // "TavoRss": the catalogue as this account sees it.
  {
    Desired d;
    d.db = "TavoRss";
    for (const Channel& c : catalogue) {
      auto s = subs.find(c.id);
      if (c.user_added && s == subs.end()) continue;  // someone else's address
      bool subscribed = s != subs.end() ? s->second : !c.recommended;
      WireObject o;
      o.name = "Channel " + std::to_string(c.id);
      o.properties.push_back(WireProperty::Text("ChName", CutText(c.name, 90)));
      o.properties.push_back(WireProperty::Text("DbName", DbNameOf(c.id)));
      o.properties.push_back(WireProperty::Text("Plugin", "News"));
      o.properties.push_back(WireProperty::Text("URL", c.user_added ? c.url : ""));
      o.properties.push_back(WireProperty::Text("Subscr", subscribed ? "Yes" : "No"));
      o.properties.push_back(WireProperty::Int("Rating", 0));
      // Only a subscribed channel carries its icon: the channel list shows
      // every channel that has one.
      if (subscribed) o.properties.push_back(WireProperty::Binary("Icon", c.icon.empty() ? DefaultIcon() : c.icon));
      d.own.push_back(Prepare(o, {}));
    }
    plan.push_back(std::move(d));
  }
  if (!rss_known) {  // the device rebuilds it at every start; a new catalogue brings it
    Desired d;
    d.db = "TavoCats";
    WireObject cats;
    cats.name = "Categories";
    cats.properties.push_back(WireProperty::Text("News", "News"));
    d.own.push_back(Prepare(cats, {}));
    plan.push_back(std::move(d));
  }
  std::vector<std::string> channel_dbs;
  for (auto& r : requested_)
    if (ChannelOfDb(r.first) || r.first == "TavoAlerts") channel_dbs.push_back(r.first);
  for (std::int64_t id : new_channels)
    if (std::find(channel_dbs.begin(), channel_dbs.end(), DbNameOf(id)) == channel_dbs.end())
      channel_dbs.push_back(DbNameOf(id));
  for (const std::string& db : channel_dbs) {
    Desired d;
    d.db = db;
    bool alert = db == "TavoAlerts";
    std::int64_t id = alert ? kAlertChannel : ChannelOfDb(db);
    if (!alert) {
      auto c = by_id.find(id);
      if (c == by_id.end()) continue;
      WireObject cn;
      cn.name = "ChannelName";
      cn.properties.push_back(WireProperty::Text("Channel", CutText(c->second->name, 90)));
      d.own.push_back(Prepare(cn, {}));
    }
    d.shared = service_->PreparedItems(id, alert);
    plan.push_back(std::move(d));
  }

  // Each database: compare with what the presented anchor covered.
  resource_.clear();
  std::vector<DbReport> reports;
  for (Desired& d : plan) {
    std::string last;
    for (auto& r : requested_)
      if (r.first == d.db) last = r.second;
    Snapshot before;
    bool known = !last.empty() && st->LoadSnapshot(account, d.db, last, &before);
    auto held_it = sent.find(d.db);
    bool names_known = held_it != sent.end();
    std::set<std::string> held;
    if (names_known)
      for (const WireObject* o : held_it->second) held.insert(o->name);
    Snapshot after;
    std::vector<const std::string*> adds;
    std::set<std::string> desired_names;
    auto consider = [&](const PreparedObject& o) {
      desired_names.insert(o.name);
      after[o.name] = o.hash;
      bool device_has = names_known ? held.count(o.name) > 0 : (known && before.count(o.name));
      auto b = before.find(o.name);
      if (device_has && known && b != before.end() && b->second == o.hash) return;  // unchanged
      adds.push_back(device_has ? &o.stable : &o.full);
    };
    for (const PreparedObject& o : d.own) consider(o);
    if (d.shared)
      for (const PreparedObject& o : *d.shared) consider(o);
    std::vector<std::string> deletes;
    const std::set<std::string>* gone_from = &held;
    std::set<std::string> before_names;
    if (!names_known) {
      for (auto& [n, h] : before) before_names.insert(n);
      gone_from = &before_names;
    }
    for (const std::string& n : *gone_from)
      if (!desired_names.count(n)) deletes.push_back(n);
    for (const std::string& n : renamed)
      if (d.db == "TavoRss" && !desired_names.count(n) &&
          std::find(deletes.begin(), deletes.end(), n) == deletes.end())
        deletes.push_back(n);
    std::string anchor = st->SaveSnapshot(account, d.db, after);
    if (anchor.empty()) ok = false;
    bool create = !known && held.empty() && d.db != "TavoRss" && d.db != "TavoCats";
    DbReport rep{d.db, create ? "Create" : "Update", adds.size(), deletes.size()};
    if (!deletes.empty()) {
      resource_ += EncodeForDevice(DatabaseHeader(d.db, "Update", "Delete", anchor));
      for (const std::string& n : deletes) resource_ += EncodeForDevice(NameOnlyObject(n));
    }
    resource_ += EncodeForDevice(DatabaseHeader(d.db, rep.op, "Add", anchor));
    for (const std::string* o : adds) resource_ += *o;
    reports.push_back(rep);
  }
  if (!ok || !st->Commit()) {
    st->Rollback();
    *error_text = "The server could not store this sync. Please try again later.";
    *error = "store failed";
    return false;
  }
  std::string line = "phase 3: account " + std::to_string(account) +
                     (anonymous ? " (anonymous)" : " (\"" + user_name.substr(0, 40) + "\")") + ", " +
                     std::to_string(objects.size()) + " objects received;";
  for (const DbReport& r : reports)
    line += " " + r.db + " " + r.op + " +" + std::to_string(r.adds) + " -" + std::to_string(r.deletes) + ";";
  log_.push_back(line);
  return true;
}

}  // namespace tidelark_server
