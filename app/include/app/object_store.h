// CObjectStore: the program's access to the object store, handed to every
// screen. It names the volume and carries the few reads every screen makes;
// everything else is the store's own operations (store/store.h).
#pragma once

#include <cstdint>
#include <string>

#include "store/store.h"

// A database handle closed with its scope.
class ScopedDatabase {
 public:
  ScopedDatabase() {}
  ~ScopedDatabase() { Close(); }
  ScopedDatabase(const ScopedDatabase&) = delete;
  ScopedDatabase& operator=(const ScopedDatabase&) = delete;
  store::Database** Out() { return &db_; }
  store::Database* Get() const { return db_; }
  explicit operator bool() const { return db_ != nullptr; }
  void Close() {
    if (db_) store::CloseDatabase(&db_);
    db_ = nullptr;
  }

 private:
  store::Database* db_ = nullptr;
};

// An object under construction, freed with its scope: properties are set in
// a chain (added or replaced, type changes allowed) and written in one go.
class StoreRecord {
 public:
  explicit StoreRecord(const char* name) { store::CreateObject(&object_, name); }
  ~StoreRecord() {
    if (object_) store::FreeObject(object_);
  }
  StoreRecord(const StoreRecord&) = delete;
  StoreRecord& operator=(const StoreRecord&) = delete;
  StoreRecord& Text(const char* name, const std::string& text) {
    return Raw(name, store::kTypeText, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
  }
  StoreRecord& Int(const char* name, std::int32_t v) { return Raw(name, store::kTypeInteger, &v, 4); }
  StoreRecord& Raw(const char* name, std::uint16_t type, const void* data, std::uint32_t length) {
    if (object_) store::SetProperty(object_, name, type, data, length, 1, 1, 1, 0);
    return *this;
  }
  // Creates the object or updates it: new properties added, stored ones
  // replaced, types changed.
  std::int32_t WriteTo(store::Database* db) {
    if (!object_) return store::kStoreObjectAllocFailed;
    return store::WriteObject(db, object_, 1, 1, 1, 1);
  }

 private:
  store::Object* object_ = nullptr;
};

class CObjectStore {
 public:
  // volume: the volume file; empty for the store's default beside the program.
  explicit CObjectStore(std::string volume = std::string()) : volume_(std::move(volume)) {}

  const char* Volume() const { return volume_.empty() ? nullptr : volume_.c_str(); }
  // Opens a database with the program's creator tag and versions.
  std::int32_t Open(store::Database** db, const char* name, bool create, bool start_empty = false,
                    std::uint32_t creator = store::kCreatorPyra) const;
  // The integer property of a stored object; false when the object or the property is missing.
  static bool ReadInt(store::Database* db, const char* object, const char* property, std::int32_t* value);
  // Whether the object can be read.
  static bool CanRead(store::Database* db, const char* object);
  // How many objects have the integer `property` equal to `value` (query by
  // example); false when the query fails.
  static bool Count(store::Database* db, const char* property, std::int32_t value, std::uint32_t* count);
  // Deletes the stored object of that name; the store's code.
  static std::int32_t Delete(store::Database* db, const char* object);
  // A text property of an object in memory, whole, without its terminating
  // zero; false when it is missing or not text.
  static bool ReadText(store::Object* object, const char* property, std::string* text);

 private:
  std::string volume_;
};
