#include "feedpane/display_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feed_texts.h"

namespace feedpane {
namespace {

struct Case {
  const char* name;
  const char* in;
  const char* out;
};

std::string Article(std::string text) {
  CleanArticleText(&text);
  return text;
}
std::string Title(std::string text) {
  CleanTitle(&text);
  return text;
}

TEST(DisplayTextTest, ArticleText) {
  const Case cases[] = {
      {"paragraphs on lines of their own", "<p>One.</p>\n<p>Two.</p>\n", "One.\r\n\r\nTwo."},
      {"a break whose tag had no room", "First.<p>Second.", "First.\r\n\r\nSecond."},
      {"raw line ends in HTML are spaces", "<p>one\nline</p>", "one line"},
      {"raw line ends in plain text stay", "one\ntwo\n\n\n\nthree", "one\r\ntwo\r\n\r\nthree"},
      {"spaces around breaks go", "a   <br>   b", "a\r\nb"},
      {"runs of spaces are one", "a  \t  b", "a b"},
      {"leading white space goes", "\n\n  <p>Text", "Text"},
      {"Latin-1 letters", "caf&eacute; &Agrave; la cr&egrave;me", "caf\xE9 \xC0 la cr\xE8me"},
      {"hex and wide references", "&#xE9;&#x2019;&#x20AC;&#1488;&#X41;", "\xE9\x92\x80?A"},
      {"CleanText's table first", "&euro; &#8217; &ouml;", "? \x92 \xF6"},
      {"references need their semicolon", "AT&T &eacute &#233", "AT&T &eacute &#233"},
      {"unknown names stay", "&nosuch; &#0; &#x110000;", "&nosuch; &#0; &#x110000;"},
      {"double-escaped", "caf&amp;eacute; l&amp;#39;ora", "caf\xE9 l'ora"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string(c.out), Article(c.in)) << c.name;
}

TEST(DisplayTextTest, Titles) {
  const Case cases[] = {
      {"wrapped in white space", "\n    A title\n  ", "A title"},
      {"breaks become spaces", "Line one<br>line two", "Line one line two"},
      {"entities", "Caf&eacute; &amp; bar&#8217;s", "Caf\xE9 & bar\x92s"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string(c.out), Title(c.in)) << c.name;
}

// Every text of the sample feeds: no empty line twice in a row, no space
// at a line's ends, titles on one line and never longer.
TEST(DisplayTextTest, RealFeeds) {
  int files = 0;
  std::vector<std::string> texts = testing::FeedTexts(std::string(TIDELARK_SHARED_DATA) + "/feeds", &files);
  ASSERT_GE(files, 20);
  ASSERT_GT(texts.size(), 1000u);
  for (const std::string& raw : texts) {
    std::string text = Article(raw);
    EXPECT_EQ(std::string::npos, text.find("\r\n\r\n\r\n")) << raw.substr(0, 200);
    EXPECT_EQ(std::string::npos, text.find(" \r\n")) << raw.substr(0, 200);
    EXPECT_EQ(std::string::npos, text.find("\r\n ")) << raw.substr(0, 200);
    EXPECT_EQ(std::string::npos, text.find("  ")) << raw.substr(0, 200);
    std::string title = Title(raw);
    ASSERT_LE(title.size(), raw.size());
    EXPECT_EQ(std::string::npos, title.find_first_of("\r\n\t")) << raw.substr(0, 200);
    if (!title.empty()) {
      EXPECT_NE(' ', title.front());
      EXPECT_NE(' ', title.back());
    }
  }
}

}  // namespace
}  // namespace feedpane
