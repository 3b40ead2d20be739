// Pictures into bitmaps: through the platform's decoder library, from the
// program's GIF resources, and the skin library that may replace them.
//
// Contract:
// - every bitmap returned belongs to the caller, who deletes it;
// - null means no picture: missing library or function, data that does not
//   decode, or no such resource. Nothing is reported otherwise.
#pragma once

#include <windows.h>

namespace VexaAppGUISystem {

// Decodes GIF or JPEG data with imgdecmp.dll, loaded for this call only, into
// a bitmap of the screen's depth at the picture's own size, or scaled down,
// keeping its proportions, to fit maxWidth x maxHeight.
constexpr int kDecodeLimit = 10000;
HBITMAP DecodeImage(const BYTE* bytes, DWORD size, int maxWidth = kDecodeLimit, int maxHeight = kDecodeLimit);

// The resource of type "GIF" with that numeric identifier in `module`, decoded.
HBITMAP LoadGifResource(HMODULE module, int id);

// The program's images: the skin library "SkinKorvel.dll" beside the program
// replaces any image it carries; the others come from the program itself.
// While open it also keeps the decoder ready on this thread: imgdecmp.dll
// stays loaded (DecodeImage's own load and free then cost nothing) and COM
// is initialised, so that a picture costs its decoding and no more.
class ImageResources {
 public:
  ImageResources() {}
  ~ImageResources() { Close(); }
  ImageResources(const ImageResources&) = delete;
  ImageResources& operator=(const ImageResources&) = delete;

  static const wchar_t kSkinName[];  // "SkinKorvel.dll"

  // Loads the skin library (as resources only) from the program's folder, or
  // from `path`; false when there is none, which is no error. Readies the
  // decoder either way.
  bool Open(const wchar_t* path = nullptr);
  void Close();
  // The skin library's module when it is loaded, else null.
  HMODULE SkinModule() const { return skin_; }
  // Where image and icon resources are looked up first: the skin when
  // loaded, else the program's module.
  HMODULE ResourceModule() const;
  // The GIF image with that identifier: the skin's, else the program's; null
  // when neither has it.
  HBITMAP Load(int id) const;

 private:
  HMODULE skin_ = nullptr;
  HMODULE decoder_ = nullptr;
  bool com_ = false;  // this object initialised COM on its thread
};

}  // namespace VexaAppGUISystem
