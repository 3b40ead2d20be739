// The pure parts: calendar arithmetic and the server's texts.
#include <gtest/gtest.h>

#include "ad_texts.h"
#include "dates.h"
#include "ring.h"

namespace pyra {
namespace {

// A string literal with its embedded zero bytes.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

TEST(Dates, DueDatesCarryIntoNextMonthAndYear) {
  struct Case {
    Date base;
    int days;
    Date due;
  } cases[] = {
      {{2006, 12, 25}, 14, {2007, 1, 8}},   // into the next year
      {{2008, 2, 20}, 14, {2008, 3, 5}},    // February of a year divisible by 4
      {{2007, 2, 20}, 14, {2007, 3, 6}},    // and of one that is not
      {{2007, 1, 30}, 3, {2007, 2, 2}},     // a never-synced host
      {{2007, 4, 20}, 14, {2007, 5, 4}},    // a 30-day month
      {{2007, 5, 1}, 14, {2007, 5, 15}},    // no carry
      {{2007, 5, 17}, 14, {2007, 5, 31}},   // the last day stays in the month
  };
  for (const Case& c : cases) {
    Date due = AddDaysOnce(c.base, c.days);
    EXPECT_EQ(0, CompareDates(due, c.due)) << DateText(c.base) << " + " << c.days << " gave " << DateText(due);
  }
}

TEST(Dates, ValidityAndOrder) {
  EXPECT_TRUE(ValidDate({2008, 2, 29}));
  EXPECT_FALSE(ValidDate({2007, 2, 29}));
  EXPECT_FALSE(ValidDate({2007, 13, 1}));
  EXPECT_FALSE(ValidDate({2007, 0, 1}));
  EXPECT_FALSE(ValidDate({2007, 4, 31}));
  EXPECT_FALSE(ValidDate({2007, 4, 0}));
  EXPECT_LT(CompareDates({2006, 12, 31}, {2007, 1, 1}), 0);
  EXPECT_GT(CompareDates({2007, 2, 1}, {2007, 1, 31}), 0);
  EXPECT_EQ(20070108, DateNumber({2007, 1, 8}));
  EXPECT_EQ("20070108", DateText({2007, 1, 8}));
}

TEST(Dates, FileTimes) {
  // 2000-01-01 00:00:00 UTC as a file time, a known constant.
  const std::uint64_t y2k = 125911584000000000ull;
  DateTime t = FromFileTime(y2k);
  EXPECT_EQ(2000, t.date.year);
  EXPECT_EQ(1, t.date.month);
  EXPECT_EQ(1, t.date.day);
  EXPECT_EQ(0, t.hour);
  EXPECT_EQ(y2k, ToFileTime(t));
  EXPECT_EQ(0, SecondsSince2000(y2k));
  EXPECT_EQ(86400 + 3661, SecondsSince2000(y2k + (86400ull + 3661) * kFileTimeTicksPerSecond));

  DateTime leap;
  leap.date = {2008, 2, 29};
  leap.hour = 23;
  leap.minute = 59;
  leap.second = 58;
  DateTime back = FromFileTime(ToFileTime(leap));
  EXPECT_EQ(0, CompareDates(leap.date, back.date));
  EXPECT_EQ(23, back.hour);
  EXPECT_EQ(59, back.minute);
  EXPECT_EQ(58, back.second);
  // The hour count grows across midnight, where the hour of the day falls back.
  EXPECT_EQ(HourStamp(ToFileTime(leap)) + 1, HourStamp(ToFileTime(leap) + 3600 * kFileTimeTicksPerSecond));
}

TEST(AdTexts, AdSpaceLists) {
  struct Case {
    const char* list;
    int space;
    bool listed;
  } cases[] = {
      {"143,43", 43, true}, {"143", 43, false}, {"43,7", 43, true},  {"7,43", 43, true},
      {"43", 43, true},     {"", 43, false},    {"4,3", 43, false},  {"43 ,7", 43, false},
      {" 43", 43, false},   {"43,", 43, true},  {",43", 43, true},   {"430", 43, false},
      {"", -1, true},       {"7", -1, true},    {"-5", -5, true},    {"1,2,3,43", 43, true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.listed, AdSpaceListed(c.list, c.space)) << '"' << c.list << "\" " << c.space;
}

TEST(AdTexts, Expiry) {
  EXPECT_FALSE(ExpiryPassed("20240514", "20240514"));  // the last day is still a day
  EXPECT_TRUE(ExpiryPassed("20240515", "20240514"));
  EXPECT_FALSE(ExpiryPassed("20240514", "99991231"));
  EXPECT_EQ(20240514, ExpiryNumber("20240514"));
  EXPECT_EQ(0, ExpiryNumber("soon"));
  EXPECT_EQ(2024, ExpiryNumber("2024-05-14"));
  EXPECT_EQ(INT32_MAX, ExpiryNumber("99999999999999999999"));
}

TEST(AdTexts, KeywordWords) {
  using V = std::vector<std::string>;
  EXPECT_EQ(V({"motorsport/cars"}), SplitKeywords("motorsport/cars"));
  EXPECT_EQ(V({"boats", "cars"}), SplitKeywords("boats cars"));
  EXPECT_EQ(V({"boats", "", "cars"}), SplitKeywords("boats  cars"));
  EXPECT_EQ(V({"", "boats"}), SplitKeywords(" boats"));
  EXPECT_EQ(V({"boats", ""}), SplitKeywords("boats "));
}

TEST(AdTexts, ImageMaps) {
  std::vector<ImageMapEntry> entries;
  const std::string two = Bytes("Part 1\0Data\0a\0b\0c\0Part 2\0Content\0\0\0\0\0");
  ASSERT_TRUE(ParseImageMap(two, &entries));
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("Part 1", entries[0].object);
  EXPECT_EQ("Data", entries[0].property);
  EXPECT_EQ("Part 2", entries[1].object);
  EXPECT_EQ("Content", entries[1].property);

  EXPECT_TRUE(ParseImageMap(std::string(1, '\0'), &entries));
  EXPECT_TRUE(entries.empty());
  // Bytes that end before the list does, four strings per entry, an empty property.
  EXPECT_FALSE(ParseImageMap(two.substr(0, 20), &entries));
  EXPECT_FALSE(ParseImageMap(Bytes("Part 1\0Data\0a\0b\0"), &entries));
  EXPECT_FALSE(ParseImageMap(Bytes("Part 1\0\0a\0b\0c\0\0"), &entries));
  EXPECT_FALSE(ParseImageMap("", &entries));
}

TEST(AdTexts, AdSpaceIdLists) {
  std::vector<std::int32_t> list = {43};
  MergeAdSpaces(&list, {43, 50});
  EXPECT_EQ((std::vector<std::int32_t>{43, 50}), list);
  EXPECT_EQ("43;50", JoinAdSpaces(list));
  EXPECT_EQ("", JoinAdSpaces({}));
  EXPECT_EQ(list, AdSpacesFromBlob(AdSpacesToBlob(list)));
  EXPECT_EQ(list, AdSpacesFromBlob(AdSpacesToBlob(list) + "xy"));  // a torn tail is ignored

  list = {7, 43, 44, 9};
  RemoveAdSpace(&list, 43);  // the last entry moves into the freed place
  EXPECT_EQ((std::vector<std::int32_t>{7, 9, 44}), list);
  RemoveAdSpace(&list, 100);
  EXPECT_EQ(3u, list.size());
}

TEST(AdTexts, AdIdFromObjectName) {
  std::int32_t id = 0;
  EXPECT_TRUE(NumberAfterSpace("Ad 101", &id));
  EXPECT_EQ(101, id);
  EXPECT_TRUE(NumberAfterSpace("Ad 7 summer", &id));
  EXPECT_EQ(7, id);
  EXPECT_FALSE(NumberAfterSpace("Ad101", &id));
  EXPECT_FALSE(NumberAfterSpace("Ad summer", &id));
  EXPECT_FALSE(NumberAfterSpace("Ad ", &id));
}

TEST(Ring, RandomJumpFollowsTheSeed) {
  // The first rand() after srand(seed) of the platform's generator.
  EXPECT_EQ(41u, FirstRandom(1));
  EXPECT_EQ(38u, FirstRandom(0));
  EXPECT_EQ(1u, FirstRandom(1) % 10);
  EXPECT_EQ(5u, FirstRandom(2) % 10);
}

}  // namespace
}  // namespace pyra
