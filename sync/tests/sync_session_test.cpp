#include "sync/sync_session.h"

#include <gtest/gtest.h>

#include "memory_store.h"
#include "platform/services.h"
#include "sync/base64.h"
#include "sync/store_adapter.h"
#include "test_peer.h"

using namespace sync_engine;
using sync_test::HttpReply;
using sync_test::MemoryStore;
using sync_test::RangeReply;
using sync_test::Reply;
using sync_test::Request;
using sync_test::TestPeer;

namespace {

struct Call {
  int percent, value;
  std::string text;
  int state;
};
std::vector<Call> g_calls;
std::string g_cancel_on;  // the callback answers 1 to this text
int Record(int percent, int value, const char* text, int state) {
  g_calls.push_back({percent, value, text, state});
  return !g_cancel_on.empty() && g_cancel_on == text ? 1 : 0;
}

int g_boxes = 0;
int CountBox(void*, const std::u16string&, const std::u16string&, std::uint32_t) {
  ++g_boxes;
  return platform::kIdOk;
}
const platform::Services kServices = {CountBox, nullptr, nullptr};

WireObject Obj(const std::string& name, std::vector<WireProperty> props) {
  WireObject o;
  o.name = name;
  o.properties = std::move(props);
  return o;
}
WireObject Header(const std::string& db, const std::string& op, const std::string& objects_op,
                  const std::string& anchor) {
  std::vector<WireProperty> p = {WireProperty::Text("Name", db)};
  if (!op.empty()) p.push_back(WireProperty::Text("Operation", op));
  if (!objects_op.empty()) p.push_back(WireProperty::Text("Objects Operation", objects_op));
  p.push_back(WireProperty::Text("NewAnchor", anchor));
  return Obj("Sync-Database", p);
}
std::string Stream(const std::vector<WireObject>& objects) {
  std::string s;
  for (const auto& o : objects) s += EncodeWhole(o);
  return s;
}
// A complete one-piece answer carrying the objects.
Reply Answer(const std::vector<WireObject>& objects) {
  return Reply{HttpReply("200 OK", Base64Encode(Stream(objects)), "Content-Type: application/octet-stream\r\n")};
}
// The server's "nothing to send" answer to phase 1: one object that is no request.
Reply NoRequests() { return Answer({Obj("Sync-Requests", {})}); }

// Decodes a chunked request body (one Base64 segment per chunk) and parses it.
std::vector<WireObject> SentObjects(const Request& r) {
  std::string bytes;
  for (const auto& c : r.chunks) {
    EXPECT_LE(c.size(), kPieceChars);
    bytes += Base64Decode(c);
  }
  std::vector<WireObject> out;
  ObjectParser parser;
  std::size_t consumed = 0;
  WireObject o;
  while (parser.Next(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &consumed, &o) ==
         ObjectParser::kObject) {
    out.push_back(o);
  }
  EXPECT_EQ(bytes.size(), consumed);
  return out;
}

std::vector<std::string> Texts() {
  std::vector<std::string> t;
  for (const auto& c : g_calls) t.push_back(c.text);
  return t;
}
bool Saw(const std::string& text) {
  for (const auto& c : g_calls) {
    if (c.text == text) return true;
  }
  return false;
}

class SyncSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_cancel_on.clear();
    g_boxes = 0;
    old_ = platform::SetServices(&kServices);
    ASSERT_EQ(0, CreateSession(&session_));
    session_->store = &store_;
    session_->io_timeout_ms = 5000;
  }
  void TearDown() override {
    if (session_) EndSession(session_, 1);
    platform::SetServices(old_);
  }
  void PointAt(std::uint16_t port) {
    store_.Put("_sysSettings", Obj("ServerSettings", {WireProperty::Text("ServerIP", "127.0.0.1"),
                                                       WireProperty::Text("ServerPort", std::to_string(port))}));
  }
  int Run(TestPeer* peer) {
    PointAt(peer->port());
    int rc = Synchronize(session_, Record);
    requests_ = peer->Finish();
    return rc;
  }
  MemoryStore store_;
  SyncSession* session_ = nullptr;
  std::vector<Request> requests_;
  const platform::Services* old_ = nullptr;
};

}  // namespace

TEST_F(SyncSessionTest, FourPhasesWithoutRequestObjects) {
  TestPeer peer({NoRequests(), Answer({})});
  ASSERT_EQ(0, SetUserAgent(session_, "Tavo Sync Engine", "1.0.10B2 for PocketPC"));
  EXPECT_EQ(0, Run(&peer));
  ASSERT_EQ(2u, requests_.size());
  EXPECT_EQ(
      "POST / HTTP/1.1\r\nConnection: Keep-Alive\r\nCache-Control: no-store\r\n"
      "User-Agent: Tavo Sync Engine version 1.0.10B2 for PocketPC\r\nRange: bytes=0-13335\r\n"
      "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
      requests_[0].raw);
  EXPECT_NE(std::string::npos, requests_[1].headers.find("Range: bytes=0-9999\r\nTransfer-Encoding: chunked\r\n"));
  EXPECT_TRUE(requests_[1].chunks.empty());
  std::vector<std::string> want = {"Initializing...", "Contacting server", "Sending request...",
                                   "Receiving server requests...", "Receiving operations", "Receiving data...",
                                   "Sending data content...", "Receiving data content...", "Receiving data..."};
  auto got = Texts();
  std::size_t at = 0;
  for (const auto& w : want) {
    while (at < got.size() && got[at] != w) ++at;
    ASSERT_LT(at, got.size()) << "missing or out of order: " << w;
  }
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ("Connection closed.", got[got.size() - 2]);
  EXPECT_EQ("Done.", got.back());
  EXPECT_EQ(kStateIdle, session_->state);
  EXPECT_EQ(store_.opens, store_.closes);
}

TEST_F(SyncSessionTest, TwoDatabasesWithAnchorsRangesAndOperations) {
  store_.Put("TavoSyncDBAnchors", Obj("TavoPrefs", {WireProperty::Text("LastAnchor", "20261201")}));
  store_.Put("TavoPrefs", Obj("TavoUser", {WireProperty::Text("User", "Username"), WireProperty::Int("W", 240)}));
  store_.Put("TavoPrefs", Obj("TavoApp", {WireProperty::Text("AppId", "26")}));
  store_.Put("Tavo 4805", Obj("Old", {WireProperty::Text("Title", "old")}));
  ASSERT_EQ(0, AddDatabase(session_, "Tavo 4805"));
  ASSERT_EQ(0, AddDatabase(session_, "TavoPrefs"));

  // Phase 2's answer comes in two ranges, cut inside a property.
  std::string ops = Base64Encode(Stream({
      Obj("Req1", {WireProperty::Text("Name", "TavoPrefs"), WireProperty::Text("Operation", "SendAllObjects")}),
      Obj("Req2", {WireProperty::Text("Name", "Tavo 4805"), WireProperty::Text("Operation", "SendAllNames")}),
  }));
  std::size_t cut = ops.size() / 2 / 4 * 4;
  std::uint32_t total = static_cast<std::uint32_t>(ops.size());
  std::string data = Base64Encode(Stream({
      Header("TavoPrefs", "Update", "Add", "A-prefs-2"),
      Obj("TavoUser", {WireProperty::Text("Email", "x@y")}),
      Header("Tavo 4805", "Update", "", "A-4805-2"),
      Obj("Article 1", {WireProperty::Text("Title", "Hello"), WireProperty::Int("Read", 0)}),
  }));
  TestPeer peer({Reply{RangeReply(ops.substr(0, cut), 0, total)},
                 Reply{RangeReply(ops.substr(cut), static_cast<std::uint32_t>(cut), total)},
                 Reply{HttpReply("200 OK", data)}});
  EXPECT_EQ(0, Run(&peer));

  ASSERT_GE(requests_.size(), 3u);
  auto sent1 = SentObjects(requests_[0]);
  ASSERT_EQ(2u, sent1.size());  // newest first
  EXPECT_EQ("Sync-Database", sent1[0].name);
  std::string t;
  EXPECT_TRUE(sent1[0].GetText("Name", &t));
  EXPECT_EQ("TavoPrefs", t);
  EXPECT_TRUE(sent1[0].GetText("LastAnchor", &t));
  EXPECT_EQ("20261201", t);
  EXPECT_TRUE(sent1[1].GetText("Name", &t));
  EXPECT_EQ("Tavo 4805", t);
  EXPECT_EQ(nullptr, sent1[1].Find("LastAnchor"));
  EXPECT_NE(std::string::npos, requests_[1].headers.find("Range: bytes=" + std::to_string(cut) + "-"));

  auto sent3 = SentObjects(requests_[2]);
  ASSERT_EQ(5u, sent3.size());
  EXPECT_EQ("Req1", sent3[0].name);
  EXPECT_EQ("TavoApp", sent3[1].name);
  EXPECT_EQ("26", sent3[1].properties[0].AsText());
  EXPECT_EQ("TavoUser", sent3[2].name);
  EXPECT_EQ(240, sent3[2].Find("W")->AsInt());
  EXPECT_EQ("Req2", sent3[3].name);
  EXPECT_EQ("Old", sent3[4].name);
  EXPECT_TRUE(sent3[4].properties.empty());  // names only

  EXPECT_EQ("x@y", store_.Text("TavoPrefs", "TavoUser", "Email"));
  EXPECT_EQ("Username", store_.Text("TavoPrefs", "TavoUser", "User"));
  EXPECT_EQ("Hello", store_.Text("Tavo 4805", "Article 1", "Title"));
  EXPECT_EQ("old", store_.Text("Tavo 4805", "Old", "Title"));
  EXPECT_EQ("A-prefs-2", store_.Text("TavoSyncDBAnchors", "TavoPrefs", "LastAnchor"));
  EXPECT_EQ("A-4805-2", store_.Text("TavoSyncDBAnchors", "Tavo 4805", "LastAnchor"));
  EXPECT_EQ(store_.opens, store_.closes);
}

TEST_F(SyncSessionTest, CreateEmptiesAndDeleteRemoves) {
  store_.Put("Tavo 7324", Obj("Stale", {WireProperty::Text("Title", "stale")}));
  store_.Put("Tavo 1081", Obj("Keep", {}));
  store_.Put("Tavo 1081", Obj("Gone", {}));
  ASSERT_EQ(0, AddDatabase(session_, "Tavo 7324"));
  TestPeer peer({NoRequests(), Answer({Header("Tavo 7324", "Create", "Add", "a1"),
                                       Obj("Fresh", {WireProperty::Text("Title", "fresh")}),
                                       Header("Tavo 1081", "Update", "Delete", "a2"), Obj("Gone", {}),
                                       Obj("Never there", {}), Header("Tavo 9999", "Create", "", "a3"),
                                       Obj("New", {WireProperty::Int("Read", 1)})})});
  EXPECT_EQ(0, Run(&peer));
  EXPECT_EQ("<no object>", store_.Text("Tavo 7324", "Stale", "Title"));
  EXPECT_EQ("fresh", store_.Text("Tavo 7324", "Fresh", "Title"));
  EXPECT_EQ(1u, store_.dbs["Tavo 1081"]->objects.count("Keep"));
  EXPECT_EQ(0u, store_.dbs["Tavo 1081"]->objects.count("Gone"));
  EXPECT_EQ(1u, store_.dbs["Tavo 9999"]->objects.count("New"));
  EXPECT_TRUE(Saw("Tavo 9999"));
}

TEST_F(SyncSessionTest, UpdateOfAMissingDatabaseDropsItsObjects) {
  TestPeer peer({NoRequests(), Answer({Header("Nope", "Update", "", "n1"), Obj("X", {}), Obj("X2", {}),
                                       Header("Tavo 1", "Create", "", "t1"), Obj("Y", {})})});
  EXPECT_EQ(0, Run(&peer));
  EXPECT_EQ(0u, store_.dbs.count("Nope"));
  // The anchor is stored when the header arrives, even for a database that is not there.
  EXPECT_EQ("n1", store_.Text("TavoSyncDBAnchors", "Nope", "LastAnchor"));
  // The objects up to the next header are dropped; that header applies.
  ASSERT_EQ(1u, store_.dbs.count("Tavo 1"));
  EXPECT_EQ(1u, store_.dbs["Tavo 1"]->objects.count("Y"));
  EXPECT_EQ("t1", store_.Text("TavoSyncDBAnchors", "Tavo 1", "LastAnchor"));
}

TEST_F(SyncSessionTest, StoreErrorSkipsOnlyUpToTheNextHeader) {
  // "Tavo 1" is full; the header of "Tavo 2" follows in the same piece and
  // its objects go on in the next piece: they must reach "Tavo 2", never "Tavo 1".
  store_.Make("Tavo 1").full = true;
  std::string first = Base64Encode(Stream({Header("Tavo 1", "Update", "Add", "a1"), Obj("A", {}), Obj("B", {}),
                                           Header("Tavo 2", "Create", "Add", "a2"), Obj("C", {})}));
  std::string second = Base64Encode(Stream({Obj("D", {WireProperty::Text("Title", "d")})}));
  std::uint32_t total = static_cast<std::uint32_t>(first.size() + second.size());
  TestPeer peer({NoRequests(), Reply{RangeReply(first, 0, total)},
                 Reply{RangeReply(second, static_cast<std::uint32_t>(first.size()), total)}});
  EXPECT_EQ(0, Run(&peer));
  EXPECT_TRUE(store_.dbs["Tavo 1"]->objects.empty());
  ASSERT_EQ(1u, store_.dbs.count("Tavo 2"));
  EXPECT_EQ(1u, store_.dbs["Tavo 2"]->objects.count("C"));
  EXPECT_EQ("d", store_.Text("Tavo 2", "D", "Title"));
  EXPECT_EQ("a2", store_.Text("TavoSyncDBAnchors", "Tavo 2", "LastAnchor"));
  EXPECT_EQ(store_.opens, store_.closes);
}

TEST_F(SyncSessionTest, EmptyAnchorBecomesTheDateTime) {
  TestPeer peer({NoRequests(), Answer({Header("Tavo 5", "Create", "", "")})});
  EXPECT_EQ(0, Run(&peer));
  std::string anchor = store_.Text("TavoSyncDBAnchors", "Tavo 5", "LastAnchor");
  ASSERT_EQ(13u, anchor.size()) << anchor;
  EXPECT_EQ('\'', anchor[10]);
  EXPECT_EQ("2026120907'05", DateTimeAnchor({2026, 12, 9, 7, 5, 59, 0, 3}));
  EXPECT_EQ("1999010123'59", DateTimeAnchor({1999, 1, 1, 23, 59, 0, 0, 5}));
}

TEST_F(SyncSessionTest, Failures) {
  std::string half = Base64Encode(Stream({Header("Tavo 5", "Create", "", "x")}));
  // Phase 2's and phase 4's resources in two ranges each.
  std::string ops = Base64Encode(Stream({Obj("Req1", {WireProperty::Text("Name", "TavoPrefs")})}));
  std::string data = Base64Encode(Stream({Header("Tavo 5", "Create", "", "x"), Obj("Kept", {})}));
  std::uint32_t ops_total = static_cast<std::uint32_t>(ops.size() + 100);
  std::uint32_t data_total = static_cast<std::uint32_t>(data.size() + 100);
  const std::string bad = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  std::string final_head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 9700\r\n\r\n";
  struct Case {
    const char* what;
    std::vector<Reply> script;
    int boxes;
  } cases[] = {
      {"404", {Reply{HttpReply("404 Not Found", "missing"), true}}, 0},
      {"error text", {Reply{HttpReply("200 OK", "Server down", "Content-Type: txt\r\n")}}, 1},
      {"error text as the final data answer",
       {NoRequests(), Reply{HttpReply("200 OK", "Server down", "Content-Type: txt\r\n")}}, 1},
      {"closes mid-piece",
       {NoRequests(), Reply{"HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n" + half.substr(0, 12), true}}, 0},
      {"closes after the headers", {NoRequests(), Reply{"HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n", true}}, 0},
      {"closes before answering", {Reply{"", true}}, 0},
      {"closes between ranges", {NoRequests(), Reply{RangeReply(data, 0, data_total), true}}, 0},
      {"closes after a range that is not the last",
       {NoRequests(), Reply{HttpReply("206 Partial Content", data,
                                      "Content-Range: bytes 0-" + std::to_string(data.size() - 1) + "/" +
                                          std::to_string(data_total) + "\r\nContent-Length: " +
                                          std::to_string(data.size()) + "\r\nConnection: close\r\n",
                                      false),
                            true}},
       0},
      {"stalls inside the final body", {NoRequests(), Reply{final_head + std::string(100, 'Q')}, Reply{"", true, false, 2000}}, 0},
      {"400 and Connection: close answering phase 1", {Reply{bad, true}}, 0},
      {"400 and Connection: close answering a phase 2 range", {Reply{RangeReply(ops, 0, ops_total)}, Reply{bad, true}}, 0},
      {"400 and Connection: close answering phase 3", {NoRequests(), Reply{bad, true}}, 0},
      {"400 and Connection: close answering a phase 4 range",
       {NoRequests(), Reply{RangeReply(data, 0, data_total)}, Reply{bad, true}}, 0},
  };
  for (auto& c : cases) {
    g_calls.clear();
    g_boxes = 0;
    EndSession(session_, 1);
    ASSERT_EQ(0, CreateSession(&session_));
    store_.dbs.clear();
    session_->store = &store_;
    session_->io_timeout_ms = 500;
    TestPeer peer(c.script);
    EXPECT_EQ(kSyncTransferFailed, Run(&peer)) << c.what;
    EXPECT_EQ(c.boxes, g_boxes) << c.what;
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ("Sync error occured!", g_calls.back().text) << c.what;
    EXPECT_FALSE(Saw("Done.")) << c.what;
    EXPECT_EQ(kStateIdle, session_->state);
  }
}

TEST_F(SyncSessionTest, AFailedRangeRequestIsATransferFailure) {
  // Phase 2's resource comes in two ranges; the connection breaks for
  // sending after the first, so the request for the second cannot go out.
  std::string ops = Base64Encode(Stream({Obj("Req1", {WireProperty::Text("Name", "TavoPrefs")})}));
  static SyncSession* breaking;
  breaking = session_;
  SyncCallback break_after_first_body = [](int percent, int, const char* text, int state) {
    if (state == kStateReceiving && percent == 100 && std::string(text) == "Receiving data..." && breaking->client)
      platform::os::SocketShutdown(breaking->client->socket);
    return 0;
  };
  TestPeer peer({Reply{RangeReply(ops, 0, static_cast<std::uint32_t>(ops.size() + 100))}, NoRequests()});
  PointAt(peer.port());
  EXPECT_EQ(kSyncTransferFailed, Synchronize(session_, break_after_first_body));
  requests_ = peer.Finish();
  EXPECT_EQ(1u, requests_.size());  // phase 3 never began
  EXPECT_TRUE(session_->received.empty());
}

TEST_F(SyncSessionTest, EmptyDataPiecesEndTheTransferAfterThree) {
  const std::string empty =
      "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-0/100\r\nContent-Length: 0\r\n\r\n";
  TestPeer peer({NoRequests(), Reply{empty}, Reply{empty}, Reply{empty}, Reply{empty}, Reply{empty}, Reply{empty}});
  EXPECT_EQ(kSyncTransferFailed, Run(&peer));
  // The phase 1 and phase 3 bodies, then two range requests: three empty answers in all.
  EXPECT_EQ(4u, requests_.size());
  EXPECT_FALSE(Saw("Done."));
}

TEST_F(SyncSessionTest, CancelledByTheCallback) {
  for (const char* when : {"Contacting server", "Receiving operations", "Decoding data..."}) {
    g_calls.clear();
    g_cancel_on = when;
    EndSession(session_, 1);
    ASSERT_EQ(0, CreateSession(&session_));
    session_->store = &store_;
    TestPeer peer({NoRequests(), Answer({Header("Tavo 6", "Create", "", "c1")})});
    EXPECT_EQ(kSyncCancelled, Run(&peer)) << when;
    EXPECT_EQ(0u, store_.dbs.count("Tavo 6")) << when;
  }
}

TEST_F(SyncSessionTest, DataLimitStopsReceiving) {
  std::string ops = Base64Encode(Stream({Obj("R", {WireProperty::Text("Name", "TavoPrefs")}),
                                         Obj("S", {WireProperty::Text("Name", "TavoRss")})}));
  std::uint32_t total = static_cast<std::uint32_t>(ops.size());
  session_->data_mode = kLimitReceive;
  session_->data_limit = 20;
  TestPeer peer({Reply{RangeReply(ops.substr(0, 40), 0, total)}});
  EXPECT_EQ(kSyncDataLimit, Run(&peer));
  EXPECT_EQ(1u, requests_.size());
}

TEST_F(SyncSessionTest, ConnectFailure) {
  platform::os::Socket l;
  std::uint16_t port = 0;
  ASSERT_EQ(platform::os::kOk, platform::os::TcpListen("127.0.0.1", 0, 1, &l, &port));
  platform::os::CloseSocket(l);
  PointAt(port);
  EXPECT_EQ(kSyncConnectFailed, Synchronize(session_, Record));
  std::vector<std::string> want = {"Initializing...", "Contacting server", "Connection failed.",
                                   "Connection error occured!"};
  EXPECT_EQ(want, Texts());
  EXPECT_EQ(kStateFailed, g_calls[2].state);
  EXPECT_EQ(nullptr, session_->client.get());
}

TEST_F(SyncSessionTest, ArgumentsAndSettings) {
  EXPECT_EQ(kSyncBadSession, CreateSession(nullptr));
  EXPECT_EQ(kSyncBadSession, AddDatabase(nullptr, "x"));
  EXPECT_EQ(kSyncBadSession, AddDatabase(session_, std::string(100, 'd').c_str()));
  EXPECT_EQ(kSyncBadSession, SetUserAgent(session_, nullptr, "1"));
  store_.Put("TavoSyncDBAnchors", Obj("Long", {WireProperty::Text("LastAnchor", std::string(100, 'a'))}));
  ASSERT_EQ(0, AddDatabase(session_, "Long"));
  EXPECT_EQ(nullptr, session_->requests[0].Find("LastAnchor"));  // an oversized anchor is not sent
  session_->state = kStateSending;
  EXPECT_EQ(kSyncBusy, AddDatabase(session_, "x"));
  EXPECT_EQ(kSyncBusy, Synchronize(session_, Record));
  EXPECT_EQ(kSyncBusy, EndSession(session_, 0));
  session_->state = kStateIdle;
  char fake[8] = "XXXX";
  EXPECT_EQ(kSyncBadSession, Synchronize(reinterpret_cast<SyncSession*>(fake), Record));
}

// The same session against the object store on a real volume.
class SyncOnStoreTest : public SyncSessionTest {
 protected:
  void SetUp() override {
    SyncSessionTest::SetUp();
    ASSERT_EQ(platform::os::kOk, platform::os::MakeTempDirectory("tidelark-sync", &dir_));
    real_.reset(new StoreSyncStore(platform::os::JoinPath(dir_, "Reader.vol")));
    session_->store = real_.get();
  }
  void TearDown() override {
    SyncSessionTest::TearDown();
    real_.reset();
    platform::os::RemoveTree(dir_);
  }
  void Put(const std::string& db, const WireObject& o) {
    SyncStore::Database d = nullptr;
    ASSERT_EQ(0, real_->Open(db, true, false, 0, &d));
    EXPECT_EQ(0, real_->WriteObject(d, o));
    real_->Close(&d);
  }
  std::vector<std::string> Names(const std::string& db) {
    std::vector<std::string> names;
    SyncStore::Database d = nullptr;
    if (real_->Open(db, false, false, 0, &d) != 0) return names;
    real_->ForEachObject(d, 0, nullptr, [&](const WireObject& o) {
      names.push_back(o.name);
      return true;
    });
    real_->Close(&d);
    return names;
  }
  std::string dir_;
  std::unique_ptr<StoreSyncStore> real_;
};

TEST_F(SyncOnStoreTest, CreateHeaderEmptiesBeforeObjectsAndAnchorsPersist) {
  Put("_sysSettings", Obj("ServerSettings", {WireProperty::Text("ServerIP", "127.0.0.1"),
                                              WireProperty::Text("ServerPort", "1")}));
  Put("Tavo 4805", Obj("Stale", {WireProperty::Text("Title", "stale")}));
  Put("Tavo 4805", Obj("Also stale", {WireProperty::Int("Read", 1)}));
  Put("TavoPrefs", Obj("TavoDevice", {WireProperty::Int("Width", 240), WireProperty::Text("DevType", "Pocket")}));
  ASSERT_EQ(0, AddDatabase(session_, "TavoPrefs"));
  TestPeer peer(
      {Answer({Obj("R", {WireProperty::Text("Name", "TavoPrefs"), WireProperty::Text("Operation", "SendAllObjects")})}),
       Answer({Header("Tavo 4805", "Create", "Add", "anchor-4805"),
               Obj("Article 7", {WireProperty::Text("Title", "Seven"), WireProperty::Int("Read", 0)}),
               Header("TavoPrefs", "Update", "Delete", ""), Obj("TavoDevice", {})})});
  Put("_sysSettings", Obj("ServerSettings", {WireProperty::Text("ServerPort", std::to_string(peer.port()))}));
  EXPECT_EQ(0, Synchronize(session_, Record));
  requests_ = peer.Finish();
  ASSERT_EQ(2u, requests_.size());
  auto sent = SentObjects(requests_[1]);
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ("TavoDevice", sent[1].name);
  EXPECT_EQ(240, sent[1].Find("Width")->AsInt());
  EXPECT_EQ(std::vector<std::string>{"Article 7"}, Names("Tavo 4805"));
  EXPECT_TRUE(Names("TavoPrefs").empty());

  // The next session sends the stored anchor.
  SyncSession* next = nullptr;
  ASSERT_EQ(0, CreateSession(&next));
  next->store = real_.get();
  ASSERT_EQ(0, AddDatabase(next, "Tavo 4805"));
  std::string anchor;
  EXPECT_TRUE(next->requests[0].GetText("LastAnchor", &anchor));
  EXPECT_EQ("anchor-4805", anchor);
  ASSERT_EQ(0, AddDatabase(next, "TavoPrefs"));
  EXPECT_TRUE(next->requests[0].GetText("LastAnchor", &anchor));
  EXPECT_EQ(13u, anchor.size());  // the date-time anchor
  EXPECT_EQ(0, EndSession(next, 0));
}

TEST_F(SyncSessionTest, DataPieceCutMidPropertyContinuesInTheNextRange) {
  std::string data = Base64Encode(Stream({
      Header("Tavo 12441", "Create", "Add", "d1"),
      Obj("Long article", {WireProperty::Text("Title", "T"), WireProperty::Text("Text", std::string(3000, 'z'))}),
  }));
  std::size_t cut = 2000;  // inside "Text"
  std::uint32_t total = static_cast<std::uint32_t>(data.size());
  TestPeer peer({NoRequests(), Reply{RangeReply(data.substr(0, cut), 0, total)},
                 Reply{RangeReply(data.substr(cut), static_cast<std::uint32_t>(cut), total)}});
  EXPECT_EQ(0, Run(&peer));
  EXPECT_EQ(std::string(3000, 'z'), store_.Text("Tavo 12441", "Long article", "Text"));
  ASSERT_EQ(3u, requests_.size());
  // 1500 decoded bytes of which the open property (everything after the
  // header object and the title) stays unparsed; the next range leaves room
  // for it in the 10000-byte work buffer.
  std::size_t header = EncodeWhole(Header("Tavo 12441", "Create", "Add", "d1")).size();
  std::size_t left = 1500 - header - (4 + std::string("Long article").size() + 1) -
                     (12 + std::string("Title").size() + 2);
  std::size_t next = std::min<std::size_t>(13336 - left, (10000 - left) / 3 * 4);
  EXPECT_NE(std::string::npos, requests_[2].headers.find("Range: bytes=2000-" + std::to_string(2000 + next - 1) + "\r\n"))
      << requests_[2].headers;
}

TEST_F(SyncSessionTest, DataLimitStopsSending) {
  for (int i = 0; i < 50; ++i) {
    store_.Put("Tavo 4931", Obj("A" + std::to_string(i), {WireProperty::Text("Text", std::string(90, 'q'))}));
  }
  session_->data_mode = kLimitSend;
  session_->data_limit = 2000;
  TestPeer peer({Answer({Obj("R", {WireProperty::Text("Name", "Tavo 4931"),
                                   WireProperty::Text("Operation", "SendAllObjects")})}),
                 Answer({})});
  EXPECT_EQ(kSyncDataLimit, Run(&peer));
  ASSERT_EQ(2u, requests_.size());
  std::size_t sent = 0;
  for (const auto& c : requests_[1].chunks) sent += c.size();
  EXPECT_GT(sent, 0u);
  EXPECT_LE(sent, 2000u);
  EXPECT_LT(SentObjects(requests_[1]).size(), 51u);
}
