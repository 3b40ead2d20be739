// The news path end to end, Feedpane's side: a device volume that the real
// sync server and tidelark-sync filled (sync_e2e.sh makes it) is read
// channel by channel through Feedpane.dll. Every subscribed channel lists
// exactly its stored articles, newest first, and its articles show their
// stored title, author, date, text and link as the reader sees them; the
// reading-room feed's long articles read as written, pictures included.
//
// TIDELARK_E2E_VOLUME names the volume; without it the test fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "context.h"
#include "feedpane/display_text.h"
#include "feedpane_host.h"
#include "lang/ansi.h"
#include "platform/screenshot.h"
#include "platform/services.h"

namespace {

using feedpane::Context;
using feedpane::Element;
using feedpane_test::FeedpaneHost;

using feedpane_test::g_launched;
using feedpane_test::kRecording;

std::string Volume() {
  const char* v = std::getenv("TIDELARK_E2E_VOLUME");
  return v ? v : "";
}

std::string Clean(std::string text) {
  feedpane::CleanTitle(&text);
  return text;
}
std::string CleanBody(std::string text) {
  feedpane::CleanArticleText(&text);
  return text;
}

// The text properties of one stored object.
struct Stored {
  std::string name;
  std::vector<std::pair<std::string, std::string>> texts;
  std::string Text(const std::string& property) const {
    for (auto& t : texts)
      if (t.first == property) return t.second;
    return "";
  }
  bool Has(const std::string& property) const {
    for (auto& t : texts)
      if (t.first == property) return true;
    return false;
  }
};

// Every object of a database with its text properties, through the store.
std::vector<Stored> ReadAll(const std::string& volume, const std::string& database) {
  std::vector<Stored> out;
  store::Database* db = nullptr;
  if (store::OpenDatabase(&db, database.c_str(), 0, 0, store::kCreatorPyra, 0, store::kVersionMajor,
                          store::kVersionMinor, volume.c_str()) != store::kStoreOk)
    return out;
  store::ResultSet* all = nullptr;
  if (store::ListObjects(db, &all, 0) == store::kStoreOk) {
    store::Object* o = nullptr;
    for (store::StoreCode c = store::FirstResult(all, &o); c == store::kStoreOk; c = store::NextResult(all, &o)) {
      Stored s;
      char name[256];
      std::uint32_t size = sizeof name;
      if (store::GetObjectName(o, name, &size) == store::kStoreOk) s.name = name;
      std::uint32_t count = 0;
      store::GetPropertyCount(o, &count);
      for (std::uint32_t i = 0; i < count; ++i) {
        char prop[128];
        std::uint32_t psize = sizeof prop;
        std::uint16_t type = 0;
        if (store::GetPropertyName(o, i, prop, &psize, &type) != store::kStoreOk || type != store::kTypeText) continue;
        std::uint32_t vsize = 0;
        store::GetProperty(o, prop, store::kTypeText, nullptr, &vsize);
        std::string value(vsize, '\0');
        if (vsize && store::GetProperty(o, prop, store::kTypeText, &value[0], &vsize) == store::kStoreOk)
          s.texts.push_back({prop, value.c_str()});
      }
      store::FreeObject(o);
      out.push_back(std::move(s));
    }
    store::FreeResult(all);
  }
  store::CloseDatabase(&db);
  return out;
}

struct ChannelInfo {
  std::string db, name;
};

std::vector<ChannelInfo> SubscribedChannels(const std::string& volume) {
  std::vector<ChannelInfo> out;
  for (const Stored& s : ReadAll(volume, "TavoRss")) {
    if (s.Text("Subscr") == "Yes" && s.Text("Plugin") == "News" && !s.Text("DbName").empty())
      out.push_back({s.Text("DbName"), s.Text("ChName")});
  }
  return out;
}

// The stored articles as the list must show them: titled, newest first.
std::vector<Stored> Articles(const std::vector<Stored>& objects) {
  std::vector<Stored> out;
  for (const Stored& s : objects)
    if (s.Has("Title") && s.Has("Sort") && !s.Text("Title").empty() && !Clean(s.Text("Title")).empty())
      out.push_back(s);
  std::stable_sort(out.begin(), out.end(),
                   [](const Stored& a, const Stored& b) { return a.Text("Sort") > b.Text("Sort"); });
  return out;
}

const Element* Find(const Context& c, const std::string& property) {
  for (const auto& e : *c.article)
    if (e->second == property && e->is_text) return e.get();
  return nullptr;
}

class SyncedChannels : public ::testing::Test {
 protected:
  void SetUp() override {
    volume_ = Volume();
    ASSERT_FALSE(volume_.empty()) << "TIDELARK_E2E_VOLUME is not set: run this test through sync_e2e.sh";
    ASSERT_TRUE(platform::os::PathExists(volume_)) << volume_;
    ASSERT_TRUE(feedpane_test::SelectLanguage("TidelarkEN"));
    g_launched.clear();
  }

  FeedpaneHost& Open(const std::string& db, int width = 240, int height = 236) {
    host_ = std::make_unique<FeedpaneHost>(volume_);
    EXPECT_TRUE(host_->Start(width, height));
    host_->set_services(&kRecording);
    EXPECT_EQ(store::kStoreOk, host_->db.Open(db.c_str())) << db;
    return *host_;
  }
  Context* ContextOf() { return static_cast<Context*>(host_->services.context); }

  // Opens list item `index` by a tap, scrolling it into view first.
  void OpenItem(int index) {
    const Element& item = *ContextOf()->list.at(static_cast<std::size_t>(index));
    if (item.y < host_->scroll_y || item.Bottom() > host_->scroll_y + host_->ClientHeight())
      host_->ScrollBy(item.y - host_->scroll_y);
    ASSERT_EQ(1000, host_->Tap(item.x + 10, item.y + item.height / 2 - host_->scroll_y));
    ASSERT_EQ(feedpane::kModeArticle, ContextOf()->mode);
  }

  void Shoot(const std::string& name) {
    platform::os::MakeDirectories(TIDELARK_TEST_OUTPUT);
    EXPECT_TRUE(platform::SaveWindowPng(host_->view.window, std::string(TIDELARK_TEST_OUTPUT) + "/" + name, true));
  }

  std::string volume_;
  std::unique_ptr<FeedpaneHost> host_;
};

// Every subscribed channel: the list holds its stored articles newest first
// with their titles (cut to two lines at most); the first articles show the
// stored parts, cleaned, with the channel's name and the link.
TEST_F(SyncedChannels, EveryChannelShowsItsStoredArticles) {
  std::vector<ChannelInfo> channels = SubscribedChannels(volume_);
  ASSERT_GE(channels.size(), 20u) << "the demo channels and the sample feeds";
  int with_articles = 0, opened = 0;
  for (const ChannelInfo& channel : channels) {
    SCOPED_TRACE(channel.db + " \"" + channel.name + "\"");
    std::vector<Stored> stored = ReadAll(volume_, channel.db);
    std::vector<Stored> articles = Articles(stored);
    FeedpaneHost& h = Open(channel.db);
    const int loaded = h.Load(("News|" + channel.db + "|" + channel.name).c_str());
    if (articles.empty()) {
      EXPECT_EQ(200, loaded) << "a channel without articles";
      continue;
    }
    ASSERT_EQ(0, loaded);
    ++with_articles;
    Context* c = ContextOf();
    ASSERT_EQ(articles.size(), c->list.size());
    for (std::size_t i = 0; i < articles.size(); ++i) {
      const Element& item = *c->list[i];
      EXPECT_EQ(articles[i].name, item.second) << i;
      const std::string title = Clean(articles[i].Text("Title"));
      if (item.text != title) {
        // Cut: what is kept is the title's start, ending in dots.
        ASSERT_GE(item.text.size(), 3u);
        EXPECT_EQ(title.substr(0, item.text.size() - 3), item.text.substr(0, item.text.size() - 3)) << i;
        EXPECT_EQ("...", item.text.substr(item.text.size() - 3)) << i;
      }
      EXPECT_LE(item.height, 28) << i;
    }
    EXPECT_TRUE(c->CheckInvariants());
    const std::size_t to_open = std::min<std::size_t>(articles.size(), 5);
    for (std::size_t i = 0; i < to_open; ++i) {
      SCOPED_TRACE(articles[i].name);
      if (i == 0) {
        OpenItem(0);
      } else {
        ASSERT_EQ(1000, h.Button(5020));
      }
      ++opened;
      EXPECT_EQ(c->article->at(0)->text, Clean(articles[i].Text("Title")));
      EXPECT_EQ(Clean(channel.name), Clean(c->channel_name)) << "the channel's name under the title";
      EXPECT_EQ(Clean(channel.name), c->article->at(1)->text);
      for (const char* property : {"Author", "Date", "Text"}) {
        const Element* e = Find(*c, property);
        ASSERT_NE(nullptr, e) << property;
        const std::string raw = articles[i].Text(property);
        EXPECT_EQ(std::string(property) == "Text" ? CleanBody(raw) : Clean(raw), e->text) << property;
      }
      const std::string link = articles[i].Text("Link");
      bool found = false;
      for (const auto& e : *c->article) {
        if (e->IsLink()) {
          found = true;
          EXPECT_EQ(link, e->second);
        }
      }
      EXPECT_EQ(!link.empty(), found);
      EXPECT_TRUE(c->CheckInvariants());
    }
    EXPECT_EQ(0, h.Unload());
    bool kept = false;
    for (const Stored& s : ReadAll(volume_, channel.db)) kept = kept || s.name == "ChannelName";
    EXPECT_TRUE(kept) << "the channel's name stays for the next visit";
  }
  EXPECT_GE(with_articles, 18);
  EXPECT_GE(opened, 60);
}

// The reading-room feed, written for this test: the long article reads as
// its author wrote it, entities and paragraphs included; its picture (sent
// in parts) shows under the title; the link opens in the browser.
TEST_F(SyncedChannels, LongArticleWithEntitiesPicturesAndLink) {
  std::string db;
  for (const ChannelInfo& c : SubscribedChannels(volume_))
    if (c.name == "Reading Room") db = c.db;
  ASSERT_FALSE(db.empty()) << "the reading-room channel";
  FeedpaneHost& h = Open(db);
  ASSERT_EQ(0, h.Load(("News|" + db + "|Reading Room").c_str()));
  Context* c = ContextOf();
  ASSERT_EQ(3u, c->list.size());
  EXPECT_EQ(lang::WideToAnsi(u"The harbour cat\u2019s long summer \u2014 a \u201Cday in the life\u201D"), c->list[0]->text);
  EXPECT_EQ("Ferry timetable: winter service from Monday", c->list[1]->text);
  EXPECT_EQ("Lighthouse open day: pictures from the gallery", c->list[2]->text);
  h.Refresh();
  Shoot("reading-room-list.png");

  OpenItem(0);
  const feedpane::ElementList& parts = *c->article;
  EXPECT_EQ(lang::WideToAnsi(u"The harbour cat\u2019s long summer \u2014 a \u201Cday in the life\u201D"), parts[0]->text);
  EXPECT_EQ("Reading Room", parts[1]->text) << "the channel's name under the title";
  ASSERT_FALSE(parts[2]->is_text) << "the picture right after";
  ASSERT_NE(nullptr, parts[2]->bitmap) << "the JPEG, joined from its parts";
  EXPECT_EQ(parts[0]->width, parts[2]->width) << "scaled to the column";
  EXPECT_EQ(parts[0]->width * 240 / 320, parts[2]->height);
  const Element* author = Find(*c, "Author");
  ASSERT_NE(nullptr, author);
  EXPECT_EQ(lang::WideToAnsi(u"Jos\u00E9 Marin"), author->text);
  const Element* text = Find(*c, "Text");
  ASSERT_NE(nullptr, text);
  const std::string body = text->text;
  for (const char16_t* expected :
       {u"Every morning at six the cat walks the length of the north pier,",
        u"\u201CShe was here before any of us,\u201D says the owner. \u201CWe just pretend she\u2019s ours.\u201D",
        u"a sardine costs 2\u00A0\u20AC at the market \u2014 the cat does not pay.", u"Afternoons",
        u"50\u00B0 in the shade \u2026 or so it feels.", u"Nobody moves her.",
        u"the ferry office & watches the last boat come in.", u"six o\u2019clock, north pier, caf\u00E9 door",
        u"opens it.\r\n\r\n\u201CShe", u"Nobody moves her.\r\n\r\nIn the evening",
        u"next week\u2019s edition \u00BB"}) {
    const std::string want = lang::WideToAnsi(expected);
    EXPECT_NE(std::string::npos, body.find(want)) << want;
  }
  EXPECT_EQ(std::string::npos, body.find('<')) << "no markup left";
  for (std::size_t at = body.find('&'); at != std::string::npos; at = body.find('&', at + 1))
    EXPECT_EQ(' ', body[at + 1]) << "no reference left: " << body.substr(at, 12);
  EXPECT_EQ(std::string::npos, body.find("\r\n\r\n\r\n")) << "one empty line between paragraphs";
  EXPECT_GE(text->height, 13 * 20) << "a long article";
  h.Refresh();
  Shoot("reading-room-article.png");
  h.ScrollBy(text->y - 8);
  Shoot("reading-room-article-text.png");

  const Element* link = nullptr;
  for (const auto& e : parts)
    if (e->IsLink()) link = e.get();
  ASSERT_NE(nullptr, link);
  EXPECT_EQ(L"Read the full article", link->wide);
  h.ScrollBy(link->y - h.scroll_y - 20);
  EXPECT_EQ(1000, h.Tap(link->x + 5, link->y + 3 - h.scroll_y));
  ASSERT_EQ(1u, g_launched.size());
  EXPECT_EQ(u"iexplore.exe http://reading.tidelark.example/2026/12/harbour-cat?from=feed&page=1", g_launched[0]);

  // The ferry article: a GIF stored whole, escaped markup in the text.
  ASSERT_EQ(1000, h.Button(5020));
  ASSERT_FALSE(c->article->at(2)->is_text);
  ASSERT_NE(nullptr, c->article->at(2)->bitmap);
  EXPECT_EQ(36, c->article->at(2)->width);
  const Element* ferry = Find(*c, "Text");
  ASSERT_NE(nullptr, ferry);
  EXPECT_NE(std::string::npos, ferry->text.find("Boats leave at 7:00, 9:30 & 16:45.")) << ferry->text;
  EXPECT_NE(std::string::npos, ferry->text.find("The 12:15 boat runs on Saturdays only.")) << ferry->text;

  // The lighthouse: an animated GIF of 85 KB, in parts; its first frame.
  ASSERT_EQ(1000, h.Button(5020));
  ASSERT_FALSE(c->article->at(2)->is_text);
  ASSERT_NE(nullptr, c->article->at(2)->bitmap);
  EXPECT_EQ(c->article->at(0)->width, c->article->at(2)->width);
  h.Refresh();
  Shoot("reading-room-lighthouse.png");
  ASSERT_EQ(1000, h.Button(5020));
  EXPECT_EQ(feedpane::kModeList, c->mode) << "past the last article, back to the list";
}

}  // namespace
