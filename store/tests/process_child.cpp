// The child processes of the store's process tests, kept small so that a
// test can start hundreds of them.
//   kill VOLUME PROGRESS GATE CYCLE CACHE   waits at GATE for "CYCLE FIRST",
//       then applies operations FIRST, FIRST+1, ... until it is killed,
//       writing the last finished one to PROGRESS
//   write VOLUME COUNT                      writes COUNT objects, deletes some
//       of the parent's, and counts its steps in the object "shared"

#include <cstdlib>
#include <string>

#include "platform/cedb_testing.h"
#include "platform/os.h"
#include "process_workload.h"

namespace os = platform::os;
using namespace store;

namespace {

void WriteProgress(os::FileHandle f, std::uint32_t i) {
  char b[4] = {static_cast<char>(i), static_cast<char>(i >> 8), static_cast<char>(i >> 16), static_cast<char>(i >> 24)};
  os::WriteAt(f, 0, b, 4);
}

// The child starts while the parent still checks the last cycle.
std::uint32_t WaitAtGate(const std::string& gate, std::uint32_t cycle) {
  for (;;) {
    std::string s;
    if (os::ReadWholeFile(gate, &s) == os::kOk) {
      std::size_t space = s.find(' ');
      if (space != std::string::npos && std::strtoul(s.c_str(), nullptr, 10) == cycle)
        return static_cast<std::uint32_t>(std::strtoul(s.c_str() + space + 1, nullptr, 10));
    }
    os::SleepMillis(1);
  }
}

int Kill(const std::string& volume, const std::string& progress, const std::string& gate, std::uint32_t cycle,
         std::uint32_t cache) {
  cedb::SetCompactionThreshold(64u << 10);  // so that kills also land inside compactions
  std::uint32_t first = WaitAtGate(gate, cycle);
  Database* db = nullptr;
  if (OpenDatabase(&db, "Crash", 1, 0, kCreatorPyra, cache, 11, 10, volume.c_str()) != kStoreOk) return 3;
  os::FileHandle pf;
  if (os::OpenFile(progress, os::kOpenRead | os::kOpenWrite | os::kOpenCreate, &pf) != os::kOk) return 4;
  for (std::uint32_t i = first;; ++i) {
    StoreCode rc = workload::ApplyToStore(i, db);
    if (rc != kStoreOk && rc != kStoreObjectNotFound) return 5;
    WriteProgress(pf, i);
  }
}

StoreCode PutInt(Database* db, const std::string& name, const char* property, std::int32_t v) {
  Object* o = nullptr;
  StoreCode rc = CreateObject(&o, name.c_str());
  if (rc != kStoreOk) return rc;
  SetProperty(o, property, kTypeInteger, &v, 4, 1, 1, 1, 0);
  SetProperty(o, "Owner", kTypeText, "child", 6, 1, 1, 1, 0);
  rc = WriteObject(db, o, 1, 1, 1, 0);
  FreeObject(o);
  return rc;
}

int Write(const std::string& volume, int count) {
  Database* db = nullptr;
  if (OpenDatabase(&db, "Shared", 1, 0, kCreatorPyra, 64000, 11, 10, volume.c_str()) != kStoreOk) return 3;
  for (int i = 0; i < count; ++i) {
    if (PutInt(db, workload::ChildObject(i), "Value", i) != kStoreOk) return 4;
    if (workload::ChildDeletes(i)) {
      Object* gone = nullptr;
      CreateObject(&gone, workload::ParentObject(i).c_str());
      StoreCode rc = DeleteObject(db, gone, 0);
      FreeObject(gone);
      if (rc != kStoreOk) return 5;
    }
    if (PutInt(db, "shared", "ChildStep", i) != kStoreOk) return 6;
  }
  return CloseDatabase(&db) == kStoreOk ? 0 : 7;
}

}  // namespace

int main(int argc, char** argv) {
  // _Exit: a failing child reports its code, not its leaks.
  if (argc == 7 && std::string(argv[1]) == "kill")
    std::_Exit(Kill(argv[2], argv[3], argv[4], static_cast<std::uint32_t>(std::stoul(argv[5])),
                    static_cast<std::uint32_t>(std::stoul(argv[6]))));
  if (argc == 4 && std::string(argv[1]) == "write") std::_Exit(Write(argv[2], std::stoi(argv[3])));
  std::_Exit(2);
}
