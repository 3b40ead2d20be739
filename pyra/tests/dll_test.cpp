// PyraLibrary.dll as hosts use it: through the import table, on the
// device stand-in's folder, with the platform's version resources, file
// dates, locale, telephony, named event and a real banner window.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "banner_window.h"
#include "platform/os.h"
#include "platform/screenshot.h"
#include "pyra/pyra.h"
#include "store/store.h"

namespace {

using pyra_test::CountPixels;
using pyra_test::DarkPixels;
using pyra_test::kStatusPixel;

std::wstring W(const std::string& s) {
  std::u16string u = platform::os::Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}

std::string OutputDir() {
  std::string dir = platform::os::JoinPath(TIDELARK_TEST_OUTPUT, "pyra");
  platform::os::MakeDirectories(dir);
  return dir;
}

class DllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, platform::os::MakeTempDirectory("tidelark-pyra-dll", &root_));
    SetEnvironmentVariableW(L"TIDELARK_DEVICE_ROOT", W(root_).c_str());
    SetEnvironmentVariableW(L"TIDELARK_OPERATOR", nullptr);
    window_ = pyra_test::CreateBannerWindow(240, 60);
    ASSERT_NE(nullptr, window_);
  }
  void TearDown() override {
    pyra_test::AttachedHandle() = nullptr;
    for (void* h : handles_) PyraClose(h);
    DestroyWindow(window_);
    platform::os::RemoveTree(root_);
  }

  void* Open(std::int32_t application_id, const std::string& path, std::vector<std::int32_t> ids = {43},
             int* rc_out = nullptr) {
    PyraOpenVersion version{{1, 2, 2}, {0, 0, 0}};
    void* handle = nullptr;
    int rc = PyraOpen(&handle, application_id, &version, path.empty() ? nullptr : path.c_str(), ids.data(),
                      static_cast<std::int32_t>(ids.size()));
    if (rc_out) *rc_out = rc;
    EXPECT_TRUE(rc == 0 || rc == kPyraSyncDue) << rc;
    if (handle) handles_.push_back(handle);
    return handle;
  }
  void Close(void* handle) {
    for (auto it = handles_.begin(); it != handles_.end(); ++it)
      if (*it == handle) {
        handles_.erase(it);
        break;
      }
    EXPECT_EQ(0, PyraClose(handle));
  }

  std::string Volume() const { return root_ + "\\Windows\\PyraDatabase.vol"; }

  // A stored value read with the store, as the sync engine would see it.
  std::string Stored(const char* database, const std::string& object, const char* property, bool integer = false) {
    store::Database* db = nullptr;
    std::string value = "<missing>";
    if (store::OpenDatabase(&db, database, 0, 0, store::kCreatorPyra, 0, 11, 10, Volume().c_str()) != 0) return value;
    store::Object* o = nullptr;
    store::CreateObject(&o, object.c_str());
    if (store::ReadObject(db, o) == 0) {
      char buffer[512];
      std::uint32_t size = sizeof buffer;
      if (integer) {
        std::int32_t v = 0;
        size = 4;
        if (store::GetProperty(o, property, store::kTypeInteger, &v, &size) == 0) value = std::to_string(v);
      } else if (store::GetProperty(o, property, store::kTypeText, buffer, &size) == 0) {
        value = buffer;
      }
    }
    store::FreeObject(o);
    store::CloseDatabase(&db);
    return value;
  }

  // A file that stands for an installed host, created `days_ago` days back
  // (and written then: Wine keeps no creation time apart from the last write).
  std::string HostFile(const std::string& name, double days_ago) {
    std::string path = platform::os::JoinPath(root_, name);
    EXPECT_EQ(0, platform::os::WriteWholeFile(path, "host"));
    HANDLE f = CreateFileW(W(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, f);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= static_cast<ULONGLONG>(days_ago * 86400.0 * 1e7);
    FILETIME created = {t.LowPart, t.HighPart};
    EXPECT_TRUE(SetFileTime(f, &created, nullptr, &created));
    CloseHandle(f);
    return path;
  }

  platform::Pixels Capture() {
    platform::Pixels px;
    EXPECT_TRUE(platform::CaptureWindow(window_, true, &px));
    return px;
  }

  std::string root_;
  HWND window_ = nullptr;
  std::vector<void*> handles_;
};

TEST_F(DllTest, ExportsByNameAndTheVersionContract) {
  HMODULE library = GetModuleHandleW(L"PyraLibrary.dll");
  ASSERT_NE(nullptr, library);
  for (const char* name : {"PyraOpen", "PyraClose", "GetVersion", "RegisterApplication", "UnregisterApplication",
                           "GetInstalledApplications", "SetUserInformation", "GetUserInformation", "GetSyncInfo",
                           "SetBannerArea", "SetContextKeywords", "DrawBanner", "ProcessSystemMessage",
                           "SyncPyraDatabase", "CreatePyraInstance"})
    EXPECT_NE(nullptr, GetProcAddress(library, name)) << name;
  auto get_version = reinterpret_cast<PyraGetVersionFunction>(GetProcAddress(library, "GetVersion"));
  ASSERT_NE(nullptr, get_version);
  PyraVersion v = {1, 2, 1}, oldest = {};
  EXPECT_EQ(kPyraVersionAccepted, get_version(&v, &oldest));
  EXPECT_EQ(2u, v.build);
  EXPECT_EQ(0u, oldest.build);
  v = {1, 2, 3};
  EXPECT_EQ(kPyraVersionMismatch, get_version(&v, nullptr));
  v = {2, 0, 0};
  EXPECT_EQ(kPyraVersionMismatch, get_version(&v, nullptr));
  EXPECT_EQ(1u, v.major);
}

TEST_F(DllTest, VolumeAndDeviceRecordsOnTheDevice) {
  SetEnvironmentVariableW(L"TIDELARK_OPERATOR", L"Harbour Mobile");
  void* handle = Open(-1, "");
  ASSERT_NE(nullptr, handle);
  EXPECT_TRUE(platform::os::PathExists(Volume()));
  EXPECT_EQ("240", Stored("PyraPrefs", "PyraDevice", "Width", true));
  EXPECT_EQ("320", Stored("PyraPrefs", "PyraDevice", "Height", true));
  EXPECT_EQ("320", Stored("PyraPrefs", "PyraDevice", "Width1", true));
  EXPECT_EQ("Tidelark Handheld", Stored("PyraPrefs", "PyraDevice", "OEMName"));
  EXPECT_EQ("Harbour Mobile", Stored("PyraPrefs", "PyraDevice", "OpName"));
  wchar_t lang[16];
  ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, lang, 16), 1);
  EXPECT_EQ(platform::os::Utf16ToUtf8(std::u16string(lang, lang + wcslen(lang))),
            Stored("PyraPrefs", "PyraUser", "Lang"));
  EXPECT_NE("<missing>", Stored("PyraPrefs", "PyraUser", "Country"));
  EXPECT_EQ("Username", Stored("PyraPrefs", "PyraUser", "User"));
  Close(handle);

  // Without a network the operator name found before stays.
  SetEnvironmentVariableW(L"TIDELARK_OPERATOR", nullptr);
  handle = Open(-1, "");
  EXPECT_EQ("Harbour Mobile", Stored("PyraPrefs", "PyraDevice", "OpName"));
}

TEST_F(DllTest, RegistrationReadsTheHostsVersionResource) {
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  void* handle = Open(26, self, {43});
  EXPECT_EQ("Pyra Test Host", Stored("PyraRegisteredApps", self, "Application"));
  EXPECT_EQ("3.1.4", Stored("PyraRegisteredApps", self, "Version"));
  EXPECT_EQ("26", Stored("PyraRegisteredApps", self, "AppID", true));

  std::string plain = HostFile("plain.exe", 0);
  std::int32_t ids[] = {43, 50};
  EXPECT_EQ(0, RegisterApplication(handle, 27, plain.c_str(), ids, 2));
  EXPECT_EQ(plain, Stored("PyraRegisteredApps", plain, "Application"));
  EXPECT_EQ(plain, Stored("PyraRegisteredApps", plain, "Version"));
  EXPECT_EQ("43;50", Stored("PyraInfo", "AdSpaceIDs", "AdIDs"));

  char a[128], b[128];
  char* buffers[] = {a, b};
  std::int32_t count = 2, length = 128;
  ASSERT_EQ(0, GetInstalledApplications(handle, buffers, &count, &length));
  EXPECT_EQ(2, count);
  std::string texts = std::string(a) + "|" + b;
  EXPECT_NE(std::string::npos, texts.find("Pyra Test Host v. 3.1.4")) << texts;

  // The plain host is deleted: the pruning walk removes it and its ad space.
  ASSERT_EQ(0, platform::os::RemoveFile(plain));
  count = length = 0;
  EXPECT_EQ(kPyraBufferTooSmall, GetInstalledApplications(handle, nullptr, &count, &length));
  EXPECT_EQ(1, count);
  EXPECT_EQ(255, length);
  EXPECT_EQ("<missing>", Stored("PyraRegisteredApps", plain, "AppID", true));
  EXPECT_EQ("43", Stored("PyraInfo", "AdSpaceIDs", "AdIDs"));
}

TEST_F(DllTest, FirstSyncIsDueThreeDaysAfterTheHostWasInstalled) {
  std::string recent = HostFile("recent.exe", 2);
  int rc = -1;
  Close(Open(30, recent, {43}, &rc));
  EXPECT_EQ(0, rc);
  std::string older = HostFile("older.exe", 3.01);
  Close(Open(31, older, {43}, &rc));
  EXPECT_EQ(kPyraSyncDue, rc);
  Close(Open(32, root_ + "\\missing.exe", {43}, &rc));  // a file without a date
  EXPECT_EQ(kPyraSyncDue, rc);
}

TEST_F(DllTest, StatusTextsInTheBannerWindow) {
  void* handle = Open(26, HostFile("reader.exe", 0));
  ASSERT_EQ(0, SetBannerArea(handle, window_, 43));
  pyra_test::AttachedHandle() = handle;
  DrawBanner(handle, 1);
  platform::Pixels welcome = Capture();
  ASSERT_EQ(240, welcome.width);
  EXPECT_GT(CountPixels(welcome, kStatusPixel), 240 * 60 / 2);
  EXPECT_GT(DarkPixels(welcome), 30) << "no text drawn";
  EXPECT_TRUE(platform::SaveWindowPng(window_, OutputDir() + "/banner-welcome.png", true));

  // Another process synchronises: the event exists.
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"PYRA_EventSynchronizing");
  ASSERT_NE(nullptr, event);
  EXPECT_EQ(kPyraSyncRunning, SyncPyraDatabase(handle, nullptr));
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);  // the paint goes through ProcessSystemMessage
  platform::Pixels synchronizing = Capture();
  EXPECT_GT(CountPixels(synchronizing, kStatusPixel), 240 * 60 / 2);
  EXPECT_NE(welcome.data, synchronizing.data) << "the same text for both states";
  EXPECT_TRUE(platform::SaveWindowPng(window_, OutputDir() + "/banner-synchronizing.png", true));
  CloseHandle(event);
}

TEST_F(DllTest, UserRecordAcrossHandles) {
  void* first = Open(26, "");
  void* second = Open(27, "");
  char user[64];
  std::int32_t length = sizeof user;
  EXPECT_EQ(kPyraNoUser, GetUserInformation(second, user, &length));
  EXPECT_EQ(0, SetUserInformation(first, "marina", "N/A"));
  EXPECT_EQ(0, GetUserInformation(second, user, &length));
  EXPECT_STREQ("marina", user);
  EXPECT_EQ("", Stored("PyraPrefs", "PyraUser", "Pass"));
}

}  // namespace
