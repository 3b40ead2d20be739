// The program's side: a hook on the user-interface thread that answers the
// driver's requests whatever loop retrieves them.
#include "platform/automation.h"

#include "platform/device.h"
#include "platform/os.h"
#include "platform/screenshot.h"

namespace platform {
namespace automation {

const char kVariable[] = "TIDELARK_AUTOMATION";
const wchar_t kMessageName[] = L"TidelarkAutomation";

namespace {

std::string g_folder;
UINT g_message = 0;
HHOOK g_hook = nullptr;
Reporter g_reporter = nullptr;
CommandRunner g_runner = nullptr;

// Thread messages come before paints: what is waiting to be painted is
// painted now, so that the shot shows what the user would see.
BOOL CALLBACK PaintNow(HWND hwnd, LPARAM) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return TRUE;
}

void Answer(WPARAM request, LPARAM number) {
  const WPARAM kind = request & ((WPARAM(1) << kKindBits) - 1);
  const std::string base = os::JoinPath(g_folder, std::to_string(static_cast<long long>(number)));
  if (kind == kShot) {
    EnumThreadWindows(GetCurrentThreadId(), PaintNow, 0);
    device::ScreenMetrics screen = device::Screen();
    SaveScreenPng(screen.width, screen.height, base + ".png");
  } else if (kind == kState) {
    os::WriteWholeFile(base + ".txt", g_reporter ? g_reporter() : std::string());
  } else if (kind == kCommand && g_runner) {
    g_runner(static_cast<int>(static_cast<INT_PTR>(request) >> kKindBits));
  }
  os::WriteWholeFile(base + ".done", "");
}

LRESULT CALLBACK OnMessage(int code, WPARAM removal, LPARAM lp) {
  MSG* msg = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && removal == PM_REMOVE && msg && msg->message == g_message) {
    Answer(msg->wParam, msg->lParam);
    msg->message = WM_NULL;  // the loop that took it has nothing to do
  }
  return CallNextHookEx(g_hook, code, removal, lp);
}

}  // namespace

bool InstallIfAsked() {
  if (g_hook) return true;
  if (!os::GetEnv(kVariable, &g_folder) || g_folder.empty()) return false;
  g_message = RegisterWindowMessageW(kMessageName);
  g_hook = SetWindowsHookExW(WH_GETMESSAGE, OnMessage, nullptr, GetCurrentThreadId());
  return g_hook != nullptr;
}

void SetReporter(Reporter reporter) { g_reporter = reporter; }
void SetCommandRunner(CommandRunner runner) { g_runner = runner; }

}  // namespace automation
}  // namespace platform
