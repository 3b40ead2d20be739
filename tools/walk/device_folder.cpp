#include "device_folder.h"

#include "app/object_store.h"
#include "app/server_settings.h"
#include "app/stored_object.h"
#include "platform/os.h"

namespace walk {

DeviceFolder::DeviceFolder(const std::string& bin, const std::string& base) : base_(base) {
  if (platform::os::MakeTempDirectory("tidelark-device", &dir_) != 0) return;
  ok_ = Copy(bin + "/Tidelark.exe", base + ".exe") && Copy(bin + "/Feedpane.dll", "Feedpane.dll") && Copy(bin + "/TidelarkEN.lnp", base + "EN.lnp") &&
        Copy(bin + "/TidelarkDE.lnp", base + "DE.lnp") && Copy(bin + "/imgdecmp.dll", "imgdecmp.dll") &&
        Copy(bin + "/aygshell.dll", "aygshell.dll");
}

DeviceFolder::~DeviceFolder() {
  if (!dir_.empty()) platform::os::RemoveTree(dir_);
}

std::wstring DeviceFolder::Program() const {
  std::u16string w = platform::os::Utf8ToUtf16(platform::os::JoinPath(dir_, base_ + ".exe"));
  return std::wstring(w.begin(), w.end());
}

std::string DeviceFolder::Volume() const { return platform::os::JoinPath(dir_, "Reader.vol"); }

int DeviceFolder::ReadInt(const char* database, const char* object, const char* property) const {
  CObjectStore access(Volume());
  store::Database* db = nullptr;
  if (access.Open(&db, database, false, false, 0) != store::kStoreOk) return -1;
  std::int32_t value = -1;
  if (!CObjectStore::ReadInt(db, object, property, &value)) value = -1;
  store::CloseDatabase(&db);
  return value;
}

std::string DeviceFolder::ReadText(const char* database, const char* object, const char* property) const {
  CObjectStore access(Volume());
  store::Database* db = nullptr;
  if (access.Open(&db, database, false, false, 0) != store::kStoreOk) return std::string();
  StoredObject o(object);
  std::string text;
  if (o.Load(db) == store::kStoreOk) o.GetText(property, &text);
  store::CloseDatabase(&db);
  return text;
}

bool DeviceFolder::Has(const char* database, const char* object) const {
  CObjectStore access(Volume());
  store::Database* db = nullptr;
  if (access.Open(&db, database, false) != store::kStoreOk) return false;
  bool found = CObjectStore::CanRead(db, object);
  store::CloseDatabase(&db);
  return found;
}

int DeviceFolder::Count(const char* database) const {
  CObjectStore access(Volume());
  store::Database* db = nullptr;
  if (access.Open(&db, database, false, false, 0) != store::kStoreOk) return -1;
  store::ResultSet* all = nullptr;
  int count = -1;
  if (store::ListObjects(db, &all, 0) == store::kStoreOk) {
    count = static_cast<int>(store::GetResultCount(all));
    store::FreeResult(all);
  }
  store::CloseDatabase(&db);
  return count;
}

std::int32_t DeviceFolder::SetServer(const std::string& host, int port) const {
  return WriteServerSettings(Volume(), host, static_cast<std::uint32_t>(port));
}

bool DeviceFolder::Copy(const std::string& from, const std::string& to) {
  std::string bytes;
  return platform::os::ReadWholeFile(from, &bytes) == 0 &&
         platform::os::WriteWholeFile(platform::os::JoinPath(dir_, to), bytes) == 0;
}

}  // namespace walk
