// CKorvelLifePlugin: the view of the content area that loads a content
// plug-in by name and drives it through its exports (plugin_api.h).
//
// Life of a host view: no plug-in -> plug-in loaded (LoadPlugin) -> active
// (between Activate and Deactivate) -> inactive; the library stays loaded
// until another name is loaded or the view is destroyed, and loading the
// same name again loads the library afresh.
//
// Failure rules:
// - an unknown plug-in name, a library that is missing or lacks one of the
//   ten required exports: LoadPlugin answers -1 and no library stays loaded;
//   Activate then calls nothing and the view stays empty;
// - a database that does not open: LoadPlugin answers -1 but the library
//   stays, LoadContent is still called and the store calls fail with the
//   store's codes;
// - every forwarding operation answers 0 when its export is missing.
//
// Invariants: the service block's address never changes while the view
// lives; the host never reads its context and plug-in words; the view
// service's SetContentSize, ShowScrollBars, ScrollTo and SwitchContent only
// queue requests, and GoBack/GoForward take effect after the plug-in's call
// has returned, so a plug-in never re-enters the host.
#pragma once

#include <string>

#include "app/view.h"
#include "plugin/database_service.h"
#include "plugin/plugin_api.h"

class CKorvelLifeAdsArea;
class CKorvelLifeButtonsBar;

class CKorvelLifePlugin : public CKorvelLifePluginHost {
 public:
  // The database service of a host view.
  class CKorvelDB : public plugin::DatabaseService {
   public:
    explicit CKorvelDB(CKorvelLifePlugin* owner, const char* volume_path = nullptr)
        : plugin::DatabaseService(volume_path), owner_(owner) {}
    CKorvelLifePlugin* Owner() const { return owner_; }

   private:
    CKorvelLifePlugin* owner_;
  };

  // The view service of a host view.
  class CKorvelView : public KorvelPluginViewInterface {
   public:
    explicit CKorvelView(CKorvelLifePlugin* owner) : owner_(owner) {}
    virtual ~CKorvelView() = default;
    std::int32_t SetContentSize(std::int32_t width, std::int32_t height) override;
    std::int32_t ShowScrollBars(std::int32_t horizontal, std::int32_t vertical) override;
    std::int32_t ScrollTo(std::int32_t x, std::int32_t y) override;
    std::int32_t GetFirstCommandId() override { return kPluginFirstCommand; }
    std::int32_t AddMenuItem(const wchar_t* path, std::int32_t command) override;
    std::int32_t RemoveMenuItem(const wchar_t* path) override;
    std::int32_t HasMenu() override;
    std::int32_t HasMenu7() override { return HasMenu(); }
    std::int32_t HasMenu8() override { return HasMenu(); }
    std::int32_t HasMenu9() override { return HasMenu(); }
    std::int32_t SetViewTitle(const wchar_t* title) override;
    std::int32_t GoBack() override;
    std::int32_t GoForward() override;
    HWND GetContentWindow() override;
    std::int32_t SwitchContent(const char* plugin_name, const char* database_name) override;

   private:
    CKorvelLifePlugin* owner_;
  };

  // The library each known plug-in name stands for; null for others.
  static const wchar_t* LibraryOf(const char* name);
  // The window message that carries a deferred back or forward (wParam: the
  // command) to the host view through the content area.
  static const UINT kNavigateMessage;

  // volume_path: the store's volume for the plug-in's databases; null is
  // the program's own.
  explicit CKorvelLifePlugin(const char* volume_path = nullptr);
  ~CKorvelLifePlugin() override;

  int Activate(const char* parameter) override;
  int Deactivate(int a, int b) override;
  int Scroll(int x, int y, int flags) override;
  int Refresh(int a, int b) override;
  int ProcessButton(int command, int b) override;
  int ProcessMenuCommand(int command, int b) override;
  int ProcessSystemMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int* result) override;
  int MoveFocus(int a, int b) override;
  int ActivateFocused(int a, int b) override;
  int LoadPlugin(const char* name, const char* database) override;

  // Where the banner is redrawn after the plug-in changed the screen, and
  // the Dynamic Bar whose first two buttons the weather plug-in shows.
  void SetBannerArea(CKorvelLifeAdsArea* ads) { ads_ = ads; }
  void SetDynamicBar(CKorvelLifeButtonsBar* bar) { dynamic_bar_ = bar; }

  bool HasLibrary() const { return library_ != nullptr; }
  const std::string& PluginName() const { return name_; }
  KorvelPluginServices* Services() { return &services_; }
  CKorvelDB* Database() { return &db_; }
  int BannerRedraws() const { return banner_redraws_; }

 private:
  struct Entries {
    GetPluginVersionProc get_plugin_version = nullptr;
    GetPluginNameProc get_plugin_name = nullptr;
    GetAPIVersionProc get_api_version = nullptr;
    LoadContentProc load_content = nullptr;
    UnloadContentProc unload_content = nullptr;
    ScrollProc scroll = nullptr;
    RefreshProc refresh = nullptr;
    ProcessButtonProc process_button = nullptr;
    ProcessMenuCommandProc process_menu_command = nullptr;
    ProcessSystemMessageProc process_system_message = nullptr;
    MoveFocusProc move_focus = nullptr;
    ActivateFocusedProc activate_focused = nullptr;
  };

  void FreeLibraryAndEntries();
  bool ResolveEntries();
  void RefreshBanner();
  void ShowWeatherButtons();
  // Back (5019) or forward (5020) through the content area, as the
  // navigation bar's buttons do.
  void Navigate(int command);
  void PostNavigation(int command);

  HMODULE library_ = nullptr;
  std::string name_;
  Entries entries_;
  KorvelPluginServices services_;
  int saved_focus_mode_ = 0;
  CKorvelDB db_;
  CKorvelView view_service_;
  CKorvelLifeAdsArea* ads_ = nullptr;
  CKorvelLifeButtonsBar* dynamic_bar_ = nullptr;
  int banner_redraws_ = 0;
};
