// Pulling the picture's bytes through the caller's callback, exactly as the
// caller hands them out: any count up to the buffer's size at each call,
// until a call gives none.
#include "decode.h"

namespace imgdecmp {

namespace {
constexpr DWORD kOwnBufferSize = 4096;
}

HRESULT PullData(const DecompressImageInfo& info, std::vector<BYTE>* out) {
  out->clear();
  std::vector<BYTE> own;
  BYTE* buffer = info.pbBuffer;
  DWORD size = info.dwBufferMax;
  if (!buffer || size == 0) {
    own.resize(kOwnBufferSize);
    buffer = own.data();
    size = kOwnBufferSize;
  } else if (info.dwBufferCurrent > 0) {
    if (info.dwBufferCurrent > size) return E_INVALIDARG;
    out->insert(out->end(), buffer, buffer + info.dwBufferCurrent);
  }
  for (;;) {
    DWORD got = info.pfnGetData(reinterpret_cast<LPSTR>(buffer), size, info.lParam);
    if (got == 0) return S_OK;
    if (got > size) return E_FAIL;  // the callback wrote past the buffer it was given
    if (out->size() + got > TIDELARK_IMGDECMP_MAX_BYTES) return E_OUTOFMEMORY;
    out->insert(out->end(), buffer, buffer + got);
  }
}

}  // namespace imgdecmp
