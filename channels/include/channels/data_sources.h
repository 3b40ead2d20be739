// CKorvelLifeDataSources: the channel list, the first screen the user sees.
// Each listed channel of the plug-in is a cell of an icon view (a grid of
// large icons with names) or a list row (small icon, name, unread and total
// article counts), as the display setting "IconView" says; tapping one, or
// the action key on the focused one, opens the channel in its plug-in.
// The list is read from the store each time the screen opens; it keeps
// nothing between openings.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/view.h"
#include "channels/channel_rows.h"
#include "gui/icon_view.h"
#include "gui/image.h"
#include "gui/text.h"

class CKorvelLifeDataSources : public CKorvelLifeViewInterface {
 public:
  // Cells of the two display modes.
  static constexpr int kIconCellWidth = 70, kIconCellHeight = 80, kIconMargin = 10;
  static constexpr int kListCellHeight = 20, kListInset = 10, kListMargin = 5;
  static constexpr int kIconSize = 32, kListIconSize = 16;
  // Names longer than this are shortened to fit two thirds of the view's width.
  static constexpr std::size_t kShortNameLength = 20;

  CKorvelLifeDataSources();
  ~CKorvelLifeDataSources() override;

  // The plug-in whose channels the list shows: "News" (title 92) or "Weather" (198).
  void SetPluginType(const char* type) { type_ = type ? type : ""; }
  const std::string& PluginType() const { return type_; }

  // A non-null parameter names the plug-in instead of SetPluginType.
  int Activate(const char* parameter) override;
  int Deactivate(int a, int b) override;
  // The queue's scroll requests move the content area; notifications of its
  // own scrolling change nothing here.
  int Scroll(int x, int y, int flags) override;
  // 4047 + i opens the channel of row i: 1 when it was opened, -1 when its
  // object lacks what opening needs; 0 for commands that are not the list's.
  int ProcessButton(int command, int b) override;

  // What the list shows (tests and the automation state).
  const std::vector<channels::ChannelRow>& Rows() const { return rows_; }
  bool IconView() const { return icon_view_; }
  VexaAppGUISystem::IconBox* Cell(int row) const;
  // The row opened last in this visit, or -1.
  int CurrentRow() const { return current_; }
  VexaAppGUISystem::IconsList& List() { return list_; }

  // The display name cut, character by character, until it (with an
  // ellipsis) is at most `width` pixels wide in `font`; names of up to
  // kShortNameLength characters stay whole.
  static std::wstring ShortenName(const std::wstring& name, HFONT font, int width);

 private:
  struct Icons {
    HBITMAP normal = nullptr, pressed = nullptr;
  };
  void ShowEmpty(int width);
  void BuildCells(int width, std::int32_t last_active);
  const Icons& IconsFor(const std::string& bytes);
  void ClearCells();

  std::string type_ = channels::kNewsPlugin;
  std::vector<channels::ChannelRow> rows_;
  std::vector<std::unique_ptr<VexaAppGUISystem::IconBox>> cells_;
  // The pictures of this visit by icon bytes: channels that share an icon share its bitmaps.
  std::map<std::string, Icons> icons_;
  VexaAppGUISystem::IconsList list_;
  VexaAppGUISystem::Image empty_picture_;
  VexaAppGUISystem::Text empty_text_;
  HBITMAP empty_bitmap_ = nullptr;
  bool icon_view_ = false;
  int current_ = -1;
};
