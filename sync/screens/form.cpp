#include "sync/screens/form.h"

#include <vector>

using VexaAppGUISystem::Box;
using VexaAppGUISystem::EdgeLeading;
using VexaAppGUISystem::EdgeTrailing;

namespace sync_screens {

namespace {
constexpr COLORREF kPressedFill = 0xFF0000;
}

void Column::Add(Box* box, int x, int gap, int focus) {
  parent_->AddChild(box, parent_);
  box->SetPosition(0, x, EdgeLeading, parent_, EdgeLeading);
  if (last_)
    box->SetPosition(1, gap, EdgeLeading, last_, EdgeTrailing);
  else
    box->SetPosition(1, gap, EdgeLeading, parent_, EdgeLeading);
  if (focus) parent_->AddToFocusOrder(box, parent_, focus);
  last_ = box;
  placed_.push_back(box);
}

void Column::AddBeside(Box* box, Box* beside, int gap, int focus) {
  parent_->AddChild(box, parent_);
  box->SetPosition(0, gap, EdgeLeading, beside, EdgeTrailing);
  box->SetPosition(1, 0, EdgeLeading, beside, EdgeLeading);
  if (focus) parent_->AddToFocusOrder(box, parent_, focus);
  placed_.push_back(box);
}

void Column::Clear() {
  for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) {
    parent_->RemoveFromFocusOrder(*it);
    if ((*it)->GetParent() == parent_) parent_->RemoveChild(*it);
  }
  placed_.clear();
  last_ = nullptr;
}

void ShowFields(std::initializer_list<VexaAppGUISystem::TextFieldBox*> fields, bool shown) {
  for (VexaAppGUISystem::TextFieldBox* f : fields)
    if (HWND control = f->Control().GetHandle()) ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

int Column::Bottom() const { return last_ ? last_->GetOffsetIn(parent_, 1) + last_->Height() : 0; }

void StyleRoundedButton(VexaAppGUISystem::TextButtonRounded* button, const wchar_t* label,
                        const VexaAppGUISystem::TextStyle& normal, const VexaAppGUISystem::TextStyle& pressed,
                        int minimum_width, int height) {
  button->SetNormalStyle(normal);
  button->SetPressedStyle(pressed);
  button->SetColours(kPressedFill, RGB(255, 255, 255), RGB(0, 0, 0));
  button->SetMinimumSize(minimum_width, height);
  button->SetLabel(label);
}

std::wstring WideOf(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

std::string FieldText(const VexaAppGUISystem::TextFieldBox& field, int limit) {
  std::vector<char> buffer(static_cast<size_t>(limit) + 1, '\0');
  field.GetText(buffer.data(), limit + 1);
  return std::string(buffer.data());
}

}  // namespace sync_screens
