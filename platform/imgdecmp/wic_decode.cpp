// Decoding with Windows Imaging Component. GIF frames are read as palette
// indexes, so that transparent pixels keep a colour the caller can key on;
// JPEG through WIC's converter to 32-bit pixels. A picture must be complete:
// decoders may fill a cut-off picture with grey or garbage and call it good.
#include <initguid.h>  // the WIC identifiers, defined here
#include <wincodec.h>

#include <cstring>

#include "decode.h"

namespace imgdecmp {

namespace {

// The largest picture decoded: ample for a handheld, and bounded memory.
constexpr long long kMaxPixels = 16LL * 1024 * 1024;
constexpr UINT kMaxSide = 16384;

template <typename T>
class Com {
 public:
  Com() {}
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T** Out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// COM for this call: the caller's thread may already have its own.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  bool Usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT hr_;
};

std::uint32_t CanvasColour(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// ---- Completeness ------------------------------------------------------------------

// Skips GIF data sub-blocks (a size byte and that many bytes, until size 0).
bool SkipSubBlocks(const std::vector<BYTE>& d, size_t* at) {
  while (*at < d.size()) {
    BYTE n = d[(*at)++];
    if (n == 0) return true;
    *at += n;
  }
  return false;
}

// The blocks up to and including the first image's data are all there.
bool GifFirstFrameComplete(const std::vector<BYTE>& d) {
  if (d.size() < 13) return false;
  size_t at = 13;
  if (d[10] & 0x80) at += 3u << ((d[10] & 7) + 1);
  while (at < d.size()) {
    BYTE kind = d[at++];
    if (kind == 0x21) {  // extension: label, sub-blocks
      if (at >= d.size()) return false;
      ++at;
      if (!SkipSubBlocks(d, &at)) return false;
    } else if (kind == 0x2C) {  // image: descriptor, local table, code size, sub-blocks
      if (at + 9 > d.size()) return false;
      BYTE flags = d[at + 8];
      at += 9;
      if (flags & 0x80) at += 3u << ((flags & 7) + 1);
      if (at >= d.size()) return false;
      ++at;
      return SkipSubBlocks(d, &at);
    } else {
      return false;  // the trailer before any image, or not a block at all
    }
  }
  return false;
}

// The end-of-image marker follows the first scan. Inside entropy-coded data
// a 0xFF is always followed by 0x00 or a restart marker, never by 0xD9.
bool JpegComplete(const std::vector<BYTE>& d) {
  size_t scan = 0;
  for (size_t i = 0; i + 1 < d.size(); ++i) {
    if (d[i] == 0xFF && d[i + 1] == 0xDA) {
      scan = i + 2;
      break;
    }
  }
  if (scan == 0) return false;
  for (size_t i = scan; i + 1 < d.size(); ++i)
    if (d[i] == 0xFF && d[i + 1] == 0xD9) return true;
  return false;
}

// ---- Metadata ----------------------------------------------------------------------

bool ReadNumber(IWICMetadataQueryReader* reader, const wchar_t* name, UINT* out) {
  if (!reader) return false;
  PROPVARIANT v;
  PropVariantInit(&v);
  bool ok = SUCCEEDED(reader->GetMetadataByName(name, &v));
  if (ok) {
    switch (v.vt) {
      case VT_UI1: *out = v.bVal; break;
      case VT_UI2: *out = v.uiVal; break;
      case VT_UI4: *out = v.ulVal; break;
      case VT_BOOL: *out = v.boolVal ? 1 : 0; break;
      default: ok = false;
    }
  }
  PropVariantClear(&v);
  return ok;
}

bool CanvasSizeOk(UINT w, UINT h) {
  return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && static_cast<long long>(w) * h <= kMaxPixels;
}

// ---- GIF ---------------------------------------------------------------------------

struct GifFrame {
  UINT left = 0, top = 0, width = 0, height = 0;
  std::vector<BYTE> indexes;
  std::vector<WICColor> colours;
  int transparent = -1;  // palette index, or none
};

// global_table: the file's global colour table flag, -1 when it cannot be read.
HRESULT ReadGifFrame(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, int global_table, GifFrame* out) {
  HRESULT hr = frame->GetSize(&out->width, &out->height);
  if (FAILED(hr)) return hr;
  if (!CanvasSizeOk(out->width, out->height)) return E_FAIL;
  Com<IWICMetadataQueryReader> meta;
  UINT local_table = 1;
  bool local_known = false;
  if (SUCCEEDED(frame->GetMetadataQueryReader(meta.Out()))) {
    local_known = ReadNumber(meta.get(), L"/imgdesc/LocalColorTableFlag", &local_table);
    ReadNumber(meta.get(), L"/imgdesc/Left", &out->left);
    ReadNumber(meta.get(), L"/imgdesc/Top", &out->top);
    UINT flag = 0, index = 0;
    if (ReadNumber(meta.get(), L"/grctlext/TransparencyFlag", &flag) && flag &&
        ReadNumber(meta.get(), L"/grctlext/TransparentColorIndex", &index))
      out->transparent = static_cast<int>(index);
  }
  // No table at all: every index reads as black. The codec is not asked,
  // as Wine's reads through the missing table.
  UINT count = 0;
  Com<IWICPalette> palette;
  if (FAILED(hr = factory->CreatePalette(palette.Out()))) return hr;
  if (!(local_known && !local_table && global_table == 0)) {
    if (FAILED(hr = frame->CopyPalette(palette.get()))) return hr;
    palette->GetColorCount(&count);
  }
  out->colours.resize(count ? count : 1);
  if (count && FAILED(hr = palette->GetColors(count, out->colours.data(), &count))) return hr;
  out->colours.resize(256, 0xFF000000u);  // indexes past the table read as black
  // A palette that marks a transparent entry by alpha alone.
  if (out->transparent < 0)
    for (UINT i = 0; i < count; ++i)
      if ((out->colours[i] >> 24) == 0) out->transparent = static_cast<int>(i);
  UINT stride = out->width;
  out->indexes.resize(static_cast<size_t>(stride) * out->height);
  return frame->CopyPixels(nullptr, stride, static_cast<UINT>(out->indexes.size()), out->indexes.data());
}

// The colour of the logical screen where the first frame leaves it open.
std::uint32_t GifBackground(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, IWICMetadataQueryReader* meta) {
  UINT global = 0, index = 0;
  if (!ReadNumber(meta, L"/logscrdesc/GlobalColorTableFlag", &global) || !global ||
      !ReadNumber(meta, L"/logscrdesc/BackgroundColorIndex", &index))
    return 0;
  Com<IWICPalette> palette;
  if (FAILED(factory->CreatePalette(palette.Out())) || FAILED(decoder->CopyPalette(palette.get()))) return 0;
  WICColor colours[256];
  UINT count = 0;
  if (FAILED(palette->GetColors(256, colours, &count)) || index >= count) return 0;
  return colours[index] & 0x00FFFFFFu;
}

HRESULT DecodeGif(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, COLORREF override, Canvas* out) {
  Com<IWICBitmapFrameDecode> frame;
  HRESULT hr = decoder->GetFrame(0, frame.Out());
  if (FAILED(hr)) return hr;
  Com<IWICMetadataQueryReader> meta;
  decoder->GetMetadataQueryReader(meta.Out());
  UINT global_table = 0;
  bool global_known = ReadNumber(meta.get(), L"/logscrdesc/GlobalColorTableFlag", &global_table);
  GifFrame f;
  if (FAILED(hr = ReadGifFrame(factory, frame.get(), global_known ? static_cast<int>(global_table != 0) : -1, &f)))
    return hr;
  UINT width = 0, height = 0;
  ReadNumber(meta.get(), L"/logscrdesc/Width", &width);
  ReadNumber(meta.get(), L"/logscrdesc/Height", &height);
  if (!CanvasSizeOk(width, height)) width = f.left + f.width, height = f.top + f.height;
  if (!CanvasSizeOk(width, height)) return E_FAIL;
  std::uint32_t key = 0;
  if (f.transparent >= 0)
    key = override != CLR_INVALID ? CanvasColour(override) : (f.colours[f.transparent] & 0x00FFFFFFu);
  std::uint32_t open = f.transparent >= 0 ? key : GifBackground(factory, decoder, meta.get());
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(height);
  out->pixels.assign(static_cast<size_t>(width) * height, open);
  for (UINT y = 0; y < f.height && f.top + y < height; ++y) {
    const BYTE* row = &f.indexes[static_cast<size_t>(y) * f.width];
    std::uint32_t* dst = &out->pixels[static_cast<size_t>(f.top + y) * width];
    for (UINT x = 0; x < f.width && f.left + x < width; ++x) {
      BYTE i = row[x];
      dst[f.left + x] = static_cast<int>(i) == f.transparent ? key : (f.colours[i] & 0x00FFFFFFu);
    }
  }
  return S_OK;
}

// ---- JPEG --------------------------------------------------------------------------

HRESULT DecodeJpeg(IWICBitmapDecoder* decoder, Canvas* out) {
  Com<IWICBitmapFrameDecode> frame;
  HRESULT hr = decoder->GetFrame(0, frame.Out());
  if (FAILED(hr)) return hr;
  UINT width = 0, height = 0;
  if (FAILED(hr = frame->GetSize(&width, &height))) return hr;
  if (!CanvasSizeOk(width, height)) return E_FAIL;
  Com<IWICBitmapSource> pixels;
  if (FAILED(hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.get(), pixels.Out()))) return hr;
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(height);
  out->pixels.assign(static_cast<size_t>(width) * height, 0);
  hr = pixels->CopyPixels(nullptr, width * 4, static_cast<UINT>(out->pixels.size() * 4),
                          reinterpret_cast<BYTE*>(out->pixels.data()));
  for (std::uint32_t& p : out->pixels) p &= 0x00FFFFFFu;
  return hr;
}

}  // namespace

HRESULT DecodePicture(const std::vector<BYTE>& data, COLORREF transparent, Canvas* out) {
  if (data.size() < 4 || data.size() > 0xFFFFFFFFu) return E_FAIL;
  const bool gif = std::memcmp(data.data(), "GIF8", 4) == 0;
  const bool jpeg = data[0] == 0xFF && data[1] == 0xD8;
  if (!(gif ? GifFirstFrameComplete(data) : jpeg && JpegComplete(data))) return E_FAIL;
  ComScope com;
  if (!com.Usable()) return E_FAIL;
  Com<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.Out()));
  if (FAILED(hr)) return hr;
  Com<IWICStream> stream;
  if (FAILED(hr = factory->CreateStream(stream.Out()))) return hr;
  if (FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size()))))
    return hr;
  // The format is known from its signature: the decoder is made directly, as
  // asking the factory to find one walks every registered codec each time.
  Com<IWICBitmapDecoder> decoder;
  hr = CoCreateInstance(gif ? CLSID_WICGifDecoder : CLSID_WICJpegDecoder, nullptr, CLSCTX_INPROC_SERVER,
                        IID_IWICBitmapDecoder, reinterpret_cast<void**>(decoder.Out()));
  if (FAILED(hr)) return hr == E_OUTOFMEMORY ? hr : E_FAIL;
  if (FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand))) return E_FAIL;
  GUID format;
  if (FAILED(decoder->GetContainerFormat(&format))) return E_FAIL;
  if (gif && format == GUID_ContainerFormatGif) hr = DecodeGif(factory.get(), decoder.get(), transparent, out);
  else if (jpeg && format == GUID_ContainerFormatJpeg) hr = DecodeJpeg(decoder.get(), out);
  else hr = E_FAIL;
  return FAILED(hr) ? (hr == E_OUTOFMEMORY ? hr : E_FAIL) : S_OK;
}

}  // namespace imgdecmp
