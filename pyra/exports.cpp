// The library's C exports: each validates the handle, takes its lock and
// hands over to the part that does the work.
//
// The process-wide open counter: only the PyraClose that brings it to 0
// closes and frees; earlier closes leave their handles usable until then,
// and the last close frees them too.
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "ad_sync.h"
#include "banner.h"
#include "dates.h"
#include "handle.h"
#include "messages.h"
#include "pyra/pyra.h"
#include "registry.h"
#include "system.h"
#include "user_records.h"
#include "version.h"

namespace pyra {

namespace {

// Handles that have been closed while others were still open.
class OpenHandles {
 public:
  void Opened() {
    std::lock_guard<std::mutex> guard(mu_);
    ++count_;
  }
  // Returns the handles to free now (empty while others stay open).
  std::vector<PyraHandle*> Closed(PyraHandle* handle) {
    std::lock_guard<std::mutex> guard(mu_);
    waiting_.push_back(handle);
    if (--count_ > 0) return {};
    std::vector<PyraHandle*> all;
    all.swap(waiting_);
    return all;
  }

 private:
  std::mutex mu_;
  int count_ = 0;
  std::vector<PyraHandle*> waiting_;
};

OpenHandles& Handles() {
  static OpenHandles handles;
  return handles;
}

PyraHandle* AsHandle(void* handle) {
  PyraHandle* h = static_cast<PyraHandle*>(handle);
  return ValidHandle(h) ? h : nullptr;
}

void Free(PyraHandle* handle) {
  {
    std::lock_guard<std::recursive_mutex> guard(handle->lock);
    DropSelection(handle);
    CloseAdDatabases(handle);
    std::memset(handle->magic, 0, sizeof handle->magic);
  }
  delete handle;
}

std::int32_t WriteLauncherDefaults() {
  Db settings;
  std::int32_t rc = settings.Open(kLauncherSettingsDb, false);
  if (rc != store::kStoreNoDatabase) return store::kStoreOk;
  rc = settings.Open(kLauncherSettingsDb, true);
  if (rc != store::kStoreOk) return rc;
  Obj defaults;
  rc = defaults.Create("DefaultSettings");
  if (rc != store::kStoreOk) return rc;
  SetInt(defaults.get(), "DesktopLimit", 0);
  SetInt(defaults.get(), "OTALimit", 0);
  SetText(defaults.get(), "ServerAddress", "http://127.0.0.1:8002/");
  SetText(defaults.get(), "User", "Username");
  return Store(settings.get(), defaults.get());
}

// Steps 3 to 6 of opening: the default records and the two databases.
std::int32_t PrepareHandle(PyraHandle* handle) {
  std::int32_t rc = WriteLauncherDefaults();
  if (rc != store::kStoreOk) return rc;
  WriteDeviceRecords();
  handle->cached_stamp = CurrentSystem().NowFileTime();
  RefreshSyncState(handle);
  rc = OpenDb(kInfoDb, true, &handle->info_db);
  if (rc != store::kStoreOk) return rc;
  handle->open_error = OpenDb(kAdDb, true, &handle->ad_db);
  handle->status = handle->open_error;
  handle->check_hour = HourStamp(CurrentSystem().NowFileTime());
  return store::kStoreOk;
}

}  // namespace

}  // namespace pyra

using pyra::PyraHandle;

extern "C" {

int PyraGetVersion(PyraVersion* version, PyraVersion* oldest) {
  if (!version) return kPyraBadArgument;
  int rc = pyra::Accepted(*version) ? kPyraVersionAccepted : kPyraVersionMismatch;
  *version = pyra::kLibraryVersion;
  if (oldest) *oldest = pyra::kOldestVersion;
  return rc;
}

int PyraOpen(void** out, int32_t application_id, PyraOpenVersion* version, const char* application_path,
             const int32_t* ad_spaces, int32_t count) {
  if (!out) return kPyraBadArgument;
  PyraHandle* handle = new (std::nothrow) PyraHandle();
  if (!handle) return kPyraNoMemory;
  handle->application_id = application_id;
  int rc = PyraGetVersion(version ? &version->host : nullptr, version ? &version->oldest : nullptr);
  if (rc != kPyraVersionAccepted) {
    delete handle;
    return rc;
  }
  rc = pyra::PrepareHandle(handle);
  if (rc != kPyraOk) {
    pyra::Free(handle);
    return rc;
  }
  pyra::Handles().Opened();
  *out = handle;
  std::lock_guard<std::recursive_mutex> guard(handle->lock);
  pyra::LoadAdSpaceList(handle);
  if (application_id != -1 && application_path)
    pyra::Register(handle, application_id, application_path, ad_spaces, count);
  pyra::UpdateStatus(handle);
  return handle->status;
}

int PyraClose(void* handle) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h) return kPyraBadArgument;
  {
    std::lock_guard<std::recursive_mutex> guard(h->lock);
    if (h->closed) return kPyraOk;
    h->closed = true;
  }
  for (PyraHandle* done : pyra::Handles().Closed(h)) pyra::Free(done);
  return kPyraOk;
}

int RegisterApplication(void* handle, int32_t application_id, const char* application_path, const int32_t* ad_spaces,
                        int32_t count) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h || !application_path) return kPyraBadArgument;
  std::lock_guard<std::recursive_mutex> guard(h->lock);
  return pyra::Register(h, application_id, application_path, ad_spaces, count);
}

int UnregisterApplication(void* handle, int32_t application_id) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h) return kPyraBadArgument;
  std::lock_guard<std::recursive_mutex> guard(h->lock);
  return pyra::Unregister(h, application_id);
}

int GetInstalledApplications(void* handle, char** buffers, int32_t* count, int32_t* length) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h) return kPyraBadArgument;
  std::lock_guard<std::recursive_mutex> guard(h->lock);
  return pyra::InstalledApplications(h, buffers, count, length);
}

int SetUserInformation(void* handle, const char* user, const char* password) {
  if (!pyra::AsHandle(handle) || !user || !password) return kPyraBadArgument;
  return pyra::SetUser(user, password);
}

int GetUserInformation(void* handle, char* buffer, int32_t* length) {
  if (!pyra::AsHandle(handle) || !length) return kPyraBadArgument;
  return pyra::GetUser(buffer, length);
}

int GetSyncInfo(void* handle, int32_t* last, int32_t* next) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h || !last || !next) return kPyraBadArgument;
  std::lock_guard<std::recursive_mutex> guard(h->lock);
  return pyra::SyncInfo(h, last, next);
}

int SetBannerArea(void* handle, void* window, int32_t ad_space) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h) return kPyraBadArgument;
  std::lock_guard<std::recursive_mutex> guard(h->lock);
  return pyra::SetArea(h, window, ad_space);
}

int SetContextKeywords(void* handle, const char* keywords, int32_t redraw) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h) return kPyraBadArgument;
  std::lock_guard<std::recursive_mutex> guard(h->lock);
  return pyra::SetKeywords(h, keywords, redraw != 0);
}

int DrawBanner(void* handle, int32_t pick_new) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h) return kPyraBadArgument;
  std::lock_guard<std::recursive_mutex> guard(h->lock);
  return pyra::Draw(h, pick_new != 0);
}

int ProcessSystemMessage(void* handle, void* window, uint32_t message, uintptr_t first, intptr_t second,
                         intptr_t* result) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h) return 0;
  std::lock_guard<std::recursive_mutex> guard(h->lock);
  return pyra::ProcessMessage(h, window, message, first, second, result);
}

int SyncPyraDatabase(void* handle, PyraSyncCallback callback) {
  PyraHandle* h = pyra::AsHandle(handle);
  if (!h) return kPyraBadArgument;
  std::unique_lock<std::recursive_mutex> lock(h->lock);
  return pyra::SyncAds(h, callback, &lock);
}

int CreatePyraInstance(void* handle, int32_t, int32_t, int32_t, int32_t, const char* keywords, void* window,
                       int32_t ad_space) {
  int rc = SetBannerArea(handle, window, ad_space);
  if (rc != kPyraOk) return rc;
  return SetContextKeywords(handle, keywords ? keywords : "motorsport/cars", 0);
}

}  // extern "C"
