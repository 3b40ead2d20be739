// Test helpers for the ad library: a device whose clock, files, named event
// and banner window the test controls, a fresh device folder per test, and
// ads written straight into "PyraDatabase" as the server would leave them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dates.h"
#include "device_fixture.h"
#include "platform/os.h"
#include "pyra/pyra.h"
#include "store/store.h"
#include "store_access.h"
#include "system.h"

namespace pyra {
namespace testing_support {

// A fresh device folder and a fake system for every test.
class PyraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, platform::os::MakeTempDirectory("tidelark-pyra", &root_));
    SetEnvironment("TIDELARK_DEVICE_ROOT", root_);
    SetSystem(&system_);
  }
  void TearDown() override {
    SetSystem(nullptr);
    platform::os::RemoveTree(root_);
  }

  static void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
  }

  // Opens a handle for application 26 with ad space 43, as the news reader does.
  void* OpenHost(std::int32_t application_id = 26, const char* path = "\\Program Files\\Tidelark\\Tidelark.exe",
                 std::vector<std::int32_t> ad_spaces = {43}, int* rc_out = nullptr) {
    PyraOpenVersion version{{1, 2, 2}, {0, 0, 0}};
    void* handle = nullptr;
    int rc = PyraOpen(&handle, application_id, &version, path, ad_spaces.data(),
                      static_cast<std::int32_t>(ad_spaces.size()));
    if (rc_out) *rc_out = rc;
    EXPECT_TRUE(rc == 0 || rc == kPyraSyncDue) << rc;
    return handle;
  }

  std::string root_;
  FakeSystem system_;
};

// The stored object's int32 property (or `missing`).
inline std::int32_t StoredInt(const char* database, const std::string& object, const char* property,
                              std::int32_t missing = -999) {
  Db db;
  Obj o;
  std::int32_t value = missing;
  if (db.Open(database, false) == 0 && LoadObject(db.get(), object.c_str(), &o) == 0) ReadInt(o.get(), property, &value);
  return value;
}

inline std::string StoredText(const char* database, const std::string& object, const char* property) {
  Db db;
  Obj o;
  std::string value = "<missing>";
  if (db.Open(database, false) == 0 && LoadObject(db.get(), object.c_str(), &o) == 0) ReadText(o.get(), property, &value);
  return value;
}

inline bool StoredObjectExists(const char* database, const std::string& object) {
  Db db;
  Obj o;
  return db.Open(database, false) == 0 && LoadObject(db.get(), object.c_str(), &o) == 0;
}

// Names of the stored objects of a database, in name order.
inline std::vector<std::string> StoredNames(const char* database) {
  std::vector<std::string> names;
  Db db;
  Results all;
  if (db.Open(database, false) != 0 || store::ListObjects(db.get(), all.out(), 0) != 0) return names;
  Obj o;
  for (int rc = store::FirstResult(all.get(), o.out()); rc == 0; rc = store::NextResult(all.get(), o.out())) {
    std::string name;
    ObjectName(o.get(), SIZE_MAX, &name);
    names.push_back(name);
  }
  return names;
}

}  // namespace testing_support
}  // namespace pyra
