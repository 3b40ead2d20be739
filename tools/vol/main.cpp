// tidelark-vol: shows what a store volume holds and checks it.
//
//   tidelark-vol <volume> [database]          lists databases, objects, properties
//   tidelark-vol --check <volume> [database]  checks the index against the records
//                                             (order, keys, every object indexed
//                                             whole and once, no two objects of one
//                                             name, no orphaned record); exits 1 on
//                                             any inconsistency
//   tidelark-vol --server HOST:PORT <volume>  points the device at a sync server
//                                             ("ServerSettings" of "_sysSettings";
//                                             the volume is made when missing)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/server_settings.h"
#include "inspect.h"
#include "platform/os.h"
#include "store/store.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: tidelark-vol [--check] <volume> [database]\n"
                       "       tidelark-vol --server HOST:PORT <volume>\n");
  return 2;
}

// Writes the server's host and port where the sync engine reads them.
int PointAtServer(const std::string& server, const std::string& volume) {
  const std::size_t colon = server.rfind(':');
  const std::string host = colon == std::string::npos ? std::string() : server.substr(0, colon);
  const std::string port = colon == std::string::npos ? std::string() : server.substr(colon + 1);
  const unsigned long number = port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos
                                   ? 0
                                   : std::strtoul(port.c_str(), nullptr, 10);
  if (host.empty() || host.size() > 99 || number < 1 || number > 65535) {
    std::fprintf(stderr, "tidelark-vol: %s: not HOST:PORT\n", server.c_str());
    return 2;
  }
  const std::int32_t rc = WriteServerSettings(volume, host, static_cast<std::uint32_t>(number));
  if (rc != store::kStoreOk) {
    std::fprintf(stderr, "tidelark-vol: %s: cannot write the server settings (store code %d)\n", volume.c_str(), rc);
    return 1;
  }
  std::printf("%s: syncs with %s:%lu\n", volume.c_str(), host.c_str(), number);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  std::string server;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
    } else if (std::strcmp(argv[i], "--server") == 0) {
      if (++i == argc) return Usage();
      server = argv[i];
    } else {
      args.push_back(argv[i]);
    }
  }
  if (!server.empty()) return check || args.size() != 1 ? Usage() : PointAtServer(server, args[0]);
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
