// DecompressImageIndirect: check the request, pull the data, decode it, fit
// it to the requested scale and limits, and hand out a device bitmap.
#include "decode.h"

namespace {

bool RequestValid(const DecompressImageInfo* info) {
  return info && info->dwSize >= sizeof(DecompressImageInfo) && info->phBM && info->pfnGetData &&
         info->iScale >= 0 && info->iScale <= 100 && info->iMaxWidth >= 0 && info->iMaxHeight >= 0;
}

// The picture's size at the requested scale, shrunk to the limits with its
// proportions kept; never below one pixel.
void FitSize(const DecompressImageInfo& info, int width, int height, int* outWidth, int* outHeight) {
  int scale = info.iScale ? info.iScale : 100;
  long long w = static_cast<long long>(width) * scale / 100, h = static_cast<long long>(height) * scale / 100;
  if (info.iMaxWidth > 0 && w > info.iMaxWidth) {
    h = h * info.iMaxWidth / w;
    w = info.iMaxWidth;
  }
  if (info.iMaxHeight > 0 && h > info.iMaxHeight) {
    w = w * info.iMaxHeight / h;
    h = info.iMaxHeight;
  }
  *outWidth = w < 1 ? 1 : static_cast<int>(w);
  *outHeight = h < 1 ? 1 : static_cast<int>(h);
}

}  // namespace

extern "C" HRESULT DecompressImageIndirect(DecompressImageInfo* info) {
  if (info && info->phBM) *info->phBM = nullptr;
  if (!RequestValid(info)) return E_INVALIDARG;
  if (info->ppImageRender) *info->ppImageRender = nullptr;
  std::vector<BYTE> data;
  HRESULT hr = imgdecmp::PullData(*info, &data);
  if (FAILED(hr)) return hr;
  imgdecmp::Canvas canvas;
  hr = imgdecmp::DecodePicture(data, info->crTransparentOverride, &canvas);
  if (FAILED(hr)) return hr;
  int width, height;
  FitSize(*info, canvas.width, canvas.height, &width, &height);
  HBITMAP bitmap = nullptr;
  hr = imgdecmp::MakeDeviceBitmap(canvas, width, height, info->iBitDepth, &bitmap);
  if (FAILED(hr)) return hr;
  *info->phBM = bitmap;
  if (info->pfnImageProgress) info->pfnImageProgress(nullptr, TRUE, info->lParam);
  return S_OK;
}
