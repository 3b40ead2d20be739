#include "platform/aygshell.h"

#include <gtest/gtest.h>

namespace {

HWND MakeOwner() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"AygOwner";
  RegisterClassW(&wc);
  return CreateWindowExW(0, L"AygOwner", L"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

TEST(SoftKeyBar, EmptyBarSitsAtTheScreensBottomAndTheOwnerEndsAboveIt) {
  HWND owner = MakeOwner();
  ASSERT_NE(nullptr, owner);
  SHMENUBARINFO mb = {};
  mb.cbSize = sizeof(mb);
  mb.hwndParent = owner;
  mb.dwFlags = SHCMBF_EMPTYBAR;
  ASSERT_TRUE(SHCreateMenuBar(&mb));
  ASSERT_NE(nullptr, mb.hwndMB);
  EXPECT_EQ(owner, GetWindow(mb.hwndMB, GW_OWNER));
  EXPECT_FALSE(GetWindowLongW(mb.hwndMB, GWL_STYLE) & WS_CHILD) << "a window of its own, not in the owner's client";
  RECT r;
  GetWindowRect(mb.hwndMB, &r);
  EXPECT_EQ(320 - 26, r.top);
  EXPECT_EQ(320, r.bottom);
  EXPECT_EQ(240, r.right - r.left);
  RECT o;
  GetWindowRect(owner, &o);
  EXPECT_EQ(0, o.top);
  EXPECT_EQ(320 - 26, o.bottom) << "the owner's work area ends above the bar";

  // A window away from the bottom keeps its size.
  HWND small = CreateWindowExW(0, L"AygOwner", L"", WS_POPUP | WS_VISIBLE, 20, 40, 100, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  SHMENUBARINFO mb2 = mb;
  mb2.hwndParent = small;
  ASSERT_TRUE(SHCreateMenuBar(&mb2));
  GetWindowRect(small, &o);
  EXPECT_EQ(140, o.bottom);
  DestroyWindow(small);
  EXPECT_FALSE(IsWindow(mb2.hwndMB)) << "the bar goes with its owner";

  EXPECT_TRUE(SHFullScreen(owner, SHFS_HIDESIPBUTTON | SHFS_HIDETASKBAR));
  EXPECT_FALSE(IsWindowVisible(mb.hwndMB));
  EXPECT_TRUE(SHFullScreen(owner, SHFS_SHOWSIPBUTTON));
  EXPECT_TRUE(IsWindowVisible(mb.hwndMB));
  EXPECT_EQ(DWORD(SHFS_SHOWSIPBUTTON | SHFS_HIDETASKBAR), TidelarkFullScreenState(owner));
  DestroyWindow(owner);
}

TEST(SoftKeyBar, RefusesBadRequests) {
  SHMENUBARINFO mb = {};
  mb.cbSize = sizeof(mb);
  EXPECT_FALSE(SHCreateMenuBar(&mb)) << "no owner";
  HWND owner = MakeOwner();
  mb.hwndParent = owner;
  mb.nToolBarId = 4711;  // no such menu resource
  EXPECT_FALSE(SHCreateMenuBar(&mb));
  mb.cbSize = 8;
  mb.dwFlags = SHCMBF_EMPTYBAR;
  EXPECT_FALSE(SHCreateMenuBar(&mb)) << "record too small";
  EXPECT_FALSE(SHCreateMenuBar(nullptr));
  DestroyWindow(owner);
}

}  // namespace

namespace {

struct Heard {
  int settings = 0;
  WPARAM last = 0;
  std::wstring typed;
};
Heard g_heard;

LRESULT CALLBACK Listener(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETTINGCHANGE) {
    ++g_heard.settings;
    g_heard.last = wp;
  }
  if (msg == WM_CHAR) g_heard.typed += static_cast<wchar_t>(wp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

TEST(InputPanel, ComesAndGoesIsReportedAnnouncedAndTypes) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Listener;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SipListener";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, L"SipListener", L"", WS_POPUP | WS_VISIBLE, 0, 26, 240, 294, nullptr, nullptr,
                                wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  SetFocus(window);
  g_heard = Heard();
  SIPINFO sip = {};
  sip.cbSize = sizeof sip;
  ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0));
  EXPECT_FALSE(sip.fdwFlags & SIPF_ON);
  EXPECT_EQ(sip.rcVisibleDesktop.bottom, 320 - 26);

  ASSERT_TRUE(SHSipPreference(window, SIP_UP));
  EXPECT_EQ(g_heard.settings, 1);
  EXPECT_EQ(g_heard.last, WPARAM(SPI_SETSIPINFO));
  ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0));
  EXPECT_TRUE(sip.fdwFlags & SIPF_ON);
  EXPECT_EQ(sip.rcSipRect.bottom, 320 - 26) << "above the soft-key bar";
  EXPECT_EQ(sip.rcSipRect.top, 320 - 26 - TIDELARK_SIP_HEIGHT);
  EXPECT_EQ(sip.rcVisibleDesktop.bottom, sip.rcSipRect.top);
  HWND panel = FindWindowW(TIDELARK_SIP_CLASS, nullptr);
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(IsWindowVisible(panel));

  // A window that reaches into the panel is cut by SHHandleWMSettingChange and grows back.
  SHACTIVATEINFO info = {};
  info.cbSize = sizeof info;
  EXPECT_TRUE(SHHandleWMSettingChange(window, SPI_SETSIPINFO, 0, &info));
  EXPECT_TRUE(info.fSipUp);
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.bottom, sip.rcSipRect.top);
  EXPECT_FALSE(SHHandleWMSettingChange(window, 0x3002, 0, &info)) << "other changes are the window's";

  // Keys type into the focused window: "q" is the first key of the second row.
  PostMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 25));
  Pump();
  EXPECT_EQ(g_heard.typed, L"q");

  ASSERT_TRUE(SHSipPreference(window, SIP_DOWN));
  EXPECT_EQ(g_heard.settings, 2);
  EXPECT_FALSE(IsWindowVisible(panel));
  EXPECT_TRUE(SHHandleWMSettingChange(window, SPI_SETSIPINFO, 0, &info));
  GetWindowRect(window, &r);
  EXPECT_EQ(r.bottom, 26 + 294);
  EXPECT_FALSE(SHSipPreference(nullptr, SIP_UP));
  DestroyWindow(window);
}

}  // namespace
