// CKorvelLifeApp: the program's one application object. It owns the frame
// and its parts, every screen, the start-up windows, the store access, the
// localization, the text styles and the skin; GetApp creates it on first use
// and it is destroyed when the process exits. Members are constructed in
// the order they are declared and destroyed in the reverse order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>

#include "app/ads_area.h"
#include "app/buttons_bar.h"
#include "app/content_area.h"
#include "app/eula.h"
#include "app/frame.h"
#include "app/object_store.h"
#include "app/path_menu.h"
#include "app/splash.h"
#include "app/view_title.h"
#include "channels/add_channel.h"
#include "channels/data_sources.h"
#include "channels/list_channels.h"
#include "gui/image_decode.h"
#include "gui/text.h"
#include "lang/localization.h"
#include "placeholder_screens.h"
#include "plugin/plugin_host.h"

class CKorvelLifeApp;
CKorvelLifeApp& GetApp();

class CKorvelLifeApp {
 public:
  static constexpr int kTextStyleCount = 17;
  static constexpr const char* kComponentName = "Korvel Main Component";

  CKorvelLifeApp();
  ~CKorvelLifeApp();
  CKorvelLifeApp(const CKorvelLifeApp&) = delete;
  CKorvelLifeApp& operator=(const CKorvelLifeApp&) = delete;

  // The whole run, from the frame to the end of its message loop; 0.
  int Run();
  // The command table: 1 handled, 0 a command it does not know.
  int ExecuteCommand(int command);

  const wchar_t* GetString(int id) const;
  CKorvelNewsLocalization* Localization() { return localization_.get(); }
  CObjectStore* Store() { return &store_; }
  const VexaAppGUISystem::TextStyle& TextStyle(int index) const;
  HMODULE ResourceModule() const { return images_.ResourceModule(); }
  HMODULE SkinLibrary() const { return images_.SkinModule(); }
  // The GIF resource `id`, decoded; the caller deletes it. Null when missing.
  HBITMAP LoadImage(int id) const { return images_.Load(id); }

  CKorvelLifeUIFrame& Frame() { return frame_; }
  CKorvelLifeAdsArea& AdsArea() { return ads_; }
  CKorvelLifeButtonsBar& DynamicBar() { return dynamic_bar_; }
  CKorvelLifeButtonsBar& StaticBar() { return static_bar_; }
  CKorvelLifeButtonsBar& NavigationBar() { return navigation_bar_; }
  CPathMenu& OptionsMenu() { return menu_; }
  CKorvelLifeViewTitle& TitleBox() { return title_; }
  CKorvelLifeContentArea& ContentArea() { return content_; }
  CKorvelLifeDataSources& ChannelList() { return data_sources_; }
  CKorvelLifePlugin& PluginHost() { return plugin_; }
  FullScreenAdWindow& Splash() { return splash_; }
  CEulaScreen& Eula() { return eula_; }

  std::uint32_t StartTick() const { return start_tick_; }
  std::uint32_t EndTick() const { return end_tick_; }
  // Set when the channel list was created or the agreement accepted in this run.
  bool FirstRun() const;
  void SetFirstRun(bool first_run);

 private:
  // Run's steps.
  void LoadBarImages();
  void FillBars();
  void HandOutParts();
  void ShowFrame();
  void ShowSplash();
  bool AskAgreement();
  void ShowFirstRunHint();
  void EndRun();
  void CreateTextStyles();
  void Show(CKorvelLifeViewInterface* view, int title, int highlight = 0);
  int MessageBox(int text, std::uint32_t flags);

  // 1. The frame, 2. the banner area, 3. the bars, 4. the options menu, 5. the title box, 6. the content area.
  CKorvelLifeUIFrame frame_;
  CKorvelLifeAdsArea ads_;
  CKorvelLifeButtonsBar dynamic_bar_{"Dynamic Bar"};
  CKorvelLifeButtonsBar static_bar_{"Static Bar"};
  CKorvelLifeButtonsBar navigation_bar_{"Navigation Bar"};
  CPathMenu menu_;
  CKorvelLifeViewTitle title_;
  CKorvelLifeContentArea content_;
  // 7. The screens.
  CKorvelLifeTools tools_;
  CKorvelLifeHelp help_;
  CKorvelLifeOptions options_;
  CKorvelLifeAbout about_;
  CKorvelLifeManual manual_;
  CKorvelLifeSyncScreen sync_;
  CKorvelRecommendChannels recommend_;
  CKorvelDeleteChannel delete_channel_;
  CKorvelLifeConnectionSettings connection_settings_;
  CKorvelLifeShareSettings share_settings_;
  CKorvelAddChannel add_channel_;
  CKorvelLifeAlertsSettings alerts_settings_;
  CKorvelLifeDisplaySettings display_settings_;
  CKorvelLifeShareArticle share_article_;
  CKorvelLifeAlerts alerts_;
  CKorvelLifeSyncSettings sync_settings_;
  CKorvelLifeDataSources data_sources_;
  CKorvelLifeShareChannel share_channel_;
  CKorvelLifeSharedItems shared_items_;
  CKorvelLifeFaq faq_;
  CKorvelLifeOPML opml_;
  CKorvelLifePlugin plugin_;
  // 8. The start-up windows.
  FullScreenAdWindow splash_{[](int id) { return GetApp().LoadImage(id); }};
  CEulaScreen eula_;
  // 9. The store, 10. the localization.
  CObjectStore store_;
  std::unique_ptr<CKorvelNewsLocalization> localization_;
  // 11. The run's start and end.
  std::uint32_t start_tick_ = 0;
  std::uint32_t end_tick_ = 0;
  // 12. The text styles, each owning its font.
  VexaAppGUISystem::TextStyle styles_[kTextStyleCount];
  // 13. The skin library and the resource module.
  VexaAppGUISystem::ImageResources images_;
  // The bar pictures of Run's step 4, by identifier.
  std::map<int, HBITMAP> bar_images_;
};

// The application object; created by the first call.
CKorvelLifeApp& GetApp();
// The program's entry: one instance at a time; always 0.
int TidelarkMain();
