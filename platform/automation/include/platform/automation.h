// Driving the program from outside, for tests, screenshots and the headless
// walk: a driver process starts the program with the environment variable
// TIDELARK_AUTOMATION naming a reply folder, sends it real window messages
// (taps, keys) and asks it, through thread messages, for a screenshot of the
// device screen or a description of its state. Without the variable the
// program installs nothing and behaves exactly as it always does.
//
// Protocol: the driver posts the registered message "TidelarkAutomation" to
// the program's user-interface thread with wParam = request kind and lParam =
// a request number n. The program answers whatever loop it is in (its own,
// a dialog's, a message box's) and writes into the reply folder:
//   kPing   "<n>.done"
//   kShot   "<n>.png" (the device screen), then "<n>.done"
//   kState  "<n>.txt" (the reporter's text, UTF-8), then "<n>.done"
//   kCommand the command runner's work with the value in wParam's bits above
//           the kind (a command value as a button of the current screen
//           sends it, for rows that have no button yet), then "<n>.done"
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace platform {
namespace automation {

enum RequestKind : WPARAM { kPing = 1, kShot = 2, kState = 3, kCommand = 4 };
constexpr int kKindBits = 8;

extern const char kVariable[];          // "TIDELARK_AUTOMATION"
extern const wchar_t kMessageName[];    // "TidelarkAutomation"

// ---- The program's side ----------------------------------------------------------------

using Reporter = std::string (*)();
// Installs the answering hook on this thread when TIDELARK_AUTOMATION is set.
bool InstallIfAsked();
// What kState reports: "key=value" lines.
void SetReporter(Reporter reporter);
using CommandRunner = void (*)(int value);
// What kCommand does.
void SetCommandRunner(CommandRunner runner);

// ---- The driver's side -----------------------------------------------------------------

class Driver {
 public:
  Driver() {}
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // Starts `program` in its folder with the reply folder set, plus `extra`
  // variables ("NAME=value"). False when it cannot start.
  bool Start(const std::wstring& program, const std::vector<std::wstring>& extra = {});
  // Waits until a visible top-level window of the program with that class
  // (and title, when given) exists; null after `timeout_ms`.
  HWND WaitForWindow(const wchar_t* window_class, const wchar_t* title, DWORD timeout_ms);
  // The program's visible top-level windows of a class (any class when null).
  std::vector<HWND> Windows(const wchar_t* window_class) const;
  // Sends one request and waits for its answer; false after `timeout_ms`.
  bool Request(RequestKind kind, DWORD timeout_ms, std::string* reply_path = nullptr, int value = 0);
  // Waits until the program has handled everything sent to it before.
  bool Sync(DWORD timeout_ms = 10000) { return Request(kPing, timeout_ms); }
  bool Shot(const std::string& png_path, DWORD timeout_ms = 10000);
  // Has the program run a command value (kCommand) and waits until it has.
  bool Command(int value, DWORD timeout_ms = 10000);
  std::map<std::string, std::string> State(DWORD timeout_ms = 10000);
  // A tap (pen down and up) at client coordinates of `window`, as the user's
  // pen sends it: to the child window under the point.
  void Tap(HWND window, int x, int y);
  void Key(HWND window, UINT virtual_key);
  // Waits for the program to end; its exit code, or -1 after `timeout_ms`.
  int WaitExit(DWORD timeout_ms);
  void Kill();
  DWORD ProcessId() const { return pid_; }
  DWORD ThreadId() const;
  HANDLE Process() const { return process_; }

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  mutable DWORD thread_ = 0;
  std::string replies_;
  LPARAM next_ = 1;
};

}  // namespace automation
}  // namespace platform
