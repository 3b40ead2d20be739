// tidelark-imgdec: decodes a picture exactly as the program decodes its
// images and writes it as a PNG file.
//   tidelark-imgdec.exe IN OUT.png
// Exit status: 0 written; 1 the input cannot be read or does not decode, or
// the output cannot be written (with a message); 2 wrong arguments.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gui/image_decode.h"
#include "platform/png.h"
#include "platform/screenshot.h"

namespace {

// The decoder takes no more than this; a larger file is refused before reading.
constexpr long long kMaxInput = 64LL * 1024 * 1024;

bool ReadInput(const wchar_t* path, std::vector<BYTE>* out) {
  FILE* f = _wfopen(path, L"rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  long long size = ok ? _ftelli64(f) : -1;
  ok = ok && size >= 0 && size <= kMaxInput && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out->resize(static_cast<size_t>(size));
    ok = size == 0 || std::fread(out->data(), 1, out->size(), f) == out->size();
  }
  std::fclose(f);
  return ok;
}

bool WriteOutput(const wchar_t* path, const std::vector<unsigned char>& png) {
  FILE* f = _wfopen(path, L"wb");
  if (!f) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) _wremove(path);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: tidelark-imgdec IN OUT.png\n");
    return 2;
  }
  const wchar_t* in = argv[1];
  const wchar_t* out = argv[2];
  std::vector<BYTE> data;
  if (!ReadInput(in, &data)) {
    std::fwprintf(stderr, L"tidelark-imgdec: cannot read %ls (missing, unreadable or larger than 64 MB)\n", in);
    return 1;
  }
  HBITMAP bitmap = VexaAppGUISystem::DecodeImage(data.data(), static_cast<DWORD>(data.size()));
  if (!bitmap) {
    std::fwprintf(stderr, L"tidelark-imgdec: %ls is not a complete GIF or JPEG picture\n", in);
    return 1;
  }
  platform::Pixels pixels;
  bool read = platform::CaptureBitmap(bitmap, &pixels);
  DeleteObject(bitmap);
  if (!read) {
    std::fwprintf(stderr, L"tidelark-imgdec: cannot read the decoded picture of %ls\n", in);
    return 1;
  }
  if (!WriteOutput(out, platform::EncodePng(pixels.width, pixels.height, pixels.data.data()))) {
    std::fwprintf(stderr, L"tidelark-imgdec: cannot write %ls\n", out);
    return 1;
  }
  std::fwprintf(stdout, L"%ls: %d x %d\n", out, pixels.width, pixels.height);
  return 0;
}
