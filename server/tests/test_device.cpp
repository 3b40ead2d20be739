#include "test_device.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "platform/os.h"
#include "platform/services.h"
#include "server_process.h"
#include "sync/sync_session.h"

namespace tidelark_test {

using sync_engine::SyncStore;
using sync_engine::WireObject;
using sync_engine::WireProperty;

namespace {

const char kAnchors[] = "TavoSyncDBAnchors";
const char kSettings[] = "_sysSettings";

// What the engine showed and reported on this thread's session.
thread_local SyncOutcome* g_outcome = nullptr;

int ShowText(void*, const std::u16string& text, const std::u16string&, std::uint32_t) {
  if (g_outcome) {
    for (char16_t c : text) g_outcome->error_text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return platform::kIdOk;
}
const platform::Services kRecordingServices = {ShowText, nullptr, nullptr};

int Progress(int, int, const char* text, int) {
  if (g_outcome && text && (g_outcome->texts.empty() || g_outcome->texts.back() != text))
    g_outcome->texts.push_back(text);
  return 0;
}

// Forwards to the device's store and notes what phase 4 did: the databases
// its headers opened (with no block cache, unlike phase 3) and the objects
// it wrote or deleted.
class RecordingStore : public SyncStore {
 public:
  RecordingStore(SyncStore* inner, SyncOutcome* out) : inner_(inner), out_(out) {}

  int Open(const std::string& name, bool create, bool start_empty, std::uint32_t cache_limit,
           Database* db) override {
    int rc = inner_->Open(name, create, start_empty, cache_limit, db);
    if (cache_limit == 0 && name != kAnchors && name != kSettings)
      out_->headers.push_back(name + (create && start_empty ? " Create" : start_empty ? " Overwrite" : " Update"));
    if (rc == 0 && name == kAnchors) anchors_ = *db;
    return rc;
  }
  void Close(Database* db) override { inner_->Close(db); }
  int ForEachObject(Database db, int source, std::size_t* count,
                    const std::function<bool(const WireObject&)>& visit) override {
    return inner_->ForEachObject(db, source, count, visit);
  }
  int ReadObject(Database db, const std::string& name, WireObject* object) override {
    return inner_->ReadObject(db, name, object);
  }
  int WriteObject(Database db, const WireObject& object) override {
    if (db != anchors_) ++out_->received_objects;
    return inner_->WriteObject(db, object);
  }
  int DeleteObject(Database db, const std::string& name) override {
    ++out_->received_objects;
    return inner_->DeleteObject(db, name);
  }

 private:
  SyncStore* inner_;
  SyncOutcome* out_;
  Database anchors_ = nullptr;
};

std::string TextOf(const WireObject& o, const char* name) {
  std::string v;
  o.GetText(name, &v);
  return v;
}

}  // namespace

SyncOutcome RunEngine(int port, SyncStore* store, const std::vector<std::string>& databases, int io_timeout_ms) {
  static std::once_flag services_once;
  std::call_once(services_once, [] { platform::SetServices(&kRecordingServices); });
  SyncOutcome out;
  SyncStore::Database settings = nullptr;
  if (store->Open(kSettings, true, false, 0, &settings) != 0) return out;
  WireObject server;
  server.name = "ServerSettings";
  server.properties = {WireProperty::Text("ServerIP", "127.0.0.1"), WireProperty::Text("ServerPort", std::to_string(port))};
  int rc = store->WriteObject(settings, server);
  store->Close(&settings);
  if (rc != 0) return out;

  RecordingStore recording(store, &out);
  sync_engine::SyncSession* session = nullptr;
  if (sync_engine::CreateSession(&session) != 0) return out;
  session->store = &recording;
  session->io_timeout_ms = io_timeout_ms;
  for (const std::string& db : databases) sync_engine::AddDatabase(session, db.c_str());
  sync_engine::SetUserAgent(session, "Tavo Sync Engine", "1.0.10B2 for PocketPC");
  g_outcome = &out;
  out.result = sync_engine::Synchronize(session, Progress);
  g_outcome = nullptr;
  sync_engine::EndSession(session, 1);
  return out;
}

std::vector<std::string> ReaderOrder(const std::vector<std::string>& subscribed_channels) {
  std::vector<std::string> order = {"TavoRss", "TavoAlerts"};
  order.insert(order.end(), subscribed_channels.begin(), subscribed_channels.end());
  order.insert(order.end(), {"TavoInfo", "TavoSets", "TavoPrefs"});
  return order;
}

std::vector<std::string> SubscribedDbs(SyncStore* store) {
  std::vector<std::string> out;
  SyncStore::Database db = nullptr;
  if (store->Open("TavoRss", false, false, 0, &db) != 0) return out;
  store->ForEachObject(db, 0, nullptr, [&](const WireObject& o) {
    std::string name = TextOf(o, "DbName");
    if (TextOf(o, "Subscr") == "Yes" && !name.empty()) out.push_back(name);
    return true;
  });
  store->Close(&db);
  return out;
}

bool SeedStartup(SyncStore* store, const std::string& user, const std::string& pass) {
  auto put = [&](const std::string& db, const WireObject* o) {
    SyncStore::Database h = nullptr;
    if (store->Open(db, true, false, 0, &h) != 0) return false;
    int rc = o ? store->WriteObject(h, *o) : 0;
    store->Close(&h);
    return rc == 0;
  };
  WireObject u;
  u.name = "TavoUser";
  u.properties.push_back(WireProperty::Text("User", user));
  if (!pass.empty()) u.properties.push_back(WireProperty::Text("Pass", pass));
  WireObject d;
  d.name = "TavoDevice";
  d.properties = {WireProperty::Text("DevType", "Pocket"), WireProperty::Int("Width", 240)};
  bool ok = put("TavoPrefs", &u) && put("TavoPrefs", &d) && put("TavoCats", nullptr);
  for (const char* id : {"12441", "6325", "12444"}) {
    WireObject c;
    c.name = std::string("Channel ") + id;
    c.properties = {WireProperty::Text("ChName", std::string("Seed ") + id),
                    WireProperty::Text("DbName", std::string("Tavo ") + id),
                    WireProperty::Text("Plugin", "News"),
                    WireProperty::Text("URL", ""),
                    WireProperty::Text("Subscr", "Yes"),
                    WireProperty::Int("Rating", 0),
                    WireProperty::Binary("Icon", "GIF89a")};
    ok = ok && put("TavoRss", &c);
  }
  WireObject s;
  s.name = "SyncStats";
  s.properties.push_back(WireProperty::Int("StartCount", 1));
  return ok && put("TavoInfo", &s);
}

std::string TestDevice::Anchor(const std::string& db) {
  if (!Has(kAnchors)) return "";
  auto it = Db(kAnchors).find(db);
  return it == Db(kAnchors).end() ? "" : TextOf(it->second, "LastAnchor");
}

void TestDevice::SetAnchor(const std::string& db, const std::string& anchor) {
  WireObject a;
  a.name = db;
  a.properties.push_back(WireProperty::Text("LastAnchor", anchor));
  store_.Put(kAnchors, a);
}

std::size_t WriteSharedFeedsCatalogue(const std::string& dir) {
  std::string feeds = std::string(TIDELARK_SHARED_DATA) + "/feeds";
  std::vector<std::string> names;
  if (DIR* d = opendir(feeds.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  std::string cat;
  for (std::size_t i = 0; i < names.size(); ++i)
    cat += "[channel " + std::to_string(40001 + i) + "]\nname = " + names[i] + "\nurl = " + feeds + "/" + names[i] +
           "\n";
  return WriteFile(dir + "/cat.ini", cat) ? names.size() : 0;
}

std::string RssFeed(const std::string& title, int first, int count, std::size_t body, const std::string& version) {
  std::string s = "<?xml version='1.0'?><rss version='2.0'><channel><title>" + title + "</title>";
  for (int i = first + count - 1; i >= first; --i) {
    std::string n = std::to_string(i);
    s += "<item><title>Story " + n + version + "</title><guid>g" + n + "</guid><link>http://x/" + n +
         "</link><pubDate>" + std::to_string(1 + i % 28) + " Jan 2026 10:00:00 GMT</pubDate><description>Body " + n +
         version + std::string(body, 'b') + "</description></item>";
  }
  return s + "</channel></rss>";
}

std::string SubscrOf(const Database& rss, const std::string& channel) {
  auto it = rss.find(channel);
  return it == rss.end() ? "" : TextOf(it->second, "Subscr");
}

void SetSubscr(Database* rss, const std::string& channel, bool on) {
  WireObject& o = (*rss)[channel];
  for (WireProperty& p : o.properties)
    if (p.name == "Subscr") p = WireProperty::Text("Subscr", on ? "Yes" : "No");
  // Unsubscribing removes the icon, as the unsubscribe screen does.
  if (!on)
    o.properties.erase(std::remove_if(o.properties.begin(), o.properties.end(),
                                      [](const WireProperty& p) { return p.name == "Icon"; }),
                       o.properties.end());
}

int ConnectLocal(int port, const char* source) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (source) {
    sockaddr_in s{};
    s.sin_family = AF_INET;
    inet_pton(AF_INET, source, &s.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&s), sizeof s) != 0) {
      close(fd);
      return -1;
    }
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  timeval tv{20, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return fd;
}

bool SendText(int fd, const std::string& bytes) {
  std::size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<std::size_t>(n);
  }
  return true;
}

std::string ReadAll(int fd, int timeout_ms) {
  std::string out;
  char buf[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) break;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace tidelark_test
