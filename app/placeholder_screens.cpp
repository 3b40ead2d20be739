#include "placeholder_screens.h"

#include <string>

#include "app/commands.h"

int CKorvelPendingScreen::Activate(const char*) {
  if (title_ > 0) SetTitle(AppString(title_));
  return 0;
}

int CKorvelLifeDataSources::Activate(const char*) {
  SetTitle(AppString(type_ == "Weather" ? 198 : 92));
  return 0;
}

int CKorvelLifePlugin::Activate(const char* parameter) {
  // plug-in | database | title
  if (!parameter) return 0;
  std::string text(parameter);
  size_t first = text.find('|');
  size_t second = first == std::string::npos ? first : text.find('|', first + 1);
  if (second == std::string::npos) return 0;
  std::string title = text.substr(second + 1);
  int n = MultiByteToWideChar(CP_ACP, 0, title.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, title.c_str(), -1, &wide[0], n);
  SetTitle(wide.c_str());
  return 0;
}
