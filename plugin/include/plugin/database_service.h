// The database service a host gives a plug-in: every operation forwards to
// the object store; those that need a database use the plug-in's current
// one, which the host opens for it.
//
// Contract: Open never creates a database; ReopenDatabase does (the plug-in
// asked for it by name). Without a current database the operations that
// need one answer what the store answers for a null handle (1002).
#pragma once

#include <string>

#include "plugin/plugin_api.h"

namespace plugin {

class DatabaseService : public KorvelPluginDBInterface {
 public:
  // volume_path: the store's volume; null means the program's own.
  explicit DatabaseService(const char* volume_path = nullptr);
  virtual ~DatabaseService();
  DatabaseService(const DatabaseService&) = delete;
  DatabaseService& operator=(const DatabaseService&) = delete;

  // Makes `name` the current database. The current one stays when it has
  // that name already (two null names count as the same); otherwise it is
  // closed and `name` opened without creating it. On failure there is no
  // current database.
  store::StoreCode Open(const char* name);
  // Closes the current database and forgets it.
  void Close();
  store::Database* database() const { return database_; }
  // The current database's name; null when there is none.
  const char* name() const { return has_name_ ? name_.c_str() : nullptr; }

  store::StoreCode CreateObject(store::Object** out, const char* name) override;
  store::StoreCode FreeObject(store::Object* object) override;
  store::StoreCode SetObjectName(store::Object* object, const char* name) override;
  store::StoreCode GetObjectName(store::Object* object, char* buffer, std::uint32_t* size) override;
  store::StoreCode SetProperty(store::Object* object, const char* name, std::uint16_t type, const void* data,
                               std::uint32_t length, int may_add, int may_replace, int may_change_type,
                               std::uint8_t significant_length) override;
  store::StoreCode RemoveProperty(store::Object* object, const char* name, std::uint16_t type) override;
  store::StoreCode GetPropertyCount(store::Object* object, std::uint32_t* count) override;
  store::StoreCode GetPropertyName(store::Object* object, std::uint32_t index, char* buffer, std::uint32_t* size,
                                   std::uint16_t* type) override;
  store::StoreCode GetProperty(store::Object* object, const char* name, std::uint16_t type, void* buffer,
                               std::uint32_t* size) override;
  store::StoreCode WriteObject(store::Object* object, int create, int update, int add, int retype) override;
  store::StoreCode ReadObject(store::Object* object) override;
  store::StoreCode DeleteObject(store::Object* object, int mode) override;
  store::StoreCode Query(store::Object* low, store::Object* high, std::uint32_t mode, store::ResultSet** out,
                         const char* order_by, store::ResultSet* earlier, int combination) override;
  store::StoreCode FirstResult(store::ResultSet* result, store::Object** out) override;
  store::StoreCode NextResult(store::ResultSet* result, store::Object** out) override;
  store::StoreCode LastResult(store::ResultSet* result, store::Object** out) override;
  store::StoreCode PreviousResult(store::ResultSet* result, store::Object** out) override;
  store::StoreCode FreeResult(store::ResultSet* result) override;
  store::StoreCode SetDatabaseMode(std::uint32_t cache_limit) override;
  store::StoreCode CombineResults(store::ResultSet* a, store::ResultSet* b, int mode,
                                  store::ResultSet** out) override;
  std::uint32_t GetResultCount(store::ResultSet* result) override;
  store::StoreCode ListObjects(store::ResultSet** out, int source) override;
  store::StoreCode ReopenDatabase() override;

 private:
  store::StoreCode OpenNamed(const char* name, int create);

  std::string volume_path_;
  bool has_volume_path_ = false;
  store::Database* database_ = nullptr;
  std::string name_;
  bool has_name_ = false;
};

}  // namespace plugin
