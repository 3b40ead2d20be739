// The channel list: cells built from the store's rows, opening a channel.
#include "channels/data_sources.h"

#include <algorithm>

#include "app/commands.h"
#include "app/content_area.h"
#include "app/look.h"
#include "app/path_menu.h"
#include "gui/bitmap.h"
#include "gui/image_decode.h"
#include "resources/skin_ids.h"
#include "screen_text.h"

using namespace VexaAppGUISystem;
using channels::ChannelRow;

namespace {

// Screen numbers of the texts.
constexpr int kNewsTitle = 92, kWeatherTitle = 198;
constexpr int kAddChannelItem = 139, kArrangeItem = 140;
constexpr int kEmptyList = 78;
// The options menu's commands of the list.
constexpr int kAddChannelCommand = 4020, kArrangeCommand = 4023;
// The cells' spacing in the list, and their label styles: icon view 10 and
// 11, list view 12 and 14 (normal, pressed).
constexpr int kCellSpacing = 5;
constexpr COLORREF kPressedFrame = RGB(0, 0, 255);
// Pictures smaller than this (a server's placeholder pixel) give way to the skin's channel icon.
constexpr int kSmallestIcon = 12;

// A copy of `source` at size x size, smoothed.
HBITMAP Scaled(HBITMAP source, int size) {
  int w = 0, h = 0;
  if (!GetBitmapSize(source, &w, &h)) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
  HBITMAP copy = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old_from = SelectObject(from, source), old_to = SelectObject(to, copy);
  SetStretchBltMode(to, HALFTONE);
  SetBrushOrgEx(to, 0, 0, nullptr);
  StretchBlt(to, 0, 0, size, size, from, 0, 0, w, h, SRCCOPY);
  SelectObject(from, old_from);
  SelectObject(to, old_to);
  DeleteDC(from);
  DeleteDC(to);
  ReleaseDC(nullptr, screen);
  return copy;
}

// The pressed look of a channel's own picture: framed in the selection blue.
HBITMAP Framed(HBITMAP source, int size) {
  HBITMAP copy = Scaled(source, size);
  if (!copy) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, copy);
  VexaAppGUISystem::FrameRect(dc, 0, 0, size, size, kPressedFrame, 2);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return copy;
}

int ScrollBarWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

}  // namespace

CKorvelLifeDataSources::CKorvelLifeDataSources() {
  list_.SetSpacing(kCellSpacing);
  list_.SetSize(0, 0, nullptr, 1);
}

CKorvelLifeDataSources::~CKorvelLifeDataSources() { ClearCells(); }

IconBox* CKorvelLifeDataSources::Cell(int row) const {
  return row >= 0 && row < static_cast<int>(cells_.size()) ? cells_[static_cast<size_t>(row)].get() : nullptr;
}

std::wstring CKorvelLifeDataSources::ShortenName(const std::wstring& name, HFONT font, int width) {
  if (name.size() <= kShortNameLength || width <= 0) return name;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SIZE whole = {};
  GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &whole);
  std::wstring shown = name;
  if (whole.cx > width) {
    static const wchar_t kEllipsis[] = L"\x2026";
    SIZE dots = {};
    GetTextExtentPoint32W(dc, kEllipsis, 1, &dots);
    int fit = 0;
    SIZE unused = {};
    GetTextExtentExPointW(dc, name.c_str(), static_cast<int>(name.size()), width - dots.cx, &fit, nullptr, &unused);
    // No blank before the dots.
    while (fit > 0 && name[static_cast<size_t>(fit) - 1] == L' ') --fit;
    shown = name.substr(0, static_cast<size_t>(fit > 0 ? fit : 0)) + kEllipsis;
  }
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
  return shown;
}

const CKorvelLifeDataSources::Icons& CKorvelLifeDataSources::IconsFor(const std::string& bytes) {
  auto found = icons_.find(bytes);
  if (found != icons_.end()) return found->second;
  const int size = icon_view_ ? kIconSize : kListIconSize;
  Icons icons;
  HBITMAP own = DecodeImage(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  int w = 0, h = 0;
  if (own && GetBitmapSize(own, &w, &h) && w >= kSmallestIcon && h >= kSmallestIcon) {
    icons.normal = w == size && h == size ? own : Scaled(own, size);
    icons.pressed = Framed(own, size);
    if (icons.normal != own) DeleteObject(own);
  } else {
    if (own) DeleteObject(own);
    HBITMAP skin = AppImage(icon_view_ ? IDG_CHANNEL_DEFAULT : IDG_CHANNEL_DEFAULT_LIST);
    if (skin && GetBitmapSize(skin, &w, &h) && (w != size || h != size)) {
      HBITMAP fitted = Scaled(skin, size);
      DeleteObject(skin);
      skin = fitted;
    }
    icons.normal = skin;
    icons.pressed = skin ? Framed(skin, size) : nullptr;
  }
  return icons_.emplace(bytes, icons).first->second;
}

void CKorvelLifeDataSources::ClearCells() {
  // With no width the list does not arrange what is left at each removal.
  list_.SetSize(0, 0, nullptr, 1);
  cells_.clear();
  for (Box* part : {static_cast<Box*>(&list_), static_cast<Box*>(&empty_picture_), static_cast<Box*>(&empty_text_)}) {
    if (Box* parent = part->GetParent()) {
      parent->RemoveFromFocusOrder(part);
      parent->RemoveChild(part);
    }
  }
  empty_picture_.SetImage(nullptr, false, 0);
  if (empty_bitmap_) DeleteObject(empty_bitmap_);
  empty_bitmap_ = nullptr;
  for (auto& entry : icons_) {
    if (entry.second.pressed && entry.second.pressed != entry.second.normal) DeleteObject(entry.second.pressed);
    if (entry.second.normal) DeleteObject(entry.second.normal);
  }
  icons_.clear();
}

int CKorvelLifeDataSources::Activate(const char* parameter) {
  if (parameter && *parameter) type_ = parameter;
  DiscardRequests();
  ClearCells();
  const bool weather = type_ == channels::kWeatherPlugin;
  SetTitle(AppString(weather ? kWeatherTitle : kNewsTitle));
  if (!weather && menu_) {
    menu_->AddMenuItem(AppString(kAddChannelItem), kAddChannelCommand);
    menu_->AddMenuItem(AppString(kArrangeItem), kArrangeCommand);
  }
  current_ = -1;
  rows_.clear();
  channels::ListSettings settings;
  if (store_) {
    // Held while the list is read: the volume is mounted once, not at every
    // database the list opens.
    ScopedDatabase rss;
    store_->Open(rss.Out(), "TavoRss", false);
    settings = channels::ReadListSettings(*store_);
    rows_ = channels::ReadChannelList(*store_, type_.c_str(), channels::ProgramTextRules());
  }
  icon_view_ = settings.icon_view;
  const int width = content_area_ ? content_area_->Width() : view_box_.SettledSize(0);
  if (rows_.empty())
    ShowEmpty(width);
  else
    BuildCells(width, settings.last_active);
  if (weather && !rows_.empty()) ProcessButton(channels::kFirstRowCommand, 0);
  return 0;
}

void CKorvelLifeDataSources::ShowEmpty(int width) {
  empty_bitmap_ = AppImage(IDG_EMPTY_CHANNELS);
  empty_picture_.SetImage(empty_bitmap_, false, 0);
  int pw = 0, ph = 0;
  GetBitmapSize(empty_bitmap_, &pw, &ph);
  view_box_.AddChild(&empty_picture_, &view_box_);
  empty_picture_.SetPosition(0, (width - pw) / 2, EdgeLeading, &view_box_, EdgeLeading);
  empty_picture_.SetPosition(1, 20, EdgeLeading, &view_box_, EdgeLeading);
  TextStyle style = AppTextStyle(0);
  style.horizontal = 2;
  empty_text_.SetStyle(style);
  empty_text_.SetMinimumSize(width - 20, 0);
  empty_text_.SetMaximumSize(width - 20, 0);
  empty_text_.SetText(AppString(kEmptyList));
  view_box_.AddChild(&empty_text_, &view_box_);
  empty_text_.SetPosition(0, 10, EdgeLeading, &view_box_, EdgeLeading);
  empty_text_.SetPosition(1, 10, EdgeLeading, &empty_picture_, EdgeBottom);
  QueueContentSize(width, 0);
  QueueScrollBars(0);
}

void CKorvelLifeDataSources::BuildCells(int width, std::int32_t last_active) {
  const int visible = content_area_ ? content_area_->Height() : view_box_.SettledSize(1);
  const TextStyle& label = AppTextStyle(icon_view_ ? 10 : 12);
  const TextStyle& label_pressed = AppTextStyle(icon_view_ ? 11 : 14);
  TextStyle count = AppTextStyle(12), count_pressed = AppTextStyle(14);
  count.horizontal = count_pressed.horizontal = 1;
  const bool counted = !icon_view_ && type_ != channels::kWeatherPlugin;
  // A list taller than the area leaves room for the scroll bar beside it.
  auto rows_per_line = [&](int w) { return icon_view_ ? std::max(1, (w - kCellSpacing) / kIconCellWidth) : 1; };
  auto height_at = [&](int w) {
    const int lines = (static_cast<int>(rows_.size()) + rows_per_line(w) - 1) / rows_per_line(w);
    return lines * ((icon_view_ ? kIconCellHeight : kListCellHeight) + kCellSpacing) + kCellSpacing;
  };
  const int inner = height_at(width) > visible ? width - ScrollBarWidth() : width;
  const int cell_width = icon_view_ ? kIconCellWidth : inner - kListInset;
  const int name_room = std::min(width * 2 / 3, icon_view_ ? width * 2 / 3 : cell_width * 2 / 3);

  for (const ChannelRow& row : rows_) {
    auto cell = std::make_unique<IconBox>();
    cell->SetOrientation(icon_view_ ? 1 : 0);
    if (icon_view_)
      cell->SetMargins(kIconMargin, kIconMargin, 0, 0);
    else
      cell->SetMargins(kListMargin, kListMargin, 0, 0);
    const Icons& icons = IconsFor(row.icon);
    cell->SetIcon(static_cast<std::uint32_t>(row.command), icons.normal, icons.pressed, nullptr, false, 0);
    const std::wstring name = ShortenName(channels::AsWide(row.display_name), label.font, name_room);
    cell->SetLabel(name.c_str(), label, label_pressed);
    if (counted) cell->SetCounts(row.unread, row.total, count, count_pressed);
    cell->SetCellSize(cell_width, icon_view_ ? kIconCellHeight : kListCellHeight);
    // The list has no width yet: it arranges its cells once, below.
    list_.AddChild(cell.get(), &list_);
    list_.AddToFocusOrder(cell.get(), &list_, FocusGroup);
    cells_.push_back(std::move(cell));
  }
  view_box_.AddChild(&list_, &view_box_);
  list_.SetPosition(0, 0, EdgeLeading, &view_box_, EdgeLeading);
  list_.SetPosition(1, 0, EdgeLeading, &view_box_, EdgeLeading);
  list_.SetSize(0, inner, nullptr, 1);
  view_box_.AddToFocusOrder(&list_, &view_box_, FocusGroup);
  const int height = list_.SettledSize(1);
  QueueContentSize(width, height > visible ? height : visible);
  QueueScrollBars(2);

  int focus = 0;
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].command == last_active) focus = static_cast<int>(i);
  IconBox* focused = cells_[static_cast<size_t>(focus)].get();
  view_box_.SetFocus(focused);
  // The list opens at its top unless the focused row lies below the fold;
  // a position kept from the last visit would hide the rows above.
  int x = 0, y = 0, w = 0, h = 0;
  const bool below = list_.GetChildRect(focused, &x, &y, &w, &h) && y + h + kCellSpacing > visible;
  QueueScroll(0, below ? y + h + kCellSpacing - visible : 0);
}

int CKorvelLifeDataSources::Deactivate(int, int) {
  ClearCells();
  rows_.clear();
  return 0;
}

int CKorvelLifeDataSources::Scroll(int, int y, int) {
  channels::FollowQueuedScroll(this, y);
  return 0;
}

int CKorvelLifeDataSources::ProcessButton(int command, int) {
  const int row = command - channels::kFirstRowCommand;
  if (row < 0 || row >= static_cast<int>(rows_.size()) || !store_) return 0;
  const ChannelRow& chosen = rows_[static_cast<size_t>(row)];
  channels::OpenedChannel opened;
  if (channels::OpenChannel(*store_, chosen.object_name, command, &opened) != 0) return -1;
  current_ = row;
  // The plug-in's screen is titled with the channel's name.
  SetTitle(channels::AsWide(chosen.display_name).c_str());
  QueueSwitch(opened.plugin.c_str(), opened.database.c_str());
  return 1;
}
