// The sync screen: the subscribed channels of each section of "TavoCats"
// with check boxes, between the explanation with "Sync all" and the
// "Synchronize" button.
#include "sync/screens/sync_screen.h"

#include <algorithm>
#include <cctype>

#include "app/stored_object.h"
#include "gui/bitmap.h"
#include "platform/device.h"
#include "resources/skin_ids.h"
#include "sync_run.h"

namespace {

constexpr int kMargin = 5;
constexpr int kRowIndent = 20, kRowWidth = 200, kRowHeight = 20;
constexpr int kButtonHeight = 20;
constexpr COLORREF kListText = RGB(0, 0, 0);

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

VexaAppGUISystem::TextStyle CKorvelLifeSyncScreen::Style(int index) const {
  return host_.text_style ? host_.text_style(index) : VexaAppGUISystem::TextStyle();
}

CKorvelLifeSyncScreen::CKorvelLifeSyncScreen()
    : column_(&inner_), sync_all_("sync all", sync_screens::kSyncAll),
      sync_checked_("synchronize", sync_screens::kSyncChecked) {}

CKorvelLifeSyncScreen::~CKorvelLifeSyncScreen() { Clear(); }

int CKorvelLifeSyncScreen::Activate(const char*) {
  Clear();
  SetTitle(AppString(98));
  check_off_ = host_.load_image ? host_.load_image(IDG_CHECK_OFF) : nullptr;
  check_on_ = host_.load_image ? host_.load_image(IDG_CHECK_ON) : nullptr;
  QueueScrollBars(2);  // vertical only
  inner_.SetLayoutEnabled(false, false);
  BuildHeader();
  BuildSections();
  BuildFooter();
  inner_.SetLayoutEnabled(true, true);
  inner_.Relayout(true);  // enabling alone lays nothing out
  if (!rows_.empty()) inner_.SetFocus(rows_.front());
  return 0;
}

void CKorvelLifeSyncScreen::BuildHeader() {
  const int width = platform::device::Screen().width;
  explanation_.SetStyle(Style(0));
  explanation_.SetMaximumSize(width - 2 * kMargin - 10, 0);
  explanation_.SetMinimumSize(width - 2 * kMargin - 10, 0);
  explanation_.SetText(AppString(118));
  column_.Add(&explanation_, kMargin, kMargin);
  sync_screens::StyleRoundedButton(&sync_all_, AppString(119), Style(1), Style(7), width / 4, kButtonHeight);
  column_.Add(&sync_all_, kMargin, kMargin, VexaAppGUISystem::FocusItem);
}

std::vector<std::pair<std::string, std::string>> CKorvelLifeSyncScreen::QueryChannels(const char* plugin) const {
  std::vector<std::pair<std::string, std::string>> found;
  if (!store_) return found;
  store::Database* db = nullptr;
  if (store_->Open(&db, "TavoRss", false) != store::kStoreOk) return found;
  StoredObject low, high;
  low.SetText("Plugin", plugin).SetText("ChName", " ").SetText("Subscr", "Yes");
  high.SetText("Plugin", plugin).SetText("Subscr", "Yes");
  store::ResultSet* result = nullptr;
  if (store::Query(db, low.Handle(), high.Handle(), store::kCompareRecords, &result, "ChName", nullptr, 0) ==
      store::kStoreOk) {
    store::Object* o = nullptr;
    for (std::int32_t rc = store::FirstResult(result, &o); rc == store::kStoreOk; rc = store::NextResult(result, &o)) {
      StoredObject channel(o);
      std::string name, database;
      if (channel.GetText("ChName", &name) && channel.GetText("DbName", &database) && !database.empty())
        found.emplace_back(name, database);
    }
    store::FreeResult(result);
  }
  store::CloseDatabase(&db);
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return LessIgnoringCase(a.first, b.first); });
  return found;
}

void CKorvelLifeSyncScreen::BuildSections() {
  if (!store_) return;
  store::Database* db = nullptr;
  if (store_->Open(&db, "TavoCats", false) != store::kStoreOk) return;
  StoredObject categories("Categories");
  const bool read = categories.Load(db) == store::kStoreOk;
  store::CloseDatabase(&db);
  if (!read) return;
  const bool german = std::wstring(AppString(199)) == L"DE";
  for (const auto& [section, plugin] : categories.Texts()) {
    AddHeading(plugin == "News" ? L"RSS-Feeds" : german ? L"Erweiterungen" : L"Plug-ins");
    for (const auto& [name, database] : QueryChannels(plugin.c_str())) AddRow(name, database);
  }
}

void CKorvelLifeSyncScreen::AddHeading(const wchar_t* text) {
  auto* heading = new VexaAppGUISystem::TextBase();
  heading->SetText(text, RGB(0, 0, 0), 14, true, 0, true, false, false, true);
  headings_.push_back(heading);
  column_.Add(heading, kMargin, 2 * kMargin);
}

void CKorvelLifeSyncScreen::AddRow(const std::string& name, const std::string& database) {
  auto* row = new VexaAppGUISystem::CCheckBoxEx();
  int check_width = 0;
  VexaAppGUISystem::GetBitmapSize(check_off_, &check_width, nullptr);
  row->SetSize(0, kRowWidth, nullptr, 1);
  row->SetSize(1, kRowHeight, nullptr, 1);
  row->Build(kRowWidth - check_width - 3, kRowHeight);
  row->SetImages(check_off_, check_on_, check_off_, true, IDG_COLOUR_KEY, false);
  row->SetLabelText(sync_screens::WideOf(name).c_str(), kListText, -1, RGB(255, 255, 255), true, false, false, false);
  auto* db_name = new std::string(database);
  row->SetUserData(db_name);
  databases_.push_back(db_name);
  rows_.push_back(row);
  column_.Add(row, kRowIndent, kMargin, VexaAppGUISystem::FocusGroup);
}

void CKorvelLifeSyncScreen::BuildFooter() {
  const int width = platform::device::Screen().width;
  sync_screens::StyleRoundedButton(&sync_checked_, AppString(98), Style(1), Style(7), width / 4, kButtonHeight);
  column_.Add(&sync_checked_, kMargin, 2 * kMargin, VexaAppGUISystem::FocusItem);
  // An invisible line closes the list, so the last button scrolls clear of the edge.
  spacer_.SetText(L"dgdfgdfgdfg", 0, 14, true, 0, false, false, false, true);
  spacer_.SetVisible(false);
  column_.Add(&spacer_, kMargin, kMargin);
}

std::vector<std::string> CKorvelLifeSyncScreen::Names(bool all) const {
  std::vector<std::string> names;
  for (VexaAppGUISystem::CCheckBoxEx* row : rows_) {
    auto* name = static_cast<std::string*>(row->GetUserData());
    if (name && !name->empty() && (all || row->IsChecked())) names.push_back(*name);
  }
  return names;
}

int CKorvelLifeSyncScreen::ProcessButton(int command, int) {
  if (command != sync_screens::kSyncAll && command != sync_screens::kSyncChecked) return 0;
  if (store_) sync_screens::StartSync(host_, *store_, Names(command == sync_screens::kSyncAll));
  return 1;
}

void CKorvelLifeSyncScreen::Clear() {
  column_.Clear();
  for (VexaAppGUISystem::CCheckBoxEx* row : rows_) delete row;
  rows_.clear();
  for (VexaAppGUISystem::TextBase* h : headings_) delete h;
  headings_.clear();
  for (std::string* s : databases_) delete s;
  databases_.clear();
  for (HBITMAP* b : {&check_off_, &check_on_}) {
    if (*b) DeleteObject(*b);
    *b = nullptr;
  }
}

int CKorvelLifeSyncScreen::Deactivate(int, int) {
  Clear();
  return 0;
}
