// The gallery: every control of the toolkit on one window of the device's
// screen size. The place to look at the toolkit, and the source of its screenshots.
#pragma once

#include <memory>

#include "gui/button.h"
#include "gui/window_box.h"

namespace gallery {

class Gallery {
 public:
  Gallery();
  ~Gallery();
  // Builds the boxes and creates the window at the device's screen size.
  bool Create(bool show);
  VexaAppGUISystem::WindowBox& Window();
  // Relays the whole page out (the benchmark's relayout).
  void Relayout();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace gallery
