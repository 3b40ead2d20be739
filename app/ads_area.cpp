#include "app/ads_area.h"

#include "app/frame.h"

using VexaAppGUISystem::Box;

namespace {
constexpr int kFocusPen = 3;
}

CKorvelLifeAdsArea::CKorvelLifeAdsArea() {
  SetBackground(kStripColour);
  SetTitle(L"Banner Area");
}

bool CKorvelLifeAdsArea::HandleEvent(Box* source, int code, std::intptr_t* data) {
  if (code == VexaAppGUISystem::EventFocusOut) {
    DrawBanner(false);
    InvalidateAll();  // the focus frame goes
    return true;
  }
  return WindowBox::HandleEvent(source, code, data);
}

void CKorvelLifeAdsArea::PaintBackground(HDC dc, int originX, int originY, int clipX, int clipY, int width,
                                         int height) {
  WindowBox::PaintBackground(dc, originX, originY, clipX, clipY, width, height);
  // The frame marks the focus only while the user steers with the keys.
  if (!dc || !HasFocus() || !hwnd_ || !CKorvelLifeUIFrame::FocusMode()) return;
  RECT r;
  GetClientRect(hwnd_, &r);
  HPEN pen = CreatePen(PS_SOLID, kFocusPen, RGB(0, 0, 255));
  HGDIOBJ old_pen = SelectObject(dc, pen);
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  // The pen is centred on the outline: inset it so all three pixels show.
  Rectangle(dc, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(pen);
}

bool CKorvelLifeAdsArea::OnWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT*) {
  // Messages go to the library only while it is open.
  return false;
}

int CKorvelLifeAdsArea::Open() { return 0; }

void CKorvelLifeAdsArea::Reset() {}

void CKorvelLifeAdsArea::DrawBanner(bool) { ++draw_count_; }

void CKorvelLifeAdsArea::Close() { handle_ = nullptr; }
