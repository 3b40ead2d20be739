// The driver's side: starting the program, finding its windows, sending it
// taps and keys, and asking for screenshots and its state.
#include <sstream>

#include "platform/automation.h"
#include "platform/os.h"

namespace platform {
namespace automation {

namespace {

constexpr DWORD kPollMs = 10;

struct Search {
  DWORD pid;
  const wchar_t* window_class;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM lp) {
  Search* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !IsWindowVisible(hwnd)) return TRUE;
  if (s->window_class) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 255);
    if (lstrcmpW(name, s->window_class) != 0) return TRUE;
  }
  s->found.push_back(hwnd);
  return TRUE;
}

std::wstring Wide(const std::string& s) {
  std::u16string w = os::Utf8ToUtf16(s);
  return std::wstring(w.begin(), w.end());
}

}  // namespace

Driver::~Driver() {
  Kill();
  if (!replies_.empty()) os::RemoveTree(replies_);
}

bool Driver::Start(const std::wstring& program, const std::vector<std::wstring>& extra) {
  if (process_) return false;
  if (replies_.empty() && os::MakeTempDirectory("tidelark-drive", &replies_) != os::kOk) return false;
  // The environment: ours, the reply folder and the extra variables.
  std::vector<std::wstring> variables;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (wchar_t* v = block; *v; v += lstrlenW(v) + 1) variables.emplace_back(v);
    FreeEnvironmentStringsW(block);
  }
  variables.push_back(Wide(std::string(kVariable) + "=" + replies_));
  for (const std::wstring& e : extra) variables.push_back(e);
  std::wstring env;
  for (const std::wstring& v : variables) env += v + L'\0';
  env += L'\0';
  std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
  std::wstring command = L"\"" + program + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, &env[0],
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  thread_ = pi.dwThreadId;
  return true;
}

std::vector<HWND> Driver::Windows(const wchar_t* window_class) const {
  Search s = {pid_, window_class, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND Driver::WaitForWindow(const wchar_t* window_class, const wchar_t* title, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    for (HWND hwnd : Windows(window_class)) {
      if (!title) return hwnd;
      wchar_t text[256] = {};
      GetWindowTextW(hwnd, text, 255);
      if (lstrcmpW(text, title) == 0) return hwnd;
    }
    if (GetTickCount() - start >= timeout_ms) return nullptr;
    if (process_ && WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0) return nullptr;
  }
}

DWORD Driver::ThreadId() const { return thread_; }

bool Driver::Request(RequestKind kind, DWORD timeout_ms, std::string* reply_path, int value) {
  static const UINT message = RegisterWindowMessageW(kMessageName);
  const LPARAM number = next_++;
  const std::string base = os::JoinPath(replies_, std::to_string(static_cast<long long>(number)));
  const DWORD start = GetTickCount();
  // The thread may not have its queue yet right after the start.
  const WPARAM request = kind | (static_cast<WPARAM>(static_cast<INT_PTR>(value)) << kKindBits);
  while (!PostThreadMessageW(ThreadId(), message, request, number)) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(kPollMs);
  }
  while (!os::PathExists(base + ".done")) {
    if (GetTickCount() - start >= timeout_ms) return false;
    if (process_ && WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0) return false;
  }
  if (reply_path) *reply_path = base + (kind == kShot ? ".png" : ".txt");
  return true;
}

bool Driver::Shot(const std::string& png_path, DWORD timeout_ms) {
  std::string made;
  if (!Request(kShot, timeout_ms, &made)) return false;
  std::string bytes;
  return os::ReadWholeFile(made, &bytes) == os::kOk && os::WriteWholeFile(png_path, bytes) == os::kOk;
}

bool Driver::Command(int value, DWORD timeout_ms) { return Request(kCommand, timeout_ms, nullptr, value); }

std::map<std::string, std::string> Driver::State(DWORD timeout_ms) {
  std::map<std::string, std::string> state;
  std::string path, text;
  if (!Request(kState, timeout_ms, &path) || os::ReadWholeFile(path, &text) != os::kOk) return state;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) state[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return state;
}

void Driver::Tap(HWND window, int x, int y) {
  POINT p = {x, y};
  HWND target = ChildWindowFromPointEx(window, p, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
  if (!target) target = window;
  if (target != window) MapWindowPoints(window, target, &p, 1);
  const LPARAM at = MAKELPARAM(p.x, p.y);
  PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(target, WM_LBUTTONUP, 0, at);
}

void Driver::Key(HWND window, UINT virtual_key) {
  PostMessageW(window, WM_KEYDOWN, virtual_key, 1);
  PostMessageW(window, WM_KEYUP, virtual_key, 0xC0000001);
}

int Driver::WaitExit(DWORD timeout_ms) {
  if (!process_) return -1;
  if (WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return static_cast<int>(code);
}

void Driver::Kill() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
  process_ = nullptr;
}

}  // namespace automation
}  // namespace platform
