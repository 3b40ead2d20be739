#include "app/look.h"

namespace {
TextStyleSource g_styles = nullptr;
ImageSource g_images = nullptr;
}  // namespace

void SetLookSources(TextStyleSource styles, ImageSource images) {
  g_styles = styles;
  g_images = images;
}

const VexaAppGUISystem::TextStyle& AppTextStyle(int index) {
  static const VexaAppGUISystem::TextStyle kNone;
  return g_styles ? g_styles(index) : kNone;
}

HBITMAP AppImage(int id) { return g_images ? g_images(id) : nullptr; }
