// The sync engine's HTTP/1.1 client: one keep-alive TCP connection per
// session, request headers assembled as text, chunked request bodies and
// responses read piece by piece with byte ranges. It moves bytes only; the
// session gives them meaning.
//
// Invariants: every fixed buffer (1000-byte header text, 200-byte header
// line, the caller's body buffer) is bounds-checked; a socket never blocks
// longer than io_timeout_ms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/os.h"

namespace sync_engine {

// (percent, second value, text, state) -> non-zero asks to cancel.
using SyncCallback = int (*)(int percent, int value, const char* text, int state);

// A stalled server fails the transfer after this long instead of hanging it.
constexpr int kSocketTimeoutMs = 60000;
constexpr std::size_t kHeaderTextBytes = 1000;
constexpr std::size_t kHeaderLineBytes = 200;

enum ResponseState : std::int32_t {
  kResponseOk = 1,       // a 2xx status line seen
  kResponseFailed = 2,   // no success status line
  kResponseClosing = 3,  // a success status, and the server closes the connection after this response
};

// What reading one response gave.
enum class ReadResult {
  kBody,       // a body of *length characters; the range start moved past it
  kEmpty,      // a success status with an empty body
  kErrorText,  // the server's error text ("txt"), shown to the user; a failure
  kClosing,    // a success status, and the server closes after it (a body, if any, is in the buffer)
  kFailed,     // no success status, a body larger than the buffer or cut short, a receive error
};

// What asking for the next range did.
enum class RangeRequest {
  kComplete,   // the server has delivered everything: nothing was sent
  kRequested,
  kFailed,     // the request could not be sent
};

struct HttpClient {
  std::uint32_t total_length = 0;
  std::uint32_t range_start = 0;
  std::uint32_t content_length = 0;
  std::uint32_t range_length = 0;
  std::uint32_t complete = 0;
  // The last response's content range announced more to follow: a closing
  // connection then cuts the resource short instead of completing it.
  std::uint32_t more_announced = 0;
  std::string host;
  std::uint32_t port = 0;
  std::uint32_t request_body_length = 0;
  std::uint32_t chunked = 0;
  const char* method = nullptr;
  const char* accept = nullptr;
  std::string content_type;
  std::string user_agent_line;  // complete header line without its line end; empty: the default
  std::int32_t response_state = kResponseFailed;
  platform::os::Socket socket = platform::os::kInvalidSocket;
  int io_timeout_ms = kSocketTimeoutMs;
};

// 0 connected; -1 on any failure (socket cleaned up). A dotted IPv4 host is
// connected to directly.
int Connect(HttpClient* client);
void Disconnect(HttpClient* client);
int SendAll(HttpClient* client, const void* bytes, std::size_t length);
// Bytes received (fewer when the peer closed), -1 on a receive error. The
// callback only sets *cancel; the body is still read to its end.
int ReceiveBytes(HttpClient* client, void* buffer, std::size_t length, SyncCallback callback, int* cancel);
// Length including the line feed; 0 when capacity bytes came without one; -1 on error.
int ReadLine(HttpClient* client, char* buffer, std::size_t capacity);

// The request header text that SendRequestHeaders sends; false when it
// would not fit the 1000-byte header buffer.
bool BuildRequestHeaders(const HttpClient& client, std::string* text);
int SendRequestHeaders(HttpClient* client);
int BeginChunkedRequest(HttpClient* client);
int SendChunk(HttpClient* client, const void* bytes, std::size_t length);
int EndChunkedRequest(HttpClient* client);
RangeRequest RequestNextRange(HttpClient* client, std::uint32_t range_length);

// Applies one response header line to the client: a status line by its
// code (2xx a success, 200 complete), the others by the substring rules.
// Returns false when no further lines are to be examined.
bool ApplyResponseHeaderLine(HttpClient* client, const char* line, std::size_t length);
void ReadResponseHeaders(HttpClient* client);
// Reads one response into buffer (capacity bytes); *length is the body's
// length when one was taken (kBody, kClosing), else 0. A body counts only
// when it arrived whole.
ReadResult ReadResponse(HttpClient* client, void* buffer, std::size_t capacity, std::uint32_t* length,
                        SyncCallback callback, int* cancel);

}  // namespace sync_engine
