#include "article.h"

#include <algorithm>

#include "article_list.h"
#include "feedpane/display_text.h"
#include "lang/ansi.h"
#include "layout.h"
#include "paint.h"
#include "picture.h"
#include "platform/services.h"
#include "store_read.h"

namespace feedpane {

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kByLineColour = RGB(100, 100, 100);
constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr COLORREF kLinkPressedColour = RGB(247, 146, 0);
constexpr int kBodyFontHeight = 13;

// The body reads as paragraphs; every other part is one line of text that
// may wrap.
void SetText(Element* e, std::string text, bool body) {
  if (body) {
    CleanArticleText(&text);
  } else {
    CleanTitle(&text);
  }
  e->text = text;
  std::u16string wide = lang::AnsiToWide(e->text);
  e->wide.assign(wide.begin(), wide.end());
}

// The element for one stored property; an empty one for what is not shown.
std::unique_ptr<Element> MakePart(KorvelPluginServices* services, store::Object* article, std::uint32_t index) {
  auto e = std::make_unique<Element>();
  e->font_height = kBodyFontHeight;
  e->colour = kBlack;
  std::string name;
  std::uint16_t type = 0;
  if (ReadPropertyName(services->db, article, index, &name, &type) != store::kStoreOk) return e;
  e->second = name;
  std::string value;
  if (type != store::kTypeText || name == "Sort" || name == "Format" ||
      ReadText(services->db, article, name.c_str(), &value) != store::kStoreOk)
    return e;
  if (name == "Link") {
    // A link without an address would lead nowhere: nothing is shown.
    if (value.empty()) return e;
    e->second = value;
    std::wstring label = LocalText(services, kLinkTextId);
    if (label.empty()) {
      std::u16string url = lang::AnsiToWide(value);
      label.assign(url.begin(), url.end());
    }
    e->wide = label;
    e->text = lang::WideToAnsi(std::u16string(label.begin(), label.end()));
    e->colour = kLinkColour;
    e->bold = true;
    e->pressed_colour = kLinkPressedColour;
    e->focusable = true;
    return e;
  }
  SetText(e.get(), value, name != "Title" && name != "Author" && name != "Date");
  if (name == "Title") {
    e->font_height = kTitleFontHeight;
    e->bold = true;
  } else if (name == "Author" || name == "Date") {
    e->colour = kByLineColour;
  }
  return e;
}

std::unique_ptr<Element> MakeChannelName(const std::string& channel) {
  auto e = std::make_unique<Element>();
  SetText(e.get(), channel, false);
  e->second = "Channel";
  e->font_height = kTitleFontHeight;
  e->bold = true;
  e->colour = kBlack;
  return e;
}

std::unique_ptr<Element> MakePicture(HBITMAP bitmap) {
  auto e = std::make_unique<Element>();
  e->is_text = false;
  e->bitmap = bitmap;
  BITMAP info = {};
  if (bitmap && GetObjectW(bitmap, sizeof info, &info)) {
    e->width = info.bmWidth;
    e->height = info.bmHeight;
  }
  return e;
}

// Places the parts one below the other; empty ones take no space.
void PlaceParts(ElementList* parts, const Column& column, Fonts* fonts) {
  int y = kElementGap;
  for (auto& e : *parts) {
    if (e->is_text) {
      e->x = column.x;
      e->width = column.width;
      e->height = MeasureTextHeight(fonts, *e, column.width);
    } else {
      e->x = column.x + std::max(0, (column.width - e->width) / 2);
    }
    e->y = y;
    if (e->height > 0) y = e->Bottom() + kElementGap;
  }
}

// The parts of a stored article in stored order, the channel's name and
// the pictures right after the title.
std::unique_ptr<ElementList> BuildParts(KorvelPluginServices* services, Context* c, store::Object* article,
                                        const std::string& name, const Column& column) {
  auto parts = std::make_unique<ElementList>();
  std::uint32_t count = 0;
  services->db->GetPropertyCount(article, &count);
  std::vector<HBITMAP> pictures = LoadPictures(services->db, FeedKeyOf(name), column.width);
  for (std::uint32_t i = 0; i < count; ++i) {
    parts->push_back(MakePart(services, article, i));
    if (parts->back()->second != "Title") continue;
    if (c->has_channel_name) parts->push_back(MakeChannelName(c->channel_name));
    for (HBITMAP bitmap : pictures) parts->push_back(MakePicture(bitmap));
    pictures.clear();
  }
  for (HBITMAP bitmap : pictures) DeleteObject(bitmap);  // an article without a title shows none
  PlaceParts(parts.get(), column, &c->fonts);
  return parts;
}

void ReadChannelName(KorvelPluginDBInterface* db, Context* c) {
  if (c->has_channel_name) return;
  StoredObject channel(db);
  if (channel.Read("ChannelName") == store::kStoreOk &&
      ReadText(db, channel.get(), "Channel", &c->channel_name) == store::kStoreOk)
    c->has_channel_name = true;
}

void WriteRead(KorvelPluginDBInterface* db, const std::string& name) {
  StoredObject mark(db);
  if (db->CreateObject(mark.out(), name.c_str()) != store::kStoreOk) return;
  const std::int32_t one = 1;
  if (db->SetProperty(mark.get(), "READ", store::kTypeInteger, &one, sizeof one, 1, 1, 1, 0) != store::kStoreOk)
    return;
  db->WriteObject(mark.get(), 0, 1, 1, 1);
}

void ResetPointer(Context* c) {
  c->pen_index = -1;
  c->pressed_index = -1;
}

}  // namespace

void OpenArticle(KorvelPluginServices* services, Context* c, int index) {
  Element* item = index >= 0 && index < static_cast<int>(c->list.size()) ? c->list[index].get() : nullptr;
  if (!item) return;
  KorvelPluginDBInterface* db = services->db;
  StoredObject article(db);
  store::StoreCode code = article.Read(item->second.c_str());
  ReadChannelName(db, c);
  if (c->mode == kModeList) {
    c->saved_x = c->scroll_x;
    c->saved_y = c->scroll_y;
    c->saved_focus = c->focused_index;
  }
  c->scroll_x = c->scroll_y = 0;
  c->last_scroll_y = -1;
  ResetPointer(c);
  c->focused_index = -1;
  const Column column = ContentColumn(services->view->GetContentWindow());
  c->article.reset();
  if (code == store::kStoreOk) {
    c->article = BuildParts(services, c, article.get(), item->second, column);
    WriteRead(db, item->second);
    MarkItemRead(item);
  } else {
    c->article = std::make_unique<ElementList>();
  }
  c->opened_index = index;
  c->mode = kModeArticle;
  c->current = c->article.get();
  services->view->ScrollTo(0, 0);
  RequestContentSize(services, *c->current);
  PaintContent(services, c);
}

void ShowList(KorvelPluginServices* services, Context* c) {
  c->article.reset();
  c->mode = kModeList;
  c->current = &c->list;
  ResetPointer(c);
  c->focused_index = c->saved_focus;
  c->scroll_x = c->saved_x;
  c->scroll_y = c->saved_y;
  c->last_scroll_y = -1;
  RequestContentSize(services, c->list);
  services->view->ScrollTo(c->saved_x, c->saved_y);
  PaintContent(services, c);
}

void ShowNextArticle(KorvelPluginServices* services, Context* c) {
  const int next = c->opened_index + 1;
  if (next >= static_cast<int>(c->list.size())) {
    ShowList(services, c);
    return;
  }
  OpenArticle(services, c, next);
  // Back in the list, the article read last is focused and at the top.
  c->saved_y = std::max(0, c->list[static_cast<std::size_t>(next)]->y - 2);
  c->saved_focus = next;
}

bool OpenArticleLink(const Context& c) {
  if (c.mode != kModeArticle || !c.article) return false;
  for (const auto& e : *c.article) {
    if (e->IsLink()) return OpenLink(e->second);
  }
  return false;
}

bool OpenLink(const std::string& url) {
  if (url.empty()) return false;
  return platform::GetServices().shell_execute(u"iexplore.exe", lang::AnsiToWide(url));
}

}  // namespace feedpane
