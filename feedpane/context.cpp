#include "context.h"

#include <cassert>

#include "gui/text.h"
#include "lang/localization.h"

namespace feedpane {

Element::~Element() {
  if (bitmap) DeleteObject(bitmap);
}

Fonts::~Fonts() {
  for (const Held& h : held_) VexaAppGUISystem::ReleaseBlockFont(h.font);
}

HFONT Fonts::Get(int height, bool bold, bool underline) {
  for (const Held& h : held_) {
    if (h.height == height && h.bold == bold && h.underline == underline) return h.font;
  }
  HFONT font = VexaAppGUISystem::AcquireBlockFont(height, bold, false, underline);
  if (font) held_.push_back(Held{height, bold, underline, font});
  return font;
}

Surface::~Surface() {
  if (dc_) {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
  if (source_) DeleteDC(source_);
}

HDC Surface::Get(HDC compatible, int width, int height) {
  if (dc_ && width <= width_ && height <= height_) return dc_;
  if (!dc_) {
    dc_ = CreateCompatibleDC(compatible);
    if (!dc_) return nullptr;
  }
  HBITMAP bitmap = CreateCompatibleBitmap(compatible, std::max(width, width_), std::max(height, height_));
  if (!bitmap) return nullptr;
  HGDIOBJ previous = SelectObject(dc_, bitmap);
  if (!old_) old_ = previous;
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = bitmap;
  width_ = std::max(width, width_);
  height_ = std::max(height, height_);
  return dc_;
}

HDC Surface::Source(HDC compatible) {
  if (!source_) source_ = CreateCompatibleDC(compatible);
  return source_;
}

void FreeContext(KorvelPluginServices* services) {
  if (!services) return;
  Context* context = ContextOf(services);
  assert(!context || context->CheckInvariants());
  delete context;
  services->context = nullptr;
}

std::wstring LocalText(KorvelPluginServices* services, int id) {
  PluginWord* word = services ? static_cast<PluginWord*>(services->plugin) : nullptr;
  const char16_t* text = word && word->locale ? word->locale->GetString(id) : nullptr;
  return text ? std::wstring(text, text + std::char_traits<char16_t>::length(text)) : std::wstring();
}

}  // namespace feedpane
