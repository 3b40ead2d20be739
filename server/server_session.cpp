#include "server_session.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <set>

#include "device_text.h"
#include "feed_fetch.h"
#include "feed_parser.h"
#include "secrets.h"
#include "wire_out.h"

namespace tidelark_server {

using sync_engine::WireObject;
using sync_engine::WireProperty;

namespace {

constexpr int kPlanAttempts = 3;

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

// A channel added by its address on the device.
struct AddedChannel {
  std::string object_name;  // the device's object, replaced by the server's
  std::string name, url;    // UTF-8
  std::int64_t id = 0;      // 0: the address gave no feed
};

// What one database should hold after this sync, in send order.
struct Desired {
  std::string db;
  std::vector<PreparedObject> own;
  std::shared_ptr<const PreparedList> shared;  // a channel's prepared articles
};

struct DbReport {
  std::string db, op;
  std::size_t adds = 0, deletes = 0;
};

// Everything phase 3 works out, step by step.
struct Phase3Work {
  // Group by database: what the device sent, per database, in order.
  std::map<std::string, std::vector<const WireObject*>> sent;
  std::map<std::string, std::string> presented;  // database -> anchor
  // The device's facts.
  std::string user, pass;
  bool anonymous = true;
  int code_page = kDefaultCodePage;
  // The account and the channels added by address.
  Account account;
  std::vector<AddedChannel> added;
  // The plan against the account's state as loaded.
  AccountState state;
  std::vector<Channel> catalogue;
  std::map<std::int64_t, const Channel*> by_id;
  std::map<std::int64_t, bool> changes;     // subscriptions this device changed
  std::map<std::int64_t, bool> subscribed;  // the account's, with the changes
  std::vector<Desired> desired;
  // The answer: the data and where each database's part ends.
  std::string data;
  std::vector<std::pair<std::size_t, std::string>> sections;  // end, anchor
  SyncCommit commit;
  std::vector<DbReport> reports;

  const WireObject* Find(const std::string& db, const std::string& name) const {
    auto it = sent.find(db);
    if (it == sent.end()) return nullptr;
    for (const WireObject* o : it->second)
      if (o->name == name) return o;
    return nullptr;
  }
};

// Step: the stream as databases, each led by our request object.
bool GroupByDatabase(const std::vector<WireObject>& objects, Phase3Work* w, std::string* error) {
  std::string current;
  for (const WireObject& o : objects) {
    if (o.name == kRequestObjectName) {
      current = Text(o, "Name");
      w->sent[current];
      continue;
    }
    if (current.empty()) {
      *error = "object before any database";
      return false;
    }
    w->sent[current].push_back(&o);
  }
  return true;
}

// Step: who the device says it is, and which code page it reads.
void ReadDeviceFacts(Phase3Work* w) {
  const WireObject* user = w->Find("TavoPrefs", "TavoUser");
  if (user) w->code_page = CodePageOfLanguage(Text(*user, "Lang"));
  std::string name = user ? Text(*user, "User") : "";
  w->anonymous = name.empty() || name == "Username";
  w->user = FromDeviceText(name, w->code_page);
  w->pass = user ? FromDeviceText(Text(*user, "Pass"), w->code_page) : "";
}

// Step: the account. Hashing runs outside any storage lock.
bool ResolveAccount(Storage* st, Phase3Work* w, std::string* error_text, std::string* error, std::string* note) {
  if (w->anonymous) {
    // Only an anchor issued to an anonymous account leads back to it.
    for (const auto& [db, anchor] : w->presented) {
      Account owner;
      if (!anchor.empty() && st->FindAnchorOwner(anchor, &owner) && owner.anonymous) {
        w->account = owner;
        return true;
      }
    }
    w->account.anonymous = true;  // a new account, made when the sync commits
    return true;
  } else {
    for (int attempt = 0; attempt < 2 && !w->account.id; ++attempt) {
      Account found;
      if (st->FindAccount(w->user, &found)) {
        PasswordCheck check = CheckPassword(found.password, w->pass);
        if (check == PasswordCheck::kMismatch) {
          *error_text = "Wrong user name or password.";
          *error = "wrong password for \"" + w->user.substr(0, 40) + "\"";
          return false;
        }
        if (check == PasswordCheck::kMatchNeedsNewHash) {
          std::string hash = HashPassword(w->pass);
          if (!hash.empty() && st->SetPasswordHash(found.id, hash)) *note = "password stored anew as a hash; ";
        }
        w->account = found;
      } else {
        std::string hash = HashPassword(w->pass);
        if (hash.empty()) break;
        w->account.id = st->CreateAccount(w->user, hash);  // 0: created meanwhile by another device
      }
    }
  }
  if (!w->account.id && !w->anonymous) {
    *error_text = "The server could not store your account. Please try again later.";
    *error = "account store failed";
    return false;
  }
  return true;
}

// Step: channels added by address, fetched before anything is planned.
void FetchAddedChannels(SyncService* service, Phase3Work* w) {
  Storage* st = service->storage();
  std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  auto rss = w->sent.find("TavoRss");
  if (rss == w->sent.end()) return;
  for (const WireObject* o : rss->second) {
    std::string url = FromDeviceText(Text(*o, "URL"), w->code_page);
    if (url.empty() || o->Find("DbName") || url.size() > 2000) continue;
    AddedChannel a;
    a.object_name = o->name;
    a.name = FromDeviceText(Text(*o, "ChName"), w->code_page);
    a.url = url;
    Channel known;
    if (st->FindChannelByUrl(url, &known) && !known.retired) {
      a.id = known.id;
      w->added.push_back(a);
      continue;
    }
    bool web = url.compare(0, 7, "http://") == 0 || url.compare(0, 8, "https://") == 0;
    bool file = service->config().allow_file_addresses && url.compare(0, 7, "file://") == 0;
    Feed feed;
    if (web || file) {
      FetchRequest request;
      request.url = url;
      request.timeout_seconds = 20;
      request.untrusted = true;
      request.allow_file = file;
      FetchResult r = Fetch(request);
      if (r.ok && ParseFeed(r.body, &feed)) {
        std::string name = !a.name.empty() ? a.name : !feed.title.empty() ? feed.title : url;
        a.id = st->AddUserChannel(name, url, now);
        service->CatalogueChanged();
        if (a.id && st->StoreFeed(a.id, feed, service->config().retention, now) >= 0) {
          FetchState state;
          state.etag = r.etag;
          state.last_modified = r.last_modified;
          state.next_fetch = NextFetchTime(now, service->config().fetch_interval, 0, 0);
          st->SetFetchState(a.id, state);
        }
        service->Invalidate(a.id);
      }
    }
    w->added.push_back(a);  // an address that gave no feed is dropped from the device
  }
}

// Step: the account's state and the catalogue it sees.
bool LoadState(Storage* st, const std::shared_ptr<const std::vector<Channel>>& catalogue, Phase3Work* w) {
  if (!w->account.id) {
    w->state = AccountState();  // a new account: nothing decided, nothing sent
  } else if (!st->LoadAccountState(w->account.id, w->presented, &w->state)) {
    return false;
  }
  w->catalogue = *catalogue;
  w->by_id.clear();
  for (const Channel& c : w->catalogue) w->by_id[c.id] = &c;
  return true;
}

// Step: what the device changed in its subscriptions since it was last sent
// them; with an unknown anchor, only what the account has not decided.
void PlanSubscriptions(Phase3Work* w) {
  w->changes.clear();
  auto snap = w->state.snapshots.find("TavoRss");
  const Snapshot* sent = snap == w->state.snapshots.end() ? nullptr : &snap->second;
  auto rss = w->sent.find("TavoRss");
  if (rss != w->sent.end()) {
    for (const WireObject* o : rss->second) {
      std::int64_t id = ChannelOfDb(Text(*o, "DbName"));
      if (!id || !w->by_id.count(id)) continue;
      bool device = Text(*o, "Subscr") == "Yes";
      const SentObject* was = nullptr;
      if (sent) {
        auto it = sent->find(o->name);
        if (it != sent->end() && !it->second.mark.empty()) was = &it->second;
      }
      if (was) {
        if (device != (was->mark == "Yes")) w->changes[id] = device;
      } else if (!w->state.subscribed.count(id)) {
        w->changes[id] = device;
      }
    }
  }
  for (const AddedChannel& a : w->added)
    if (a.id) w->changes[a.id] = true;
  w->subscribed = w->state.subscribed;
  for (const auto& [id, on] : w->changes) w->subscribed[id] = on;
}

// Step: what every database should hold.
void PlanDatabases(SyncService* service, const std::vector<std::pair<std::string, std::string>>& requested,
                   Phase3Work* w) {
  w->desired.clear();
  const int cp = w->code_page;
  bool rss_known = w->state.snapshots.count("TavoRss") > 0;
  // "TavoRss": the catalogue as this account sees it.
  {
    Desired d;
    d.db = "TavoRss";
    for (const Channel& c : w->catalogue) {
      auto s = w->subscribed.find(c.id);
      if (c.user_added && s == w->subscribed.end()) continue;  // someone else's address
      bool on = s != w->subscribed.end() ? s->second : !c.recommended;
      WireObject o;
      o.name = "Channel " + std::to_string(c.id);
      o.properties.push_back(WireProperty::Text("ChName", CutText(ToDeviceText(c.name, cp), 90)));
      o.properties.push_back(WireProperty::Text("DbName", DbNameOf(c.id)));
      o.properties.push_back(WireProperty::Text("Plugin", "News"));
      o.properties.push_back(WireProperty::Text("URL", c.user_added ? ToDeviceText(c.url, cp) : ""));
      o.properties.push_back(WireProperty::Text("Subscr", on ? "Yes" : "No"));
      o.properties.push_back(WireProperty::Int("Rating", 0));
      // Only a subscribed channel carries its icon: the channel list shows
      // every channel that has one.
      if (on) o.properties.push_back(WireProperty::Binary("Icon", c.icon.empty() ? DefaultIcon() : c.icon));
      d.own.push_back(Prepare(o, {}, on ? "Yes" : "No"));
    }
    w->desired.push_back(std::move(d));
  }
  if (!rss_known) {  // the device rebuilds it at every start; a new catalogue brings it
    Desired d;
    d.db = "TavoCats";
    WireObject cats;
    cats.name = "Categories";
    cats.properties.push_back(WireProperty::Text("News", "News"));
    d.own.push_back(Prepare(cats, {}));
    w->desired.push_back(std::move(d));
  }
  std::vector<std::string> channel_dbs;
  for (const auto& r : requested)
    if (ChannelOfDb(r.first) || r.first == "TavoAlerts") channel_dbs.push_back(r.first);
  for (const AddedChannel& a : w->added)
    if (a.id && std::find(channel_dbs.begin(), channel_dbs.end(), DbNameOf(a.id)) == channel_dbs.end())
      channel_dbs.push_back(DbNameOf(a.id));
  for (const std::string& db : channel_dbs) {
    Desired d;
    d.db = db;
    bool alert = db == "TavoAlerts";
    std::int64_t id = alert ? kAlertChannel : ChannelOfDb(db);
    if (!alert) {
      auto c = w->by_id.find(id);
      if (c == w->by_id.end()) continue;
      WireObject cn;
      cn.name = "ChannelName";
      cn.properties.push_back(WireProperty::Text("Channel", CutText(ToDeviceText(c->second->name, cp), 90)));
      d.own.push_back(Prepare(cn, {}));
    }
    d.shared = service->PreparedItems(id, alert, cp);
    w->desired.push_back(std::move(d));
  }
}

// What the device holds of one database, as it told in phase 3.
struct Held {
  bool names_known = false;  // the database was in the device's stream
  std::map<std::string, const WireObject*> objects;
  // A device object with a property ours lacks (the icon of a channel
  // unsubscribed elsewhere) would keep it through a write: it is deleted
  // and sent whole.
  bool Stale(const PreparedObject& o) const {
    auto it = objects.find(o.name);
    if (it == objects.end()) return false;
    for (const WireProperty& q : it->second->properties)
      if (!o.properties.count(q.name)) return true;
    return false;
  }
};

// One database against what the presented anchor covers: its objects to
// delete and to add, and what the new anchor covers.
struct DbDiff {
  std::vector<std::string> deletes;
  std::vector<const std::string*> adds;
};

DbDiff DiffDatabase(const Desired& d, const Snapshot& before, const Held& held, const std::set<std::string>& replaced,
                    NewAnchor* anchor) {
  DbDiff diff;
  auto consider = [&](const PreparedObject& o) {
    bool device_has = held.names_known ? held.objects.count(o.name) > 0 : before.count(o.name) > 0;
    if (device_has && held.Stale(o)) {
      diff.deletes.push_back(o.name);
      device_has = false;
    }
    auto b = before.find(o.name);
    SentObject now{o.hash, o.mark};
    anchor->delivered[o.name] = now;
    if (device_has && b != before.end() && b->second == now) {
      anchor->confirmed[o.name] = now;  // unchanged
      return;
    }
    // Until the data arrives the device holds either version.
    SentObject unsure;
    if (device_has && b != before.end() && b->second.mark == o.mark) unsure.mark = o.mark;
    anchor->confirmed[o.name] = unsure;
    diff.adds.push_back(device_has ? &o.stable : &o.full);
  };
  for (const PreparedObject& o : d.own) consider(o);
  if (d.shared)
    for (const PreparedObject& o : *d.shared) consider(o);
  auto gone = [&](const std::string& n) {
    if (!anchor->delivered.count(n) && std::find(diff.deletes.begin(), diff.deletes.end(), n) == diff.deletes.end())
      diff.deletes.push_back(n);
  };
  if (held.names_known) {
    for (const auto& [n, o] : held.objects) gone(n);
  } else {
    for (const auto& [n, sent] : before) gone(n);
  }
  if (d.db == "TavoRss")
    for (const std::string& n : replaced) gone(n);
  return diff;
}

// Step: each database against what the presented anchor covers; the data
// to send and the new anchors.
bool DiffDatabases(Phase3Work* w, std::string* error) {
  w->data.clear();
  w->sections.clear();
  w->reports.clear();
  w->commit = SyncCommit();
  std::set<std::string> replaced;  // device objects the server's replace
  for (const AddedChannel& a : w->added) replaced.insert(a.object_name);
  static const Snapshot kNone;
  for (const Desired& d : w->desired) {
    auto s = w->state.snapshots.find(d.db);
    bool known = s != w->state.snapshots.end();
    Held held;
    auto held_it = w->sent.find(d.db);
    held.names_known = held_it != w->sent.end();
    if (held.names_known)
      for (const WireObject* o : held_it->second) held.objects[o->name] = o;
    NewAnchor anchor;
    anchor.db = d.db;
    anchor.anchor = RandomToken();
    if (anchor.anchor.empty()) {
      *error = "no random bytes for an anchor";
      return false;
    }
    if (known) anchor.parent = w->presented[d.db];
    DbDiff diff = DiffDatabase(d, known ? s->second : kNone, held, replaced, &anchor);
    bool create = !known && held.objects.empty() && d.db != "TavoRss" && d.db != "TavoCats";
    DbReport rep{d.db, create ? "Create" : "Update", diff.adds.size(), diff.deletes.size()};
    if (!diff.deletes.empty()) {
      w->data += EncodeForDevice(DatabaseHeader(d.db, "Update", "Delete", anchor.anchor));
      for (const std::string& n : diff.deletes) w->data += EncodeForDevice(NameOnlyObject(n));
    }
    w->data += EncodeForDevice(DatabaseHeader(d.db, rep.op, "Add", anchor.anchor));
    for (const std::string* o : diff.adds) w->data += *o;
    w->sections.push_back({w->data.size(), anchor.anchor});
    w->reports.push_back(rep);
    w->commit.anchors.push_back(std::move(anchor));
  }
  return true;
}

// Step: everything the sync changes, in one unit.
Storage::CommitResult Commit(Storage* st, Phase3Work* w) {
  SyncCommit& c = w->commit;
  c.account = w->account.id;
  c.expected_version = w->state.version;
  c.subscriptions = w->changes;
  c.now = static_cast<std::int64_t>(std::time(nullptr));
  if (const WireObject* stats = w->Find("TavoInfo", "SyncStats")) {
    const WireProperty* s = stats->Find("StartCount");
    const WireProperty* t = stats->Find("TimeUsed");
    c.has_stats = true;
    c.starts = s ? s->AsInt() : 0;
    c.time_used = t ? t->AsInt() : 0;
  }
  Storage::CommitResult result = st->CommitSync(&c);
  w->account.id = c.account;
  return result;
}

}  // namespace

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
  for (const Channel& c : *service_->ActiveChannels()) known.insert(c.id);
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
  auto begin = std::chrono::steady_clock::now();
  Storage* st = service_->storage();
  Phase3Work w;
  for (const auto& [db, anchor] : requested_) w.presented[db] = anchor;
  if (!GroupByDatabase(objects, &w, error)) return false;
  ReadDeviceFacts(&w);
  std::string note;
  if (!ResolveAccount(st, &w, error_text, error, &note)) return false;
  FetchAddedChannels(service_, &w);
  Storage::CommitResult result = Storage::CommitResult::kFailed;
  for (int attempt = 0; attempt < kPlanAttempts; ++attempt) {
    if (!LoadState(st, service_->ActiveChannels(), &w)) break;
    PlanSubscriptions(&w);
    PlanDatabases(service_, requested_, &w);
    if (!DiffDatabases(&w, error)) break;
    result = Commit(st, &w);
    if (result != Storage::CommitResult::kConflict) break;
    note += "replanned after another device's sync; ";
  }
  if (result != Storage::CommitResult::kOk) {
    *error_text = "The server could not store this sync. Please try again later.";
    if (error->empty()) error->assign(result == Storage::CommitResult::kConflict ? "account busy" : "store failed");
    return false;
  }
  resource_ = std::move(w.data);
  for (const auto& [end, anchor] : w.sections) EndSection(end, anchor);
  std::string line = "phase 3: account " + std::to_string(w.account.id) +
                     (w.anonymous ? " (anonymous)" : " (\"" + w.user.substr(0, 40) + "\")") + ", code page " +
                     std::to_string(w.code_page) + ", " + std::to_string(objects.size()) + " objects received; " +
                     note + std::to_string(w.changes.size()) + " subscription change(s);";
  for (const DbReport& r : w.reports)
    line += " " + r.db + " " + r.op + " +" + std::to_string(r.adds) + " -" + std::to_string(r.deletes) + ";";
  line += " planned in " +
          std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin)
                             .count()) +
          " ms";
  log_.push_back(line);
  return true;
}

void ServerSession::Delivered(const std::vector<std::string>& tokens) {
  delivered_.insert(delivered_.end(), tokens.begin(), tokens.end());
}

ServerSession::~ServerSession() {
  if (!delivered_.empty()) service_->storage()->ConfirmDelivery(delivered_);
}

}  // namespace tidelark_server
