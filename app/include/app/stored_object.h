// One object of a database in memory: started empty or loaded by name, its
// properties read and set, written back with create, update, add and retype.
// It frees its store object; every operation gives the store's code or a flag.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "store/store.h"

class StoredObject {
 public:
  // Without a name: an example for a query.
  StoredObject() : StoredObject(static_cast<const char*>(nullptr)) {}
  explicit StoredObject(const char* name);
  // Takes over an object the store handed out (a query's result).
  explicit StoredObject(store::Object* adopted);
  ~StoredObject();
  StoredObject(const StoredObject&) = delete;
  StoredObject& operator=(const StoredObject&) = delete;

  // Adds the stored properties of the object of this name; the store's code
  // (kStoreObjectNotFound when there is none, and the object stays empty).
  std::int32_t Load(store::Database* db);
  bool GetInt(const char* property, std::int32_t* value) const;
  // An 8-bit text property without its terminating zero.
  bool GetText(const char* property, std::string* text) const;
  // Added or replaced; the type may change.
  StoredObject& SetInt(const char* property, std::int32_t value);
  StoredObject& SetText(const char* property, const std::string& text);
  StoredObject& SetRaw(const char* property, std::uint16_t type, const void* data, std::uint32_t length);
  std::int32_t Write(store::Database* db);
  // The 8-bit text properties, (name, text) in their order.
  std::vector<std::pair<std::string, std::string>> Texts() const;
  // For the store's own operations (queries take objects as examples).
  store::Object* Handle() { return object_; }

 private:
  std::string name_;
  store::Object* object_ = nullptr;
};
