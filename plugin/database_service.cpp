#include "plugin/database_service.h"

namespace plugin {

DatabaseService::DatabaseService(const char* volume_path) {
  if (volume_path) {
    volume_path_ = volume_path;
    has_volume_path_ = true;
  }
}

DatabaseService::~DatabaseService() { Close(); }

store::StoreCode DatabaseService::OpenNamed(const char* name, int create) {
  store::Database* opened = nullptr;
  store::StoreCode code =
      store::OpenDatabase(&opened, name, create, 0, store::kCreatorPyra, 0, store::kVersionMajor,
                          store::kVersionMinor, has_volume_path_ ? volume_path_.c_str() : nullptr);
  if (code != store::kStoreOk) return code;
  database_ = opened;
  has_name_ = name != nullptr;
  name_ = name ? name : "";
  return code;
}

store::StoreCode DatabaseService::Open(const char* name) {
  const bool same = database_ && (has_name_ ? name && name_ == name : !name);
  if (same) return store::kStoreOk;
  Close();
  if (!name) return store::kStoreBadArgument;
  return OpenNamed(name, 0);
}

void DatabaseService::Close() {
  if (database_) store::CloseDatabase(&database_);
  database_ = nullptr;
  has_name_ = false;
  name_.clear();
}

store::StoreCode DatabaseService::CreateObject(store::Object** out, const char* name) {
  return store::CreateObject(out, name);
}
store::StoreCode DatabaseService::FreeObject(store::Object* object) { return store::FreeObject(object); }
store::StoreCode DatabaseService::SetObjectName(store::Object* object, const char* name) {
  return store::SetObjectName(object, name);
}
store::StoreCode DatabaseService::GetObjectName(store::Object* object, char* buffer, std::uint32_t* size) {
  return store::GetObjectName(object, buffer, size);
}
store::StoreCode DatabaseService::SetProperty(store::Object* object, const char* name, std::uint16_t type,
                                              const void* data, std::uint32_t length, int may_add, int may_replace,
                                              int may_change_type, std::uint8_t significant_length) {
  return store::SetProperty(object, name, type, data, length, may_add, may_replace, may_change_type,
                            significant_length);
}
store::StoreCode DatabaseService::RemoveProperty(store::Object* object, const char* name, std::uint16_t type) {
  return store::RemoveProperty(object, name, type);
}
store::StoreCode DatabaseService::GetPropertyCount(store::Object* object, std::uint32_t* count) {
  return store::GetPropertyCount(object, count);
}
store::StoreCode DatabaseService::GetPropertyName(store::Object* object, std::uint32_t index, char* buffer,
                                                  std::uint32_t* size, std::uint16_t* type) {
  return store::GetPropertyName(object, index, buffer, size, type);
}
store::StoreCode DatabaseService::GetProperty(store::Object* object, const char* name, std::uint16_t type,
                                              void* buffer, std::uint32_t* size) {
  return store::GetProperty(object, name, type, buffer, size);
}
store::StoreCode DatabaseService::WriteObject(store::Object* object, int create, int update, int add, int retype) {
  return store::WriteObject(database_, object, create, update, add, retype);
}
store::StoreCode DatabaseService::ReadObject(store::Object* object) { return store::ReadObject(database_, object); }
store::StoreCode DatabaseService::DeleteObject(store::Object* object, int mode) {
  return store::DeleteObject(database_, object, mode);
}
store::StoreCode DatabaseService::Query(store::Object* low, store::Object* high, std::uint32_t mode,
                                        store::ResultSet** out, const char* order_by, store::ResultSet* earlier,
                                        int combination) {
  return store::Query(database_, low, high, mode, out, order_by, earlier, combination);
}
store::StoreCode DatabaseService::FirstResult(store::ResultSet* result, store::Object** out) {
  return store::FirstResult(result, out);
}
store::StoreCode DatabaseService::NextResult(store::ResultSet* result, store::Object** out) {
  return store::NextResult(result, out);
}
store::StoreCode DatabaseService::LastResult(store::ResultSet* result, store::Object** out) {
  return store::LastResult(result, out);
}
store::StoreCode DatabaseService::PreviousResult(store::ResultSet* result, store::Object** out) {
  return store::PreviousResult(result, out);
}
store::StoreCode DatabaseService::FreeResult(store::ResultSet* result) { return store::FreeResult(result); }
store::StoreCode DatabaseService::SetDatabaseMode(std::uint32_t cache_limit) {
  return store::SetDatabaseMode(database_, cache_limit);
}
store::StoreCode DatabaseService::CombineResults(store::ResultSet* a, store::ResultSet* b, int mode,
                                                 store::ResultSet** out) {
  return store::CombineResults(a, b, mode, out);
}
std::uint32_t DatabaseService::GetResultCount(store::ResultSet* result) { return store::GetResultCount(result); }
store::StoreCode DatabaseService::ListObjects(store::ResultSet** out, int source) {
  return store::ListObjects(database_, out, source);
}

store::StoreCode DatabaseService::ReopenDatabase() {
  if (!has_name_) return store::kStoreBadArgument;
  std::string name = name_;
  Close();
  return OpenNamed(name.c_str(), 1);
}

}  // namespace plugin
