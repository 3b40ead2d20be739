#include "app/buttons_bar.h"

#include "resources/skin_ids.h"

using VexaAppGUISystem::Box;
using VexaAppGUISystem::ImageButton;

CKorvelLifeButtonsBar::CKorvelLifeButtonsBar(const char* name) : name_(name ? name : "") {}

CKorvelLifeButtonsBar::~CKorvelLifeButtonsBar() {
  while (GetChildCount() > 0) Destroy(static_cast<ImageButton*>(GetChild(0)));
}

CKorvelLifeButtonsBar::Binding* CKorvelLifeButtonsBar::BindingOf(Box* button) const {
  return button ? static_cast<Binding*>(button->GetUserData()) : nullptr;
}

ImageButton* CKorvelLifeButtonsBar::ButtonAt(int index) const { return static_cast<ImageButton*>(GetChild(index)); }

int CKorvelLifeButtonsBar::IndexOf(int command) const {
  for (int i = 0; i < GetChildCount(); ++i)
    if (GetChild(i)->GetUserValue() == static_cast<std::uint32_t>(command)) return i;
  return -1;
}

ImageButton* CKorvelLifeButtonsBar::FindButton(int command) const { return ButtonAt(IndexOf(command)); }

const CKorvelLifeButtonsBar::Binding* CKorvelLifeButtonsBar::BindingOf(int command) const {
  return BindingOf(FindButton(command));
}

int CKorvelLifeButtonsBar::AddButton(int command, HBITMAP normal, HBITMAP pressed, HBITMAP disabled,
                                     const char* owner) {
  if (ImageButton* existing = FindButton(command)) {
    Binding* b = BindingOf(existing);
    if (!owner) return b && !b->owner.empty() ? kExistsOwned : kExistsOtherOwner;
    return b && b->owner == owner ? kAdded : kExistsOtherOwner;
  }
  auto* button = new ImageButton(nullptr, static_cast<std::uint32_t>(command));
  button->SetImages(normal, pressed, disabled, false, IDG_COLOUR_KEY, false);
  auto* binding = new Binding;
  binding->owner = owner ? owner : "";
  button->SetUserData(binding);
  AddChild(button, this);
  AddToFocusOrder(button, this, VexaAppGUISystem::FocusItem);
  return kAdded;
}

int CKorvelLifeButtonsBar::BindButton(int command, CommandHandler handler, void* context, const char* component) {
  Binding* b = BindingOf(FindButton(command));
  if (!b) return kNoSuchButton;
  if (b->handler) return kAlreadyBound;
  b->handler = handler;
  b->context = context;
  b->component = component ? component : "";
  return kBound;
}

void CKorvelLifeButtonsBar::Destroy(ImageButton* button) {
  RemoveFromFocusOrder(button);
  RemoveChild(button);
  delete BindingOf(button);
  delete button;
}

int CKorvelLifeButtonsBar::RemoveButton(int command, const char* owner) {
  ImageButton* button = FindButton(command);
  if (!button) return kNotFound;
  Binding* b = BindingOf(button);
  const std::string theirs = b ? b->owner : "";
  if (!owner && !theirs.empty()) return kOwnerMissing;
  if (owner && theirs != owner) return kOtherOwner;
  Destroy(button);
  return kRemoved;
}

void CKorvelLifeButtonsBar::RemoveButtons(const char* owner) {
  for (int i = 0; i < GetChildCount();) {
    Binding* b = BindingOf(GetChild(i));
    if (!b || !b->handler || (owner && b->owner == owner))
      Destroy(ButtonAt(i));
    else
      ++i;
  }
}

bool CKorvelLifeButtonsBar::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (!source || source->GetParent() != this) return false;
  Binding* b = BindingOf(source);
  if (!b) return false;
  if (code == VexaAppGUISystem::EventCommand && data && b->handler)
    b->handler(static_cast<int>(data[1]), b->context, VexaAppGUISystem::EventCommand);
  return true;
}

void SetBarButtonState(CKorvelLifeButtonsBar* bar, int index, bool enabled, bool visible) {
  ImageButton* button = bar ? bar->ButtonAt(index) : nullptr;
  if (!button) return;
  button->SetVisible(visible);
  button->SetState(enabled ? VexaAppGUISystem::StateNormal : VexaAppGUISystem::StateDisabled);
  button->SetFocusMode(enabled && visible ? VexaAppGUISystem::FocusItem : VexaAppGUISystem::FocusSkipped);
  bar->InvalidateAll();
}

void ShowInputPanelButton(CKorvelLifeButtonsBar* navigation, const std::wstring& title) {
  // Share settings, sync settings, connection, add channel, share, e-mail, account.
  static const int kScreensWithFields[] = {100, 107, 99, 101, 109, 110, 112};
  bool fields = false;
  for (int id : kScreensWithFields) fields = fields || TitleIs(title, id);
  SetBarButtonState(navigation, 2, true, fields);
}
