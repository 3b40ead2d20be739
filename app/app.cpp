// The application object: construction, the text styles, the entry point.
#include "app/app.h"

#include "app/look.h"
#include "app/records.h"
#include "platform/device.h"
#include "platform/os.h"
#include "resources/skin_ids.h"

namespace {

struct StyleRow {
  int height;
  bool bold, underline, multi_line, word_break;
  int horizontal, vertical;
  COLORREF colour;
};

// The application's text styles, by index.
const StyleRow kStyles[CKorvelLifeApp::kTextStyleCount] = {
    {14, false, false, true, true, 0, 0, RGB(0, 0, 0)},
    {14, false, false, false, true, 2, 2, RGB(0, 0, 0)},
    {18, true, false, false, true, 2, 2, RGB(0, 0, 0)},
    {14, true, false, false, true, 2, 2, RGB(0, 0, 0)},
    {14, true, false, false, true, 2, 2, RGB(255, 255, 255)},
    {14, false, true, false, true, 2, 2, RGB(0, 0, 255)},
    {14, false, true, false, true, 2, 2, RGB(128, 0, 255)},
    {14, false, false, false, true, 2, 2, RGB(255, 255, 255)},
    {14, true, false, true, true, 0, 0, RGB(0, 0, 255)},
    {14, true, false, true, true, 0, 0, RGB(0, 127, 127)},
    {12, false, false, true, true, 2, 2, RGB(0, 0, 0)},
    {12, false, false, true, true, 2, 2, RGB(0, 0, 255)},
    {14, false, false, false, false, 0, 2, RGB(0, 0, 0)},
    {14, true, false, false, false, 0, 2, RGB(0, 0, 0)},
    {14, false, false, false, false, 0, 2, RGB(0, 0, 255)},
    {14, true, false, false, false, 0, 2, RGB(0, 0, 255)},
    {14, false, false, true, true, 0, 0, RGB(0, 0, 255)},
};

// The device facts the start-up records need, from the device and the locale.
int ScreenWidth() { return platform::device::Screen().width; }
int ScreenHeight() { return platform::device::Screen().height; }

bool LocaleText(LCTYPE type, std::u16string* text) {
  wchar_t buffer[64] = {};
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 64);
  if (n <= 1) return false;
  text->assign(buffer, buffer + n - 1);
  return true;
}

bool LanguageAbbreviation(std::u16string* text) { return LocaleText(LOCALE_SABBREVLANGNAME, text); }
bool CountryAbbreviation(std::u16string* text) { return LocaleText(LOCALE_SABBREVCTRYNAME, text); }

std::string ChannelIcon() {
  HMODULE module = GetApp().ResourceModule();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDG_CHANNEL_DEFAULT), L"GIF");
  if (!found && module != GetModuleHandleW(nullptr)) {
    module = GetModuleHandleW(nullptr);
    found = FindResourceW(module, MAKEINTRESOURCEW(IDG_CHANNEL_DEFAULT), L"GIF");
  }
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
}

const wchar_t* StringOfApp(int id) { return GetApp().GetString(id); }
const VexaAppGUISystem::TextStyle& StyleOfApp(int index) { return GetApp().TextStyle(index); }
HBITMAP ImageOfApp(int id) { return GetApp().LoadImage(id); }

}  // namespace

CKorvelLifeApp::CKorvelLifeApp() {
  localization_ = lang::CreateApplicationLocalization();
  CreateTextStyles();
  CKorvelLifeUIFrame::SetInputPanelFlag(false);
  images_.Open();
  SetStringSource(StringOfApp);
  SetLookSources(StyleOfApp, ImageOfApp);
  app::DeviceFacts facts;
  facts.screen_width = ScreenWidth;
  facts.screen_height = ScreenHeight;
  facts.language_abbreviation = LanguageAbbreviation;
  facts.country_abbreviation = CountryAbbreviation;
  facts.channel_icon = ChannelIcon;
  app::SetDeviceFacts(facts);
}

CKorvelLifeApp::~CKorvelLifeApp() {
  SetStringSource(nullptr);
  SetLookSources(nullptr, nullptr);
  localization_.reset();
  for (VexaAppGUISystem::TextStyle& s : styles_) {
    if (s.font) DeleteObject(s.font);
    s.font = nullptr;
  }
  images_.Close();
}

void CKorvelLifeApp::CreateTextStyles() {
  for (int i = 0; i < kTextStyleCount; ++i) {
    const StyleRow& row = kStyles[i];
    VexaAppGUISystem::TextStyle& s = styles_[i];
    s.font = VexaAppGUISystem::CreateTextFont(VexaAppGUISystem::kTextFace, row.height, row.bold, false, row.underline);
    s.multiLine = row.multi_line;
    s.wordBreak = row.word_break;
    s.horizontal = row.horizontal;
    s.vertical = row.vertical;
    s.transparent = true;
    s.fill = false;
    s.textColour = row.colour;
    s.backgroundColour = 0;
  }
}

const VexaAppGUISystem::TextStyle& CKorvelLifeApp::TextStyle(int index) const {
  static const VexaAppGUISystem::TextStyle kNone;
  return index >= 0 && index < kTextStyleCount ? styles_[index] : kNone;
}

const wchar_t* CKorvelLifeApp::GetString(int id) const {
  if (!localization_) return nullptr;
  return reinterpret_cast<const wchar_t*>(localization_->GetString(id));
}

bool CKorvelLifeApp::FirstRun() const { return app::FirstRun(); }
void CKorvelLifeApp::SetFirstRun(bool first_run) { app::SetFirstRun(first_run); }

CKorvelLifeApp& GetApp() {
  // Constructed on the first call; destroyed at process exit.
  static CKorvelLifeApp application;
  return application;
}

int TidelarkMain() {
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const wchar_t* title = GetApp().GetString(1);
  if (!title) title = L"";
  HANDLE mutex = CreateMutexW(nullptr, TRUE, title);
  if (mutex && GetLastError() != ERROR_ALREADY_EXISTS) {
    GetApp().Run();
    CloseHandle(mutex);
    return 0;
  }
  // Another instance runs: bring its frame forward and leave.
  if (HWND other = FindWindowW(VexaAppGUISystem::kWindowClassName, title)) {
    if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
  }
  if (mutex) CloseHandle(mutex);
  return 0;
}
