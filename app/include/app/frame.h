// The main frame: one window over the device's work area holding, from top
// to bottom, the banner area, the header row with the Dynamic Bar, the
// content area between two borders, and the bottom row with the title box,
// the Static Bar and the Navigation Bar. It switches screens (ShowView),
// steers the keyboard focus mode, keeps the alert button current and runs
// the program's message loop.
//
// The options menu opens when the user taps the title box while the screen
// has menu items (a small mark on the title shows that it has).
#pragma once

#include <string>

#include "app/commands.h"
#include "gui/image.h"
#include "gui/window_box.h"

class CKorvelLifeAdsArea;
class CKorvelLifeButtonsBar;
class CKorvelLifeContentArea;
class CKorvelLifeViewInterface;
class CKorvelLifeViewTitle;
class CObjectStore;
class CPathMenu;

class CKorvelLifeUIFrame : public VexaAppGUISystem::WindowBox {
 public:
  using ImageLoader = HBITMAP (*)(int id);

  CKorvelLifeUIFrame();
  // Slots 0, 12, 15 and 16.
  bool HandleEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) override;
  bool DrawFocus(HDC dc, int x, int y, int width, int height) override;
  ~CKorvelLifeUIFrame() override;
  bool OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnResized(int axis) override;

  // Creates the frame's window over the work area, titled `title`, hidden.
  bool CreateFrame(const wchar_t* title);
  void SetParts(CKorvelLifeAdsArea* ads, CKorvelLifeButtonsBar* dynamic, CKorvelLifeContentArea* content,
                CKorvelLifeButtonsBar* statics, CKorvelLifeViewTitle* title, CKorvelLifeButtonsBar* navigation,
                CPathMenu* menu);
  // Enters the parts in the focus order: the banner area as an item, the
  // bars and the content area as groups.
  void SetFocusOrder();
  void SetStore(CObjectStore* store) { store_ = store; }
  void SetCommandTable(CommandHandler handler, void* context) { table_ = handler, table_context_ = context; }
  // The decoration images 119 to 126, owned by the frame while shown.
  void LoadDecorations(ImageLoader load);
  void DeleteDecorations();
  // The alert images (normal 111, pressed 112, new alerts 226); not owned.
  void SetAlertImages(HBITMAP normal, HBITMAP pressed, HBITMAP fresh);

  // Places every part for the frame's size; nothing until all parts are set.
  void Layout();
  void ShowView(CKorvelLifeViewInterface* view, const wchar_t* title, int highlight, bool keep_back,
                bool keep_forward);
  // Creates the content area's window and runs the loop until the frame
  // closes; `before_loop` runs once the frame shows (the first-run hint).
  // -1 without a content area.
  int RunMessageLoop(void (*before_loop)(void* context), void* context);
  // The alert button from "TavoAlerts": with data (the alert settings
  // screen's value 1 or 2) or without (the refresh message 50003).
  void RefreshAlertButton(bool with_data, int value);
  // The alert button at start: by "NEW_ALERT".
  void SetUpAlertButton();
  // Toggles the input panel (command 5021) and remembers the user's choice.
  void ToggleInputPanel();
  void ShowOptionsMenu(const RECT& title_on_screen);

  static bool FocusMode() { return focus_mode_; }
  static void SetFocusModeFlag(bool on);
  static bool InputPanelFlag() { return input_panel_flag_; }
  static void SetInputPanelFlag(bool on) { input_panel_flag_ = on; }

  CKorvelLifeContentArea* Content() const { return content_; }
  CKorvelLifeButtonsBar* DynamicBar() const { return dynamic_; }
  CKorvelLifeButtonsBar* StaticBar() const { return static_; }
  CKorvelLifeButtonsBar* NavigationBar() const { return navigation_; }
  CKorvelLifeAdsArea* AdsArea() const { return ads_; }
  CKorvelLifeViewTitle* TitleBox() const { return title_; }
  CPathMenu* Menu() const { return menu_; }
  // The decoration box showing image `id` (119 to 126), or null.
  VexaAppGUISystem::Image* Decoration(int id);

 private:
  bool OnKeyDown(int key);
  void ActivateFocused();
  void MoveKeyFocus(int direction);
  void LeaveFocusMode();
  void RepaintAll();
  void ReplaceAlertButton(HBITMAP image);
  void PlayAlertSound(int index);
  bool CountAlerts(const char* property, bool drop_placeholders, std::uint32_t* fresh, std::uint32_t* unread,
                   bool* opened);
  void FitToScreen();
  int ContentBottomLimit(int content_top);

  CKorvelLifeAdsArea* ads_ = nullptr;
  CKorvelLifeButtonsBar* dynamic_ = nullptr;
  CKorvelLifeButtonsBar* static_ = nullptr;
  CKorvelLifeViewTitle* title_ = nullptr;
  CKorvelLifeContentArea* content_ = nullptr;
  CKorvelLifeButtonsBar* navigation_ = nullptr;
  CPathMenu* menu_ = nullptr;
  // 119 and 120, then 123 to 126 (tiled), then 121 and 122.
  VexaAppGUISystem::Image header_left_, header_right_;
  VexaAppGUISystem::ScalableImage header_fill_, bottom_fill_, border_left_, border_right_;
  VexaAppGUISystem::Image bottom_left_, bottom_right_;
  CObjectStore* store_ = nullptr;
  HBITMAP alert_normal_ = nullptr, alert_pressed_ = nullptr, alert_new_ = nullptr;
  CommandHandler table_ = nullptr;
  void* table_context_ = nullptr;
  bool without_menu_bar_ = false;  // the loop runs without the soft-key bar: the frame takes its room

  static bool focus_mode_;
  static bool input_panel_flag_;
};
