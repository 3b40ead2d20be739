// The Pocket PC shell calls that desktop Windows lacks, with the shell's own
// names. Built as aygshell.dll; SHCreateMenuBar is exported by ordinal 34
// only, as the device's shell library does, and callers import it that way.
#pragma once

#include <windows.h>

#ifdef TIDELARK_AYGSHELL_BUILD
#define AYGSHELL_API __declspec(dllexport)
#else
#define AYGSHELL_API __declspec(dllimport)
#endif

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004

#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020

// Window class of the soft-key bar.
#define TIDELARK_MENUBAR_CLASS L"menu_worker"

typedef struct tagSHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;  // menu resource: its first two top-level items become the soft keys
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out: the bar
  COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

extern "C" {
// Creates the soft-key bar: a window owned by hwndParent across the bottom of
// the device screen (platform/device). A top-level owner reaching into it is
// shortened to end above it. A soft key sends WM_COMMAND with its menu item's
// id to the owner. The bar goes with its owner.
AYGSHELL_API BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info);
// Records the full-screen request on the window; SHFS_HIDESIPBUTTON and
// SHFS_SHOWSIPBUTTON hide and show the window's soft-key bar.
AYGSHELL_API BOOL WINAPI SHFullScreen(HWND window, DWORD state);
// The full-screen flags in force for the window (0 when none).
AYGSHELL_API DWORD WINAPI TidelarkFullScreenState(HWND window);
}
