// Copies of wide strings that the toolkit owns (freed with delete[]).
#pragma once

#include <cwchar>

namespace VexaAppGUISystem {

// A copy with room for `spare` more characters after its end; null for null.
inline wchar_t* CopyText(const wchar_t* text, int spare = 0) {
  if (!text) return nullptr;
  size_t n = wcslen(text);
  wchar_t* copy = new wchar_t[n + 1 + (spare > 0 ? spare : 0)];
  wmemcpy(copy, text, n + 1);
  return copy;
}

}  // namespace VexaAppGUISystem
