#include "app/object_store.h"

std::int32_t CObjectStore::Open(store::Database** db, const char* name, bool create, bool start_empty,
                                std::uint32_t creator) const {
  return store::OpenDatabase(db, name, create ? 1 : 0, start_empty ? 1 : 0, creator, 0, store::kVersionMajor,
                             store::kVersionMinor, Volume());
}

bool CObjectStore::ReadInt(store::Database* db, const char* object, const char* property, std::int32_t* value) {
  store::Object* o = nullptr;
  if (store::CreateObject(&o, object) != store::kStoreOk) return false;
  std::int32_t rc = store::ReadObject(db, o);
  if (rc != store::kStoreOk) {
    // A load that failed inside the store freed the object already.
    if (rc == store::kStoreObjectNotFound) store::FreeObject(o);
    return false;
  }
  std::uint32_t size = 4;
  bool ok = store::GetProperty(o, property, store::kTypeInteger, value, &size) == store::kStoreOk;
  store::FreeObject(o);
  return ok;
}

bool CObjectStore::CanRead(store::Database* db, const char* object) {
  store::Object* o = nullptr;
  if (store::CreateObject(&o, object) != store::kStoreOk) return false;
  std::int32_t rc = store::ReadObject(db, o);
  if (rc == store::kStoreOk || rc == store::kStoreObjectNotFound) store::FreeObject(o);
  return rc == store::kStoreOk;
}

bool CObjectStore::Count(store::Database* db, const char* property, std::int32_t value, std::uint32_t* count) {
  store::Object* example = nullptr;
  if (store::CreateObject(&example, nullptr) != store::kStoreOk) return false;
  store::SetProperty(example, property, store::kTypeInteger, &value, 4, 1, 1, 1, 0);
  store::ResultSet* result = nullptr;
  std::int32_t rc = store::Query(db, example, example, store::kCompareRecords, &result, nullptr, nullptr, 0);
  store::FreeObject(example);
  if (rc != store::kStoreOk) return false;
  *count = store::GetResultCount(result);
  store::FreeResult(result);
  return true;
}

std::int32_t CObjectStore::Delete(store::Database* db, const char* object) {
  store::Object* o = nullptr;
  std::int32_t rc = store::CreateObject(&o, object);
  if (rc != store::kStoreOk) return rc;
  rc = store::DeleteObject(db, o, 0);
  store::FreeObject(o);
  return rc;
}

bool CObjectStore::ReadText(store::Object* object, const char* property, std::string* text) {
  std::uint32_t size = 0;
  if (store::GetProperty(object, property, store::kTypeText, nullptr, &size) != store::kStoreBufferTooSmall) return false;
  std::string buffer(size, '\0');
  if (size == 0 || store::GetProperty(object, property, store::kTypeText, &buffer[0], &size) != store::kStoreOk)
    return false;
  buffer.resize(buffer.find('\0') == std::string::npos ? buffer.size() : buffer.find('\0'));
  *text = std::move(buffer);
  return true;
}
