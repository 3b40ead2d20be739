// DecodeImage through the platform's decoder library, GIF resources, and
// the skin library.
#include "gui/image_decode.h"

#include <objbase.h>

#include <cstring>
#include <string>

#include "platform/imgdecmp.h"

namespace VexaAppGUISystem {

namespace {

constexpr DWORD kWorkBuffer = 4096;

// What is left of the caller's bytes.
struct Reader {
  DWORD left;
  const BYTE* at;
};

// All remaining bytes when they fit into the decoder's buffer, otherwise one
// byte short of it; 0 when nothing is left.
DWORD CALLBACK ReadImageData(LPSTR buffer, DWORD max, LPARAM param) {
  Reader* reader = reinterpret_cast<Reader*>(param);
  if (reader->left == 0 || max == 0) return 0;
  DWORD n = reader->left <= max ? reader->left : (max > 1 ? max - 1 : max);
  std::memcpy(buffer, reader->at, n);
  reader->at += n;
  reader->left -= n;
  return n;
}

int ScreenDepth() {
  HDC screen = GetDC(nullptr);
  int depth = screen ? GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  if (depth <= 1) return 1;
  if (depth <= 4) return 4;
  if (depth <= 8) return 8;
  if (depth <= 16) return 16;
  return depth <= 24 ? 24 : 32;
}

}  // namespace

HBITMAP DecodeImage(const BYTE* bytes, DWORD size, int maxWidth, int maxHeight) {
  if (!bytes || size == 0 || maxWidth <= 0 || maxHeight <= 0) return nullptr;
  HMODULE library = LoadLibraryW(L"imgdecmp.dll");
  if (!library) return nullptr;
  auto decompress = reinterpret_cast<DECOMPRESSIMAGEINDIRECT>(GetProcAddress(library, "DecompressImageIndirect"));
  HBITMAP bitmap = nullptr;
  if (decompress) {
    BYTE work[kWorkBuffer];
    Reader reader = {size, bytes};
    DecompressImageInfo info = {};
    info.dwSize = sizeof(info);
    info.pbBuffer = work;
    info.dwBufferMax = kWorkBuffer;
    info.dwBufferCurrent = 0;
    info.phBM = &bitmap;
    info.ppImageRender = nullptr;
    info.iBitDepth = ScreenDepth();
    info.lParam = reinterpret_cast<LPARAM>(&reader);
    info.iScale = 100;
    info.iMaxWidth = maxWidth < kDecodeLimit ? maxWidth : kDecodeLimit;
    info.iMaxHeight = maxHeight < kDecodeLimit ? maxHeight : kDecodeLimit;
    info.pfnGetData = ReadImageData;
    info.pfnImageProgress = nullptr;
    info.crTransparentOverride = CLR_INVALID;
    if (FAILED(decompress(&info))) bitmap = nullptr;
  }
  FreeLibrary(library);
  return bitmap;
}

HBITMAP LoadGifResource(HMODULE module, int id) {
  if (id <= 0 || id > 0xFFFF) return nullptr;
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"GIF");
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  DWORD size = SizeofResource(module, found);
  const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  return bytes ? DecodeImage(bytes, size) : nullptr;
}

// ---- ImageResources ------------------------------------------------------------------

const wchar_t ImageResources::kSkinName[] = L"SkinKorvel.dll";

bool ImageResources::Open(const wchar_t* path) {
  Close();
  decoder_ = LoadLibraryW(L"imgdecmp.dll");
  com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  std::wstring where;
  if (path) {
    where = path;
  } else {
    wchar_t program[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    where.assign(program, n);
    size_t slash = where.find_last_of(L"\\/");
    where = (slash == std::wstring::npos ? std::wstring() : where.substr(0, slash + 1)) + kSkinName;
  }
  // Resources only: a skin runs no code of its own.
  skin_ = LoadLibraryExW(where.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  return skin_ != nullptr;
}

void ImageResources::Close() {
  if (skin_) FreeLibrary(skin_);
  skin_ = nullptr;
  if (decoder_) FreeLibrary(decoder_);
  decoder_ = nullptr;
  if (com_) CoUninitialize();
  com_ = false;
}

HMODULE ImageResources::ResourceModule() const { return skin_ ? skin_ : GetModuleHandleW(nullptr); }

HBITMAP ImageResources::Load(int id) const {
  HBITMAP bitmap = skin_ ? LoadGifResource(skin_, id) : nullptr;
  return bitmap ? bitmap : LoadGifResource(GetModuleHandleW(nullptr), id);
}

}  // namespace VexaAppGUISystem
