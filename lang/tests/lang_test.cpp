#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "lang/ansi.h"
#include "lang/language_pack.h"
#include "lang/localization.h"
#include "lang/pack_file.h"
#include "platform/os.h"

namespace {

using platform::os::Utf16ToUtf8;
using platform::os::Utf8ToUtf16;

lang::PackData MakePack(const std::u16string& name, std::int32_t first, std::vector<std::u16string> texts) {
  lang::PackData pack;
  pack.language_name = name;
  pack.extra = u"extra";
  pack.first_id = first;
  pack.texts = std::move(texts);
  return pack;
}

class LangTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::os::MakeTempDirectory("lang", &dir_), 0);
    if (dir_.back() != platform::os::PathSeparator()) dir_ += platform::os::PathSeparator();
    platform::os::SetProgramDirectory(dir_);
    lang::SetDeviceLanguageForTesting(u"English", true);
    english_ = MakePack(u"English", 10000, {u"Tidelark", u"Cancel", u"Sync ", u"Gr\u00fc\u00dfe \u20ac", u""});
    german_ = MakePack(u"Deutsch", 10000, {u"Tidelark", u"Abbrechen", u"Abgleich", u"Gr\u00fc\u00dfe", u"leer"});
    Write("TidelarkEN.lnp", english_, false);
    Write("TidelarkDE.lnp", german_, true);
  }
  void TearDown() override {
    lang::ResetDeviceLanguage();
    platform::os::RemoveTree(dir_);
  }
  std::string Path(const std::string& name) { return dir_ + name; }
  std::u16string Path16(const std::string& name) { return Utf8ToUtf16(dir_ + name); }
  void Write(const std::string& name, const lang::PackData& pack, bool gz, std::uint32_t seed = 7) {
    ASSERT_EQ(lang::WritePackFile(Path(name), lang::EncodePack(pack, seed), gz), 0);
  }
  void WriteRaw(const std::string& name, const std::string& bytes) {
    ASSERT_EQ(platform::os::WriteWholeFile(Path(name), bytes), 0);
  }
  void WriteSettings(const std::u16string& path) {
    std::string bytes;
    for (char16_t c : path + u'\0') {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    WriteRaw("lang.ini", bytes);
  }
  std::unique_ptr<CLanguagePack> English() {
    auto pack = std::make_unique<CLanguagePack>(Path16("TidelarkEN.lnp").c_str(), Path16("lang.ini").c_str());
    pack->ScanLanguages(Utf8ToUtf16(dir_).c_str(), u"*.lnp");
    return pack;
  }

  std::string dir_;
  lang::PackData english_, german_;
};

TEST_F(LangTest, PlainAndGzipLoadTheSameTexts) {
  Write("plain.lnp", german_, false, 1);
  Write("packed.lnp", german_, true, 2);
  lang::PackData a, b;
  ASSERT_EQ(lang::ReadPackFile(Path16("plain.lnp"), &a), 0);
  ASSERT_EQ(lang::ReadPackFile(Path16("packed.lnp"), &b), 0);
  EXPECT_EQ(a.texts, german_.texts);
  EXPECT_EQ(b.texts, german_.texts);
  EXPECT_EQ(a.language_name, u"Deutsch");
  EXPECT_EQ(a.extra, u"extra");
  EXPECT_EQ(a.lengths[1], 10u);  // "Abbrechen" and its terminator
  // Keys differ per string and per seed: the stored units are not the text.
  std::string one = lang::EncodePack(german_, 1), two = lang::EncodePack(german_, 2);
  EXPECT_NE(one, two);
  EXPECT_EQ(one.find("A\0b\0b\0", 0, 6), std::string::npos);
}

TEST_F(LangTest, LookupsByIdAndOutsideTheTable) {
  auto pack = English();
  EXPECT_EQ(pack->last_load_status(), 0);
  EXPECT_TRUE(pack->showing_base());
  EXPECT_EQ(std::u16string(pack->GetText(10001)), u"Cancel");
  EXPECT_EQ(std::u16string(pack->GetBaseText(10000)), u"Tidelark");
  EXPECT_EQ(std::u16string(pack->GetText(9999)), u"");
  EXPECT_EQ(std::u16string(pack->GetText(10005)), u"");
  EXPECT_EQ(std::u16string(pack->GetText(-2147483647 - 1)), u"");
  EXPECT_STREQ(pack->GetTextNarrow(10003), "Gr\xfc\xdf" "e \x80");
  EXPECT_EQ(pack->GetTextNarrow(10003), pack->GetTextNarrow(10003));  // converted once, cached
  EXPECT_STREQ(pack->GetTextNarrow(77), "");
  EXPECT_EQ(pack->first_id(), 10000);
  EXPECT_EQ(pack->entry_count(), 5u);
}

TEST_F(LangTest, MissingEnglishPackGivesEmptyTexts) {
  CLanguagePack pack(Path16("nothere.lnp").c_str(), Path16("lang.ini").c_str());
  EXPECT_EQ(pack.last_load_status(), lang::kPackCannotOpen);
  EXPECT_EQ(std::u16string(pack.GetText(10000)), u"");
  EXPECT_EQ(std::u16string(pack.Translate(u"Cancel")), u"Cancel");
}

TEST_F(LangTest, TranslateAndTranslateNarrow) {
  auto pack = English();
  ASSERT_GE(pack->SetLanguage(u"TidelarkDE"), 0);
  EXPECT_EQ(std::u16string(pack->GetText(10001)), u"Abbrechen");
  EXPECT_EQ(std::u16string(pack->Translate(u"Cancel")), u"Abbrechen");
  EXPECT_EQ(std::u16string(pack->Translate(u"Cancel ")), u"Abbrechen");
  // The base text itself ends with a space.
  EXPECT_EQ(std::u16string(pack->Translate(u"Sync")), u"Abgleich");
  EXPECT_EQ(std::u16string(pack->Translate(u"Sync ")), u"Abgleich");
  const char16_t* unknown = u"Nothing like it";
  EXPECT_EQ(pack->Translate(unknown), unknown);
  const char16_t* prefix = u"Canc";
  EXPECT_EQ(pack->Translate(prefix), prefix);
  EXPECT_STREQ(pack->TranslateNarrow("Cancel"), "Abbrechen");
  EXPECT_STREQ(pack->TranslateNarrow("Gr\xfc\xdf" "e \x80"), "Gr\xfc\xdf" "e");
  const char* narrow = "Cancel ";
  EXPECT_EQ(pack->TranslateNarrow(narrow), narrow);
}

TEST_F(LangTest, ListingNamesAndOrder) {
  Write("german.pack.lnp", german_, false);
  ASSERT_EQ(platform::os::MakeDirectories(Path("folder.lnp")), 0);
  WriteRaw("notes.txt", "x");
  auto pack = English();
  std::vector<std::string> found;
  ASSERT_EQ(platform::os::ListDirectory(dir_, &found), 0);
  std::vector<std::u16string> expected;
  for (const std::string& name : found) {
    if (name == "TidelarkEN.lnp") expected.insert(expected.begin(), u"TidelarkEN");
    if (name == "TidelarkDE.lnp") expected.insert(expected.begin(), u"TidelarkDE");
    if (name == "german.pack.lnp") expected.insert(expected.begin(), u"German");
  }
  ASSERT_EQ(pack->GetLanguageCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(std::u16string(pack->GetLanguageName(i)), expected[i]) << i;
  EXPECT_EQ(pack->GetLanguageName(3), nullptr);
  EXPECT_EQ(pack->GetLanguageName(-1), nullptr);
  EXPECT_EQ(pack->SelectLanguage(3), -1);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(pack->SelectLanguage(i), i);
    EXPECT_EQ(std::u16string(pack->GetText(10001)), expected[i] == u"TidelarkEN" ? u"Cancel" : u"Abbrechen");
  }
}

TEST_F(LangTest, SetLanguageRecordsTheChoice) {
  lang::SetDeviceLanguageForTesting(u"German", true);
  platform::os::RegistryDelete(platform::os::kLocalMachine, "SOFTWARE\\Korvel\\Lang", "Language");
  platform::os::RegistryDelete(platform::os::kLocalMachine, "SOFTWARE\\Korvel\\Lang", "LanguageName");
  EXPECT_EQ(lang::SelectedLanguage(), u"English");
  EXPECT_EQ(lang::RecordedDeviceLanguage(), u"English");
  auto pack = English();
  int index = pack->SetLanguage(u"TidelarkDE");
  ASSERT_GE(index, 0);
  EXPECT_EQ(std::u16string(pack->GetLanguageName(index)), u"TidelarkDE");
  EXPECT_EQ(pack->language_name(), u"Deutsch");
  std::uint32_t type = 0;
  std::string data;
  ASSERT_EQ(platform::os::RegistryRead(platform::os::kLocalMachine, "SOFTWARE\\Korvel\\Lang", "Language", &type, &data), 0);
  EXPECT_EQ(type, 7u);
  EXPECT_EQ(data, std::string("T\0i\0d\0e\0l\0a\0r\0k\0D\0E\0\0\0", 22));
  std::u16string device;
  ASSERT_TRUE(lang::ReadRegistryText(true, "SOFTWARE\\Korvel\\Lang", "LanguageName", &device));
  EXPECT_EQ(device, u"German");
  EXPECT_EQ(lang::SelectedLanguage(), u"TidelarkDE");
  EXPECT_EQ(lang::RecordedDeviceLanguage(), u"German");
  // Case matters; an unknown name leaves the display table alone.
  EXPECT_EQ(pack->SetLanguage(u"tidelarkde"), -1);
  EXPECT_EQ(std::u16string(pack->GetText(10001)), u"Abbrechen");
}

#ifndef _WIN32
// Natively the registry lives in files under the program folder; a plain
// file in its place makes every registry write fail.
TEST_F(LangTest, RegistryFailureLeavesTheDisplayTable) {
  std::string registry;
  if (platform::os::GetEnv("TIDELARK_REGISTRY", &registry) && !registry.empty()) GTEST_SKIP();
  auto pack = English();
  ASSERT_GE(pack->SetLanguage(u"TidelarkDE"), 0);
  platform::os::RemoveTree(Path("registry"));
  WriteRaw("registry", "not a folder");
  EXPECT_EQ(pack->SetLanguage(u"TidelarkEN"), -1);
  EXPECT_EQ(std::u16string(pack->GetText(10001)), u"Abbrechen");
}
#endif

TEST_F(LangTest, SettingsFileSelectsThePack) {
  WriteSettings(Path16("TidelarkDE.lnp"));
  auto pack = English();
  EXPECT_FALSE(pack->showing_base());
  EXPECT_EQ(std::u16string(pack->GetText(10001)), u"Abbrechen");
  EXPECT_EQ(std::u16string(pack->GetBaseText(10001)), u"Cancel");
}

TEST_F(LangTest, SettingsFileWithAnyBytes) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string path8 = Utf16ToUtf8(Path16("TidelarkDE.lnp"));
  std::string unterminated;
  for (char c : path8) unterminated += std::string{c, '\0'};
  std::string full(600, 'A');  // 520 bytes read: 260 units of U+4141, no terminator
  const Case cases[] = {
      {"empty", ""},
      {"odd length", std::string("\x41", 1)},
      {"garbage without terminator", full},
      {"path without terminator, odd tail", unterminated + "x"},
  };
  for (const Case& c : cases) {
    WriteRaw("lang.ini", c.bytes);
    auto pack = English();
    EXPECT_LE(pack->settings_pack_path().size(), 260u) << c.name;
    if (std::string(c.name).find("path") == 0) {
      EXPECT_EQ(std::u16string(pack->GetText(10001)), u"Abbrechen") << c.name;
    } else {
      EXPECT_TRUE(pack->showing_base()) << c.name;
      EXPECT_EQ(std::u16string(pack->GetText(10001)), u"Cancel") << c.name;
    }
  }
}

std::string PutU32(std::uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

TEST_F(LangTest, BadPacksAreRejectedAndThePreviousTableStays) {
  std::string good = lang::EncodePack(german_, 3);
  // Header: version, then the name string (key, length, units).
  std::string lying_name = PutU32(2) + PutU32(0) + PutU32(0x7FFFFFFF);
  std::string head = PutU32(2) + PutU32(0) + PutU32(1) + std::string(2, '\0') + PutU32(0) + PutU32(1) +
                     std::string(2, '\0');
  std::string lying_count = head + PutU32(0xFFFFFFFF) + PutU32(10000) + PutU32(0) + PutU32(1) + std::string(2, '\0');
  std::string lying_entry = head + PutU32(1) + PutU32(10000) + PutU32(0) + PutU32(1000) + std::string(4, '\0');
  std::string id_overflow = head + PutU32(2) + PutU32(0x7FFFFFFF) + std::string(20, '\0');
  lang::PackData other = german_;
  other.texts.pop_back();
  lang::PackData shifted = german_;
  shifted.first_id = 10001;

  struct Case {
    const char* name;
    std::string bytes;
    bool gz;
    int status;
  };
  const Case cases[] = {
      {"version 1", PutU32(1) + good.substr(4), false, lang::kPackBadVersion},
      {"version 3", PutU32(3) + good.substr(4), true, lang::kPackBadVersion},
      {"too short for a version", "\2", false, lang::kPackMalformed},
      {"name longer than the file", lying_name, false, lang::kPackMalformed},
      {"count larger than the file", lying_count, false, lang::kPackMalformed},
      {"entry longer than the file", lying_entry, true, lang::kPackMalformed},
      {"IDs past the largest", id_overflow, false, lang::kPackMalformed},
      {"truncated", good.substr(0, good.size() - 3), false, lang::kPackMalformed},
      {"other entry count", lang::EncodePack(other, 1), false, lang::kPackMismatch},
      {"other first ID", lang::EncodePack(shifted, 1), false, lang::kPackMismatch},
      {"gzip bomb", PutU32(2) + std::string(lang::kMaxPackBytes + 1, '\0'), true, lang::kPackTooLarge},
  };
  auto pack = English();
  ASSERT_GE(pack->SetLanguage(u"TidelarkDE"), 0);
  for (const Case& c : cases) {
    ASSERT_EQ(lang::WritePackFile(Path("Bad.lnp"), c.bytes, c.gz), 0);
    pack->ScanLanguages(Utf8ToUtf16(dir_).c_str(), u"Bad.lnp");
    ASSERT_EQ(pack->GetLanguageCount(), 1);
    EXPECT_EQ(pack->SelectLanguage(0), -1) << c.name;
    EXPECT_EQ(pack->last_load_status(), c.status) << c.name;
    EXPECT_EQ(std::u16string(pack->GetText(10001)), u"Abbrechen") << c.name;
    EXPECT_EQ(std::u16string(pack->GetBaseText(10001)), u"Cancel") << c.name;
    EXPECT_EQ(pack->language_name(), u"Deutsch") << c.name;
  }
}

TEST_F(LangTest, TextsEndAtTheirFirstZeroEvenWithoutOne) {
  std::string head = PutU32(2) + PutU32(0) + PutU32(1) + std::string(2, '\0') + PutU32(0) + PutU32(1) +
                     std::string(2, '\0');
  // Key 0x00010001 gives the mask 0: the units are stored as they are.
  std::string bytes = head + PutU32(3) + PutU32(500) +
                      PutU32(0x00010001) + PutU32(2) + std::string("a\0b\0", 4) +      // no terminator
                      PutU32(0x00010001) + PutU32(3) + std::string("x\0\0\0y\0", 6) +  // zero inside
                      PutU32(0x00050000) + PutU32(0);                                     // no units at all
  lang::PackData pack;
  ASSERT_EQ(lang::DecodePack(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &pack), 0);
  ASSERT_EQ(pack.texts.size(), 3u);
  EXPECT_EQ(pack.texts[0], u"ab");
  EXPECT_EQ(pack.texts[1], u"x");
  EXPECT_EQ(pack.texts[2], u"");
  EXPECT_EQ(pack.first_id, 500);
  EXPECT_EQ(pack.lengths[1], 3u);
}

TEST_F(LangTest, EveryTruncationIsRejected) {
  std::string good = lang::EncodePack(german_, 5);
  for (std::size_t n = 0; n < good.size(); ++n) {
    lang::PackData out;
    int status = lang::DecodePack(reinterpret_cast<const unsigned char*>(good.data()), n, &out);
    EXPECT_EQ(status, lang::kPackMalformed) << n;
  }
}

TEST_F(LangTest, ReadLanguageSetting) {
  auto pack = English();
  auto put = [](const char* value, const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text + u'\0') {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    ASSERT_EQ(platform::os::RegistryWrite(platform::os::kCurrentUser, "Software\\TidelarkTest", value,
                                          platform::os::kRegSz, bytes), 0);
  };
  put("a", u"1033");
  put("b", u"1026");
  put("c", u"French");
  put("d", std::u16string(300, u'x'));
  char16_t out[100];
  struct Case {
    const char16_t* value;
    bool found;
    std::u16string text;
  };
  const Case cases[] = {
      {u"a", true, u"English"},
      {u"b", true, u"Bulgarian"},
      {u"c", true, u"French"},
      {u"d", true, std::u16string(99, u'x')},
      {u"missing", false, u""},
  };
  for (const Case& c : cases) {
    for (char16_t& ch : out) ch = u'#';
    EXPECT_EQ(pack->ReadLanguageSetting(u"Software\\TidelarkTest", c.value, out), c.found);
    EXPECT_EQ(std::u16string(out), c.text);
  }
  platform::os::RegistryDelete(platform::os::kCurrentUser, "Software\\TidelarkTest", "a");
  platform::os::RegistryDelete(platform::os::kCurrentUser, "Software\\TidelarkTest", "b");
  platform::os::RegistryDelete(platform::os::kCurrentUser, "Software\\TidelarkTest", "c");
  platform::os::RegistryDelete(platform::os::kCurrentUser, "Software\\TidelarkTest", "d");
}

TEST_F(LangTest, LocalizationObjectAndStartUpChoice) {
  struct Case {
    const char16_t* device;
    bool available;
    const char16_t* pack;
    const char16_t* cancel;
  };
  const Case cases[] = {
      {u"English", true, u"TidelarkEN", u"Cancel"},
      {u"German", true, u"TidelarkDE", u"Abbrechen"},
      {u"French", true, u"TidelarkEN", u"Cancel"},
      {nullptr, false, u"TidelarkEN", u"Cancel"},
  };
  for (const Case& c : cases) {
    lang::SetDeviceLanguageForTesting(c.device, c.available);
    EXPECT_EQ(lang::StartUpLanguage(u"Tidelark"), c.pack);
    CKorvelNewsLocalization loc(u"lang.ini", u"TidelarkEN.lnp", u"*.lnp");
    EXPECT_EQ(loc.settings_path(), Path16("lang.ini"));
    EXPECT_GE(loc.SetLanguage(lang::StartUpLanguage(u"Tidelark").c_str()), 0);
    EXPECT_EQ(std::u16string(loc.GetString(2)), c.cancel);  // pack ID 10001
    EXPECT_EQ(std::u16string(loc.GetString(1)), u"Tidelark");
  }
  EXPECT_EQ(lang::ModuleBaseName("C:\\Program Files\\Tidelark.EXE"), u"Tidelark");
  EXPECT_EQ(lang::ModuleBaseName("/opt/bin/tidelark"), u"tidelark");
}

TEST(AnsiTest, Windows1252RoundTrip) {
  std::u16string wide = u"A\u00e9\u20ac\u2019\u0152\u4e2d";
  EXPECT_EQ(lang::WideToAnsi(wide), "A\xe9\x80\x92\x8c?");
  EXPECT_EQ(lang::AnsiToWide("A\xe9\x80\x92\x8c"), u"A\u00e9\u20ac\u2019\u0152");
}

}  // namespace
