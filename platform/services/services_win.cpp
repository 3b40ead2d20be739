#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include "platform/device.h"
#include "platform/services.h"

namespace platform {

namespace {

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

HHOOK g_box_hook = nullptr;

// The box comes up in the middle of the device's screen, not of the desktop's.
LRESULT CALLBACK CentreOnDevice(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wp);
    RECT r;
    GetWindowRect(box, &r);
    platform::device::Rect screen = platform::device::ScreenRect();
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = (screen.Width() - w) / 2, y = (screen.Height() - h) / 2;
    SetWindowPos(box, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    UnhookWindowsHookEx(g_box_hook);
    g_box_hook = nullptr;
    return 0;
  }
  return CallNextHookEx(g_box_hook, code, wp, lp);
}

int MessageBoxWin(void* owner, const std::u16string& text, const std::u16string& caption, std::uint32_t flags) {
  if (!g_box_hook) g_box_hook = SetWindowsHookExW(WH_CBT, CentreOnDevice, nullptr, GetCurrentThreadId());
  int answer = MessageBoxW(static_cast<HWND>(owner), W(text).c_str(), W(caption).c_str(), flags);
  if (g_box_hook) {
    UnhookWindowsHookEx(g_box_hook);
    g_box_hook = nullptr;
  }
  return answer;
}

// The shell and the sound library are loaded when first used: importing
// them costs every start of the program a good part of its time under Wine.
template <typename Function>
Function Resolve(const wchar_t* library, const char* name) {
  HMODULE module = LoadLibraryW(library);
  return module ? reinterpret_cast<Function>(GetProcAddress(module, name)) : nullptr;
}

bool ShellExecuteWin(const std::u16string& file, const std::u16string& parameters) {
  static const auto shell_execute = Resolve<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>(L"shell32.dll", "ShellExecuteExW");
  if (!shell_execute) return false;
  std::wstring f = W(file), p = W(parameters);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = f.c_str();
  info.lpParameters = p.empty() ? nullptr : p.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!shell_execute(&info)) return false;
  if (info.hProcess) CloseHandle(info.hProcess);
  return true;
}

bool PlaySoundWin(const std::u16string& path) {
  static const auto play = Resolve<BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD)>(L"winmm.dll", "PlaySoundW");
  return play && play(W(path).c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT) != FALSE;
}

const Services kDefault = {MessageBoxWin, ShellExecuteWin, PlaySoundWin};

}  // namespace

const Services& DefaultServices() { return kDefault; }

}  // namespace platform
