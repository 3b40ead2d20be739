// The layout solver: one axis at a time. Sizes first (relative sizes may refer
// to siblings in any order; a cycle leaves the axis as it was), then position
// chains, then the notifications for what changed.
#include "gui/box.h"

namespace VexaAppGUISystem {

namespace {

bool Trailing(int axis, int edge) { return edge == EdgeTrailing || edge == (axis == 0 ? EdgeRight : EdgeBottom); }

}  // namespace

int Box::ReferenceSize(int axis, const Box* reference, const ChildRecord* work, int count) const {
  if (reference == this) return size_[axis] < 0 ? 0 : size_[axis];
  if (!reference->size_ref_[axis]) return reference->size_num_[axis];
  for (int i = 0; i < count; ++i)
    if (work[i].child == reference) return work[i].rect[axis][1];
  return -1;
}

void Box::NotifyMoved(int axis) {
  OnMoved(axis);
  for (int i = 0; i < child_count_; ++i) children_[i].child->NotifyMoved(axis);
}

void Box::Relayout(bool force) {
  if (!force && !layout_enabled_) return;
  bool was = layout_enabled_;
  // A subtree built with layout off never laid itself out: bring the
  // descendants up to date first, so that sizes that follow content are known.
  if (force)
    for (int i = 0; i < child_count_; ++i)
      if (children_[i].child->layout_enabled_) children_[i].child->Relayout(true);
  layout_enabled_ = true;
  LayoutAxis(0);
  LayoutAxis(1);
  layout_enabled_ = was;
  if (!was && shown_) InvalidateAll();
}

// Sizes, in child order: fixed sizes as they are; relative ones once their
// reference's size is known. False when a cycle of references is left over.
bool Box::LayoutSizes(int axis, std::vector<ChildRecord>* work) const {
  const int n = static_cast<int>(work->size());
  for (ChildRecord& r : *work) r.rect[axis][1] = -1;
  int unresolved = n;
  while (unresolved > 0) {
    int before = unresolved;
    for (ChildRecord& r : *work) {
      if (r.rect[axis][1] >= 0) continue;
      const Box* c = r.child;
      int size;
      if (!c->size_ref_[axis]) {
        size = c->size_num_[axis];
      } else {
        int ref = ReferenceSize(axis, c->size_ref_[axis], work->data(), n);
        if (ref < 0) continue;
        size = static_cast<int>(static_cast<long long>(ref) * c->size_num_[axis] / c->size_den_[axis]);
      }
      r.rect[axis][1] = size < 0 ? 0 : size;
      --unresolved;
    }
    if (unresolved == before) return false;
  }
  return true;
}

// Positions: each child's chain of references ends at the parent; a chain
// through an already placed sibling adds that sibling's position. Chains
// longer than the child count are cycles and place the child at 0.
void Box::LayoutPositions(int axis, std::vector<ChildRecord>* work) {
  const int n = static_cast<int>(work->size());
  // Children know their record index for this pass, so references resolve in constant time.
  for (int i = 0; i < n; ++i) children_[i].child->layout_index_ = i;
  auto index_of = [&](const Box* b) -> int {
    int i = b->layout_index_;
    return (i >= 0 && i < n && (*work)[i].child == b) ? i : -1;
  };
  auto size_of = [&](const Box* b) -> int {
    if (b == this) return size_[axis] < 0 ? 0 : size_[axis];
    int i = index_of(b);
    return i < 0 ? 0 : (*work)[i].rect[axis][1];
  };
  std::vector<signed char> state(n, 0);  // 0 open, 1 on the current chain, 2 placed, 3 never reaches the parent
  std::vector<int> chain;
  for (int start = 0; start < n; ++start) {
    if (state[start] == 2) continue;
    chain.clear();
    int i = start;
    long long base = 0;
    bool cycle = false;
    for (;;) {
      if (state[i] == 2) {
        base = (*work)[i].rect[axis][0];
        break;
      }
      if (state[i] == 1 || state[i] == 3 || static_cast<int>(chain.size()) > n) {
        cycle = true;
        break;
      }
      state[i] = 1;
      chain.push_back(i);
      const Box* ref = (*work)[i].child->pos_ref_[axis];
      if (!ref || ref == this) break;
      int r = index_of(ref);
      if (r < 0) break;
      i = r;
    }
    for (int k = static_cast<int>(chain.size()) - 1; k >= 0; --k) {
      int c = chain[k];
      const Box* cur = (*work)[c].child;
      const Box* ref = cur->pos_ref_[axis] ? cur->pos_ref_[axis] : this;
      long long pos = cur->pos_offset_[axis];
      if (Trailing(axis, cur->pos_own_edge_[axis])) pos -= size_of(cur);
      if (Trailing(axis, cur->pos_ref_edge_[axis])) pos += size_of(ref);
      base = cycle ? 0 : base + pos;
      (*work)[c].rect[axis][0] = static_cast<int>(base);
      state[c] = cycle ? 3 : 2;
    }
  }
}

// Stores the new records; collects what to repaint (the old and the new
// rectangle, or the one that contains the other) and what moved or resized.
void Box::ApplyLayout(int axis, const std::vector<ChildRecord>& work, LayoutChanges* changes) {
  for (int i = 0; i < child_count_; ++i) {
    ChildRecord& old = children_[i];
    const ChildRecord& now = work[i];
    bool pos_changed = old.rect[axis][0] != now.rect[axis][0];
    bool size_changed = old.rect[axis][1] != now.rect[axis][1] || old.child->size_[axis] != now.rect[axis][1];
    if (pos_changed || old.rect[axis][1] != now.rect[axis][1]) {
      ChildRecord merged = old;
      merged.rect[axis][0] = now.rect[axis][0];
      merged.rect[axis][1] = now.rect[axis][1];
      Repaint a = {old.rect[0][0], old.rect[1][0], old.rect[0][1], old.rect[1][1]};
      Repaint b = {merged.rect[0][0], merged.rect[1][0], merged.rect[0][1], merged.rect[1][1]};
      if (a.Contains(b)) {
        changes->repaint.push_back(a);
      } else if (b.Contains(a)) {
        changes->repaint.push_back(b);
      } else {
        changes->repaint.push_back(a);
        changes->repaint.push_back(b);
      }
    }
    if (pos_changed) changes->moved.push_back(old.child);
    if (size_changed) changes->resized.push_back(old.child);
    old.rect[axis][0] = now.rect[axis][0];
    old.rect[axis][1] = now.rect[axis][1];
    old.child->size_[axis] = now.rect[axis][1];
  }
}

// The bounding rectangle of the children on this axis.
void Box::UpdateContent(int axis) {
  int lo = 0, hi = 0;
  for (int i = 0; i < child_count_; ++i) {
    int p = children_[i].rect[axis][0], e = p + children_[i].rect[axis][1];
    if (i == 0 || p < lo) lo = p;
    if (i == 0 || e > hi) hi = e;
  }
  bool changed = lo != content_origin_[axis] || hi - lo != content_extent_[axis];
  content_origin_[axis] = lo;
  content_extent_[axis] = hi - lo;
  if (changed) OnContentChanged();
}

bool Box::LayoutAxis(int axis) {
  if (!layout_enabled_) return false;
  if (child_count_ == 0) {
    UpdateContent(axis);
    UpdateScrollRange(axis);
    return true;
  }
  std::vector<ChildRecord> work(children_, children_ + child_count_);
  if (!LayoutSizes(axis, &work)) return false;  // a cycle keeps the previous rectangles
  LayoutPositions(axis, &work);
  LayoutChanges changes;
  ApplyLayout(axis, work, &changes);
  UpdateContent(axis);
  UpdateScrollRange(0);
  UpdateScrollRange(1);
  for (Box* b : changes.moved) b->NotifyMoved(axis);
  for (Box* b : changes.resized) {
    b->OnResized(axis);
    b->Relayout(false);
  }
  if (shown_)
    for (const Repaint& r : changes.repaint) Invalidate(r.x - scroll_pos_[0], r.y - scroll_pos_[1], r.w, r.h);
  return true;
}

}  // namespace VexaAppGUISystem
