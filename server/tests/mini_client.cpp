#include "mini_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "sync/base64.h"

namespace tidelark_test {

using sync_engine::WireObject;
using sync_engine::WireProperty;

void MiniDevice::SeedStartup(const std::string& user, const std::string& pass) {
  WireObject u;
  u.name = "TavoUser";
  u.properties.push_back(WireProperty::Text("User", user));
  if (!pass.empty()) u.properties.push_back(WireProperty::Text("Pass", pass));
  dbs["TavoPrefs"]["TavoUser"] = u;
  WireObject d;
  d.name = "TavoDevice";
  d.properties.push_back(WireProperty::Text("DevType", "Pocket"));
  d.properties.push_back(WireProperty::Int("Width", 240));
  dbs["TavoPrefs"]["TavoDevice"] = d;
  const char* ids[] = {"12441", "6325", "12444"};
  for (const char* id : ids) {
    WireObject c;
    c.name = std::string("Channel ") + id;
    c.properties.push_back(WireProperty::Text("ChName", std::string("Seed ") + id));
    c.properties.push_back(WireProperty::Text("DbName", std::string("Tavo ") + id));
    c.properties.push_back(WireProperty::Text("Plugin", "News"));
    c.properties.push_back(WireProperty::Text("URL", ""));
    c.properties.push_back(WireProperty::Text("Subscr", "Yes"));
    c.properties.push_back(WireProperty::Int("Rating", 0));
    c.properties.push_back(WireProperty::Binary("Icon", "GIF89a"));
    dbs["TavoRss"][c.name] = c;
  }
  WireObject s;
  s.name = "SyncStats";
  s.properties.push_back(WireProperty::Int("StartCount", 1));
  dbs["TavoInfo"]["SyncStats"] = s;
}

std::vector<std::string> MiniDevice::SubscribedDbs() const {
  std::vector<std::string> out;
  auto it = dbs.find("TavoRss");
  if (it == dbs.end()) return out;
  for (const auto& [name, o] : it->second) {
    std::string sub, db;
    if (o.GetText("Subscr", &sub) && sub == "Yes" && o.GetText("DbName", &db)) out.push_back(db);
  }
  return out;
}

std::vector<std::string> ReaderOrder(const MiniDevice& device) {
  std::vector<std::string> order = {"TavoRss", "TavoAlerts"};
  for (const std::string& db : device.SubscribedDbs()) order.push_back(db);
  order.push_back("TavoInfo");
  order.push_back("TavoSets");
  order.push_back("TavoPrefs");
  return order;
}

int ConnectLocal(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
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

namespace {

class Conn {
 public:
  explicit Conn(int fd) : fd_(fd) {}
  ~Conn() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  bool Send(const std::string& s) { return SendText(fd_, s); }
  bool Line(std::string* line) {
    line->clear();
    for (;;) {
      char c;
      if (!Byte(&c)) return false;
      line->push_back(c);
      if (c == '\n') return true;
      if (line->size() > 1000) return false;
    }
  }
  bool Exact(std::size_t n, std::string* out) {
    out->clear();
    while (out->size() < n) {
      char c;
      if (!Byte(&c)) return false;
      out->push_back(c);
    }
    return true;
  }

 private:
  bool Byte(char* c) {
    if (pos_ == len_) {
      ssize_t n = recv(fd_, buf_, sizeof buf_, 0);
      if (n <= 0) return false;
      len_ = static_cast<std::size_t>(n);
      pos_ = 0;
    }
    *c = buf_[pos_++];
    return true;
  }
  int fd_;
  char buf_[16384];
  std::size_t pos_ = 0, len_ = 0;
};

const char kAgent[] = "User-Agent: Tavo Sync Engine version 1.0.10B2 for PocketPC";

std::string Head(std::size_t start, std::size_t length, bool chunked) {
  std::string h = "POST / HTTP/1.1\r\nConnection: Keep-Alive\r\nCache-Control: no-store\r\n";
  h += std::string(kAgent) + "\r\n";
  h += "Range: bytes=" + std::to_string(start) + "-" + std::to_string(start + length - 1) + "\r\n";
  if (chunked) h += "Transfer-Encoding: chunked\r\n";
  return h + "\r\n";
}

// Objects to pieces of at most 10000 bytes, each a Base64 chunk.
std::string ChunkedBody(const std::vector<WireObject>& objects, bool names_only_from_second,
                        const std::vector<bool>* names_only) {
  std::string body;
  std::vector<std::uint8_t> piece(sync_engine::kPieceBytes);
  std::size_t used = 0;
  auto flush = [&] {
    if (!used) return;
    std::string b64 = sync_engine::Base64Encode(std::string(reinterpret_cast<char*>(piece.data()), used));
    char size[16];
    std::snprintf(size, sizeof size, "%zx", b64.size());
    body += std::string(size) + "\r\n" + b64 + "\r\n";
    used = 0;
  };
  for (std::size_t i = 0; i < objects.size(); ++i) {
    bool names = names_only ? (*names_only)[i] : false;
    std::uint32_t cursor = sync_engine::kCursorStart;
    while (!sync_engine::EncodeObject(objects[i], false, names, piece.data(), piece.size(), &used, &cursor))
      flush();
  }
  (void)names_only_from_second;
  flush();
  return body + "0\r\n\r\n";
}

struct Slice {
  bool ok = false, complete = false, txt = false;
  std::string bytes;
};

Slice ReadSlice(Conn* c) {
  Slice s;
  std::string line, type;
  std::size_t length = 0;
  if (!c->Line(&line) || line.find("HTTP/1") == std::string::npos || line.find("20") == std::string::npos)
    return s;
  if (line.find("200") != std::string::npos) s.complete = true;
  while (c->Line(&line) && line != "\r\n") {
    if (line.find("Content-Type") != std::string::npos) type = line.substr(line.find(':') + 2);
    if (line.find("Content-Length") != std::string::npos) length = std::stoul(line.substr(line.find(':') + 1));
    if (line.find("Content-Range") != std::string::npos) {
      std::size_t dash = line.find('-'), slash = line.find('/');
      if (line.substr(dash + 1, slash - dash - 1) == line.substr(slash + 1, line.find('\r') - slash - 1))
        s.complete = true;
    }
  }
  std::string body;
  if (!c->Exact(length, &body)) return s;
  if (type.compare(0, 3, "txt") == 0) {
    s.complete = false;
    s.txt = true;
    s.bytes = body;
    s.ok = true;
    return s;
  }
  std::string tail;
  if (!c->Exact(4, &tail) || tail != "\r\n\r\n") return s;
  s.bytes = sync_engine::Base64Decode(body);
  s.ok = true;
  return s;
}

// Reads a whole ranged resource; the first slice answers the POST already sent.
bool ReadResource(Conn* c, std::string* all, std::string* txt) {
  all->clear();
  for (;;) {
    Slice s = ReadSlice(c);
    if (!s.ok) return false;
    if (s.txt) {
      *txt = s.bytes;
      return false;
    }
    *all += s.bytes;
    if (s.complete) return true;
    if (!c->Send(Head(all->size(), sync_engine::kPieceChars, false))) return false;
  }
}

bool ParseAll(const std::string& bytes, std::vector<WireObject>* out) {
  sync_engine::ObjectParser parser;
  std::size_t consumed = 0;
  for (;;) {
    WireObject o;
    auto step = parser.Next(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &consumed, &o);
    if (step == sync_engine::ObjectParser::kObject) {
      out->push_back(std::move(o));
      continue;
    }
    return step == sync_engine::ObjectParser::kNeedMore && consumed == bytes.size();
  }
}

}  // namespace

SyncOutcome RunSync(int port, MiniDevice* device, const std::vector<std::string>& databases) {
  SyncOutcome out;
  Conn c(ConnectLocal(port));
  if (!c.ok()) {
    out.error = "connect failed";
    return out;
  }
  // Phase 1: request objects, newest first.
  std::vector<WireObject> requests;
  for (auto it = databases.rbegin(); it != databases.rend(); ++it) {
    WireObject r;
    r.name = "Sync-Database";
    r.properties.push_back(WireProperty::Text("Name", *it));
    auto a = device->anchors.find(*it);
    if (a != device->anchors.end()) r.properties.push_back(WireProperty::Text("LastAnchor", a->second));
    requests.push_back(r);
  }
  if (!c.Send(Head(0, sync_engine::kPieceChars, true) + ChunkedBody(requests, false, nullptr))) {
    out.error = "phase 1 send failed";
    return out;
  }
  std::string resource;
  if (!ReadResource(&c, &resource, &out.error_text)) {
    out.error = "phase 2 failed";
    return out;
  }
  std::vector<WireObject> server_requests;
  if (!ParseAll(resource, &server_requests)) {
    out.error = "phase 2 resource malformed";
    return out;
  }
  // Phase 3: per request, the request itself and the database's objects.
  std::vector<WireObject> stream;
  std::vector<bool> names_only;
  for (const WireObject& r : server_requests) {
    std::string db, op;
    if (!r.GetText("Name", &db)) continue;
    stream.push_back(r);
    names_only.push_back(false);
    if (!r.GetText("Operation", &op)) continue;
    for (const auto& [name, o] : device->dbs[db]) {
      stream.push_back(o);
      names_only.push_back(op == "SendAllNames");
    }
  }
  if (!c.Send(Head(0, sync_engine::kPieceBytes, true) + ChunkedBody(stream, false, &names_only))) {
    out.error = "phase 3 send failed";
    return out;
  }
  if (!ReadResource(&c, &resource, &out.error_text)) {
    out.error = out.error_text.empty() ? "phase 4 failed" : "server refused";
    return out;
  }
  out.received_bytes = resource.size();
  std::vector<WireObject> data;
  if (!ParseAll(resource, &data)) {
    out.error = "phase 4 resource malformed";
    return out;
  }
  Database* current = nullptr;
  std::string objects_op;
  for (WireObject& o : data) {
    if (o.name == "Sync-Database") {
      std::string db, op, anchor;
      o.GetText("Name", &db);
      o.GetText("Operation", &op);
      objects_op = "Add";
      o.GetText("Objects Operation", &objects_op);
      current = &device->dbs[db];
      if (op == "Create" || op == "Overwrite") current->clear();
      if (o.GetText("NewAnchor", &anchor)) device->anchors[db] = anchor;
      out.headers.push_back(db + " " + op + " " + objects_op);
      continue;
    }
    if (!current) continue;
    ++out.received_objects;
    if (objects_op == "Delete") {
      current->erase(o.name);
      continue;
    }
    // Written with update and add: properties merge into a held object.
    WireObject& held = (*current)[o.name];
    held.name = o.name;
    for (WireProperty& p : o.properties) {
      bool replaced = false;
      for (WireProperty& h : held.properties)
        if (h.name == p.name) {
          h = p;
          replaced = true;
        }
      if (!replaced) held.properties.push_back(p);
    }
  }
  out.ok = true;
  return out;
}

}  // namespace tidelark_test
