// A plug-in that does nothing but note each call, so host tests can see
// what reached it. Built with every export, without the optional focus
// exports, and without the required ProcessSystemMessage. ProcessButton and MoveFocus
// answer with their first argument, so that a test chooses the answer;
// ProcessButton(77) asks for two switches in one call.
#include <string>

#include "plugin/plugin_api.h"

#define TEST_PLUGIN_EXPORT extern "C" __declspec(dllexport)

namespace {
std::string g_calls;

void Note(const std::string& call) {
  if (!g_calls.empty()) g_calls += ' ';
  g_calls += call;
}
}  // namespace

// The calls so far, separated by spaces; reading them clears the list.
TEST_PLUGIN_EXPORT const char* TakeCalls() {
  static std::string taken;
  taken.swap(g_calls);
  g_calls.clear();
  return taken.c_str();
}

TEST_PLUGIN_EXPORT std::int32_t GetPluginVersion(std::int32_t* major, std::int32_t* minor) {
  if (major) *major = 9;
  if (minor) *minor = 9;
  return 0;
}

TEST_PLUGIN_EXPORT std::int32_t GetPluginName(char* buffer, std::int32_t* size) {
  if (!size) return 1;
  if (buffer && *size < 5) {
    *size = 5;
    return 2;
  }
  if (buffer) std::string("Test").copy(buffer, 5), buffer[4] = 0;
  *size = 5;
  return 0;
}

TEST_PLUGIN_EXPORT std::int32_t GetAPIVersion(std::int32_t* major, std::int32_t* minor) {
  if (major) *major = 1;
  if (minor) *minor = 0;
  return 0;
}

// Notes the parameter and what the store answered for a listing of the
// current database.
TEST_PLUGIN_EXPORT std::int32_t LoadContent(KorvelPluginServices* services, const char* parameter) {
  store::ResultSet* all = nullptr;
  const store::StoreCode listed = services->db->ListObjects(&all, 0);
  if (listed == store::kStoreOk) services->db->FreeResult(all);
  Note(std::string("LoadContent(") + (parameter ? parameter : "null") + ") " + std::to_string(listed));
  return 0;
}

TEST_PLUGIN_EXPORT std::int32_t UnloadContent(KorvelPluginServices*, std::int32_t, std::int32_t) {
  Note("UnloadContent");
  return 0;
}

TEST_PLUGIN_EXPORT std::int32_t Scroll(KorvelPluginServices*, std::int32_t x, std::int32_t y, std::int32_t) {
  Note("Scroll(" + std::to_string(x) + "," + std::to_string(y) + ")");
  return 0;
}

TEST_PLUGIN_EXPORT std::int32_t Refresh(KorvelPluginServices*, std::int32_t, std::int32_t) {
  Note("Refresh");
  return 0;
}

TEST_PLUGIN_EXPORT std::int32_t ProcessButton(KorvelPluginServices* services, std::int32_t command, std::int32_t) {
  Note("ProcessButton(" + std::to_string(command) + ")");
  if (command == 77) {
    services->view->SwitchContent("News", "First");
    services->view->SetContentSize(10, 10);
    services->view->SwitchContent("News", "Second");
    return kPluginHandled;
  }
  return command;
}

TEST_PLUGIN_EXPORT std::int32_t ProcessMenuCommand(KorvelPluginServices*, std::int32_t command, std::int32_t) {
  Note("ProcessMenuCommand(" + std::to_string(command) + ")");
  return 0;
}

#ifndef TEST_PLUGIN_WITHOUT_SYSTEM_MESSAGE
TEST_PLUGIN_EXPORT std::int32_t ProcessSystemMessage(KorvelPluginServices*, HWND, UINT message, WPARAM, LPARAM,
                                                     std::int32_t*) {
  Note("ProcessSystemMessage(" + std::to_string(message) + ")");
  return 0;
}
#endif

#ifndef TEST_PLUGIN_WITHOUT_FOCUS
TEST_PLUGIN_EXPORT std::int32_t MoveFocus(KorvelPluginServices*, std::int32_t direction, std::int32_t) {
  Note("MoveFocus(" + std::to_string(direction) + ")");
  return direction;
}

TEST_PLUGIN_EXPORT std::int32_t ActivateFocused(KorvelPluginServices*, std::int32_t, std::int32_t) {
  Note("ActivateFocused");
  return 0;
}
#endif
