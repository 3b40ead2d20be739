// HTTP client of the sync engine. Header lines are read one byte per receive
// call so that nothing of the following body is consumed.
#include "sync/http_client.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/services.h"

namespace sync_engine {

namespace os = platform::os;

namespace {

constexpr int kMaxHeaderLines = 100;  // a server sending endless headers is broken
constexpr std::size_t kTrailerBytes = 4;

bool StartsWith(const char* line, std::size_t length, const char* what) {
  std::size_t n = std::strlen(what);
  return n <= length && std::memcmp(line, what, n) == 0;
}

bool Contains(const char* line, std::size_t length, const char* what) {
  std::size_t n = std::strlen(what);
  if (n > length) return false;
  for (std::size_t i = 0; i + n <= length; ++i) {
    if (std::memcmp(line + i, what, n) == 0) return true;
  }
  return false;
}

std::size_t Find(const char* line, std::size_t length, char c, std::size_t from) {
  for (std::size_t i = from; i < length; ++i) {
    if (line[i] == c) return i;
  }
  return length;
}

// Decimal digits at line[*at], skipping blanks first; saturates instead of overflowing.
std::uint32_t Number(const char* line, std::size_t length, std::size_t* at) {
  std::size_t i = *at;
  while (i < length && (line[i] == ' ' || line[i] == '\t')) ++i;
  std::uint64_t v = 0;
  while (i < length && line[i] >= '0' && line[i] <= '9') {
    v = v * 10 + static_cast<unsigned>(line[i] - '0');
    if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
    ++i;
  }
  *at = i;
  return static_cast<std::uint32_t>(v);
}

// Text after the first ":", leading blanks skipped, cut at the line end.
std::string HeaderValue(const char* line, std::size_t length) {
  std::size_t i = Find(line, length, ':', 0);
  if (i < length) ++i;
  while (i < length && (line[i] == ' ' || line[i] == '\t')) ++i;
  std::size_t end = i;
  while (end < length && line[end] != '\r' && line[end] != '\n') ++end;
  return std::string(line + i, end - i);
}

}  // namespace

int Connect(HttpClient* client) {
  if (client->socket != os::kInvalidSocket) Disconnect(client);
  if (client->host.empty() || client->port == 0 || client->port > 65535) return -1;
  if (os::SocketStartup() != os::kOk) return -1;
  os::Socket s = os::kInvalidSocket;
  // TcpConnect takes a dotted address as it is: a reverse lookup would make
  // an address without a DNS entry unreachable.
  if (os::TcpConnect(client->host, static_cast<std::uint16_t>(client->port), client->io_timeout_ms, &s) !=
      os::kOk) {
    return -1;
  }
  if (os::SetSocketTimeouts(s, client->io_timeout_ms, client->io_timeout_ms) != os::kOk) {
    os::CloseSocket(s);
    return -1;
  }
  client->socket = s;
  return 0;
}

void Disconnect(HttpClient* client) {
  if (client->socket == os::kInvalidSocket) return;
  os::SocketShutdown(client->socket);
  os::CloseSocket(client->socket);
  client->socket = os::kInvalidSocket;
}

int SendAll(HttpClient* client, const void* bytes, std::size_t length) {
  if (client->socket == os::kInvalidSocket) return -1;
  if (os::SocketSendAll(client->socket, bytes, length) != os::kOk) return -1;
  return static_cast<int>(length);
}

int ReceiveBytes(HttpClient* client, void* buffer, std::size_t length, SyncCallback callback, int* cancel) {
  if (client->socket == os::kInvalidSocket) return -1;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t received = 0;
  while (received < length) {
    std::size_t got = 0;
    int rc = os::SocketRecv(client->socket, out + received, length - received, &got);
    if (rc == os::kClosed) break;
    if (rc != os::kOk) return -1;  // includes the stall time-out
    received += got;
    if (callback) {
      int percent = static_cast<int>(static_cast<std::uint64_t>(received) * 100 / length);
      if (callback(percent, 0, "Receiving data...", 2) != 0 && cancel) *cancel = 1;
    }
  }
  return static_cast<int>(received);
}

int ReadLine(HttpClient* client, char* buffer, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity) {
    std::size_t got = 0;
    if (client->socket == os::kInvalidSocket) return -1;
    if (os::SocketRecv(client->socket, buffer + n, 1, &got) != os::kOk || got != 1) return -1;
    if (buffer[n++] == '\n') return static_cast<int>(n);
  }
  return 0;
}

bool BuildRequestHeaders(const HttpClient& client, std::string* text) {
  std::string t;
  t.reserve(kHeaderTextBytes);
  t += client.method ? std::string(client.method) + " /" : std::string("GET /");
  t += " HTTP/1.1\r\n";
  t += "Connection: Keep-Alive\r\n";
  t += "Cache-Control: no-store\r\n";
  t += client.user_agent_line.empty() ? std::string("User-Agent: Korvel Sync Engine for PocketPC")
                                      : client.user_agent_line;
  t += "\r\n";
  if (client.accept) t += std::string("Accept: ") + client.accept + "\r\n";
  std::uint32_t last = client.range_start + client.range_length - 1;
  t += "Range: bytes=" + std::to_string(client.range_start) + "-" + std::to_string(last) + "\r\n";
  if (client.chunked) {
    t += "Transfer-Encoding: chunked\r\n";
  } else if (client.request_body_length >= 1) {
    t += "Content-Length: " + std::to_string(client.request_body_length) + "\r\n";
  }
  t += "\r\n";
  // The header text has a fixed 1000-byte buffer (with its terminating zero).
  if (t.size() >= kHeaderTextBytes) return false;
  *text = std::move(t);
  return true;
}

int SendRequestHeaders(HttpClient* client) {
  std::string text;
  if (!BuildRequestHeaders(*client, &text)) return -1;
  return SendAll(client, text.data(), text.size()) < 0 ? -1 : 0;
}

int BeginChunkedRequest(HttpClient* client) {
  client->chunked = 1;
  client->total_length = 0;
  return SendRequestHeaders(client);
}

int SendChunk(HttpClient* client, const void* bytes, std::size_t length) {
  if (length == 0) return 0;  // a zero chunk would end the body
  char head[20];
  int n = std::snprintf(head, sizeof head, "%lx\r\n", static_cast<unsigned long>(length));
  if (SendAll(client, head, static_cast<std::size_t>(n)) < 0) return -1;
  if (SendAll(client, bytes, length) < 0) return -1;
  return SendAll(client, "\r\n", 2);
}

int EndChunkedRequest(HttpClient* client) { return SendAll(client, "0\r\n\r\n", 5) < 0 ? -1 : 0; }

RangeRequest RequestNextRange(HttpClient* client, std::uint32_t range_length) {
  if (client->complete) return RangeRequest::kComplete;
  client->range_length = range_length;
  client->request_body_length = 0;
  client->chunked = 0;
  return SendRequestHeaders(client) == 0 ? RangeRequest::kRequested : RangeRequest::kFailed;
}

bool ApplyResponseHeaderLine(HttpClient* c, const char* line, std::size_t length) {
  if (StartsWith(line, length, "HTTP/1")) {
    // Only a 2xx status is a success: "520" or "420" also contain "20".
    std::size_t at = Find(line, length, ' ', 0);
    std::uint32_t status = Number(line, length, &at);
    if (status >= 200 && status <= 299) {
      c->response_state = kResponseOk;
      if (status == 200) c->complete = 1;
    }
  } else if (Contains(line, length, "Content-Type")) {
    c->content_type = HeaderValue(line, length);
  } else if (Contains(line, length, "Content-Range")) {
    std::size_t colon = Find(line, length, ':', 0);
    std::size_t dash = Find(line, length, '-', colon);
    std::size_t slash = Find(line, length, '/', dash);
    if (dash < length && slash < length) {
      std::size_t at = dash + 1;
      std::uint32_t end = Number(line, length, &at);
      at = slash + 1;
      std::uint32_t total = Number(line, length, &at);
      c->total_length = total;
      if (end == total) {
        c->complete = 1;
      } else {
        c->more_announced = 1;
      }
    }
  } else if (Contains(line, length, "Content-Length")) {
    std::size_t at = Find(line, length, ':', 0);
    if (at < length) ++at;
    c->content_length = Number(line, length, &at);
  } else if (Contains(line, length, "Accept-Ranges: bytes")) {
    // nothing to do: ranges are always used
  } else if (Contains(line, length, "Connection: close")) {
    // A closing error answer stays an error; a closing success completes
    // the transfer unless its content range announced more.
    if (c->response_state == kResponseOk) {
      c->response_state = kResponseClosing;
      if (!c->more_announced) {
        c->complete = 1;
        c->total_length = c->content_length;
      }
    }
    return false;
  }
  return true;
}

void ReadResponseHeaders(HttpClient* client) {
  client->response_state = kResponseFailed;
  client->total_length = 0;
  client->content_length = 0;
  client->complete = 0;
  client->more_announced = 0;
  client->content_type.clear();
  bool examine = true;
  for (int lines = 0; lines < kMaxHeaderLines; ++lines) {
    char line[kHeaderLineBytes];
    int n = ReadLine(client, line, sizeof line);
    if (n < 0) {
      // Headers cut off by a receive error or a close: no response came whole.
      client->response_state = kResponseFailed;
      client->complete = 0;
      return;
    }
    std::size_t len = n == 0 ? sizeof line : static_cast<std::size_t>(n);
    bool blank = (len == 2 && line[0] == '\r' && line[1] == '\n') || (len == 1 && line[0] == '\n');
    if (blank) return;
    // After "Connection: close" the remaining lines up to the blank one are
    // still consumed, else they would be taken for the body.
    if (examine) examine = ApplyResponseHeaderLine(client, line, len);
    if (n == 0) return;
  }
  client->response_state = kResponseFailed;  // endless headers: a broken server
  client->complete = 0;
}

ReadResult ReadResponse(HttpClient* client, void* buffer, std::size_t capacity, std::uint32_t* length,
                        SyncCallback callback, int* cancel) {
  *length = 0;
  ReadResponseHeaders(client);
  const bool closing = client->response_state == kResponseClosing;
  if (client->response_state != kResponseOk && !closing) {
    client->total_length = 0;
    return ReadResult::kFailed;
  }
  if (client->content_length == 0) return closing ? ReadResult::kClosing : ReadResult::kEmpty;
  if (client->content_length > capacity) return ReadResult::kFailed;  // would overflow the caller's buffer
  int got = ReceiveBytes(client, buffer, client->content_length, callback, cancel);
  // A receive error, a stall or a close inside the body: what came is not the body.
  if (got < 0 || static_cast<std::uint32_t>(got) < client->content_length) return ReadResult::kFailed;
  std::uint8_t trailer[kTrailerBytes];
  if (client->content_type == "txt") {
    std::string text(static_cast<const char*>(buffer), client->content_length);
    std::size_t z = text.find('\0');
    if (z != std::string::npos) text.resize(z);
    ReceiveBytes(client, trailer, sizeof trailer, nullptr, nullptr);
    platform::GetServices().message_box(nullptr, platform::os::Utf8ToUtf16(text), u"Error", platform::kMbOk);
    return ReadResult::kErrorText;
  }
  client->range_start += client->content_length;
  *length = client->content_length;
  ReceiveBytes(client, trailer, sizeof trailer, nullptr, nullptr);
  return closing ? ReadResult::kClosing : ReadResult::kBody;
}

}  // namespace sync_engine
