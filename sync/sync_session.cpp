// The four phases of a sync session.
//
// Invariants: the encoded work buffer never holds more than kPieceBytes; the
// Base64 buffer never more than kPieceChars; a piece is always sent whole as
// one chunk; an object is applied to the store as soon as it is complete and
// a database's anchor is stored when its header arrives.
#include "sync/sync_session.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "store/store.h"
#include "sync/base64.h"

namespace sync_engine {

const char kDefaultServerHost[] = "sync.tidelark.net";

namespace {
constexpr char kSettingsDatabase[] = "_sysSettings";
constexpr char kSettingsObject[] = "ServerSettings";
}  // namespace

void ServerOf(SyncStore* store, const std::string& default_host, std::uint32_t default_port, std::string* host,
              std::uint32_t* port) {
  *host = default_host;
  *port = default_port;
  SyncStore::Database db = nullptr;
  if (!store || store->Open(kSettingsDatabase, false, false, 0, &db) != 0) return;
  WireObject settings;
  if (store->ReadObject(db, kSettingsObject, &settings) == 0) {
    std::string ip, port_text;
    if (settings.GetText("ServerIP", &ip) && !ip.empty() && ip.size() <= kMaxServerHost) *host = ip;
    if (settings.GetText("ServerPort", &port_text) && !port_text.empty() && port_text.size() <= 5 &&
        port_text.find_first_not_of("0123456789") == std::string::npos) {
      unsigned long p = std::strtoul(port_text.c_str(), nullptr, 10);
      if (p >= 1 && p <= 65535) *port = static_cast<std::uint32_t>(p);
    }
  }
  store->Close(&db);
}

namespace {

constexpr char kAnchorDatabase[] = "TavoSyncDBAnchors";
constexpr char kHeaderObject[] = "Sync-Database";
// A parsed item must leave room in the work buffer for the next range.
constexpr std::size_t kMaxParsedItem = kPieceBytes - 400;
// A server that keeps sending empty pieces is not making progress.
constexpr int kMaxEmptyPieces = 3;

bool ValidSession(const SyncSession* s) { return s && std::memcmp(s->tag, "SESS", 4) == 0; }

void ReleaseAnchorStore(SyncSession* s) {
  if (s->anchors) s->anchors_store->Close(&s->anchors);
  s->anchors_store = nullptr;
}

// The session's handle on the anchor store; null when it cannot be opened
// (or, without create, does not exist yet).
SyncStore::Database AnchorStore(SyncSession* s, bool create) {
  if (s->anchors && s->anchors_store != s->store) ReleaseAnchorStore(s);
  if (!s->anchors && s->store) {
    if (s->store->Open(kAnchorDatabase, create, false, 0, &s->anchors) == 0) {
      s->anchors_store = s->store;
    } else {
      s->anchors = nullptr;
    }
  }
  return s->anchors;
}

int Report(SyncSession* s, int percent, int value, const char* text, int state) {
  return s->callback ? s->callback(percent, value, text, state) : 0;
}

bool LimitsReceive(const SyncSession* s) { return s->data_mode == kLimitReceive || s->data_mode == kLimitBoth; }
bool LimitsSend(const SyncSession* s) { return s->data_mode == kLimitSend || s->data_mode == kLimitBoth; }
std::uint32_t Allowance(const SyncSession* s) { return s->data_used >= s->data_limit ? 0 : s->data_limit - s->data_used; }

std::uint32_t Percent(std::uint64_t part, std::uint64_t whole) {
  return static_cast<std::uint32_t>(part * 100 / (whole + 1));
}

void ReadServerSettings(const SyncSession* s, std::string* host, std::uint32_t* port) {
  ServerOf(s->store, s->default_host, s->default_port, host, port);
}

// Packs encoded objects into pieces and sends each as one Base64 chunk.
class PieceSender {
 public:
  explicit PieceSender(SyncSession* s) : s_(s) {}

  // false when a chunk could not be sent or the data limit stopped sending.
  bool Send(const WireObject& object, bool head_only, bool names_only) {
    std::uint32_t cursor = kCursorStart;
    for (;;) {
      std::size_t capacity = Capacity();
      if (capacity < 64) {
        limit_hit_ = true;
        return false;
      }
      std::size_t before = used_;
      bool done = EncodeObject(object, head_only, names_only, piece_, capacity, &used_, &cursor);
      if (done) return true;
      if (used_ == before && used_ == 0) return true;  // nothing of it can ever go out
      if (!Flush()) return false;
    }
  }

  bool Flush() {
    if (used_ == 0) return true;
    std::size_t n = Base64Encode(piece_, used_, chars_);
    used_ = 0;
    if (SendChunk(s_->client.get(), chars_, n) < 0) {
      send_failed_ = true;
      return false;
    }
    if (LimitsSend(s_)) s_->data_used += static_cast<std::uint32_t>(n);
    return true;
  }

  bool send_failed() const { return send_failed_; }
  bool limit_hit() const { return limit_hit_; }

 private:
  std::size_t Capacity() const {
    if (!LimitsSend(s_)) return kPieceBytes;
    std::size_t bytes = static_cast<std::size_t>(Allowance(s_)) / 4 * 3;
    return bytes < kPieceBytes ? bytes : kPieceBytes;
  }

  SyncSession* s_;
  std::uint8_t piece_[kPieceBytes];
  char chars_[kPieceChars];
  std::size_t used_ = 0;
  bool send_failed_ = false;
  bool limit_hit_ = false;
};

// Receives range pieces, decodes them and feeds the parser, keeping the
// unparsed rest in front of the next piece.
class PieceReceiver {
 public:
  explicit PieceReceiver(SyncSession* s) : s_(s), parser_(kMaxParsedItem) {}

  ReadResult Read(int* cancel) {
    std::uint32_t length = 0;
    ReadResult r = ReadResponse(s_->client.get(), chars_, sizeof chars_, &length, s_->callback, cancel);
    length_ = length;
    if (LimitsReceive(s_)) {
      s_->data_used += length;
      if (s_->data_used > s_->data_limit) limit_noted_ = true;
    }
    return r;
  }

  // Decodes the piece behind the unparsed rest; false when it would not fit.
  bool Decode() {
    std::size_t n = Base64DecodedSize(chars_, length_);
    if (left_ + n > kPieceBytes) return false;
    valid_ = left_ + Base64Decode(chars_, length_, work_ + left_, n);
    consumed_ = 0;
    return true;
  }

  // Next complete object of the piece; false when the piece is used up.
  bool Next(WireObject* object) {
    ObjectParser::Step step = parser_.Next(work_, valid_, &consumed_, object);
    if (step == ObjectParser::kObject) return true;
    if (step == ObjectParser::kNeedMore) {
      left_ = valid_ - consumed_;
      std::memmove(work_, work_ + consumed_, left_);
    } else {
      left_ = 0;  // a malformed piece is dropped from here on
    }
    valid_ = left_;
    consumed_ = 0;
    return false;
  }

  std::size_t parsed() const { return consumed_; }
  std::size_t valid() const { return valid_; }
  std::size_t left() const { return left_; }
  std::uint32_t length() const { return length_; }
  bool limit_noted() const { return limit_noted_; }
  void note_limit() { limit_noted_ = true; }

 private:
  SyncSession* s_;
  ObjectParser parser_;
  char chars_[kPieceChars];
  std::uint8_t work_[kPieceBytes];
  std::uint32_t length_ = 0;
  std::size_t left_ = 0, valid_ = 0, consumed_ = 0;
  bool limit_noted_ = false;
};

int Phase1(SyncSession* s) {
  HttpClient* c = s->client.get();
  c->range_length = kPieceChars;
  c->range_start = 0;
  if (BeginChunkedRequest(c) != 0) return kSyncHeadersFailed;
  std::unique_ptr<PieceSender> sender(new PieceSender(s));
  const std::uint32_t count = static_cast<std::uint32_t>(s->requests.size());
  for (std::uint32_t i = 0; i < count; ++i) {
    const WireObject& request = s->requests[i];
    std::string name;
    request.GetText("Name", &name);
    Report(s, static_cast<int>(100 * (i + 1) / (count + 1)), 0, name.c_str(), s->state);
    if (!sender->Send(request, false, false) && sender->send_failed()) {
      s->state = kStateTransferError;
      return kSyncTransferFailed;
    }
  }
  if (!sender->Flush()) {
    s->state = kStateTransferError;
    return kSyncTransferFailed;
  }
  return EndChunkedRequest(c) == 0 ? kSyncOk : kSyncTransferFailed;
}

int Phase2(SyncSession* s) {
  HttpClient* c = s->client.get();
  c->range_length = kPieceChars;
  c->range_start = 0;
  std::unique_ptr<PieceReceiver> in(new PieceReceiver(s));
  enum { kRunning, kCancelled, kFailed, kClosed, kDone } end = kRunning;
  while (end == kRunning) {
    if (Report(s, static_cast<int>(Percent(c->range_start, c->total_length)), 0, "Receiving operations",
               s->state) != 0) {
      end = kCancelled;
      break;
    }
    int cancel = 0;
    ReadResult read = in->Read(&cancel);
    if (read == ReadResult::kClosing) {
      end = kClosed;
      break;
    }
    if (read != ReadResult::kBody || !in->Decode()) {
      end = kFailed;
      break;
    }
    WireObject object;
    while (in->Next(&object)) s->received.push_back(std::move(object));
    if (cancel) {
      end = kCancelled;
    } else if (in->limit_noted()) {
      end = kDone;
    } else {
      std::uint32_t next = static_cast<std::uint32_t>(kPieceBytes - in->left());
      if (LimitsReceive(s) && next > Allowance(s)) {
        next = Allowance(s);
        in->note_limit();
      }
      RangeRequest rr = next == 0 ? RangeRequest::kComplete : RequestNextRange(c, next);
      if (rr == RangeRequest::kComplete) end = kDone;
      if (rr == RangeRequest::kFailed) end = kFailed;
    }
  }
  switch (end) {
    case kCancelled:
      s->received.clear();
      return kSyncCancelled;
    case kClosed:  // the server closes after this answer: nothing it asked for can be sent
      s->received.clear();
      return kSyncOk;
    case kFailed:
      s->received.clear();
      return kSyncTransferFailed;
    default:
      return in->limit_noted() && !c->complete ? kSyncDataLimit : kSyncOk;
  }
}

// Sends one database the server asked for: the request object itself, then
// its objects as the operation says. false when sending must stop.
bool SendDatabase(SyncSession* s, PieceSender* sender, const WireObject& request, int* source, bool* head_only,
                  bool* cancelled) {
  std::string name, operation;
  if (!request.GetText("Name", &name)) return true;
  SyncStore::Database db = nullptr;
  if (s->store->Open(name, true, false, kPhaseCacheBytes, &db) != 0) return true;
  if (!sender->Send(request, false, false) || !request.GetText("Operation", &operation)) {
    s->store->Close(&db);
    return !sender->send_failed() && !sender->limit_hit();
  }
  if (operation == "SendAllObjects") {
    *source = 0, *head_only = false;
  } else if (operation == "SendAllNames") {
    *source = 0, *head_only = true;
  } else if (operation == "SendAllChangedObjects") {
    *source = 1, *head_only = false;
  } else if (operation == "SendAllChangedNames") {
    *source = 1, *head_only = true;
  }
  std::size_t total = 0, sent = 0;
  s->store->ForEachObject(db, *source, &total, [&](const WireObject& object) {
    if (!sender->Send(object, *head_only, false)) return false;
    ++sent;
    if (Report(s, static_cast<int>(sent * 100 / (total ? total : 1)), 3, name.c_str(), s->state) > 0) {
      *cancelled = true;
      return false;
    }
    return true;
  });
  s->store->Close(&db);
  return !*cancelled && !sender->send_failed() && !sender->limit_hit();
}

int Phase3(SyncSession* s) {
  HttpClient* c = s->client.get();
  c->range_length = kPieceBytes;
  c->range_start = 0;
  if (BeginChunkedRequest(c) != 0) return kSyncHeadersFailed;
  std::unique_ptr<PieceSender> sender(new PieceSender(s));
  bool cancelled = false, head_only = false;
  int source = 0;
  for (const WireObject& request : s->received) {
    if (!SendDatabase(s, sender.get(), request, &source, &head_only, &cancelled)) break;
  }
  if (sender->send_failed() || !sender->Flush() || EndChunkedRequest(c) != 0) {
    s->state = kStateTransferError;
    return kSyncTransferFailed;
  }
  if (cancelled) return kSyncCancelled;
  if (sender->limit_hit()) return kSyncDataLimit;
  return kSyncOk;
}

// Applies phase 4's objects: a "Sync-Database" header opens the database
// that the following objects go to and stores its new anchor.
class DataApplier {
 public:
  explicit DataApplier(SyncSession* s) : s_(s), store_(s->store), anchors_(AnchorStore(s, true)) {}
  ~DataApplier() { CloseCurrent(); }

  void CloseCurrent() { store_->Close(&current_); }

  void Header(const WireObject& header, int range_percent) {
    std::string name, operation, objects_operation, anchor;
    if (!header.GetText("Name", &name)) return;
    bool has_operation = header.GetText("Operation", &operation);
    if (!has_operation || operation == "Update") {
      create_ = false, start_empty_ = false;
    } else if (operation == "Create") {
      create_ = true, start_empty_ = true;
    } else if (operation == "Overwrite") {
      create_ = false, start_empty_ = true;
    }
    bool has_objects_operation = header.GetText("Objects Operation", &objects_operation);
    if (!has_objects_operation || objects_operation == "Add" || objects_operation == "Overwrite") {
      deleting_ = false;
    } else if (objects_operation == "Delete") {
      deleting_ = true;
    }
    if (store_->Open(name, create_, start_empty_, 0, &current_) != 0) current_ = nullptr;
    if (header.GetText("NewAnchor", &anchor) && anchors_) {
      if (anchor.empty()) anchor = DateTimeAnchor(platform::os::LocalNow());
      WireObject record;
      record.name = name;
      record.properties.push_back(WireProperty::Text("LastAnchor", anchor));
      store_->WriteObject(anchors_, record);
    }
    ++databases_seen_;
    Report(s_, 100 * databases_seen_ / (s_->request_count + 1), range_percent, name.c_str(), s_->state);
  }

  // Writes or deletes one object; false on a store error (including no
  // database to put it in).
  bool Apply(const WireObject& object) {
    if (!current_) return false;
    int rc = deleting_ ? store_->DeleteObject(current_, object.name) : store_->WriteObject(current_, object);
    return rc == store::kStoreOk || (deleting_ && rc == store::kStoreObjectNotFound);
  }

 private:
  SyncSession* s_;
  SyncStore* store_;
  SyncStore::Database anchors_;
  SyncStore::Database current_ = nullptr;
  bool create_ = false, start_empty_ = false, deleting_ = false;
  int databases_seen_ = 0;
};

// Applies the complete objects of one piece. A store error skips the rest of
// the piece up to the next header, which always applies: skipping it would
// put the next database's objects into this one.
void ApplyPiece(SyncSession* s, PieceReceiver* in, DataApplier* apply, int range_percent, bool* cancelled) {
  bool skipping = false;
  WireObject object;
  for (;;) {
    int parsed_percent = static_cast<int>(Percent(in->parsed(), in->valid()));
    if (Report(s, parsed_percent, range_percent, "Processing data...", s->state) != 0) *cancelled = true;
    if (!in->Next(&object)) return;
    if (object.name == kHeaderObject) {
      apply->CloseCurrent();
      if (*cancelled) return;
      skipping = false;
      apply->Header(object, range_percent);
    } else if (!skipping && !apply->Apply(object)) {
      skipping = true;
    }
  }
}

// Characters to ask for next: what fits the Base64 buffer and, decoded,
// the work buffer behind the unparsed rest.
std::uint32_t NextDataRange(const PieceReceiver& in) {
  std::size_t room = (kPieceBytes - in.left()) / 3 * 4;
  std::size_t next = kPieceChars - in.left();
  return static_cast<std::uint32_t>(next < room ? next : room);
}

int Phase4(SyncSession* s) {
  HttpClient* c = s->client.get();
  c->range_length = kPieceChars;
  c->range_start = 0;
  std::unique_ptr<PieceReceiver> in(new PieceReceiver(s));
  DataApplier apply(s);
  bool cancelled = false, failed = false;
  int empty_pieces = 0;
  for (;;) {
    int range_percent = static_cast<int>(Percent(c->range_start, c->total_length));
    Report(s, 0, range_percent, "Receiving data...", s->state);
    int cancel = 0;
    ReadResult read = in->Read(&cancel);
    if (read == ReadResult::kFailed || read == ReadResult::kErrorText) {
      failed = true;
      break;
    }
    if (cancel || Report(s, 0, range_percent, "Decoding data...", s->state) != 0) cancelled = true;
    if (!in->Decode()) {
      failed = true;
      break;
    }
    empty_pieces = in->length() == 0 ? empty_pieces + 1 : 0;
    ApplyPiece(s, in.get(), &apply, range_percent, &cancelled);
    if (cancelled || in->limit_noted()) break;
    if (read == ReadResult::kClosing) {
      failed = !c->complete;  // a close before the end cuts the data short
      break;
    }
    if (empty_pieces >= kMaxEmptyPieces) {
      failed = true;
      break;
    }
    std::uint32_t next = NextDataRange(*in);
    if (LimitsReceive(s)) {
      s->data_used += 100;
      if (next > Allowance(s)) {
        next = Allowance(s);
        in->note_limit();
      }
      if (next == 0) break;
    }
    RangeRequest rr = RequestNextRange(c, next);
    if (rr == RangeRequest::kComplete) break;
    if (rr == RangeRequest::kFailed) {
      failed = true;
      break;
    }
  }
  if (cancelled) return kSyncCancelled;
  if (failed) return kSyncTransferFailed;
  if (in->limit_noted() && !c->complete) return kSyncDataLimit;
  return kSyncOk;
}

void CloseConnection(SyncSession* s) {
  if (s->client) Disconnect(s->client.get());
  s->state = kStateIdle;
  s->client.reset();
  Report(s, 0, 0, "Connection closed.", kStateIdle);
}

}  // namespace

std::string DateTimeAnchor(const platform::os::DateTime& now) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d'%02d", now.year % 10000, now.month % 100, now.day % 100,
                now.hour % 100, now.minute % 100);
  return text;
}

int CreateSession(SyncSession** out) {
  if (!out) return kSyncBadSession;
  *out = new (std::nothrow) SyncSession();
  return *out ? kSyncOk : kSyncAllocFailed;
}

int AddDatabase(SyncSession* s, const char* name) {
  if (!ValidSession(s) || !name) return kSyncBadSession;
  if (s->state < kStateIdle) return kSyncBusy;
  if (std::strlen(name) > kMaxWireName) return kSyncBadSession;
  WireObject request;
  request.name = kHeaderObject;
  request.properties.push_back(WireProperty::Text("Name", name));
  if (SyncStore::Database anchors = AnchorStore(s, false)) {
    WireObject stored;
    std::string anchor;
    if (s->store->ReadObject(anchors, name, &stored) == 0 && stored.GetText("LastAnchor", &anchor) &&
        anchor.size() <= kMaxAnchor) {
      request.properties.push_back(WireProperty::Text("LastAnchor", anchor));
    }
  }
  s->requests.insert(s->requests.begin(), std::move(request));
  ++s->request_count;
  return kSyncOk;
}

int SetUserAgent(SyncSession* s, const char* product, const char* version) {
  if (!ValidSession(s) || !product || !version) return kSyncBadSession;
  std::string line = std::string("User-Agent: ") + product + " version " + version;
  if (line.size() > 200) return kSyncBadSession;  // must fit the request header text
  s->user_agent = line;
  return kSyncOk;
}

int Synchronize(SyncSession* s, SyncCallback callback) {
  if (!ValidSession(s)) return kSyncBadSession;
  if (s->state < kStateIdle) return kSyncBusy;
  if (!s->store) return kSyncBadSession;
  s->callback = callback;
  Report(s, 0, 0, "Initializing...", s->state);
  s->state = kStateConnecting;

  s->client.reset(new (std::nothrow) HttpClient());
  if (!s->client) {
    s->state = kStateIdle;
    return kSyncAllocFailed;
  }
  HttpClient* c = s->client.get();
  std::uint32_t port = 0;
  ReadServerSettings(s, &c->host, &port);
  c->port = port;
  c->user_agent_line = s->user_agent;
  c->method = "POST";
  c->io_timeout_ms = s->io_timeout_ms;
  if (Report(s, 0, 0, "Contacting server", s->state) != 0) {
    s->client.reset();
    ReleaseAnchorStore(s);
    s->state = kStateIdle;
    return kSyncCancelled;
  }
  if (Connect(c) != 0) {
    Disconnect(c);
    s->state = kStateFailed;
    Report(s, 0, 0, "Connection failed.", kStateFailed);
    s->client.reset();
    ReleaseAnchorStore(s);
    Report(s, 0, 0, "Connection error occured!", s->state);
    return kSyncConnectFailed;
  }

  s->state = kStateSending;
  Report(s, 0, 0, "Sending request...", kStateSending);
  int rc = Phase1(s);
  if (rc == kSyncOk) {
    Report(s, 0, 0, "Receiving server requests...", kStateSending);
    s->state = kStateReceiving;
    rc = Phase2(s);
  }
  if (rc == kSyncOk) {
    s->state = kStateSending;
    Report(s, 0, 0, "Sending data content...", kStateSending);
    rc = Phase3(s);
    s->received.clear();
  }
  if (rc == kSyncOk) {
    s->state = kStateReceiving;
    Report(s, 0, 0, "Receiving data content...", kStateReceiving);
    rc = Phase4(s);
  }
  ReleaseAnchorStore(s);
  if (rc == kSyncOk) {
    s->state = kStateFinished;
    CloseConnection(s);
    Report(s, 0, 0, "Done.", s->state);
  } else {
    s->state = kStateFailed;
    CloseConnection(s);
    Report(s, 0, 0, "Sync error occured!", s->state);
  }
  return rc;
}

int EndSession(SyncSession* s, int force) {
  if (!ValidSession(s)) return kSyncBadSession;
  if (!force && s->state < kStateIdle) return kSyncBusy;
  if (s->client) Disconnect(s->client.get());
  ReleaseAnchorStore(s);
  std::memset(s->tag, 0, sizeof s->tag);
  delete s;
  return kSyncOk;
}

}  // namespace sync_engine
