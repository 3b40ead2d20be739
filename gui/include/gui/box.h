// Box: the toolkit's unit. A rectangle with an ordered list of child boxes
// laid out by anchor constraints, painted with clipping, scrolled, and routing
// pen, key and focus events.
//
// Invariants:
// - children are never owned; a child record holds the child's rectangle in
//   the parent's content coordinates as the last layout placed it;
// - the focus order lists only children of this box; current_focus_ equals
//   the entry count when no entry is current;
// - every failing operation leaves the tree unchanged;
// - a box leaves its parent when destroyed, and its children lose their parent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace VexaAppGUISystem {

enum EventCode {
  EventPenDown = 0,
  EventPenUp = 1,
  EventRightDown = 2,
  EventRightUp = 3,
  EventPenMove = 4,
  EventFocusIn = 5,
  EventFocusOut = 6,
  EventActivate = 7,
  EventKeyDown = 8,
  EventKeyUp = 9,
  EventChar = 10,
  EventCommand = 1000,
  EventItemDown = 1001,
  EventItemUp = 1002,
  EventItemMove = 1003,
};

// Edges of a position constraint.
enum Edge { EdgeNone = 0, EdgeLeading = 1, EdgeRight = 2, EdgeTrailing = 3, EdgeBottom = 4 };

// Focus modes.
enum FocusMode { FocusItem = 1, FocusSkipped = 2, FocusNone = 3, FocusGroup = 4 };

// Event data: two pointer-sized words (x and y, new and old focus, command
// string and command value, ...).
using EventData = std::intptr_t[2];

class Box {
 public:
  Box();
  Box(const Box&) = delete;
  Box& operator=(const Box&) = delete;

  // Slots 0..14, then the destructor.
  virtual bool HandleEvent(Box* source, int code, std::intptr_t* data);
  virtual void OnAttach(Box* parent);
  virtual void OnChildAdded(Box* child);
  virtual void OnDetach(Box* parent);
  virtual void OnChildRemoved(Box* child);
  virtual void OnMoved(int axis);
  virtual void OnResized(int axis);
  virtual void OnContentChanged();
  virtual void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight);
  virtual bool IsWindow();
  virtual HDC AcquireDC();
  virtual bool ReleaseDC(HDC dc);
  virtual bool DrawFocus(HDC dc, int x, int y, int width, int height);
  virtual void OnScrollRangeChanged(int axis);
  virtual bool HitTest(int x, int y);
  virtual ~Box();

  // Tree.
  bool AddChild(Box* child, Box* before);
  bool RemoveChild(Box* child);
  int GetChildCount() const { return child_count_; }
  Box* GetChild(int index) const;
  Box* GetParent() const { return parent_; }
  int IndexOfChild(const Box* child) const;

  // Constraints.
  bool SetPosition(int axis, int offset, int ownEdge, Box* reference, int referenceEdge);
  bool SetSize(int axis, int size, Box* reference, int denominator);
  void GetSize(int* width, int* height) const;
  int Width() const { return size_[0]; }
  int Height() const { return size_[1]; }
  // The size on an axis: the laid-out size, or before the first layout the
  // fixed size rule (0 for a relative one).
  int SettledSize(int axis) const;
  // (x, y) in the box's own coordinates lies inside its width and height.
  bool ContainsPoint(int x, int y) const { return x >= 0 && y >= 0 && x < size_[0] && y < size_[1]; }
  // Axes 2 and 3 report content origin and extent of axis 0 and 1.
  bool GetPositionConstraint(int axis, int* offset, int* ownEdge, Box** reference, int* referenceEdge) const;
  bool GetSizeConstraint(int axis, int* numerator, Box** reference, int* denominator) const;
  int GetOffsetIn(const Box* ancestor, int axis) const;
  // The child's rectangle as the last layout placed it (false when not a child).
  bool GetChildRect(const Box* child, int* x, int* y, int* width, int* height) const;

  void Relayout(bool force);
  bool SetLayoutEnabled(bool flag, bool recursive);
  bool SetShown(bool flag, bool recursive);
  bool IsLayoutEnabled() const { return layout_enabled_; }
  bool IsShown() const { return shown_; }
  void SetVisible(bool flag);
  bool IsVisible() const { return visible_; }

  void Invalidate(int x, int y, int width, int height);
  void InvalidateAll();

  // Scrolling.
  void SetScrollable(int axis, bool flag);
  void GetScrollInfo(int axis, bool* scrollable, int* minimum, int* maximum, int* position, int* page,
                     int* line) const;
  void SetScrollPosition(int axis, int position, bool notify);
  void SetLineStep(int axis, int step);
  int GetScrollPosition(int axis) const { return scroll_pos_[axis & 1]; }

  // Focus.
  bool AddToFocusOrder(Box* item, Box* before, int mode);
  bool RemoveFromFocusOrder(Box* item);
  bool SetFocus(Box* item);
  bool MoveFocus(int steps, bool wrap, bool climb, Box** next);
  Box* GetFocused(bool descend);
  int SetFocusMode(int mode);
  int GetFocusMode() const { return focus_mode_; }
  int GetFocusCount() const { return focus_count_; }
  Box* GetFocusEntry(int index) const;
  bool HasFocus() const { return has_focus_; }

  bool SendEvent(Box* target, int code, std::intptr_t* data, bool bubble);
  Box* FindBoxAt(int x, int y);

  // The nearest box of the chain (this one included) that is a window, or the root.
  Box* GetWindowBox();
  void SetCapture(Box* box) { capture_ = box; }
  Box* GetCapture() const { return capture_; }

  std::uint32_t GetUserValue() const { return user_value_; }
  void SetUserValue(std::uint32_t v) { user_value_ = v; }
  void* GetUserData() const { return user_data_; }
  void SetUserData(void* p) { user_data_ = p; }

  // Deepest nesting the hit search walks; deeper boxes are not searched.
  static constexpr int kMaxHitDepth = 100;

 protected:
  // Paints the children over the clip, first child last (on top).
  void PaintChildren(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight);

  struct ChildRecord {
    int rect[2][2];  // [axis][0 = position, 1 = size]
    Box* child;
  };

  // Layout helpers: one axis is laid out in these steps.
  struct Repaint {
    int x, y, w, h;
    bool Contains(const Repaint& o) const { return o.x >= x && o.y >= y && o.x + o.w <= x + w && o.y + o.h <= y + h; }
  };
  struct LayoutChanges {
    std::vector<Repaint> repaint;
    std::vector<Box*> moved, resized;
  };
  bool LayoutAxis(int axis);
  bool LayoutSizes(int axis, std::vector<ChildRecord>* work) const;
  void LayoutPositions(int axis, std::vector<ChildRecord>* work);
  void ApplyLayout(int axis, const std::vector<ChildRecord>& work, LayoutChanges* changes);
  void UpdateContent(int axis);
  void UpdateScrollRange(int axis);
  void NotifyMoved(int axis);
  void SetFlagsInSubtree(bool shown, bool layout);
  void ForgetReferences();
  bool GrowChildren();
  int ReferenceSize(int axis, const Box* reference, const ChildRecord* work, int count) const;
  void ClearFocusBranch();
  int FocusIndexOf(const Box* item) const;

  // Position constraint per axis.
  int pos_offset_[2] = {0, 0};
  Box* pos_ref_[2] = {nullptr, nullptr};
  int pos_own_edge_[2] = {0, 0};
  int pos_ref_edge_[2] = {0, 0};
  // Size constraint per axis.
  int size_num_[2] = {0, 0};
  Box* size_ref_[2] = {nullptr, nullptr};
  int size_den_[2] = {1, 1};
  int size_[2] = {-1, -1};
  int content_extent_[2] = {0, 0};
  int content_origin_[2] = {0, 0};
  // Scrolling per axis.
  int scroll_page_[2] = {-1, -1};
  int scroll_line_[2] = {-1, -1};
  int scroll_pos_[2] = {0, 0};
  int scroll_min_[2] = {0, 0};
  int scroll_max_[2] = {0, 0};
  bool scrollable_[2] = {false, false};
  Box* parent_ = nullptr;
  Box* capture_ = nullptr;
  int child_count_ = 0;
  int child_capacity_ = 0;
  ChildRecord* children_ = nullptr;
  std::uint32_t user_value_ = 0;
  void* user_data_ = nullptr;
  int focus_count_ = 0;
  int focus_capacity_ = 0;
  int current_focus_ = 0;
  bool has_focus_ = false;
  Box** focus_order_ = nullptr;
  int focus_mode_ = FocusNone;
  bool layout_enabled_ = true;
  bool shown_ = true;
  bool visible_ = true;
  // Scratch: the record index during the parent's layout pass.
  int layout_index_ = -1;
};

std::intptr_t Gcd(std::intptr_t a, std::intptr_t b);

}  // namespace VexaAppGUISystem
