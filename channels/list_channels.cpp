// The check-box lists: the base that builds sections of rows between a
// header and a footer, the unsubscribe list and the recommendations.
#include "channels/list_channels.h"

#include "app/commands.h"
#include "app/content_area.h"
#include "app/look.h"
#include "platform/device.h"
#include "platform/services.h"
#include "resources/skin_ids.h"
#include "screen_text.h"

using namespace VexaAppGUISystem;

namespace {

// Screen numbers of the texts.
constexpr int kDeleteTitle = 111, kDeleteLabel = 16, kDeletedMessage = 17;
constexpr int kRecommendTitle = 108, kSubscribeLabel = 76, kAddedMessage = 75;
constexpr int kNothingListed = 77;
constexpr int kLanguageCode = 199;
// The rows' check boxes send a value of the view's own range, which no screen acts on.
constexpr int kRowCommand = commands::kFirstViewCommand;
constexpr int kTitleLeft = 30, kTitleTop = 10, kHeadingLeft = 10, kSectionGap = 10, kFooterGap = 10;
constexpr int kFooterHeight = 20;
constexpr COLORREF kListText = RGB(0, 0, 0), kListBackground = RGB(255, 255, 255);
// The heading style of the application's texts, and of the screens' titles.
constexpr int kHeadingStyle = 13, kTitleStyle = 8, kHintStyle = 0;

const wchar_t* SectionHeading(const std::string& plugin) {
  if (plugin == channels::kNewsPlugin) return L"RSS-Feeds";
  return std::wstring(AppString(kLanguageCode)) == L"DE" ? L"Erweiterungen" : L"Plug-ins";
}

}  // namespace

// ---- The base -----------------------------------------------------------------------

CKorvelListChannels::CKorvelListChannels() {
  spacer_.SetText(L"dgdfgdfgdfg", kListText, 14, true, kListBackground, false, false, false, true);
  spacer_.SetVisible(false);
}

CKorvelListChannels::~CKorvelListChannels() { Clear(); }

CCheckBoxEx* CKorvelListChannels::Row(int index) const {
  return index >= 0 && index < RowCount() ? rows_[static_cast<size_t>(index)]->box.get() : nullptr;
}

const std::string& CKorvelListChannels::RowName(int index) const {
  static const std::string kNone;
  return index >= 0 && index < RowCount() ? rows_[static_cast<size_t>(index)]->name : kNone;
}

const char* CKorvelListChannels::RowDatabase(int index) const {
  const CCheckBoxEx* row = Row(index);
  return row ? static_cast<const char*>(row->GetUserData()) : nullptr;
}

std::vector<std::string> CKorvelListChannels::CheckedNames() const {
  std::vector<std::string> names;
  for (const auto& row : rows_)
    if (row->box->IsChecked()) names.push_back(row->name);
  return names;
}

int CKorvelListChannels::ListWidth() const {
  return content_area_ ? content_area_->Width() : view_box_.SettledSize(0);
}

void CKorvelListChannels::Append(Box* box, int x, int gap, bool focus) {
  list_.AddChild(box, &list_);
  box->SetPosition(0, x, EdgeLeading, &list_, EdgeLeading);
  if (last_)
    box->SetPosition(1, gap, EdgeLeading, last_, EdgeBottom);
  else
    box->SetPosition(1, gap, EdgeLeading, &list_, EdgeLeading);
  if (focus) list_.AddToFocusOrder(box, &list_, box->GetFocusMode() == FocusGroup ? FocusGroup : FocusItem);
  last_ = box;
}

Text* CKorvelListChannels::MakeText(const wchar_t* text, const TextStyle& style) {
  auto part = std::make_unique<Text>();
  Text* t = part.get();
  const int room = ListWidth() - 2 * kHeadingLeft;
  t->SetStyle(style);
  t->SetMinimumSize(room, 0);
  t->SetMaximumSize(room, 0);
  t->SetText(text);
  parts_.push_back(std::move(part));
  return t;
}

TextButtonRounded* CKorvelListChannels::MakeFooterButton(int label, int command) {
  auto part = std::make_unique<TextButtonRounded>(nullptr, static_cast<std::uint32_t>(command));
  TextButtonRounded* b = part.get();
  const int width = platform::device::Screen().width / 4;
  TextStyle normal = AppTextStyle(1), pressed = AppTextStyle(7);
  b->SetNormalStyle(normal);
  b->SetPressedStyle(pressed);
  b->SetColours(0xFF0000, 0xFFFFFF, 0);
  b->SetMinimumSize(width, kFooterHeight);
  b->SetMaximumSize(width, kFooterHeight);
  b->SetLabel(AppString(label));
  b->SetFocusMode(FocusItem);
  parts_.push_back(std::move(part));
  return b;
}

TextButtonRounded* CKorvelListChannels::AppendFooterButton(int label, int command) {
  TextButtonRounded* button = MakeFooterButton(label, command);
  Append(button, (ListWidth() - button->SettledSize(0)) / 2, kFooterGap, true);
  return button;
}

void CKorvelListChannels::AppendTitle(int text) {
  SetTitle(AppString(text));
  Append(MakeText(AppString(text), AppTextStyle(kTitleStyle)), kTitleLeft, kTitleTop);
}

void CKorvelListChannels::AddRows(const std::vector<channels::ListedChannel>& channels) {
  for (const channels::ListedChannel& channel : channels) {
    auto row = std::make_unique<RowRecord>();
    row->box = std::make_unique<CCheckBoxEx>();
    row->name = channel.name;
    row->database = channel.database;
    CCheckBoxEx* box = row->box.get();
    box->SetMinimumSize(kRowWidth, kRowHeight);
    box->SetMaximumSize(kRowWidth, kRowHeight);
    box->SetImages(unchecked_, checked_, nullptr, true, IDG_COLOUR_KEY, false);
    int check_width = 0, check_height = 0;
    GetBitmapSize(unchecked_, &check_width, &check_height);
    box->Build(kRowWidth - check_width - box->GetSpacing(), kRowHeight);
    box->SetCommandValue(kRowCommand);
    box->SetLabelText(channels::AsWide(channel.display_name).c_str(), kListText, -1, kListBackground, false, false,
                      false, false);
    // One line per row; a long name ends in dots.
    box->Label().SetWrapping(false, false, 0, 2);
    box->Label().SetEllipsis(true);
    box->SetUserData(row->database.empty() ? nullptr : const_cast<char*>(row->database.c_str()));
    Append(box, kRowLeft, kGap, true);
    rows_.push_back(std::move(row));
  }
}

void CKorvelListChannels::AddSection(store::Database* db, const channels::Section& section) {
  Text* heading = MakeText(SectionHeading(section.plugin), AppTextStyle(kHeadingStyle));
  Append(heading, kHeadingLeft, kSectionGap);
  store::ResultSet* result = nullptr;
  if (QueryChannels(db, &result, store::kTypeText, section.plugin.c_str()) != store::kStoreOk) return;
  AddRows(channels::ReadListed(result, channels::ProgramTextRules()));
  store::FreeResult(result);
}

int CKorvelListChannels::Activate(const char*) {
  DiscardRequests();
  Clear();
  unchecked_ = AppImage(IDG_CHECK_OFF);
  checked_ = AppImage(IDG_CHECK_ON);
  const int width = ListWidth();
  view_box_.AddChild(&list_, &view_box_);
  list_.SetPosition(0, 0, EdgeLeading, &view_box_, EdgeLeading);
  list_.SetPosition(1, 0, EdgeLeading, &view_box_, EdgeLeading);
  view_box_.AddToFocusOrder(&list_, &view_box_, FocusGroup);
  list_.SetLayoutEnabled(false, false);
  BuildHeader(&list_);
  if (store_) {
    ScopedDatabase db;
    if (store_->Open(db.Out(), "TavoRss", false) == store::kStoreOk)
      for (const channels::Section& section : channels::ReadSections(*store_)) AddSection(db.Get(), section);
  }
  if (rows_.empty()) Append(MakeText(AppString(kNothingListed), AppTextStyle(kHintStyle)), kHeadingLeft, kSectionGap);
  BuildFooter(&list_);
  Append(&spacer_, 0, kGap);
  list_.SetLayoutEnabled(true, true);
  list_.Relayout(true);
  // The list box is as large as what it holds.
  int origin = 0, extent = 0;
  list_.GetPositionConstraint(3, &origin, &extent, nullptr, nullptr);
  list_.SetSize(0, width, nullptr, 1);
  list_.SetSize(1, origin + extent, nullptr, 1);
  const int visible = content_area_ ? content_area_->Height() : 0;
  QueueContentSize(width, origin + extent > visible ? origin + extent : visible);
  QueueScrollBars(2);
  if (!rows_.empty()) view_box_.SetFocus(rows_.front()->box.get());
  return 0;
}

void CKorvelListChannels::Clear() {
  // Rows first: each leaves the list (and is unchecked) as it goes.
  rows_.clear();
  parts_.clear();
  if (spacer_.GetParent()) spacer_.GetParent()->RemoveChild(&spacer_);
  if (Box* parent = list_.GetParent()) {
    parent->RemoveFromFocusOrder(&list_);
    parent->RemoveChild(&list_);
  }
  last_ = nullptr;
  if (unchecked_) DeleteObject(unchecked_);
  if (checked_) DeleteObject(checked_);
  unchecked_ = checked_ = nullptr;
}

int CKorvelListChannels::Deactivate(int, int) {
  Clear();
  return 0;
}

int CKorvelListChannels::Scroll(int, int y, int) {
  channels::FollowQueuedScroll(this, y);
  return 0;
}

// ---- Unsubscribing --------------------------------------------------------------------

std::int32_t CKorvelDeleteChannel::QueryChannels(store::Database* database, store::ResultSet** result, int type,
                                                 const char* plugin) {
  return channels::QueryBySubscription(database, static_cast<std::uint16_t>(type), plugin, channels::kSubscribed,
                                       result);
}

void CKorvelDeleteChannel::BuildHeader(Box*) { AppendTitle(kDeleteTitle); }

void CKorvelDeleteChannel::BuildFooter(Box*) { AppendFooterButton(kDeleteLabel, kDeleteCommand); }

int CKorvelDeleteChannel::ProcessButton(int command, int) {
  if (command != kDeleteCommand || !store_) return 0;
  if (channels::Unsubscribe(*store_, CheckedNames()) > 0)
    channels::ShowMessage(this, kDeletedMessage, platform::kMbIconInformation);
  return 1;
}

// ---- Subscribing ------------------------------------------------------------------------

std::int32_t CKorvelRecommendChannels::QueryChannels(store::Database* database, store::ResultSet** result, int type,
                                                     const char* plugin) {
  return channels::QueryBySubscription(database, static_cast<std::uint16_t>(type), plugin,
                                       channels::kNotSubscribed, result);
}

void CKorvelRecommendChannels::BuildHeader(Box*) { AppendTitle(kRecommendTitle); }

void CKorvelRecommendChannels::BuildFooter(Box*) { AppendFooterButton(kSubscribeLabel, kSubscribeCommand); }

int CKorvelRecommendChannels::ProcessButton(int command, int) {
  if (command != kSubscribeCommand || !store_) return 0;
  if (channels::Subscribe(*store_, CheckedNames()) > 0)
    channels::ShowMessage(this, kAddedMessage, platform::kMbIconInformation);
  channels::SendCommand(this, commands::kShowSync);
  return 1;
}
