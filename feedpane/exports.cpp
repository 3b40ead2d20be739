// The twelve exports of the plug-in contract. Each checks its service block
// and context and hands the work to the module that does it.
#include <cstring>

#include "article_list.h"
#include "context.h"
#include "feedpane/feedpane.h"
#include "input.h"
#include "lang/localization.h"
#include "paint.h"
#include "platform/services.h"

#define FEEDPANE_EXPORT extern "C" __declspec(dllexport)

using namespace feedpane;

namespace {

// The pack named by the registry's "Language" value, "English" when unset.
void MakeLocale(KorvelPluginServices* services) {
  PluginWord* word = static_cast<PluginWord*>(services->plugin);
  if (!word) {
    word = new PluginWord;
    services->plugin = word;
  }
  std::u16string language = lang::SelectedLanguage();
  std::u16string pack = language + u".lnp";
  word->locale.reset();
  word->locale = std::make_unique<CKorvelNewsLocalization>(u"lang.ini", pack.c_str(), u"*.lnp");
  word->locale->SetLanguage(language.c_str());
}

void DeleteLocale(KorvelPluginServices* services) {
  delete static_cast<PluginWord*>(services->plugin);
  services->plugin = nullptr;
}

}  // namespace

FEEDPANE_EXPORT std::int32_t GetPluginVersion(std::int32_t* major, std::int32_t* minor) {
  if (major) *major = kFeedpaneVersionMajor;
  if (minor) *minor = kFeedpaneVersionMinor;
  return kPluginOk;
}

FEEDPANE_EXPORT std::int32_t GetPluginName(char* buffer, std::int32_t* size) {
  if (!size) return kPluginNameNoSize;
  const std::int32_t needed = static_cast<std::int32_t>(sizeof kFeedpaneName);
  const bool fits = *size >= needed;
  if (buffer && !fits) {
    *size = needed;
    return kPluginNameTooSmall;
  }
  if (buffer) std::memcpy(buffer, kFeedpaneName, sizeof kFeedpaneName);
  *size = needed;
  return kPluginNameOk;
}

FEEDPANE_EXPORT std::int32_t GetAPIVersion(std::int32_t* major, std::int32_t* minor) {
  if (major) *major = 1;
  if (minor) *minor = 0;
  return kPluginOk;
}

FEEDPANE_EXPORT std::int32_t LoadContent(KorvelPluginServices* services, const char* parameter) {
  if (!services || !services->db || !services->view) return kLoadQueryFailed;
  services->view->RemoveMenuItem(L"");
  MakeLocale(services);
  return BuildArticleList(services);
}

FEEDPANE_EXPORT std::int32_t UnloadContent(KorvelPluginServices* services, std::int32_t, std::int32_t) {
  if (!services) return kPluginOk;
  DeleteLocale(services);
  // The stored "ChannelName" stays: the server sends it once and again only
  // when the name changes, so a device that deleted it would never show the
  // channel's name in an article again.
  if (services->view) services->view->SetContentSize(0, 0);
  FreeContext(services);
  return kPluginOk;
}

FEEDPANE_EXPORT std::int32_t Scroll(KorvelPluginServices* services, std::int32_t x, std::int32_t y, std::int32_t) {
  Context* c = ContextOf(services);
  if (!c) return 1;
  if (c->focus_state == kFocusReturned) return kPluginOk;
  if (x != c->scroll_x) {
    c->scroll_x = x;
    PaintContent(services, c);
  } else if (y != c->last_scroll_y) {
    const bool changed = y != c->scroll_y;
    c->scroll_y = c->last_scroll_y = y;
    if (changed) PaintContent(services, c);
  }
  return kPluginOk;
}

FEEDPANE_EXPORT std::int32_t Refresh(KorvelPluginServices* services, std::int32_t, std::int32_t) {
  Context* c = ContextOf(services);
  if (!c) return 1;
  if (c->focus_state != kFocusReturned) PaintContent(services, c);
  return kPluginOk;
}

FEEDPANE_EXPORT std::int32_t ProcessButton(KorvelPluginServices* services, std::int32_t command, std::int32_t) {
  if (!services || !services->db || !services->view) return kPluginNotHandled;
  return feedpane::ProcessButton(services, ContextOf(services), command);
}

FEEDPANE_EXPORT std::int32_t ProcessMenuCommand(KorvelPluginServices*, std::int32_t, std::int32_t) {
  return kPluginNotHandled;
}

FEEDPANE_EXPORT std::int32_t ProcessSystemMessage(KorvelPluginServices* services, HWND, UINT message, WPARAM,
                                                  LPARAM lParam, std::int32_t* result) {
  Context* c = ContextOf(services);
  if (!c || !services->view) return 0;
  return HandlePen(services, c, message, lParam, result);
}

FEEDPANE_EXPORT std::int32_t MoveFocus(KorvelPluginServices* services, std::int32_t direction, std::int32_t) {
  if (!services || !services->view) return 0;
  return feedpane::MoveFocus(services, ContextOf(services), direction);
}

FEEDPANE_EXPORT std::int32_t ActivateFocused(KorvelPluginServices* services, std::int32_t, std::int32_t) {
  if (!services || !services->view) return 0;
  return feedpane::ActivateFocused(services, ContextOf(services));
}

FEEDPANE_EXPORT const platform::Services* SetPlatformServices(const platform::Services* services) {
  return platform::SetServices(services);
}
