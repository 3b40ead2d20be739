#include "plugin/plugin_host.h"

#include "app/ads_area.h"
#include "app/buttons_bar.h"
#include "app/commands.h"
#include "app/content_area.h"
#include "app/path_menu.h"
#include "lang/ansi.h"

namespace {

// The step of a page: the area's height less one 14-pixel line, which stays
// in view from the page before.
constexpr int kKeptLine = 14;

std::wstring Wide(const std::string& text) {
  std::u16string wide = lang::AnsiToWide(text);
  return std::wstring(wide.begin(), wide.end());
}

}  // namespace

const UINT CKorvelLifePlugin::kNavigateMessage = WM_APP + 0x16;

const wchar_t* CKorvelLifePlugin::LibraryOf(const char* name) {
  if (!name) return nullptr;
  if (std::string(name) == "News") return L"Feedpane.dll";
  if (std::string(name) == "Weather") return L"Skypane.dll";
  return nullptr;
}

CKorvelLifePlugin::CKorvelLifePlugin(const char* volume_path) : db_(this, volume_path), view_service_(this) {
  services_ = {&db_, &view_service_, nullptr, nullptr};
}

CKorvelLifePlugin::~CKorvelLifePlugin() {
  FreeLibraryAndEntries();
  db_.Close();
}

void CKorvelLifePlugin::FreeLibraryAndEntries() {
  if (library_) FreeLibrary(library_);
  library_ = nullptr;
  name_.clear();
  entries_ = Entries();
}

bool CKorvelLifePlugin::ResolveEntries() {
  Entries e;
  void* found[kPluginExportCount];
  for (int i = 0; i < kPluginExportCount; ++i) {
    found[i] = reinterpret_cast<void*>(GetProcAddress(library_, kPluginExportNames[i]));
    if (!found[i] && i < kPluginRequiredExports) return false;
  }
  e.get_plugin_version = reinterpret_cast<GetPluginVersionProc>(found[0]);
  e.get_plugin_name = reinterpret_cast<GetPluginNameProc>(found[1]);
  e.get_api_version = reinterpret_cast<GetAPIVersionProc>(found[2]);
  e.load_content = reinterpret_cast<LoadContentProc>(found[3]);
  e.unload_content = reinterpret_cast<UnloadContentProc>(found[4]);
  e.scroll = reinterpret_cast<ScrollProc>(found[5]);
  e.refresh = reinterpret_cast<RefreshProc>(found[6]);
  e.process_button = reinterpret_cast<ProcessButtonProc>(found[7]);
  e.process_menu_command = reinterpret_cast<ProcessMenuCommandProc>(found[8]);
  e.process_system_message = reinterpret_cast<ProcessSystemMessageProc>(found[9]);
  e.move_focus = reinterpret_cast<MoveFocusProc>(found[10]);
  e.activate_focused = reinterpret_cast<ActivateFocusedProc>(found[11]);
  entries_ = e;
  return true;
}

int CKorvelLifePlugin::LoadPlugin(const char* name, const char* database) {
  // Whatever is loaded goes: the same name is loaded afresh, and a name
  // that fails leaves no library behind.
  FreeLibraryAndEntries();
  const wchar_t* file = LibraryOf(name);
  if (!file) return -1;
  if (std::string(name) == "Weather") ShowWeatherButtons();
  library_ = LoadLibraryW(file);
  if (!library_) return -1;
  if (!ResolveEntries()) {
    FreeLibraryAndEntries();
    return -1;
  }
  name_ = name;
  return db_.Open(database) == store::kStoreOk ? 0 : -1;
}

void CKorvelLifePlugin::ShowWeatherButtons() {
  SetBarButtonState(dynamic_bar_, 0, true, true);
  SetBarButtonState(dynamic_bar_, 1, true, true);
}

int CKorvelLifePlugin::Activate(const char* parameter) {
  CKorvelLifeContentArea* area = GetContentArea();
  if (area) {
    area->SetScrollable(1, true);
    area->SetLineStep(1, area->Height() - kKeptLine);
  }
  QueueContentSize(0, 0);
  if (parameter) {
    // plug-in name | database name | title; with fewer than two "|" nothing loads.
    const std::string text(parameter);
    const std::size_t first = text.find('|');
    const std::size_t second = first == std::string::npos ? first : text.find('|', first + 1);
    if (second != std::string::npos) {
      const std::string plugin = text.substr(0, first);
      const std::string database = text.substr(first + 1, second - first - 1);
      if (database == "TavoWeather") ShowWeatherButtons();
      LoadPlugin(plugin.c_str(), database.c_str());
      SetTitle(Wide(text.substr(second + 1)).c_str());
    }
  }
  if (area) {
    saved_focus_mode_ = area->SetFocusMode(VexaAppGUISystem::FocusItem);
    area->SetFocus(area);
    SetBarButtonState(area->History().Bar(), 0, true, true);
    SetBarButtonState(area->History().Bar(), 1, true, true);
  }
  return entries_.load_content ? entries_.load_content(&services_, parameter) : 0;
}

int CKorvelLifePlugin::Deactivate(int a, int b) {
  CKorvelLifeContentArea* area = GetContentArea();
  if (area) {
    area->SetFocusMode(saved_focus_mode_);
    area->SetScrollable(1, false);
  }
  const int result = entries_.unload_content ? entries_.unload_content(&services_, a, b) : 0;
  if (area) area->ExecuteRequests();
  db_.Close();
  return result;
}

int CKorvelLifePlugin::Scroll(int x, int y, int flags) {
  if (!entries_.scroll) return 0;
  if (CKorvelLifeContentArea* area = GetContentArea()) {
    area->SetScrollPosition(0, x, true);
    area->SetScrollPosition(1, y, true);
  }
  return entries_.scroll(&services_, x, y, flags);
}

int CKorvelLifePlugin::Refresh(int a, int b) {
  return entries_.refresh ? entries_.refresh(&services_, a, b) : 0;
}

int CKorvelLifePlugin::ProcessButton(int command, int b) {
  if (!entries_.process_button) return 0;
  const int result = entries_.process_button(&services_, command, b);
  if (result == kPluginContentChanged) RefreshBanner();
  return result;
}

int CKorvelLifePlugin::ProcessMenuCommand(int command, int b) {
  return entries_.process_menu_command ? entries_.process_menu_command(&services_, command, b) : 0;
}

int CKorvelLifePlugin::ProcessSystemMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int* result) {
  if (message == kNavigateMessage) {
    Navigate(static_cast<int>(wParam));
    return 1;
  }
  if (!entries_.process_system_message) return 0;
  std::int32_t word = 0;
  const int handled = entries_.process_system_message(&services_, window, message, wParam, lParam, &word);
  if (result) *result = word;
  if (word == kPluginContentChanged) RefreshBanner();
  return handled;
}

int CKorvelLifePlugin::MoveFocus(int a, int b) {
  if (!entries_.move_focus) return 0;
  const int result = entries_.move_focus(&services_, a, b);
  if (result == kPluginContentChanged) {
    RefreshBanner();
    return 1;
  }
  return result >= 1 ? 1 : 0;
}

int CKorvelLifePlugin::ActivateFocused(int a, int b) {
  if (!entries_.activate_focused) return 0;
  const int result = entries_.activate_focused(&services_, a, b);
  RefreshBanner();
  return result;
}

void CKorvelLifePlugin::RefreshBanner() {
  ++banner_redraws_;
  if (ads_) ads_->DrawBanner(false);
}

void CKorvelLifePlugin::Navigate(int command) {
  CKorvelLifeContentArea* area = GetContentArea();
  if (area && area->GetView() == this) area->HandleCommand(command);
}

void CKorvelLifePlugin::PostNavigation(int command) {
  CKorvelLifeContentArea* area = GetContentArea();
  if (area && area->GetHandle()) PostMessageW(area->GetHandle(), kNavigateMessage, static_cast<WPARAM>(command), 0);
}

// ---- The view service -------------------------------------------------------------------

std::int32_t CKorvelLifePlugin::CKorvelView::SetContentSize(std::int32_t width, std::int32_t height) {
  owner_->QueueContentSize(width, height);
  return 0;
}

std::int32_t CKorvelLifePlugin::CKorvelView::ShowScrollBars(std::int32_t horizontal, std::int32_t vertical) {
  owner_->QueueScrollBars((horizontal ? 1 : 0) | (vertical ? 2 : 0));
  return 0;
}

std::int32_t CKorvelLifePlugin::CKorvelView::ScrollTo(std::int32_t x, std::int32_t y) {
  owner_->QueueScroll(x, y);
  return 0;
}

std::int32_t CKorvelLifePlugin::CKorvelView::AddMenuItem(const wchar_t* path, std::int32_t command) {
  CPathMenu* menu = owner_->GetMenu();
  return menu && path ? menu->AddMenuItem(path, command) : 0;
}

std::int32_t CKorvelLifePlugin::CKorvelView::RemoveMenuItem(const wchar_t* path) {
  CPathMenu* menu = owner_->GetMenu();
  return menu ? menu->RemoveMenuItem(path ? path : L"") : 0;
}

std::int32_t CKorvelLifePlugin::CKorvelView::HasMenu() { return owner_->GetMenu() != nullptr; }

std::int32_t CKorvelLifePlugin::CKorvelView::SetViewTitle(const wchar_t* title) {
  CKorvelLifeViewInterface::SetTitle(title ? title : L"");
  return 0;
}

std::int32_t CKorvelLifePlugin::CKorvelView::GoBack() {
  owner_->PostNavigation(commands::kBack);
  return 0;
}

std::int32_t CKorvelLifePlugin::CKorvelView::GoForward() {
  owner_->PostNavigation(commands::kForward);
  return 0;
}

HWND CKorvelLifePlugin::CKorvelView::GetContentWindow() {
  CKorvelLifeContentArea* area = owner_->GetContentArea();
  return area ? area->GetHandle() : nullptr;
}

std::int32_t CKorvelLifePlugin::CKorvelView::SwitchContent(const char* plugin_name, const char* database_name) {
  owner_->QueueSwitch(plugin_name, database_name);
  return 0;
}
