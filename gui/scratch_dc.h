// Memory device contexts made once for the toolkit's thread: under Wine,
// making and freeing a dc costs a hundred times more than a blit with it.
// The toolkit runs on one thread; these are not for others.
#pragma once

#include <windows.h>

namespace VexaAppGUISystem {

// A memory dc with `bitmap` selected for the life of this object: the shared
// one, or one of its own while the shared one is taken (nested use).
class ScratchDC {
 public:
  explicit ScratchDC(HBITMAP bitmap);
  ~ScratchDC();
  ScratchDC(const ScratchDC&) = delete;
  ScratchDC& operator=(const ScratchDC&) = delete;
  // Null when the bitmap could not be selected.
  HDC dc() const { return old_ ? dc_ : nullptr; }
  // Selects another bitmap into the same dc.
  bool Select(HBITMAP bitmap);

 private:
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  bool shared_ = false;
};

// A dc compatible with the screen for measuring text; the caller restores
// whatever it selects.
HDC MeasuringDC();

}  // namespace VexaAppGUISystem
