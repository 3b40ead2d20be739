// The banner area at the top of the frame: the window in which the ad
// library draws its banner. It owns the library handle, opens and closes
// the library, forwards its window's messages, and redraws the banner when
// the program's views change. Until the ad library is part of the program
// no library is found: the strip is laid out, takes the focus and shows its
// focus frame, and every call into the library is skipped.
#pragma once

#include "gui/window_box.h"

class CKorvelLifeAdsArea : public VexaAppGUISystem::WindowBox {
 public:
  static constexpr int kIncompatibleVersion = 14007;
  static constexpr COLORREF kStripColour = RGB(0xE8, 0xF0, 0xF7);

  CKorvelLifeAdsArea();
  bool HandleEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) override;
  void PaintBackground(HDC dc, int originX, int originY, int clipX, int clipY, int width, int height) override;
  bool OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  // Opens the library: 0, or kIncompatibleVersion when the run must end.
  int Open();
  void Reset();
  void DrawBanner(bool pick_new);
  void Close();
  void* Handle() const { return handle_; }
  // How often the banner was asked to draw since start (for tests).
  int DrawCount() const { return draw_count_; }

 private:
  void* handle_ = nullptr;
  int draw_count_ = 0;
};
