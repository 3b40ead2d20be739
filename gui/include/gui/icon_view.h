// The icon view: IconsList flows its cells into rows that wrap at its width;
// IconBox is one cell, an icon with a label and an optional count, that
// highlights while the pen presses it and sends its command on release.
//
// Invariants:
// - at most one cell is the current cell (the last one pressed); it is the
//   only cell that takes the pen in its own area;
// - a cell owns its icon and labels and deletes them with itself.
#pragma once

#include <windows.h>

#include "gui/bar.h"
#include "gui/button.h"

namespace VexaAppGUISystem {

class IconsList : public Box {
 public:
  IconsList() {}
  void OnChildAdded(Box* child) override;
  void OnChildRemoved(Box* child) override;
  void OnResized(int axis) override;

  void SetSpacing(int spacing) { spacing_ = spacing; }
  void SetRightMargin(int margin) { right_margin_ = margin; }
  void SetExtraHeight(int first, int second) { extra_height_[0] = first, extra_height_[1] = second; }
  void SetCentred(bool centred) { centred_ = centred; }
  // Places the cells in rows and gives the list the rows' height.
  void Arrange();

 protected:
  int spacing_ = 0;
  int right_margin_ = 0;
  int extra_height_[2] = {0, 0};
  bool centred_ = true;
  bool arranging_ = false;
};

class IconBox : public Bar {
 public:
  IconBox() {}
  ~IconBox() override;
  bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
  bool DrawFocus(HDC dc, int x, int y, int width, int height) override;
  bool HitTest(int x, int y) override;

  // Creates the icon once (later calls change its images) and adds it.
  void SetIcon(std::uint32_t commandValue, HBITMAP normal, HBITMAP pressed, HBITMAP disabled,
               bool transparent = false, COLORREF key = 0);
  void SetLabel(const wchar_t* text, const TextStyle& normal, const TextStyle& pressed);
  // The count label: "first/second".
  void SetCounts(int first, int second, const TextStyle& normal, const TextStyle& pressed);
  // The cell's size; orientation 0 puts the label beside the icon, 1 below it.
  void SetCellSize(int width, int height);

  bool IsHighlighted() const { return highlight_; }
  bool IsArmed() const { return armed_; }
  std::uint32_t GetCommandValue() const { return command_value_; }
  ActionImageButton* Icon() const { return icon_; }
  ActionTextButton* Label() const { return label_; }
  ActionTextButton* Count() const { return count_; }

  // The cell the pen pressed last, shared by every cell of the program.
  static IconBox* CurrentCell();
  // Whether the focused cell is drawn highlighted (the program shows focus
  // when the user steers with the keys).
  static void SetShowFocusHighlight(bool show);
  static bool ShowsFocusHighlight();

 protected:
  void SetHighlight(bool on);
  void Disarm();
  void LayOutParts();
  bool InsideAt(Box* source, const std::intptr_t* data);
  bool SendCellCommand();
  int cell_width_ = 0, cell_height_ = 0;
  ActionImageButton* icon_ = nullptr;
  ActionTextButton* label_ = nullptr;
  ActionTextButton* count_ = nullptr;
  bool highlight_ = false;
  bool armed_ = false;
  std::uint32_t command_value_ = 0;
  TextStyle label_normal_, label_pressed_;
};

}  // namespace VexaAppGUISystem
