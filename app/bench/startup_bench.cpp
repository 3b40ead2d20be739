// Start-up benchmark under Wine: from CreateProcess to the first painted
// frame of Tidelark.exe, against a minimal Win32 program that paints one
// window, started the same way in the same run. A window counts as painted
// when it is visible and its thread has answered a message sent after it
// showed (the paint of a shown window comes before that answer).
//   BENCH app_startup ours=<s> peer=<s> ratio=<ours/peer>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/object_store.h"
#include "platform/os.h"

namespace {

constexpr int kRounds = 7;

struct Found {
  DWORD pid;
  const wchar_t* window_class;
  HWND hwnd;
};

BOOL CALLBACK Look(HWND hwnd, LPARAM lp) {
  Found* f = reinterpret_cast<Found*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[128] = {};
  GetClassNameW(hwnd, name, 127);
  if (pid == f->pid && IsWindowVisible(hwnd) && lstrcmpW(name, f->window_class) == 0) {
    f->hwnd = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Seconds from the start to the painted window; the program is closed after.
double TimeToPaint(const std::wstring& program, const wchar_t* window_class) {
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::wstring command = L"\"" + program + L"\"";
  std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&a);
  if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
    return -1;
  Found found = {pi.dwProcessId, window_class, nullptr};
  while (!found.hwnd) {
    EnumWindows(Look, reinterpret_cast<LPARAM>(&found));
    if (!found.hwnd) {
      if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
    }
  }
  DWORD_PTR unused;
  if (found.hwnd) SendMessageTimeoutW(found.hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &unused);
  QueryPerformanceCounter(&b);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return found.hwnd ? double(b.QuadPart - a.QuadPart) / double(f.QuadPart) : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::wstring Wide(const std::string& s) {
  std::u16string w = platform::os::Utf8ToUtf16(s);
  return std::wstring(w.begin(), w.end());
}

}  // namespace

int main() {
  // A device folder whose user accepted the agreement: a start as on every day after the first.
  const std::string bin = platform::os::JoinPath(platform::os::ProgramDirectory(), "../bin");
  std::string device;
  if (platform::os::MakeTempDirectory("startup-bench", &device) != 0) return 1;
  for (const char* name : {"Tidelark.exe", "TidelarkEN.lnp", "TidelarkDE.lnp", "imgdecmp.dll", "aygshell.dll"}) {
    std::string bytes;
    if (platform::os::ReadWholeFile(platform::os::JoinPath(bin, name), &bytes) != 0) {
      std::fprintf(stderr, "startup_bench: %s is missing; build Tidelark first\n", name);
      return 1;
    }
    platform::os::WriteWholeFile(platform::os::JoinPath(device, name), bytes);
  }
  CObjectStore store(platform::os::JoinPath(device, "Reader.vol"));
  store::Database* db = nullptr;
  if (store.Open(&db, "TavoPrefs", true) == store::kStoreOk) {
    store::Object* o = nullptr;
    store::CreateObject(&o, "EulaAccepted");
    store::WriteObject(db, o, 1, 1, 1, 1);
    store::FreeObject(o);
    store::CloseDatabase(&db);
  }
  const std::wstring ours = Wide(platform::os::JoinPath(device, "Tidelark.exe"));
  const std::wstring peer = Wide(platform::os::JoinPath(bin, "startup_peer.exe"));
  std::vector<double> a, b;
  TimeToPaint(ours, L"Vexa Application GUI System Window Class");  // warm the file cache
  TimeToPaint(peer, L"Vexa Application GUI System Window Class");
  for (int i = 0; i < kRounds; ++i) {
    a.push_back(TimeToPaint(ours, L"Vexa Application GUI System Window Class"));
    b.push_back(TimeToPaint(peer, L"Vexa Application GUI System Window Class"));
  }
  platform::os::RemoveTree(device);
  double o = Median(a), p = Median(b);
  if (o <= 0 || p <= 0) {
    std::fprintf(stderr, "startup_bench: a program did not paint its window\n");
    return 1;
  }
  std::printf("BENCH app_startup ours=%.4f peer=%.4f ratio=%.2f\n", o, p, o / p);
  return 0;
}
