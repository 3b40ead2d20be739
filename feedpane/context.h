// The plug-in's state for one activation, kept in the service block's
// context word: created by LoadContent, freed by UnloadContent and by the
// reload command.
//
// Invariants (CheckInvariants):
// - `current` is `&list` in list mode and `article.get()` in article mode;
// - every index is -1 or inside the current element list;
// - element rectangles are laid out once, top to bottom, and never overlap:
//   each element starts at or below the bottom of the one before.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/plugin_api.h"

class CKorvelNewsLocalization;

namespace feedpane {

enum Mode : int { kModeList = 0, kModeArticle = 1 };

// 1 once the plug-in took part in focus or pen handling; 3 after it handed
// the focus back to the host: painting and scrolling are then ignored.
enum FocusState : int { kFocusNone = -1, kFocusTaken = 1, kFocusReturned = 3 };

// One thing on the screen: a list item, or one part of an article.
struct Element {
  std::string text;     // 8-bit, after cleaning (empty for pictures)
  std::wstring wide;    // the same, as the screen shows it
  std::string second;   // list item: the article's object name; link: the URL; else the property name
  HBITMAP bitmap = nullptr;  // pictures only; owned
  int x = 0, y = 0, width = 0, height = 0;  // content coordinates
  COLORREF colour = 0;
  COLORREF pressed_colour = 0;
  bool read = false;
  bool bold = false;
  bool underline = false;
  bool pressed_underline = false;
  bool focusable = false;
  int font_height = 13;
  bool is_text = true;

  Element() = default;
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;
  ~Element();

  bool IsLink() const { return is_text && focusable && !second.empty(); }
  int Bottom() const { return y + height; }
};

using ElementList = std::vector<std::unique_ptr<Element>>;

// The fonts elements are drawn in (face Tahoma), made once per height and
// style and held until the context goes.
class Fonts {
 public:
  Fonts() = default;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  ~Fonts();
  HFONT Get(int height, bool bold, bool underline);

 private:
  struct Held {
    int height;
    bool bold, underline;
    HFONT font;
  };
  std::vector<Held> held_;
};

// A memory bitmap to paint into, kept between paints and remade when the
// window changes size.
class Surface {
 public:
  Surface() = default;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface();
  // A dc with a bitmap of at least width x height selected; null on failure.
  HDC Get(HDC compatible, int width, int height);
  // A second memory dc for copying pictures from.
  HDC Source(HDC compatible);

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  int width_ = 0, height_ = 0;
  HDC source_ = nullptr;
};

struct Context {
  ElementList* current = nullptr;
  Mode mode = kModeList;
  ElementList list;
  std::unique_ptr<ElementList> article;
  std::string channel_name;
  bool has_channel_name = false;
  int scroll_x = 0, scroll_y = 0;
  int saved_x = 0, saved_y = 0;       // the list's scroll position while an article is shown
  int saved_focus = -1;               // and its focused item
  int opened_index = -1;              // the list index of the article shown (or last shown)
  int pen_index = -1;                 // the element under the pen
  int pressed_index = -1;             // the element the pen went down on
  int focused_index = -1;             // the keyboard focus
  FocusState focus_state = kFocusNone;
  int last_scroll_y = -1;             // the last vertical position requested
  Fonts fonts;
  Surface surface;

  Context() : current(&list) {}
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  int Count() const { return current ? static_cast<int>(current->size()) : 0; }
  Element* At(int index) const {
    return index >= 0 && index < Count() ? (*current)[static_cast<std::size_t>(index)].get() : nullptr;
  }
  // Inline, so that tests reading a context check it with the same code.
  bool CheckInvariants() const;
};

inline bool Context::CheckInvariants() const {
  const ElementList* expected = mode == kModeList ? &list : article.get();
  if (current != expected) return false;
  for (int index : {pen_index, pressed_index, focused_index}) {
    if (index < -1 || index >= Count()) return false;
  }
  if (opened_index < -1 || opened_index >= static_cast<int>(list.size())) return false;
  if (saved_focus < -1 || saved_focus >= static_cast<int>(list.size())) return false;
  const ElementList* lists[] = {&list, article.get()};
  for (const ElementList* elements : lists) {
    if (!elements) continue;
    int bottom = 0;
    for (const auto& e : *elements) {
      if (e->y < bottom || e->height < 0 || e->width < 0) return false;
      bottom = e->Bottom();
    }
  }
  return true;
}

// What the plug-in keeps in the service block besides its context: its own
// language pack, made by LoadContent and deleted by UnloadContent.
struct PluginWord {
  std::unique_ptr<CKorvelNewsLocalization> locale;
};

inline Context* ContextOf(KorvelPluginServices* services) {
  return services ? static_cast<Context*>(services->context) : nullptr;
}
void FreeContext(KorvelPluginServices* services);

// Language-pack text by screen number: empty when there is no pack.
std::wstring LocalText(KorvelPluginServices* services, int id);

}  // namespace feedpane
