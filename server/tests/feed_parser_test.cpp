#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "feed_parser.h"
#include "device_text.h"
#include "html_entities.h"

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

TEST(FeedParser, CharsetsArriveAsUtf8) {
  Feed feed;
  ASSERT_TRUE(ParseFeed(Shared("miniflux-windows-1252.xml"), &feed));
  EXPECT_NE(feed.title.find("\xE2\x82\xAC"), std::string::npos) << feed.title;  // the euro sign
  // Declared ISO-8859-1: accented letters as UTF-8.
  ASSERT_TRUE(ParseFeed(Shared("rss-parser-encoding.rss"), &feed));
  std::string all;
  for (const FeedItem& it : feed.items) all += it.title + it.text;
  EXPECT_TRUE(IsValidUtf8(all));
  EXPECT_TRUE(all.find("\xC3\xA3") != std::string::npos || all.find("\xC3\xA7") != std::string::npos ||
              all.find("\xC3\xA9") != std::string::npos);
  // No declaration and Latin-1 bytes: read as Windows-1252, not dropped.
  ASSERT_TRUE(ParseFeed(Shared("rss-parser-uolNoticias.rss"), &feed));
  ASSERT_FALSE(feed.items.empty());
  for (const FeedItem& it : feed.items) EXPECT_TRUE(IsValidUtf8(it.title)) << it.title;
}

// One item of an RSS document whose item body is `item`.
FeedItem OneItem(const std::string& item, const std::string& prolog = "<?xml version='1.0' encoding='utf-8'?>") {
  Feed feed;
  EXPECT_TRUE(ParseFeed(prolog + "<rss version='2.0'><channel><title>T</title><item>" + item + "</item></channel></rss>",
                        &feed));
  EXPECT_EQ(feed.items.size(), 1u);
  return feed.items.empty() ? FeedItem() : feed.items[0];
}

TEST(FeedParser, OneUndeclaredEntityLosesNothingAfterIt) {
  // libxml2's recovery alone drops every "&amp;" after an "&nbsp;".
  FeedItem it = OneItem("<title>A&nbsp;title &copy 2024 &amp R&D</title><link>http://x/7?a=1&amp;b=2&copy=3</link>"
                        "<description>caf&eacute; &lt;b&gt;bold&lt;/b&gt; &notit; &notin; &bogus; &#8217;&#146;&#x41;"
                        "&#39 x</description>");
  EXPECT_EQ(it.title, "A\xC2\xA0title \xC2\xA9 2024 &amp; R&amp;D");
  EXPECT_EQ(it.link, "http://x/7?a=1&b=2\xC2\xA9=3");
  EXPECT_EQ(it.text, "caf\xC3\xA9 <b>bold</b> \xC2\xACit; \xE2\x88\x89 &amp;bogus; \xE2\x80\x99\xE2\x80\x99" "A' x");
  // In an attribute a legacy name followed by "=" or a letter stays text;
  // CDATA is the author's markup as written.
  it = OneItem("<title>x</title><enclosure url='http://p/i.gif?a=1&copy=2&amp;b' type='image/gif'/>"
               "<description><![CDATA[<p>Tom &amp; Jerry&nbsp;&ndash; 5 &lt; 6</p>]]></description>");
  EXPECT_EQ(it.image_url, "http://p/i.gif?a=1&copy=2&b");
  EXPECT_EQ(it.text, "<p>Tom &amp; Jerry\xC2\xA0\xE2\x80\x93 5 &lt; 6</p>");
  // Names the document declares stay its own.
  Feed feed;
  ASSERT_TRUE(ParseFeed("<?xml version='1.0'?><!DOCTYPE rss [<!ENTITY nbsp \"NB\"><!ENTITY mine \"M\">]>"
                        "<rss><channel><title>T</title><item><title>&nbsp;&mine;</title></item></channel></rss>",
                        &feed));
  ASSERT_EQ(feed.items.size(), 1u);
  EXPECT_EQ(feed.items[0].title, "NBM");
}

TEST(FeedParser, C1ControlsAreTheirWindows1252Characters) {
  // UTF-8 that carries C1 controls, and bytes declared Latin-1.
  EXPECT_EQ(OneItem("<title>don\xC2\x92t \xC2\x93q\xC2\x94 \xC2\x80 5\xC2\x81</title>").title,
            "don\xE2\x80\x99t \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC 5");
  EXPECT_EQ(OneItem("<title>don\x92t</title>", "<?xml version='1.0' encoding='iso-8859-1'?>").title,
            "don\xE2\x80\x99t");
}

TEST(FeedParser, Windows1252LosesNothingAtAnUndefinedByte) {
  // 0x81 and 0x8D mean nothing in Windows-1252; the items after them still
  // count, and nothing of them reaches the server's log.
  for (const char* prolog : {"", "<?xml version='1.0' encoding='Windows-1252'?>", "<?xml encoding=\"cp1252\" ?>"}) {
    Feed feed;
    testing::internal::CaptureStderr();
    bool parsed = ParseFeed(std::string(prolog) + "<rss><channel><title>T\x81</title>"
                            "<item><title>caf\xE9 \x8D\x93q\x94</title></item>"
                            "<item><title>second</title></item></channel></rss>",
                            &feed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << prolog;
    ASSERT_TRUE(parsed) << prolog;
    EXPECT_EQ(feed.title, "T") << prolog;
    ASSERT_EQ(feed.items.size(), 2u) << prolog;
    EXPECT_EQ(feed.items[0].title, "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D") << prolog;
    EXPECT_EQ(feed.items[1].title, "second") << prolog;
  }
}

TEST(FeedParser, AtomEntriesInheritTheFeedAuthor) {
  Feed feed;
  ASSERT_TRUE(ParseFeed("<feed xmlns='http://www.w3.org/2005/Atom'><title>T</title><author><name>Feed Ann</name></author>"
                        "<entry><title>Own</title><id>1</id><author><name>Bob</name></author></entry>"
                        "<entry><title>Inherits</title><id>2</id></entry>"
                        "<entry><title>Source</title><id>3</id><source><author><name>Cy</name></author></source></entry>"
                        "<entry><title type='text'>a &lt; b &amp; c</title><id>4</id></entry>"
                        "</feed>",
                        &feed));
  ASSERT_EQ(feed.items.size(), 4u);
  EXPECT_EQ(feed.items[0].author, "Bob");
  EXPECT_EQ(feed.items[1].author, "Feed Ann");
  EXPECT_EQ(feed.items[2].author, "Cy");
  EXPECT_EQ(feed.items[3].author, "Feed Ann");
  // Atom text is plain: the device, which reads markup, gets it escaped.
  EXPECT_EQ(feed.items[3].title, "a &lt; b &amp; c");
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
      {"Mon, 7 Dec 2026 03:00:00 EST", 1796630400},
      {"07 Dec 2026 00:00:00 PST", 1796630400},
      {"Mon, 07 Dec 26 08:00 GMT", 1796630400},          // two-digit year, no seconds
      {"Monday, 07-Dec-2026 08:00:00 UT", 1796630400},
      {"07 Dec 2026 08:00:00 Z", 1796630400},
      {"7 Dec 2026 10:00:00 CEST", 1796630400},
      {"07 Dec 2026 08:00:00 GMT+0000", 1796630400},
      {"December 7, 2026 8:00 AM GMT", 1796630400},
      {"Dec 7, 2026 3:00 AM EST", 1796630400},
      {"03 Apr 02 1500 GMT", 1017846000},                  // a time without a colon
      {"2026-12-07T08:00:00Z", 1796630400},
      {"2026-12-07T10:00:00+02:00", 1796630400},
      {"2026-12-07T10:00:00.125+0200", 1796630400},
      {"2026-12-07 08:00:00", 1796630400},
      {"2026-12-07T08:00Z", 1796630400},
      {"20261207T080000Z", 1796630400},
      {"2026-12-07", 1796601600},
      {"2020/1/10 14:33:00", 1578666780},                  // slashed
      {"2020/01/10", 1578614400},
      {"10.01.2020 14:33", 1578666780},                    // dotted, day first
      {"1/10/2020 2:33 PM", 1578666780},                   // month first
      {"mer, 16 nov 2022 10:00:00 +0000", 1668592800},
      {"Seg, 16 Set 2019 10:00:00 -0300", 1568638800},
      {"mar, 16 nov 2022 10:00:00 +0000", 1668592800},     // "mar," is a day here
      {"16 juil. 2022 10:00:00 +0000", 1657965600},
      {"yesterday", 0},
      {"", 0},
      {"32 Dec 2026 10:00:00 GMT", 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseFeedDate(c.text), c.expect);
  }
  // Shown as UTC; an item the server cannot date shows the text as written.
  EXPECT_EQ(OneItem("<title>x</title><pubDate>2020/1/10 14:33:00</pubDate>").date, "2020-01-10 14:33");
  FeedItem odd = OneItem("<title>x</title><pubDate>the day after</pubDate>");
  EXPECT_EQ(odd.time, 0);
  EXPECT_EQ(odd.date, "the day after");
}

TEST(DeviceText, EachCodePageGetsItsLettersAndTransliterationForTheRest) {
  struct {
    const char* lang;
    const char* utf8;
    const char* expect;
  } cases[] = {
      {"RUS", "\xD0\xA6\xD0\xB8\xD1\x82\xD0\xB0\xD1\x82\xD0\xB0 #17703", "\xD6\xE8\xF2\xE0\xF2\xE0 #17703"},
      {"ENU", "\xD0\xA6\xD0\xB8\xD1\x82\xD0\xB0\xD1\x82\xD0\xB0 #17703", "Citata #17703"},
      {"ELL", "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1", "\xC5\xEB\xEB\xDC\xE4\xE1"},
      {"PLK", "\xC5\x81\xC3\xB3\x64\xC5\xBA", "\xA3\xF3" "d\x9F"},
      {"DEU", "\xC5\x81\xC3\xB3\x64\xC5\xBA", "L\xF3" "dz"},
      {"TRK", "\xC4\xB0stanbul \xC5\x9F", "\xDDstanbul \xFE"},
      {"HEB", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "\xF9\xEC\xE5\xED"},
      {"LTH", "\xC5\xA0iauliai", "\xD0iauliai"},
      {"ARA", "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7", "\xE3\xD1\xCD\xC8\xC7"},
      {"VIT", "\xE1\xBA\xBF", "\xEA\xEC"},  // e with circumflex and acute: base letter and a combining mark
      {"JPN", "\xE5\x8C\x97\xE4\xBA\xAC", "bei jing"},  // double-byte locales get Latin letters
      {"ENU", "\xE2\x82\xAC 5 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x88\x92 \xE2\x89\xA4 \xE2\x80\x8B|", "\x80 5 \x93q\x94 - <= |"},
      {"RUS", "caf\xC3\xA9 \xE2\x80\x94", "cafe \x97"},
      {"ENU", "bad \xFF byte", "bad \xFF byte"},  // not UTF-8: taken as Windows-1252
      {"", "\xC2\x92", "\x92"},                   // a C1 control: what it stands for
  };
  for (auto& c : cases) {
    SCOPED_TRACE(std::string(c.lang) + " " + c.utf8);
    int cp = CodePageOfLanguage(c.lang);
    std::string out = ToDeviceText(c.utf8, cp);
    EXPECT_EQ(out, c.expect);
  }
  EXPECT_EQ(CodePageOfLanguage("rus"), 1251);
  EXPECT_EQ(CodePageOfLanguage("XYZ"), 1252);
  EXPECT_EQ(CodePageOfLanguage("THA"), 874);
  // Markup: what transliteration brings never opens a tag or an entity.
  EXPECT_EQ(ToDeviceText("<b>\xE2\x89\xA4</b>", 1252, true), "<b>&lt;=</b>");
  // The device's own bytes back to UTF-8.
  EXPECT_EQ(FromDeviceText("\xD6\xE8\xF2", 1251), "\xD0\xA6\xD0\xB8\xD1\x82");
  EXPECT_EQ(FromDeviceText("caf\xE9", 1252), "caf\xC3\xA9");
}

TEST(DeviceText, CutNeverSplitsATagOrAnEntity) {
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
