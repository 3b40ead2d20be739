// The channel catalogue against a real store volume: which channels the
// list shows and in which order, their counts, opening a channel,
// unsubscribing, subscribing and adding by address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/object_store.h"
#include "channels/added_channels.h"
#include "channels/channel_rows.h"
#include "channels/subscriptions.h"
#include "platform/os.h"

namespace {

using channels::ChannelRow;

const char kIcon[] = "GIF89a";

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::os::MakeTempDirectory("channels-test", &dir_), 0);
    store_ = CObjectStore(platform::os::JoinPath(dir_, "Reader.vol"));
  }
  void TearDown() override { platform::os::RemoveTree(dir_); }

  // A channel object; `icon` null leaves "Icon" out; an empty `name` leaves "ChName" out.
  void Channel(const char* object, const std::string& name, const std::string& db, const char* icon = kIcon,
               const char* subscribed = "Yes", const char* plugin = "News") {
    ScopedDatabase rss;
    ASSERT_EQ(store_.Open(rss.Out(), "TavoRss", true), 0);
    StoreRecord r(object);
    if (!name.empty()) r.Text("ChName", name);
    r.Text("DbName", db).Text("Plugin", plugin).Text("URL", "").Text("Subscr", subscribed).Int("Rating", 0);
    if (icon) r.Raw("Icon", store::kTypeBinary, icon, static_cast<std::uint32_t>(std::char_traits<char>::length(icon)));
    ASSERT_EQ(r.WriteTo(rss.Get()), 0);
  }
  // `count` articles of which the first `read` are read, plus the objects a
  // synchronised database holds besides articles.
  void Articles(const std::string& db, int count, int read) {
    ScopedDatabase d;
    ASSERT_EQ(store_.Open(d.Out(), db.c_str(), true), 0);
    for (int i = 0; i < count; ++i) {
      std::string name = "Item " + std::to_string(1000 + i);
      ASSERT_EQ(StoreRecord(name.c_str())
                    .Text("Title", "Article " + std::to_string(i))
                    .Text("Author", "A")
                    .Int("READ", i < read ? 1 : 0)
                    .WriteTo(d.Get()),
                0);
    }
    StoreRecord("ChannelName").Text("Channel", db).WriteTo(d.Get());
    StoreRecord("Picture 1").Text("Feed", "x").Raw("Image", store::kTypeBinary, "GIF", 3).WriteTo(d.Get());
  }
  void MarkRead(const std::string& db, int index) {
    ScopedDatabase d;
    ASSERT_EQ(store_.Open(d.Out(), db.c_str(), false), 0);
    std::string name = "Item " + std::to_string(1000 + index);
    ASSERT_EQ(StoreRecord(name.c_str()).Int("READ", 1).WriteTo(d.Get()), 0);
  }
  void UserOrder(const std::vector<std::string>& names) {
    ScopedDatabase d;
    ASSERT_EQ(store_.Open(d.Out(), "TavoCustomArrange", true, true), 0);
    for (size_t i = 0; i < names.size(); ++i) {
      std::string object = "Obj" + std::to_string(i + 1);
      ASSERT_EQ(StoreRecord(object.c_str()).Text("ChName", names[i]).WriteTo(d.Get()), 0);
    }
  }
  std::vector<ChannelRow> List(const char* plugin = "News") {
    std::vector<ChannelRow> rows = channels::ReadChannelList(store_, plugin, channels::TextRules());
    channels::CheckArranged(rows);
    return rows;
  }
  static std::vector<std::string> Names(const std::vector<ChannelRow>& rows) {
    std::vector<std::string> names;
    for (const ChannelRow& r : rows) names.push_back(std::string(r.display_name.begin(), r.display_name.end()));
    return names;
  }
  std::vector<std::string> Listed(const char* state) {
    ScopedDatabase rss;
    if (store_.Open(rss.Out(), "TavoRss", false) != 0) return {};
    store::ResultSet* result = nullptr;
    EXPECT_EQ(channels::QueryBySubscription(rss.Get(), store::kTypeText, "News", state, &result), 0);
    std::vector<std::string> names;
    for (const channels::ListedChannel& c : channels::ReadListed(result, channels::TextRules())) names.push_back(c.name);
    store::FreeResult(result);
    return names;
  }
  std::string Text(const char* db, const char* object, const char* property) {
    ScopedDatabase d;
    if (store_.Open(d.Out(), db, false) != 0) return "<no database>";
    store::Object* o = nullptr;
    store::CreateObject(&o, object);
    if (store::ReadObject(d.Get(), o) != 0) {
      store::FreeObject(o);
      return "<no object>";
    }
    std::string text;
    bool found = CObjectStore::ReadText(o, property, &text);
    std::uint32_t size = 0;
    bool binary = store::GetProperty(o, property, store::kTypeBinary, nullptr, &size) == store::kStoreBufferTooSmall;
    store::FreeObject(o);
    return found ? text : binary ? "<binary>" : "<missing>";
  }
  bool Exists(const char* db) {
    ScopedDatabase d;
    return store_.Open(d.Out(), db, false) == 0;
  }

  std::string dir_;
  CObjectStore store_;
};

TEST_F(Catalogue, OnlyChannelsWithAnIconOfTheListsPluginAreListed) {
  Channel("Channel 1", "Listed", "Tavo 1");
  Channel("Channel 2", "No icon", "Tavo 2", nullptr);
  Channel("Channel 3", "One byte", "Tavo 3", "G");
  Channel("Channel 4", "Weather here", "Tavo 4", kIcon, "Yes", "Weather");
  Channel("Channel 5", "", "Tavo 5");
  EXPECT_EQ(Names(List()), (std::vector<std::string>{"Listed", "Rss Channel"}));
  std::vector<ChannelRow> weather = List("Weather");
  ASSERT_EQ(weather.size(), 1u);
  EXPECT_EQ(weather[0].object_name, "Channel 4");
  // A subscribed channel without an icon is still one the user can unsubscribe.
  EXPECT_EQ(Listed("Yes"), (std::vector<std::string>{"Listed", "No icon", "One byte"}));
}

TEST_F(Catalogue, CountsAreTheArticlesAndTheUnreadOnesAndFollowReading) {
  Channel("Channel 1", "Fifty", "Tavo 1");
  Channel("Channel 2", "Not yet synchronised", "Tavo 2");
  Articles("Tavo 1", 50, 7);
  std::vector<ChannelRow> rows = List();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].display_name, u"Fifty");
  EXPECT_EQ(rows[0].total, 50) << "the name and picture objects are not articles";
  EXPECT_EQ(rows[0].unread, 43);
  EXPECT_EQ(rows[1].total, 0);
  EXPECT_EQ(rows[1].unread, 0);
  EXPECT_FALSE(Exists("Tavo 2")) << "counting creates nothing";
  MarkRead("Tavo 1", 30);
  rows = List();
  EXPECT_EQ(rows[0].total, 50);
  EXPECT_EQ(rows[0].unread, 42);
  std::int32_t total = -1, read = -1;
  EXPECT_EQ(channels::CountArticles(store_, "Tavo 1", &total, &read), 0);
  EXPECT_EQ(total, 50);
  EXPECT_EQ(read, 8);
}

TEST_F(Catalogue, RowsSortIgnoringCaseAndTheUsersOrderPlacesThem) {
  struct Case {
    const char* what;
    std::vector<std::string> channels;
    std::vector<std::string> order;
    std::vector<std::string> expected;
  } cases[] = {
      {"case is ignored", {"banana", "Apple", "cherry", "apricot"}, {}, {"Apple", "apricot", "banana", "cherry"}},
      {"position 0 goes first", {"a", "b", "c"}, {"c"}, {"c", "a", "b"}},
      {"a position inside the list is taken", {"a", "b", "c", "d"}, {"x", "d"}, {"a", "d", "b", "c"}},
      {"a position past the list so far appends", {"a", "b", "c", "d"}, {"x", "y", "z", "a"}, {"a", "b", "c", "d"}},
      {"unnamed rows come after placed ones", {"m", "x", "y"}, {"x", "y"}, {"x", "y", "m"}},
      {"the order's names match exactly", {"Alpha", "beta"}, {"beta", "alpha"}, {"beta", "Alpha"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    int n = 0;
    for (const std::string& name : c.channels) {
      std::string object = "Channel " + std::to_string(++n);
      Channel(object.c_str(), name, "Tavo " + std::to_string(n));
    }
    if (!c.order.empty()) UserOrder(c.order);
    std::vector<ChannelRow> rows = List();
    EXPECT_EQ(Names(rows), c.expected);
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].command, 4047 + static_cast<int>(i));
  }
}

TEST_F(Catalogue, TheUsersOrderIsTheOrderItsObjectsWereWritten) {
  std::vector<std::string> names;
  for (int i = 1; i <= 12; ++i) names.push_back("N" + std::to_string(i));
  UserOrder(names);
  EXPECT_EQ(channels::ReadUserOrder(store_), names) << "Obj10 comes after Obj9";
  EXPECT_TRUE(channels::ReadUserOrder(CObjectStore(platform::os::JoinPath(dir_, "none.vol"))).empty());
}

TEST_F(Catalogue, OpeningAChannelRemembersItAndNamesItsDatabase) {
  Channel("Channel 7", "Slashdot", "Tavo 7");
  Channel("Channel 8", "Broken", "", kIcon);
  Channel("Channel 9", "Sunny", "Tavo 9", kIcon, "Yes", "Weather");
  channels::OpenedChannel opened;
  ASSERT_EQ(channels::OpenChannel(store_, "Channel 7", 4049, &opened), 0);
  EXPECT_EQ(opened.plugin, "News");
  EXPECT_EQ(opened.database, "Tavo 7");
  EXPECT_EQ(opened.name, "Slashdot");
  EXPECT_EQ(channels::ReadListSettings(store_).last_active, 4049);
  EXPECT_EQ(Text("Tavo 7", "ChannelName", "Channel"), "Slashdot");

  ASSERT_EQ(channels::OpenChannel(store_, "Channel 9", 4050, &opened), 0);
  EXPECT_FALSE(Exists("Tavo 9")) << "a weather channel has no article database";
  EXPECT_EQ(channels::ReadListSettings(store_).last_active, 4050);

  // A channel without "DbName" cannot be opened and is not remembered.
  {
    ScopedDatabase rss;
    ASSERT_EQ(store_.Open(rss.Out(), "TavoRss", false), 0);
    store::Object* o = nullptr;
    store::CreateObject(&o, "Channel 8");
    store::SetProperty(o, "DbName", store::kTypeText, "", 1, 1, 1, 1, 0);
    store::DeleteObject(rss.Get(), o, 1);
    store::FreeObject(o);
  }
  // A name longer than 100 bytes opens whole; a database name takes up to 31.
  const std::string long_db = "Tavo " + std::string(26, 'd'), long_name(120, 'n');
  Channel("Channel 6", long_name, long_db);
  ASSERT_EQ(channels::OpenChannel(store_, "Channel 6", 4051, &opened), 0);
  EXPECT_EQ(opened.database, long_db);
  EXPECT_EQ(opened.name, long_name);
  EXPECT_EQ(Text(long_db.c_str(), "ChannelName", "Channel"), long_name);
  ASSERT_EQ(channels::OpenChannel(store_, "Channel 9", 4050, &opened), 0);

  EXPECT_EQ(channels::OpenChannel(store_, "Channel 8", 4048, &opened), -1);
  EXPECT_EQ(channels::OpenChannel(store_, "Channel 404", 4048, &opened), -1);
  EXPECT_EQ(channels::ReadListSettings(store_).last_active, 4050);
}

TEST_F(Catalogue, DisplaySettingsSelectTheIconViewOnlyWithOne) {
  EXPECT_FALSE(channels::ReadListSettings(store_).icon_view) << "no database";
  for (int value : {1, 0, 2}) {
    ScopedDatabase d;
    ASSERT_EQ(store_.Open(d.Out(), "TavoSavedPrefs", true), 0);
    StoreRecord("DisplaySettings").Int("IconView", value).WriteTo(d.Get());
    d.Close();
    EXPECT_EQ(channels::ReadListSettings(store_).icon_view, value == 1) << value;
  }
  for (bool icons : {true, false}) {
    ASSERT_EQ(channels::SaveIconView(store_, icons), 0);
    EXPECT_EQ(channels::ReadListSettings(store_).icon_view, icons);
  }
}

TEST_F(Catalogue, UnsubscribingMovesAChannelToTheRecommendationsAndSubscribingBack) {
  Channel("Channel 1", "Engadget", "Tavo 1");
  Channel("Channel 2", "Slashdot", "Tavo 2");
  Channel("Channel 3", "Offered", "Tavo 3", nullptr, "No");
  Articles("Tavo 1", 5, 1);
  EXPECT_EQ(channels::Unsubscribe(store_, {"engadget"}), 0) << "names are found exactly";
  EXPECT_EQ(channels::Unsubscribe(store_, {"Engadget", "Nowhere"}), 1);
  EXPECT_FALSE(Exists("Tavo 1")) << "its articles are gone";
  EXPECT_EQ(Text("TavoRss", "Channel 1", "Subscr"), "No");
  EXPECT_EQ(Text("TavoRss", "Channel 1", "Icon"), "<missing>");
  EXPECT_EQ(Text("TavoRss", "Channel 1", "DbName"), "Tavo 1") << "the object stays";
  EXPECT_EQ(Names(List()), (std::vector<std::string>{"Slashdot"}));
  EXPECT_EQ(Listed("No"), (std::vector<std::string>{"Engadget", "Offered"}));
  EXPECT_EQ(Listed("Yes"), (std::vector<std::string>{"Slashdot"}));
  EXPECT_EQ(channels::Unsubscribe(store_, {"Engadget"}), 0) << "already unsubscribed";

  EXPECT_EQ(channels::Subscribe(store_, {"Offered", "Engadget", "Slashdot"}), 2);
  EXPECT_EQ(Text("TavoRss", "Channel 3", "Subscr"), "Yes");
  EXPECT_EQ(Listed("No"), std::vector<std::string>{});
  EXPECT_TRUE(Names(List()) == std::vector<std::string>{"Slashdot"}) << "listed again once the server sends its icon";

  EXPECT_EQ(channels::Unsubscribe(CObjectStore(platform::os::JoinPath(dir_, "none.vol")), {"Slashdot"}), 0);
}

TEST_F(Catalogue, SectionsComeFromTheCategories) {
  EXPECT_TRUE(channels::ReadSections(store_).empty());
  ScopedDatabase d;
  ASSERT_EQ(store_.Open(d.Out(), "TavoCats", true), 0);
  StoreRecord("Categories").Text("News", "News").Text("Extras", "Weather").WriteTo(d.Get());
  d.Close();
  std::vector<channels::Section> sections = channels::ReadSections(store_);
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0].key, "News");
  EXPECT_EQ(sections[0].plugin, "News");
  EXPECT_EQ(sections[1].plugin, "Weather");
}

TEST_F(Catalogue, AddingWritesATimeNamedChannelAndNothingForABareAddress) {
  platform::os::DateTime at = {2024, 2, 29, 23, 59, 59, 999, 4};
  EXPECT_EQ(channels::AddedChannelName(at), "Channel 2024:02:29:23:59:59:999");
  for (const char* bare : {"http://", "", "   ", " https:// "})
    EXPECT_EQ(channels::AddChannel(store_, bare, "Name", at), store::kStoreBadArgument) << "'" << bare << "'";
  EXPECT_FALSE(Exists("TavoRss")) << "nothing was written";

  std::string first, second;
  ASSERT_EQ(channels::AddChannel(store_, " file:///feeds/a.xml ", "My feed", at, &first), 0);
  ASSERT_EQ(channels::AddChannel(store_, "http://b.example/rss", "My feed", at, &second), 0);
  EXPECT_EQ(first, "Channel 2024:02:29:23:59:59:999");
  EXPECT_NE(first, second) << "the same name twice is two channels";
  EXPECT_EQ(Text("TavoRss", first.c_str(), "URL"), "file:///feeds/a.xml");
  EXPECT_EQ(Text("TavoRss", first.c_str(), "ChName"), "My feed");
  EXPECT_EQ(Text("TavoRss", first.c_str(), "Subscr"), "Yes");
  EXPECT_EQ(Text("TavoRss", first.c_str(), "Plugin"), "News");
  EXPECT_EQ(Text("TavoRss", second.c_str(), "URL"), "http://b.example/rss");
  EXPECT_EQ(Listed("Yes"), (std::vector<std::string>{"My feed", "My feed"}));
  EXPECT_TRUE(List().empty()) << "no icon until the server has fetched it";
}

TEST_F(Catalogue, TheAddFormKeepsItsState) {
  channels::AddForm form;
  EXPECT_FALSE(channels::LoadAddForm(store_, &form));
  for (std::int32_t option : {channels::kEnterAddress, channels::kChooseFromList, channels::kNoOption}) {
    channels::AddForm saved;
    saved.option = option;
    saved.url = "http://news.example/" + std::to_string(option);
    saved.name = "Name " + std::to_string(option);
    ASSERT_EQ(channels::SaveAddForm(store_, saved), 0);
    channels::AddForm loaded;
    ASSERT_TRUE(channels::LoadAddForm(store_, &loaded));
    EXPECT_EQ(loaded.option, option);
    EXPECT_EQ(loaded.url, saved.url);
    EXPECT_EQ(loaded.name, saved.name);
  }
}

TEST_F(Catalogue, LongNamesAreCutAtTheLongestDisplayName) {
  Channel("Channel 1", std::string(400, 'n'), "Tavo 1");
  std::vector<ChannelRow> rows = List();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].display_name.size(), channels::kMaxDisplayName);
  EXPECT_EQ(rows[0].name.size(), 400u) << "the stored name stays whole for finding the object";
}

}  // namespace
