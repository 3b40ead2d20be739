#include "screen_text.h"

#include "app/commands.h"
#include "app/content_area.h"
#include "platform/services.h"

namespace channels {

std::u16string AnsiWiden(const std::string& text) {
  if (text.empty()) return std::u16string();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(n > 0 ? n : 0, u'\0');
  if (n > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(&out[0]), n);
  return out;
}

std::string AnsiNarrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

int CompareIgnoringCase(const std::u16string& a, const std::u16string& b) {
  const int r = CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                                     reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()), TRUE);
  return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

const TextRules& ProgramTextRules() {
  static const TextRules rules{AnsiWiden, CompareIgnoringCase};
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
