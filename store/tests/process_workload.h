// The work the child processes of the process tests do, shared by the test
// (which computes what must be there) and the child program (which does it).
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "handles.h"
#include "platform/cedb_testing.h"
#include "platform/os.h"
#include "store/store.h"

namespace store {
namespace workload {

// Operation i (1-based) touches one of 60 objects with long names (their
// lookups tie on the keys): it writes some properties, or deletes the
// object, or deletes two of its properties. Values carry i, so that every
// operation leaves a state of its own.
constexpr int kObjects = 60;
using Props = std::map<std::string, std::string>;  // name -> type letter and value
using Model = std::map<std::string, Props>;

inline std::string ObjectName(std::uint32_t i) {
  return "object-with-a-long-name-" + std::to_string(i * 7 % kObjects);
}

// The properties a writing operation sets, in the model's terms.
inline Props WriteOf(std::uint32_t i) {
  Props p;
  p["Version"] = "i" + std::to_string(i);
  p["Tag" + std::to_string(i % 20)] = "i" + std::to_string(i % 1000);
  if (i % 4 == 0) p["Count"] = "i" + std::to_string(i % 13);
  p["Title"] = "ttitle " + std::to_string(i) + std::string(i % 50, 't');
  p["Body"] = "b" + std::string(i * 131 % 4000, static_cast<char>('a' + i % 26));
  return p;
}

inline bool Deletes(std::uint32_t i) { return i % 10 == 3 || i % 10 == 7; }

// Operation i on the model; kStoreObjectNotFound as the store answers it.
inline StoreCode ApplyToModel(std::uint32_t i, Model* model) {
  std::string name = ObjectName(i);
  if (!Deletes(i)) {
    for (auto& kv : WriteOf(i)) (*model)[name][kv.first] = kv.second;
    return kStoreOk;
  }
  auto it = model->find(name);
  if (it == model->end()) return kStoreObjectNotFound;
  if (i % 10 == 3) {
    model->erase(it);
  } else {
    it->second.erase("Body");
    it->second.erase("Count");
  }
  return kStoreOk;
}

// Operation i on the database.
inline StoreCode ApplyToStore(std::uint32_t i, Database* db) {
  std::string name = ObjectName(i);
  Object* o = nullptr;
  StoreCode rc = CreateObject(&o, name.c_str());
  if (rc != kStoreOk) return rc;
  if (Deletes(i)) {
    std::int32_t zero = 0;
    if (i % 10 == 7) {
      SetProperty(o, "Body", kTypeInteger, &zero, 4, 1, 1, 1, 0);
      SetProperty(o, "Count", kTypeInteger, &zero, 4, 1, 1, 1, 0);
    }
    rc = DeleteObject(db, o, i % 10 == 7 ? 1 : 0);
  } else {
    for (auto& kv : WriteOf(i)) {
      const std::string& v = kv.second;
      if (v[0] == 'i') {
        std::int32_t x = std::stoi(v.substr(1));
        SetProperty(o, kv.first.c_str(), kTypeInteger, &x, 4, 1, 1, 1, 0);
      } else if (v[0] == 't') {
        SetProperty(o, kv.first.c_str(), kTypeText, v.c_str() + 1, static_cast<std::uint32_t>(v.size()), 1, 1, 1, 0);
      } else {
        SetProperty(o, kv.first.c_str(), kTypeBinary, v.data() + 1, static_cast<std::uint32_t>(v.size() - 1), 1, 1, 1, 0);
      }
    }
    rc = WriteObject(db, o, 1, 1, 1, 0);
  }
  FreeObject(o);
  return rc;
}

// What the database holds, in the model's terms.
inline bool ReadModel(Database* db, Model* out) {
  ResultSet* all = nullptr;
  if (ListObjects(db, &all, 0) != kStoreOk) return false;
  Object* o = nullptr;
  StoreCode rc;
  for (rc = FirstResult(all, &o); rc == kStoreOk; rc = NextResult(all, &o)) {
    Props& props = (*out)[o->name ? o->name : ""];
    for (std::uint32_t k = 0; k < o->count; ++k) {
      const Property& p = o->properties[k];
      std::string v;
      switch (p.type) {
        case kTypeInteger: v = "i" + std::to_string(p.value.integer); break;
        case kTypeText: v = std::string("t") + p.value.text; break;
        default: v = "b" + std::string(reinterpret_cast<const char*>(p.value.binary.bytes), p.value.binary.length);
      }
      props[p.name] = v;
    }
    FreeObject(o);
  }
  FreeResult(all);
  return rc == kStoreNoMoreResults;
}

// The killed child: operations first, first+1, ... until it is killed, the
// last finished one written to `progress`. Returns only on a failure.
inline int RunKilledWriter(const std::string& volume, const std::string& progress, std::uint32_t first,
                           std::uint32_t cache) {
  namespace os = platform::os;
  cedb::SetCompactionThreshold(64u << 10);  // so that kills also land inside compactions
  Database* db = nullptr;
  if (OpenDatabase(&db, "Crash", 1, 0, kCreatorPyra, cache, 11, 10, volume.c_str()) != kStoreOk) return 3;
  os::FileHandle pf;
  if (os::OpenFile(progress, os::kOpenRead | os::kOpenWrite | os::kOpenCreate, &pf) != os::kOk) return 4;
  for (std::uint32_t i = first;; ++i) {
    StoreCode rc = ApplyToStore(i, db);
    if (rc != kStoreOk && rc != kStoreObjectNotFound) return 5;
    char b[4] = {static_cast<char>(i), static_cast<char>(i >> 8), static_cast<char>(i >> 16), static_cast<char>(i >> 24)};
    os::WriteAt(pf, 0, b, 4);
  }
}

// The two-process test: the child's objects and what it deletes of the parent's.
constexpr int kParentObjects = 100;
inline std::string ChildObject(int i) { return "child-object-" + std::to_string(i); }
inline std::string ParentObject(int k) { return "parent-object-" + std::to_string(k); }
inline bool ChildDeletes(int k) { return k % 3 == 0 && k < kParentObjects; }

}  // namespace workload
}  // namespace store
