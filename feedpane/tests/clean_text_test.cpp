#include "feedpane/clean_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "feed_texts.h"

namespace feedpane {
namespace {

std::string Clean(std::string in) {
  std::vector<char> buf(in.begin(), in.end());
  buf.push_back('\0');
  // Guard bytes behind the terminator catch writes past the input.
  buf.insert(buf.end(), 8, '\x7f');
  CleanText(buf.data());
  for (std::size_t i = in.size() + 1; i < buf.size(); ++i) EXPECT_EQ(buf[i], '\x7f');
  return std::string(buf.data());
}

struct Case {
  const char* name;
  const char* in;
  const char* out;
};

const Case kCases[] = {
    {"ampersand entity", "fish &amp; chips", "fish & chips"},
    {"numeric 39", "it&#39;s", "it's"},
    {"numeric 255 kept", "a&#255;b", "a&#255;b"},
    {"numeric 0 kept", "a&#0;b", "a&#0;b"},
    {"numeric 8217 via table", "it&#8217;s", "it\x92s"},
    {"numeric 1 and 254", "&#1;&#254;", "\x01\xfe"},
    {"numeric leading zeros", "&#0065;", "A"},
    {"numeric five digits refused", "&#00065;", "&#00065;"},
    {"break in the middle", "a<br>b", "a\r\nb"},
    {"paragraph at start", "<p>Hello", "Hello"},
    {"three breaks in a row", "one<br><br><br>two", "one\r\n\r\ntwo"},
    {"paragraph at end", "end<p>", "end"},
    {"paragraph shortened to its room", "a<p>b", "a\r\n\rb"},
    {"paragraph with room", "a<b><p>b", "a\r\n\r\nb"},
    {"second paragraph after a short one", "a<p></p>b", "a\r\n\rb"},
    {"closing break tag", "a</p>b", "a\r\n\r\nb"},
    {"upper-case bold", "<B>bold</B> text", "bold text"},
    {"upper-case pre is a paragraph", "x<PRE>y", "x\r\n\r\ny"},
    {"hr is no break", "a<hr>b", "ab"},
    {"other tag resets the break count", "a<br><i><br>b", "a\r\n\r\nb"},
    {"comparison sign", "if a < b then c > d done", "if a  d done"},
    {"lone less-than", "a < b", "a < b"},
    {"tag running over another less-than", "a<b<c>d<e", "ad<e"},
    {"several less-than, one greater-than", "x<a <b <c >y<", "xy<"},
    {"break after a text greater-than", "a<p>b>c<br>d", "a\r\n\rb>c\r\nd"},
    {"notin", "x&notin;", "x\xacn;"},
    {"zero-width non-joiner", "a&zwnj;b", "ab"},
    {"trailing spaces and breaks", "text  \r\n <br> ", "text"},
    {"unknown entity", "a&bogus;b", "a&bogus;b"},
    {"entity name consumes any next char", "&ampx", "&"},
    {"entity at the very end", "a&amp", "a&"},
    {"euro as question mark", "5&euro;", "5?"},
    {"nbsp is a space", "a&nbsp;b", "a b"},
    {"empty tag name", "a<>b", "ab"},
    {"case-sensitive entities", "&OElig;&Dagger;", "?\x87"},
    {"empty", "", ""},
};

TEST(CleanTextTest, Table) {
  for (const Case& c : kCases) {
    EXPECT_EQ(Clean(c.in), std::string(c.out)) << c.name;
  }
}

TEST(CleanTextTest, NullIsLeftAlone) { CleanText(nullptr); }

TEST(CleanTextTest, ManyLessThanSignsWithoutGreaterThan) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "<a&amp;";
  std::string expected;
  for (int i = 0; i < 20000; ++i) expected += "<a&";
  EXPECT_EQ(Clean(text), expected);
}

TEST(CleanTextTest, RealFeedsCleanAndNeverGrow) {
  int files = 0;
  std::vector<std::string> texts = testing::FeedTexts(std::string(TIDELARK_SHARED_DATA) + "/feeds", &files);
  ASSERT_GE(files, 20);
  ASSERT_GT(texts.size(), 1000u);
  std::size_t changed = 0;
  for (const std::string& text : texts) {
    std::string cleaned = Clean(text);
    ASSERT_LE(cleaned.size(), std::strlen(text.c_str()));
    if (cleaned != text) ++changed;
    if (!cleaned.empty()) {
      char last = cleaned.back();
      EXPECT_TRUE(last != ' ' && last != '\r' && last != '\n') << text.substr(0, 200);
    }
  }
  EXPECT_GT(changed, texts.size() / 10);
}

}  // namespace
}  // namespace feedpane
