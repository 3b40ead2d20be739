// The language pack: a base table from the English pack and a display table
// from the selected pack, the list of packs beside the program, and the
// choice recorded in the registry.
//
// Texts returned by the lookups live as long as the table they come from;
// switching the display table invalidates the texts taken from it before.
// An ID outside the table gives an empty text (never null), so a screen
// built against a short pack shows a blank label instead of crashing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lang {
struct LanguageTable;
}

// Slot order of the virtual operations is part of the contract.
class CLanguageBase {
 public:
  virtual const char16_t* GetText(int id) = 0;
  virtual const char16_t* Translate(const char16_t* text) = 0;
  virtual const char* TranslateNarrow(const char* text) = 0;
  virtual const char16_t* GetBaseText(int id) = 0;
  virtual const char* GetTextNarrow(int id) = 0;
  virtual void ScanLanguages(const char16_t* directory, const char16_t* pattern) = 0;
  virtual int SelectLanguage(int index) = 0;
  virtual int SetLanguage(const char16_t* name) = 0;
  virtual int GetLanguageCount() = 0;
  virtual const char16_t* GetLanguageName(int index) = 0;
  // `out` holds 100 characters.
  virtual bool ReadLanguageSetting(const char16_t* key_path, const char16_t* value_name, char16_t* out) = 0;
  virtual ~CLanguageBase() = default;
};

class CLanguagePack : public CLanguageBase {
 public:
  static constexpr std::size_t kPathChars = 260;
  static constexpr std::size_t kSettingsBytes = 520;
  static constexpr std::size_t kSettingChars = 100;

  CLanguagePack(const char16_t* english_pack_path, const char16_t* settings_path);
  ~CLanguagePack() override;
  CLanguagePack(const CLanguagePack&) = delete;
  CLanguagePack& operator=(const CLanguagePack&) = delete;

  const char16_t* GetText(int id) override;
  const char16_t* Translate(const char16_t* text) override;
  const char* TranslateNarrow(const char* text) override;
  const char16_t* GetBaseText(int id) override;
  const char* GetTextNarrow(int id) override;
  void ScanLanguages(const char16_t* directory, const char16_t* pattern) override;
  int SelectLanguage(int index) override;
  int SetLanguage(const char16_t* name) override;
  int GetLanguageCount() override;
  const char16_t* GetLanguageName(int index) override;
  bool ReadLanguageSetting(const char16_t* key_path, const char16_t* value_name, char16_t* out) override;

  // Result of the most recent pack load (a PackStatus).
  int last_load_status() const { return last_load_status_; }
  const std::u16string& language_name() const { return language_name_; }
  const std::u16string& settings_pack_path() const { return settings_pack_path_; }
  std::int32_t first_id() const { return first_id_; }
  std::uint32_t entry_count() const { return count_; }
  bool showing_base() const;

 private:
  struct ListedPack {
    std::u16string path;
    std::u16string name;
  };

  // Loads into a fresh table; the current tables stay unless it succeeds.
  int Load(const std::u16string& path, std::unique_ptr<lang::LanguageTable>* out);
  // Replaces the display table with the pack at `path`; false keeps the old one.
  bool LoadDisplay(const std::u16string& path);

  std::vector<ListedPack> languages_;
  std::u16string settings_pack_path_;
  std::u16string settings_path_;
  std::u16string language_name_;
  std::int32_t first_id_ = 0;
  std::uint32_t version_ = 2;
  std::uint32_t count_ = 0;
  std::unique_ptr<lang::LanguageTable> base_;
  std::unique_ptr<lang::LanguageTable> own_display_;  // null: the display table is the base table
  int last_load_status_ = 0;
};

namespace lang {

// The registry key and values that record the choice.
extern const char kLangKey[];        // "SOFTWARE\Korvel\Lang"
extern const char kLanguageValue[];  // "Language"
extern const char kLanguageNameValue[];  // "LanguageName"

// The English name of the user's default language as the locale reports it
// (at most 150 characters); false when the locale gives none.
bool DeviceLanguageName(std::u16string* name);
// Tests pin the answer: `name` null with `available` false means "no answer";
// ResetDeviceLanguage returns to the real locale.
void SetDeviceLanguageForTesting(const char16_t* name, bool available);
void ResetDeviceLanguage();

// Reads a REG_MULTI_SZ / REG_SZ text value as UTF-16; false when missing.
bool ReadRegistryText(bool local_machine, const char* key, const char* value, std::u16string* text);

}  // namespace lang
