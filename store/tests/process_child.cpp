// The child processes of the store's process tests where they cannot be
// forked (Windows):
//   kill VOLUME PROGRESS FIRST CACHE   applies operations FIRST, FIRST+1, ...
//       until it is killed, writing the last finished one to PROGRESS
//   write VOLUME COUNT                 writes COUNT objects, deletes some of
//       the parent's, and counts its steps in the object "shared"

#include <cstdlib>
#include <string>

#include "platform/os.h"
#include "process_workload.h"

namespace os = platform::os;
using namespace store;

namespace {

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
  if (argc == 6 && std::string(argv[1]) == "kill")
    std::_Exit(workload::RunKilledWriter(argv[2], argv[3], static_cast<std::uint32_t>(std::stoul(argv[4])),
                                         static_cast<std::uint32_t>(std::stoul(argv[5]))));
  if (argc == 4 && std::string(argv[1]) == "write") std::_Exit(Write(argv[2], std::stoi(argv[3])));
  std::_Exit(2);
}
