#include "lang/localization.h"

#include "platform/os.h"

CKorvelNewsLocalization::CKorvelNewsLocalization(const char16_t* settings_name, const char16_t* english_pack_name,
                                                 const char16_t* pattern) {
  std::u16string dir = platform::os::Utf8ToUtf16(platform::os::ProgramDirectory());
  settings_path_ = dir + (settings_name ? settings_name : u"");
  if (settings_path_.size() >= CLanguagePack::kPathChars) {
    settings_path_.resize(CLanguagePack::kPathChars - 1);
  }
  std::u16string english = dir + (english_pack_name ? english_pack_name : u"");
  pack_ = std::make_unique<CLanguagePack>(english.c_str(), settings_path_.c_str());
  pack_->ScanLanguages(dir.c_str(), pattern);
}

CKorvelNewsLocalization::~CKorvelNewsLocalization() = default;

const char16_t* CKorvelNewsLocalization::GetString(int id) {
  if (!pack_) return nullptr;
  return pack_->GetText(id + kIdOffset);
}

int CKorvelNewsLocalization::SetLanguage(const char16_t* name) {
  if (!pack_) return -1;
  return pack_->SetLanguage(name);
}

namespace lang {

std::u16string ModuleBaseName(const std::string& executable_path) {
  std::u16string path = platform::os::Utf8ToUtf16(executable_path);
  std::size_t slash = path.find_last_of(u"\\/");
  std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
  if (name.size() >= 4) {
    std::u16string ext = name.substr(name.size() - 4);
    for (char16_t& c : ext) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    if (ext == u".exe") name.resize(name.size() - 4);
  }
  return name;
}

std::u16string StartUpLanguage(const std::u16string& module_base) {
  std::u16string device;
  if (DeviceLanguageName(&device) && device == u"German") return module_base + u"DE";
  return module_base + u"EN";
}

std::u16string SelectedLanguage() {
  std::u16string name;
  if (!ReadRegistryText(true, kLangKey, kLanguageValue, &name) || name.empty()) return u"English";
  return name;
}

std::u16string RecordedDeviceLanguage() {
  std::u16string name;
  if (!ReadRegistryText(true, kLangKey, kLanguageNameValue, &name) || name.empty()) return u"English";
  return name;
}

std::unique_ptr<CKorvelNewsLocalization> CreateApplicationLocalization() {
  std::u16string base = ModuleBaseName(platform::os::ExecutablePath());
  std::u16string english = base + u"EN.lnp";
  auto localization = std::make_unique<CKorvelNewsLocalization>(u"lang.ini", english.c_str(), u"*.lnp");
  localization->SetLanguage(StartUpLanguage(base).c_str());
  return localization;
}

}  // namespace lang
