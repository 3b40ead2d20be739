// Reading objects through the host's database service. Texts are read into
// a small buffer first and again at the size the store asks for, so short
// values (most of them) cost one call.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/plugin_api.h"

namespace feedpane {

// An object that frees itself through the service it came from.
class StoredObject {
 public:
  explicit StoredObject(KorvelPluginDBInterface* db) : db_(db) {}
  StoredObject(KorvelPluginDBInterface* db, store::Object* object) : db_(db), object_(object) {}
  ~StoredObject() { Reset(); }
  StoredObject(const StoredObject&) = delete;
  StoredObject& operator=(const StoredObject&) = delete;

  // A new object holding only `name`, filled from the current database.
  store::StoreCode Read(const char* name);
  void Reset();
  store::Object* get() const { return object_; }
  store::Object** out() {
    Reset();
    return &object_;
  }

 private:
  KorvelPluginDBInterface* db_;
  store::Object* object_ = nullptr;
};

// A result set that frees itself through its service.
class StoredResult {
 public:
  explicit StoredResult(KorvelPluginDBInterface* db) : db_(db) {}
  ~StoredResult() {
    if (result_) db_->FreeResult(result_);
  }
  StoredResult(const StoredResult&) = delete;
  StoredResult& operator=(const StoredResult&) = delete;
  store::ResultSet* get() const { return result_; }
  store::ResultSet** out() { return &result_; }

 private:
  KorvelPluginDBInterface* db_;
  store::ResultSet* result_ = nullptr;
};

// A text property (type 3) without its terminating zero.
store::StoreCode ReadText(KorvelPluginDBInterface* db, store::Object* object, const char* name, std::string* out);
// A binary property, all its bytes.
store::StoreCode ReadBinary(KorvelPluginDBInterface* db, store::Object* object, const char* name, std::string* out);
store::StoreCode ReadInteger(KorvelPluginDBInterface* db, store::Object* object, const char* name,
                             std::int32_t* out);
store::StoreCode ReadObjectName(KorvelPluginDBInterface* db, store::Object* object, std::string* out);
// The name of property `index` and its type.
store::StoreCode ReadPropertyName(KorvelPluginDBInterface* db, store::Object* object, std::uint32_t index,
                                  std::string* out, std::uint16_t* type);
// A binary property, or the one named "Content " + name when it is missing.
store::StoreCode ReadPictureBytes(KorvelPluginDBInterface* db, store::Object* object, const char* name,
                                  std::string* out);

}  // namespace feedpane
