#include "registry.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "ad_texts.h"
#include "pyra/pyra.h"
#include "system.h"

namespace pyra {

namespace {

constexpr char kAdSpaceObject[] = "AdSpaceIDs";
constexpr std::int32_t kReportedLength = 255;

// "PyraInfo": the handle's own, or opened for this call while a sync has
// the handle's databases closed.
class InfoDb {
 public:
  explicit InfoDb(PyraHandle* handle) : db_(handle->info_db) {
    if (!db_ && own_.Open(kInfoDb, true) == store::kStoreOk) db_ = own_.get();
  }
  store::Database* get() const { return db_; }

 private:
  Db own_;
  store::Database* db_;
};

void LoadFrom(store::Database* info, PyraHandle* handle) {
  handle->ad_spaces.clear();
  handle->ad_spaces_loaded = false;
  Obj list;
  std::string bytes;
  if (!info || LoadObject(info, kAdSpaceObject, &list) != store::kStoreOk ||
      ReadBlob(list.get(), "AdIDsBlob", &bytes) != store::kStoreOk)
    return;
  handle->ad_spaces = AdSpacesFromBlob(bytes);
  handle->ad_spaces_loaded = true;
}

std::int32_t SaveTo(store::Database* info, PyraHandle* handle) {
  if (!info) return store::kStoreNoDatabase;
  Obj list;
  std::int32_t rc = list.Create(kAdSpaceObject);
  if (rc != store::kStoreOk) return rc;
  if (!handle->ad_spaces_loaded || handle->ad_spaces.empty()) {
    rc = store::DeleteObject(info, list.get(), 0);
    if (rc == store::kStoreObjectNotFound) rc = store::kStoreOk;
  } else {
    SetBlob(list.get(), "AdIDsBlob", AdSpacesToBlob(handle->ad_spaces));
    SetText(list.get(), "AdIDs", JoinAdSpaces(handle->ad_spaces));
    rc = Store(info, list.get());
  }
  LoadFrom(info, handle);
  return rc;
}

std::vector<std::int32_t> AdSpacesOf(store::Object* registration) {
  std::string bytes;
  if (ReadBlob(registration, "AdIDs", &bytes) != store::kStoreOk) return {};
  return AdSpacesFromBlob(bytes);
}

// Ad spaces listed by every registration but the one named.
std::set<std::int32_t> AdSpacesOfOthers(store::Database* registry, const std::string& name) {
  std::set<std::int32_t> ids;
  Results all;
  if (store::ListObjects(registry, all.out(), 0) != store::kStoreOk) return ids;
  Obj o;
  for (std::int32_t rc = store::FirstResult(all.get(), o.out()); rc == store::kStoreOk;
       rc = store::NextResult(all.get(), o.out())) {
    std::string other;
    if (ObjectName(o.get(), SIZE_MAX, &other) && other == name) continue;
    for (std::int32_t id : AdSpacesOf(o.get())) ids.insert(id);
  }
  return ids;
}

// Deletes one registration and takes its ad spaces out of the shared list.
std::int32_t RemoveRegistration(PyraHandle* handle, store::Database* registry, store::Object* registration) {
  std::string name;
  if (!ObjectName(registration, SIZE_MAX, &name)) return store::kStoreBadArgument;
  std::set<std::int32_t> still_used = AdSpacesOfOthers(registry, name);
  InfoDb info(handle);
  LoadFrom(info.get(), handle);
  for (std::int32_t id : AdSpacesOf(registration))
    if (!still_used.count(id)) RemoveAdSpace(&handle->ad_spaces, id);
  SaveTo(info.get(), handle);
  Obj gone;
  std::int32_t rc = gone.Create(name.c_str());
  if (rc != store::kStoreOk) return rc;
  return store::DeleteObject(registry, gone.get(), 0);
}

std::string ApplicationText(store::Object* registration) {
  std::string application, version;
  ReadText(registration, "Application", &application);
  ReadText(registration, "Version", &version);
  return application + " v. " + version;
}

std::int32_t FillTexts(store::Database* registry, char** buffers, std::int32_t* count, std::int32_t length) {
  Results all;
  std::int32_t rc = store::ListObjects(registry, all.out(), 0);
  if (rc != store::kStoreOk) return rc;
  std::int32_t filled = 0;
  Obj o;
  for (rc = store::FirstResult(all.get(), o.out()); rc == store::kStoreOk && filled < *count;
       rc = store::NextResult(all.get(), o.out())) {
    std::string text = ApplicationText(o.get());
    char* buffer = buffers[filled++];
    std::memset(buffer, 0, static_cast<std::size_t>(length));
    text.copy(buffer, std::min<std::size_t>(text.size(), static_cast<std::size_t>(length - 1)));
  }
  *count = filled;
  return kPyraOk;
}

// The first registration whose application file is gone (and that has an
// "AppID"), skipping those already found undeletable.
bool FindRemoved(store::Database* registry, const std::set<std::string>& skip, std::string* name) {
  Results all;
  if (store::ListObjects(registry, all.out(), 0) != store::kStoreOk) return false;
  Obj o;
  for (std::int32_t rc = store::FirstResult(all.get(), o.out()); rc == store::kStoreOk;
       rc = store::NextResult(all.get(), o.out())) {
    std::int32_t id = 0;
    if (!ObjectName(o.get(), SIZE_MAX, name) || !ReadInt(o.get(), "AppID", &id) || skip.count(*name)) continue;
    if (!CurrentSystem().FileExists(*name)) return true;
  }
  return false;
}

std::int32_t Prune(PyraHandle* handle, store::Database* registry, std::int32_t* count, std::int32_t* length) {
  // Each registration is removed by its own name: another one with the same
  // "AppID" whose file is still there must stay.
  std::set<std::string> undeletable;
  std::string name;
  while (FindRemoved(registry, undeletable, &name)) {
    Obj registration;
    if (LoadObject(registry, name.c_str(), &registration) != store::kStoreOk ||
        RemoveRegistration(handle, registry, registration.get()) != store::kStoreOk)
      undeletable.insert(name);
  }
  Results all;
  store::ListObjects(registry, all.out(), 0);
  *count = static_cast<std::int32_t>(store::GetResultCount(all.get()));
  *length = kReportedLength;
  return kPyraBufferTooSmall;
}

}  // namespace

void LoadAdSpaceList(PyraHandle* handle) {
  InfoDb info(handle);
  LoadFrom(info.get(), handle);
}

std::int32_t Register(PyraHandle* handle, std::int32_t application_id, const char* path, const std::int32_t* ids,
                      std::int32_t count) {
  if (!ids || count <= 0) return kPyraOk;
  std::vector<std::int32_t> given(ids, ids + count);
  {
    InfoDb info(handle);
    LoadFrom(info.get(), handle);
    MergeAdSpaces(&handle->ad_spaces, given);
    handle->ad_spaces_loaded = true;
    SaveTo(info.get(), handle);
  }
  Db registry;
  if (registry.Open(kRegistryDb, true) != store::kStoreOk) return kPyraNoRegistry;
  System& system = CurrentSystem();
  std::string name, version;
  if (!system.ProductName(path, &name)) name = path;
  if (!system.ProductVersion(path, &version)) version = path;
  Obj registration;
  std::int32_t rc = registration.Create(path);
  if (rc != store::kStoreOk) return rc;
  SetText(registration.get(), "Application", name);
  SetText(registration.get(), "Version", version);
  SetInt(registration.get(), "AppID", application_id);
  SetBlob(registration.get(), "AdIDs", AdSpacesToBlob(given));
  return Store(registry.get(), registration.get());
}

std::int32_t Unregister(PyraHandle* handle, std::int32_t application_id) {
  Db registry;
  if (registry.Open(kRegistryDb, true) != store::kStoreOk) return kPyraNoRegistry;
  Obj registration;
  std::int32_t rc = FindByInt(registry.get(), "AppID", application_id, &registration);
  if (rc != store::kStoreOk) return rc;
  return RemoveRegistration(handle, registry.get(), registration.get());
}

std::int32_t InstalledApplications(PyraHandle* handle, char** buffers, std::int32_t* count, std::int32_t* length) {
  if (!count || !length || (buffers && *length < 1)) return kPyraBadArgument;
  Db registry;
  if (registry.Open(kRegistryDb, true) != store::kStoreOk) return kPyraNoRegistry;
  if (buffers) return FillTexts(registry.get(), buffers, count, *length);
  return Prune(handle, registry.get(), count, length);
}

}  // namespace pyra
