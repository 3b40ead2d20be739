// TextFieldBox: a caption and a native EDIT or COMBOBOX control, made when
// the box first has a size, that the navigation keys can enter and leave.
//
// Keyboard model: a field is passive until the user enters it. While
// passive, characters are swallowed, LEFT and RIGHT move the toolkit focus
// (the key goes to the top-level window), RETURN or DOWN enters editing
// (RETURN inserts nothing). While editing, LEFT at the start and RIGHT at the
// end of the text leave the field; elsewhere they move the caret. A combo box
// is always editing; RETURN or DOWN opens its closed list when released.
// Losing the native focus ends editing. The toolkit focus and the native
// focus travel together: focusing the field gives its control the native
// focus, and focusing another box takes it back to the top-level window.
//
// Invariants:
// - a field owns its native control and closes it when it leaves its parent;
// - an inner edit of a combo box is in the table of subclassed fields exactly
//   while its field control's window lives.
#pragma once

#include <windows.h>

#include "gui/window_box.h"

namespace VexaAppGUISystem {

enum FieldKind {
  FieldText = 0,       // EDIT, one line or several
  FieldNumber = 1,     // EDIT, digits only
  FieldChoice = 2,     // COMBOBOX drop-down list, no items
  FieldPassword = 3,   // EDIT, hidden characters
  FieldSyncEvery = 4,  // COMBOBOX with language-pack strings 69, 70, 71
  FieldProgram = 5,    // COMBOBOX with language-pack string 1
  FieldItems = 6,      // COMBOBOX with the box's own items
};

class TextFieldBox : public Box {
 public:
  class FieldControl : public WindowBox {
   public:
    FieldControl() {}
    ~FieldControl() override;
    void OnDetach(Box* parent) override;
    void OnResized(int axis) override;
    bool HandleEvent(Box* source, int code, std::intptr_t* data) override;
    bool DrawFocus(HDC dc, int x, int y, int width, int height) override;
    HDC AcquireDC() override;
    bool OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // Makes the native control of that class and style as a child of
    // `owner`'s window (the steps of TextFieldBox's creation).
    bool CreateControl(WindowBox* owner, const wchar_t* nativeClass, DWORD style);
    // Routes the inner edit of a combo box (if it has one) through
    // OnWindowMessage; true when there is one.
    bool SubclassInnerEdit();
    void CloseControl();
    bool IsEditing() const { return editing_; }
    bool IsCombo() const { return combo_; }
    HWND InnerEdit() const { return inner_edit_; }

   private:
    bool OnKeyDown(HWND window, WPARAM key, LPARAM lParam, LRESULT* result);
    bool OnKeyUp(WPARAM key, LRESULT* result);
    void StartEditing(HWND window);
    void LeaveByKey(HWND window, WPARAM key, LPARAM lParam);
    bool CaretAtStart(HWND window) const;
    bool CaretAtEnd(HWND window) const;
    void RestoreInnerEdit();
    bool combo_ = false;
    bool bordered_ = false;  // made with WS_BORDER, which the control may draw itself
    bool editing_ = false;
    bool open_pending_ = false;
    bool swallow_return_char_ = false;
    HWND inner_edit_ = nullptr;
    HFONT font_ = nullptr;  // held while the control lives
  };

  TextFieldBox() {}
  ~TextFieldBox() override;
  void OnAttach(Box* parent) override;
  void OnDetach(Box* parent) override;
  void OnResized(int axis) override;
  void OnContentChanged() override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;

  // Caption, kind and the window box whose window holds the control; false
  // when the control exists already.
  bool SetCaption(const wchar_t* caption, int kind, WindowBox* owner, bool singleLine, bool bold);
  // The items of kind 6 (copied); added when the control is made.
  void SetItems(const wchar_t* const* texts, int count);
  bool SetText(const char* text);
  // The control's text in the ANSI code page, cut to fit and always ended.
  bool GetText(char* buffer, int size) const;
  bool SetSelection(int index);
  int GetSelection() const;  // CB_ERR for an edit or no selection
  FieldControl& Control() { return control_; }
  int GetCaptionWidth() const { return caption_width_; }

  // The program's language-pack texts for kinds 4 and 5 (null: no items).
  static void SetStringSource(const wchar_t* (*lookup)(int id));
  // The font of every field's control (null: the toolkit's Tahoma 14).
  static void SetFieldFont(HFONT font);
  static HFONT GetFieldFont();

 protected:
  void MakeControl();
  void AddKindItems();
  void FreeItems();
  wchar_t* caption_ = nullptr;
  int caption_width_ = 0;
  WindowBox* owner_ = nullptr;
  int kind_ = FieldText;
  bool single_line_ = true;
  bool bold_ = false;
  wchar_t** items_ = nullptr;
  int item_count_ = 0;
  FieldControl control_;
};

}  // namespace VexaAppGUISystem
