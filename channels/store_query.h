// The store steps the channel screens share: template objects for range
// queries, walking a result set, one object read by name.
#pragma once

#include <cstdint>
#include <string>

#include "store/store.h"

namespace channels {

// An object in memory, freed with its scope.
class ObjectHandle {
 public:
  explicit ObjectHandle(const char* name = nullptr) { store::CreateObject(&object_, name); }
  ~ObjectHandle() { Reset(); }
  ObjectHandle(const ObjectHandle&) = delete;
  ObjectHandle& operator=(const ObjectHandle&) = delete;
  store::Object* Get() const { return object_; }
  // Loads the stored object of this name; false when it is not there (the
  // handle is then empty when the store freed the object itself).
  bool ReadFrom(store::Database* db);
  void Reset();
  // Takes over an object the store handed out.
  void Adopt(store::Object* object) {
    Reset();
    object_ = object;
  }

 private:
  store::Object* object_ = nullptr;
};

// A query bound: text and integer properties (text stored with its zero).
class QueryTemplate {
 public:
  QueryTemplate() { store::CreateObject(&object_, nullptr); }
  ~QueryTemplate() {
    if (object_) store::FreeObject(object_);
  }
  QueryTemplate(const QueryTemplate&) = delete;
  QueryTemplate& operator=(const QueryTemplate&) = delete;
  QueryTemplate& Text(const char* name, const std::string& value, std::uint16_t type = store::kTypeText);
  QueryTemplate& Int(const char* name, std::int32_t value);
  store::Object* Get() const { return object_; }

 private:
  store::Object* object_ = nullptr;
};

// How many objects lie between `low` and `high`; the store's code.
std::int32_t CountRange(store::Database* db, const QueryTemplate& low, const QueryTemplate& high,
                        std::uint32_t* count);

// Calls `visit` with every object of the result set that loads, in order;
// objects that do not load are skipped. The objects are freed after the call.
template <typename Visit>
void ForEachResult(store::ResultSet* result, Visit visit) {
  const std::uint32_t count = store::GetResultCount(result);
  store::Object* object = nullptr;
  std::int32_t rc = store::FirstResult(result, &object);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (rc == store::kStoreOk) {
      visit(object);
      store::FreeObject(object);
    } else if (rc == store::kStoreNoMoreResults || rc == store::kStoreBadArgument) {
      break;
    }
    object = nullptr;
    if (i + 1 < count) rc = store::NextResult(result, &object);
  }
}

// The object's name; empty when it has none.
std::string ObjectName(store::Object* object);

}  // namespace channels
