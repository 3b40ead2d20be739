#include "screen_text.h"

#include "app/commands.h"
#include "app/content_area.h"
#include "lang/ansi.h"
#include "platform/services.h"

namespace channels {

int CompareIgnoringCase(const std::u16string& a, const std::u16string& b) {
  const int r = CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                                     reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()), TRUE);
  return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

const TextRules& ProgramTextRules() {
  static const TextRules rules{lang::AnsiToWide, CompareIgnoringCase};
  return rules;
}

void ShowMessage(CKorvelLifeViewInterface* view, int text, std::uint32_t icon) {
  HWND owner = nullptr;
  if (CKorvelLifeContentArea* area = view->GetContentArea())
    if (area->GetHandle()) owner = GetAncestor(area->GetHandle(), GA_ROOT);
  const wchar_t* body = AppString(text);
  const wchar_t* caption = AppString(1);
  platform::GetServices().message_box(owner, std::u16string(body, body + lstrlenW(body)),
                                      std::u16string(caption, caption + lstrlenW(caption)), platform::kMbOk | icon);
}

void FollowQueuedScroll(CKorvelLifeViewInterface* view, int y) {
  if (view->IsQueueRunning() && view->GetContentArea()) view->GetContentArea()->SetScrollPosition(1, y, true);
}

void SendCommand(CKorvelLifeViewInterface* view, int command) {
  CKorvelLifeContentArea* area = view->GetContentArea();
  if (!area) return;
  std::intptr_t data[2] = {0, command};
  view->GetViewBox()->SendEvent(area, VexaAppGUISystem::EventCommand, data, false);
}

}  // namespace channels
