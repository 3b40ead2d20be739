// Windows implementation of the os layer (Win32, Winsock).
#include "platform/os.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <mutex>

namespace platform {
namespace os {

namespace {

std::wstring W(const std::string& s) {
  std::u16string u = Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}

std::string U(const wchar_t* s) {
  std::u16string u;
  for (; *s; ++s) u.push_back(static_cast<char16_t>(*s));
  return Utf16ToUtf8(u);
}

int FromWin(DWORD e) {
  switch (e) {
    case ERROR_SUCCESS: return kOk;
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_DRIVE: return kNotFound;
    case ERROR_FILE_EXISTS: case ERROR_ALREADY_EXISTS: return kExists;
    case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: case ERROR_WRITE_PROTECT: return kAccessDenied;
    case ERROR_LOCK_VIOLATION: case ERROR_IO_PENDING: return kWouldBlock;
    case ERROR_INVALID_HANDLE: case ERROR_INVALID_PARAMETER: return kInvalid;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return kNoSpace;
  }
  return kIoError;
}

int FromWsa(int e) {
  switch (e) {
    case 0: return kOk;
    case WSAETIMEDOUT: case WSAEWOULDBLOCK: return kTimedOut;
    case WSAECONNREFUSED: case WSAENETUNREACH: case WSAEHOSTUNREACH: return kRefused;
    case WSAECONNRESET: case WSAECONNABORTED: case WSAESHUTDOWN: return kClosed;
    case WSAEADDRINUSE: return kExists;
    case WSAEINVAL: case WSAENOTSOCK: return kInvalid;
    case WSAHOST_NOT_FOUND: case WSANO_DATA: return kNotFound;
  }
  return kIoError;
}

std::mutex g_program_dir_mutex;
std::string g_program_dir;

}  // namespace

char PathSeparator() { return '\\'; }

int OpenFile(const std::string& path, unsigned flags, FileHandle* out) {
  *out = kInvalidFile;
  DWORD access = 0;
  if (flags & kOpenRead) access |= GENERIC_READ;
  if (flags & kOpenWrite) access |= GENERIC_WRITE;
  if (access == 0) access = GENERIC_READ;
  DWORD disposition;
  if ((flags & kOpenCreate) && (flags & kOpenExclusive)) disposition = CREATE_NEW;
  else if ((flags & kOpenCreate) && (flags & kOpenTruncate)) disposition = CREATE_ALWAYS;
  else if (flags & kOpenCreate) disposition = OPEN_ALWAYS;
  else if (flags & kOpenTruncate) disposition = TRUNCATE_EXISTING;
  else disposition = OPEN_EXISTING;
  HANDLE h = CreateFileW(W(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FromWin(GetLastError());
  *out = reinterpret_cast<FileHandle>(h);
  return kOk;
}

void CloseFile(FileHandle file) {
  if (file != kInvalidFile) CloseHandle(reinterpret_cast<HANDLE>(file));
}

int ReadAt(FileHandle file, std::uint64_t offset, void* buf, std::size_t n, std::size_t* got) {
  std::size_t done = 0;
  char* p = static_cast<char*>(buf);
  while (done < n) {
    OVERLAPPED ov = {};
    std::uint64_t off = offset + done;
    ov.Offset = static_cast<DWORD>(off);
    ov.OffsetHigh = static_cast<DWORD>(off >> 32);
    DWORD chunk = static_cast<DWORD>(n - done > 0x40000000 ? 0x40000000 : n - done);
    DWORD r = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(file), p + done, chunk, &r, &ov)) {
      DWORD e = GetLastError();
      if (e == ERROR_HANDLE_EOF) break;
      if (got) *got = done;
      return FromWin(e);
    }
    if (r == 0) break;
    done += r;
  }
  if (got) *got = done;
  return kOk;
}

int WriteAt(FileHandle file, std::uint64_t offset, const void* buf, std::size_t n) {
  std::size_t done = 0;
  const char* p = static_cast<const char*>(buf);
  while (done < n) {
    OVERLAPPED ov = {};
    std::uint64_t off = offset + done;
    ov.Offset = static_cast<DWORD>(off);
    ov.OffsetHigh = static_cast<DWORD>(off >> 32);
    DWORD chunk = static_cast<DWORD>(n - done > 0x40000000 ? 0x40000000 : n - done);
    DWORD w = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file), p + done, chunk, &w, &ov)) return FromWin(GetLastError());
    done += w;
  }
  return kOk;
}

int GetFileSize(FileHandle file, std::uint64_t* size) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(reinterpret_cast<HANDLE>(file), &li)) return FromWin(GetLastError());
  *size = static_cast<std::uint64_t>(li.QuadPart);
  return kOk;
}

int SetFileSize(FileHandle file, std::uint64_t size) {
  FILE_END_OF_FILE_INFO info;
  info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFileInformationByHandle(reinterpret_cast<HANDLE>(file), FileEndOfFileInfo, &info, sizeof info))
    return FromWin(GetLastError());
  return kOk;
}

int SyncFile(FileHandle file) {
  if (!FlushFileBuffers(reinterpret_cast<HANDLE>(file))) return FromWin(GetLastError());
  return kOk;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
  DWORD a = GetFileAttributesW(W(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int RemoveFile(const std::string& path) {
  if (!DeleteFileW(W(path).c_str())) return FromWin(GetLastError());
  return kOk;
}

int RenameFile(const std::string& from, const std::string& to) {
  if (!MoveFileExW(W(from).c_str(), W(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return FromWin(GetLastError());
  return kOk;
}

int MakeDirectories(const std::string& path) {
  if (path.empty()) return kInvalid;
  std::string partial;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      if (!partial.empty() && partial.back() != ':' && !IsDirectory(partial)) {
        if (!CreateDirectoryW(W(partial).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
          return FromWin(GetLastError());
      }
    }
    if (i < path.size()) partial.push_back(path[i]);
  }
  return IsDirectory(path) ? kOk : kIoError;
}

int RemoveTree(const std::string& path) {
  DWORD a = GetFileAttributesW(W(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return kOk;
  if (a & FILE_ATTRIBUTE_DIRECTORY) {
    std::vector<std::string> names;
    int rc = ListDirectory(path, &names);
    if (rc != kOk) return rc;
    for (const auto& n : names) {
      rc = RemoveTree(JoinPath(path, n));
      if (rc != kOk) return rc;
    }
    if (!RemoveDirectoryW(W(path).c_str())) return FromWin(GetLastError());
    return kOk;
  }
  return RemoveFile(path);
}

int ListDirectory(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(W(JoinPath(path, "*")).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND ? kOk : FromWin(e);
  }
  do {
    if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
    names->push_back(U(fd.cFileName));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return kOk;
}

int MakeTempDirectory(const std::string& prefix, std::string* path) {
  wchar_t base[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH, base);
  if (n == 0) return FromWin(GetLastError());
  std::string dir = U(base);
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate = JoinPath(dir, prefix + std::to_string(GetCurrentProcessId()) + "_" +
                                              std::to_string(GetTickCount() + attempt));
    if (CreateDirectoryW(W(candidate).c_str(), nullptr)) {
      *path = candidate;
      return kOk;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return FromWin(GetLastError());
  }
  return kExists;
}

int LockRange(FileHandle file, std::uint64_t offset, std::uint64_t length, bool exclusive, bool wait) {
  OVERLAPPED ov = {};
  ov.Offset = static_cast<DWORD>(offset);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD flags = (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  if (!LockFileEx(reinterpret_cast<HANDLE>(file), flags, 0, static_cast<DWORD>(length),
                  static_cast<DWORD>(length >> 32), &ov)) {
    DWORD e = GetLastError();
    if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return kWouldBlock;
    return FromWin(e);
  }
  return kOk;
}

int UnlockRange(FileHandle file, std::uint64_t offset, std::uint64_t length) {
  OVERLAPPED ov = {};
  ov.Offset = static_cast<DWORD>(offset);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  if (!UnlockFileEx(reinterpret_cast<HANDLE>(file), 0, static_cast<DWORD>(length),
                    static_cast<DWORD>(length >> 32), &ov))
    return FromWin(GetLastError());
  return kOk;
}

std::uint64_t MonotonicMicros() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<std::uint64_t>(now.QuadPart / freq.QuadPart * 1000000 +
                                    now.QuadPart % freq.QuadPart * 1000000 / freq.QuadPart);
}

// The tick count is coarse and lags under Wine; the performance counter is not.
std::uint64_t MonotonicMillis() { return MonotonicMicros() / 1000; }

std::int64_t UnixTimeSeconds() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  std::uint64_t t = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<std::int64_t>(t / 10000000ULL) - 11644473600LL;
}

void SleepMillis(unsigned ms) { Sleep(ms); }

static DateTime FromSystemTime(const SYSTEMTIME& st) {
  DateTime d;
  d.year = st.wYear;
  d.month = st.wMonth;
  d.day = st.wDay;
  d.hour = st.wHour;
  d.minute = st.wMinute;
  d.second = st.wSecond;
  d.millisecond = st.wMilliseconds;
  d.day_of_week = st.wDayOfWeek;
  return d;
}

DateTime LocalNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return FromSystemTime(st);
}

DateTime UtcNow() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  return FromSystemTime(st);
}

std::string ExecutablePath() {
  wchar_t buf[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(sizeof buf / sizeof buf[0]));
  if (n == 0 || n >= sizeof buf / sizeof buf[0]) return std::string();
  return U(buf);
}

std::string ProgramDirectory() {
  std::lock_guard<std::mutex> lock(g_program_dir_mutex);
  if (g_program_dir.empty()) {
    std::string exe = ExecutablePath();
    std::size_t slash = exe.find_last_of("\\/");
    g_program_dir = slash == std::string::npos ? std::string(".\\") : exe.substr(0, slash + 1);
  }
  return g_program_dir;
}

void SetProgramDirectory(const std::string& dir) {
  std::lock_guard<std::mutex> lock(g_program_dir_mutex);
  g_program_dir = dir;
  if (!g_program_dir.empty() && g_program_dir.back() != '\\' && g_program_dir.back() != '/')
    g_program_dir.push_back('\\');
}

int RegistryRead(RegistryRoot root, const std::string& key, const std::string& name,
                 std::uint32_t* type, std::string* data) {
  HKEY hroot = root == kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  HKEY h;
  LONG r = RegOpenKeyExW(hroot, W(key).c_str(), 0, KEY_READ, &h);
  if (r != ERROR_SUCCESS) return FromWin(static_cast<DWORD>(r));
  std::wstring wname = W(name);
  DWORD t = 0, size = 0;
  r = RegQueryValueExW(h, wname.c_str(), nullptr, &t, nullptr, &size);
  if (r == ERROR_SUCCESS) {
    std::string buf(size, '\0');
    r = RegQueryValueExW(h, wname.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(&buf[0]), &size);
    buf.resize(size);
    if (r == ERROR_SUCCESS) {
      if (type) *type = t;
      if (data) *data = buf;
    }
  }
  RegCloseKey(h);
  return FromWin(static_cast<DWORD>(r));
}

int RegistryWrite(RegistryRoot root, const std::string& key, const std::string& name,
                  std::uint32_t type, const std::string& data) {
  HKEY hroot = root == kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  HKEY h;
  LONG r = RegCreateKeyExW(hroot, W(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
  if (r != ERROR_SUCCESS) return FromWin(static_cast<DWORD>(r));
  r = RegSetValueExW(h, W(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
  RegCloseKey(h);
  return FromWin(static_cast<DWORD>(r));
}

int RegistryDelete(RegistryRoot root, const std::string& key, const std::string& name) {
  HKEY hroot = root == kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  HKEY h;
  LONG r = RegOpenKeyExW(hroot, W(key).c_str(), 0, KEY_WRITE, &h);
  if (r == ERROR_FILE_NOT_FOUND) return kOk;
  if (r != ERROR_SUCCESS) return FromWin(static_cast<DWORD>(r));
  r = RegDeleteValueW(h, W(name).c_str());
  RegCloseKey(h);
  return r == ERROR_FILE_NOT_FOUND ? kOk : FromWin(static_cast<DWORD>(r));
}

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

int SpawnProcess(const std::vector<std::string>& args, Process* out) {
  if (args.empty()) return kInvalid;
  std::wstring cmd;
  for (const auto& a : args) {
    if (!cmd.empty()) cmd.push_back(L' ');
    cmd.push_back(L'"');
    for (wchar_t c : W(a)) {
      if (c == L'"') cmd.push_back(L'\\');
      cmd.push_back(c);
    }
    cmd.push_back(L'"');
  }
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(W(args[0]).c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    return FromWin(GetLastError());
  CloseHandle(pi.hThread);
  out->handle = reinterpret_cast<std::intptr_t>(pi.hProcess);
  out->pid = pi.dwProcessId;
  return kOk;
}

int WaitProcess(Process* process, int timeout_ms, int* exit_code) {
  HANDLE h = reinterpret_cast<HANDLE>(process->handle);
  DWORD r = WaitForSingleObject(h, timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms));
  if (r == WAIT_TIMEOUT) return kTimedOut;
  if (r != WAIT_OBJECT_0) return FromWin(GetLastError());
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  if (exit_code) *exit_code = code == 0xDEAD ? -1 : static_cast<int>(code);
  CloseHandle(h);
  process->handle = 0;
  return kOk;
}

int KillProcess(Process* process) {
  if (!TerminateProcess(reinterpret_cast<HANDLE>(process->handle), 0xDEAD)) return FromWin(GetLastError());
  return kOk;
}

bool GetEnv(const std::string& name, std::string* value) {
  wchar_t buf[32768];
  DWORD n = GetEnvironmentVariableW(W(name).c_str(), buf, 32768);
  if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
  if (n >= 32768) return false;
  buf[n] = 0;
  if (value) *value = U(buf);
  return true;
}

bool SetEnv(const std::string& name, const char* value) {
  return SetEnvironmentVariableW(W(name).c_str(), value ? W(value).c_str() : nullptr) != 0;
}

int SocketStartup() {
  static int result = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0 ? static_cast<int>(kOk) : static_cast<int>(kIoError);
  }();
  return result;
}

int ResolveHost(const std::string& host, std::vector<std::uint32_t>* addresses) {
  addresses->clear();
  SocketStartup();
  struct in_addr a;
  if (inet_pton(AF_INET, host.c_str(), &a) == 1) {
    addresses->push_back(ntohl(a.s_addr));
    return kOk;
  }
  struct addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return kNotFound;
  for (struct addrinfo* p = res; p; p = p->ai_next) {
    auto* sin = reinterpret_cast<struct sockaddr_in*>(p->ai_addr);
    addresses->push_back(ntohl(sin->sin_addr.s_addr));
  }
  freeaddrinfo(res);
  return addresses->empty() ? kNotFound : kOk;
}

int TcpConnect(const std::string& host, std::uint16_t port, int timeout_ms, Socket* out) {
  *out = kInvalidSocket;
  if (SocketStartup() != kOk) return kIoError;
  std::vector<std::uint32_t> addrs;
  int rc = ResolveHost(host, &addrs);
  if (rc != kOk) return rc;
  rc = kRefused;
  for (std::uint32_t addr : addrs) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return FromWsa(WSAGetLastError());
    u_long nb = 1;
    ioctlsocket(s, FIONBIO, &nb);
    struct sockaddr_in sin = {};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    sin.sin_addr.s_addr = htonl(addr);
    int r = ::connect(s, reinterpret_cast<struct sockaddr*>(&sin), sizeof sin);
    if (r != 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      fd_set wr, ex;
      FD_ZERO(&wr);
      FD_ZERO(&ex);
      FD_SET(s, &wr);
      FD_SET(s, &ex);
      struct timeval tv;
      tv.tv_sec = timeout_ms / 1000;
      tv.tv_usec = (timeout_ms % 1000) * 1000;
      int sr = select(0, nullptr, &wr, &ex, timeout_ms < 0 ? nullptr : &tv);
      if (sr == 0) {
        closesocket(s);
        rc = kTimedOut;
        continue;
      }
      int err = 0;
      int len = sizeof err;
      getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
      if (FD_ISSET(s, &ex) && err == 0) err = WSAECONNREFUSED;
      r = err == 0 ? 0 : -1;
      if (err) WSASetLastError(err);
    }
    if (r != 0) {
      rc = FromWsa(WSAGetLastError());
      if (rc == kIoError) rc = kRefused;
      closesocket(s);
      continue;
    }
    nb = 0;
    ioctlsocket(s, FIONBIO, &nb);
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    *out = static_cast<Socket>(s);
    return kOk;
  }
  return rc;
}

int TcpListen(const std::string& address, std::uint16_t port, int backlog, Socket* out,
              std::uint16_t* bound_port) {
  *out = kInvalidSocket;
  if (SocketStartup() != kOk) return kIoError;
  struct sockaddr_in sin = {};
  sin.sin_family = AF_INET;
  sin.sin_port = htons(port);
  if (address.empty() || address == "0.0.0.0") {
    sin.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (inet_pton(AF_INET, address.c_str(), &sin.sin_addr) != 1) {
    return kInvalid;
  }
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return FromWsa(WSAGetLastError());
  if (::bind(s, reinterpret_cast<struct sockaddr*>(&sin), sizeof sin) != 0 || ::listen(s, backlog) != 0) {
    int rc = FromWsa(WSAGetLastError());
    closesocket(s);
    return rc;
  }
  if (bound_port) {
    int len = sizeof sin;
    getsockname(s, reinterpret_cast<struct sockaddr*>(&sin), &len);
    *bound_port = ntohs(sin.sin_port);
  }
  *out = static_cast<Socket>(s);
  return kOk;
}

int TcpAccept(Socket listener, Socket* out) {
  SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return FromWsa(WSAGetLastError());
  BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  *out = static_cast<Socket>(s);
  return kOk;
}

int SetSocketTimeouts(Socket s, int recv_ms, int send_ms) {
  DWORD r = static_cast<DWORD>(recv_ms), w = static_cast<DWORD>(send_ms);
  if (setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&r), sizeof r) != 0)
    return FromWsa(WSAGetLastError());
  if (setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&w), sizeof w) != 0)
    return FromWsa(WSAGetLastError());
  return kOk;
}

int SocketSend(Socket s, const void* data, std::size_t n, std::size_t* sent) {
  int chunk = n > 0x10000000 ? 0x10000000 : static_cast<int>(n);
  int r = ::send(static_cast<SOCKET>(s), static_cast<const char*>(data), chunk, 0);
  if (r == SOCKET_ERROR) return FromWsa(WSAGetLastError());
  *sent = static_cast<std::size_t>(r);
  return kOk;
}

int SocketRecv(Socket s, void* buf, std::size_t n, std::size_t* got) {
  *got = 0;
  int chunk = n > 0x10000000 ? 0x10000000 : static_cast<int>(n);
  int r = ::recv(static_cast<SOCKET>(s), static_cast<char*>(buf), chunk, 0);
  if (r == SOCKET_ERROR) return FromWsa(WSAGetLastError());
  if (r == 0) return n == 0 ? kOk : kClosed;
  *got = static_cast<std::size_t>(r);
  return kOk;
}

int SocketWaitReadable(Socket s, int timeout_ms) {
  fd_set rd;
  FD_ZERO(&rd);
  FD_SET(static_cast<SOCKET>(s), &rd);
  struct timeval tv;
  tv.tv_sec = timeout_ms / 1000;
  tv.tv_usec = (timeout_ms % 1000) * 1000;
  int r = select(0, &rd, nullptr, nullptr, timeout_ms < 0 ? nullptr : &tv);
  if (r > 0) return kOk;
  if (r == 0) return kTimedOut;
  return FromWsa(WSAGetLastError());
}

void SocketShutdown(Socket s) { ::shutdown(static_cast<SOCKET>(s), SD_BOTH); }

void CloseSocket(Socket s) {
  if (s != kInvalidSocket) closesocket(static_cast<SOCKET>(s));
}

}  // namespace os
}  // namespace platform
