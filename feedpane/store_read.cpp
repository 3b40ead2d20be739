#include "store_read.h"

#include <vector>

namespace feedpane {

namespace {

constexpr std::uint32_t kFirstTry = 30;

// Reads a zero-terminated text with a small buffer and again at the size
// asked for; `retry_code` is the answer that means "too small" for this
// kind of read.
template <typename Call>
store::StoreCode ReadGrowingText(Call call, store::StoreCode retry_code, std::string* out) {
  std::vector<char> buffer(kFirstTry);
  std::uint32_t size = kFirstTry;
  store::StoreCode code = call(buffer.data(), &size);
  if (code == retry_code && size > kFirstTry) {
    buffer.resize(size);
    code = call(buffer.data(), &size);
  }
  if (code != store::kStoreOk) return code;
  std::size_t n = 0;
  while (n < size && n < buffer.size() && buffer[n]) ++n;
  out->assign(buffer.data(), n);
  return code;
}

}  // namespace

store::StoreCode StoredObject::Read(const char* name) {
  store::StoreCode code = db_->CreateObject(out(), name);
  if (code != store::kStoreOk) {
    object_ = nullptr;
    return code;
  }
  code = db_->ReadObject(object_);
  if (code != store::kStoreOk && code != store::kStoreObjectNotFound) {
    object_ = nullptr;  // the store freed an object it could not load
  }
  return code;
}

void StoredObject::Reset() {
  if (object_) db_->FreeObject(object_);
  object_ = nullptr;
}

store::StoreCode ReadText(KorvelPluginDBInterface* db, store::Object* object, const char* name, std::string* out) {
  return ReadGrowingText(
      [&](char* b, std::uint32_t* s) { return db->GetProperty(object, name, store::kTypeText, b, s); },
      store::kStoreBufferTooSmall, out);
}

store::StoreCode ReadBinary(KorvelPluginDBInterface* db, store::Object* object, const char* name, std::string* out) {
  std::uint32_t size = 0;
  store::StoreCode code = db->GetProperty(object, name, store::kTypeBinary, nullptr, &size);
  if (code != store::kStoreBufferTooSmall && code != store::kStoreOk) return code;
  out->assign(size, '\0');
  if (size == 0) return store::kStoreOk;
  return db->GetProperty(object, name, store::kTypeBinary, &(*out)[0], &size);
}

store::StoreCode ReadInteger(KorvelPluginDBInterface* db, store::Object* object, const char* name,
                             std::int32_t* out) {
  std::int32_t value = 0;
  std::uint32_t size = sizeof value;
  store::StoreCode code = db->GetProperty(object, name, store::kTypeInteger, &value, &size);
  if (code == store::kStoreOk) *out = value;
  return code;
}

store::StoreCode ReadObjectName(KorvelPluginDBInterface* db, store::Object* object, std::string* out) {
  // The store answers "bad argument" when the name does not fit.
  return ReadGrowingText([&](char* b, std::uint32_t* s) { return db->GetObjectName(object, b, s); },
                         store::kStoreBadArgument, out);
}

store::StoreCode ReadPropertyName(KorvelPluginDBInterface* db, store::Object* object, std::uint32_t index,
                                  std::string* out, std::uint16_t* type) {
  return ReadGrowingText(
      [&](char* b, std::uint32_t* s) { return db->GetPropertyName(object, index, b, s, type); },
      store::kStoreBufferTooSmall, out);
}

store::StoreCode ReadPictureBytes(KorvelPluginDBInterface* db, store::Object* object, const char* name,
                                  std::string* out) {
  store::StoreCode code = ReadBinary(db, object, name, out);
  if (code != store::kStorePropertyNotFound) return code;
  return ReadBinary(db, object, (std::string("Content ") + name).c_str(), out);
}

}  // namespace feedpane
