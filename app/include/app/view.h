// The screens of the content area. Every screen is a CKorvelLifeViewInterface:
// the content area calls its operations in response to the user and, after
// every call, executes the view's request queue, so that a view (or the
// plug-in behind it) never changes the content area from inside its own call.
//
// Invariants:
// - a request record is one heap block: kind, value count, then for each
//   value its byte length and its bytes (all counts 32-bit);
// - the queue is a ring of record pointers: 0 <= start < capacity,
//   count <= capacity, capacity grows by kRequestRingGrowth;
// - a queued switch is the only switch: queueing one discards every pending
//   request first.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "gui/box.h"

class CKorvelLifeContentArea;
class CKorvelLifeViewTitle;
class CPathMenu;
class CObjectStore;

// Request kinds.
enum ViewRequestKind : std::int32_t {
  kRequestContentSize = 0,  // two values: width, height
  kRequestScroll = 1,       // two values: x, y
  kRequestScrollBars = 2,   // one value: bit 0 horizontal, bit 1 vertical
  kRequestSwitch = 3,       // no values; the names are kept in the view
};

constexpr int kRequestRingGrowth = 20;

// One request record as the queue stores it.
struct ViewRequest;
ViewRequest* MakeViewRequest(std::int32_t kind, int count, const std::int32_t* values);
void FreeViewRequest(ViewRequest* request);
std::int32_t ViewRequestKind(const ViewRequest* request);
std::int32_t ViewRequestCount(const ViewRequest* request);
// The 32-bit value at `index`; false when there is none or it is not 4 bytes.
bool ViewRequestValue(const ViewRequest* request, int index, std::int32_t* value);

class CKorvelLifeViewInterface {
 public:
  CKorvelLifeViewInterface();
  CKorvelLifeViewInterface(const CKorvelLifeViewInterface&) = delete;
  CKorvelLifeViewInterface& operator=(const CKorvelLifeViewInterface&) = delete;

  // Slots 0 to 10. Results follow the plug-in convention: 0 not handled,
  // non-zero handled (1000: handled, the screen content changed).
  virtual ~CKorvelLifeViewInterface();
  virtual int Activate(const char* parameter);
  virtual int Deactivate(int a, int b);
  virtual int Scroll(int x, int y, int flags);
  // Repaints the view's box where it sits in the content area.
  virtual int Refresh(int a, int b);
  virtual int ProcessButton(int command, int b);
  virtual int ProcessMenuCommand(int command, int b);
  // Every message of the content area's window is offered here; the content
  // area goes on with its own handling whatever the view answers.
  virtual int ProcessSystemMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int* result);
  // Moves the focus by `a` entries inside the view's box (wrapping, climbing
  // out of groups) and scrolls the focused control into view; 0 only hands
  // the focus back to the frame. Returns 1 when the focus moved inside the view.
  virtual int MoveFocus(int a, int b);
  virtual int ActivateFocused(int a, int b);
  virtual bool IsPluginView() { return false; }

  void SetStore(CObjectStore* store) { store_ = store; }
  void SetMenu(CPathMenu* menu) { menu_ = menu; }
  // The title box all views share (one process-wide pointer).
  static void SetTitleBox(CKorvelLifeViewTitle* title) { title_box_ = title; }
  static CKorvelLifeViewTitle* TitleBox() { return title_box_; }
  // Sets the shared title box's text; nothing without a title box.
  static void SetTitle(const wchar_t* text);

  // Places the view's box in the content area at its top-left corner, as
  // large as the area until a content size request says otherwise.
  void AttachTo(CKorvelLifeContentArea* area);
  // Takes the view's box out of the content area it was attached to.
  void Detach();
  CKorvelLifeContentArea* GetContentArea() const { return content_area_; }
  VexaAppGUISystem::Box* GetViewBox() { return &view_box_; }
  CObjectStore* GetStore() const { return store_; }
  CPathMenu* GetMenu() const { return menu_; }

  // The request queue (what a plug-in's view services call).
  void QueueContentSize(int width, int height);
  void QueueScroll(int x, int y);
  void QueueScrollBars(int bits);
  // Discards every pending request and queues a switch to `plugin` with `database`.
  void QueueSwitch(const char* plugin, const char* database);
  // Takes the oldest request (the caller frees it); null when empty.
  ViewRequest* TakeRequest();
  void DiscardRequests();
  int PendingRequests() const { return queue_count_; }
  const std::string& SwitchPlugin() const { return switch_plugin_; }
  const std::string& SwitchDatabase() const { return switch_database_; }
  // The queue's busy flag: set while the content area runs it.
  bool IsQueueRunning() const { return queue_running_; }
  void SetQueueRunning(bool running) { queue_running_ = running; }

  // Asserts the ring's invariants (tests).
  void CheckInvariants() const;

 protected:
  void Append(ViewRequest* request);
  // Scrolls the content area so that `box` (inside the view's box) is in
  // view; `forward` tells which way the focus moved.
  void ScrollIntoView(VexaAppGUISystem::Box* box, bool forward);

  bool queue_running_ = false;
  int queue_start_ = 0;
  int queue_count_ = 0;
  int queue_capacity_ = 0;
  ViewRequest** queue_ = nullptr;
  VexaAppGUISystem::Box view_box_;
  std::string switch_plugin_;
  std::string switch_database_;
  CPathMenu* menu_ = nullptr;
  CKorvelLifeContentArea* content_area_ = nullptr;
  CObjectStore* store_ = nullptr;

 private:
  static CKorvelLifeViewTitle* title_box_;
};

// The base of the settings screens: an inner box holds the screen's
// controls, reports its events to slots 11 to 15 and keeps itself as large
// as the view's box or its content, whichever is larger, so that the content
// area scrolls over all of it.
class CKorvelLifeInternalView : public CKorvelLifeViewInterface {
 public:
  class InternalViewBox : public VexaAppGUISystem::Box {
   public:
    explicit InternalViewBox(CKorvelLifeInternalView* view) : view_(view) {}
    bool HandleEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) override;
    void OnChildAdded(VexaAppGUISystem::Box* child) override;
    void OnChildRemoved(VexaAppGUISystem::Box* child) override;
    void OnResized(int axis) override;
    void OnContentChanged() override;
    // Child of the view's box at its top-left, in its focus order, sized to
    // the larger of the view's box and the content.
    void PutInShape();

   private:
    CKorvelLifeInternalView* view_;
    bool shaping_ = false;
  };

  CKorvelLifeInternalView();
  ~CKorvelLifeInternalView() override;

  // Slots 11 to 15.
  virtual bool OnBoxEvent(VexaAppGUISystem::Box* source, int code, std::intptr_t* data) { return false; }
  virtual void OnBoxChildAdded(VexaAppGUISystem::Box* child) {}
  virtual void OnBoxChildRemoved(VexaAppGUISystem::Box* child) {}
  virtual void OnBoxResized(int axis) {}
  virtual void OnBoxContentChanged() {}

  InternalViewBox* GetInnerBox() { return &inner_; }

 protected:
  InternalViewBox inner_;
};

// The seam between the content area and the plug-in host view: the content
// area loads a plug-in through it when a view asks to switch content.
class CKorvelLifePluginHost : public CKorvelLifeViewInterface {
 public:
  bool IsPluginView() override { return true; }
  // Slot 11: loads the plug-in `name` and opens `database` for it; 0 or -1.
  virtual int LoadPlugin(const char* name, const char* database) = 0;
};
