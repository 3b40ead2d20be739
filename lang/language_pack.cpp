#include "lang/language_pack.h"

#include <zlib.h>

#include <cstring>

#include "lang/ansi.h"
#include "lang/pack_file.h"
#include "language_table.h"
#include "platform/os.h"

namespace lang {

const char kLangKey[] = "SOFTWARE\\Korvel\\Lang";
const char kLanguageValue[] = "Language";
const char kLanguageNameValue[] = "LanguageName";

std::size_t TranslateLength(const char16_t* text, std::size_t length) {
  if (length != 1 && length > 0 && text[length - 1] == u' ') --length;
  return length;
}

std::uint32_t TranslateKey(const char16_t* text, std::size_t length) {
  std::size_t n = TranslateLength(text, length);
  uLong crc = crc32(0L, Z_NULL, 0);
  return static_cast<std::uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(text), static_cast<uInt>(n)));
}

namespace {

const char16_t kEmptyWide[] = u"";
const char kEmptyNarrow[] = "";

std::size_t Length16(const char16_t* text) {
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

std::u16string Bounded(const std::u16string& text, std::size_t chars) {
  return text.size() < chars ? text : text.substr(0, chars - 1);
}

char16_t Upper(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 32);
  return c;
}

char16_t Lower(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
  return c;
}

// File-name pattern with "*" and "?", case-insensitive like the device's file search.
bool Matches(const char16_t* pattern, const char16_t* name) {
  if (*pattern == 0) return *name == 0;
  if (*pattern == u'*') {
    for (const char16_t* n = name;; ++n) {
      if (Matches(pattern + 1, n)) return true;
      if (*n == 0) return false;
    }
  }
  if (*name == 0) return false;
  if (*pattern != u'?' && Lower(*pattern) != Lower(*name)) return false;
  return Matches(pattern + 1, name + 1);
}

const char* Narrow(LanguageEntry* entry) {
  if (!entry->has_narrow) {
    entry->narrow = WideToAnsi(entry->text);
    entry->has_narrow = true;
  }
  return entry->narrow.c_str();
}

std::string Utf16Bytes(const std::u16string& text) {
  std::string bytes;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    char16_t c = i < text.size() ? text[i] : 0;
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::u16string FromUtf16Bytes(const std::string& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t c = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

}  // namespace

bool ReadRegistryText(bool local_machine, const char* key, const char* value, std::u16string* text) {
  std::uint32_t type = 0;
  std::string data;
  if (platform::os::RegistryRead(local_machine ? platform::os::kLocalMachine : platform::os::kCurrentUser, key,
                                 value, &type, &data) != 0) {
    return false;
  }
  *text = FromUtf16Bytes(data);
  return true;
}

}  // namespace lang

using lang::LanguageEntry;
using lang::LanguageTable;

CLanguagePack::CLanguagePack(const char16_t* english_pack_path, const char16_t* settings_path) {
  version_ = lang::kPackVersion;
  if (settings_path != nullptr) settings_path_ = lang::Bounded(settings_path, kPathChars);
  if (english_pack_path == nullptr || Load(english_pack_path, &base_) != lang::kPackOk) {
    // Without the English pack every lookup gives the empty text.
    base_ = std::make_unique<LanguageTable>();
  }
  if (settings_path_.empty()) return;
  platform::os::FileHandle file = platform::os::kInvalidFile;
  if (platform::os::OpenFile(platform::os::Utf16ToUtf8(settings_path_), platform::os::kOpenRead, &file) != 0) return;
  // Any 520 bytes: whole units only, up to the first zero.
  unsigned char raw[kSettingsBytes];
  std::size_t got = 0;
  int status = platform::os::ReadAt(file, 0, raw, sizeof raw, &got);
  platform::os::CloseFile(file);
  if (status != 0) return;
  settings_pack_path_ = lang::FromUtf16Bytes(std::string(reinterpret_cast<const char*>(raw), got));
  if (settings_pack_path_.empty()) return;
  LoadDisplay(settings_pack_path_);
}

CLanguagePack::~CLanguagePack() = default;

bool CLanguagePack::showing_base() const { return own_display_ == nullptr; }

int CLanguagePack::Load(const std::u16string& path, std::unique_ptr<LanguageTable>* out) {
  lang::PackData data;
  int status = lang::ReadPackFile(path, &data);
  if (status == lang::kPackOk && base_ != nullptr && !base_->entries.empty() &&
      (data.first_id != base_->first_id || data.texts.size() != base_->entries.size())) {
    // Lookups index both tables alike; a pack of another shape would misplace every text.
    status = lang::kPackMismatch;
  }
  last_load_status_ = status;
  if (status != lang::kPackOk) return status;
  auto table = std::make_unique<LanguageTable>();
  table->extra = std::move(data.extra);
  table->first_id = data.first_id;
  table->entries.resize(data.texts.size());
  for (std::size_t i = 0; i < data.texts.size(); ++i) {
    LanguageEntry& entry = table->entries[i];
    entry.text = std::move(data.texts[i]);
    entry.length = data.lengths[i];
    entry.crc = lang::TranslateKey(entry.text.c_str(), entry.text.size());
  }
  language_name_ = lang::Bounded(data.language_name, kPathChars);
  first_id_ = table->first_id;
  count_ = static_cast<std::uint32_t>(table->entries.size());
  *out = std::move(table);
  return lang::kPackOk;
}

bool CLanguagePack::LoadDisplay(const std::u16string& path) {
  std::unique_ptr<LanguageTable> table;
  if (Load(path, &table) != lang::kPackOk) return false;
  own_display_ = std::move(table);
  return true;
}

const char16_t* CLanguagePack::GetText(int id) {
  LanguageTable* table = own_display_ ? own_display_.get() : base_.get();
  LanguageEntry* entry = table->Find(id);
  return entry ? entry->text.c_str() : lang::kEmptyWide;
}

const char16_t* CLanguagePack::GetBaseText(int id) {
  LanguageEntry* entry = base_->Find(id);
  return entry ? entry->text.c_str() : lang::kEmptyWide;
}

const char* CLanguagePack::GetTextNarrow(int id) {
  LanguageTable* table = own_display_ ? own_display_.get() : base_.get();
  LanguageEntry* entry = table->Find(id);
  return entry ? lang::Narrow(entry) : lang::kEmptyNarrow;
}

const char16_t* CLanguagePack::Translate(const char16_t* text) {
  if (text == nullptr) return text;
  std::size_t length = lang::Length16(text);
  std::size_t n = lang::TranslateLength(text, length);
  std::uint32_t key = lang::TranslateKey(text, length);
  LanguageTable* display = own_display_ ? own_display_.get() : base_.get();
  for (std::size_t i = 0; i < base_->entries.size(); ++i) {
    const LanguageEntry& entry = base_->entries[i];
    if (entry.crc != key) continue;
    if (lang::TranslateLength(entry.text.c_str(), entry.text.size()) != n) continue;
    if (entry.text.compare(0, n, text, n) != 0) continue;
    return i < display->entries.size() ? display->entries[i].text.c_str() : entry.text.c_str();
  }
  return text;
}

const char* CLanguagePack::TranslateNarrow(const char* text) {
  if (text == nullptr) return text;
  LanguageTable* display = own_display_ ? own_display_.get() : base_.get();
  for (std::size_t i = 0; i < base_->entries.size(); ++i) {
    if (std::strcmp(lang::Narrow(&base_->entries[i]), text) != 0) continue;
    return i < display->entries.size() ? lang::Narrow(&display->entries[i]) : lang::Narrow(&base_->entries[i]);
  }
  return text;
}

void CLanguagePack::ScanLanguages(const char16_t* directory, const char16_t* pattern) {
  languages_.clear();
  if (directory == nullptr || pattern == nullptr) return;
  std::u16string dir = directory;
  std::vector<std::string> names;
  if (platform::os::ListDirectory(platform::os::Utf16ToUtf8(dir), &names) != 0) return;
  for (const std::string& utf8 : names) {
    std::u16string name = platform::os::Utf8ToUtf16(utf8);
    if (!lang::Matches(pattern, name.c_str())) continue;
    ListedPack pack;
    pack.path = dir + name;
    // Both buffers hold 260 characters; a longer path could not be opened anyway.
    if (pack.path.size() >= kPathChars) continue;
    if (platform::os::IsDirectory(platform::os::Utf16ToUtf8(pack.path))) continue;
    pack.name = name.substr(0, name.find(u'.'));
    if (!pack.name.empty()) pack.name[0] = lang::Upper(pack.name[0]);
    languages_.insert(languages_.begin(), std::move(pack));
  }
}

int CLanguagePack::SelectLanguage(int index) {
  if (index < 0 || index >= static_cast<int>(languages_.size())) return -1;
  return LoadDisplay(languages_[static_cast<std::size_t>(index)].path) ? index : -1;
}

int CLanguagePack::SetLanguage(const char16_t* name) {
  if (name == nullptr) return -1;
  if (platform::os::RegistryWrite(platform::os::kLocalMachine, lang::kLangKey, lang::kLanguageValue,
                                  platform::os::kRegMultiSz, lang::Utf16Bytes(name)) != 0) {
    return -1;
  }
  std::u16string device;
  if (lang::DeviceLanguageName(&device)) {
    platform::os::RegistryWrite(platform::os::kLocalMachine, lang::kLangKey, lang::kLanguageNameValue,
                                platform::os::kRegMultiSz, lang::Utf16Bytes(device));
  }
  for (std::size_t i = 0; i < languages_.size(); ++i) {
    if (languages_[i].name != name) continue;
    return LoadDisplay(languages_[i].path) ? static_cast<int>(i) : -1;
  }
  return -1;
}

int CLanguagePack::GetLanguageCount() { return static_cast<int>(languages_.size()); }

const char16_t* CLanguagePack::GetLanguageName(int index) {
  if (index < 0 || index >= static_cast<int>(languages_.size())) return nullptr;
  return languages_[static_cast<std::size_t>(index)].name.c_str();
}

bool CLanguagePack::ReadLanguageSetting(const char16_t* key_path, const char16_t* value_name, char16_t* out) {
  if (out == nullptr) return false;
  for (std::size_t i = 0; i < kSettingChars; ++i) out[i] = 0;
  if (key_path == nullptr || value_name == nullptr) return false;
  std::u16string text;
  if (!lang::ReadRegistryText(false, platform::os::Utf16ToUtf8(key_path).c_str(),
                              platform::os::Utf16ToUtf8(value_name).c_str(), &text)) {
    return false;
  }
  // Longer values are cut to the buffer, which always stays terminated.
  std::u16string value = lang::Bounded(text, kSettingChars);
  std::size_t pos = 0;
  while (pos < value.size() && (value[pos] == u' ' || value[pos] == u'\t')) ++pos;
  long number = 0;
  bool digits = false;
  while (pos < value.size() && value[pos] >= u'0' && value[pos] <= u'9' && number < 100000) {
    number = number * 10 + (value[pos] - u'0');
    digits = true;
    ++pos;
  }
  if (digits && number == 1026) value = u"Bulgarian";
  if (digits && number == 1033) value = u"English";
  for (std::size_t i = 0; i < value.size(); ++i) out[i] = value[i];
  return true;
}
