// Bitmap and shape drawing, and the shared masks of transparent bitmaps.
#include "gui/bitmap.h"

#include <cassert>
#include <vector>

#include "scratch_dc.h"

namespace VexaAppGUISystem {

namespace {

// A pen and a brush selected into a dc for one shape.
class ShapeTools {
 public:
  ShapeTools(HDC dc, COLORREF frame, int penWidth, const COLORREF* fill) : dc_(dc) {
    // An inside frame keeps wide pens within the shape's rectangle.
    pen_ = penWidth > 0 ? CreatePen(PS_INSIDEFRAME, penWidth, frame) : nullptr;
    brush_ = fill ? CreateSolidBrush(*fill) : nullptr;
    old_pen_ = SelectObject(dc, pen_ ? static_cast<HGDIOBJ>(pen_) : GetStockObject(NULL_PEN));
    old_brush_ = SelectObject(dc, brush_ ? static_cast<HGDIOBJ>(brush_) : GetStockObject(NULL_BRUSH));
  }
  ~ShapeTools() {
    SelectObject(dc_, old_pen_);
    SelectObject(dc_, old_brush_);
    if (pen_) DeleteObject(pen_);
    if (brush_) DeleteObject(brush_);
  }
  ShapeTools(const ShapeTools&) = delete;
  ShapeTools& operator=(const ShapeTools&) = delete;
  RECT Figure(int x, int y, int width, int height) const {
    // Without a pen the filled interior stops one pixel short; draw one wider.
    int grow = pen_ ? 0 : 1;
    return RECT{x, y, x + width + grow, y + height + grow};
  }

 private:
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ old_pen_, old_brush_;
};

bool Shape(HDC dc, int x, int y, int width, int height, COLORREF frame, const COLORREF* fill, int penWidth,
           int cornerWidth, int cornerHeight) {
  if (!dc || width <= 0 || height <= 0 || penWidth < 0) return false;
  ShapeTools tools(dc, frame, penWidth, fill);
  RECT r = tools.Figure(x, y, width, height);
  if (cornerWidth > 0 || cornerHeight > 0) return RoundRect(dc, r.left, r.top, r.right, r.bottom, cornerWidth, cornerHeight);
  return Rectangle(dc, r.left, r.top, r.right, r.bottom) != 0;
}

}  // namespace

bool GetBitmapSize(HBITMAP bitmap, int* width, int* height) {
  BITMAP bm;
  if (!bitmap || GetObjectType(bitmap) != OBJ_BITMAP || !GetObjectW(bitmap, sizeof(bm), &bm)) return false;
  if (width) *width = bm.bmWidth;
  if (height) *height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  return true;
}

COLORREF GetBitmapPixel(HBITMAP bitmap, int x, int y, COLORREF fallback) {
  int w, h;
  if (!GetBitmapSize(bitmap, &w, &h) || x < 0 || y < 0 || x >= w || y >= h) return fallback;
  ScratchDC src(bitmap);
  if (!src.dc()) return fallback;
  COLORREF c = GetPixel(src.dc(), x, y);
  return c == CLR_INVALID ? fallback : c;
}

HBITMAP ScaleBitmap(HBITMAP bitmap, int xNum, int xDen, int yNum, int yDen) {
  int w, h;
  if (!GetBitmapSize(bitmap, &w, &h) || xNum < 0 || yNum < 0 || xDen <= 0 || yDen <= 0) return nullptr;
  if (xNum == xDen && yNum == yDen) return bitmap;
  long long nw = static_cast<long long>(w) * xNum / xDen, nh = static_cast<long long>(h) * yNum / yDen;
  if (nw <= 0 || nh <= 0 || nw > 0x7FFF || nh > 0x7FFF) return nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP scaled = CreateCompatibleBitmap(screen, static_cast<int>(nw), static_cast<int>(nh));
  bool ok = false;
  if (scaled) {
    ScratchDC src(bitmap), dst(scaled);
    if (src.dc() && dst.dc()) {
      SetStretchBltMode(dst.dc(), COLORONCOLOR);  // plain copy: no blended colours next to a colour key
      ok = StretchBlt(dst.dc(), 0, 0, static_cast<int>(nw), static_cast<int>(nh), src.dc(), 0, 0, w, h, SRCCOPY) != 0;
    }
  }
  ReleaseDC(nullptr, screen);
  if (!ok && scaled) {
    DeleteObject(scaled);
    scaled = nullptr;
  }
  return scaled;
}

HBITMAP ScaleBitmapReplace(HBITMAP bitmap, int xNum, int xDen, int yNum, int yDen) {
  HBITMAP scaled = ScaleBitmap(bitmap, xNum, xDen, yNum, yDen);
  if (!scaled) return GetBitmapSize(bitmap, nullptr, nullptr) ? bitmap : nullptr;
  if (scaled != bitmap) DeleteObject(bitmap);
  return scaled;
}

bool DrawBitmap(HBITMAP bitmap, int x, int y, HDC dc) {
  int w, h;
  if (!dc || !GetBitmapSize(bitmap, &w, &h)) return false;
  ScratchDC src(bitmap);
  return src.dc() && BitBlt(dc, x, y, w, h, src.dc(), 0, 0, SRCCOPY);
}

bool DrawBitmapTransparent(HBITMAP bitmap, int x, int y, HDC dc, COLORREF key) {
  int w, h;
  if (!dc || !GetBitmapSize(bitmap, &w, &h)) return false;
  ScratchDC src(bitmap);
  return src.dc() && TransparentBlt(dc, x, y, w, h, src.dc(), 0, 0, w, h, key);
}

bool FillFramedRect(HDC dc, int x, int y, int width, int height, COLORREF frame, COLORREF fill, int penWidth) {
  return Shape(dc, x, y, width, height, frame, &fill, penWidth, 0, 0);
}

bool FrameRect(HDC dc, int x, int y, int width, int height, COLORREF frame, int penWidth) {
  return Shape(dc, x, y, width, height, frame, nullptr, penWidth, 0, 0);
}

bool FillFramedRoundRect(HDC dc, int x, int y, int width, int height, COLORREF frame, COLORREF fill, int penWidth,
                         int cornerWidth, int cornerHeight) {
  return Shape(dc, x, y, width, height, frame, &fill, penWidth, cornerWidth, cornerHeight);
}

bool FrameRoundRect(HDC dc, int x, int y, int width, int height, COLORREF frame, int penWidth, int cornerWidth,
                    int cornerHeight) {
  return Shape(dc, x, y, width, height, frame, nullptr, penWidth, cornerWidth, cornerHeight);
}

bool SetClipRect(HDC dc, int x, int y, int width, int height) {
  if (!dc) return false;
  HRGN region = CreateRectRgn(x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0));
  if (!region) return false;
  bool ok = SelectClipRgn(dc, region) != ERROR;
  DeleteObject(region);
  return ok;
}

// ---- Prepared copies -------------------------------------------------------------------

struct PreparedBitmap::Entry {
  HBITMAP source;
  bool transparent;
  COLORREF key;
  int width, height;
  HDC image_dc = nullptr, mask_dc = nullptr;
  HBITMAP image = nullptr;  // a copy of the source; with key pixels black when transparent
  HBITMAP mask = nullptr;   // 1 where the source has the key colour
  HGDIOBJ image_old = nullptr, mask_old = nullptr;
  int users = 0;
};

namespace {

// The toolkit runs on one thread; a handful of entries, searched linearly.
std::vector<PreparedBitmap::Entry*>& Entries() {
  static std::vector<PreparedBitmap::Entry*> entries;
  return entries;
}

// A bitmap of its own, kept selected in a dc of its own.
bool MakeSelected(HBITMAP bitmap, HDC* dc, HGDIOBJ* old) {
  if (!bitmap) return false;
  *dc = CreateCompatibleDC(nullptr);
  if (!*dc) return false;
  *old = SelectObject(*dc, bitmap);
  return *old && *old != HGDI_ERROR;
}

bool Prepare(PreparedBitmap::Entry* e) {
  HDC screen = GetDC(nullptr);
  e->image = CreateCompatibleBitmap(screen, e->width, e->height);
  ReleaseDC(nullptr, screen);
  if (!MakeSelected(e->image, &e->image_dc, &e->image_old)) return false;
  ScratchDC src(e->source);
  if (!src.dc() || !BitBlt(e->image_dc, 0, 0, e->width, e->height, src.dc(), 0, 0, SRCCOPY)) return false;
  if (!e->transparent) return true;
  e->mask = CreateBitmap(e->width, e->height, 1, 1, nullptr);
  if (!MakeSelected(e->mask, &e->mask_dc, &e->mask_old)) return false;
  SetBkColor(src.dc(), e->key);
  BitBlt(e->mask_dc, 0, 0, e->width, e->height, src.dc(), 0, 0, SRCCOPY);  // key pixels become 1
  SetTextColor(e->image_dc, RGB(0, 0, 0));
  SetBkColor(e->image_dc, RGB(255, 255, 255));
  // image AND NOT mask: key pixels black, so that OR-ing them changes nothing.
  return BitBlt(e->image_dc, 0, 0, e->width, e->height, e->mask_dc, 0, 0, 0x00220326) != 0;
}

void FreeEntry(PreparedBitmap::Entry* e) {
  if (e->image_dc) {
    if (e->image_old) SelectObject(e->image_dc, e->image_old);
    DeleteDC(e->image_dc);
  }
  if (e->mask_dc) {
    if (e->mask_old) SelectObject(e->mask_dc, e->mask_old);
    DeleteDC(e->mask_dc);
  }
  if (e->image) DeleteObject(e->image);
  if (e->mask) DeleteObject(e->mask);
  delete e;
}

PreparedBitmap::Entry* FindOrPrepare(HBITMAP bitmap, bool transparent, COLORREF key) {
  for (PreparedBitmap::Entry* e : Entries())
    if (e->source == bitmap && e->transparent == transparent && (!transparent || e->key == key)) return e;
  int w, h;
  if (!GetBitmapSize(bitmap, &w, &h)) return nullptr;
  PreparedBitmap::Entry* e = new PreparedBitmap::Entry();
  e->source = bitmap;
  e->transparent = transparent;
  e->key = key;
  e->width = w;
  e->height = h;
  if (!Prepare(e)) {
    FreeEntry(e);
    return nullptr;
  }
  Entries().push_back(e);
  return e;
}

}  // namespace

int PreparedBitmap::Live() { return static_cast<int>(Entries().size()); }

void PreparedBitmap::Release() {
  if (!entry_) return;
  Entry* e = entry_;
  entry_ = nullptr;
  if (--e->users > 0) return;
  std::vector<Entry*>& all = Entries();
  bool listed = false;
  for (size_t i = 0; i < all.size() && !listed; ++i) {
    if (all[i] != e) continue;
    all.erase(all.begin() + static_cast<std::ptrdiff_t>(i));
    listed = true;
  }
  assert(listed && "a held copy is in the table until its last holder lets go");
  FreeEntry(e);
}

bool PreparedBitmap::Draw(HDC dc, int x, int y, HBITMAP bitmap, bool transparent, COLORREF key) {
  if (!dc) return false;
  if (!entry_ || entry_->source != bitmap || entry_->transparent != transparent ||
      (transparent && entry_->key != key)) {
    Entry* found = FindOrPrepare(bitmap, transparent, key);
    if (!found) {  // no copy to be had: draw straight from the bitmap
      Release();
      return transparent ? DrawBitmapTransparent(bitmap, x, y, dc, key) : DrawBitmap(bitmap, x, y, dc);
    }
    ++found->users;
    Release();
    entry_ = found;
  }
  if (!entry_->transparent) return BitBlt(dc, x, y, entry_->width, entry_->height, entry_->image_dc, 0, 0, SRCCOPY);
  COLORREF text = SetTextColor(dc, RGB(0, 0, 0)), back = SetBkColor(dc, RGB(255, 255, 255));
  BitBlt(dc, x, y, entry_->width, entry_->height, entry_->mask_dc, 0, 0, SRCAND);
  bool ok = BitBlt(dc, x, y, entry_->width, entry_->height, entry_->image_dc, 0, 0, SRCPAINT) != 0;
  SetTextColor(dc, text);
  SetBkColor(dc, back);
  return ok;
}

}  // namespace VexaAppGUISystem
