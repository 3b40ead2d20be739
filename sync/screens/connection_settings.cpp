// The connection settings screen: the account's e-mail address, user name
// and password, read from "TavoUser" and written back on save.
#include "sync/screens/connection_settings.h"

#include <cstring>

#include "app/content_area.h"
#include "app/stored_object.h"
#include "platform/device.h"

namespace {

constexpr int kMargin = 5, kGap = 6, kFieldHeight = 22, kButtonHeight = 20;
constexpr char kAnchorStore[] = "TavoSyncDBAnchors";

// The account a stored name stands for: the placeholder is no name.
std::string AccountOf(const std::string& name) {
  return name == CKorvelLifeConnectionSettings::kPlaceholderUser ? std::string() : name;
}

}  // namespace

CKorvelLifeConnectionSettings::CKorvelLifeConnectionSettings() : column_(&inner_), save_("save", kSave) {}

CKorvelLifeConnectionSettings::~CKorvelLifeConnectionSettings() { column_.Clear(); }

VexaAppGUISystem::TextStyle CKorvelLifeConnectionSettings::Style(int index) const {
  return host_.text_style ? host_.text_style(index) : VexaAppGUISystem::TextStyle();
}

void CKorvelLifeConnectionSettings::Build() {
  const int width = content_area_ ? content_area_->Width() : platform::device::Screen().width;
  const int inner = width - 2 * kMargin;
  heading_.SetStyle(Style(13));
  heading_.SetMaximumSize(inner, 0);
  heading_.SetText(AppString(43));
  column_.Add(&heading_, kMargin, kMargin);
  struct {
    VexaAppGUISystem::Text* caption;
    VexaAppGUISystem::TextFieldBox* field;
    int text, kind;
  } fields[] = {{&email_caption_, &email_, 56, VexaAppGUISystem::FieldText},
                {&user_caption_, &user_, 132, VexaAppGUISystem::FieldText},
                {&password_caption_, &password_, 21, VexaAppGUISystem::FieldPassword}};
  for (auto& f : fields) {
    f.caption->SetStyle(Style(12));
    f.caption->SetMaximumSize(inner, 0);
    f.caption->SetText(AppString(f.text));
    column_.Add(f.caption, kMargin, kGap + 2);
    f.field->SetCaption(L"", f.kind, content_area_, true, false);
    f.field->SetSize(0, inner, nullptr, 1);
    f.field->SetSize(1, kFieldHeight, nullptr, 1);
    column_.Add(f.field, kMargin, 2, VexaAppGUISystem::FocusItem);
  }
  sync_screens::StyleRoundedButton(&save_, AppString(5), Style(1), Style(7), width / 4, kButtonHeight);
  column_.Add(&save_, (width - width / 4) / 2, 2 * kGap, VexaAppGUISystem::FocusItem);
}

int CKorvelLifeConnectionSettings::Activate(const char*) {
  SetTitle(AppString(99));
  QueueScrollBars(2);
  // Built on the first visit; later visits show the same fields again.
  if (column_.Empty()) {
    inner_.SetLayoutEnabled(false, false);
    Build();
    inner_.SetLayoutEnabled(true, true);
    inner_.Relayout(true);  // enabling alone lays nothing out
    for (VexaAppGUISystem::TextFieldBox* f : {&email_, &user_, &password_})
      if (HWND control = f->Control().GetHandle()) SendMessageW(control, EM_LIMITTEXT, kMaxValue, 0);
  }
  sync_screens::ShowFields({&email_, &user_, &password_}, true);
  Show();
  inner_.SetFocus(&email_);
  return 0;
}

void CKorvelLifeConnectionSettings::Show() {
  store::Database* db = nullptr;
  if (!store_ || store_->Open(&db, "TavoPrefs", false) != store::kStoreOk) return;
  StoredObject user("TavoUser");
  user.Load(db);
  store::CloseDatabase(&db);
  struct {
    const char* property;
    VexaAppGUISystem::TextFieldBox* field;
  } shown[] = {{"Email", &email_}, {"User", &user_}, {"Pass", &password_}};
  for (auto& s : shown) {
    std::string text;
    if (!user.GetText(s.property, &text) || text == kPlaceholderUser) text.clear();
    s.field->SetText(text.c_str());
  }
}

void CKorvelLifeConnectionSettings::Save() {
  store::Database* db = nullptr;
  if (!store_ || store_->Open(&db, "TavoPrefs", true) != store::kStoreOk) return;
  StoredObject user("TavoUser");
  user.Load(db);
  std::string stored;
  const bool has_name = user.GetText("User", &stored);
  std::string name = sync_screens::FieldText(user_, kMaxValue);
  if (!name.empty() && name.back() == ' ') name.pop_back();
  // An emptied field keeps the account; only the placeholder gives way to nothing.
  const bool write_name = !has_name || stored == kPlaceholderUser || !name.empty();
  const std::string account = write_name ? name : stored;
  if (write_name) user.SetText("User", name);
  user.SetText("Email", sync_screens::FieldText(email_, kMaxValue));
  user.SetText("Pass", sync_screens::FieldText(password_, kMaxValue));
  user.Write(db);
  StoredObject current("CurrentSettings");
  if (current.Load(db) == store::kStoreOk) current.SetText("User", account).Write(db);
  store::CloseDatabase(&db);
  // Anchors belong to the account that received them: a new one starts without.
  if (AccountOf(account) != AccountOf(has_name ? stored : std::string()))
    store::RemoveDatabase(kAnchorStore, store_->Volume());
}

int CKorvelLifeConnectionSettings::ProcessButton(int command, int) {
  if (command == kSave) Save();
  return 0;  // the application goes on to the options
}

int CKorvelLifeConnectionSettings::Deactivate(int, int) {
  sync_screens::ShowFields({&email_, &user_, &password_}, false);
  return 0;
}
