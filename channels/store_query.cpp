#include "store_query.h"

namespace channels {

bool ObjectHandle::ReadFrom(store::Database* db) {
  if (!object_) return false;
  std::int32_t rc = store::ReadObject(db, object_);
  if (rc == store::kStoreOk) return true;
  // A load that failed inside the store freed the object already.
  if (rc != store::kStoreObjectNotFound && rc != store::kStoreBadArgument) object_ = nullptr;
  return false;
}

void ObjectHandle::Reset() {
  if (object_) store::FreeObject(object_);
  object_ = nullptr;
}

QueryTemplate& QueryTemplate::Text(const char* name, const std::string& value, std::uint16_t type) {
  if (object_)
    store::SetProperty(object_, name, type, value.c_str(), static_cast<std::uint32_t>(value.size() + 1), 1, 1, 1, 0);
  return *this;
}

QueryTemplate& QueryTemplate::Int(const char* name, std::int32_t value) {
  if (object_) store::SetProperty(object_, name, store::kTypeInteger, &value, 4, 1, 1, 1, 0);
  return *this;
}

std::int32_t CountRange(store::Database* db, const QueryTemplate& low, const QueryTemplate& high,
                        std::uint32_t* count) {
  *count = 0;
  store::ResultSet* result = nullptr;
  std::int32_t rc =
      store::Query(db, low.Get(), high.Get(), store::kCompareRecords, &result, nullptr, nullptr, 0);
  if (rc != store::kStoreOk) return rc;
  *count = store::GetResultCount(result);
  store::FreeResult(result);
  return store::kStoreOk;
}

std::string ObjectName(store::Object* object) {
  std::uint32_t size = 0;
  store::GetObjectName(object, nullptr, &size);  // reports the size needed
  if (size == 0) return std::string();
  std::string name(size, '\0');
  if (store::GetObjectName(object, &name[0], &size) != store::kStoreOk) return std::string();
  name.resize(size - 1);
  return name;
}

}  // namespace channels
