// The view base: request records and their ring, the shared defaults of the
// view operations, attaching to the content area.
#include "app/view.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "app/content_area.h"
#include "app/view_title.h"

using VexaAppGUISystem::Box;

// ---- Request records --------------------------------------------------------------

struct ViewRequest {
  std::int32_t kind;
  std::int32_t count;
  // then per value: length (32-bit) and bytes
};

ViewRequest* MakeViewRequest(std::int32_t kind, int count, const std::int32_t* values) {
  if (count < 0) return nullptr;
  std::size_t size = sizeof(ViewRequest) + static_cast<std::size_t>(count) * 8;
  auto* request = static_cast<ViewRequest*>(std::malloc(size));
  if (!request) return nullptr;
  request->kind = kind;
  request->count = count;
  unsigned char* at = reinterpret_cast<unsigned char*>(request + 1);
  for (int i = 0; i < count; ++i) {
    std::int32_t length = 4;
    std::memcpy(at, &length, 4);
    std::memcpy(at + 4, &values[i], 4);
    at += 8;
  }
  return request;
}

void FreeViewRequest(ViewRequest* request) { std::free(request); }
std::int32_t ViewRequestKind(const ViewRequest* request) { return request ? request->kind : -1; }
std::int32_t ViewRequestCount(const ViewRequest* request) { return request ? request->count : 0; }

bool ViewRequestValue(const ViewRequest* request, int index, std::int32_t* value) {
  if (!request || index < 0 || index >= request->count) return false;
  const unsigned char* at = reinterpret_cast<const unsigned char*>(request + 1);
  for (int i = 0;; ++i) {
    std::int32_t length;
    std::memcpy(&length, at, 4);
    if (i == index) {
      if (length != 4) return false;
      std::memcpy(value, at + 4, 4);
      return true;
    }
    at += 4 + length;
  }
}

// ---- The queue ------------------------------------------------------------------------

CKorvelLifeViewTitle* CKorvelLifeViewInterface::title_box_ = nullptr;

CKorvelLifeViewInterface::CKorvelLifeViewInterface() {}

CKorvelLifeViewInterface::~CKorvelLifeViewInterface() {
  DiscardRequests();
  delete[] queue_;
  Detach();
}

void CKorvelLifeViewInterface::Append(ViewRequest* request) {
  if (!request) return;
  if (queue_count_ == queue_capacity_) {
    auto** grown = new ViewRequest*[queue_capacity_ + kRequestRingGrowth];
    for (int i = 0; i < queue_count_; ++i) grown[i] = queue_[(queue_start_ + i) % queue_capacity_];
    delete[] queue_;
    queue_ = grown;
    queue_start_ = 0;
    queue_capacity_ += kRequestRingGrowth;
  }
  queue_[(queue_start_ + queue_count_) % queue_capacity_] = request;
  ++queue_count_;
}

ViewRequest* CKorvelLifeViewInterface::TakeRequest() {
  if (queue_count_ == 0) return nullptr;
  ViewRequest* request = queue_[queue_start_];
  queue_start_ = (queue_start_ + 1) % queue_capacity_;
  --queue_count_;
  return request;
}

void CKorvelLifeViewInterface::DiscardRequests() {
  while (ViewRequest* request = TakeRequest()) FreeViewRequest(request);
}

void CKorvelLifeViewInterface::QueueContentSize(int width, int height) {
  std::int32_t v[2] = {width, height};
  Append(MakeViewRequest(kRequestContentSize, 2, v));
}

void CKorvelLifeViewInterface::QueueScroll(int x, int y) {
  std::int32_t v[2] = {x, y};
  Append(MakeViewRequest(kRequestScroll, 2, v));
}

void CKorvelLifeViewInterface::QueueScrollBars(int bits) {
  std::int32_t v[1] = {bits};
  Append(MakeViewRequest(kRequestScrollBars, 1, v));
}

void CKorvelLifeViewInterface::QueueSwitch(const char* plugin, const char* database) {
  DiscardRequests();
  switch_plugin_ = plugin ? plugin : "";
  switch_database_ = database ? database : "";
  Append(MakeViewRequest(kRequestSwitch, 0, nullptr));
}

void CKorvelLifeViewInterface::CheckInvariants() const {
  assert(queue_count_ >= 0 && queue_count_ <= queue_capacity_);
  assert(queue_capacity_ % kRequestRingGrowth == 0);
  assert(queue_capacity_ == 0 || (queue_start_ >= 0 && queue_start_ < queue_capacity_));
  for (int i = 0; i < queue_count_; ++i) assert(queue_[(queue_start_ + i) % queue_capacity_] != nullptr);
}

// ---- Shared defaults ----------------------------------------------------------------

int CKorvelLifeViewInterface::Activate(const char*) { return 0; }
int CKorvelLifeViewInterface::Deactivate(int, int) { return 0; }
int CKorvelLifeViewInterface::Scroll(int, int, int) { return 0; }
int CKorvelLifeViewInterface::ProcessButton(int, int) { return 0; }
int CKorvelLifeViewInterface::ProcessMenuCommand(int, int) { return 0; }
int CKorvelLifeViewInterface::ProcessSystemMessage(HWND, UINT, WPARAM, LPARAM, int*) { return 0; }
int CKorvelLifeViewInterface::ActivateFocused(int, int) { return 0; }

int CKorvelLifeViewInterface::Refresh(int, int) {
  view_box_.InvalidateAll();
  return 0;
}

namespace {

bool Inside(Box* box, Box* ancestor) {
  for (Box* b = box; b; b = b->GetParent())
    if (b == ancestor) return true;
  return false;
}

// What the user sees as the focused element: the item, or the outermost
// group that holds only it (a channel cell with its icon, a check box with
// its label, a field with its caption), up to the view's box.
Box* ElementOf(Box* item, Box* view) {
  Box* element = item;
  for (Box* p = item->GetParent(); p && p != view && p->GetFocusMode() == VexaAppGUISystem::FocusGroup &&
                                   p->GetFocusCount() == 1;
       p = p->GetParent())
    element = p;
  return element;
}

}  // namespace

int CKorvelLifeViewInterface::MoveFocus(int a, int) {
  if (a == 0) return 0;
  Box* focused = view_box_.GetFocused(true);
  if (!focused || !Inside(focused, &view_box_) || focused == &view_box_) return 0;
  Box* next = nullptr;
  if (!view_box_.MoveFocus(a, true, true, &next) || !next || !Inside(next, &view_box_)) return 0;
  view_box_.SetFocus(next);
  ScrollIntoView(ElementOf(next, &view_box_), a > 0);
  return 1;
}

void CKorvelLifeViewInterface::ScrollIntoView(Box* box, bool forward) {
  if (!content_area_ || !box) return;
  const int visible = content_area_->Height();
  const int top = box->GetOffsetIn(content_area_, 1);
  const int bottom = top + box->Height();
  if (top >= (forward ? 0 : 1) && bottom < visible) return;
  const int position = content_area_->GetScrollPosition(1);
  if ((forward && bottom >= visible) || (!forward && top > 0))
    content_area_->SetScrollPosition(1, position + bottom - visible, true);
  else
    content_area_->SetScrollPosition(1, position + top, true);
}

void CKorvelLifeViewInterface::SetTitle(const wchar_t* text) {
  if (title_box_) title_box_->SetText(text);
}

void CKorvelLifeViewInterface::AttachTo(CKorvelLifeContentArea* area) {
  if (content_area_ != area) Detach();
  content_area_ = area;
  if (!area) return;
  if (view_box_.GetParent() != area) area->AddChild(&view_box_, area);
  view_box_.SetPosition(0, 0, VexaAppGUISystem::EdgeLeading, area, VexaAppGUISystem::EdgeLeading);
  view_box_.SetPosition(1, 0, VexaAppGUISystem::EdgeLeading, area, VexaAppGUISystem::EdgeLeading);
  view_box_.SetSize(0, 1, area, 1);
  view_box_.SetSize(1, 1, area, 1);
  area->AddToFocusOrder(&view_box_, area, VexaAppGUISystem::FocusGroup);
}

void CKorvelLifeViewInterface::Detach() {
  Box* parent = view_box_.GetParent();
  if (parent) {
    parent->RemoveFromFocusOrder(&view_box_);
    parent->RemoveChild(&view_box_);
  }
  content_area_ = nullptr;
}

// ---- The internal view ----------------------------------------------------------------

CKorvelLifeInternalView::CKorvelLifeInternalView() : inner_(this) {}

CKorvelLifeInternalView::~CKorvelLifeInternalView() {
  if (Box* parent = inner_.GetParent()) {
    parent->RemoveFromFocusOrder(&inner_);
    parent->RemoveChild(&inner_);
  }
}

bool CKorvelLifeInternalView::InternalViewBox::HandleEvent(Box* source, int code, std::intptr_t* data) {
  return view_->OnBoxEvent(source, code, data);
}

void CKorvelLifeInternalView::InternalViewBox::OnChildAdded(Box* child) {
  view_->OnBoxChildAdded(child);
  PutInShape();
}

void CKorvelLifeInternalView::InternalViewBox::OnChildRemoved(Box* child) {
  view_->OnBoxChildRemoved(child);
  PutInShape();
}

void CKorvelLifeInternalView::InternalViewBox::OnResized(int axis) {
  view_->OnBoxResized(axis);
  PutInShape();
}

void CKorvelLifeInternalView::InternalViewBox::OnContentChanged() {
  view_->OnBoxContentChanged();
  PutInShape();
}

void CKorvelLifeInternalView::InternalViewBox::PutInShape() {
  if (shaping_) return;
  shaping_ = true;
  Box* outer = view_->GetViewBox();
  if (GetParent() != outer) {
    if (GetParent()) GetParent()->RemoveChild(this);
    outer->AddChild(this, outer);
  }
  SetPosition(0, 0, VexaAppGUISystem::EdgeLeading, outer, VexaAppGUISystem::EdgeLeading);
  SetPosition(1, 0, VexaAppGUISystem::EdgeLeading, outer, VexaAppGUISystem::EdgeLeading);
  const int mode = GetFocusCount() > 0 ? VexaAppGUISystem::FocusGroup : VexaAppGUISystem::FocusSkipped;
  if (outer->IndexOfChild(this) >= 0) {
    outer->RemoveFromFocusOrder(this);  // no-op when absent; keeps one entry
    outer->AddToFocusOrder(this, outer, mode);
  }
  for (int axis = 0; axis < 2; ++axis) {
    int origin = 0, extent = 0;  // axes 2 and 3 report the content's origin and extent
    GetPositionConstraint(axis + 2, &origin, &extent, nullptr, nullptr);
    int wanted = outer->SettledSize(axis);
    if (origin + extent > wanted) wanted = origin + extent;
    if (wanted < 0) wanted = 0;
    if (SettledSize(axis) != wanted) SetSize(axis, wanted, nullptr, 1);
  }
  shaping_ = false;
}
