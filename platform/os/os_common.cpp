// Parts of the os layer that need no operating system.
#include "platform/os.h"

namespace platform {
namespace os {

const char* StatusText(int status) {
  switch (status) {
    case kOk: return "ok";
    case kNotFound: return "not found";
    case kExists: return "already exists";
    case kAccessDenied: return "access denied";
    case kIoError: return "i/o error";
    case kWouldBlock: return "locked by another handle";
    case kTimedOut: return "timed out";
    case kClosed: return "connection closed";
    case kRefused: return "connection refused";
    case kInvalid: return "invalid argument";
    case kNoSpace: return "no space left";
    case kUnsupported: return "unsupported";
  }
  return "unknown error";
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  char last = dir.back();
  if (last == '/' || last == '\\') return dir + name;
  return dir + PathSeparator() + name;
}

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp;
    std::size_t len;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c >> 5) == 0x6) { cp = c & 0x1F; len = 2; }
    else if ((c >> 4) == 0xE) { cp = c & 0x0F; len = 3; }
    else if ((c >> 3) == 0x1E) { cp = c & 0x07; len = 4; }
    else { out.push_back(0xFFFD); ++i; continue; }
    if (i + len > s.size()) { out.push_back(0xFFFD); break; }
    bool ok = true;
    for (std::size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc >> 6) != 0x2) { ok = false; break; }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) { out.push_back(0xFFFD); ++i; continue; }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

int ReadWholeFile(const std::string& path, std::string* contents) {
  FileHandle f;
  int rc = OpenFile(path, kOpenRead, &f);
  if (rc != kOk) return rc;
  std::uint64_t size = 0;
  rc = GetFileSize(f, &size);
  if (rc == kOk) {
    contents->resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    rc = ReadAt(f, 0, contents->empty() ? nullptr : &(*contents)[0], contents->size(), &got);
    contents->resize(got);
  }
  CloseFile(f);
  return rc;
}

int WriteWholeFile(const std::string& path, const std::string& contents) {
  std::string tmp = path + ".tmp" + std::to_string(CurrentProcessId());
  FileHandle f;
  int rc = OpenFile(tmp, kOpenWrite | kOpenCreate | kOpenTruncate, &f);
  if (rc != kOk) return rc;
  rc = WriteAt(f, 0, contents.data(), contents.size());
  if (rc == kOk) rc = SyncFile(f);
  CloseFile(f);
  if (rc == kOk) rc = RenameFile(tmp, path);
  if (rc != kOk) RemoveFile(tmp);
  return rc;
}

std::string FormatAddress(std::uint32_t address) {
  return std::to_string((address >> 24) & 255) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

int SocketSendAll(Socket s, const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    std::size_t sent = 0;
    int rc = SocketSend(s, p, n, &sent);
    if (rc != kOk) return rc;
    p += sent;
    n -= sent;
  }
  return kOk;
}

}  // namespace os
}  // namespace platform
