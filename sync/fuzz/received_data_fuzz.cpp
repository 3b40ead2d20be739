// What a server sends a device, end to end into the device's store: the real
// sync engine synchronises a seeded device volume with a server on loopback
// that speaks the real server's framing and slicing, and whose phase 2
// requests and phase 4 data are the fuzz input. Afterwards every database on
// the volume must check clean, as "tidelark-vol --check" checks it, and read
// back whole.
//
// Input: a 16-bit little-endian length, that many bytes of the server's
// request objects (none: it asks for the device record, as the real server
// does), then the data objects, raw (the server encodes them in Base64).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/records.h"
#include "http_framing.h"
#include "inspect.h"
#include "phased_session.h"
#include "platform/cedb.h"
#include "platform/os.h"
#include "platform/services.h"
#include "store/store.h"
#include "sync/store_adapter.h"
#include "sync/sync_session.h"
#include "sync/wire_object.h"

namespace os = platform::os;
using sync_engine::SyncStore;
using sync_engine::WireObject;
using sync_engine::WireProperty;

namespace {

const char* const kSynced[] = {"TavoPrefs", "TavoRss", "TavoInfo", "Tavo 6325"};

// The server's answers for the input under test; the server thread takes
// them when a device connects.
class Exchange {
 public:
  void Set(std::string requests, std::string data) {
    std::lock_guard<std::mutex> lock(mu_);
    requests_ = std::move(requests);
    data_ = std::move(data);
  }
  void Get(std::string* requests, std::string* data) {
    std::lock_guard<std::mutex> lock(mu_);
    *requests = requests_;
    *data = data_;
  }

 private:
  std::mutex mu_;
  std::string requests_, data_;
};

class FuzzSession : public tidelark_server::PhasedSession {
 public:
  FuzzSession(std::string requests, std::string data) : requests_(std::move(requests)), data_(std::move(data)) {}

 protected:
  bool Phase1(const std::vector<WireObject>&, std::string*) override {
    resource_ = requests_;
    return true;
  }
  bool Phase3(const std::vector<WireObject>&, std::string*, std::string*) override {
    resource_ = data_;
    return true;
  }

 private:
  std::string requests_, data_;
};

class SocketSource : public tidelark_server::ByteSource {
 public:
  explicit SocketSource(os::Socket s) : s_(s) {}
  long Read(char* out, std::size_t n) override {
    std::size_t got = 0;
    int rc = os::SocketRecv(s_, out, n, &got);
    if (rc == os::kOk) return static_cast<long>(got);
    return rc == os::kClosed ? 0 : -1;
  }

 private:
  os::Socket s_;
};

void ServeOne(os::Socket s, Exchange* exchange) {
  std::string requests, data;
  exchange->Get(&requests, &data);
  FuzzSession session(requests, data);
  SocketSource source(s);
  tidelark_server::RequestReader reader(&source);
  for (;;) {
    tidelark_server::HttpRequest request;
    std::string error;
    if (reader.Read(&request, &error) != tidelark_server::ReadStatus::kOk) break;
    std::string response;
    bool keep = session.Handle(request, &response);
    if (os::SocketSendAll(s, response.data(), response.size()) != os::kOk || !keep) break;
  }
}

void Serve(os::Socket listener, Exchange* exchange) {
  for (;;) {
    os::Socket s;
    if (os::TcpAccept(listener, &s) != os::kOk) continue;
    os::SetSocketTimeouts(s, 10000, 10000);
    ServeOne(s, exchange);
    os::SocketShutdown(s);
    os::CloseSocket(s);
  }
}

int NoBox(void*, const std::u16string&, const std::u16string&, std::uint32_t) { return platform::kIdOk; }
const platform::Services kQuiet = {NoBox, nullptr, nullptr};

const unsigned char kGif[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0x1f, 0x5f, 0xb4, 0xff,
                              0xff, 0xff, 0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3b};

void Put(SyncStore* store, const std::string& db, const WireObject& o) {
  SyncStore::Database h = nullptr;
  if (store->Open(db, true, false, 0, &h) != 0 || store->WriteObject(h, o) != 0) std::abort();
  store->Close(&h);
}

WireObject Obj(const std::string& name, std::vector<WireProperty> properties) {
  WireObject o;
  o.name = name;
  o.properties = std::move(properties);
  return o;
}

// A device as the reader leaves it after its first start and a sync: the
// start-up databases, one channel with articles, anchors, and the server
// address; returns the volume file's path.
std::string SeedDevice(std::uint16_t port) {
  std::string dir;
  if (os::MakeTempDirectory("tidelark-received-fuzz", &dir) != os::kOk) std::abort();
  static std::string removed_at_exit = dir;
  std::atexit([] { os::RemoveTree(removed_at_exit); });
  os::SetProgramDirectory(dir);
  app::DeviceFacts facts;
  facts.screen_width = [] { return 240; };
  facts.screen_height = [] { return 320; };
  facts.language_abbreviation = [](std::u16string* t) {
    *t = u"ENU";
    return true;
  };
  facts.country_abbreviation = [](std::u16string* t) {
    *t = u"USA";
    return true;
  };
  facts.channel_icon = [] { return std::string(reinterpret_cast<const char*>(kGif), sizeof kGif); };
  app::SetDeviceFacts(facts);
  app::CountStart();
  app::SeedDatabases();
  app::AcceptAgreement();
  sync_engine::StoreSyncStore store;
  Put(&store, "_sysSettings", Obj("ServerSettings", {WireProperty::Text("ServerIP", "127.0.0.1"),
                                                     WireProperty::Text("ServerPort", std::to_string(port))}));
  for (int i = 0; i < 3; ++i)
    Put(&store, "Tavo 6325", Obj("Item 0000000" + std::to_string(i),
                                 {WireProperty::Text("Title", "Old " + std::to_string(i)),
                                  WireProperty::Text("Text", std::string(200 * i, 'x')), WireProperty::Int("READ", i % 2)}));
  for (const char* db : kSynced) Put(&store, "TavoSyncDBAnchors", Obj(db, {WireProperty::Text("LastAnchor", "a1")}));
  return os::ProgramDirectory() + "Reader.vol";
}

struct Device {
  Exchange exchange;
  std::string volume;
  std::string image;  // the seeded volume's bytes, restored before every input
  std::string default_requests;
};

Device& TheDevice() {
  static Device* device = [] {
    Device* d = new Device;
    platform::SetServices(&kQuiet);
    os::SocketStartup();
    os::Socket listener;
    std::uint16_t port = 0;
    if (os::TcpListen("127.0.0.1", 0, 4, &listener, &port) != os::kOk) std::abort();
    std::thread(Serve, listener, &d->exchange).detach();
    d->volume = SeedDevice(port);
    if (os::ReadWholeFile(d->volume, &d->image) != os::kOk) std::abort();
    d->default_requests = sync_engine::EncodeWhole(
        Obj(tidelark_server::kRequestObjectName,
            {WireProperty::Text("Name", "TavoPrefs"), WireProperty::Text("Operation", "SendAllObjects")}));
    return d;
  }();
  return *device;
}

[[noreturn]] void Fail(const std::vector<std::string>& problems) {
  for (const std::string& p : problems) std::fprintf(stderr, "volume: %s\n", p.c_str());
  std::abort();
}

// What tidelark-vol --check checks, and every object of every database read whole.
void CheckVolume(const std::string& volume) {
  // Mounted once for all the databases, not once for each.
  CEGUID guid;
  CREATE_INVALIDGUID(&guid);
  std::u16string path = os::Utf8ToUtf16(volume);
  if (!CeMountDBVol(&guid, reinterpret_cast<LPCWSTR>(path.c_str()), OPEN_EXISTING)) Fail({"cannot be mounted"});
  bool mounted = false;
  std::vector<std::string> problems;
  store::CheckVolume(volume, &mounted, &problems);
  if (!mounted) problems.push_back("no longer a volume");
  for (const std::string& name : store::VolumeDatabaseNames(volume, &mounted)) {
    store::Database* db = nullptr;
    if (store::OpenDatabase(&db, name.c_str(), 0, 0, store::kCreatorPyra, 0, store::kVersionMajor,
                            store::kVersionMinor, volume.c_str()) != store::kStoreOk)
      continue;  // reported by the check
    std::string text;
    store::StoreCode rc = store::DescribeDatabase(db, &text);
    if (rc != store::kStoreOk) problems.push_back("database \"" + name + "\": listing stopped with " + std::to_string(rc));
    store::CloseDatabase(&db);
  }
  CeUnmountDBVol(&guid);
  if (!problems.empty()) Fail(problems);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Device& device = TheDevice();
  if (size < 2) return 0;
  std::size_t n = data[0] | (data[1] << 8);
  if (n > size - 2) n = size - 2;
  const char* bytes = reinterpret_cast<const char*>(data + 2);
  std::string requests = n ? std::string(bytes, n) : device.default_requests;
  device.exchange.Set(requests, std::string(bytes + n, size - 2 - n));
  if (os::WriteWholeFile(device.volume, device.image) != os::kOk) std::abort();

  sync_engine::SyncSession* session = nullptr;
  if (sync_engine::CreateSession(&session) != 0) std::abort();
  session->io_timeout_ms = 5000;
  for (const char* db : kSynced) sync_engine::AddDatabase(session, db);
  sync_engine::Synchronize(session, nullptr);
  sync_engine::EndSession(session, 1);
  CheckVolume(device.volume);
  return 0;
}
