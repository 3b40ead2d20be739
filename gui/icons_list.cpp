// IconsList: cells flow left to right into rows that wrap at the list's
// width; the rows can be centred as one block.
#include <vector>

#include "gui/icon_view.h"

namespace VexaAppGUISystem {

void IconsList::OnChildAdded(Box*) { Arrange(); }
void IconsList::OnChildRemoved(Box*) { Arrange(); }
void IconsList::OnResized(int) { Arrange(); }

void IconsList::Arrange() {
  if (arranging_ || size_[0] <= 0) return;
  arranging_ = true;
  bool shown = SetShown(false, false);
  bool layout = SetLayoutEnabled(false, false);
  // A cell starts a new row when the widths already in the row (spacing not
  // counted) and its own would pass the usable width.
  const int usable = size_[0] - right_margin_ - spacing_;
  struct Row {
    int first = 0, count = 0, width = 0, span = 0;
    Box* tallest = nullptr;
  };
  std::vector<Row> rows;
  for (int i = 0; i < child_count_; ++i) {
    Box* c = children_[i].child;
    int w = c->SettledSize(0), h = c->SettledSize(1);
    if (rows.empty() || rows.back().width + w > usable) {
      rows.push_back(Row());
      rows.back().first = i;
    }
    Row& row = rows.back();
    if (row.count == 0)
      c->SetPosition(0, spacing_, EdgeLeading, this, EdgeLeading);
    else
      c->SetPosition(0, spacing_, EdgeLeading, children_[i - 1].child, EdgeRight);
    if (rows.size() == 1)
      c->SetPosition(1, spacing_, EdgeLeading, this, EdgeLeading);
    else
      c->SetPosition(1, spacing_, EdgeLeading, rows[rows.size() - 2].tallest, EdgeBottom);
    row.span += (row.count ? spacing_ : 0) + w;
    row.width += w;
    ++row.count;
    if (!row.tallest || h > row.tallest->SettledSize(1)) row.tallest = c;
  }
  int widest = 0, height = extra_height_[0] + extra_height_[1];
  for (const Row& row : rows) {
    if (row.span > widest) widest = row.span;
    // Each row sits the spacing below the one before: the list holds them all.
    height += row.tallest->SettledSize(1) + spacing_;
  }
  if (centred_) {
    int x = spacing_ + (size_[0] - spacing_ - right_margin_ - widest) / 2;
    if (x < 0) x = 0;
    for (const Row& row : rows) children_[row.first].child->SetPosition(0, x, EdgeLeading, this, EdgeLeading);
  }
  SetLayoutEnabled(layout, false);
  SetSize(1, height, nullptr, 1);
  Relayout(false);
  SetShown(shown, false);
  arranging_ = false;
  if (shown) InvalidateAll();
}

}  // namespace VexaAppGUISystem
