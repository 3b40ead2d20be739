// The options menu: a native pop-up menu whose items are addressed by paths
// of labels separated by "/": "A/B/C" is item C in submenu B of submenu A.
// Screens and plug-ins keep it current for the screen they show; the frame
// shows it when the user taps the title box (the only way it is opened).
#pragma once

#include <windows.h>

class CPathMenu {
 public:
  struct Item {
    const wchar_t* path;
    int command;  // -1 ends a list
  };

  CPathMenu() {}
  ~CPathMenu();
  CPathMenu(const CPathMenu&) = delete;
  CPathMenu& operator=(const CPathMenu&) = delete;

  // Creates the missing submenus along the path and appends the last part as
  // an item with that command, unless an item of that name is there already.
  // 1 when added or present, 0 for an empty path or part.
  int AddMenuItem(const wchar_t* path, int command);
  // The named item, or the whole submenu the path names, or (empty path) the
  // whole menu, whose handle is then forgotten. 1 when something was removed.
  int RemoveMenuItem(const wchar_t* path);
  // Adds each pair in order until the command -1.
  void AddMenuItems(const Item* items);

  void SetOwner(HWND owner) { owner_ = owner; }
  HWND GetOwner() const { return owner_; }
  HMENU Handle() const { return menu_; }
  bool IsEmpty() const { return !menu_ || GetMenuItemCount(menu_) <= 0; }
  // Shows the menu above (x, y) in screen coordinates; the chosen command
  // goes to the owner as WM_COMMAND. False when there is nothing to show.
  bool Show(int x, int y);

 private:
  HMENU menu_ = nullptr;
  HWND owner_ = nullptr;
};
