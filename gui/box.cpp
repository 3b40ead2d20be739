// Box tree, constraints, scrolling, painting, hit search and events.
// The focus order lives in focus.cpp, the layout solver in layout.cpp.
#include "gui/box.h"

#include <cstdlib>

#include "gui/bitmap.h"
#include <cstring>

namespace VexaAppGUISystem {

namespace {
constexpr int kGrowBy = 5;
}

std::intptr_t Gcd(std::intptr_t a, std::intptr_t b) {
  if (a < 0) a = -a;
  if (b < 0) b = -b;
  while (b) {
    std::intptr_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

Box::Box() {}

// A destroyed box leaves its parent and releases its children, so that no
// record, constraint or capture can point at freed memory.
Box::~Box() {
  if (parent_) {
    Box* window = GetWindowBox();
    if (window->capture_ == this) window->capture_ = nullptr;
    parent_->RemoveChild(this);
  }
  for (int i = 0; i < child_count_; ++i) {
    children_[i].child->parent_ = nullptr;
    children_[i].child->ForgetReferences();
  }
  delete[] children_;
  delete[] focus_order_;
  children_ = nullptr;
  focus_order_ = nullptr;
  child_count_ = child_capacity_ = 0;
  focus_count_ = focus_capacity_ = current_focus_ = 0;
  parent_ = nullptr;
  capture_ = nullptr;
}

bool Box::HandleEvent(Box*, int, std::intptr_t*) { return false; }
void Box::OnAttach(Box*) {}
void Box::OnChildAdded(Box*) {}
void Box::OnDetach(Box*) {}
void Box::OnChildRemoved(Box*) {}
void Box::OnMoved(int) {}
void Box::OnResized(int) {}
void Box::OnContentChanged() {}
void Box::Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) {
  PaintChildren(dc, originX, originY, clipX, clipY, clipWidth, clipHeight);
}
bool Box::IsWindow() { return false; }
HDC Box::AcquireDC() { return nullptr; }
bool Box::ReleaseDC(HDC) { return false; }
bool Box::DrawFocus(HDC, int, int, int, int) { return false; }
void Box::OnScrollRangeChanged(int) {}
bool Box::HitTest(int, int) { return false; }

// ---- Tree -------------------------------------------------------------------

bool Box::GrowChildren() {
  if (child_count_ < child_capacity_) return true;
  int cap = child_capacity_ + kGrowBy;
  ChildRecord* grown = new ChildRecord[cap];
  if (child_count_) std::memcpy(grown, children_, sizeof(ChildRecord) * child_count_);
  delete[] children_;
  children_ = grown;
  child_capacity_ = cap;
  return true;
}

int Box::IndexOfChild(const Box* child) const {
  if (!child) return -1;
  for (int i = 0; i < child_count_; ++i)
    if (children_[i].child == child) return i;
  return -1;
}

Box* Box::GetChild(int index) const {
  if (index < 0 || index >= child_count_) return nullptr;
  return children_[index].child;
}

bool Box::GetChildRect(const Box* child, int* x, int* y, int* width, int* height) const {
  int i = IndexOfChild(child);
  if (i < 0) return false;
  if (x) *x = children_[i].rect[0][0];
  if (y) *y = children_[i].rect[1][0];
  if (width) *width = children_[i].rect[0][1];
  if (height) *height = children_[i].rect[1][1];
  return true;
}

void Box::SetFlagsInSubtree(bool shown, bool layout) {
  shown_ = shown;
  layout_enabled_ = layout;
  for (int i = 0; i < child_count_; ++i) children_[i].child->SetFlagsInSubtree(shown, layout);
}

bool Box::AddChild(Box* child, Box* before) {
  if (!child || child == this || child->parent_) return false;
  // A box may not become a child inside its own subtree.
  for (Box* b = this; b; b = b->parent_)
    if (b == child) return false;
  int at;
  if (!before) {
    at = 0;
  } else if (before == this) {
    at = child_count_;
  } else {
    at = IndexOfChild(before);
    if (at < 0) return false;
  }
  GrowChildren();
  std::memmove(children_ + at + 1, children_ + at, sizeof(ChildRecord) * (child_count_ - at));
  ChildRecord& r = children_[at];
  r.child = child;
  for (int axis = 0; axis < 2; ++axis) {
    r.rect[axis][0] = 0;
    r.rect[axis][1] = child->size_[axis] < 0 ? 0 : child->size_[axis];
  }
  ++child_count_;
  child->parent_ = this;
  child->SetFlagsInSubtree(shown_, layout_enabled_);
  child->OnAttach(this);
  OnChildAdded(child);
  Relayout(false);
  return true;
}

bool Box::RemoveChild(Box* child) {
  int index = IndexOfChild(child);
  if (index < 0) return false;
  if (current_focus_ < focus_count_) SetFocus(nullptr);
  if (FocusIndexOf(child) >= 0) RemoveFromFocusOrder(child);

  // A pen capture inside the leaving subtree would outlive it.
  Box* window = GetWindowBox();
  for (Box* c = window->capture_; c; c = c->parent_) {
    if (c == child) {
      window->capture_ = nullptr;
      break;
    }
  }

  for (int axis = 0; axis < 2; ++axis) {
    for (int i = 0; i < child_count_; ++i) {
      Box* s = children_[i].child;
      if (s == child) continue;
      if (s->pos_ref_[axis] == child) s->pos_ref_[axis] = child->pos_ref_[axis] ? child->pos_ref_[axis] : this;
      if (s->size_ref_[axis] == child) {
        if (!child->size_ref_[axis]) {
          s->size_num_[axis] = static_cast<int>(static_cast<long long>(child->size_num_[axis]) *
                                                s->size_num_[axis] / s->size_den_[axis]);
          s->size_ref_[axis] = nullptr;
          s->size_den_[axis] = 1;
        } else {
          long long num = static_cast<long long>(s->size_num_[axis]) * child->size_num_[axis];
          long long den = static_cast<long long>(s->size_den_[axis]) * child->size_den_[axis];
          long long g = Gcd(static_cast<std::intptr_t>(num), static_cast<std::intptr_t>(den));
          if (g > 1) num /= g, den /= g;
          s->size_num_[axis] = static_cast<int>(num);
          s->size_den_[axis] = static_cast<int>(den);
          s->size_ref_[axis] = child->size_ref_[axis];
        }
      }
    }
  }
  child->ForgetReferences();
  ChildRecord old = children_[index];
  std::memmove(children_ + index, children_ + index + 1, sizeof(ChildRecord) * (child_count_ - index - 1));
  --child_count_;
  child->parent_ = nullptr;
  Relayout(false);
  if (shown_ && layout_enabled_)
    Invalidate(old.rect[0][0] - scroll_pos_[0], old.rect[1][0] - scroll_pos_[1], old.rect[0][1], old.rect[1][1]);
  child->OnDetach(this);
  OnChildRemoved(child);
  return true;
}

// A box out of the tree keeps no constraint naming its old parent or siblings:
// positions are cleared and a relative size becomes the fixed size 0.
void Box::ForgetReferences() {
  for (int axis = 0; axis < 2; ++axis) {
    pos_offset_[axis] = 0;
    pos_ref_[axis] = nullptr;
    pos_own_edge_[axis] = 0;
    pos_ref_edge_[axis] = 0;
    if (size_ref_[axis]) {
      size_ref_[axis] = nullptr;
      size_num_[axis] = 0;
      size_den_[axis] = 1;
    }
  }
}

// ---- Constraints --------------------------------------------------------------

bool Box::SetPosition(int axis, int offset, int ownEdge, Box* reference, int referenceEdge) {
  if (axis < 0 || axis > 1) return false;
  if (ownEdge < 0 || ownEdge > 4 || referenceEdge < 0 || referenceEdge > 4) return false;
  if (reference) {
    if (!parent_ || reference == this) return false;
    if (reference != parent_ && parent_->IndexOfChild(reference) < 0) return false;
  }
  int own = ownEdge ? ownEdge : pos_own_edge_[axis];
  int refEdge = referenceEdge ? referenceEdge : pos_ref_edge_[axis];
  Box* ref = reference ? reference : pos_ref_[axis];
  if (parent_ && (!own || !refEdge || !ref)) return false;
  pos_offset_[axis] = offset;
  pos_own_edge_[axis] = own ? own : EdgeLeading;
  pos_ref_edge_[axis] = refEdge ? refEdge : EdgeLeading;
  pos_ref_[axis] = ref;
  if (parent_)
    parent_->Relayout(false);
  else
    OnMoved(axis);
  return true;
}

bool Box::SetSize(int axis, int size, Box* reference, int denominator) {
  if (axis < 0 || axis > 1) return false;
  if (!reference) {
    if (size < 0) return false;
    size_num_[axis] = size;
    size_den_[axis] = 1;
    size_ref_[axis] = nullptr;
  } else {
    // A zero denominator would divide by zero in every later layout.
    if (denominator <= 0 || size < 0 || !parent_ || reference == this) return false;
    if (reference != parent_ && parent_->IndexOfChild(reference) < 0) return false;
    std::intptr_t g = Gcd(size, denominator);
    if (g > 1) size /= static_cast<int>(g), denominator /= static_cast<int>(g);
    size_num_[axis] = size;
    size_den_[axis] = denominator;
    size_ref_[axis] = reference;
  }
  if (parent_) {
    parent_->Relayout(false);
  } else {
    if (!size_ref_[axis]) size_[axis] = size_num_[axis];
    OnResized(axis);
    Relayout(false);
  }
  return true;
}

int Box::SettledSize(int axis) const {
  axis &= 1;
  if (size_[axis] >= 0) return size_[axis];
  return size_ref_[axis] ? 0 : size_num_[axis];
}

void Box::GetSize(int* width, int* height) const {
  if (width) *width = size_[0];
  if (height) *height = size_[1];
}

bool Box::GetPositionConstraint(int axis, int* offset, int* ownEdge, Box** reference, int* referenceEdge) const {
  if (axis == 2 || axis == 3) {
    if (offset) *offset = content_origin_[axis - 2];
    if (ownEdge) *ownEdge = content_extent_[axis - 2];
    return true;
  }
  if (axis < 0 || axis > 3) return false;
  if (offset) *offset = pos_offset_[axis];
  if (ownEdge) *ownEdge = pos_own_edge_[axis];
  if (reference) *reference = pos_ref_[axis];
  if (referenceEdge) *referenceEdge = pos_ref_edge_[axis];
  return true;
}

bool Box::GetSizeConstraint(int axis, int* numerator, Box** reference, int* denominator) const {
  if (axis == 2 || axis == 3) {
    if (numerator) *numerator = content_origin_[axis - 2];
    if (denominator) *denominator = content_extent_[axis - 2];
    return true;
  }
  if (axis < 0 || axis > 3) return false;
  if (numerator) *numerator = size_num_[axis];
  if (reference) *reference = size_ref_[axis];
  if (denominator) *denominator = size_den_[axis];
  return true;
}

int Box::GetOffsetIn(const Box* ancestor, int axis) const {
  if (axis < 0 || axis > 1) return 0;
  int offset = 0;
  const Box* b = this;
  while (b != ancestor) {
    const Box* p = b->parent_;
    if (!p) return 0;
    int i = p->IndexOfChild(b);
    offset += p->children_[i].rect[axis][0] - p->scroll_pos_[axis];
    b = p;
  }
  return offset;
}

bool Box::SetLayoutEnabled(bool flag, bool recursive) {
  bool old = layout_enabled_;
  layout_enabled_ = flag;
  if (recursive)
    for (int i = 0; i < child_count_; ++i) children_[i].child->SetLayoutEnabled(flag, true);
  return old;
}

bool Box::SetShown(bool flag, bool recursive) {
  bool old = shown_;
  shown_ = flag;
  if (recursive)
    for (int i = 0; i < child_count_; ++i) children_[i].child->SetShown(flag, true);
  return old;
}

void Box::SetVisible(bool flag) {
  if (visible_ == flag) return;
  visible_ = flag;
  if (parent_) {
    int x, y, w, h;
    parent_->GetChildRect(this, &x, &y, &w, &h);
    parent_->Invalidate(x - parent_->scroll_pos_[0], y - parent_->scroll_pos_[1], w, h);
  }
}

// ---- Scrolling ------------------------------------------------------------------

void Box::UpdateScrollRange(int axis) {
  int page = size_[axis];
  int minimum = content_origin_[axis] < 0 ? content_origin_[axis] : 0;
  int end = content_origin_[axis] + content_extent_[axis];
  int maximum = end > page ? end : page;
  int pos = scroll_pos_[axis];
  if (!scrollable_[axis] || (minimum >= 0 && maximum <= page)) pos = 0;
  if (pos > maximum - page) pos = maximum - page;
  if (pos < minimum) pos = minimum;
  bool changed = page != scroll_page_[axis] || minimum != scroll_min_[axis] || maximum != scroll_max_[axis] ||
                 pos != scroll_pos_[axis];
  scroll_page_[axis] = page;
  scroll_min_[axis] = minimum;
  scroll_max_[axis] = maximum;
  scroll_pos_[axis] = pos;
  if (changed) OnScrollRangeChanged(axis);
}

void Box::SetScrollable(int axis, bool flag) {
  if (axis < 0 || axis > 1) return;
  bool changed = scrollable_[axis] != flag;
  scrollable_[axis] = flag;
  int pos = scroll_pos_[axis], page = scroll_page_[axis], mn = scroll_min_[axis], mx = scroll_max_[axis];
  UpdateScrollRange(axis);
  // The range may be unchanged while the native bar must appear or go.
  bool notified = pos != scroll_pos_[axis] || page != scroll_page_[axis] || mn != scroll_min_[axis] ||
                  mx != scroll_max_[axis];
  if (changed && !notified) OnScrollRangeChanged(axis);
}

void Box::GetScrollInfo(int axis, bool* scrollable, int* minimum, int* maximum, int* position, int* page,
                        int* line) const {
  axis &= 1;
  if (scrollable) *scrollable = scrollable_[axis];
  if (minimum) *minimum = scroll_min_[axis];
  if (maximum) *maximum = scroll_max_[axis];
  if (position) *position = scroll_pos_[axis];
  if (page) *page = scroll_page_[axis];
  if (line) *line = scroll_line_[axis];
}

void Box::SetScrollPosition(int axis, int position, bool notify) {
  if (axis < 0 || axis > 1 || !scrollable_[axis]) return;
  int high = scroll_max_[axis] - scroll_page_[axis];
  if (position > high) position = high;
  if (position < scroll_min_[axis]) position = scroll_min_[axis];
  if (position == scroll_pos_[axis]) return;
  scroll_pos_[axis] = position;
  if (notify) OnScrollRangeChanged(axis);
  if (shown_) InvalidateAll();
}

void Box::SetLineStep(int axis, int step) {
  if (axis >= 0 && axis <= 1) scroll_line_[axis] = step;
}

// ---- Painting -------------------------------------------------------------------

Box* Box::GetWindowBox() {
  Box* b = this;
  while (!b->IsWindow() && b->parent_) b = b->parent_;
  return b;
}

void Box::Invalidate(int x, int y, int width, int height) {
  if (width <= 0 || height <= 0 || !shown_) return;
  Box* window = GetWindowBox();
  int wx = x + GetOffsetIn(window, 0);
  int wy = y + GetOffsetIn(window, 1);
  if (!window->shown_ || !window->visible_) return;
  window->Paint(nullptr, 0, 0, wx, wy, width, height);
}

void Box::InvalidateAll() { Invalidate(0, 0, size_[0], size_[1]); }

void Box::PaintChildren(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) {
  if (!visible_ || !dc) return;
  bool clipped = false;
  for (int i = child_count_ - 1; i >= 0; --i) {
    const ChildRecord& r = children_[i];
    Box* c = r.child;
    if (!c->visible_) continue;
    int x = originX + r.rect[0][0] - scroll_pos_[0];
    int y = originY + r.rect[1][0] - scroll_pos_[1];
    int w = r.rect[0][1], h = r.rect[1][1];
    int ix = x > clipX ? x : clipX;
    int iy = y > clipY ? y : clipY;
    int ir = (x + w < clipX + clipWidth) ? x + w : clipX + clipWidth;
    int ib = (y + h < clipY + clipHeight) ? y + h : clipY + clipHeight;
    if (ir <= ix || ib <= iy) continue;
    SetClipRect(dc, ix, iy, ir - ix, ib - iy);
    clipped = true;
    c->Paint(dc, x, y, ix, iy, ir - ix, ib - iy);
    if (c->has_focus_) {
      HDC own = c->AcquireDC();
      HDC fdc = own ? own : dc;
      int fx = own ? 0 : x, fy = own ? 0 : y;
      if (!own) SetClipRect(dc, ix, iy, ir - ix, ib - iy);
      for (Box* b = c; b; b = b->parent_)
        if (b->DrawFocus(fdc, fx, fy, w, h)) break;
      if (own) c->ReleaseDC(own);
    }
  }
  if (clipped) SetClipRect(dc, clipX, clipY, clipWidth, clipHeight);
}

// ---- Hit search and events ------------------------------------------------------

Box* Box::FindBoxAt(int x, int y) {
  if (capture_) return capture_;
  if (!visible_ || x < 0 || y < 0 || x >= size_[0] || y >= size_[1]) return nullptr;
  struct Level {
    Box* box;
    int next;  // next child record to try
    int x, y;  // the point in the box's content coordinates
  };
  Level stack[kMaxHitDepth];
  int depth = 0;
  stack[0] = {this, 0, x + scroll_pos_[0], y + scroll_pos_[1]};
  for (;;) {
    Level& top = stack[depth];
    Box* b = top.box;
    bool descended = false;
    // Deeper than the stack allows: the box answers for its whole subtree.
    if (depth + 1 < kMaxHitDepth) {
      while (top.next < b->child_count_) {
        const ChildRecord& r = b->children_[top.next++];
        Box* c = r.child;
        int cx = top.x - r.rect[0][0], cy = top.y - r.rect[1][0];
        if (!c->visible_ || cx < 0 || cy < 0 || cx >= r.rect[0][1] || cy >= r.rect[1][1]) continue;
        ++depth;
        stack[depth] = {c, 0, cx + c->scroll_pos_[0], cy + c->scroll_pos_[1]};
        descended = true;
        break;
      }
    }
    if (descended) continue;
    if (b->visible_ && b->HitTest(top.x - b->scroll_pos_[0], top.y - b->scroll_pos_[1])) return b;
    if (depth == 0) return nullptr;
    --depth;
  }
}

bool Box::SendEvent(Box* target, int code, std::intptr_t* data, bool bubble) {
  for (Box* t = target; t; t = t->parent_) {
    if (t->HandleEvent(this, code, data)) return true;
    if (!bubble) break;
  }
  return false;
}

}  // namespace VexaAppGUISystem
