#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "feed_parser.h"
#include "device_text.h"

namespace tidelark_server {
namespace {

std::string Shared(const std::string& name) {
  std::ifstream in(std::string(TIDELARK_SHARED_DATA) + "/feeds/" + name, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct FeedCase {
  const char* file;
  std::size_t min_items;
  const char* first_title_part;  // in the first item's title
};

// Every real feed in the shared set: RSS 2.0, RSS 1.0 / 0.90, Atom, odd
// encodings and broken documents.
const FeedCase kFeeds[] = {
    {"simplepie-feed_rss-2.0_for_file_mock.xml", 100, ""},
    {"feedjira-TechCrunch.xml", 10, ""},
    {"feedjira-CRE.xml", 30, ""},
    {"feedjira-HuffPostCanada.xml", 1, ""},
    {"feedjira-youtube_atom.xml", 10, ""},
    {"feedjira-SamRuby.xml", 5, ""},
    {"rss-parser-giantbomb-podcast.rss", 700, ""},
    {"rss-parser-guardian.rss", 55, ""},
    {"rss-parser-encoding.rss", 5, ""},
    {"rss-parser-uolNoticias.rss", 5, ""},
    {"rss-parser-heise.atom", 5, ""},
    {"rss-parser-craigslist.rss", 5, ""},
    {"feed-rs-rss_1.0_iso8859.xml", 1, ""},
    {"miniflux-rdf_UTF8.xml", 60, ""},
    {"miniflux-urdu_UTF8.xml", 5, ""},
    {"netnewswire-DaringFireball.rss", 47, ""},
    {"node-feedparser-saxerror.xml", 1, ""},
    {"feed-rs-rss_2.0_nbcny.xml", 1, ""},
};

TEST(FeedParser, RealFeedsGiveTheirItems) {
  for (const FeedCase& c : kFeeds) {
    SCOPED_TRACE(c.file);
    std::string bytes = Shared(c.file);
    ASSERT_FALSE(bytes.empty());
    Feed feed;
    ASSERT_TRUE(ParseFeed(bytes, &feed));
    EXPECT_GE(feed.items.size(), c.min_items);
    for (const FeedItem& it : feed.items) {
      EXPECT_FALSE(it.title.empty() && it.text.empty());
      EXPECT_EQ(it.key.size(), 8u);
    }
  }
}

TEST(FeedParser, ItemKeysAreUniqueWithinAFeed) {
  Feed feed;
  ASSERT_TRUE(ParseFeed(Shared("rss-parser-guardian.rss"), &feed));
  std::set<std::string> keys;
  for (const FeedItem& it : feed.items) keys.insert(it.key);
  EXPECT_EQ(keys.size(), feed.items.size());
}

TEST(FeedParser, BrokenDocumentsDoNotFailTheServer) {
  for (const char* f : {"feed-rs-rss_2.0_invalid_1.xml", "feedparser-rss_incomplete_cdata.xml",
                        "feedparser-bozo_invalid-bytes-with-bom.xml", "feedparser-hellip.xml"}) {
    SCOPED_TRACE(f);
    Feed feed;
    ParseFeed(Shared(f), &feed);  // whatever is recoverable, without a crash
    for (const FeedItem& it : feed.items) EXPECT_EQ(it.key.size(), 8u);
  }
  Feed none;
  EXPECT_FALSE(ParseFeed("<html><body>not a feed</body></html>", &none));
  EXPECT_FALSE(ParseFeed("", &none));
}

TEST(FeedParser, CharsetsArriveAsWindows1252) {
  Feed feed;
  ASSERT_TRUE(ParseFeed(Shared("miniflux-windows-1252.xml"), &feed));
  EXPECT_NE(feed.title.find('\x80'), std::string::npos) << feed.title;  // the euro sign
  // Declared ISO-8859-1: accented letters stay single Latin-1 bytes.
  ASSERT_TRUE(ParseFeed(Shared("rss-parser-encoding.rss"), &feed));
  std::string all;
  for (const FeedItem& it : feed.items) all += it.title + it.text;
  EXPECT_FALSE(IsValidUtf8(all) && all.find('\xC3') != std::string::npos);
  EXPECT_TRUE(all.find('\xE3') != std::string::npos || all.find('\xE7') != std::string::npos ||
              all.find('\xE9') != std::string::npos);
  // No declaration and Latin-1 bytes: read as Windows-1252, not dropped.
  ASSERT_TRUE(ParseFeed(Shared("rss-parser-uolNoticias.rss"), &feed));
  ASSERT_FALSE(feed.items.empty());
}

TEST(FeedParser, AtomFieldsAndXhtmlContent) {
  const std::string atom =
      "<feed xmlns='http://www.w3.org/2005/Atom'><title>T</title>"
      "<entry><title>First</title><id>urn:1</id><link rel='alternate' href='http://a/1'/>"
      "<link rel='enclosure' href='http://a/1.mp3'/><author><name>Ann</name></author>"
      "<updated>2024-01-02T03:04:05+01:00</updated>"
      "<content type='xhtml'><div xmlns='http://www.w3.org/1999/xhtml'><p>Hi <b>there</b></p></div></content>"
      "</entry></feed>";
  Feed feed;
  ASSERT_TRUE(ParseFeed(atom, &feed));
  ASSERT_EQ(feed.items.size(), 1u);
  const FeedItem& it = feed.items[0];
  EXPECT_EQ(it.title, "First");
  EXPECT_EQ(it.link, "http://a/1");
  EXPECT_EQ(it.author, "Ann");
  EXPECT_EQ(it.date, "2024-01-02 02:04");
  EXPECT_NE(it.text.find("<b>there</b>"), std::string::npos) << it.text;
}

TEST(FeedParser, Dates) {
  struct {
    const char* text;
    std::int64_t expect;
  } cases[] = {
      {"Mon, 07 Dec 2026 08:00:00 GMT", 1796630400},
      {"Mon, 07 Dec 2026 09:00:00 +0100", 1796630400},
      {"07 Dec 2026 00:00:00 PST", 1796630400},
      {"2026-12-07T08:00:00Z", 1796630400},
      {"2026-12-07T10:00:00+02:00", 1796630400},
      {"mer, 16 nov 2022 10:00:00 +0000", 1668592800},
      {"Seg, 16 Set 2019 10:00:00 -0300", 1568638800},
      {"yesterday", 0},
      {"", 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseFeedDate(c.text), c.expect);
  }
}

TEST(Text1252, MapsWhatTheCodePageHasAndApproximatesTheRest) {
  struct {
    const char* utf8;
    const char* cp1252;
  } cases[] = {
      {"caf\xC3\xA9", "caf\xE9"},
      {"\xE2\x82\xAC 5", "\x80 5"},
      {"\xE2\x80\x9Cq\xE2\x80\x9D", "\x93q\x94"},
      {"a\xE2\x80\x94" "b", "a\x97" "b"},
      {"\xC5\x81\xC3\xB3" "d\xC5\xBA", "L\xF3" "dz"}, {"\xC5\xBE", "\x9E"},
      {"\xD8\xA7", "?"},
      {"x\xE2\x80\x8By", "xy"},
      {"bad \xFF byte", "bad \xFF byte"},
  };
  for (auto& c : cases) EXPECT_EQ(ToDeviceText(c.utf8, 1252), c.cp1252) << c.utf8;
}

TEST(Text1252, CutNeverSplitsATagOrAnEntity) {
  std::string s = std::string(95, 'a') + "<b>bold</b> &amp; more";
  std::string cut = CutText(s, 100);
  EXPECT_LE(cut.size(), 100u);
  EXPECT_EQ(cut, std::string(95, 'a') + "...");
  std::string e = std::string(94, 'a') + "&eacute; tail";
  EXPECT_EQ(CutText(e, 100), std::string(94, 'a') + "...");
  EXPECT_EQ(CutText("short", 100), "short");
}

}  // namespace
}  // namespace tidelark_server
