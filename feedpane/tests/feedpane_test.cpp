// Feedpane.dll driven through its exports, on channel databases written
// through the store: the article list, the article view, pictures, paging,
// pen and keys, links, and screenshots of both views on three screens.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../platform/imgdecmp/tests/sample_pictures.h"
#include "context.h"
#include "feedpane_host.h"
#include "platform/device.h"
#include "platform/screenshot.h"
#include "platform/services.h"

namespace {

using feedpane::Context;
using feedpane::Element;
using feedpane_test::Article;
using feedpane_test::ChannelWriter;
using feedpane_test::FeedpaneHost;

using feedpane_test::g_launched;
using feedpane_test::kRecording;

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

void SelectLanguage(const std::string& name) { ASSERT_TRUE(feedpane_test::SelectLanguage(name)); }

// The article's link part; null when it has none.
const Element* LinkOf(const Context& c) {
  for (const auto& e : *c.article)
    if (e->IsLink()) return e.get();
  return nullptr;
}

std::string Title(int i) { return "Story number " + std::to_string(i); }
std::string SortOf(int i) {
  char buf[32];
  snprintf(buf, sizeof buf, "2008-06-%02d %05d", 1 + i % 28, i);
  return buf;
}

class FeedpaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, platform::os::MakeTempDirectory("feedpane", &dir_));
    volume_ = platform::os::JoinPath(dir_, "Reader.vol");
    // The pack the program selected at its start, beside the test program.
    SelectLanguage("TidelarkEN");
    g_launched.clear();
  }
  void TearDown() override {
    host_.reset();
    platform::os::RemoveTree(dir_);
  }

  ChannelWriter Channel(const char* name = "Channel") { return ChannelWriter(volume_, name); }

  // Starts the host on channel `name` in a content window of that size.
  FeedpaneHost& Host(const char* name = "Channel", int width = 240, int height = 236) {
    host_ = std::make_unique<FeedpaneHost>(volume_);
    EXPECT_TRUE(host_->Start(width, height)) << "Feedpane.dll and its exports";
    host_->set_services(&kRecording);
    EXPECT_EQ(store::kStoreOk, host_->db.Open(name));
    return *host_;
  }

  Context* ContextOf() { return static_cast<Context*>(host_->services.context); }
  const Element& Item(int i) { return *ContextOf()->list.at(static_cast<std::size_t>(i)); }
  const Element& Part(int i) { return *ContextOf()->article->at(static_cast<std::size_t>(i)); }

  // Pixels of exactly this colour inside an element's rectangle on screen.
  int CountColour(const Element& e, COLORREF colour) {
    platform::Pixels px;
    EXPECT_TRUE(platform::CaptureWindow(host_->view.window, true, &px));
    int n = 0;
    for (int y = e.y - host_->scroll_y; y < e.y + e.height - host_->scroll_y; ++y)
      for (int x = e.x; x < e.x + e.width; ++x)
        if (x >= 0 && y >= 0 && x < px.width && y < px.height && px.At(x, y) == platform::PixelOf(colour)) ++n;
    return n;
  }

  // A point inside list item i, in window coordinates.
  POINT Inside(const Element& e) {
    return POINT{e.x + 10, e.y + e.height / 2 - host_->scroll_y};
  }

  void WriteArticles(ChannelWriter* channel, int count) {
    for (int i = 0; i < count; ++i) {
      Article a;
      a.key = "k" + std::to_string(i);
      a.title = Title(i);
      a.sort = SortOf(i);
      ASSERT_TRUE(channel->Add(a));
    }
  }

  // A channel of `count` numbered articles, its list loaded.
  FeedpaneHost& LoadedChannel(int count) {
    {
      ChannelWriter c = Channel();
      WriteArticles(&c, count);
    }
    FeedpaneHost& h = Host();
    EXPECT_EQ(0, h.Load());
    return h;
  }

  std::string dir_, volume_;
  std::unique_ptr<FeedpaneHost> host_;
};

TEST_F(FeedpaneTest, VersionsAndName) {
  ASSERT_TRUE(Channel().ok());
  FeedpaneHost& h = Host();
  auto version = h.Resolve<GetPluginVersionProc>("GetPluginVersion");
  auto api = h.Resolve<GetAPIVersionProc>("GetAPIVersion");
  auto name = h.Resolve<GetPluginNameProc>("GetPluginName");
  ASSERT_TRUE(version && api && name);
  std::int32_t major = -1, minor = -1;
  EXPECT_EQ(0, version(&major, &minor));
  EXPECT_EQ(0, major);
  EXPECT_EQ(1, minor);
  EXPECT_EQ(0, version(nullptr, nullptr));
  EXPECT_EQ(0, api(&major, &minor));
  EXPECT_EQ(1, major);
  EXPECT_EQ(0, minor);

  std::int32_t size = 0;
  EXPECT_EQ(1, name(nullptr, nullptr)) << "no size";
  EXPECT_EQ(0, name(nullptr, &size));
  EXPECT_EQ(5, size);
  char small[4] = {'x', 'x', 'x', 'x'};
  size = 4;
  EXPECT_EQ(2, name(small, &size));
  EXPECT_EQ(5, size);
  EXPECT_EQ('x', small[0]) << "a buffer too small stays untouched";
  char buffer[16] = {};
  size = sizeof buffer;
  EXPECT_EQ(0, name(buffer, &size));
  EXPECT_STREQ("News", buffer);
  EXPECT_EQ(5, size);
}

TEST_F(FeedpaneTest, EmptyChannelAndMissingDatabase) {
  {
    ChannelWriter c = Channel("Empty");
    ASSERT_TRUE(c.ok());
    ASSERT_TRUE(c.SetChannelName("Nothing here"));  // an object, but no article
  }
  FeedpaneHost& h = Host("Empty");
  EXPECT_EQ(200, h.Load());
  EXPECT_EQ(nullptr, h.services.context);
  EXPECT_EQ(1, h.Refresh()) << "no context";
  EXPECT_EQ(1, h.scroll(&h.services, 0, 10, 0));
  EXPECT_EQ(0, h.Button(5020));
  EXPECT_EQ(std::vector<std::wstring>{L"-"}, h.view.menu_calls) << "the whole options menu goes";

  // A database the host could not open: the store refuses the query.
  h.db.Close();
  EXPECT_EQ(1, h.Load());
  EXPECT_EQ(nullptr, h.services.context);
}

// Newest first by "Sort"; titles cleaned of markup and entities; items
// stacked 4 pixels apart in one column; the content size covers them.
TEST_F(FeedpaneTest, ListIsNewestFirstWithCleanTitles) {
  {
    ChannelWriter c = Channel();
    struct {
      const char* key;
      const char* title;
      const char* sort;
    } rows[] = {{"a", "Middle &amp; <b>bold</b>", "2008-06-02"},
                {"b", "Newest &#8217;quoted&#8217;", "2008-06-03"},
                {"c", "Oldest&hellip;", "2008-06-01"},
                {"d", "", "2008-06-04"}};  // no title: not listed
    for (auto& r : rows) {
      Article a;
      a.key = r.key;
      a.title = r.title;
      a.sort = r.sort;
      ASSERT_TRUE(c.Add(a));
    }
    ASSERT_TRUE(c.AddObject("Pic a", {{"Feed", "a"}}, {{"Image", "GIF89a"}}));  // no title, no sort
  }
  FeedpaneHost& h = Host();
  ASSERT_EQ(0, h.Load());
  Context* c = ContextOf();
  ASSERT_NE(nullptr, c);
  ASSERT_EQ(3u, c->list.size());
  EXPECT_EQ("Newest \x92quoted\x92", Item(0).text);
  EXPECT_EQ(L"Newest \u2019quoted\u2019", Item(0).wide);
  EXPECT_EQ("Middle & bold", Item(1).text);
  EXPECT_EQ("Oldest\x85", Item(2).text);
  EXPECT_EQ("Item b", Item(0).second);
  int bottom = 0;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(bottom + 4, Item(i).y);
    EXPECT_EQ(7, Item(i).x);
    EXPECT_EQ(240 - GetSystemMetrics(SM_CXVSCROLL) - 10, Item(i).width);
    EXPECT_GE(Item(i).height, 12);
    EXPECT_LE(Item(i).height, 28);
    EXPECT_TRUE(Item(i).focusable);
    EXPECT_EQ(RGB(15, 15, 15), Item(i).colour);
    bottom = Item(i).Bottom();
  }
  EXPECT_EQ(Item(0).x + Item(0).width, h.content_width);
  EXPECT_EQ(Item(2).Bottom() + 20, h.content_height);
  EXPECT_TRUE(c->CheckInvariants());

  // Unread titles in near-black on alternating rows: grey, white, grey.
  h.Refresh();
  EXPECT_GT(CountColour(Item(0), RGB(15, 15, 15)), 10);
  EXPECT_GT(CountColour(Item(0), RGB(237, 237, 237)), 100);
  EXPECT_EQ(0, CountColour(Item(1), RGB(237, 237, 237)));
}

// A title on three lines is cut, ending in "...", until it fits in two;
// shorter ones keep every character.
TEST_F(FeedpaneTest, LongTitlesFitInTwoLines) {
  const std::string long_title =
      "A very long headline that goes on and on about the things that happened in the city council "
      "yesterday evening and will surely wrap onto three or four lines";
  const std::string two_lines = "A headline that needs two lines on the screen";
  {
    ChannelWriter c = Channel();
    Article a;
    a.key = "long";
    a.title = long_title;
    a.sort = "2";
    ASSERT_TRUE(c.Add(a));
    a.key = "two";
    a.title = two_lines;
    a.sort = "1";
    ASSERT_TRUE(c.Add(a));
  }
  FeedpaneHost& h = Host();
  ASSERT_EQ(0, h.Load());
  const Element& cut = Item(0);
  EXPECT_LE(cut.height, 28);
  EXPECT_GT(cut.height, 14) << "still two lines";
  ASSERT_GE(cut.text.size(), 3u);
  EXPECT_EQ("...", cut.text.substr(cut.text.size() - 3));
  EXPECT_LT(cut.text.size(), long_title.size());
  EXPECT_EQ(long_title.substr(0, cut.text.size() - 3), cut.text.substr(0, cut.text.size() - 3));
  EXPECT_EQ(cut.text, Narrow(cut.wide));
  EXPECT_EQ(two_lines, Item(1).text);
  EXPECT_EQ(28, Item(1).height);
}

// Opening an article marks it read: grey in the list at once, "READ" = 1
// in the store, and still grey after the next activation.
TEST_F(FeedpaneTest, OpeningMarksReadAtOnceAndAfterReload) {
  FeedpaneHost& h = LoadedChannel(3);
  ASSERT_NE(nullptr, ContextOf());
  h.Refresh();
  POINT p = Inside(Item(1));
  EXPECT_EQ(1000, h.Tap(p.x, p.y));
  Context* c = ContextOf();
  EXPECT_EQ(feedpane::kModeArticle, c->mode);
  EXPECT_EQ(1, c->opened_index);
  EXPECT_EQ(RGB(140, 140, 140), Item(1).colour);
  EXPECT_TRUE(Item(1).read);
  EXPECT_EQ(RGB(15, 15, 15), Item(0).colour);
  {
    ChannelWriter check = Channel();
    EXPECT_EQ(1, check.ReadInteger("Item k1", "READ"));  // the newest first: k2, k1, k0
    EXPECT_EQ(0, check.ReadInteger("Item k0", "READ"));
  }
  EXPECT_EQ(1000, h.Button(5019));
  EXPECT_EQ(feedpane::kModeList, ContextOf()->mode);
  EXPECT_GT(CountColour(Item(1), RGB(140, 140, 140)), 10);
  EXPECT_EQ(0, CountColour(Item(1), RGB(15, 15, 15)));

  EXPECT_EQ(0, h.Unload());
  EXPECT_EQ(nullptr, h.services.context);
  ASSERT_EQ(0, h.Load());
  EXPECT_TRUE(Item(1).read);
  EXPECT_EQ(RGB(140, 140, 140), Item(1).colour);
  EXPECT_FALSE(Item(0).read);
}

// The parts of an article in stored order with the channel's name right
// after the title; empty parts take no room.
TEST_F(FeedpaneTest, ArticleShowsItsPartsInOrder) {
  {
    ChannelWriter c = Channel();
    ASSERT_TRUE(c.SetChannelName("The Daily &amp; Co"));
    Article a;
    a.key = "1";
    a.title = "Council votes";
    a.sort = "1";
    a.text = "First paragraph.<p>Second paragraph &mdash; with a dash.</p><br>";
    a.link = "http://news.example.com/council?id=1&x=2";
    ASSERT_TRUE(c.Add(a));
  }
  FeedpaneHost& h = Host();
  ASSERT_EQ(0, h.Load());
  EXPECT_EQ(0, h.Activate()) << "nothing focused: nothing opens";
  ASSERT_EQ(1, h.Focus(+1));
  EXPECT_EQ(1000, h.Activate());
  Context* c = ContextOf();
  ASSERT_EQ(feedpane::kModeArticle, c->mode);
  ASSERT_EQ(8u, c->article->size());  // Title, channel, Author, Date, Link, Text, Sort, READ
  EXPECT_EQ("Council votes", Part(0).text);
  EXPECT_TRUE(Part(0).bold);
  EXPECT_EQ(14, Part(0).font_height);
  EXPECT_EQ("The Daily &amp; Co", c->channel_name);
  EXPECT_EQ("The Daily & Co", Part(1).text);
  EXPECT_TRUE(Part(1).bold);
  EXPECT_EQ("A. Writer", Part(2).text);
  EXPECT_EQ(RGB(100, 100, 100), Part(2).colour);
  EXPECT_EQ(13, Part(2).font_height);
  EXPECT_EQ(RGB(100, 100, 100), Part(3).colour);
  EXPECT_EQ(L"Read the full article", Part(4).wide);
  EXPECT_EQ("http://news.example.com/council?id=1&x=2", Part(4).second);
  EXPECT_TRUE(Part(4).IsLink());
  EXPECT_EQ(RGB(0, 0, 255), Part(4).colour);
  EXPECT_EQ(RGB(247, 146, 0), Part(4).pressed_colour);
  EXPECT_EQ("First paragraph.\r\n\r\nSecond paragraph - with a dash.", Part(5).text);
  EXPECT_EQ(0, Part(6).height) << "Sort is not shown";
  EXPECT_EQ(0, Part(7).height) << "READ is not shown";
  EXPECT_GE(Part(5).height, 3 * 13) << "three lines of body text";
  EXPECT_EQ(4, Part(0).y);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(Part(i - 1).Bottom() + 4, Part(i).y) << i;
  EXPECT_EQ(Part(5).Bottom() + 20, h.content_height);
  EXPECT_TRUE(c->CheckInvariants());
  h.Refresh();
  EXPECT_GT(CountColour(Part(4), RGB(0, 0, 255)), 10) << "the link in blue";
}

// Forward pages through the list; past the last article it returns to the
// list, with the article read last at the top and focused; back returns
// to where the list was left.
TEST_F(FeedpaneTest, PagingForwardAndBack) {
  FeedpaneHost& h = LoadedChannel(30);
  ASSERT_NE(nullptr, ContextOf());
  h.ScrollBy(200);
  const int list_y = h.scroll_y;
  ASSERT_GT(list_y, 0);
  POINT p = Inside(Item(14));
  ASSERT_GE(p.y, 0);
  ASSERT_EQ(1000, h.Tap(p.x, p.y));
  EXPECT_EQ(0, h.scroll_y) << "an article starts at its top";
  EXPECT_EQ(1000, h.Button(5019));
  EXPECT_EQ(list_y, h.scroll_y);
  EXPECT_EQ(-1, ContextOf()->focused_index);

  p = Inside(Item(27));
  h.ScrollBy(10000);
  p = Inside(Item(28));
  ASSERT_EQ(1000, h.Tap(p.x, p.y));
  EXPECT_EQ(1000, h.Button(5020));
  EXPECT_EQ(29, ContextOf()->opened_index);
  EXPECT_EQ("Story number 0", Part(0).text);
  EXPECT_TRUE(Item(29).read);
  EXPECT_EQ(1000, h.Button(5020));
  Context* c = ContextOf();
  EXPECT_EQ(feedpane::kModeList, c->mode);
  EXPECT_EQ(29, c->focused_index);
  EXPECT_EQ(std::min(Item(29).y - 2, h.content_height - h.ClientHeight()), h.scroll_y);
  EXPECT_EQ(0, h.Button(5019)) << "in the list, back leaves the plug-in to the host";
  EXPECT_TRUE(c->CheckInvariants());
}

// The pen: a tap opens; a tap that ends on another item opens nothing and
// leaves no item pressed; moving without a press is not handled.
TEST_F(FeedpaneTest, PenOpensOnlyWhatItWentDownOn) {
  FeedpaneHost& h = LoadedChannel(5);
  ASSERT_NE(nullptr, ContextOf());
  h.Refresh();
  POINT a = Inside(Item(0)), b = Inside(Item(1));
  EXPECT_EQ(0, h.Pen(WM_MOUSEMOVE, a.x, a.y)) << "no press";
  std::int32_t result = -1;
  EXPECT_NE(0, h.Pen(WM_LBUTTONDOWN, a.x, a.y, &result));
  EXPECT_EQ(0, result);
  EXPECT_GT(CountColour(Item(0), RGB(0, 0, 204)), 10) << "pressed colour";
  EXPECT_NE(0, h.Pen(WM_MOUSEMOVE, b.x, b.y));
  EXPECT_EQ(0, CountColour(Item(0), RGB(0, 0, 204))) << "drawn normally once the pen left it";
  EXPECT_EQ(0, CountColour(Item(1), RGB(0, 0, 204)));
  h.Pen(WM_LBUTTONUP, b.x, b.y, &result);
  EXPECT_NE(1000, result);
  EXPECT_EQ(feedpane::kModeList, ContextOf()->mode);
  EXPECT_EQ(-1, ContextOf()->pressed_index);

  // Down on a gap between items: nothing is pressed, nothing handled.
  const int gap = Item(0).Bottom() + 2;
  EXPECT_EQ(0, h.Pen(WM_LBUTTONDOWN, 50, gap));
  EXPECT_EQ(0, h.Pen(WM_LBUTTONUP, 50, gap));
  EXPECT_EQ(feedpane::kModeList, ContextOf()->mode);

  EXPECT_EQ(1000, h.Tap(b.x, b.y));
  EXPECT_EQ(1, ContextOf()->opened_index);
}

// Keys: the first right-arrow focuses the topmost visible item, the next
// ones move on and scroll it into view; left-arrow without a focus leaves
// the channel and the plug-in stops painting.
TEST_F(FeedpaneTest, DirectionKeys) {
  FeedpaneHost& h = LoadedChannel(40);
  ASSERT_NE(nullptr, ContextOf());
  h.ScrollBy(300);
  Context* c = ContextOf();
  int top = -1;
  for (int i = 0; i < c->Count(); ++i) {
    if (Item(i).Bottom() >= h.scroll_y) {
      top = i;
      break;
    }
  }
  ASSERT_GE(top, 0);
  EXPECT_EQ(1, h.Focus(+1));
  EXPECT_EQ(top, c->focused_index);
  EXPECT_EQ(1, h.Focus(+1));
  EXPECT_EQ(top + 1, c->focused_index);
  EXPECT_GT(CountColour(Item(top + 1), RGB(0, 0, 255)), 0) << "the focus frame";

  // Down the list until the focus leaves the visible part: it scrolls.
  const int before = h.scroll_y;
  for (int i = 0; i < 20; ++i) h.Focus(+1);
  EXPECT_EQ(top + 21, c->focused_index);
  EXPECT_GT(h.scroll_y, before);
  EXPECT_LE(Item(top + 21).Bottom(), h.scroll_y + h.ClientHeight());
  EXPECT_EQ(1000, h.Activate());
  EXPECT_EQ(top + 21, c->opened_index);
  EXPECT_EQ(1000, h.Focus(+1)) << "in an article the arrows page";
  EXPECT_EQ(top + 22, c->opened_index);
  EXPECT_EQ(1000, h.Focus(-1));
  EXPECT_EQ(feedpane::kModeList, c->mode);

  // Off the end of the list: the host moves its own focus on.
  c->focused_index = c->Count() - 1;
  EXPECT_EQ(0, h.Focus(+1));
  EXPECT_EQ(-1, c->focused_index);

  EXPECT_EQ(0, h.view.backs);
  EXPECT_EQ(1, h.Focus(-1));
  EXPECT_EQ(1, h.view.backs) << "left-arrow with nothing focused leaves the channel";
  EXPECT_EQ(feedpane::kFocusReturned, c->focus_state);
  const int y = c->scroll_y;
  h.scroll(&h.services, 0, y + 50, 0);
  EXPECT_EQ(y, c->scroll_y) << "scrolling ignored after the focus went back";
}

TEST_F(FeedpaneTest, LeftArrowFirstLeavesTheChannel) {
  FeedpaneHost& h = LoadedChannel(3);
  ASSERT_NE(nullptr, ContextOf());
  EXPECT_EQ(1, h.Focus(-1));
  EXPECT_EQ(1, h.view.backs);
}

// Pictures stored whole and in parts come out as the same bitmap right
// after the title, centred, scaled down to the column; a picture that does
// not decode leaves an empty part; a map whose parts are missing is
// deleted from the store.
TEST_F(FeedpaneTest, PicturesWholeAndInParts) {
  const std::string cat = sample_pictures::Read("image-rs-cat.jpg");            // 320x240
  const std::string hippo = sample_pictures::Read("wuffs-hippopotamus.interlaced.gif");  // 36x28
  const std::string truncated = sample_pictures::Read("wuffs-peacock.default.truncated.jpeg");
  ASSERT_FALSE(cat.empty());
  ASSERT_FALSE(hippo.empty());
  {
    ChannelWriter c = Channel();
    const char* keys[] = {"whole", "parts", "broken", "missing"};
    for (int i = 0; i < 4; ++i) {
      Article a;
      a.key = keys[i];
      a.title = std::string("Picture ") + keys[i];
      a.sort = std::to_string(9 - i);
      ASSERT_TRUE(c.Add(a, true));
    }
    ASSERT_TRUE(c.AddPicture("whole", cat));
    ASSERT_TRUE(c.AddPicture("parts", hippo, 500));
    ASSERT_TRUE(c.AddPicture("broken", truncated));
    ASSERT_TRUE(c.AddPicture("missing", hippo, 700));
    store::Object* part = nullptr;
    store::CreateObject(&part, "Part missing 1");
    ASSERT_EQ(store::kStoreOk, store::DeleteObject(c.db(), part, 0));
    store::FreeObject(part);
  }
  FeedpaneHost& h = Host();
  ASSERT_EQ(0, h.Load());
  const int column = Item(0).width;

  ASSERT_EQ(1000, h.Tap(Inside(Item(0)).x, Inside(Item(0)).y));
  const Element& photo = Part(1);  // no channel name in this database
  ASSERT_FALSE(photo.is_text);
  ASSERT_NE(nullptr, photo.bitmap);
  EXPECT_EQ(column, photo.width) << "scaled to the column";
  EXPECT_EQ(column * 240 / 320, photo.height);
  EXPECT_EQ(Part(0).Bottom() + 4, photo.y);
  EXPECT_EQ(LinkOf(*ContextOf()), &Part(3)) << "the link right after the author";
  EXPECT_EQ("Read the full article", Part(3).text);
  h.Refresh();

  h.Button(5020);
  ASSERT_FALSE(Part(1).is_text);
  ASSERT_NE(nullptr, Part(1).bitmap);
  EXPECT_EQ(36, Part(1).width);
  EXPECT_EQ(28, Part(1).height);
  EXPECT_EQ(Item(1).x + (column - 36) / 2, Part(1).x) << "centred";

  h.Button(5020);
  ASSERT_FALSE(Part(1).is_text);
  EXPECT_EQ(nullptr, Part(1).bitmap);
  EXPECT_EQ(0, Part(1).height);
  EXPECT_EQ(Part(0).Bottom() + 4, Part(2).y) << "an empty picture takes no room";

  h.Button(5020);
  EXPECT_EQ(nullptr, Part(1).bitmap);
  ChannelWriter check = Channel();
  EXPECT_EQ(0, check.PropertyCount("Pic missing")) << "the broken map is gone";
  EXPECT_EQ(2, check.PropertyCount("Pic broken")) << "data that does not decode stays";
}

// The link opens in the browser: by command 4001 and by a tap.
TEST_F(FeedpaneTest, LinksOpenTheBrowser) {
  {
    ChannelWriter c = Channel();
    Article a;
    a.key = "x";
    a.title = "Linked";
    a.sort = "1";
    a.link = "http://example.com/a?b=c&amp;d";
    ASSERT_TRUE(c.Add(a));
    a.key = "y";
    a.title = "Link too long for the server";
    a.sort = "0";
    a.link = "";
    ASSERT_TRUE(c.Add(a));
  }
  FeedpaneHost& h = Host();
  ASSERT_EQ(0, h.Load());
  EXPECT_EQ(0, h.Button(4001)) << "nothing to open in the list";
  ASSERT_EQ(1000, h.Tap(Inside(Item(0)).x, Inside(Item(0)).y));
  EXPECT_EQ(100, h.Button(4001));
  ASSERT_EQ(1u, g_launched.size());
  EXPECT_EQ(u"iexplore.exe http://example.com/a?b=c&amp;d", g_launched[0]);

  ASSERT_NE(nullptr, LinkOf(*ContextOf()));
  const Element& link = *LinkOf(*ContextOf());
  h.Refresh();
  std::int32_t result = 0;
  h.Pen(WM_LBUTTONDOWN, link.x + 5, link.y + 3, &result);
  EXPECT_GT(CountColour(link, RGB(247, 146, 0)), 10) << "pressed colour";
  h.Pen(WM_LBUTTONUP, link.x + 5, link.y + 3, &result);
  EXPECT_EQ(1000, result);
  EXPECT_EQ(2u, g_launched.size());
  EXPECT_EQ(0, CountColour(link, RGB(247, 146, 0))) << "drawn normally after the tap";

  h.Button(5020);  // the article whose link the server had to leave out
  EXPECT_EQ(nullptr, LinkOf(*ContextOf()));
  EXPECT_EQ(100, h.Button(4001));
  EXPECT_EQ(2u, g_launched.size());
}

// Without a language pack the link shows its address rather than nothing.
TEST_F(FeedpaneTest, LinkWithoutLanguagePackShowsTheAddress) {
  SelectLanguage("Klingon");
  FeedpaneHost& h = LoadedChannel(1);
  ASSERT_NE(nullptr, ContextOf());
  ASSERT_EQ(1000, h.Tap(Inside(Item(0)).x, Inside(Item(0)).y));
  ASSERT_NE(nullptr, LinkOf(*ContextOf()));
  EXPECT_EQ(L"http://example.com/story", LinkOf(*ContextOf())->wide);
}

// Command 4026 reopens the database and drops the content; UnloadContent
// frees everything but keeps the stored channel name for the next visit.
TEST_F(FeedpaneTest, ReloadAndUnload) {
  {
    ChannelWriter c = Channel();
    WriteArticles(&c, 2);
    ASSERT_TRUE(c.SetChannelName("Name"));
  }
  FeedpaneHost& h = Host();
  ASSERT_EQ(0, h.Load());
  EXPECT_EQ(100, h.Button(4026));
  EXPECT_EQ(nullptr, h.services.context);
  EXPECT_EQ(0, h.content_height);
  EXPECT_NE(nullptr, h.db.database()) << "open again";
  EXPECT_EQ(1, h.Refresh());

  ASSERT_EQ(0, h.Load());
  ASSERT_NE(nullptr, h.services.plugin) << "the language pack";
  EXPECT_EQ(0, h.Unload());
  EXPECT_EQ(nullptr, h.services.context);
  EXPECT_EQ(nullptr, h.services.plugin);
  EXPECT_EQ(0, h.content_height);
  {
    ChannelWriter check = Channel();
    EXPECT_EQ(1, check.PropertyCount("ChannelName"));
  }
  ASSERT_EQ(0, h.Load());
  ASSERT_EQ(1000, h.Tap(Inside(Item(0)).x, Inside(Item(0)).y));
  EXPECT_EQ("Name", Part(1).text) << "the channel's name on the next visit too";
}

// Screenshots of a list and an article on the three screen shapes.
TEST_F(FeedpaneTest, ScreenshotsOfListAndArticle) {
  const std::string entities =
      "The council&#8217;s plan &mdash; &ldquo;a new bridge&rdquo; &amp; a park &hellip;<p>Costs: &pound;2m, "
      "&frac12; paid by the city.</p><p>Work starts in May.<br>More next week.</p>";
  {
    ChannelWriter c = Channel();
    ASSERT_TRUE(c.SetChannelName("City News"));
    const char* titles[] = {"Council approves the new bridge across the river after a long debate",
                            "Weather: sunny spells, showers later",
                            "Local team wins the cup &amp; celebrates in the square",
                            "Museum opens a gallery of old maps and globes from the harbour archive",
                            "Traffic: roadworks on the ring road",
                            "School concert raises money for the library",
                            "Market prices hold steady",
                            "Ferry timetable changes from Monday",
                            "Volunteers clean up the beach",
                            "Cinema shows restored silent films"};
    for (int i = 0; i < 10; ++i) {
      Article a;
      a.key = "s" + std::to_string(i);
      a.title = titles[i];
      a.sort = std::to_string(20 - i);
      a.text = entities;
      a.read = i == 2 || i == 5;
      ASSERT_TRUE(c.Add(a, i == 0));
    }
    ASSERT_TRUE(c.AddPicture("s0", sample_pictures::Read("image-rs-cat.jpg"), 6000));
  }
  struct Shape {
    const char* name;
    int width, height;
  } shapes[] = {{"portrait", 240, 236}, {"square", 240, 156}, {"landscape", 320, 156}};
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.name);
    FeedpaneHost& h = Host("Channel", s.width, s.height);
    ASSERT_EQ(0, h.Load());
    h.Refresh();
    platform::os::MakeDirectories(TIDELARK_TEST_OUTPUT);
    const std::string base = std::string(TIDELARK_TEST_OUTPUT) + "/feedpane-" + s.name;
    EXPECT_TRUE(platform::SaveWindowPng(h.view.window, base + "-list.png", true));
    EXPECT_GT(CountColour(Item(0), RGB(237, 237, 237)), 50);
    ASSERT_EQ(1000, h.Tap(Inside(Item(0)).x, Inside(Item(0)).y));
    EXPECT_TRUE(platform::SaveWindowPng(h.view.window, base + "-article.png", true));
    EXPECT_LE(Part(2).x + Part(2).width, s.width) << "the picture fits";
    h.ScrollBy(Part(2).Bottom());
    EXPECT_TRUE(platform::SaveWindowPng(h.view.window, base + "-article-text.png", true));
  }
}

}  // namespace
