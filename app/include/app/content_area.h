// The content area: the window in the middle of the frame that shows one
// view at a time, runs the view's request queue after every call into it,
// routes the commands of the view's controls, and keeps the back/forward
// history of the screens shown.
//
// Invariants:
// - at most one view is current; only its box is a child of the area;
// - the history holds at most kHistoryLimit entries; -1 <= index < count;
// - the request queue never runs twice at once (the view's busy flag).
#pragma once

#include <string>
#include <vector>

#include "app/commands.h"
#include "app/view.h"
#include "gui/window_box.h"

class CKorvelLifeButtonsBar;

// The back/forward history: which view was shown with which parameter.
class CKorvelLifeNavigationHistory {
 public:
  static constexpr int kHistoryLimit = 20;
  static constexpr int kHistoryGrowth = 10;

  struct Entry {
    CKorvelLifeViewInterface* view = nullptr;
    std::vector<char> parameter;  // the bytes given, empty for none
    bool has_parameter = false;
  };

  // The Navigation Bar whose buttons 0 and 1 show whether back and forward lead anywhere.
  void SetNavigationBar(CKorvelLifeButtonsBar* bar) { bar_ = bar; }
  CKorvelLifeButtonsBar* Bar() const { return bar_; }
  // Records a view after the current entry, dropping the entries after it;
  // a full history is cleared first and starts again with this view.
  void Record(CKorvelLifeViewInterface* view, const char* parameter, int length);
  // Moves one entry back or forward; null when there is none.
  const Entry* Back();
  const Entry* Forward();
  void Clear();

  int Index() const { return index_; }
  int Count() const { return static_cast<int>(entries_.size()); }
  int Allocated() const { return allocated_; }
  const Entry* At(int index) const;
  void CheckInvariants() const;

 private:
  void ShowButton(int index, bool enabled, bool visible);
  std::vector<Entry> entries_;
  int index_ = -1;
  int allocated_ = 0;
  CKorvelLifeButtonsBar* bar_ = nullptr;
};

class CKorvelLifeContentArea : public VexaAppGUISystem::WindowBox {
 public:
  // The message the area sends its parent window on a tap (focus mode ends).
  static constexpr UINT kTapMessage = 1034;
  static constexpr int kLineStep = 14;

  CKorvelLifeContentArea();
  ~CKorvelLifeContentArea() override;

  bool HandleEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) override;
  void OnMoved(int axis) override;
  void OnResized(int axis) override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;
  bool DrawFocus(HDC dc, int x, int y, int width, int height) override;
  void OnScrollRangeChanged(int axis) override;
  bool OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  void SetPluginHost(CKorvelLifePluginHost* host) { plugin_host_ = host; }
  CKorvelLifePluginHost* GetPluginHost() const { return plugin_host_; }
  void SetDynamicBar(CKorvelLifeButtonsBar* bar) { dynamic_bar_ = bar; }
  CKorvelLifeButtonsBar* GetDynamicBar() const { return dynamic_bar_; }
  void SetNavigationBar(CKorvelLifeButtonsBar* bar) { history_.SetNavigationBar(bar); }
  // Where commands that are not the area's own go (the application's command table).
  void SetCommandTable(CommandHandler handler, void* context) { table_ = handler, table_context_ = context; }
  // Painting of the frame around the area is switched off while a view changes.
  void SetFramePainting(bool on);

  // Makes `view` current: the old one is deactivated and detached, the new
  // one attached and activated with a copy of `parameter` (length bytes),
  // the change is recorded, and the new view's requests are run.
  void SetView(CKorvelLifeViewInterface* view, const char* parameter, int length);
  CKorvelLifeViewInterface* GetView() const { return view_; }
  // Commands 5019 and 5020.
  void Back();
  void Forward();
  // Runs the current view's request queue and performs a switch request.
  void ExecuteRequests();
  // The area's own share of the routing (5019, 5020, the view's commands).
  int HandleCommand(int command);
  // Routes a command value as a button inside a view sends it.
  void RouteCommand(int command);

  CKorvelLifeNavigationHistory& History() { return history_; }
  // The title box text, as views set it ("" when there is none).
  static std::wstring CurrentTitle();

 private:
  int CommandTable(int command);
  bool RunQueue(CKorvelLifeViewInterface* view);
  void PerformSwitch(CKorvelLifeViewInterface* view);
  void Go(int command, const CKorvelLifeNavigationHistory::Entry* (CKorvelLifeNavigationHistory::*move)());
  void Step(const CKorvelLifeNavigationHistory::Entry* entry, bool back);
  void ShowInputPanelButtonByTitle();

  CKorvelLifeViewInterface* view_ = nullptr;
  CKorvelLifePluginHost* plugin_host_ = nullptr;
  CKorvelLifeButtonsBar* dynamic_bar_ = nullptr;
  CKorvelLifeNavigationHistory history_;
  CommandHandler table_ = nullptr;
  void* table_context_ = nullptr;
  bool painting_view_ = false;
};
