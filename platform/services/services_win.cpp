#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include "platform/services.h"

namespace platform {

namespace {

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

int MessageBoxWin(void* owner, const std::u16string& text, const std::u16string& caption, std::uint32_t flags) {
  return MessageBoxW(static_cast<HWND>(owner), W(text).c_str(), W(caption).c_str(), flags);
}

bool ShellExecuteWin(const std::u16string& file, const std::u16string& parameters) {
  std::wstring f = W(file), p = W(parameters);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = f.c_str();
  info.lpParameters = p.empty() ? nullptr : p.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return false;
  if (info.hProcess) CloseHandle(info.hProcess);
  return true;
}

bool PlaySoundWin(const std::u16string& path) {
  return PlaySoundW(W(path).c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT) != FALSE;
}

const Services kDefault = {MessageBoxWin, ShellExecuteWin, PlaySoundWin};

}  // namespace

const Services& DefaultServices() { return kDefault; }

}  // namespace platform
