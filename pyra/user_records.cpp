// The device and user records in "PyraPrefs", which travel to the ad
// server with every ad sync.
#include "user_records.h"

#include "pyra/pyra.h"
#include "store_access.h"
#include "system.h"

namespace pyra {

namespace {

constexpr char kDeviceObject[] = "PyraDevice";
constexpr char kUserObject[] = "PyraUser";
constexpr char kNoUser[] = "Username";
constexpr std::size_t kOemLimit = 255;
constexpr std::size_t kUserLimit = 255;

std::int32_t CreateRecords(store::Database* prefs) {
  System& system = CurrentSystem();
  int width = 0, height = 0;
  system.ScreenSize(&width, &height);
  Obj device;
  std::int32_t rc = device.Create(kDeviceObject);
  if (rc != store::kStoreOk) return rc;
  SetText(device.get(), "DevType", "Pocket");
  SetText(device.get(), "DevModel", "Pocket");
  SetInt(device.get(), "Width", width);
  SetInt(device.get(), "Height", height);
  if (system.OrientationQuery()) {
    SetInt(device.get(), "Width1", height);
    SetInt(device.get(), "Height1", width);
  }
  SetText(device.get(), "DevID", "2");
  SetText(device.get(), "HID", "213234");
  rc = Store(prefs, device.get());
  if (rc != store::kStoreOk) return rc;

  Obj user;
  rc = user.Create(kUserObject);
  if (rc != store::kStoreOk) return rc;
  SetText(user.get(), "User", kNoUser);
  std::string text;
  if (system.LanguageAbbreviation(&text)) SetText(user.get(), "Lang", text);
  if (system.CountryAbbreviation(&text)) SetText(user.get(), "Country", text);
  return Store(prefs, user.get());
}

}  // namespace

void WriteDeviceRecords() {
  Db prefs;
  if (prefs.Open(kPrefsDb, false) == store::kStoreNoDatabase) {
    if (prefs.Open(kPrefsDb, true) != store::kStoreOk) return;
    CreateRecords(prefs.get());
  }
  if (!prefs) return;
  Obj device;
  std::int32_t rc = LoadObject(prefs.get(), kDeviceObject, &device);
  if (rc == store::kStoreObjectNotFound) rc = device.Create(kDeviceObject);
  if (rc != store::kStoreOk) return;
  System& system = CurrentSystem();
  std::string text, stored;
  if (!ReadText(device.get(), "OEMName", &stored) && system.OemInfo(&text))
    SetText(device.get(), "OEMName", text.substr(0, kOemLimit - 1));
  if (system.OperatorName(&text)) SetText(device.get(), "OpName", text);
  else if (!ReadText(device.get(), "OpName", &stored)) SetText(device.get(), "OpName", "");
  Store(prefs.get(), device.get());
}

std::int32_t SetUser(const char* user, const char* password) {
  Db prefs;
  std::int32_t rc = prefs.Open(kPrefsDb, false);
  if (rc != store::kStoreOk) return rc;
  if (!*user) return kPyraOk;
  std::string pass = password;
  if (pass == "N/A") pass.clear();
  Obj record;
  rc = record.Create(kUserObject);
  if (rc != store::kStoreOk) return rc;
  SetText(record.get(), "User", user);
  SetText(record.get(), "Pass", pass);
  return Store(prefs.get(), record.get());
}

std::int32_t GetUser(char* buffer, std::int32_t* length) {
  Db prefs;
  std::int32_t rc = prefs.Open(kPrefsDb, false);
  if (rc != store::kStoreOk) return rc;
  Obj record;
  std::string user;
  if (LoadObject(prefs.get(), kUserObject, &record) != store::kStoreOk ||
      !ReadText(record.get(), "User", kUserLimit, &user) || user == kNoUser)
    return kPyraNoUser;
  std::int32_t needed = static_cast<std::int32_t>(user.size() + 1);
  if (!buffer || *length < needed) {
    *length = needed;
    return kPyraBufferTooSmall;
  }
  user.copy(buffer, user.size());
  buffer[user.size()] = '\0';
  return kPyraOk;
}

}  // namespace pyra
