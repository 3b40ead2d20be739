// The focus order: each box lists focusable children (items, skipped entries,
// groups); the focused box is found by following current indexes from the root.
#include <cstdlib>
#include <cstring>

#include "gui/box.h"

namespace VexaAppGUISystem {

namespace {
constexpr int kGrowBy = 5;
// Bounds every walk over focus groups, so a malformed order cannot loop forever.
constexpr int kMaxFocusSteps = 100000;

Box* RootOf(Box* b) {
  while (b->GetParent()) b = b->GetParent();
  return b;
}
}  // namespace

int Box::FocusIndexOf(const Box* item) const {
  for (int i = 0; i < focus_count_; ++i)
    if (focus_order_[i] == item) return i;
  return -1;
}

Box* Box::GetFocusEntry(int index) const {
  if (index < 0 || index >= focus_count_) return nullptr;
  return focus_order_[index];
}

int Box::SetFocusMode(int mode) {
  int old = focus_mode_;
  focus_mode_ = mode;
  return old;
}

void Box::ClearFocusBranch() {
  Box* b = this;
  for (int guard = 0; b && guard < kMaxFocusSteps; ++guard) {
    if (b->current_focus_ >= b->focus_count_) {
      b->current_focus_ = b->focus_count_;
      break;
    }
    Box* next = b->focus_order_[b->current_focus_];
    b->current_focus_ = b->focus_count_;
    b = next;
  }
}

Box* Box::GetFocused(bool descend) {
  Box* b = this;
  if (descend)
    while (b->current_focus_ >= b->focus_count_ && b->parent_) b = b->parent_;
  for (int guard = 0; b->current_focus_ < b->focus_count_ && guard < kMaxFocusSteps; ++guard)
    b = b->focus_order_[b->current_focus_];
  return b->has_focus_ ? b : nullptr;
}

bool Box::AddToFocusOrder(Box* item, Box* before, int mode) {
  if (!item || IndexOfChild(item) < 0 || FocusIndexOf(item) >= 0) return false;
  int at;
  if (!before) {
    at = 0;
  } else if (before == this) {
    at = focus_count_;
  } else {
    at = FocusIndexOf(before);
    if (at < 0) return false;
  }
  if (focus_count_ == focus_capacity_) {
    Box** grown = new Box*[focus_capacity_ + kGrowBy];
    if (focus_count_) std::memcpy(grown, focus_order_, sizeof(Box*) * focus_count_);
    delete[] focus_order_;
    focus_order_ = grown;
    focus_capacity_ += kGrowBy;
  }
  if (focus_mode_ == FocusNone) focus_mode_ = FocusGroup;
  if (Box* f = item->GetFocused(false)) {
    f->has_focus_ = false;
    item->ClearFocusBranch();
  }
  bool had = current_focus_ < focus_count_;
  std::memmove(focus_order_ + at + 1, focus_order_ + at, sizeof(Box*) * (focus_count_ - at));
  focus_order_[at] = item;
  ++focus_count_;
  if (!had)
    current_focus_ = focus_count_;
  else if (at <= current_focus_)
    ++current_focus_;
  if (mode) item->focus_mode_ = mode;
  return true;
}

bool Box::RemoveFromFocusOrder(Box* item) {
  int at = FocusIndexOf(item);
  if (at < 0) return false;
  if (current_focus_ == at) SetFocus(nullptr);
  bool had = current_focus_ < focus_count_;
  std::memmove(focus_order_ + at, focus_order_ + at + 1, sizeof(Box*) * (focus_count_ - at - 1));
  --focus_count_;
  if (!had)
    current_focus_ = focus_count_;
  else if (at < current_focus_)
    --current_focus_;
  return true;
}

bool Box::SetFocus(Box* item) {
  Box* target = item;
  if (target) {
    for (int guard = 0; target->focus_mode_ == FocusGroup; ++guard) {
      if (target->focus_count_ == 0 || guard > kMaxFocusSteps) return false;
      target = target->focus_order_[0];
    }
    if (target->focus_mode_ != FocusItem) return false;
    for (Box* b = target; b->parent_; b = b->parent_)
      if (b->parent_->FocusIndexOf(b) < 0) return false;
    if (RootOf(target) != RootOf(this)) return false;
  }
  Box* root = RootOf(this);
  Box* old = root->GetFocused(false);
  if (old) old->has_focus_ = false;
  root->ClearFocusBranch();
  if (target) {
    for (Box* b = target; b->parent_; b = b->parent_) b->parent_->current_focus_ = b->parent_->FocusIndexOf(b);
    target->has_focus_ = true;
  }
  if (old != target) {
    std::intptr_t data[2] = {reinterpret_cast<std::intptr_t>(target), reinterpret_cast<std::intptr_t>(old)};
    if (old) {
      SendEvent(old, EventFocusOut, data, true);
      old->InvalidateAll();
    }
    if (target) {
      data[0] = reinterpret_cast<std::intptr_t>(target);
      data[1] = reinterpret_cast<std::intptr_t>(old);
      SendEvent(target, EventFocusIn, data, true);
      target->InvalidateAll();
    }
  }
  return true;
}

bool Box::MoveFocus(int steps, bool wrap, bool climb, Box** next) {
  Box* current = RootOf(this)->GetFocused(false);
  if (!current || !current->parent_) return false;
  Box* group = current->parent_;
  int index = group->FocusIndexOf(current);
  if (index < 0) return false;
  int dir = steps >= 0 ? 1 : -1;
  int remaining = steps >= 0 ? steps : -steps;
  Box* result = current;
  for (int guard = 0; remaining > 0 && guard < kMaxFocusSteps; ++guard) {
    index += dir;
    if (index < 0 || index >= group->focus_count_) {
      Box* outer = group->parent_;
      if (climb && outer && outer->FocusIndexOf(group) >= 0) {
        index = outer->FocusIndexOf(group);
        group = outer;
        continue;
      }
      if (!wrap || group->focus_count_ == 0) break;
      index = dir > 0 ? -1 : group->focus_count_;
      continue;
    }
    Box* entry = group->focus_order_[index];
    for (int g = 0; entry->focus_mode_ == FocusGroup && entry->focus_count_ > 0 && g < kMaxFocusSteps; ++g) {
      group = entry;
      index = dir > 0 ? 0 : entry->focus_count_ - 1;
      entry = group->focus_order_[index];
    }
    if (entry->focus_mode_ != FocusItem) continue;  // skipped entries and empty groups
    result = entry;
    --remaining;
  }
  if (next) {
    *next = result;
    return true;
  }
  if (result != current) return SetFocus(result);
  return true;
}

}  // namespace VexaAppGUISystem
