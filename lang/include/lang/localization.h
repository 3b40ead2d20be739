// The application's localization object: screens fetch their texts by
// screen number; pack IDs lie 9999 above the screen numbers.
#pragma once

#include <memory>
#include <string>

#include "lang/language_pack.h"

class CKorvelLifeLocale {
 public:
  virtual ~CKorvelLifeLocale() = default;
  virtual const char16_t* GetString(int id) = 0;
  virtual int SetLanguage(const char16_t* name) = 0;
};

class CKorvelNewsLocalization : public CKorvelLifeLocale {
 public:
  static constexpr int kIdOffset = 9999;

  // Looks for the packs and the settings file in the program directory.
  CKorvelNewsLocalization(const char16_t* settings_name, const char16_t* english_pack_name,
                          const char16_t* pattern);
  ~CKorvelNewsLocalization() override;

  // The text of screen number `id`; null only without a pack.
  const char16_t* GetString(int id) override;
  int SetLanguage(const char16_t* name) override;

  CLanguagePack* pack() { return pack_.get(); }
  const std::u16string& settings_path() const { return settings_path_; }

 private:
  std::unique_ptr<CLanguagePack> pack_;
  std::u16string settings_path_;
};

namespace lang {

// The program module's file name without its folder and without ".exe".
std::u16string ModuleBaseName(const std::string& executable_path);
// The pack the application selects at start: module name + "DE" for a German
// device, + "EN" for every other language and when the locale gives none.
std::u16string StartUpLanguage(const std::u16string& module_base);
// The pack display name recorded under "Language" (what the news plug-in
// loads), or "English" when the key or the value is missing.
std::u16string SelectedLanguage();
// The device language recorded under "LanguageName", or "English".
std::u16string RecordedDeviceLanguage();
// Creates the application's localization object and selects its pack.
std::unique_ptr<CKorvelNewsLocalization> CreateApplicationLocalization();

}  // namespace lang
