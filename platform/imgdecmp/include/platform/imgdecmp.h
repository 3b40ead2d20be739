// The platform's image decompression library, imgdecmp.dll, with its own
// names: DecompressImageIndirect decodes a GIF or JPEG picture into a bitmap.
// Callers load the library at run time and find the function by name.
//
// The request record (pointer-sized fields are pointer-sized on x64):
// - dwSize: sizeof(DecompressImageInfo); a smaller record is refused;
// - pbBuffer, dwBufferMax: the caller's work buffer that the data callback
//   fills; dwBufferCurrent bytes of it are data already (taken first). Without
//   a buffer the library uses one of its own;
// - phBM: receives the bitmap (required); ppImageRender: receives null (no
//   render objects here);
// - iBitDepth: 1, 4, 8, 16 (5-6-5), 24 or 32 bits per pixel of the bitmap;
// - iScale: percent, 1..100 (0 means 100); iMaxWidth, iMaxHeight: the result
//   is scaled down, keeping its proportions, to fit (0: no limit);
// - pfnGetData (required): called with (buffer, dwBufferMax, lParam) until it
//   returns 0; it may return fewer bytes than asked at any call. More than
//   dwBufferMax, or more than TIDELARK_IMGDECMP_MAX_BYTES in all, fails;
// - pfnImageProgress: called once with (null, TRUE, lParam) when done;
// - crTransparentOverride: (COLORREF)-1, or the colour that the transparent
//   pixels of a GIF take instead of their palette colour.
//
// The bitmap has the picture's true size: a GIF its logical screen, with the
// first frame placed on it; pixels outside that frame, and transparent ones,
// take the transparent colour (or the background colour of a GIF without
// transparency). The caller owns and deletes the bitmap.
//
// Results: S_OK; E_INVALIDARG for a bad record; E_OUTOFMEMORY; E_FAIL for
// data that is not a complete GIF or JPEG picture (truncated, corrupt, other
// formats). On failure *phBM is null.
#pragma once

#include <windows.h>

#ifdef TIDELARK_IMGDECMP_BUILD
#define IMGDECMP_API __declspec(dllexport)
#else
#define IMGDECMP_API __declspec(dllimport)
#endif

struct IImageRender;

typedef DWORD(CALLBACK* GETDATAFUNC)(LPSTR szBuffer, DWORD dwBufferMax, LPARAM lParam);
typedef void(CALLBACK* IMAGEPROGRESSFUNC)(IImageRender* pRender, BOOL bComplete, LPARAM lParam);

typedef struct tagDecompressImageInfo {
  DWORD dwSize;
  LPBYTE pbBuffer;
  DWORD dwBufferMax;
  DWORD dwBufferCurrent;
  HBITMAP* phBM;
  IImageRender** ppImageRender;
  int iBitDepth;
  LPARAM lParam;
  HDC hdc;
  int iScale;
  int iMaxWidth;
  int iMaxHeight;
  GETDATAFUNC pfnGetData;
  IMAGEPROGRESSFUNC pfnImageProgress;
  COLORREF crTransparentOverride;
} DecompressImageInfo;

typedef HRESULT (*DECOMPRESSIMAGEINDIRECT)(DecompressImageInfo* pParams);

// The most data one picture may have.
#define TIDELARK_IMGDECMP_MAX_BYTES (64u * 1024u * 1024u)

extern "C" IMGDECMP_API HRESULT DecompressImageIndirect(DecompressImageInfo* pParams);
