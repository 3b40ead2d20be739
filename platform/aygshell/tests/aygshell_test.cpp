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
