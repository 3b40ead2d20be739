#include "app/stored_object.h"

#include <vector>

StoredObject::StoredObject(const char* name) : name_(name ? name : "") {
  if (store::CreateObject(&object_, name) != store::kStoreOk) object_ = nullptr;
}

StoredObject::StoredObject(store::Object* adopted) : object_(adopted) {
  char name[256];
  std::uint32_t size = sizeof name;
  if (adopted && store::GetObjectName(adopted, name, &size) == store::kStoreOk && size > 0) name_.assign(name);
}

StoredObject::~StoredObject() {
  if (object_) store::FreeObject(object_);
}

std::int32_t StoredObject::Load(store::Database* db) {
  if (!object_) return store::kStoreObjectAllocFailed;
  std::int32_t rc = store::ReadObject(db, object_);
  if (rc != store::kStoreOk && rc != store::kStoreObjectNotFound) {
    // A load that failed inside the store freed the object: start again empty.
    if (store::CreateObject(&object_, name_.c_str()) != store::kStoreOk) object_ = nullptr;
  }
  return rc;
}

bool StoredObject::GetInt(const char* property, std::int32_t* value) const {
  std::uint32_t size = 4;
  return object_ && store::GetProperty(object_, property, store::kTypeInteger, value, &size) == store::kStoreOk;
}

bool StoredObject::GetText(const char* property, std::string* text) const {
  if (!object_) return false;
  std::uint32_t size = 0;
  std::int32_t rc = store::GetProperty(object_, property, store::kTypeText, nullptr, &size);
  if (rc != store::kStoreOk && rc != store::kStoreBufferTooSmall) return false;
  std::vector<char> buffer(size + 1, '\0');
  if (store::GetProperty(object_, property, store::kTypeText, buffer.data(), &size) != store::kStoreOk) return false;
  text->assign(buffer.data());  // up to the first zero
  return true;
}

StoredObject& StoredObject::SetInt(const char* property, std::int32_t value) {
  return SetRaw(property, store::kTypeInteger, &value, 4);
}

StoredObject& StoredObject::SetText(const char* property, const std::string& text) {
  return SetRaw(property, store::kTypeText, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
}

StoredObject& StoredObject::SetRaw(const char* property, std::uint16_t type, const void* data, std::uint32_t length) {
  if (object_) store::SetProperty(object_, property, type, data, length, 1, 1, 1, 0);
  return *this;
}

std::int32_t StoredObject::Write(store::Database* db) {
  if (!object_) return store::kStoreObjectAllocFailed;
  return store::WriteObject(db, object_, 1, 1, 1, 1);
}

std::vector<std::pair<std::string, std::string>> StoredObject::Texts() const {
  std::vector<std::pair<std::string, std::string>> texts;
  std::uint32_t count = 0;
  if (!object_ || store::GetPropertyCount(object_, &count) != store::kStoreOk) return texts;
  for (std::uint32_t i = 0; i < count; ++i) {
    char name[256];
    std::uint32_t size = sizeof name;
    std::uint16_t type = 0;
    std::string text;
    if (store::GetPropertyName(object_, i, name, &size, &type) == store::kStoreOk && type == store::kTypeText &&
        GetText(name, &text))
      texts.emplace_back(name, text);
  }
  return texts;
}
