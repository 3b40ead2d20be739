// The shipped packs: both compile, have the same shape, and hold every text
// a screen asks for.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "lang/localization.h"
#include "lang/pack_file.h"
#include "lang/pack_source.h"
#include "platform/os.h"

namespace {

// Every screen number that a screen, message box or menu shows.
const int kUsed[] = {
    1,   3,   4,   5,   6,   8,   9,   10,  11,  12,  13,  16,  17,  20,  21,  27,  28,  29,  30,  34,
    38,  39,  41,  42,  43,  44,  45,  46,  47,  48,  49,  50,  52,  53,  54,  55,  56,  57,  58,  59,
    60,  61,  62,  63,  66,  69,  70,  71,  73,  74,  75,  76,  77,  78,  79,  92,  93,  94,  96,  97,
    98,  99,  100, 101, 102, 103, 104, 106, 107, 108, 109, 110, 111, 112, 113, 115, 117, 118, 119, 124,
    125, 129, 132, 138, 139, 140, 143, 151, 152, 154, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164,
    165, 166, 167, 168, 170, 172, 173, 174, 175, 176, 179, 180, 181, 182, 183, 187, 188, 189, 190, 191,
    192, 193, 194, 195, 196, 197, 198, 199, 201, 202, 203, 204, 206, 207, 224, 225, 226, 235, 236, 237,
    238, 239, 241, 242, 243, 245, 247, 250, 251, 252, 253, 254, 255, 256, 257, 258, 259, 260,
};

struct Source {
  const char* file;
  const char* code;
};
const Source kSources[] = {{"en.txt", "EN"}, {"de.txt", "DE"}};

lang::PackData Parse(const char* file) {
  std::string text;
  EXPECT_EQ(platform::os::ReadWholeFile(std::string(TIDELARK_SOURCE_DIR) + "/resources/lang/" + file, &text), 0);
  lang::PackData pack;
  std::string error;
  EXPECT_TRUE(lang::ParsePackSource(text, &pack, &error)) << file << ": " << error;
  return pack;
}

const std::u16string& Text(const lang::PackData& pack, int number) {
  static const std::u16string empty;
  std::int64_t index = static_cast<std::int64_t>(number) + 9999 - pack.first_id;
  if (index < 0 || index >= static_cast<std::int64_t>(pack.texts.size())) return empty;
  return pack.texts[static_cast<std::size_t>(index)];
}

TEST(PacksTest, BothCompileWithTheSameShape) {
  lang::PackData en = Parse("en.txt"), de = Parse("de.txt");
  EXPECT_EQ(en.first_id, 10000);
  EXPECT_EQ(en.first_id, de.first_id);
  EXPECT_EQ(en.texts.size(), de.texts.size());
  for (const lang::PackData* pack : {&en, &de}) {
    std::string bytes = lang::EncodePack(*pack, 11);
    lang::PackData back;
    ASSERT_EQ(lang::DecodePack(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &back), 0);
    EXPECT_EQ(back.texts, pack->texts);
  }
}

TEST(PacksTest, EveryUsedNumberIsFilledAndWithinItsLimits) {
  for (const Source& source : kSources) {
    lang::PackData pack = Parse(source.file);
    for (int n : kUsed) EXPECT_FALSE(Text(pack, n).empty()) << source.file << " string " << n;
    EXPECT_EQ(Text(pack, 1), u"Tidelark") << source.file;
    EXPECT_EQ(platform::os::Utf16ToUtf8(Text(pack, 199)), source.code);
    for (int n : {3, 4, 97}) EXPECT_LE(Text(pack, n).size(), 9u) << source.file << " help label " << n;
    // 259 is a printf format with exactly three integer fields.
    std::string format = platform::os::Utf16ToUtf8(Text(pack, 259));
    int fields = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
      if (format[i] != '%') continue;
      ASSERT_LT(i + 1, format.size());
      EXPECT_EQ(format[i + 1], 'd') << source.file;
      ++fields;
      ++i;
    }
    EXPECT_EQ(fields, 3) << source.file;
    char out[512];
    std::snprintf(out, sizeof out, format.c_str(), 1, 2, 3);
    EXPECT_NE(std::strstr(out, "1.2.3"), nullptr) << out;
    // Numbers nobody uses stay empty.
    for (int n = 1; n <= 260; ++n) {
      bool used = false;
      for (int u : kUsed) used = used || u == n;
      if (!used) {
        EXPECT_TRUE(Text(pack, n).empty()) << source.file << " string " << n;
      }
    }
  }
}

TEST(PacksTest, BuiltPacksLoadUnderTheirProgramNames) {
  std::string dir;
  ASSERT_EQ(platform::os::MakeTempDirectory("packs", &dir), 0);
  if (dir.back() != platform::os::PathSeparator()) dir += platform::os::PathSeparator();
  for (const char* name : {"TidelarkEN.lnp", "TidelarkDE.lnp"}) {
    std::string bytes;
    ASSERT_EQ(platform::os::ReadWholeFile(std::string(TIDELARK_BIN_DIR) + "/" + name, &bytes), 0) << name;
    ASSERT_EQ(platform::os::WriteWholeFile(dir + name, bytes), 0);
  }
  platform::os::SetProgramDirectory(dir);
  CKorvelNewsLocalization loc(u"lang.ini", u"TidelarkEN.lnp", u"*.lnp");
  EXPECT_EQ(loc.pack()->last_load_status(), 0);
  EXPECT_EQ(loc.pack()->GetLanguageCount(), 2);
  for (const Source& source : kSources) {
    std::u16string name = u"Tidelark" + platform::os::Utf8ToUtf16(source.code);
    ASSERT_GE(loc.SetLanguage(name.c_str()), 0) << source.code;
    EXPECT_EQ(platform::os::Utf16ToUtf8(loc.GetString(199)), source.code);
    for (int n : kUsed) EXPECT_NE(loc.GetString(n)[0], 0) << source.code << " string " << n;
  }
  platform::os::RemoveTree(dir);
}

}  // namespace
