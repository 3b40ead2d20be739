#include "placeholder_screens.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "app/commands.h"
#include "app/object_store.h"
#include "lang/ansi.h"

int CKorvelPendingScreen::Activate(const char*) {
  if (title_ > 0) SetTitle(AppString(title_));
  return 0;
}

int CKorvelLifeDataSources::Activate(const char*) {
  SetTitle(AppString(type_ == "Weather" ? 198 : 92));
  return 0;
}

namespace {

std::string TextOf(store::Object* object, const char* property) {
  std::uint32_t size = 0;
  if (store::GetProperty(object, property, store::kTypeText, nullptr, &size) != store::kStoreBufferTooSmall) return "";
  std::string value(size, '\0');
  if (store::GetProperty(object, property, store::kTypeText, &value[0], &size) != store::kStoreOk) return "";
  return value.c_str();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::vector<CKorvelLifeDataSources::Row> CKorvelLifeDataSources::Rows() const {
  std::vector<Row> rows;
  store::Database* db = nullptr;
  if (!GetStore() || GetStore()->Open(&db, "TavoRss", false) != store::kStoreOk) return rows;
  store::ResultSet* all = nullptr;
  if (store::ListObjects(db, &all, 0) == store::kStoreOk) {
    store::Object* o = nullptr;
    for (store::StoreCode c = store::FirstResult(all, &o); c == store::kStoreOk; c = store::NextResult(all, &o)) {
      Row row{TextOf(o, "Plugin"), TextOf(o, "DbName"), TextOf(o, "ChName")};
      if (row.plugin == type_ && !row.database.empty() && TextOf(o, "Subscr") == "Yes") rows.push_back(row);
      store::FreeObject(o);
    }
    store::FreeResult(all);
  }
  store::CloseDatabase(&db);
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return Lower(a.name) < Lower(b.name); });
  return rows;
}

int CKorvelLifeDataSources::ProcessButton(int command, int) {
  if (command < commands::kFirstChannelRow) return 0;
  const std::vector<Row> rows = Rows();
  const std::size_t row = static_cast<std::size_t>(command - commands::kFirstChannelRow);
  if (row >= rows.size()) return 0;
  const std::u16string title = lang::AnsiToWide(rows[row].name);
  SetTitle(std::wstring(title.begin(), title.end()).c_str());
  QueueSwitch(rows[row].plugin.c_str(), rows[row].database.c_str());
  return 1;
}
