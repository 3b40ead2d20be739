// tidelark-sync --device DIR --server HOST:PORT [--user NAME --pass WORD]
//               [--lang XXX] [--mark-read DB] [--add-channel URL [--name NAME]] [--list]
// Synchronises the device folder's "Reader.vol" as the reader's sync thread
// does: the same databases in the same order and the same user agent. Prints
// the progress texts, what changed and the session's result code; exits 0
// only on success ("Done." appears only then), 1 when the sync failed, 2 on
// bad arguments. --lang gives the device the locale whose abbreviated
// language name is XXX ("RUS", "ELL", "PLK" ...); its texts then arrive in
// that locale's code page, and are shown here converted from it.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/records.h"
#include "platform/device.h"
#include "platform/os.h"
#include "sync/store_adapter.h"
#include "sync/sync_session.h"
#include "device_text.h"

using sync_engine::SyncStore;
using sync_engine::WireObject;
using sync_engine::WireProperty;

namespace {

// A 1x1 GIF standing in for the channel icon resource, which a command-line
// program does not carry.
const unsigned char kIcon[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0x1f, 0x5f, 0xb4, 0xff,
                               0xff, 0xff, 0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3b};

int ScreenWidth() { return platform::device::Screen().width; }
int ScreenHeight() { return platform::device::Screen().height; }
// The host has no device locale: the reader's English default, or --lang.
std::string g_language = "ENU";
bool Language(std::u16string* text) {
  text->assign(g_language.begin(), g_language.end());
  return true;
}
bool Country(std::u16string* text) {
  *text = u"USA";
  return true;
}
std::string ChannelIcon() { return std::string(reinterpret_cast<const char*>(kIcon), sizeof kIcon); }

int Progress(int percent, int value, const char* text, int state) {
  static std::string last;
  // Per-object progress repeats a lot; print each text once in a row.
  if (text && last != text) {
    std::printf("  [%3d%%] %s\n", std::max(percent, value), text);
    last = text;
  }
  return 0;
}

using Contents = std::map<std::string, std::string>;  // name -> encoded object

bool ReadDb(SyncStore* store, const std::string& db, Contents* out) {
  out->clear();
  SyncStore::Database h = nullptr;
  if (store->Open(db, false, false, 0, &h) != 0) return false;
  store->ForEachObject(h, 0, nullptr, [&](const WireObject& o) {
    (*out)[o.name] = sync_engine::EncodeWhole(o);
    return true;
  });
  store->Close(&h);
  return true;
}

std::string TextOf(const WireObject& o, const char* name) {
  std::string v;
  o.GetText(name, &v);
  return v;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The subscribed news channels as the sync screen lists them: by name.
std::vector<std::string> SubscribedChannels(SyncStore* store) {
  std::vector<std::pair<std::string, std::string>> rows;
  SyncStore::Database h = nullptr;
  if (store->Open("TavoRss", false, false, 0, &h) != 0) return {};
  store->ForEachObject(h, 0, nullptr, [&](const WireObject& o) {
    std::string db = TextOf(o, "DbName");
    if (TextOf(o, "Subscr") == "Yes" && TextOf(o, "Plugin") == "News" && !db.empty())
      rows.push_back({Lower(TextOf(o, "ChName")), db});
    return true;
  });
  store->Close(&h);
  std::stable_sort(rows.begin(), rows.end());
  std::vector<std::string> out;
  for (auto& r : rows) out.push_back(r.second);
  return out;
}

// Every channel database "TavoRss" names.
std::vector<std::string> KnownChannelDbs(SyncStore* store) {
  std::vector<std::string> out;
  SyncStore::Database h = nullptr;
  if (store->Open("TavoRss", false, false, 0, &h) != 0) return out;
  store->ForEachObject(h, 0, nullptr, [&](const WireObject& o) {
    std::string db = TextOf(o, "DbName");
    if (!db.empty()) out.push_back(db);
    return true;
  });
  store->Close(&h);
  return out;
}

// Device text is in the device's code page; the terminal wants UTF-8.
int g_code_page = tidelark_server::kDefaultCodePage;
std::string ForTerminal(const std::string& s) { return tidelark_server::FromDeviceText(s, g_code_page); }

int WriteOne(SyncStore* store, const std::string& db, const WireObject& o) {
  SyncStore::Database h = nullptr;
  int rc = store->Open(db, true, false, 0, &h);
  if (rc) return rc;
  rc = store->WriteObject(h, o);
  store->Close(&h);
  return rc;
}

void Usage() {
  std::fprintf(stderr,
               "usage: tidelark-sync --device DIR --server HOST:PORT [--user NAME --pass WORD]\n"
               "                     [--lang XXX] [--mark-read DB] [--add-channel URL [--name NAME]] [--list]\n");
}

struct Options {
  std::string device, host, port, user, pass, lang, mark_db, add_url, add_name;
  bool list = false;
};

// False (after the usage or the reason) when the arguments are not usable.
bool ParseArguments(int argc, char** argv, Options* o) {
  std::string server;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](std::string* v) {
      if (i + 1 >= argc) return false;
      *v = argv[++i];
      return true;
    };
    bool ok = true;
    if (a == "--device") ok = next(&o->device);
    else if (a == "--server") ok = next(&server);
    else if (a == "--user") ok = next(&o->user);
    else if (a == "--pass") ok = next(&o->pass);
    else if (a == "--lang") ok = next(&o->lang);
    else if (a == "--mark-read") ok = next(&o->mark_db);
    else if (a == "--add-channel") ok = next(&o->add_url);
    else if (a == "--name") ok = next(&o->add_name);
    else if (a == "--list") o->list = true;
    else ok = false;
    if (!ok) {
      Usage();
      return false;
    }
  }
  std::size_t colon = server.rfind(':');
  if (o->device.empty() || colon == std::string::npos || colon == 0 || colon + 1 >= server.size()) {
    Usage();
    return false;
  }
  if (!o->lang.empty() && (o->lang.size() > 8 || o->lang.find_first_not_of(
                                                       "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") !=
                                                       std::string::npos)) {
    std::fprintf(stderr, "tidelark-sync: bad language name %s (a locale's abbreviation such as RUS)\n", o->lang.c_str());
    return false;
  }
  o->host = server.substr(0, colon);
  o->port = server.substr(colon + 1);
  if (o->host.size() > sync_engine::kMaxServerHost || o->port.size() > 5 ||
      o->port.find_first_not_of("0123456789") != std::string::npos) {
    std::fprintf(stderr, "tidelark-sync: bad server address %s\n", server.c_str());
    return false;
  }
  return true;
}

// The reader's start on the device folder: count it, then create or refresh
// its databases (the device record is written by SeedDatabases when
// "TavoPrefs" is new), and accept the agreement as the agreement screen
// would. False when the start-up databases could not be made.
bool StartReader(const std::string& device) {
  // The app's records open the default volume beside the program, so the
  // device folder plays the program folder.
  platform::os::SetProgramDirectory(device);
  std::string volume = platform::os::ProgramDirectory() + "Reader.vol";
  app::DeviceFacts facts;
  facts.screen_width = ScreenWidth;
  facts.screen_height = ScreenHeight;
  facts.language_abbreviation = Language;
  facts.country_abbreviation = Country;
  facts.channel_icon = ChannelIcon;
  app::SetDeviceFacts(facts);
  app::CountStart();
  app::SeedDatabases();
  bool first_run = app::FirstRun();
  // SeedDatabases stops early when a start-up database cannot be created;
  // syncing a half-seeded folder would send the server a device without channels.
  sync_engine::StoreSyncStore probe;
  SyncStore::Database h = nullptr;
  int rc = probe.Open("TavoCustomArrange", false, false, 0, &h);
  if (rc) {
    std::fprintf(stderr, "tidelark-sync: cannot seed %s (store code %d)\n", volume.c_str(), rc);
    return false;
  }
  probe.Close(&h);
  // The reader syncs only once the agreement is accepted; running this
  // client stands for accepting it.
  if (!app::AgreementAccepted()) app::AcceptAgreement();
  if (first_run || app::FirstRun()) std::printf("first run: seeded %s with the start-up records\n", volume.c_str());
  return true;
}

// Sets text properties of the user record ("TavoUser" in "TavoPrefs").
void SetUserTexts(SyncStore* store, const std::vector<std::pair<const char*, std::string>>& texts) {
  WireObject u;
  SyncStore::Database h = nullptr;
  if (store->Open("TavoPrefs", true, false, 0, &h) == 0) {
    store->ReadObject(h, "TavoUser", &u);
    store->Close(&h);
  }
  u.name = "TavoUser";
  auto set = [&](const char* n, const std::string& v) {
    for (WireProperty& p : u.properties)
      if (p.name == n) {
        p = WireProperty::Text(n, v);
        return;
      }
    u.properties.push_back(WireProperty::Text(n, v));
  };
  for (const auto& [name, value] : texts) set(name, value);
  WriteOne(store, "TavoPrefs", u);
}

// The device's "Lang", as the server reads it.
std::string DeviceLanguage(SyncStore* store) {
  WireObject u;
  SyncStore::Database h = nullptr;
  if (store->Open("TavoPrefs", false, false, 0, &h) != 0) return "";
  store->ReadObject(h, "TavoUser", &u);
  store->Close(&h);
  return TextOf(u, "Lang");
}

// Marks the newest unread article of the database read, as reading it does.
void MarkNewestRead(SyncStore* store, const std::string& db) {
  SyncStore::Database h = nullptr;
  if (store->Open(db, false, false, 0, &h) != 0) return;
  std::string best_sort;
  WireObject chosen;
  store->ForEachObject(h, 0, nullptr, [&](const WireObject& o) {
    const WireProperty* r = o.Find("READ");
    std::string sort = TextOf(o, "Sort");
    if (r && r->AsInt() == 0 && sort > best_sort) {
      best_sort = sort;
      chosen = o;
    }
    return true;
  });
  if (!chosen.name.empty()) {
    for (WireProperty& p : chosen.properties)
      if (p.name == "READ") p = WireProperty::Int("READ", 1);
    store->WriteObject(h, chosen);
    std::printf("marked read in %s: \"%s\"\n", db.c_str(), ForTerminal(TextOf(chosen, "Title")).c_str());
  }
  store->Close(&h);
}

// A channel added by its address, named as the add-channel screen names it.
void AddChannel(SyncStore* store, const std::string& url, const std::string& name) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char object[64];
  std::snprintf(object, sizeof object, "Channel %04d:%02d:%02d:%02d:%02d:%02d:%03d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0);
  WireObject ch;
  ch.name = object;
  ch.properties = {WireProperty::Text("URL", url), WireProperty::Text("Subscr", "Yes"),
                   WireProperty::Text("ChName", name), WireProperty::Text("Plugin", "News")};
  WriteOne(store, "TavoRss", ch);
  std::printf("added by address: %s\n", url.c_str());
}

// What a result code means, for the failure line.
const char* Meaning(int result) {
  switch (result) {
    case sync_engine::kSyncTransferFailed: return "a request or response failed";
    case sync_engine::kSyncConnectFailed: return "the server could not be reached";
    case sync_engine::kSyncCancelled: return "cancelled";
    case sync_engine::kSyncDataLimit: return "the data limit was reached";
    case sync_engine::kSyncHeadersFailed: return "a request could not be sent";
    case sync_engine::kSyncBusy: return "the session was busy";
    default: return "the session failed";
  }
}

// The reader's sync thread: these databases, in this order, and its user agent.
int Synchronise(SyncStore* store, const std::vector<std::string>& dbs, const std::string& server) {
  sync_engine::SyncSession* session = nullptr;
  if (sync_engine::CreateSession(&session) != 0) return sync_engine::kSyncAllocFailed;
  session->store = store;
  for (const std::string& db : dbs) sync_engine::AddDatabase(session, db.c_str());
  sync_engine::SetUserAgent(session, "Tavo Sync Engine", "1.0.10B2 for PocketPC");
  std::printf("synchronising %zu databases with %s\n", dbs.size(), server.c_str());
  int result = sync_engine::Synchronize(session, Progress);
  sync_engine::EndSession(session, 1);
  return result;
}

void ListDatabase(SyncStore* store, const std::string& db) {
  SyncStore::Database h = nullptr;
  if (store->Open(db, false, false, 0, &h) != 0) return;
  std::vector<std::pair<std::string, std::string>> rows;
  store->ForEachObject(h, 0, nullptr, [&](const WireObject& o) {
    std::string t = TextOf(o, "Title");
    if (t.empty()) t = TextOf(o, "ChName");
    const WireProperty* r = o.Find("READ");
    rows.push_back({TextOf(o, "Sort"), o.name + (t.empty() ? "" : "  \"" + t + "\"") +
                                           (r ? (r->AsInt() ? "  read" : "  unread") : "") +
                                           (TextOf(o, "Subscr").empty() ? "" : "  Subscr=" + TextOf(o, "Subscr"))});
    return true;
  });
  store->Close(&h);
  std::sort(rows.begin(), rows.end());
  for (auto& r : rows) std::printf("      %s\n", ForTerminal(r.second).c_str());
}

// What changed per database, including databases the server created.
void PrintChanges(SyncStore* store, const std::set<std::string>& dbs, std::map<std::string, Contents>& before,
                  bool list) {
  std::set<std::string> all = dbs;
  for (const std::string& c : KnownChannelDbs(store)) all.insert(c);
  all.insert("TavoCats");
  for (const std::string& db : all) {
    Contents after;
    if (!ReadDb(store, db, &after)) continue;
    const Contents& was = before[db];
    int added = 0, changed = 0, removed = 0;
    for (auto& [n, bytes] : after) {
      auto w = was.find(n);
      if (w == was.end()) ++added;
      else if (w->second != bytes) ++changed;
    }
    for (auto& [n, bytes] : was)
      if (!after.count(n)) ++removed;
    std::printf("  %-18s %3zu objects  +%d ~%d -%d\n", db.c_str(), after.size(), added, changed, removed);
    if (list && db != "TavoPrefs" && db != "TavoSets" && db != "TavoInfo") ListDatabase(store, db);
  }
  Contents anchors;
  ReadDb(store, "TavoSyncDBAnchors", &anchors);
  std::printf("  anchors stored for %zu databases\n", anchors.size());
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArguments(argc, argv, &o)) return 2;
  if (!o.lang.empty()) g_language = o.lang;
  if (!StartReader(o.device)) return 1;
  sync_engine::StoreSyncStore store;
  WireObject settings;
  settings.name = "ServerSettings";
  settings.properties = {WireProperty::Text("ServerIP", o.host), WireProperty::Text("ServerPort", o.port)};
  if (int rc = WriteOne(&store, "_sysSettings", settings)) {
    std::fprintf(stderr, "tidelark-sync: cannot write the server settings (store code %d)\n", rc);
    return 1;
  }
  // Kept open for the run: the volume stays in use while the databases are
  // opened and closed one by one.
  SyncStore::Database in_use = nullptr;
  store.Open("_sysSettings", false, false, 0, &in_use);
  if (!o.user.empty()) SetUserTexts(&store, {{"User", o.user}, {"Pass", o.pass}});
  // A folder seeded before keeps its device record; --lang changes its locale.
  if (!o.lang.empty() && DeviceLanguage(&store) != o.lang) SetUserTexts(&store, {{"Lang", o.lang}});
  g_code_page = tidelark_server::CodePageOfLanguage(DeviceLanguage(&store));
  if (!o.mark_db.empty()) MarkNewestRead(&store, o.mark_db);
  if (!o.add_url.empty()) AddChannel(&store, o.add_url, o.add_name);

  std::vector<std::string> dbs = {"TavoRss", "TavoAlerts"};
  for (const std::string& c : SubscribedChannels(&store)) dbs.push_back(c);
  dbs.insert(dbs.end(), {"TavoInfo", "TavoSets", "TavoPrefs"});
  std::map<std::string, Contents> before;
  for (const std::string& db : dbs) ReadDb(&store, db, &before[db]);
  ReadDb(&store, "TavoCats", &before["TavoCats"]);
  for (const std::string& c : KnownChannelDbs(&store)) ReadDb(&store, c, &before[c]);

  int result = Synchronise(&store, dbs, o.host + ":" + o.port);
  PrintChanges(&store, std::set<std::string>(dbs.begin(), dbs.end()), before, o.list);
  store.Close(&in_use);
  // The reader adds its time of use when its run ends.
  app::AddTimeUsed();
  std::printf("result %d\n", result);
  if (result != 0) {
    std::fprintf(stderr, "tidelark-sync: the sync failed: %s (%d)\n", Meaning(result), result);
    return 1;
  }
  return 0;
}
