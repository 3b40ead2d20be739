// FullScreenAdWindow: the picture over the whole screen at start. It closes
// after five seconds, or at once on a key or a tap.
#pragma once

#include "gui/image.h"
#include "gui/window_box.h"

class FullScreenAdWindow : public VexaAppGUISystem::WindowBox {
 public:
  using ImageLoader = HBITMAP (*)(int id);
  static constexpr UINT_PTR kTimer = 1;
  static constexpr UINT kPeriodMs = 5000;

  explicit FullScreenAdWindow(ImageLoader load) : load_(load) {}
  ~FullScreenAdWindow() override;
  bool OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  // The start-up picture for a screen: 175 taller than wide, 176 square, 177 wider than tall.
  static int PictureFor(int width, int height);
  // Shows the picture for the device's screen until it closes; false when
  // the window cannot be created.
  bool Run();
  // The picture shown last (0 before the first).
  int ShownPicture() const { return shown_id_; }

 private:
  void ShowPicture();
  void Finish();
  ImageLoader load_;
  VexaAppGUISystem::Image picture_;
  HBITMAP bitmap_ = nullptr;
  int screen_width_ = 0, screen_height_ = 0;
  int shown_id_ = 0;
};
