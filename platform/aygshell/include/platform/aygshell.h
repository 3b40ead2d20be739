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
// Window class of the input panel.
#define TIDELARK_SIP_CLASS L"SipWndClass"

// Input panel states (SHSipPreference).
typedef enum { SIP_UP = 0, SIP_DOWN, SIP_FORCEDOWN, SIP_UNCHANGED, SIP_INPUTDIALOG } SIPSTATE;

// SHSipInfo actions and SIPINFO flags.
#ifndef SPI_SETSIPINFO
#define SPI_SETSIPINFO 224
#endif
#ifndef SPI_GETSIPINFO
#define SPI_GETSIPINFO 225
#endif
#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
#define SIPF_DOCKED 0x00000002
#define SIPF_LOCKED 0x00000004

// The height of the input panel in pixels (a keyboard of four rows).
#define TIDELARK_SIP_HEIGHT 80

typedef struct tagSIPINFO {
  DWORD cbSize;
  DWORD fdwFlags;
  RECT rcVisibleDesktop;  // the work area above the panel while it is up
  RECT rcSipRect;         // where the panel is on the screen
  DWORD dwImDataSize;
  void* pvImData;
} SIPINFO;

// What SHHandleWMSettingChange remembers between calls for one window.
typedef struct tagSHACTIVATEINFO {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

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

// The input panel: a window of its own across the bottom of the screen,
// above the soft-key bar, with a small keyboard whose keys type into the
// focused window of the thread that raised it. SIP_UP shows it, SIP_DOWN and
// SIP_FORCEDOWN hide it; a change is announced to every top-level window of
// the process with WM_SETTINGCHANGE (SPI_SETSIPINFO). FALSE for a window that
// does not exist or an unknown state.
AYGSHELL_API BOOL WINAPI SHSipPreference(HWND window, SIPSTATE state);
// SPI_GETSIPINFO fills *info (cbSize must be set): SIPF_ON while the panel is
// up, its rectangle, and the visible desktop (the work area, ending at the
// panel's top while it is up). SPI_SETSIPINFO with SIPF_ON or SIPF_OFF shows
// or hides it. FALSE for other actions or a bad record.
AYGSHELL_API BOOL WINAPI SHSipInfo(UINT action, UINT param, void* info, UINT winIni);
// For a WM_SETTINGCHANGE about the input panel (SPI_SETSIPINFO): a top-level
// window that ends below the visible desktop is cut to end at the panel's
// top while it is up, and grows back to the work area when it goes down.
// Other settings changes are left to the window. TRUE when handled.
AYGSHELL_API BOOL WINAPI SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam,
                                                 SHACTIVATEINFO* info);
}
