// Bitmap and shape drawing, and the shared masks of transparent bitmaps.
#include "gui/bitmap.h"

#include <vector>

namespace VexaAppGUISystem {

namespace {

// A memory dc with a bitmap selected, restored and freed on scope exit.
class SelectedBitmap {
 public:
  SelectedBitmap(HDC compatible, HBITMAP bitmap) : dc_(CreateCompatibleDC(compatible)) {
    if (dc_) old_ = SelectObject(dc_, bitmap);
    if (!old_ || old_ == HGDI_ERROR) old_ = nullptr;
  }
  ~SelectedBitmap() {
    if (dc_ && old_) SelectObject(dc_, old_);
    if (dc_) DeleteDC(dc_);
  }
  SelectedBitmap(const SelectedBitmap&) = delete;
  SelectedBitmap& operator=(const SelectedBitmap&) = delete;
  HDC dc() const { return old_ ? dc_ : nullptr; }

 private:
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

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
  SelectedBitmap src(nullptr, bitmap);
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
    SelectedBitmap src(screen, bitmap), dst(screen, scaled);
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
  SelectedBitmap src(dc, bitmap);
  return src.dc() && BitBlt(dc, x, y, w, h, src.dc(), 0, 0, SRCCOPY);
}

bool DrawBitmapTransparent(HBITMAP bitmap, int x, int y, HDC dc, COLORREF key) {
  int w, h;
  if (!dc || !GetBitmapSize(bitmap, &w, &h)) return false;
  SelectedBitmap src(dc, bitmap);
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

// ---- Shared masks -------------------------------------------------------------------

struct TransparentBitmap::Entry {
  HBITMAP source;
  COLORREF key;
  int width, height;
  HBITMAP mask;   // 1 where the source has the key colour
  HBITMAP image;  // the source with key pixels black
  int users;
};

namespace {

// The toolkit runs on one thread; a handful of entries, searched linearly.
std::vector<TransparentBitmap::Entry*>& Entries() {
  static std::vector<TransparentBitmap::Entry*> entries;
  return entries;
}

bool BuildMask(TransparentBitmap::Entry* e) {
  HDC screen = GetDC(nullptr);
  e->mask = CreateBitmap(e->width, e->height, 1, 1, nullptr);
  e->image = CreateCompatibleBitmap(screen, e->width, e->height);
  bool ok = false;
  if (e->mask && e->image) {
    SelectedBitmap src(screen, e->source), mask(screen, e->mask), image(screen, e->image);
    if (src.dc() && mask.dc() && image.dc()) {
      SetBkColor(src.dc(), e->key);
      BitBlt(mask.dc(), 0, 0, e->width, e->height, src.dc(), 0, 0, SRCCOPY);  // key pixels become 1
      BitBlt(image.dc(), 0, 0, e->width, e->height, src.dc(), 0, 0, SRCCOPY);
      SetTextColor(image.dc(), RGB(0, 0, 0));
      SetBkColor(image.dc(), RGB(255, 255, 255));
      // image AND NOT mask: key pixels black, so that OR-ing them changes nothing.
      ok = BitBlt(image.dc(), 0, 0, e->width, e->height, mask.dc(), 0, 0, 0x00220326) != 0;
    }
  }
  ReleaseDC(nullptr, screen);
  return ok;
}

void FreeEntry(TransparentBitmap::Entry* e) {
  if (e->mask) DeleteObject(e->mask);
  if (e->image) DeleteObject(e->image);
  delete e;
}

}  // namespace

int TransparentBitmap::LiveMasks() { return static_cast<int>(Entries().size()); }

void TransparentBitmap::Release() {
  if (!entry_) return;
  Entry* e = entry_;
  entry_ = nullptr;
  if (--e->users > 0) return;
  std::vector<Entry*>& all = Entries();
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] == e) {
      all.erase(all.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  FreeEntry(e);
}

bool TransparentBitmap::Draw(HDC dc, int x, int y, HBITMAP bitmap, COLORREF key) {
  if (!dc) return false;
  if (!entry_ || entry_->source != bitmap || entry_->key != key) {
    int w, h;
    if (!GetBitmapSize(bitmap, &w, &h)) return false;
    Entry* found = nullptr;
    for (Entry* e : Entries())
      if (e->source == bitmap && e->key == key) found = e;
    if (!found) {
      found = new Entry{bitmap, key, w, h, nullptr, nullptr, 0};
      if (!BuildMask(found)) {
        FreeEntry(found);
        return DrawBitmapTransparent(bitmap, x, y, dc, key);
      }
      Entries().push_back(found);
    }
    ++found->users;
    Release();
    entry_ = found;
  }
  SelectedBitmap mem(dc, entry_->mask);
  if (!mem.dc()) return false;
  COLORREF text = SetTextColor(dc, RGB(0, 0, 0)), back = SetBkColor(dc, RGB(255, 255, 255));
  BitBlt(dc, x, y, entry_->width, entry_->height, mem.dc(), 0, 0, SRCAND);
  SelectObject(mem.dc(), entry_->image);
  bool ok = BitBlt(dc, x, y, entry_->width, entry_->height, mem.dc(), 0, 0, SRCPAINT) != 0;
  SetTextColor(dc, text);
  SetBkColor(dc, back);
  return ok;
}

}  // namespace VexaAppGUISystem
