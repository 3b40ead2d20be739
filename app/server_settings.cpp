#include "app/server_settings.h"

#include "app/stored_object.h"
#include "store/store.h"

std::int32_t WriteServerSettings(const std::string& volume, const std::string& host, std::uint32_t port) {
  store::Database* db = nullptr;
  std::int32_t rc = store::OpenDatabase(&db, "_sysSettings", 1, 0, store::kCreatorPyra, 0, store::kVersionMajor,
                                        store::kVersionMinor, volume.c_str());
  if (rc != store::kStoreOk) return rc;
  rc = StoredObject("ServerSettings").SetText("ServerIP", host).SetText("ServerPort", std::to_string(port)).Write(db);
  store::CloseDatabase(&db);
  return rc;
}
