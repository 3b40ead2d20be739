#include "scratch_dc.h"

#include <cassert>

namespace VexaAppGUISystem {

namespace {

// Freed when the program ends.
struct SharedDCs {
  HDC bitmaps = nullptr;
  bool bitmaps_taken = false;
  HDC text = nullptr;
  ~SharedDCs() {
    if (bitmaps) DeleteDC(bitmaps);
    if (text) DeleteDC(text);
  }
};

SharedDCs& Shared() {
  static SharedDCs dcs;
  return dcs;
}

}  // namespace

ScratchDC::ScratchDC(HBITMAP bitmap) {
  SharedDCs& s = Shared();
  if (!s.bitmaps_taken) {
    if (!s.bitmaps) s.bitmaps = CreateCompatibleDC(nullptr);
    if (s.bitmaps) {
      dc_ = s.bitmaps;
      shared_ = true;
      s.bitmaps_taken = true;
    }
  }
  if (!dc_) dc_ = CreateCompatibleDC(nullptr);
  if (dc_) Select(bitmap);
}

bool ScratchDC::Select(HBITMAP bitmap) {
  if (!dc_ || !bitmap) return false;
  HGDIOBJ previous = SelectObject(dc_, bitmap);
  if (!previous || previous == HGDI_ERROR) return false;
  if (!old_) old_ = previous;  // the dc's own bitmap, put back at the end
  return true;
}

ScratchDC::~ScratchDC() {
  if (!dc_) return;
  if (old_) SelectObject(dc_, old_);
  if (shared_) {
    assert(Shared().bitmaps_taken);
    Shared().bitmaps_taken = false;
  }
  else
    DeleteDC(dc_);
}

HDC MeasuringDC() {
  SharedDCs& s = Shared();
  if (!s.text) s.text = CreateCompatibleDC(nullptr);
  return s.text;
}

}  // namespace VexaAppGUISystem
