// A second host application for the two-process tests: opens the ad
// library on the device folder the environment names and synchronises.
//   pyra_test_host.exe --app ID [--hold STARTED CONTINUE]
// With --hold, the first progress report of the sync signals the named
// event STARTED and waits for CONTINUE, so that another process can look at
// the library while this one synchronises. Exits with the sync's result
// (100 + the open's result when opening fails).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pyra/pyra.h"

namespace {

HANDLE g_started = nullptr;
HANDLE g_continue = nullptr;

int HoldingProgress(int, int, const char*, int) {
  if (g_started) {
    SetEvent(g_started);
    WaitForSingleObject(g_continue, 60000);
    g_started = nullptr;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int application = -1;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--app") && i + 1 < argc) {
      application = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--hold") && i + 2 < argc) {
      g_started = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[++i]);
      g_continue = OpenEventA(SYNCHRONIZE, FALSE, argv[++i]);
      if (!g_started || !g_continue) return 99;
    } else {
      std::fprintf(stderr, "usage: pyra_test_host --app ID [--hold STARTED CONTINUE]\n");
      return 98;
    }
  }
  PyraOpenVersion version = {{1, 2, 2}, {0, 0, 0}};
  void* handle = nullptr;
  int rc = PyraOpen(&handle, application, &version, nullptr, nullptr, 0);
  if (rc != kPyraOk && rc != kPyraSyncDue) return 100 + (rc % 100);
  rc = SyncPyraDatabase(handle, HoldingProgress);
  PyraClose(handle);
  return rc;
}
