// The HTTP/1.1 framing the device's sync client speaks: one keep-alive
// connection, POST requests with a chunked body (each chunk one Base64
// segment) or with no body (the next range of the server's resource), and
// responses that carry one Base64 segment followed by four extra bytes.
// Ranges count the characters of those segments, as the device does.
//
// Invariants: a request is read with fixed limits on line length, header
// count, chunk size and body size, so a hostile peer costs bounded memory;
// a framing error is reported, never guessed around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tidelark_server {

// Where request bytes come from: a socket in the server, a buffer in tests
// and in the fuzzer. Read returns bytes read (> 0), 0 at end, < 0 on error.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual long Read(char* out, std::size_t n) = 0;
};

class BufferSource : public ByteSource {
 public:
  explicit BufferSource(std::string data) : data_(std::move(data)) {}
  long Read(char* out, std::size_t n) override;

 private:
  std::string data_;
  std::size_t pos_ = 0;
};

struct RequestLimits {
  std::size_t max_line = 4096;
  std::size_t max_headers = 64;
  std::size_t max_chunk = 64 * 1024;
  std::size_t max_body = 4u << 20;  // a device with a hundred channels sends well under 1 MB
};

struct HttpRequest {
  std::string method;
  std::string user_agent;
  bool has_range = false;
  std::uint64_t range_start = 0;
  std::uint64_t range_length = 0;
  bool chunked = false;
  bool keep_alive = true;
  std::vector<std::string> chunks;  // chunk payloads of a chunked body
  std::string body;                 // a Content-Length body
};

enum class ReadStatus { kOk, kClosed, kError };

// Buffered reader over a source; reads one request at a time.
class RequestReader {
 public:
  explicit RequestReader(ByteSource* source, RequestLimits limits = RequestLimits())
      : source_(source), limits_(limits) {}

  // kClosed when the peer closed cleanly before a request began.
  ReadStatus Read(HttpRequest* request, std::string* error);

 private:
  bool Fill();
  // One line without its CR LF; false on error or when it is too long.
  bool ReadLine(std::string* line, bool* eof_at_start);
  bool ReadExact(std::size_t n, std::string* out);

  ByteSource* source_;
  RequestLimits limits_;
  std::string buf_;
  std::size_t pos_ = 0;
  bool eof_ = false;
};

// Strict Base64: the alphabet, a multiple of four characters, padding only at
// the end. False for anything else.
bool DecodeBase64Segment(const std::string& text, std::string* bytes);

// The four bytes the device takes after every body it reads (not after an
// empty one, which it does not read).
extern const char kBodyTrailer[];

// A slice of a resource in the device's units: `start`, `body` and `total`
// count Base64 characters; `body` is one independently padded segment. 206
// before the last slice, 200 for it, whose content range ends at the total
// itself (the device's sign of completion).
std::string SliceResponse(std::uint64_t start, const std::string& body, std::uint64_t total, bool last);
// An error text the device shows; the connection closes after it.
std::string ErrorTextResponse(const std::string& text);
std::string BadRequestResponse();

}  // namespace tidelark_server
