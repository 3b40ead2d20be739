// The content plug-in contract: what a plug-in library exports, and the two
// service tables the host passes with every call.
//
// A plug-in is a Windows library with twelve C exports, looked up by name:
//   GetPluginVersion, GetPluginName, GetAPIVersion      version queries; the
//       host never calls them, they only have to be present;
//   LoadContent, UnloadContent, Scroll, Refresh, ProcessButton,
//   ProcessMenuCommand, ProcessSystemMessage           required;
//   MoveFocus, ActivateFocused                          optional.
// A library that lacks a required export is refused.
//
// Calling order for one activation: LoadContent, then Refresh, Scroll,
// ProcessButton, ProcessSystemMessage, MoveFocus, ActivateFocused in the order
// of the user's actions, then UnloadContent. Every call but the version
// queries gets the service block; all calls run on the user-interface thread.
//
// The service block is four pointer-sized words owned by the host view; its
// address stays the same for the view's whole life:
//   db       the database service (forwards to the object store);
//   view     the view service (content window, sizes, navigation);
//   context  the plug-in's own state: null at first, then set, used and
//            freed by the plug-in alone (the host never reads it);
//   plugin   one more word the plug-in may use; the host never reads it.
//
// The view service's SetContentSize, ShowScrollBars, ScrollTo and
// SwitchContent do not act at once: they queue a request that the host
// carries out after the plug-in's call has returned, so a plug-in never
// re-enters the host. SwitchContent first drops every pending request.
//
// Objects, result sets and database handles handed out through the database
// service belong to the caller that created them, who frees them through the
// same service. Store operations return the store's codes unchanged.
#pragma once

#include <windows.h>

#include <cstdint>

#include "store/store.h"

// What the exports answer.
enum KorvelPluginResult : std::int32_t {
  kPluginOk = 0,
  kPluginNotHandled = 0,
  kPluginHandled = 100,
  kPluginContentChanged = 1000,  // handled, and the screen shows something new
};

// GetPluginName's answers.
enum KorvelPluginNameResult : std::int32_t {
  kPluginNameOk = 0,
  kPluginNameNoSize = 1,      // the size pointer is null
  kPluginNameTooSmall = 2,    // a buffer was given and *size is too small
};

// The first command value a plug-in may give its own menu items.
constexpr std::int32_t kPluginFirstCommand = 4020;

// The database service. Slot order is part of the contract. The current
// database is the one the host opened for the plug-in; operations without a
// database argument that need one use it.
class KorvelPluginDBInterface {
 public:
  virtual store::StoreCode CreateObject(store::Object** out, const char* name) = 0;           // 0
  virtual store::StoreCode FreeObject(store::Object* object) = 0;                             // 1
  virtual store::StoreCode SetObjectName(store::Object* object, const char* name) = 0;        // 2
  virtual store::StoreCode GetObjectName(store::Object* object, char* buffer, std::uint32_t* size) = 0;  // 3
  virtual store::StoreCode SetProperty(store::Object* object, const char* name, std::uint16_t type,
                                       const void* data, std::uint32_t length, int may_add, int may_replace,
                                       int may_change_type, std::uint8_t significant_length) = 0;  // 4
  virtual store::StoreCode RemoveProperty(store::Object* object, const char* name, std::uint16_t type) = 0;  // 5
  virtual store::StoreCode GetPropertyCount(store::Object* object, std::uint32_t* count) = 0;  // 6
  virtual store::StoreCode GetPropertyName(store::Object* object, std::uint32_t index, char* buffer,
                                           std::uint32_t* size, std::uint16_t* type) = 0;  // 7
  virtual store::StoreCode GetProperty(store::Object* object, const char* name, std::uint16_t type, void* buffer,
                                       std::uint32_t* size) = 0;  // 8
  virtual store::StoreCode WriteObject(store::Object* object, int create, int update, int add, int retype) = 0;  // 9
  virtual store::StoreCode ReadObject(store::Object* object) = 0;  // 10
  // mode 0: the whole stored object; 1: only the properties named in `object`.
  virtual store::StoreCode DeleteObject(store::Object* object, int mode) = 0;  // 11
  virtual store::StoreCode Query(store::Object* low, store::Object* high, std::uint32_t mode,
                                 store::ResultSet** out, const char* order_by, store::ResultSet* earlier,
                                 int combination) = 0;  // 12
  virtual store::StoreCode FirstResult(store::ResultSet* result, store::Object** out) = 0;     // 13
  virtual store::StoreCode NextResult(store::ResultSet* result, store::Object** out) = 0;      // 14
  virtual store::StoreCode LastResult(store::ResultSet* result, store::Object** out) = 0;      // 15
  virtual store::StoreCode PreviousResult(store::ResultSet* result, store::Object** out) = 0;  // 16
  virtual store::StoreCode FreeResult(store::ResultSet* result) = 0;                           // 17
  virtual store::StoreCode SetDatabaseMode(std::uint32_t cache_limit) = 0;                     // 18
  virtual store::StoreCode CombineResults(store::ResultSet* a, store::ResultSet* b, int mode,
                                          store::ResultSet** out) = 0;  // 19
  virtual std::uint32_t GetResultCount(store::ResultSet* result) = 0;                          // 20
  virtual store::StoreCode ListObjects(store::ResultSet** out, int source) = 0;                // 21
  // Closes the current database and opens it again by name, creating it.
  virtual store::StoreCode ReopenDatabase() = 0;  // 22

 protected:
  ~KorvelPluginDBInterface() = default;  // the host owns and deletes the implementation
};

// The view service. Slot order is part of the contract.
class KorvelPluginViewInterface {
 public:
  // Queued: the content takes this size (the scroll range).
  virtual std::int32_t SetContentSize(std::int32_t width, std::int32_t height) = 0;  // 0
  // Queued: the content area scrolls (non-zero) or not, per axis.
  virtual std::int32_t ShowScrollBars(std::int32_t horizontal, std::int32_t vertical) = 0;  // 1
  // Queued: the view scrolls to this position.
  virtual std::int32_t ScrollTo(std::int32_t x, std::int32_t y) = 0;  // 2
  // kPluginFirstCommand.
  virtual std::int32_t GetFirstCommandId() = 0;  // 3
  // Options menu items by path, parts separated by "/".
  virtual std::int32_t AddMenuItem(const wchar_t* path, std::int32_t command) = 0;  // 4
  // The empty path removes the whole menu.
  virtual std::int32_t RemoveMenuItem(const wchar_t* path) = 0;  // 5
  // True when the host view has an options menu; the same answer in four slots.
  virtual std::int32_t HasMenu() = 0;   // 6
  virtual std::int32_t HasMenu7() = 0;  // 7
  virtual std::int32_t HasMenu8() = 0;  // 8
  virtual std::int32_t HasMenu9() = 0;  // 9
  virtual std::int32_t SetViewTitle(const wchar_t* title) = 0;  // 10
  // As if the back (forward) button of the navigation bar were pressed.
  virtual std::int32_t GoBack() = 0;     // 11
  virtual std::int32_t GoForward() = 0;  // 12
  // The native window the plug-in draws into.
  virtual HWND GetContentWindow() = 0;  // 13
  // Queued: after this call the content area loads that plug-in with that database.
  virtual std::int32_t SwitchContent(const char* plugin_name, const char* database_name) = 0;  // 14

 protected:
  ~KorvelPluginViewInterface() = default;
};

struct KorvelPluginServices {
  KorvelPluginDBInterface* db;
  KorvelPluginViewInterface* view;
  void* context;
  void* plugin;
};

// The exports' types, in the order the host keeps its entry points.
extern "C" {
typedef std::int32_t (*GetPluginVersionProc)(std::int32_t* major, std::int32_t* minor);
// *size always receives the size the name needs with its terminating zero.
typedef std::int32_t (*GetPluginNameProc)(char* buffer, std::int32_t* size);
typedef std::int32_t (*GetAPIVersionProc)(std::int32_t* major, std::int32_t* minor);
typedef std::int32_t (*LoadContentProc)(KorvelPluginServices* services, const char* parameter);
typedef std::int32_t (*UnloadContentProc)(KorvelPluginServices* services, std::int32_t a, std::int32_t b);
typedef std::int32_t (*ScrollProc)(KorvelPluginServices* services, std::int32_t x, std::int32_t y,
                                   std::int32_t flags);
typedef std::int32_t (*RefreshProc)(KorvelPluginServices* services, std::int32_t a, std::int32_t b);
typedef std::int32_t (*ProcessButtonProc)(KorvelPluginServices* services, std::int32_t command, std::int32_t b);
typedef std::int32_t (*ProcessMenuCommandProc)(KorvelPluginServices* services, std::int32_t command,
                                               std::int32_t b);
// Non-zero when handled; *result kPluginContentChanged when the screen changed.
typedef std::int32_t (*ProcessSystemMessageProc)(KorvelPluginServices* services, HWND window, UINT message,
                                                 WPARAM wParam, LPARAM lParam, std::int32_t* result);
// 0 nothing moved (the host moves its own focus on); kPluginContentChanged,
// or another positive value when the plug-in handled the move.
typedef std::int32_t (*MoveFocusProc)(KorvelPluginServices* services, std::int32_t direction, std::int32_t b);
typedef std::int32_t (*ActivateFocusedProc)(KorvelPluginServices* services, std::int32_t a, std::int32_t b);
}

// The export names, in the same order; the first ten are required.
constexpr int kPluginExportCount = 12;
constexpr int kPluginRequiredExports = 10;
inline constexpr const char* kPluginExportNames[kPluginExportCount] = {
    "GetPluginVersion", "GetPluginName", "GetAPIVersion", "LoadContent", "UnloadContent", "Scroll", "Refresh",
    "ProcessButton", "ProcessMenuCommand", "ProcessSystemMessage", "MoveFocus", "ActivateFocused"};
