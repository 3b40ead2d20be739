// The skin's files agree with its table: every GIF under resources/skin is a
// row and every row has its GIF, of the size and with the colour key the row
// says; the identifier header and the resource script name every row once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "resources/skin_ids.h"
#include "skin_table.h"

namespace {

namespace fs = std::filesystem;
using skin_test::SkinEntry;

const std::string kSkin = std::string(TIDELARK_SOURCE_DIR) + "/resources/skin";
const std::string kHeader = std::string(TIDELARK_SOURCE_DIR) + "/resources/include/resources/skin_ids.h";

std::vector<SkinEntry> Table() {
  return skin_test::ParseSkinTable(skin_test::ReadFileBytes(kSkin + "/README.md"));
}

std::string GifPath(int id) { return kSkin + "/gif/" + std::to_string(id) + ".gif"; }

// The match groups of every line of a text that matches the pattern.
std::vector<std::vector<std::string>> MatchingLines(const std::string& text, const std::regex& pattern) {
  std::vector<std::vector<std::string>> out;
  std::istringstream in(text);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, pattern)) out.emplace_back(m.begin(), m.end());
  }
  return out;
}

TEST(SkinFiles, TableListsEveryPictureOnceInTheRanges) {
  std::vector<SkinEntry> table = Table();
  ASSERT_EQ(table.size(), size_t(skin_test::kPictureCount));
  std::set<int> ids;
  std::set<std::string> names;
  for (const SkinEntry& e : table) {
    EXPECT_TRUE(skin_test::InSkinRanges(e.id)) << e.id;
    EXPECT_TRUE(ids.insert(e.id).second) << "twice: " << e.id;
    EXPECT_TRUE(names.insert(e.name).second) << "twice: " << e.name;
  }
}

TEST(SkinFiles, EveryGifIsARowAndEveryRowHasItsGif) {
  std::set<int> rows;
  for (const SkinEntry& e : Table()) rows.insert(e.id);
  ASSERT_FALSE(rows.empty());
  std::set<int> files;
  const std::regex picture(R"((\d+)\.gif)");
  for (const fs::directory_entry& f : fs::recursive_directory_iterator(kSkin)) {
    std::string name = f.path().filename().string();
    std::string ext = f.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext != ".gif") continue;
    std::smatch m;
    if (f.path().parent_path() != fs::path(kSkin + "/gif") || !std::regex_match(name, m, picture)) {
      ADD_FAILURE() << "a GIF outside the table's naming: " << f.path();
      continue;
    }
    files.insert(std::stoi(m[1]));
  }
  for (int id : rows) EXPECT_TRUE(files.count(id)) << "row without a GIF: " << id;
  for (int id : files) EXPECT_TRUE(rows.count(id)) << "GIF without a row: " << id;
}

TEST(SkinFiles, EachGifHasTheSizeAndColourKeyOfItsRow) {
  std::vector<SkinEntry> table = Table();
  ASSERT_FALSE(table.empty());
  for (const SkinEntry& e : table) {
    skin_test::GifHeader h;
    ASSERT_TRUE(skin_test::ParseGifHeader(skin_test::ReadFileBytes(GifPath(e.id)), &h)) << e.id;
    EXPECT_EQ(h.width, e.width) << e.id;
    EXPECT_EQ(h.height, e.height) << e.id;
    bool has_key = std::count(h.palette.begin(), h.palette.end(), skin_test::kKeyColour) > 0;
    EXPECT_EQ(has_key, e.keyed) << e.id << (e.keyed ? ": keyed without the key" : ": unkeyed with the key");
    // The toolkit draws the key itself; a decoder may turn a transparent index into any colour.
    EXPECT_FALSE(h.marks_transparent) << e.id;
  }
}

TEST(SkinFiles, HeaderNamesEveryRowWithItsIdentifier) {
  std::map<std::string, int> header;
  for (const auto& m : MatchingLines(skin_test::ReadFileBytes(kHeader), std::regex(R"(#define (IDG_\w+) +(\d+))")))
    EXPECT_TRUE(header.emplace(m[1], std::stoi(m[2])).second) << "defined twice: " << m[1];
  std::vector<SkinEntry> table = Table();
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(header.size(), table.size());
  for (const SkinEntry& e : table) {
    auto it = header.find(e.name);
    ASSERT_NE(it, header.end()) << "not in the header: " << e.name;
    EXPECT_EQ(it->second, e.id) << e.name;
  }
  EXPECT_EQ(IDG_COLOUR_KEY, 0x00FF00FF) << "RGB(255, 0, 255) as a COLORREF";
}

TEST(SkinFiles, ResourceScriptCarriesEveryRowOnce) {
  auto entries = MatchingLines(skin_test::ReadFileBytes(kSkin + "/skin.rc"),
                               std::regex(R"((IDG_\w+) +GIF +"skin/gif/(\d+)\.gif")"));
  std::map<std::string, int> table;
  for (const SkinEntry& e : Table()) table[e.name] = e.id;
  ASSERT_FALSE(table.empty());
  std::set<std::string> seen;
  for (const auto& m : entries) {
    EXPECT_TRUE(seen.insert(m[1]).second) << "twice: " << m[1];
    ASSERT_TRUE(table.count(m[1])) << "not in the table: " << m[1];
    EXPECT_EQ(table[m[1]], std::stoi(m[2])) << m[1] << " names another picture's file";
  }
  EXPECT_EQ(seen.size(), table.size());
}

// The screens ask for these pictures by number; a skin library replaces them by the same number.
TEST(SkinIds, NumbersTheScreensUseStayFixed) {
  const std::pair<int, int> fixed[] = {
      {IDG_BAR_CHANNELS, 101}, {IDG_BAR_CHANNELS_PRESSED, 102}, {IDG_BAR_ADD, 105}, {IDG_BAR_ADD_PRESSED, 106},
      {IDG_BAR_ALERTS, 111}, {IDG_BAR_ALERTS_PRESSED, 112}, {IDG_BAR_OPTIONS, 113}, {IDG_BAR_OPTIONS_PRESSED, 114},
      {IDG_BAR_SYNC, 115}, {IDG_BAR_SYNC_PRESSED, 116}, {IDG_BAR_HELP, 117}, {IDG_BAR_HELP_PRESSED, 118},
      {IDG_DECO_HEADER_LEFT, 119}, {IDG_DECO_HEADER_RIGHT, 120}, {IDG_DECO_HEADER_FILL, 123},
      {IDG_DECO_BOTTOM_FILL, 124}, {IDG_DECO_BORDER_LEFT, 125}, {IDG_DECO_BORDER_RIGHT, 126},
      {IDG_BAR_BACK, 127}, {IDG_BAR_BACK_PRESSED, 128}, {IDG_BAR_FORWARD, 129}, {IDG_BAR_FORWARD_PRESSED, 130},
      {IDG_BAR_PANEL, 132}, {IDG_BAR_PANEL_PRESSED, 133}, {IDG_BAR_ALERTS_NEW, 226},
      {IDG_HELP_FAQ_ICON, 134}, {IDG_HELP_FAQ_ICON_PRESSED, 135}, {IDG_HELP_MANUAL_ICON, 136},
      {IDG_HELP_MANUAL_ICON_PRESSED, 138}, {IDG_HELP_ABOUT_ICON, 139}, {IDG_HELP_ABOUT_ICON_PRESSED, 140},
      {IDG_HELP_ABOUT_LIST, 191}, {IDG_HELP_ABOUT_LIST_PRESSED, 192}, {IDG_HELP_FAQ_LIST, 193},
      {IDG_HELP_FAQ_LIST_PRESSED, 194}, {IDG_HELP_MANUAL_LIST, 195}, {IDG_HELP_MANUAL_LIST_PRESSED, 196},
      {IDG_OPT_ALERTS_ICON, 143}, {IDG_OPT_ALERTS_ICON_PRESSED, 144}, {IDG_OPT_ADD_ICON, 147},
      {IDG_OPT_ADD_ICON_PRESSED, 148}, {IDG_OPT_SYNC_SETTINGS_ICON, 149}, {IDG_OPT_SYNC_SETTINGS_ICON_PRESSED, 150},
      {IDG_OPT_SHARE_ICON, 151}, {IDG_OPT_SHARE_ICON_PRESSED, 152}, {IDG_OPT_ALERT_SETTINGS_ICON, 253},
      {IDG_OPT_ALERT_SETTINGS_ICON_PRESSED, 254}, {IDG_OPT_ALERTS_LIST, 201}, {IDG_OPT_ALERTS_LIST_PRESSED, 202},
      {IDG_OPT_ADD_LIST, 211}, {IDG_OPT_ADD_LIST_PRESSED, 212}, {IDG_OPT_SYNC_SETTINGS_LIST, 213},
      {IDG_OPT_SYNC_SETTINGS_LIST_PRESSED, 214}, {IDG_OPT_ALERT_SETTINGS_LIST, 249},
      {IDG_OPT_ALERT_SETTINGS_LIST_PRESSED, 250}, {IDG_OPT_DELETE_LIST, 271}, {IDG_OPT_DELETE_LIST_PRESSED, 272},
      {IDG_OPT_SHARE_LIST, 273}, {IDG_OPT_SHARE_LIST_PRESSED, 274},
      {IDG_CHECK_ON, 154}, {IDG_CHECK_OFF, 156}, {IDG_CHECK_OFF_DISABLED, 238}, {IDG_RADIO_OFF, 159},
      {IDG_RADIO_ON, 160}, {IDG_PLAY, 235}, {IDG_PLAY_PRESSED, 237}, {IDG_PLAY_DISABLED, 268},
      {IDG_SPLASH_PORTRAIT, 175}, {IDG_SPLASH_SQUARE, 176}, {IDG_SPLASH_LANDSCAPE, 177},
      {IDG_LOGO_ABOUT, 275}, {IDG_LOGO_ADS, 161}, {IDG_CHANNEL_DEFAULT, 225},
  };
  for (const auto& f : fixed) EXPECT_EQ(f.first, f.second);
}

}  // namespace
