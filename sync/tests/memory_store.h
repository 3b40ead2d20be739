// An in-memory SyncStore for the session and server tests: databases of
// wire objects with a change list, and switches that make writes fail.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/store.h"
#include "sync/sync_store.h"

namespace sync_test {

class MemoryStore : public sync_engine::SyncStore {
 public:
  struct Db {
    std::map<std::string, sync_engine::WireObject> objects;
    std::vector<std::string> changes;
    bool full = false;  // writes fail as on a full volume
  };
  std::map<std::string, std::unique_ptr<Db>> dbs;
  int opens = 0, closes = 0;
  bool fail_writes = false;

  Db& Make(const std::string& name) {
    auto& d = dbs[name];
    if (!d) d.reset(new Db());
    return *d;
  }
  void Put(const std::string& db, const sync_engine::WireObject& o) { Make(db).objects[o.name] = o; }
  std::string Text(const std::string& db, const std::string& object, const std::string& prop) {
    auto it = dbs.find(db);
    if (it == dbs.end()) return "<no db>";
    auto o = it->second->objects.find(object);
    if (o == it->second->objects.end()) return "<no object>";
    std::string t;
    return o->second.GetText(prop, &t) ? t : "<no property>";
  }

  int Open(const std::string& name, bool create, bool start_empty, std::uint32_t, Database* db) override {
    auto it = dbs.find(name);
    if (it == dbs.end()) {
      if (!create) return store::kStoreNoDatabase;
      Make(name);
      it = dbs.find(name);
    } else if (start_empty) {
      it->second.reset(new Db());
    }
    ++opens;
    *db = it->second.get();
    return 0;
  }
  void Close(Database* db) override {
    if (*db) ++closes;
    *db = nullptr;
  }
  int ForEachObject(Database db, int source, std::size_t* count,
                    const std::function<bool(const sync_engine::WireObject&)>& visit) override {
    Db* d = static_cast<Db*>(db);
    if (count) *count = source >= 1 ? d->changes.size() : d->objects.size();
    if (source >= 1) {
      for (const auto& n : d->changes) {
        auto it = d->objects.find(n);
        if (it != d->objects.end() && !visit(it->second)) break;
      }
      return 0;
    }
    for (const auto& kv : d->objects) {
      if (!visit(kv.second)) break;
    }
    return 0;
  }
  int ReadObject(Database db, const std::string& name, sync_engine::WireObject* object) override {
    Db* d = static_cast<Db*>(db);
    auto it = d->objects.find(name);
    if (it == d->objects.end()) return store::kStoreObjectNotFound;
    *object = it->second;
    return 0;
  }
  int WriteObject(Database db, const sync_engine::WireObject& object) override {
    Db* d = static_cast<Db*>(db);
    if (fail_writes || d->full) return store::kStoreWriteFailed;
    auto& stored = d->objects[object.name];
    stored.name = object.name;
    for (const auto& p : object.properties) {
      bool found = false;
      for (auto& q : stored.properties) {
        if (q.name == p.name) {
          q = p;
          found = true;
        }
      }
      if (!found) stored.properties.push_back(p);
    }
    return 0;
  }
  int DeleteObject(Database db, const std::string& name) override {
    Db* d = static_cast<Db*>(db);
    return d->objects.erase(name) ? store::kStoreOk : store::kStoreObjectNotFound;
  }
};

}  // namespace sync_test
