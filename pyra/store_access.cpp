#include "store_access.h"

#include "platform/device.h"
#include "platform/os.h"

namespace pyra {

namespace {

constexpr char kVolumeFolder[] = "\\Windows";
constexpr char kVolumeName[] = "PyraDatabase";
constexpr char kVolumeExtension[] = ".vol";

}  // namespace

std::string VolumePath() {
  std::string folder = platform::device::MapCePath(kVolumeFolder);
  platform::os::MakeDirectories(folder);
  return platform::device::MapCePath(std::string(kVolumeFolder) + "\\" + kVolumeName + kVolumeExtension);
}

std::int32_t OpenDb(const char* name, bool create, store::Database** out) {
  *out = nullptr;
  std::string volume = VolumePath();
  return store::OpenDatabase(out, name, create ? 1 : 0, 0, store::kCreatorPyra, 0, store::kVersionMajor,
                             store::kVersionMinor, volume.c_str());
}

std::int32_t Obj::Create(const char* name) { return store::CreateObject(out(), name); }

std::int32_t LoadObject(store::Database* db, const char* name, Obj* out) {
  std::int32_t rc = out->Create(name);
  if (rc != store::kStoreOk) return rc;
  rc = store::ReadObject(db, out->get());
  // The store frees an object whose records could not be read; only a
  // missing object comes back still ours.
  if (rc == store::kStoreObjectNotFound) out->Reset();
  else if (rc != store::kStoreOk) out->Release();
  return rc;
}

std::int32_t FindByInt(store::Database* db, const char* property, std::int32_t value, Obj* out) {
  out->Reset();
  Obj bound;
  std::int32_t rc = bound.Create("Find");
  if (rc != store::kStoreOk) return rc;
  rc = SetInt(bound.get(), property, value);
  if (rc != store::kStoreOk) return rc;
  Results results;
  rc = store::Query(db, bound.get(), bound.get(), store::kCompareRecords, results.out(), property, nullptr,
                    store::kCombineIntersection);
  if (rc != store::kStoreOk) return rc;
  return store::FirstResult(results.get(), out->out());
}

bool ReadInt(store::Object* o, const char* name, std::int32_t* value) {
  std::int32_t v = 0;
  std::uint32_t size = sizeof v;
  if (store::GetProperty(o, name, store::kTypeInteger, &v, &size) != store::kStoreOk) return false;
  *value = v;
  return true;
}

bool ReadText(store::Object* o, const char* name, std::string* text) {
  std::uint32_t size = 0;
  if (store::GetProperty(o, name, store::kTypeText, nullptr, &size) != store::kStoreBufferTooSmall || size == 0)
    return false;
  std::string buffer(size, '\0');
  if (store::GetProperty(o, name, store::kTypeText, &buffer[0], &size) != store::kStoreOk) return false;
  buffer.resize(buffer.find('\0') == std::string::npos ? buffer.size() : buffer.find('\0'));
  *text = std::move(buffer);
  return true;
}

bool ReadText(store::Object* o, const char* name, std::size_t limit, std::string* text) {
  std::string value;
  if (!ReadText(o, name, &value) || value.size() + 1 > limit) return false;
  *text = std::move(value);
  return true;
}

std::int32_t ReadBlob(store::Object* o, const char* name, std::string* bytes) {
  std::uint32_t size = 0;
  std::int32_t rc = store::GetProperty(o, name, store::kTypeBinary, nullptr, &size);
  if (rc != store::kStoreBufferTooSmall && rc != store::kStoreOk) return rc;
  bytes->assign(size, '\0');
  if (size == 0) return store::kStoreOk;
  return store::GetProperty(o, name, store::kTypeBinary, &(*bytes)[0], &size);
}

bool ObjectName(store::Object* o, std::size_t limit, std::string* name) {
  std::uint32_t size = 0;
  store::GetObjectName(o, nullptr, &size);
  if (size == 0 || size > limit) return false;
  std::string buffer(size, '\0');
  if (store::GetObjectName(o, &buffer[0], &size) != store::kStoreOk) return false;
  buffer.resize(size - 1);
  *name = std::move(buffer);
  return true;
}

std::int32_t SetInt(store::Object* o, const char* name, std::int32_t value) {
  return store::SetProperty(o, name, store::kTypeInteger, &value, sizeof value, 1, 1, 1, 0);
}

std::int32_t SetText(store::Object* o, const char* name, const std::string& text) {
  return store::SetProperty(o, name, store::kTypeText, text.c_str(), static_cast<std::uint32_t>(text.size() + 1), 1,
                            1, 1, 0);
}

std::int32_t SetBlob(store::Object* o, const char* name, const std::string& bytes) {
  return store::SetProperty(o, name, store::kTypeBinary, bytes.data(), static_cast<std::uint32_t>(bytes.size()), 1,
                            1, 1, 0);
}

std::int32_t Store(store::Database* db, store::Object* o) { return store::WriteObject(db, o, 1, 1, 1, 1); }

}  // namespace pyra
