// The title box at the bottom left of the frame: one line of text naming the
// current screen, cut with an ellipsis when it does not fit. The text is
// also the screen's identity: the frame compares it with the screens' titles.
#pragma once

#include <string>

#include "gui/text.h"

class CKorvelLifeViewTitle : public VexaAppGUISystem::Box {
 public:
  CKorvelLifeViewTitle();
  ~CKorvelLifeViewTitle() override;
  void OnResized(int axis) override;
  bool HitTest(int x, int y) override { return HasMenu(); }
  bool HandleEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;

  // The style of the text (the application's style 1, white); keeps its font.
  void SetStyle(const VexaAppGUISystem::TextStyle& style);
  void SetText(const wchar_t* text);
  const std::wstring& GetText() const { return text_; }
  // A tap on the title opens the screen's options menu: `open` is called
  // with the title's screen rectangle. While `has_items` says there is a
  // menu, the title shows a small mark at its right.
  void SetMenuOpener(void (*open)(void* context, const RECT& screen), bool (*has_items)(void* context),
                     void* context);
  // Shows or hides the mark after the menu changed.
  void UpdateMenuMark();
  bool HasMenu() const { return has_items_ && has_items_(open_context_); }
  VexaAppGUISystem::Text& Label() { return text_box_; }

 private:
  void Place();
  VexaAppGUISystem::Text text_box_;
  std::wstring text_;
  void (*open_menu_)(void*, const RECT&) = nullptr;
  void* open_context_ = nullptr;
  bool (*has_items_)(void*) = nullptr;
  bool placed_for_menu_ = false;
};
