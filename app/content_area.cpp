// The content area: the current view, its request queue, the routing of the
// view's commands, and the navigation history.
#include "app/content_area.h"

#include <cassert>

#include "app/buttons_bar.h"
#include "app/view_title.h"
#include "platform/aygshell.h"

using VexaAppGUISystem::Box;

// ---- The history ----------------------------------------------------------------------

void CKorvelLifeNavigationHistory::ShowButton(int index, bool enabled, bool visible) {
  SetBarButtonState(bar_, index, enabled, visible);
}

void CKorvelLifeNavigationHistory::Clear() {
  entries_.clear();
  index_ = -1;
  allocated_ = 0;
  // Nothing is left to go back or forward to.
  ShowButton(0, false, false);
  ShowButton(1, false, false);
}

void CKorvelLifeNavigationHistory::Record(CKorvelLifeViewInterface* view, const char* parameter, int length) {
  entries_.resize(static_cast<size_t>(index_ + 1));
  if (Count() >= kHistoryLimit) Clear();
  if (Count() >= allocated_) allocated_ += kHistoryGrowth;
  Entry entry;
  entry.view = view;
  if (parameter && length >= 0) {
    entry.has_parameter = true;
    entry.parameter.assign(parameter, parameter + length);
  }
  entries_.push_back(std::move(entry));
  index_ = Count() - 1;
  if (index_ >= 1) {
    ShowButton(0, true, true);
    ShowButton(1, false, false);
  }
}

const CKorvelLifeNavigationHistory::Entry* CKorvelLifeNavigationHistory::At(int index) const {
  return index >= 0 && index < Count() ? &entries_[static_cast<size_t>(index)] : nullptr;
}

const CKorvelLifeNavigationHistory::Entry* CKorvelLifeNavigationHistory::Back() {
  if (index_ <= 0) return nullptr;
  --index_;
  ShowButton(1, true, true);
  if (index_ == 0) ShowButton(0, false, false);
  return At(index_);
}

const CKorvelLifeNavigationHistory::Entry* CKorvelLifeNavigationHistory::Forward() {
  if (index_ + 1 >= Count()) return nullptr;
  ++index_;
  ShowButton(0, true, true);
  if (index_ == Count() - 1) ShowButton(1, false, false);
  return At(index_);
}

void CKorvelLifeNavigationHistory::CheckInvariants() const {
  assert(Count() <= kHistoryLimit);
  assert(Count() == 0 ? index_ == -1 : (index_ >= 0 && index_ < Count()));
  assert(allocated_ >= Count() && allocated_ <= kHistoryLimit && allocated_ % kHistoryGrowth == 0);
}

// ---- The area ---------------------------------------------------------------------------

namespace {

// The parameter text of a plug-in view: plug-in | database | title (8-bit).
std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

bool InputPanelUp() {
  SIPINFO sip = {};
  sip.cbSize = sizeof(sip);
  return SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0) && (sip.fdwFlags & SIPF_ON);
}

}  // namespace

CKorvelLifeContentArea::CKorvelLifeContentArea() {
  SetLineStep(0, kLineStep);
  SetLineStep(1, kLineStep);
  SetTitle(L"Content Area");
}

CKorvelLifeContentArea::~CKorvelLifeContentArea() {
  if (view_) view_->Detach();
}

std::wstring CKorvelLifeContentArea::CurrentTitle() {
  CKorvelLifeViewTitle* title = CKorvelLifeViewInterface::TitleBox();
  return title ? title->GetText() : std::wstring();
}

void CKorvelLifeContentArea::SetFramePainting(bool on) {
  Box* frame = GetParent() ? GetParent() : this;
  frame->SetShown(on, true);
  if (on) {
    frame->InvalidateAll();
    if (frame != this) InvalidateAll();
  }
}

void CKorvelLifeContentArea::SetView(CKorvelLifeViewInterface* view, const char* parameter, int length) {
  if (CKorvelLifeViewInterface* old = view_) {
    if (GetHandle() && InputPanelUp()) SHSipPreference(GetHandle(), SIP_DOWN);
    bool was = SetShown(false, true);
    old->Deactivate(0, 0);
    SetShown(was, true);
    view_ = nullptr;  // a deactivated view hears nothing more, its detaching included
    if (old != view) old->Detach();
  }
  view_ = view;
  if (view) {
    if (view->GetContentArea() != this) view->AttachTo(this);
    bool was = SetShown(false, true);
    view->Activate(parameter);
    SetShown(was, true);
  }
  history_.Record(view, parameter, length);
  ExecuteRequests();
}

bool CKorvelLifeContentArea::RunQueue(CKorvelLifeViewInterface* view) {
  view->SetQueueRunning(true);
  bool switched = false;
  while (ViewRequest* request = view->TakeRequest()) {
    std::int32_t a = 0, b = 0;
    ViewRequestValue(request, 0, &a);
    ViewRequestValue(request, 1, &b);
    switch (ViewRequestKind(request)) {
      case kRequestContentSize:
        view->GetViewBox()->SetSize(0, a < 0 ? 0 : a, nullptr, 1);
        view->GetViewBox()->SetSize(1, b < 0 ? 0 : b, nullptr, 1);
        break;
      case kRequestScroll:
        view->Scroll(a, b, 0);
        break;
      case kRequestScrollBars:
        SetScrollable(0, (a & 1) != 0);
        SetScrollable(1, (a & 2) != 0);
        break;
      case kRequestSwitch:
        switched = true;
        break;
    }
    FreeViewRequest(request);
    if (switched) break;  // the records behind it stay queued
  }
  view->SetQueueRunning(false);
  return switched;
}

void CKorvelLifeContentArea::ExecuteRequests() {
  CKorvelLifeViewInterface* view = view_;
  if (!view || view->IsQueueRunning()) return;
  if (RunQueue(view)) PerformSwitch(view);
}

void CKorvelLifeContentArea::PerformSwitch(CKorvelLifeViewInterface* view) {
  const std::string plugin = view->SwitchPlugin(), database = view->SwitchDatabase();
  view->DiscardRequests();
  if (plugin.empty() || !plugin_host_) return;
  view_->Deactivate(0, 0);
  view_ = nullptr;
  if (view != plugin_host_) view->Detach();
  plugin_host_->AttachTo(this);
  plugin_host_->LoadPlugin(plugin.c_str(), database.c_str());
  std::string parameter = plugin + "|" + database + "|" + Narrow(CurrentTitle());
  view_ = plugin_host_;
  history_.Record(plugin_host_, parameter.c_str(), static_cast<int>(parameter.size()) + 1);
  plugin_host_->Activate(nullptr);
  ExecuteRequests();
}

void CKorvelLifeContentArea::ShowInputPanelButtonByTitle() {
  // The Navigation Bar is the one the history shows back and forward on.
  ShowInputPanelButton(history_.Bar(), CurrentTitle());
}

void CKorvelLifeContentArea::Step(const CKorvelLifeNavigationHistory::Entry* entry, bool) {
  SetFramePainting(false);
  if (CKorvelLifeViewInterface* old = view_) {
    old->Deactivate(0, 0);
    view_ = nullptr;
    if (old != entry->view) old->Detach();
  }
  view_ = entry->view;
  if (view_) {
    view_->AttachTo(this);
    view_->Activate(entry->has_parameter ? entry->parameter.data() : nullptr);
  }
  ShowInputPanelButtonByTitle();
  SetFramePainting(true);
  ExecuteRequests();
}

// Back and forward: the view may take the command itself (an article
// going back to its list); otherwise the history moves one entry.
void CKorvelLifeContentArea::Go(int command, const CKorvelLifeNavigationHistory::Entry* (CKorvelLifeNavigationHistory::*move)()) {
  if (view_ && view_->ProcessButton(command, 0) != 0) {
    ExecuteRequests();
    return;
  }
  const CKorvelLifeNavigationHistory::Entry* entry = (history_.*move)();
  if (!entry) {
    ExecuteRequests();
    return;
  }
  Step(entry, command == commands::kBack);
}

void CKorvelLifeContentArea::Back() { Go(commands::kBack, &CKorvelLifeNavigationHistory::Back); }
void CKorvelLifeContentArea::Forward() { Go(commands::kForward, &CKorvelLifeNavigationHistory::Forward); }

int CKorvelLifeContentArea::CommandTable(int command) {
  return table_ ? table_(command, table_context_, VexaAppGUISystem::EventCommand) : 0;
}

int CKorvelLifeContentArea::HandleCommand(int command) {
  if (command == commands::kBack) {
    Back();
    return 1;
  }
  if (command == commands::kForward) {
    Forward();
    return 1;
  }
  const bool views = command == 1001 || command == 1002 || command == 1004 || (command >= 4000 && command <= 4002) ||
                     command == 4026 || (command >= commands::kFirstViewCommand && command <= commands::kLastViewCommand);
  if (views) {
    if (view_) view_->ProcessButton(command, 0);
    return 1;
  }
  if (view_ && view_->ProcessButton(command, 0) != 0) return 1;
  return CommandTable(command);
}

namespace {

bool GoesToTable(int c) {
  return c == 3000 || (c >= 3010 && c <= 3012) || (c >= 3020 && c <= 3026) || c == 3030 || c == 3061 ||
         c == 3070 || c == 3111 || c == 3112 || c == 4003;
}

}  // namespace

void CKorvelLifeContentArea::RouteCommand(int command) {
  if (GoesToTable(command)) {
    CommandTable(command);
  } else if (command == 3062 || command == 3120) {
    if (view_) view_->ProcessButton(command, 0);
    CommandTable(command);
  } else if (command == 4000 || command == 4001 || command == 4004) {
    if (view_) view_->ProcessButton(command, 0);
  } else {
    HandleCommand(command);
  }
  ExecuteRequests();
}

bool CKorvelLifeContentArea::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code != VexaAppGUISystem::EventCommand || !data) return false;
  RouteCommand(static_cast<int>(data[1]));
  return true;
}

void CKorvelLifeContentArea::OnMoved(int axis) {
  WindowBox::OnMoved(axis);
  if (!view_) return;
  view_->Refresh(0, 0);
  ExecuteRequests();
}

void CKorvelLifeContentArea::OnResized(int axis) {
  WindowBox::OnResized(axis);
  if (!view_) return;
  view_->Refresh(0, 0);
  ExecuteRequests();
}

void CKorvelLifeContentArea::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth,
                                   int clipHeight) {
  WindowBox::Paint(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
  // The toolkit paints the boxes of ordinary views; a plug-in draws its own
  // content into the window.
  if (dc || !view_ || !view_->IsPluginView() || painting_view_) return;
  painting_view_ = true;
  view_->Refresh(0, 0);
  painting_view_ = false;
}

bool CKorvelLifeContentArea::DrawFocus(HDC, int, int, int, int) {
  // Holding the focus itself, the area leaves the mark to its view.
  return HasFocus();
}

void CKorvelLifeContentArea::OnScrollRangeChanged(int axis) {
  WindowBox::OnScrollRangeChanged(axis);
  if (view_ && !view_->IsQueueRunning()) view_->Scroll(GetScrollPosition(0), GetScrollPosition(1), 0);
}

bool CKorvelLifeContentArea::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                             LRESULT* result) {
  if (message == WM_LBUTTONDOWN) SendMessageW(::GetParent(window), kTapMessage, 0, 0);
  if (!view_) return false;
  int view_result = 0;
  view_->ProcessSystemMessage(window, message, wParam, lParam, &view_result);
  if (message == WM_PAINT && view_->IsPluginView() && shown_) {
    OnPaint(window);
    painting_view_ = true;
    view_->Refresh(0, 0);
    painting_view_ = false;
    ExecuteRequests();
    *result = 0;
    return true;
  }
  ExecuteRequests();
  return false;
}
