// The add-channel form.
#include "channels/add_channel.h"

#include <algorithm>

#include "app/commands.h"
#include "app/content_area.h"
#include "app/look.h"
#include "lang/ansi.h"
#include "platform/device.h"
#include "platform/os.h"
#include "platform/services.h"
#include "resources/skin_ids.h"
#include "screen_text.h"

using namespace VexaAppGUISystem;

namespace {

// Screen numbers of the texts.
constexpr int kTitle = 101, kExplanation = 10, kFirstLabel = 12, kRecommendedLabel = 11, kOpmlLabel = 238;
constexpr int kSecondLabel = 13, kInitialAddress = 125, kNameLabel = 129, kAddLabel = 5;
constexpr int kAddedMessage = 75, kNoAddressMessage = 79;
// Text styles: the bold heading, body text, labels and buttons (normal, pressed).
constexpr int kHeadingStyle = 13, kBodyStyle = 0, kButtonStyle = 1, kPressedButtonStyle = 7;
constexpr int kMargin = 5, kIndent = 25, kRadioLeft = 5, kFieldHeight = 22, kButtonHeight = 20;
constexpr int kRadioLabelHeight = 20, kRadioFontHeight = 14, kButtonPadding = 6;

void SetUpButton(TextButtonRounded* button, int label, int width) {
  button->SetNormalStyle(AppTextStyle(kButtonStyle));
  button->SetPressedStyle(AppTextStyle(kPressedButtonStyle));
  button->SetColours(0xFF0000, 0xFFFFFF, 0);
  button->SetMinimumSize(width, kButtonHeight);
  button->SetMaximumSize(width, kButtonHeight);
  button->SetLabel(AppString(label));
  button->SetFocusMode(FocusItem);
}

// The width of text string `label` in the buttons' style.
int LabelWidth(int label) {
  const wchar_t* text = AppString(label);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = AppTextStyle(kButtonStyle).font ? SelectObject(dc, AppTextStyle(kButtonStyle).font) : nullptr;
  SIZE size = {};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
  return size.cx;
}

bool Inside(Box* box, Box* ancestor) {
  for (Box* b = box; b; b = b->GetParent())
    if (b == ancestor) return true;
  return false;
}

std::string FieldContent(const TextFieldBox& field, int size) {
  std::string buffer(static_cast<size_t>(size), '\0');
  if (!field.GetText(&buffer[0], size)) return std::string();
  buffer.resize(buffer.find('\0'));
  return buffer;
}

}  // namespace

CKorvelAddChannel::CKorvelAddChannel() { list_buttons_.SetSpacing(kMargin); }

CKorvelAddChannel::~CKorvelAddChannel() { Clear(); }

void CKorvelAddChannel::Place(Box* box, int x, int gap) {
  inner_.AddChild(box, &inner_);
  box->SetPosition(0, x, EdgeLeading, &inner_, EdgeLeading);
  if (last_)
    box->SetPosition(1, gap, EdgeLeading, last_, EdgeBottom);
  else
    box->SetPosition(1, gap, EdgeLeading, &inner_, EdgeLeading);
  last_ = box;
}

void CKorvelAddChannel::BuildOptions(int width) {
  TextStyle heading = AppTextStyle(kHeadingStyle);
  heading.multiLine = true;
  heading.wordBreak = true;
  heading_.SetStyle(heading);
  heading_.SetMinimumSize(width - 2 * kMargin, 0);
  heading_.SetMaximumSize(width - 2 * kMargin, 0);
  heading_.SetText(AppString(kTitle));
  Place(&heading_, kMargin, kMargin);
  explanation_.SetStyle(AppTextStyle(kBodyStyle));
  explanation_.SetMinimumSize(width - 2 * kMargin, 0);
  explanation_.SetMaximumSize(width - 2 * kMargin, 0);
  explanation_.SetText(AppString(kExplanation));
  Place(&explanation_, kMargin, kMargin);

  const int radio_width = width - kRadioLeft - kMargin;
  struct {
    CRadioButtonEx* radio;
    int label, command;
  } options[] = {{&first_, kFirstLabel, kFirstOption}, {&second_, kSecondLabel, kSecondOption}};
  for (auto& o : options) {
    o.radio->SetMinimumSize(radio_width, kRadioLabelHeight);
    o.radio->SetMaximumSize(radio_width, kRadioLabelHeight);
    o.radio->SetImages(radio_off_, radio_on_, nullptr, true, IDG_COLOUR_KEY, false);
    int w = 0, h = 0;
    GetBitmapSize(radio_off_, &w, &h);
    o.radio->Build(radio_width - w - o.radio->GetSpacing(), kRadioLabelHeight);
    o.radio->SetCommandValue(static_cast<std::uint32_t>(o.command));
    o.radio->SetLabelText(AppString(o.label), RGB(0, 0, 0), kRadioFontHeight, RGB(255, 255, 255), true, false,
                          false, false);
  }
  Place(&first_, kRadioLeft, 2 * kMargin);
  // Both buttons and the gap between them end clear of the scroll bar; a
  // label too long for half of that row moves the row to the left margin.
  const int room = width - kIndent - 2 * kMargin - GetSystemMetrics(SM_CXVSCROLL);
  const int needed = std::max(LabelWidth(kRecommendedLabel), LabelWidth(kOpmlLabel)) + 2 * kButtonPadding;
  const int indent = needed * 2 > room ? kMargin : kIndent;
  const int button_width = std::min(needed, (room + kIndent - indent) / 2);
  SetUpButton(&recommended_, kRecommendedLabel, button_width);
  SetUpButton(&opml_, kOpmlLabel, button_width);
  list_buttons_.AddChild(&recommended_, &list_buttons_);
  list_buttons_.AddChild(&opml_, &list_buttons_);
  Place(&list_buttons_, indent, kMargin);
  Place(&second_, kRadioLeft, 2 * kMargin);
}

void CKorvelAddChannel::BuildFields(int width) {
  // Fields end clear of the scroll bar that the input panel may bring.
  const int field_width = width - kIndent - kMargin - GetSystemMetrics(SM_CXVSCROLL);
  for (TextFieldBox* field : {&address_, &name_}) {
    field->SetCaption(L"", VexaAppGUISystem::FieldText, content_area_, true, false);
    field->SetSize(0, field_width, nullptr, 1);
    field->SetSize(1, kFieldHeight, nullptr, 1);
  }
  Place(&address_, kIndent, kMargin);
  name_label_.SetStyle(AppTextStyle(kBodyStyle));
  name_label_.SetMaximumSize(field_width, 0);
  name_label_.SetText(AppString(kNameLabel));
  Place(&name_label_, kIndent, kMargin);
  Place(&name_, kIndent, 2);
  SetUpButton(&add_, kAddLabel, platform::device::Screen().width / 4);
  Place(&add_, (width - add_.SettledSize(0)) / 2, 2 * kMargin);
}

int CKorvelAddChannel::Activate(const char*) {
  DiscardRequests();
  Clear();
  SetTitle(AppString(kTitle));
  radio_on_ = AppImage(IDG_RADIO_ON);
  radio_off_ = AppImage(IDG_RADIO_OFF);
  const int width = content_area_ ? content_area_->Width() : view_box_.SettledSize(0);
  inner_.SetLayoutEnabled(false, false);
  BuildOptions(width);
  BuildFields(width);
  for (Box* b : {static_cast<Box*>(&first_), static_cast<Box*>(&recommended_), static_cast<Box*>(&opml_),
                 static_cast<Box*>(&second_), static_cast<Box*>(&address_), static_cast<Box*>(&name_),
                 static_cast<Box*>(&add_)}) {
    Box* holder = b->GetParent();
    holder->AddToFocusOrder(b, holder, b->GetFocusMode() == FocusGroup ? FocusGroup : FocusItem);
  }
  inner_.AddToFocusOrder(&list_buttons_, &second_, FocusGroup);
  inner_.SetLayoutEnabled(true, true);
  inner_.Relayout(true);

  channels::AddForm form;
  if (!store_ || !channels::LoadAddForm(*store_, &form)) {
    const wchar_t* initial = AppString(kInitialAddress);
    form.url = lang::WideToAnsi(std::u16string(initial, initial + lstrlenW(initial)));
  }
  address_.SetText(form.url.c_str());
  name_.SetText(form.name.c_str());
  Select(form.option);

  int origin = 0, extent = 0;
  inner_.GetPositionConstraint(3, &origin, &extent, nullptr, nullptr);
  const int visible = content_area_ ? content_area_->Height() : 0;
  QueueContentSize(width, origin + extent + kMargin > visible ? origin + extent + kMargin : visible);
  QueueScrollBars(2);
  return 0;
}

void CKorvelAddChannel::Clear() {
  for (Box* b : {static_cast<Box*>(&heading_), static_cast<Box*>(&explanation_), static_cast<Box*>(&first_),
                 static_cast<Box*>(&list_buttons_), static_cast<Box*>(&second_), static_cast<Box*>(&address_),
                 static_cast<Box*>(&name_label_), static_cast<Box*>(&name_), static_cast<Box*>(&add_)}) {
    if (Box* parent = b->GetParent()) parent->RemoveChild(b);
  }
  for (Box* b : {static_cast<Box*>(&recommended_), static_cast<Box*>(&opml_)})
    if (b->GetParent()) list_buttons_.RemoveChild(b);
  last_ = nullptr;
  if (radio_on_) DeleteObject(radio_on_);
  if (radio_off_) DeleteObject(radio_off_);
  radio_on_ = radio_off_ = nullptr;
}

int CKorvelAddChannel::Deactivate(int, int) {
  Clear();
  return 0;
}

int CKorvelAddChannel::Scroll(int, int y, int) {
  channels::FollowQueuedScroll(this, y);
  return 0;
}

int CKorvelAddChannel::SelectedOption() const {
  return first_.IsChecked() ? channels::kChooseFromList : second_.IsChecked() ? channels::kEnterAddress
                                                                              : channels::kNoOption;
}

void CKorvelAddChannel::Select(int option) {
  first_.SetChecked(option == channels::kChooseFromList);
  second_.SetChecked(option == channels::kEnterAddress);
  inner_.InvalidateAll();
}

channels::AddForm CKorvelAddChannel::Form() const {
  channels::AddForm form;
  form.option = SelectedOption();
  form.url = FieldContent(address_, kMaxAddress);
  form.name = FieldContent(name_, kMaxName);
  return form;
}

int CKorvelAddChannel::OptionOf(Box* box) const {
  for (const Box* b : {static_cast<const Box*>(&address_), static_cast<const Box*>(&name_),
                       static_cast<const Box*>(&add_), static_cast<const Box*>(&second_)})
    if (Inside(box, const_cast<Box*>(b))) return channels::kEnterAddress;
  for (const Box* b : {static_cast<const Box*>(&first_), static_cast<const Box*>(&recommended_)})
    if (Inside(box, const_cast<Box*>(b))) return channels::kChooseFromList;
  return channels::kNoOption;
}

bool CKorvelAddChannel::OnBoxEvent(Box*, int code, std::intptr_t* data) {
  if (code != EventFocusIn || !data) return false;
  const int option = OptionOf(reinterpret_cast<Box*>(data[0]));
  if (option != channels::kNoOption && option != SelectedOption()) Select(option);
  return false;
}

int CKorvelAddChannel::ProcessButton(int command, int) {
  switch (command) {
    case kFirstOption:
      Select(channels::kChooseFromList);
      return 1;
    case kSecondOption:
      Select(channels::kEnterAddress);
      return 1;
    case kAdd:
      break;
    default:
      return 0;
  }
  const channels::AddForm form = Form();
  if (store_) channels::SaveAddForm(*store_, form);
  if (form.option == channels::kEnterAddress) {
    // An address that names no feed: nothing is added and nothing typed is lost.
    if (channels::IsBareAddress(form.url)) {
      channels::ShowMessage(this, kNoAddressMessage, platform::kMbIconWarning);
      return 1;
    }
    std::string object;
    if (store_ && channels::AddChannel(*store_, form.url, form.name, platform::os::UtcNow(), &object) ==
                      store::kStoreOk) {
      last_added_ = object;
      channels::ShowMessage(this, kAddedMessage, platform::kMbIconInformation);
    }
  }
  channels::SendCommand(this, commands::kShowSync);
  return 1;
}
