// The locale's English language name: GetLocaleInfoW on the device, the
// POSIX locale variables natively.
#include <cstdlib>
#include <cstring>
#include <string>

#include "lang/language_pack.h"
#include "platform/os.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace lang {
namespace {

bool g_pinned = false;
bool g_pinned_available = false;
std::u16string g_pinned_name;

}  // namespace

void SetDeviceLanguageForTesting(const char16_t* name, bool available) {
  g_pinned = true;
  g_pinned_available = available && name != nullptr;
  g_pinned_name = name ? name : u"";
}

void ResetDeviceLanguage() { g_pinned = false; }

bool DeviceLanguageName(std::u16string* name) {
  if (g_pinned) {
    if (g_pinned_available) *name = g_pinned_name;
    return g_pinned_available;
  }
#ifdef _WIN32
  wchar_t buffer[150];
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, buffer, 150);
  if (n <= 0) return false;
  name->assign(reinterpret_cast<const char16_t*>(buffer));
  return true;
#else
  std::string locale;
  if (!platform::os::GetEnv("LC_ALL", &locale) || locale.empty()) {
    if (!platform::os::GetEnv("LANG", &locale) || locale.empty()) return false;
  }
  static const struct {
    const char* prefix;
    const char16_t* name;
  } kNames[] = {{"en", u"English"}, {"de", u"German"},  {"bg", u"Bulgarian"}, {"fr", u"French"},
                {"it", u"Italian"}, {"es", u"Spanish"}, {"pt", u"Portuguese"}, {"nl", u"Dutch"}};
  for (const auto& entry : kNames) {
    if (locale.compare(0, 2, entry.prefix) == 0) {
      *name = entry.name;
      return true;
    }
  }
  return false;
#endif
}

}  // namespace lang
