#include "app/path_menu.h"

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> SplitPath(const wchar_t* path) {
  std::vector<std::wstring> parts;
  if (!path) return parts;
  std::wstring part;
  for (const wchar_t* p = path;; ++p) {
    if (*p == L'/' || *p == 0) {
      parts.push_back(part);
      part.clear();
      if (*p == 0) break;
    } else {
      part += *p;
    }
  }
  return parts;
}

// The position of the entry labelled `label` in `menu`, or -1.
int Find(HMENU menu, const std::wstring& label) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, i, text, 255, MF_BYPOSITION);
    if (label == text) return i;
  }
  return -1;
}

}  // namespace

CPathMenu::~CPathMenu() {
  if (menu_) DestroyMenu(menu_);
}

int CPathMenu::AddMenuItem(const wchar_t* path, int command) {
  std::vector<std::wstring> parts = SplitPath(path);
  if (parts.empty()) return 0;
  for (const std::wstring& p : parts)
    if (p.empty()) return 0;
  if (!menu_) menu_ = CreatePopupMenu();
  if (!menu_) return 0;
  HMENU level = menu_;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    int at = Find(level, parts[i]);
    HMENU sub = at >= 0 ? GetSubMenu(level, at) : nullptr;
    if (!sub) {
      if (at >= 0) return 0;  // an item, not a submenu, has that name
      sub = CreatePopupMenu();
      if (!sub || !AppendMenuW(level, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), parts[i].c_str()))
        return 0;
    }
    level = sub;
  }
  if (Find(level, parts.back()) >= 0) return 1;
  return AppendMenuW(level, MF_STRING, static_cast<UINT_PTR>(command), parts.back().c_str()) ? 1 : 0;
}

int CPathMenu::RemoveMenuItem(const wchar_t* path) {
  if (!path || !*path) {
    if (!menu_) return 0;
    DestroyMenu(menu_);
    menu_ = nullptr;
    return 1;
  }
  if (!menu_) return 0;
  std::vector<std::wstring> parts = SplitPath(path);
  HMENU level = menu_;
  for (size_t i = 0; i < parts.size(); ++i) {
    int at = Find(level, parts[i]);
    if (at < 0) return 0;
    if (i + 1 == parts.size()) return DeleteMenu(level, at, MF_BYPOSITION) ? 1 : 0;
    level = GetSubMenu(level, at);
    if (!level) return 0;
  }
  return 0;
}

void CPathMenu::AddMenuItems(const Item* items) {
  for (const Item* i = items; i && i->command != -1; ++i) AddMenuItem(i->path, i->command);
}

bool CPathMenu::Show(int x, int y) {
  if (IsEmpty() || !owner_) return false;
  SetForegroundWindow(owner_);
  return TrackPopupMenuEx(menu_, TPM_LEFTALIGN | TPM_BOTTOMALIGN, x, y, owner_, nullptr) != FALSE;
}
