// CEulaScreen: the end-user agreement over the whole screen, with the
// program's emblem, the title, the agreement text in a scrolling field and
// two buttons, Accept (3150) and Decline (3151). The arrow keys move between
// the buttons and the action key presses the one in focus.
#pragma once

#include "gui/button.h"
#include "gui/image.h"
#include "gui/text.h"
#include "gui/window_box.h"

class CEulaScreen : public VexaAppGUISystem::WindowBox {
 public:
  struct Look {
    const wchar_t* title = L"";
    const wchar_t* text = L"";
    const wchar_t* accept = L"";
    const wchar_t* decline = L"";
    VexaAppGUISystem::TextStyle body;            // the application's style 0
    VexaAppGUISystem::TextStyle heading;         // bold, set white on the band
    VexaAppGUISystem::TextStyle button;          // style 1
    VexaAppGUISystem::TextStyle pressed_button;  // style 7
    HBITMAP emblem = nullptr;                    // stays the caller's
  };

  CEulaScreen();
  ~CEulaScreen() override;
  bool HandleEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) override;
  bool OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void PaintBackground(HDC dc, int originX, int originY, int clipX, int clipY, int width, int height) override;

  // Runs until a button is chosen or the window closes: 3150 accepted,
  // 3151 declined, 0 closed otherwise (which counts as declined).
  int Run(const Look& look);

  VexaAppGUISystem::TextButtonRounded& AcceptButton() { return accept_; }
  VexaAppGUISystem::TextButtonRounded& DeclineButton() { return decline_; }
  VexaAppGUISystem::WindowBox& TextArea() { return text_area_; }

 private:
  void Build(const Look& look);
  void Layout();
  VexaAppGUISystem::Image emblem_;
  VexaAppGUISystem::Text heading_;
  VexaAppGUISystem::WindowBox text_area_;
  VexaAppGUISystem::Text body_;
  VexaAppGUISystem::TextButtonRounded accept_;
  VexaAppGUISystem::TextButtonRounded decline_;
};
