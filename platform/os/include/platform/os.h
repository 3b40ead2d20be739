// The operating-system services the portable core needs: files, advisory
// locks, time, the program directory, a small registry, child processes and
// TCP sockets. One header, a POSIX and a Windows implementation.
//
// Every call returns an OsStatus (0 = success) and never throws. Paths are
// UTF-8 here; the Windows implementation converts at the Win32 call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {
namespace os {

enum OsStatus : int {
  kOk = 0,
  kNotFound = 1,      // file, key or host does not exist
  kExists = 2,        // exclusive create of something already there
  kAccessDenied = 3,
  kIoError = 4,
  kWouldBlock = 5,    // a non-waiting lock is held by someone else
  kTimedOut = 6,
  kClosed = 7,        // peer closed the connection
  kRefused = 8,       // connection refused or unreachable
  kInvalid = 9,       // bad argument or handle
  kNoSpace = 10,
  kUnsupported = 11,
};

const char* StatusText(int status);

// ---- Files --------------------------------------------------------------

using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

enum OpenFlags : unsigned {
  kOpenRead = 1u,
  kOpenWrite = 2u,
  kOpenCreate = 4u,      // create when missing
  kOpenExclusive = 8u,   // with kOpenCreate: fail with kExists when present
  kOpenTruncate = 16u,
};

int OpenFile(const std::string& path, unsigned flags, FileHandle* out);
void CloseFile(FileHandle file);
// Reads up to n bytes at offset; *got < n only at end of file.
int ReadAt(FileHandle file, std::uint64_t offset, void* buf, std::size_t n, std::size_t* got);
int WriteAt(FileHandle file, std::uint64_t offset, const void* buf, std::size_t n);
int GetFileSize(FileHandle file, std::uint64_t* size);
int SetFileSize(FileHandle file, std::uint64_t size);
// Forces written data to stable storage.
int SyncFile(FileHandle file);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
int RemoveFile(const std::string& path);
// Replaces `to` if it exists, atomically where the platform allows.
int RenameFile(const std::string& from, const std::string& to);
// Creates the directory and its missing parents.
int MakeDirectories(const std::string& path);
// Removes a directory tree; a missing path is success.
int RemoveTree(const std::string& path);
// Names (not paths) of the entries of a directory, without "." and "..".
int ListDirectory(const std::string& path, std::vector<std::string>* names);
int ReadWholeFile(const std::string& path, std::string* contents);
// Writes through a temporary file and a rename, so readers never see half a file.
int WriteWholeFile(const std::string& path, const std::string& contents);
// A fresh, empty directory under the system's temporary folder.
int MakeTempDirectory(const std::string& prefix, std::string* path);
std::string JoinPath(const std::string& dir, const std::string& name);
char PathSeparator();

// ---- Advisory locks -----------------------------------------------------
// Byte-range locks owned by the open file (not the process): two handles of
// one process exclude each other, as with LockFileEx on Windows.

int LockRange(FileHandle file, std::uint64_t offset, std::uint64_t length, bool exclusive, bool wait);
int UnlockRange(FileHandle file, std::uint64_t offset, std::uint64_t length);

// ---- Time ---------------------------------------------------------------

std::uint64_t MonotonicMillis();
std::uint64_t MonotonicMicros();
std::int64_t UnixTimeSeconds();
void SleepMillis(unsigned ms);

struct DateTime {
  int year, month, day, hour, minute, second, millisecond;
  int day_of_week;  // 0 = Sunday
};
// Local time of the device.
DateTime LocalNow();
DateTime UtcNow();

// ---- Program directory --------------------------------------------------
// The folder of the running program, ending with a separator. Tests point it
// at a temporary folder with SetProgramDirectory.

std::string ProgramDirectory();
void SetProgramDirectory(const std::string& dir);

// ---- Registry -----------------------------------------------------------
// Values under a key path such as "SOFTWARE\\Korvel\\Lang". The Windows
// build uses the real registry; natively the values are files below the
// folder named by TIDELARK_REGISTRY (default: ProgramDirectory() + "registry").

enum RegistryRoot { kLocalMachine = 0, kCurrentUser = 1 };
enum RegistryType : std::uint32_t { kRegSz = 1, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7 };

int RegistryRead(RegistryRoot root, const std::string& key, const std::string& name,
                 std::uint32_t* type, std::string* data);
int RegistryWrite(RegistryRoot root, const std::string& key, const std::string& name,
                  std::uint32_t type, const std::string& data);
int RegistryDelete(RegistryRoot root, const std::string& key, const std::string& name);

// ---- Processes ----------------------------------------------------------

struct Process {
  std::intptr_t handle = 0;  // pid on POSIX, process HANDLE on Windows
  std::uint32_t pid = 0;
};
std::uint32_t CurrentProcessId();
// Path of the running executable.
std::string ExecutablePath();
// Starts args[0] with the given arguments; standard streams are inherited.
int SpawnProcess(const std::vector<std::string>& args, Process* out);
// Waits up to timeout_ms (negative: forever); *exit_code gets the code, or
// -1 when the process was killed.
int WaitProcess(Process* process, int timeout_ms, int* exit_code);
// Kills at once, without giving the process a chance to clean up.
int KillProcess(Process* process);
// Reads an environment variable; false when unset.
bool GetEnv(const std::string& name, std::string* value);
// Sets an environment variable of this process; null value removes it.
bool SetEnv(const std::string& name, const char* value);

// ---- TCP sockets --------------------------------------------------------

using Socket = std::intptr_t;
constexpr Socket kInvalidSocket = -1;

// Winsock start-up on Windows; harmless elsewhere. Safe to call repeatedly.
int SocketStartup();
// IPv4 addresses of a host name; a dotted address is returned as it is.
int ResolveHost(const std::string& host, std::vector<std::uint32_t>* addresses);
// Formats an address in host byte order as dotted text.
std::string FormatAddress(std::uint32_t address);
// Connects to host:port; timeout_ms bounds the connection attempt.
int TcpConnect(const std::string& host, std::uint16_t port, int timeout_ms, Socket* out);
// Listens on address:port (port 0 picks a free one, reported in *bound_port).
int TcpListen(const std::string& address, std::uint16_t port, int backlog, Socket* out,
              std::uint16_t* bound_port);
int TcpAccept(Socket listener, Socket* out);
// Receive and send time-outs; a blocked call then fails with kTimedOut.
int SetSocketTimeouts(Socket s, int recv_ms, int send_ms);
int SocketSend(Socket s, const void* data, std::size_t n, std::size_t* sent);
int SocketSendAll(Socket s, const void* data, std::size_t n);
// *got == 0 with kOk never happens: an orderly close is kClosed.
int SocketRecv(Socket s, void* buf, std::size_t n, std::size_t* got);
// Waits until the socket is readable; kTimedOut when nothing arrived.
int SocketWaitReadable(Socket s, int timeout_ms);
void SocketShutdown(Socket s);
void CloseSocket(Socket s);

// ---- Text ---------------------------------------------------------------

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace os
}  // namespace platform
