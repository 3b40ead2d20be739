// POSIX implementation of the os layer (Linux).
#include "platform/os.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <mutex>

namespace platform {
namespace os {

namespace {

int FromErrno(int e) {
  switch (e) {
    case 0: return kOk;
    case ENOENT: case ENOTDIR: return kNotFound;
    case EEXIST: return kExists;
    case EACCES: case EPERM: case EROFS: return kAccessDenied;
    case EAGAIN: return kWouldBlock;
    case ETIMEDOUT: return kTimedOut;
    case ECONNREFUSED: case ENETUNREACH: case EHOSTUNREACH: return kRefused;
    case EPIPE: case ECONNRESET: return kClosed;
    case EINVAL: case EBADF: return kInvalid;
    case ENOSPC: case EDQUOT: return kNoSpace;
  }
  return kIoError;
}

std::mutex g_program_dir_mutex;
std::string g_program_dir;

}  // namespace

char PathSeparator() { return '/'; }

int OpenFile(const std::string& path, unsigned flags, FileHandle* out) {
  *out = kInvalidFile;
  int mode = 0;
  if ((flags & kOpenRead) && (flags & kOpenWrite)) mode = O_RDWR;
  else if (flags & kOpenWrite) mode = O_WRONLY;
  else mode = O_RDONLY;
  if (flags & kOpenCreate) mode |= O_CREAT;
  if (flags & kOpenExclusive) mode |= O_EXCL;
  if (flags & kOpenTruncate) mode |= O_TRUNC;
  mode |= O_CLOEXEC;
  int fd;
  do { fd = ::open(path.c_str(), mode, 0644); } while (fd < 0 && errno == EINTR);
  if (fd < 0) return FromErrno(errno);
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kInvalid;
  }
  *out = fd;
  return kOk;
}

void CloseFile(FileHandle file) {
  if (file != kInvalidFile) ::close(static_cast<int>(file));
}

int ReadAt(FileHandle file, std::uint64_t offset, void* buf, std::size_t n, std::size_t* got) {
  std::size_t done = 0;
  char* p = static_cast<char*>(buf);
  while (done < n) {
    ssize_t r = ::pread(static_cast<int>(file), p + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      if (got) *got = done;
      return FromErrno(errno);
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  if (got) *got = done;
  return kOk;
}

int WriteAt(FileHandle file, std::uint64_t offset, const void* buf, std::size_t n) {
  std::size_t done = 0;
  const char* p = static_cast<const char*>(buf);
  while (done < n) {
    ssize_t r = ::pwrite(static_cast<int>(file), p + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return FromErrno(errno);
    }
    done += static_cast<std::size_t>(r);
  }
  return kOk;
}

int GetFileSize(FileHandle file, std::uint64_t* size) {
  struct stat st;
  if (fstat(static_cast<int>(file), &st) != 0) return FromErrno(errno);
  *size = static_cast<std::uint64_t>(st.st_size);
  return kOk;
}

int SetFileSize(FileHandle file, std::uint64_t size) {
  if (ftruncate(static_cast<int>(file), static_cast<off_t>(size)) != 0) return FromErrno(errno);
  return kOk;
}

int SyncFile(FileHandle file) {
  if (fdatasync(static_cast<int>(file)) != 0) return FromErrno(errno);
  return kOk;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return FromErrno(errno);
  return kOk;
}

int RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return FromErrno(errno);
  return kOk;
}

int MakeDirectories(const std::string& path) {
  if (path.empty()) return kInvalid;
  std::string partial;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!partial.empty() && !IsDirectory(partial)) {
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return FromErrno(errno);
      }
    }
    if (i < path.size()) partial.push_back(path[i]);
  }
  return IsDirectory(path) ? kOk : kIoError;
}

int RemoveTree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? kOk : FromErrno(errno);
  if (S_ISDIR(st.st_mode)) {
    std::vector<std::string> names;
    int rc = ListDirectory(path, &names);
    if (rc != kOk) return rc;
    for (const auto& n : names) {
      rc = RemoveTree(JoinPath(path, n));
      if (rc != kOk) return rc;
    }
    if (::rmdir(path.c_str()) != 0) return FromErrno(errno);
    return kOk;
  }
  return RemoveFile(path);
}

int ListDirectory(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  DIR* d = ::opendir(path.c_str());
  if (!d) return FromErrno(errno);
  while (struct dirent* e = ::readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    names->push_back(e->d_name);
  }
  ::closedir(d);
  return kOk;
}

int MakeTempDirectory(const std::string& prefix, std::string* path) {
  const char* base = getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/" + prefix + "XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return FromErrno(errno);
  *path = buf.data();
  return kOk;
}

int LockRange(FileHandle file, std::uint64_t offset, std::uint64_t length, bool exclusive, bool wait) {
  struct flock fl;
  memset(&fl, 0, sizeof fl);
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  for (;;) {
    // Open-file-description locks: owned by the handle, so handles exclude each other.
    if (fcntl(static_cast<int>(file), wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return kOk;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return kWouldBlock;
    return FromErrno(errno);
  }
}

int UnlockRange(FileHandle file, std::uint64_t offset, std::uint64_t length) {
  struct flock fl;
  memset(&fl, 0, sizeof fl);
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  if (fcntl(static_cast<int>(file), F_OFD_SETLK, &fl) != 0) return FromErrno(errno);
  return kOk;
}

std::uint64_t MonotonicMicros() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

std::uint64_t MonotonicMillis() { return MonotonicMicros() / 1000u; }

std::int64_t UnixTimeSeconds() { return static_cast<std::int64_t>(::time(nullptr)); }

void SleepMillis(unsigned ms) {
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

static DateTime ToDateTime(const struct tm& t, long usec) {
  DateTime d;
  d.year = t.tm_year + 1900;
  d.month = t.tm_mon + 1;
  d.day = t.tm_mday;
  d.hour = t.tm_hour;
  d.minute = t.tm_min;
  d.second = t.tm_sec;
  d.millisecond = static_cast<int>(usec / 1000);
  d.day_of_week = t.tm_wday;
  return d;
}

DateTime LocalNow() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm t;
  time_t s = tv.tv_sec;
  localtime_r(&s, &t);
  return ToDateTime(t, tv.tv_usec);
}

DateTime UtcNow() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm t;
  time_t s = tv.tv_sec;
  gmtime_r(&s, &t);
  return ToDateTime(t, tv.tv_usec);
}

std::string ExecutablePath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<std::size_t>(n));
}

std::string ProgramDirectory() {
  std::lock_guard<std::mutex> lock(g_program_dir_mutex);
  if (g_program_dir.empty()) {
    std::string exe = ExecutablePath();
    std::size_t slash = exe.rfind('/');
    g_program_dir = slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
  }
  return g_program_dir;
}

void SetProgramDirectory(const std::string& dir) {
  std::lock_guard<std::mutex> lock(g_program_dir_mutex);
  g_program_dir = dir;
  if (!g_program_dir.empty() && g_program_dir.back() != '/') g_program_dir.push_back('/');
}

// ---- Registry stand-in: one file per value ------------------------------

namespace {

std::string RegistryFolder() {
  std::string root;
  if (GetEnv("TIDELARK_REGISTRY", &root) && !root.empty()) return root;
  return ProgramDirectory() + "registry";
}

std::string EscapeRegName(const std::string& s) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (isalnum(c) || c == '_' || c == '-' || c == ' ') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out.empty() ? std::string("%") : out;
}

std::string RegistryValuePath(RegistryRoot root, const std::string& key, const std::string& name) {
  std::string path = JoinPath(RegistryFolder(), root == kLocalMachine ? "HKLM" : "HKCU");
  std::string part;
  for (std::size_t i = 0; i <= key.size(); ++i) {
    if (i == key.size() || key[i] == '\\') {
      if (!part.empty()) {
        std::string lower;
        for (char c : part) lower.push_back(static_cast<char>(tolower(static_cast<unsigned char>(c))));
        path = JoinPath(path, EscapeRegName(lower));
      }
      part.clear();
    } else {
      part.push_back(key[i]);
    }
  }
  std::string lname;
  for (char c : name) lname.push_back(static_cast<char>(tolower(static_cast<unsigned char>(c))));
  return JoinPath(path, EscapeRegName(lname) + ".value");
}

}  // namespace

int RegistryRead(RegistryRoot root, const std::string& key, const std::string& name,
                 std::uint32_t* type, std::string* data) {
  std::string raw;
  int rc = ReadWholeFile(RegistryValuePath(root, key, name), &raw);
  if (rc != kOk) return rc;
  if (raw.size() < 4) return kIoError;
  std::uint32_t t = 0;
  for (int i = 3; i >= 0; --i) t = (t << 8) | static_cast<unsigned char>(raw[static_cast<std::size_t>(i)]);
  if (type) *type = t;
  if (data) *data = raw.substr(4);
  return kOk;
}

int RegistryWrite(RegistryRoot root, const std::string& key, const std::string& name,
                  std::uint32_t type, const std::string& data) {
  std::string path = RegistryValuePath(root, key, name);
  int rc = MakeDirectories(path.substr(0, path.rfind('/')));
  if (rc != kOk) return rc;
  std::string raw;
  for (int i = 0; i < 4; ++i) raw.push_back(static_cast<char>((type >> (8 * i)) & 0xFF));
  raw += data;
  return WriteWholeFile(path, raw);
}

int RegistryDelete(RegistryRoot root, const std::string& key, const std::string& name) {
  int rc = RemoveFile(RegistryValuePath(root, key, name));
  return rc == kNotFound ? kOk : rc;
}

// ---- Processes ------------------------------------------------------------

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

int SpawnProcess(const std::vector<std::string>& args, Process* out) {
  if (args.empty()) return kInvalid;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) return FromErrno(errno);
  if (pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  out->handle = pid;
  out->pid = static_cast<std::uint32_t>(pid);
  return kOk;
}

int WaitProcess(Process* process, int timeout_ms, int* exit_code) {
  std::uint64_t start = MonotonicMillis();
  for (;;) {
    int status = 0;
    pid_t r = waitpid(static_cast<pid_t>(process->handle), &status, timeout_ms < 0 ? 0 : WNOHANG);
    if (r < 0) {
      if (errno == EINTR) continue;
      return FromErrno(errno);
    }
    if (r > 0) {
      if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return kOk;
    }
    if (MonotonicMillis() - start >= static_cast<std::uint64_t>(timeout_ms)) return kTimedOut;
    SleepMillis(2);
  }
}

int KillProcess(Process* process) {
  if (::kill(static_cast<pid_t>(process->handle), SIGKILL) != 0) return FromErrno(errno);
  return kOk;
}

bool GetEnv(const std::string& name, std::string* value) {
  const char* v = getenv(name.c_str());
  if (!v) return false;
  if (value) *value = v;
  return true;
}

bool SetEnv(const std::string& name, const char* value) {
  return (value ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str())) == 0;
}

// ---- Sockets --------------------------------------------------------------

int SocketStartup() {
  static std::once_flag once;
  std::call_once(once, [] { signal(SIGPIPE, SIG_IGN); });
  return kOk;
}

int ResolveHost(const std::string& host, std::vector<std::uint32_t>* addresses) {
  addresses->clear();
  struct in_addr a;
  if (inet_pton(AF_INET, host.c_str(), &a) == 1) {
    addresses->push_back(ntohl(a.s_addr));
    return kOk;
  }
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
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
  SocketStartup();
  std::vector<std::uint32_t> addrs;
  int rc = ResolveHost(host, &addrs);
  if (rc != kOk) return rc;
  rc = kRefused;
  for (std::uint32_t addr : addrs) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return FromErrno(errno);
    int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    struct sockaddr_in sin;
    memset(&sin, 0, sizeof sin);
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    sin.sin_addr.s_addr = htonl(addr);
    int r = ::connect(fd, reinterpret_cast<struct sockaddr*>(&sin), sizeof sin);
    if (r != 0 && errno == EINPROGRESS) {
      struct pollfd pfd = {fd, POLLOUT, 0};
      int pr;
      do { pr = poll(&pfd, 1, timeout_ms < 0 ? -1 : timeout_ms); } while (pr < 0 && errno == EINTR);
      if (pr == 0) {
        ::close(fd);
        rc = kTimedOut;
        continue;
      }
      int err = 0;
      socklen_t len = sizeof err;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      r = err == 0 ? 0 : -1;
      errno = err;
    }
    if (r != 0) {
      rc = FromErrno(errno);
      if (rc == kIoError) rc = kRefused;
      ::close(fd);
      continue;
    }
    fcntl(fd, F_SETFL, flags);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    *out = fd;
    return kOk;
  }
  return rc;
}

int TcpListen(const std::string& address, std::uint16_t port, int backlog, Socket* out,
              std::uint16_t* bound_port) {
  *out = kInvalidSocket;
  SocketStartup();
  struct sockaddr_in sin;
  memset(&sin, 0, sizeof sin);
  sin.sin_family = AF_INET;
  sin.sin_port = htons(port);
  if (address.empty() || address == "0.0.0.0") {
    sin.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (inet_pton(AF_INET, address.c_str(), &sin.sin_addr) != 1) {
    return kInvalid;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return FromErrno(errno);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, reinterpret_cast<struct sockaddr*>(&sin), sizeof sin) != 0 || ::listen(fd, backlog) != 0) {
    int rc = FromErrno(errno);
    ::close(fd);
    return rc == kIoError ? kExists : rc;
  }
  if (bound_port) {
    socklen_t len = sizeof sin;
    getsockname(fd, reinterpret_cast<struct sockaddr*>(&sin), &len);
    *bound_port = ntohs(sin.sin_port);
  }
  *out = fd;
  return kOk;
}

int TcpAccept(Socket listener, Socket* out) {
  for (;;) {
    int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      *out = fd;
      return kOk;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    return FromErrno(errno);
  }
}

int SetSocketTimeouts(Socket s, int recv_ms, int send_ms) {
  struct timeval tv;
  tv.tv_sec = recv_ms / 1000;
  tv.tv_usec = (recv_ms % 1000) * 1000;
  if (setsockopt(static_cast<int>(s), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return FromErrno(errno);
  tv.tv_sec = send_ms / 1000;
  tv.tv_usec = (send_ms % 1000) * 1000;
  if (setsockopt(static_cast<int>(s), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) return FromErrno(errno);
  return kOk;
}

int SocketSend(Socket s, const void* data, std::size_t n, std::size_t* sent) {
  for (;;) {
    ssize_t r = ::send(static_cast<int>(s), data, n, MSG_NOSIGNAL);
    if (r >= 0) {
      *sent = static_cast<std::size_t>(r);
      return kOk;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kTimedOut;
    return FromErrno(errno);
  }
}

int SocketRecv(Socket s, void* buf, std::size_t n, std::size_t* got) {
  *got = 0;
  for (;;) {
    ssize_t r = ::recv(static_cast<int>(s), buf, n, 0);
    if (r > 0) {
      *got = static_cast<std::size_t>(r);
      return kOk;
    }
    if (r == 0) return n == 0 ? kOk : kClosed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kTimedOut;
    return FromErrno(errno);
  }
}

int SocketWaitReadable(Socket s, int timeout_ms) {
  struct pollfd pfd = {static_cast<int>(s), POLLIN, 0};
  for (;;) {
    int r = poll(&pfd, 1, timeout_ms);
    if (r > 0) return kOk;
    if (r == 0) return kTimedOut;
    if (errno != EINTR) return FromErrno(errno);
  }
}

void SocketShutdown(Socket s) { ::shutdown(static_cast<int>(s), SHUT_RDWR); }

void CloseSocket(Socket s) {
  if (s != kInvalidSocket) ::close(static_cast<int>(s));
}

}  // namespace os
}  // namespace platform
