/* The test skin library is resources; the loader still wants an entry point. */
#include <windows.h>

BOOL WINAPI SkinEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance, (void)reason, (void)reserved;
  return TRUE;
}
