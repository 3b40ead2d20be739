#include "platform/os.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

using namespace platform::os;

namespace {

std::string g_self;

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(kOk, MakeTempDirectory("ostest", &dir_)); }
  void TearDown() override { EXPECT_EQ(kOk, RemoveTree(dir_)); }
  std::string dir_;
};

using Files = TempDir;

TEST_F(Files, WriteReadAtOffsetsAndSize) {
  std::string path = JoinPath(dir_, "a.bin");
  FileHandle f;
  ASSERT_EQ(kNotFound, OpenFile(path, kOpenRead, &f));
  ASSERT_EQ(kOk, OpenFile(path, kOpenRead | kOpenWrite | kOpenCreate, &f));
  ASSERT_EQ(kOk, WriteAt(f, 10, "hello", 5));
  std::uint64_t size = 0;
  ASSERT_EQ(kOk, GetFileSize(f, &size));
  EXPECT_EQ(15u, size);
  char buf[32];
  std::size_t got = 0;
  ASSERT_EQ(kOk, ReadAt(f, 8, buf, sizeof buf, &got));
  ASSERT_EQ(7u, got);  // short read only at end of file
  EXPECT_EQ(0, buf[0]);
  EXPECT_EQ(0, std::memcmp(buf + 2, "hello", 5));
  ASSERT_EQ(kOk, SetFileSize(f, 12));
  ASSERT_EQ(kOk, SyncFile(f));
  ASSERT_EQ(kOk, GetFileSize(f, &size));
  EXPECT_EQ(12u, size);
  CloseFile(f);
  EXPECT_EQ(kExists, OpenFile(path, kOpenWrite | kOpenCreate | kOpenExclusive, &f));
}

TEST_F(Files, WholeFilesRenameListAndRemove) {
  std::string a = JoinPath(dir_, "one.txt"), b = JoinPath(dir_, "two.txt");
  ASSERT_EQ(kOk, WriteWholeFile(a, std::string("x\0y", 3)));
  ASSERT_EQ(kOk, WriteWholeFile(b, "old"));
  ASSERT_EQ(kOk, RenameFile(a, b));  // replaces
  std::string text;
  ASSERT_EQ(kOk, ReadWholeFile(b, &text));
  EXPECT_EQ(std::string("x\0y", 3), text);
  EXPECT_FALSE(PathExists(a));
  ASSERT_EQ(kOk, MakeDirectories(JoinPath(JoinPath(dir_, "d1"), "d2")));
  EXPECT_TRUE(IsDirectory(JoinPath(dir_, "d1")));
  std::vector<std::string> names;
  ASSERT_EQ(kOk, ListDirectory(dir_, &names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"d1", "two.txt"}), names);
  EXPECT_EQ(kOk, RemoveFile(b));
  EXPECT_EQ(kNotFound, RemoveFile(b));
  EXPECT_EQ(kNotFound, ReadWholeFile(b, &text));
}

TEST_F(Files, LocksExcludeOtherHandlesOfTheSameProcess) {
  std::string path = JoinPath(dir_, "lock");
  FileHandle f1, f2;
  ASSERT_EQ(kOk, OpenFile(path, kOpenRead | kOpenWrite | kOpenCreate, &f1));
  ASSERT_EQ(kOk, OpenFile(path, kOpenRead | kOpenWrite, &f2));
  ASSERT_EQ(kOk, LockRange(f1, 0, 1, true, false));
  EXPECT_EQ(kWouldBlock, LockRange(f2, 0, 1, true, false));
  EXPECT_EQ(kWouldBlock, LockRange(f2, 0, 1, false, false));
  EXPECT_EQ(kOk, LockRange(f2, 1, 1, true, false));  // other byte is free
  ASSERT_EQ(kOk, UnlockRange(f1, 0, 1));
  EXPECT_EQ(kOk, LockRange(f2, 0, 1, false, false));
  EXPECT_EQ(kOk, LockRange(f1, 0, 1, false, false));  // shared with shared
  EXPECT_EQ(kOk, UnlockRange(f2, 0, 1));
  EXPECT_EQ(kOk, UnlockRange(f1, 0, 1));
  // A waiting lock returns once the holder lets go.
  ASSERT_EQ(kOk, LockRange(f1, 0, 1, true, false));
  std::atomic<bool> got{false};
  std::thread t([&] {
    EXPECT_EQ(kOk, LockRange(f2, 0, 1, true, true));
    got = true;
  });
  SleepMillis(50);
  EXPECT_FALSE(got.load());
  ASSERT_EQ(kOk, UnlockRange(f1, 0, 1));
  t.join();
  EXPECT_TRUE(got.load());
  CloseFile(f1);
  CloseFile(f2);
}

TEST_F(Files, RegistryValuesRoundTripPerKeyAndName) {
#ifndef _WIN32
  setenv("TIDELARK_REGISTRY", JoinPath(dir_, "reg").c_str(), 1);
#endif
  const std::string key = "SOFTWARE\\TidelarkTest\\Os";
  std::string multi("E\0N\0\0\0", 6);
  ASSERT_EQ(kOk, RegistryWrite(kCurrentUser, key, "LanguageName", kRegMultiSz, multi));
  ASSERT_EQ(kOk, RegistryWrite(kCurrentUser, key, "Language", kRegSz, std::string("D\0E\0\0\0", 6)));
  std::uint32_t type = 0;
  std::string data;
  ASSERT_EQ(kOk, RegistryRead(kCurrentUser, key, "LanguageName", &type, &data));
  EXPECT_EQ(kRegMultiSz, type);
  EXPECT_EQ(multi, data);
  EXPECT_EQ(kNotFound, RegistryRead(kCurrentUser, key, "Missing", &type, &data));
  EXPECT_EQ(kNotFound, RegistryRead(kCurrentUser, "SOFTWARE\\TidelarkTest\\None", "Language", &type, &data));
  EXPECT_EQ(kOk, RegistryDelete(kCurrentUser, key, "LanguageName"));
  EXPECT_EQ(kNotFound, RegistryRead(kCurrentUser, key, "LanguageName", &type, &data));
  EXPECT_EQ(kOk, RegistryDelete(kCurrentUser, key, "Language"));
#ifndef _WIN32
  unsetenv("TIDELARK_REGISTRY");
#endif
}

TEST(Os, ProgramDirectoryEndsWithSeparatorAndCanBeMoved) {
  std::string dir = ProgramDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(dir.back() == '/' || dir.back() == '\\');
  SetProgramDirectory("elsewhere");
  EXPECT_EQ(std::string("elsewhere") + PathSeparator(), ProgramDirectory());
  SetProgramDirectory(dir);
  EXPECT_EQ(dir, ProgramDirectory());
}

TEST(Os, ClocksMove) {
  std::uint64_t a = MonotonicMillis();
  SleepMillis(20);
  EXPECT_GE(MonotonicMillis() - a, 15u);
  EXPECT_GT(UnixTimeSeconds(), 1600000000);
  DateTime d = UtcNow();
  EXPECT_GE(d.year, 2020);
  EXPECT_GE(d.month, 1);
  EXPECT_LE(d.month, 12);
}

TEST(Os, Utf16RoundTrip) {
  std::string s = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, a-umlaut, euro, emoji
  std::u16string w = Utf8ToUtf16(s);
  ASSERT_EQ(5u, w.size());
  EXPECT_EQ(u'\u20AC', w[2]);
  EXPECT_EQ(s, Utf16ToUtf8(w));
  EXPECT_EQ(u"\uFFFD", Utf8ToUtf16("\xC3"));  // truncated sequence
}

TEST(Os, ChildProcessExitCodeAndKill) {
  Process p;
  ASSERT_EQ(kOk, SpawnProcess({g_self, "--exit-with", "7"}, &p));
  int code = 0;
  ASSERT_EQ(kOk, WaitProcess(&p, 20000, &code));
  EXPECT_EQ(7, code);
  ASSERT_EQ(kOk, SpawnProcess({g_self, "--sleep"}, &p));
  EXPECT_EQ(kTimedOut, WaitProcess(&p, 100, &code));
  ASSERT_EQ(kOk, KillProcess(&p));
  ASSERT_EQ(kOk, WaitProcess(&p, 20000, &code));
  EXPECT_EQ(-1, code);
}

TEST(Os, TcpLoopbackEchoTimeoutAndClose) {
  Socket listener;
  std::uint16_t port = 0;
  ASSERT_EQ(kOk, TcpListen("127.0.0.1", 0, 4, &listener, &port));
  ASSERT_NE(0, port);
  std::thread server([&] {
    Socket c;
    ASSERT_EQ(kOk, TcpAccept(listener, &c));
    char buf[16];
    std::size_t got = 0;
    ASSERT_EQ(kOk, SocketRecv(c, buf, sizeof buf, &got));
    ASSERT_EQ(kOk, SocketSendAll(c, buf, got));
    SleepMillis(300);  // let the client's short receive time-out pass
    ASSERT_EQ(kOk, SocketSendAll(c, "late", 4));
    CloseSocket(c);
  });
  Socket s;
  ASSERT_EQ(kOk, TcpConnect("127.0.0.1", port, 5000, &s));
  ASSERT_EQ(kOk, SetSocketTimeouts(s, 100, 1000));
  ASSERT_EQ(kOk, SocketSendAll(s, "ping", 4));
  char buf[16];
  std::size_t got = 0;
  ASSERT_EQ(kOk, SocketRecv(s, buf, sizeof buf, &got));
  EXPECT_EQ("ping", std::string(buf, got));
  EXPECT_EQ(kTimedOut, SocketRecv(s, buf, sizeof buf, &got));
  ASSERT_EQ(kOk, SetSocketTimeouts(s, 5000, 1000));
  std::string rest;
  int rc;
  while ((rc = SocketRecv(s, buf, sizeof buf, &got)) == kOk) rest.append(buf, got);
  EXPECT_EQ(kClosed, rc);
  EXPECT_EQ("late", rest);
  CloseSocket(s);
  server.join();
  CloseSocket(listener);
}

TEST(Os, ConnectToClosedPortIsRefusedAndNamesResolve) {
  Socket listener;
  std::uint16_t port = 0;
  ASSERT_EQ(kOk, TcpListen("127.0.0.1", 0, 1, &listener, &port));
  CloseSocket(listener);
  Socket s;
  EXPECT_EQ(kRefused, TcpConnect("127.0.0.1", port, 2000, &s));
  std::vector<std::uint32_t> addrs;
  ASSERT_EQ(kOk, ResolveHost("10.1.2.3", &addrs));
  ASSERT_EQ(1u, addrs.size());
  EXPECT_EQ("10.1.2.3", FormatAddress(addrs[0]));
  EXPECT_EQ(kOk, ResolveHost("localhost", &addrs));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--exit-with") == 0) return std::atoi(argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "--sleep") == 0) {
    SleepMillis(60000);
    return 0;
  }
  g_self = ExecutablePath();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
