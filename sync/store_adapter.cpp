#include "sync/store_adapter.h"

#include <cstring>

namespace sync_engine {

namespace {

std::uint16_t Base(std::uint16_t type) {
  if (type >= 32769 && type <= 32772) return static_cast<std::uint16_t>(type - 32768);
  if (type == 32773) return kTypeBinary;
  return type;
}

}  // namespace

int ToWireObject(store::Object* from, WireObject* to) {
  to->name.clear();
  to->properties.clear();
  char name[256];
  std::uint32_t size = sizeof name;
  int rc = store::GetObjectName(from, name, &size);
  if (rc != 0) return rc;
  to->name.assign(name, size ? size - 1 : 0);
  std::uint32_t count = 0;
  store::GetPropertyCount(from, &count);
  for (std::uint32_t i = 0; i < count; ++i) {
    WireProperty p;
    std::uint32_t nsize = 0;
    std::uint16_t type = 0;
    if (store::GetPropertyName(from, i, nullptr, &nsize, &type) != store::kStoreBufferTooSmall &&
        nsize == 0) {
      continue;
    }
    std::string pname(nsize, '\0');
    if (store::GetPropertyName(from, i, &pname[0], &nsize, &type) != 0) continue;
    pname.resize(nsize ? nsize - 1 : 0);
    std::uint32_t vsize = 0;
    rc = store::GetProperty(from, pname.c_str(), type, nullptr, &vsize);
    if (rc != store::kStoreBufferTooSmall && rc != 0) continue;
    std::uint32_t bytes = Base(type) == kTypeIdList ? vsize * 4 : vsize;
    std::string value(bytes, '\0');
    if (bytes && store::GetProperty(from, pname.c_str(), type, &value[0], &vsize) != 0) continue;
    p.type = type;
    p.name = pname;
    // The significant-length byte sits after the name's zero; names here are whole.
    p.value = value;
    to->properties.push_back(std::move(p));
  }
  return 0;
}

int FromWireObject(const WireObject& from, store::Object** to) {
  int rc = store::CreateObject(to, from.name.c_str());
  if (rc != 0) return rc;
  for (const WireProperty& p : from.properties) {
    std::string value = p.value;
    std::uint16_t base = Base(p.type);
    std::uint32_t length = static_cast<std::uint32_t>(value.size());
    if (base == kTypeInt && value.size() != 4) value.resize(4, '\0'), length = 4;
    if (base == kTypeDouble && value.size() != 8) value.resize(8, '\0'), length = 8;
    if (base == kTypeText && (value.empty() || value.back() != '\0')) {
      value.push_back('\0');
      length = static_cast<std::uint32_t>(value.size());
    }
    if (base == kTypeIdList) length = static_cast<std::uint32_t>(value.size() / 4);
    rc = store::SetProperty(*to, p.name.c_str(), p.type, value.data(), length, 1, 1, 1, p.significant_length);
    if (rc != 0) {
      store::FreeObject(*to);
      *to = nullptr;
      return rc;
    }
  }
  return 0;
}

int StoreSyncStore::Open(const std::string& name, bool create, bool start_empty, std::uint32_t cache_limit,
                         Database* db) {
  store::Database* d = nullptr;
  int rc = store::OpenDatabase(&d, name.c_str(), create ? 1 : 0, start_empty ? 1 : 0, store::kCreatorPyra,
                               cache_limit, store::kVersionMajor, store::kVersionMinor, volume());
  *db = rc == 0 ? d : nullptr;
  return rc;
}

void StoreSyncStore::Close(Database* db) {
  if (!*db) return;
  store::Database* d = static_cast<store::Database*>(*db);
  store::CloseDatabase(&d);
  *db = nullptr;
}

int StoreSyncStore::ForEachObject(Database db, int source, std::size_t* count,
                                  const std::function<bool(const WireObject&)>& visit) {
  store::ResultSet* rs = nullptr;
  int rc = store::ListObjects(static_cast<store::Database*>(db), &rs, source);
  if (rc != 0) return rc;
  if (count) *count = store::GetResultCount(rs);
  store::Object* o = nullptr;
  rc = store::FirstResult(rs, &o);
  while (rc == 0) {
    WireObject w;
    int crc = ToWireObject(o, &w);
    store::FreeObject(o);
    o = nullptr;
    if (crc == 0 && !visit(w)) break;
    rc = store::NextResult(rs, &o);
  }
  store::FreeResult(rs);
  return rc == store::kStoreNoMoreResults ? 0 : rc;
}

int StoreSyncStore::ReadObject(Database db, const std::string& name, WireObject* object) {
  store::Object* o = nullptr;
  int rc = store::CreateObject(&o, name.c_str());
  if (rc != 0) return rc;
  rc = store::ReadObject(static_cast<store::Database*>(db), o);
  if (rc == 0) {
    rc = ToWireObject(o, object);
    store::FreeObject(o);
  } else if (rc == store::kStoreObjectNotFound) {
    store::FreeObject(o);
  }
  return rc;
}

int StoreSyncStore::WriteObject(Database db, const WireObject& object) {
  store::Object* o = nullptr;
  int rc = FromWireObject(object, &o);
  if (rc != 0) return rc;
  rc = store::WriteObject(static_cast<store::Database*>(db), o, 1, 1, 1, 1);
  store::FreeObject(o);
  return rc;
}

int StoreSyncStore::DeleteObject(Database db, const std::string& name) {
  store::Object* o = nullptr;
  int rc = store::CreateObject(&o, name.c_str());
  if (rc != 0) return rc;
  rc = store::DeleteObject(static_cast<store::Database*>(db), o, 0);
  store::FreeObject(o);
  return rc;
}

SyncStore* DefaultSyncStore() {
  static StoreSyncStore store;
  return &store;
}

}  // namespace sync_engine
