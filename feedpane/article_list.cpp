#include "article_list.h"

#include <memory>

#include "feedpane/display_text.h"
#include "lang/ansi.h"
#include "layout.h"
#include "paint.h"
#include "store_read.h"

namespace feedpane {

namespace {

// Low bound: a "Title" and a "Sort" of at least " "; high bound: a "Sort"
// up to the byte 0xFF. Ordered by "Sort", oldest first.
store::StoreCode QueryArticles(KorvelPluginDBInterface* db, StoredResult* result) {
  StoredObject low(db), high(db);
  store::StoreCode code = db->CreateObject(low.out(), nullptr);
  if (code == store::kStoreOk) code = db->CreateObject(high.out(), nullptr);
  static const char kSpace[] = " ";
  static const char kTop[] = "\xFF";
  if (code == store::kStoreOk) code = db->SetProperty(low.get(), "Title", store::kTypeText, kSpace, 2, 1, 1, 1, 0);
  if (code == store::kStoreOk) code = db->SetProperty(low.get(), "Sort", store::kTypeText, kSpace, 2, 1, 1, 1, 0);
  if (code == store::kStoreOk) code = db->SetProperty(high.get(), "Sort", store::kTypeText, kTop, 2, 1, 1, 1, 0);
  if (code == store::kStoreOk)
    code = db->Query(low.get(), high.get(), store::kCompareRecords, result->out(), "Sort", nullptr, 0);
  return code;
}

// The list item for one article object, or null when it has no title.
std::unique_ptr<Element> MakeItem(KorvelPluginDBInterface* db, store::Object* object, const Column& column,
                                  Fonts* fonts) {
  std::string title;
  if (ReadText(db, object, "Title", &title) != store::kStoreOk || title.empty()) return nullptr;
  auto item = std::make_unique<Element>();
  if (ReadObjectName(db, object, &item->second) != store::kStoreOk) return nullptr;
  CleanTitle(&title);
  item->text = title;
  if (item->text.empty()) return nullptr;
  std::u16string wide = lang::AnsiToWide(item->text);
  item->wide.assign(wide.begin(), wide.end());
  item->font_height = kTitleFontHeight;
  item->colour = kUnreadColour;
  item->pressed_colour = kListPressedColour;
  item->focusable = true;
  std::int32_t read = 0;
  if (ReadInteger(db, object, "READ", &read) == store::kStoreOk && read != 0) MarkItemRead(item.get());
  item->x = column.x;
  item->width = column.width;
  item->height = MeasureTextHeight(fonts, *item, column.width);
  FitTitleToTwoLines(fonts, item.get(), column.width);
  return item;
}

}  // namespace

void MarkItemRead(Element* item) {
  item->read = true;
  item->colour = kReadColour;
  item->bold = false;
  item->underline = false;
  item->pressed_colour = kListPressedColour;
}

LoadResult BuildArticleList(KorvelPluginServices* services) {
  FreeContext(services);
  KorvelPluginDBInterface* db = services->db;
  StoredResult result(db);
  if (QueryArticles(db, &result) != store::kStoreOk) return kLoadQueryFailed;
  const std::uint32_t count = db->GetResultCount(result.get());
  if (count == 0) return kLoadNoArticles;

  auto context = std::make_unique<Context>();
  context->list.reserve(count);
  const Column column = ContentColumn(services->view->GetContentWindow());
  int y = kElementGap;
  // Newest first: the result runs oldest to newest, so walk it backwards. A
  // cursor that cannot move ends the walk; an object that cannot be loaded
  // is skipped.
  StoredObject object(db);
  store::StoreCode code = db->LastResult(result.get(), object.out());
  for (std::uint32_t step = 0; step < count && code != store::kStoreNoMoreResults; ++step) {
    if (code == store::kStoreOk) {
      if (auto item = MakeItem(db, object.get(), column, &context->fonts)) {
        item->y = y;
        y = item->Bottom() + kElementGap;
        context->list.push_back(std::move(item));
      }
    }
    code = db->PreviousResult(result.get(), object.out());
  }
  services->context = context.release();
  RequestContentSize(services, ContextOf(services)->list);
  return kLoadOk;
}

}  // namespace feedpane
