// The sync settings screen: one of two modes shown at a time; both kept in
// memory while the screen shows and written together on save.
#include "sync/screens/sync_settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "app/content_area.h"
#include "app/frame.h"
#include "app/stored_object.h"
#include "platform/device.h"
#include "resources/skin_ids.h"

using VexaAppGUISystem::FocusItem;

namespace {

constexpr int kMargin = 5, kGap = 8, kFieldHeight = 22, kButtonHeight = 20, kLimitWidth = 64;
constexpr COLORREF kCurrentModeFill = 0xFFDCBE;
constexpr int kKeyMessage = 8;  // the direction keys the frame hands this screen

// The limit a field shows: digits only; empty means kEmptyLimit; too large is the largest.
std::int32_t LimitOf(const std::string& text) {
  if (text.empty()) return CKorvelLifeSyncSettings::kEmptyLimit;
  errno = 0;
  unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  return errno == ERANGE || v > static_cast<unsigned long long>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(v);
}

}  // namespace

CKorvelLifeSyncSettings::CKorvelLifeSyncSettings()
    : column_(&inner_), over_the_air_("over the air", kShowOverTheAir), desktop_("desktop", kShowDesktop),
      save_("save", kSave) {}

CKorvelLifeSyncSettings::~CKorvelLifeSyncSettings() {
  column_.Clear();
  for (HBITMAP b : {radio_off_, radio_on_})
    if (b) DeleteObject(b);
}

VexaAppGUISystem::TextStyle CKorvelLifeSyncSettings::Style(int index) const {
  return host_.text_style ? host_.text_style(index) : VexaAppGUISystem::TextStyle();
}

void CKorvelLifeSyncSettings::Read() {
  values_[kOverTheAir] = Values();
  values_[kDesktop] = Values();
  store::Database* db = nullptr;
  if (!store_ || store_->Open(&db, "TavoSets", false) != store::kStoreOk) return;
  for (Mode mode : {kOverTheAir, kDesktop}) {
    StoredObject o(ObjectOf(mode));
    if (o.Load(db) != store::kStoreOk) continue;
    Values& v = values_[mode];
    o.GetInt("Data", &v.data);
    o.GetInt("DataLimit", &v.limit);
    o.GetInt("UnreadArticles", &v.unread);
  }
  store::CloseDatabase(&db);
}

void CKorvelLifeSyncSettings::Build() {
  const int width = content_area_ ? content_area_->Width() : platform::device::Screen().width;
  const int inner = width - 2 * kMargin;
  VexaAppGUISystem::TextStyle button = Style(1), pressed = Style(7);
  // The mode buttons carry the short names; the heading below says the long one.
  sync_screens::StyleRoundedButton(&over_the_air_, AppString(250), button, pressed, (inner - kMargin) / 2, kButtonHeight);
  sync_screens::StyleRoundedButton(&desktop_, AppString(251), button, pressed, (inner - kMargin) / 2, kButtonHeight);
  column_.Add(&over_the_air_, kMargin, kMargin, FocusItem);
  column_.AddBeside(&desktop_, &over_the_air_, kMargin, FocusItem);
  caption_.SetStyle(Style(13));
  caption_.SetMaximumSize(inner, 0);
  column_.Add(&caption_, kMargin, kGap);
  extra_.SetStyle(Style(0));
  extra_.SetMaximumSize(inner, 0);
  extra_.SetMinimumSize(inner, 0);
  column_.Add(&extra_, kMargin, 2);
  const wchar_t* choices[] = {AppString(250), AppString(251)};
  selector_.SetItems(choices, 2);
  selector_.SetCaption(L"", VexaAppGUISystem::FieldItems, content_area_, true, false);
  selector_.SetSize(0, inner, nullptr, 1);
  selector_.SetSize(1, kFieldHeight, nullptr, 1);
  column_.Add(&selector_, kMargin, kGap, FocusItem);
  int radio_width = 0;
  VexaAppGUISystem::GetBitmapSize(radio_off_, &radio_width, nullptr);
  struct {
    VexaAppGUISystem::CRadioButtonEx* radio;
    int label, command, width;
  } radios[] = {{&no_limit_, 27, kNoLimit, inner}, {&limit_, 28, kLimit, inner - kLimitWidth - kMargin}};
  for (auto& r : radios) {
    r.radio->SetSize(0, r.width, nullptr, 1);
    r.radio->SetSize(1, kFieldHeight, nullptr, 1);
    r.radio->Build(r.width - radio_width - 3, kFieldHeight);
    r.radio->SetImages(radio_off_, radio_on_, radio_off_, true, IDG_COLOUR_KEY, false);
    r.radio->SetLabelText(AppString(r.label), RGB(0, 0, 0), -1, RGB(255, 255, 255), true, false, false, false);
    r.radio->SetCommandValue(static_cast<std::uint32_t>(r.command));
    column_.Add(r.radio, kMargin, kGap, VexaAppGUISystem::FocusGroup);
  }
  limit_field_.SetCaption(L"", VexaAppGUISystem::FieldNumber, content_area_, true, false);
  limit_field_.SetSize(0, kLimitWidth, nullptr, 1);
  limit_field_.SetSize(1, kFieldHeight, nullptr, 1);
  column_.AddBeside(&limit_field_, &limit_, kMargin, FocusItem);
  sync_screens::StyleRoundedButton(&save_, AppString(5), button, pressed, width / 4, kButtonHeight);
  column_.Add(&save_, (width - width / 4) / 2, 2 * kGap, FocusItem);
}

int CKorvelLifeSyncSettings::Activate(const char*) {
  SetTitle(AppString(107));
  QueueScrollBars(2);
  Read();
  // Built on the first visit; later visits show the same fields again.
  if (column_.Empty()) {
    radio_off_ = host_.load_image ? host_.load_image(IDG_RADIO_OFF) : nullptr;
    radio_on_ = host_.load_image ? host_.load_image(IDG_RADIO_ON) : nullptr;
    inner_.SetLayoutEnabled(false, false);
    Build();
    inner_.SetLayoutEnabled(true, true);
    inner_.Relayout(true);  // enabling alone lays nothing out
  }
  sync_screens::ShowFields({&selector_, &limit_field_}, true);
  ShowMode(kOverTheAir);
  inner_.SetFocus(&over_the_air_);
  return 0;
}

void CKorvelLifeSyncSettings::ShowMode(Mode mode) {
  mode_ = mode;
  over_the_air_.SetColours(0xFF0000, mode == kOverTheAir ? kCurrentModeFill : RGB(255, 255, 255), RGB(0, 0, 0));
  desktop_.SetColours(0xFF0000, mode == kDesktop ? kCurrentModeFill : RGB(255, 255, 255), RGB(0, 0, 0));
  caption_.SetText(AppString(mode == kOverTheAir ? 30 : 29));
  extra_.SetText(mode == kOverTheAir ? AppString(66) : L"");
  const Values& v = values_[mode];
  selector_.SetSelection(v.data == 2 || v.data == 3 ? v.data - 2 : 1);
  Check(v.limit != kNoLimitValue);
  limit_field_.SetText(v.limit == kNoLimitValue ? "" : std::to_string(v.limit).c_str());
  inner_.InvalidateAll();
}

void CKorvelLifeSyncSettings::Check(bool limited) {
  no_limit_.SetChecked(!limited);
  limit_.SetChecked(limited);
  no_limit_.InvalidateAll();
  limit_.InvalidateAll();
}

void CKorvelLifeSyncSettings::KeepShown() {
  Values& v = values_[mode_];
  v.limit = no_limit_.IsChecked() ? kNoLimitValue : LimitOf(sync_screens::FieldText(limit_field_, 32));
  const int index = selector_.GetSelection();
  if (index >= 0) v.data = index + 2;
  v.unread = 1;
}

void CKorvelLifeSyncSettings::Write() {
  store::Database* db = nullptr;
  if (!store_ || store_->Open(&db, "TavoSets", true) != store::kStoreOk) return;
  for (Mode mode : {kOverTheAir, kDesktop}) {
    StoredObject o(ObjectOf(mode));
    o.Load(db);
    const Values& v = values_[mode];
    o.SetInt("Data", v.data).SetInt("DataLimit", v.limit).SetInt("UnreadArticles", v.unread).Write(db);
  }
  store::CloseDatabase(&db);
}

int CKorvelLifeSyncSettings::ProcessButton(int command, int) {
  switch (command) {
    case kShowOverTheAir:
    case kShowDesktop:
      KeepShown();
      ShowMode(command == kShowOverTheAir ? kOverTheAir : kDesktop);
      return 1;
    case kNoLimit:
      Check(false);
      return 1;
    case kLimit:
      Check(true);
      return 1;
    case kSave:
      KeepShown();
      Write();
      return 0;  // the application goes on to the options
  }
  return 0;
}

int CKorvelLifeSyncSettings::ProcessSystemMessage(HWND, UINT message, WPARAM wParam, LPARAM, int*) {
  if (message != kKeyMessage || (wParam != VK_UP && wParam != VK_LEFT && wParam != VK_DOWN)) return 0;
  CKorvelLifeUIFrame::SetFocusModeFlag(true);
  return MoveFocus(wParam == VK_DOWN ? 1 : -1, 0);
}

int CKorvelLifeSyncSettings::Deactivate(int, int) {
  sync_screens::ShowFields({&selector_, &limit_field_}, false);
  return 0;
}
