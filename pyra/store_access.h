// The ad library's view of the object store: its volume, its databases and
// small owners and readers for store handles and property values.
//
// Every database lives on the volume "\Windows\PyraDatabase.vol", which the
// device maps below its root. Reads that the library does with a fixed
// buffer take that buffer's size as `limit`: a value that does not fit
// (length + 1 > limit) counts as missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "store/store.h"

namespace pyra {

constexpr char kLauncherSettingsDb[] = "PyraLauncherSettings";
constexpr char kPrefsDb[] = "PyraPrefs";
constexpr char kRegistryDb[] = "PyraRegisteredApps";
constexpr char kAdDb[] = "PyraDatabase";
constexpr char kInfoDb[] = "PyraInfo";
constexpr char kRefreshDb[] = "RefresBanner";
constexpr char kLastSyncObject[] = "Last Sync Time";

// The volume's host path (its folder is created when missing).
std::string VolumePath();

// Opens one of the library's databases; *out stays null on failure.
std::int32_t OpenDb(const char* name, bool create, store::Database** out);

// Owners that free what they hold.
class Db {
 public:
  Db() = default;
  ~Db() { Close(); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;
  std::int32_t Open(const char* name, bool create) {
    Close();
    return OpenDb(name, create, &db_);
  }
  void Close() {
    if (db_) store::CloseDatabase(&db_);
  }
  store::Database* get() const { return db_; }
  explicit operator bool() const { return db_ != nullptr; }

 private:
  store::Database* db_ = nullptr;
};

class Obj {
 public:
  Obj() = default;
  explicit Obj(store::Object* o) : o_(o) {}
  ~Obj() { Reset(); }
  Obj(Obj&& other) noexcept : o_(other.Release()) {}
  Obj& operator=(Obj&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  Obj(const Obj&) = delete;
  Obj& operator=(const Obj&) = delete;
  // A fresh object holding only its name.
  std::int32_t Create(const char* name);
  void Reset(store::Object* o = nullptr) {
    if (o_) store::FreeObject(o_);
    o_ = o;
  }
  store::Object* Release() {
    store::Object* o = o_;
    o_ = nullptr;
    return o;
  }
  store::Object* get() const { return o_; }
  store::Object** out() {
    Reset();
    return &o_;
  }
  explicit operator bool() const { return o_ != nullptr; }

 private:
  store::Object* o_ = nullptr;
};

class Results {
 public:
  Results() = default;
  ~Results() { Reset(); }
  Results(const Results&) = delete;
  Results& operator=(const Results&) = delete;
  void Reset(store::ResultSet* r = nullptr) {
    if (r_) store::FreeResult(r_);
    r_ = r;
  }
  store::ResultSet* Release() {
    store::ResultSet* r = r_;
    r_ = nullptr;
    return r;
  }
  store::ResultSet* get() const { return r_; }
  store::ResultSet** out() {
    Reset();
    return &r_;
  }
  explicit operator bool() const { return r_ != nullptr; }

 private:
  store::ResultSet* r_ = nullptr;
};

// Loads the stored object of that name into *out (4312 when there is none).
std::int32_t LoadObject(store::Database* db, const char* name, Obj* out);
// The first object whose int32 property equals value, by a query with the
// same bound on both sides; 13008 when there is none.
std::int32_t FindByInt(store::Database* db, const char* property, std::int32_t value, Obj* out);

bool ReadInt(store::Object* o, const char* name, std::int32_t* value);
// Text of any length.
bool ReadText(store::Object* o, const char* name, std::string* text);
// Text that fits a buffer of `limit` bytes.
bool ReadText(store::Object* o, const char* name, std::size_t limit, std::string* text);
// A binary value; the store's code (13001 when missing).
std::int32_t ReadBlob(store::Object* o, const char* name, std::string* bytes);
// The object's name when it fits a buffer of `limit` bytes.
bool ObjectName(store::Object* o, std::size_t limit, std::string* name);

std::int32_t SetInt(store::Object* o, const char* name, std::int32_t value);
std::int32_t SetText(store::Object* o, const char* name, const std::string& text);
std::int32_t SetBlob(store::Object* o, const char* name, const std::string& bytes);
// Creates or updates the stored object with the given properties.
std::int32_t Store(store::Database* db, store::Object* o);

}  // namespace pyra
