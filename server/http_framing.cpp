#include "http_framing.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "sync/base64.h"

namespace tidelark_server {

long BufferSource::Read(char* out, std::size_t n) {
  std::size_t k = std::min(n, data_.size() - pos_);
  std::memcpy(out, data_.data() + pos_, k);
  pos_ += k;
  return static_cast<long>(k);
}

bool RequestReader::Fill() {
  if (eof_) return false;
  if (pos_ > 0 && pos_ == buf_.size()) {
    buf_.clear();
    pos_ = 0;
  }
  char tmp[16384];
  long n = source_->Read(tmp, sizeof tmp);
  if (n <= 0) {
    eof_ = true;
    return false;
  }
  if (pos_ > 65536) {  // keep the buffer from growing with consumed bytes
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  buf_.append(tmp, static_cast<std::size_t>(n));
  return true;
}

bool RequestReader::ReadLine(std::string* line, bool* eof_at_start) {
  if (eof_at_start) *eof_at_start = false;
  for (;;) {
    std::size_t lf = buf_.find('\n', pos_);
    if (lf != std::string::npos) {
      if (lf - pos_ > limits_.max_line) return false;
      std::size_t end = lf;
      if (end > pos_ && buf_[end - 1] == '\r') --end;
      line->assign(buf_, pos_, end - pos_);
      pos_ = lf + 1;
      return true;
    }
    if (buf_.size() - pos_ > limits_.max_line) return false;
    bool at_start = pos_ == buf_.size();
    if (!Fill()) {
      if (eof_at_start) *eof_at_start = at_start;
      return false;
    }
  }
}

bool RequestReader::ReadExact(std::size_t n, std::string* out) {
  while (buf_.size() - pos_ < n)
    if (!Fill()) return false;
  out->append(buf_, pos_, n);
  pos_ += n;
  return true;
}

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Decimal without sign, at most 18 digits.
bool ParseDecimal(const std::string& s, std::uint64_t* v) {
  if (s.empty() || s.size() > 18) return false;
  std::uint64_t r = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    r = r * 10 + static_cast<std::uint64_t>(c - '0');
  }
  *v = r;
  return true;
}

bool ParseRange(const std::string& value, std::uint64_t* start, std::uint64_t* length) {
  std::string v = Trim(value);
  if (v.compare(0, 6, "bytes=") != 0) return false;
  std::size_t dash = v.find('-', 6);
  if (dash == std::string::npos) return false;
  std::uint64_t a, b;
  if (!ParseDecimal(v.substr(6, dash - 6), &a) || !ParseDecimal(v.substr(dash + 1), &b) || b < a)
    return false;
  *start = a;
  *length = b - a + 1;
  return true;
}

}  // namespace

ReadStatus RequestReader::Read(HttpRequest* request, std::string* error) {
  *request = HttpRequest();
  std::string line;
  bool eof_at_start = false;
  // Tolerate blank lines between requests.
  do {
    if (!ReadLine(&line, &eof_at_start)) {
      if (eof_at_start) return ReadStatus::kClosed;
      *error = eof_ ? "connection closed inside a request line" : "request line too long";
      return ReadStatus::kError;
    }
  } while (line.empty());
  std::size_t sp1 = line.find(' ');
  std::size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
  if (sp2 == std::string::npos || line.compare(sp2 + 1, 7, "HTTP/1.") != 0) {
    *error = "not an HTTP/1.x request line";
    return ReadStatus::kError;
  }
  request->method = line.substr(0, sp1);
  if (request->method != "POST" && request->method != "GET") {
    *error = "method " + request->method.substr(0, 16) + " not served";
    return ReadStatus::kError;
  }
  bool has_length = false;
  std::uint64_t content_length = 0;
  for (std::size_t count = 0;; ++count) {
    if (count > limits_.max_headers) {
      *error = "too many header lines";
      return ReadStatus::kError;
    }
    if (!ReadLine(&line, nullptr)) {
      *error = "bad or unterminated header line";
      return ReadStatus::kError;
    }
    if (line.empty()) break;
    std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
      *error = "header line without a name";
      return ReadStatus::kError;
    }
    std::string name = Lower(Trim(line.substr(0, colon)));
    std::string value = Trim(line.substr(colon + 1));
    if (name == "range") {
      if (!ParseRange(value, &request->range_start, &request->range_length)) {
        *error = "bad Range header";
        return ReadStatus::kError;
      }
      request->has_range = true;
    } else if (name == "transfer-encoding") {
      if (Lower(value) != "chunked") {
        *error = "transfer coding other than chunked";
        return ReadStatus::kError;
      }
      request->chunked = true;
    } else if (name == "content-length") {
      if (!ParseDecimal(value, &content_length) || content_length > limits_.max_body) {
        *error = "bad Content-Length";
        return ReadStatus::kError;
      }
      has_length = true;
    } else if (name == "connection") {
      request->keep_alive = Lower(value) != "close";
    } else if (name == "user-agent") {
      request->user_agent = value.substr(0, 200);
    }
  }
  if (request->chunked && has_length) {
    *error = "both chunked and Content-Length";
    return ReadStatus::kError;
  }
  if (request->chunked) {
    std::size_t total = 0;
    for (;;) {
      if (!ReadLine(&line, nullptr)) {
        *error = "bad chunk size line";
        return ReadStatus::kError;
      }
      std::string size_text = Trim(line.substr(0, line.find(';')));
      if (size_text.empty() || size_text.size() > 8) {
        *error = "bad chunk size";
        return ReadStatus::kError;
      }
      std::size_t size = 0;
      for (char c : size_text) {
        int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : (c >= 'a' && c <= 'f')                     ? c - 'a' + 10
                : (c >= 'A' && c <= 'F')                     ? c - 'A' + 10
                                                             : -1;
        if (d < 0) {
          *error = "bad chunk size";
          return ReadStatus::kError;
        }
        size = size * 16 + static_cast<std::size_t>(d);
      }
      if (size > limits_.max_chunk || total + size > limits_.max_body) {
        *error = "chunk too large";
        return ReadStatus::kError;
      }
      if (size == 0) {
        // Trailer lines up to the empty line.
        for (std::size_t k = 0;; ++k) {
          if (k > limits_.max_headers || !ReadLine(&line, nullptr)) {
            *error = "bad chunked trailer";
            return ReadStatus::kError;
          }
          if (line.empty()) break;
        }
        break;
      }
      std::string data;
      std::string crlf;
      if (!ReadExact(size, &data) || !ReadExact(2, &crlf) || crlf != "\r\n") {
        *error = "chunk data cut short or not followed by CR LF";
        return ReadStatus::kError;
      }
      total += size;
      request->chunks.push_back(std::move(data));
    }
  } else if (has_length && content_length > 0) {
    if (!ReadExact(static_cast<std::size_t>(content_length), &request->body)) {
      *error = "body cut short";
      return ReadStatus::kError;
    }
  }
  return ReadStatus::kOk;
}

bool DecodeBase64Segment(const std::string& text, std::string* bytes) {
  if (text.size() % 4 != 0) return false;
  std::size_t pad = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool alpha = std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/';
    if (c == '=') {
      if (i + 2 < text.size()) return false;
      ++pad;
    } else if (!alpha || pad) {
      return false;
    }
  }
  if (pad > 2) return false;
  *bytes = sync_engine::Base64Decode(text);
  return bytes->size() == text.size() / 4 * 3 - pad;
}

const char kBodyTrailer[] = "\r\n\r\n";

std::string SliceResponse(std::uint64_t start, const std::string& body, std::uint64_t total, bool last) {
  std::string r;
  r.reserve(200 + body.size());
  r += last ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 206 Partial Content\r\n";
  r += "Content-Type: application/octet-stream\r\n";
  std::uint64_t end = last ? total : start + (body.empty() ? 0 : body.size() - 1);
  r += "Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(end) + "/" + std::to_string(total) +
       "\r\n";
  r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  r += "Connection: Keep-Alive\r\n\r\n";
  if (!body.empty()) {
    r += body;
    r += kBodyTrailer;
  }
  return r;
}

std::string ErrorTextResponse(const std::string& text) {
  // Not "200": a final status would tell the device that the transfer is
  // complete. With this status the device shows the text and reports a
  // failed transfer. No "Connection: close" either, for the same reason,
  // though the connection closes after it.
  return "HTTP/1.1 203 Non-Authoritative Information\r\nContent-Type: txt\r\nContent-Length: " +
         std::to_string(text.size()) + "\r\n\r\n" + text + (text.empty() ? "" : kBodyTrailer);
}

std::string BadRequestResponse() {
  return "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

}  // namespace tidelark_server
