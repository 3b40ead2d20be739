// The conditions a test sets for the Connection Manager stand-in: its test
// words, and the host's HTTP proxy, each for one scope.
#pragma once

#include <windows.h>

#include <cwchar>

#include "platform/cellcore.h"

namespace cellcore_test {

// Sets TIDELARK_CONNECTION for one scope.
class ConnectionWords {
 public:
  explicit ConnectionWords(const char* words) { SetEnvironmentVariableA(platform::cellcore::kVariable, words); }
  ~ConnectionWords() { SetEnvironmentVariableA(platform::cellcore::kVariable, nullptr); }
};

// The per-user proxy settings the stand-in reads, for one scope.
class HostProxy {
 public:
  HostProxy(const wchar_t* servers, DWORD enable) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    RegSetValueExW(key_, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
    RegSetValueExW(key_, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(servers),
                   static_cast<DWORD>((std::wcslen(servers) + 1) * sizeof(wchar_t)));
  }
  ~HostProxy() {
    RegDeleteValueW(key_, L"ProxyEnable");
    RegDeleteValueW(key_, L"ProxyServer");
    RegCloseKey(key_);
  }
  HostProxy(const HostProxy&) = delete;
  HostProxy& operator=(const HostProxy&) = delete;

 private:
  static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  HKEY key_ = nullptr;
};

}  // namespace cellcore_test
