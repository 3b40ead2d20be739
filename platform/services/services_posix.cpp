// Natively there is no desktop to show anything on: messages go to standard error.
#include <cstdio>

#include "platform/os.h"
#include "platform/services.h"

namespace platform {

namespace {

int MessageBoxStderr(void*, const std::u16string& text, const std::u16string& caption, std::uint32_t flags) {
  std::fprintf(stderr, "[%s] %s\n", os::Utf16ToUtf8(caption).c_str(), os::Utf16ToUtf8(text).c_str());
  return (flags & 0xF) == kMbYesNo ? kIdYes : kIdOk;
}

bool ShellExecuteLog(const std::u16string& file, const std::u16string& parameters) {
  std::fprintf(stderr, "[start] %s %s\n", os::Utf16ToUtf8(file).c_str(), os::Utf16ToUtf8(parameters).c_str());
  return false;
}

bool PlaySoundLog(const std::u16string& path) {
  std::fprintf(stderr, "[sound] %s\n", os::Utf16ToUtf8(path).c_str());
  return false;
}

const Services kDefault = {MessageBoxStderr, ShellExecuteLog, PlaySoundLog};

}  // namespace

const Services& DefaultServices() { return kDefault; }

}  // namespace platform
