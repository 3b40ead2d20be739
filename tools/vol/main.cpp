// tidelark-vol: shows what a store volume holds and checks it.
//
//   tidelark-vol <volume> [database]          lists databases, objects, properties
//   tidelark-vol --check <volume> [database]  checks the index against the records
//                                             (order, keys, every object indexed
//                                             whole and once, no two objects of one
//                                             name, no orphaned record); exits 1 on
//                                             any inconsistency
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "inspect.h"
#include "platform/os.h"
#include "store/store.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: tidelark-vol [--check] <volume> [database]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--check") == 0) check = true;
    else args.push_back(argv[i]);
  }
  if (args.empty() || args.size() > 2) return Usage();
  const std::string& volume = args[0];
  if (!platform::os::PathExists(volume)) {
    std::fprintf(stderr, "tidelark-vol: %s: no such file\n", volume.c_str());
    return 2;
  }
  std::vector<std::string> names;
  if (args.size() == 2) {
    names.push_back(args[1]);
  } else {
    bool mounted = false;
    names = store::VolumeDatabaseNames(volume, &mounted);
    if (!mounted) {
      std::fprintf(stderr, "tidelark-vol: %s: not a database volume\n", volume.c_str());
      return 2;
    }
  }
  int failures = 0;
  std::printf("volume %s: %u database(s)\n", volume.c_str(), unsigned(names.size()));
  for (const std::string& name : names) {
    store::Database* db = nullptr;
    store::StoreCode rc = store::OpenDatabase(&db, name.c_str(), 0, 0, store::kCreatorPyra, 0,
                                          store::kVersionMajor, store::kVersionMinor, volume.c_str());
    if (rc != store::kStoreOk) {
      std::printf("database \"%s\": cannot open (%d)\n", name.c_str(), rc);
      ++failures;
      continue;
    }
    store::ResultSet* all = nullptr;
    std::uint32_t objects = 0;
    if (store::ListObjects(db, &all, 0) == store::kStoreOk) objects = store::GetResultCount(all);
    store::FreeResult(all);
    std::printf("database \"%s\": %u object(s)\n", name.c_str(), objects);
    if (check) {
      std::vector<std::string> problems;
      rc = store::CheckDatabase(db, &problems);
      if (rc != store::kStoreOk) problems.push_back("check failed with " + std::to_string(rc));
      for (const auto& p : problems) std::printf("  problem: %s\n", p.c_str());
      if (problems.empty()) std::printf("  consistent\n");
      failures += static_cast<int>(problems.size());
    } else {
      std::string text;
      rc = store::DescribeDatabase(db, &text);
      std::fputs(text.c_str(), stdout);
      if (rc != store::kStoreOk) {
        std::printf("  listing stopped: %d\n", rc);
        ++failures;
      }
    }
    store::CloseDatabase(&db);
  }
  return failures == 0 ? 0 : 1;
}
