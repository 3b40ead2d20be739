// A small host for driving Feedpane.dll through its exports in tests and
// the benchmark: the real database service on a volume of the test's own,
// a view service that records what the plug-in asks for and carries out
// its queued requests after each call (content size as the window's scroll
// range, scroll requests through the plug-in's Scroll), and a content
// window of the device's size to draw into.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "feedpane/feedpane.h"
#include "plugin/database_service.h"
#include "plugin/plugin_api.h"
#include "platform/os.h"
#include "platform/services.h"
#include "store/store.h"

namespace feedpane_test {

// What the plug-in launched (file, a space, the parameters), through a
// service table that records launches instead of starting anything.
inline std::vector<std::u16string> g_launched;
inline bool RecordLaunch(const std::u16string& file, const std::u16string& parameters) {
  g_launched.push_back(file + u" " + parameters);
  return true;
}
inline int NoMessageBox(void*, const std::u16string&, const std::u16string&, std::uint32_t) { return platform::kIdOk; }
inline bool NoSound(const std::u16string&) { return true; }
inline const platform::Services kRecording = {NoMessageBox, RecordLaunch, NoSound};

// Records `name` as the selected language pack, as the program does at
// its start (UTF-16 text in the registry).
inline bool SelectLanguage(const std::string& name) {
  std::string bytes;
  for (char ch : name + std::string(2, '\0')) {
    bytes.push_back(ch);
    bytes.push_back('\0');
  }
  return platform::os::RegistryWrite(platform::os::kLocalMachine, "SOFTWARE\\Korvel\\Lang", "Language",
                                     platform::os::kRegMultiSz, bytes) == 0;
}

// Article objects as the sync server writes them.
struct Article {
  std::string key;  // the object is "Item <key>"
  std::string title;
  std::string sort;
  std::string text = "Text of the article.";
  std::string author = "A. Writer";
  std::string date = "Mon, 02 Jun 2008 10:00:00 GMT";
  std::string link = "http://example.com/story";
  int read = 0;
};

inline store::StoreCode SetText(store::Object* o, const char* name, const std::string& value) {
  return store::SetProperty(o, name, store::kTypeText, value.c_str(), static_cast<std::uint32_t>(value.size() + 1), 1,
                            1, 1, 0);
}
inline store::StoreCode SetBinary(store::Object* o, const char* name, const std::string& value) {
  return store::SetProperty(o, name, store::kTypeBinary, value.data(), static_cast<std::uint32_t>(value.size()), 1, 1,
                            1, 0);
}

// Writes a channel database through the store.
class ChannelWriter {
 public:
  ChannelWriter(const std::string& volume, const std::string& name) {
    ok_ = store::OpenDatabase(&db_, name.c_str(), 1, 0, store::kCreatorPyra, 0, store::kVersionMajor,
                              store::kVersionMinor, volume.c_str()) == store::kStoreOk;
  }
  ~ChannelWriter() {
    if (db_) store::CloseDatabase(&db_);
  }
  bool ok() const { return ok_; }
  store::Database* db() const { return db_; }

  // Properties in the server's order: the link moves before the date when
  // the article has a picture, so that it stays the fifth element.
  bool Add(const Article& a, bool with_picture = false) {
    store::Object* o = nullptr;
    if (store::CreateObject(&o, ("Item " + a.key).c_str()) != store::kStoreOk) return false;
    bool good = SetText(o, "Title", a.title) == 0 && SetText(o, "Author", a.author) == 0;
    if (with_picture) {
      good = good && SetText(o, "Link", a.link) == 0 && SetText(o, "Date", a.date) == 0;
    } else {
      good = good && SetText(o, "Date", a.date) == 0 && SetText(o, "Link", a.link) == 0;
    }
    good = good && SetText(o, "Text", a.text) == 0 && SetText(o, "Sort", a.sort) == 0;
    std::int32_t read = a.read;
    good = good && store::SetProperty(o, "READ", store::kTypeInteger, &read, 4, 1, 1, 1, 0) == 0;
    good = good && store::WriteObject(db_, o, 1, 1, 1, 1) == store::kStoreOk;
    store::FreeObject(o);
    return good;
  }

  bool AddObject(const std::string& name, const std::vector<std::pair<std::string, std::string>>& texts,
                 const std::vector<std::pair<std::string, std::string>>& binaries) {
    store::Object* o = nullptr;
    if (store::CreateObject(&o, name.c_str()) != store::kStoreOk) return false;
    bool good = true;
    for (auto& t : texts) good = good && SetText(o, t.first.c_str(), t.second) == 0;
    for (auto& b : binaries) good = good && SetBinary(o, b.first.c_str(), b.second) == 0;
    good = good && store::WriteObject(db_, o, 1, 1, 1, 1) == store::kStoreOk;
    store::FreeObject(o);
    return good;
  }

  bool SetChannelName(const std::string& name) { return AddObject("ChannelName", {{"Channel", name}}, {}); }

  // The picture of article `key`: whole under "Image", or, with a part
  // size, in parts that an "ImageMap" lists as the server writes them.
  bool AddPicture(const std::string& key, const std::string& bytes, std::size_t part_size = 0) {
    if (part_size == 0) return AddObject("Pic " + key, {{"Feed", key}}, {{"Image", bytes}});
    std::string map;
    for (std::size_t off = 0, i = 0; off < bytes.size(); off += part_size, ++i) {
      std::string part = "Part " + key + " " + std::to_string(i);
      std::string chunk = bytes.substr(off, part_size);
      if (!AddObject(part, {}, {{"Data", chunk}})) return false;
      for (const std::string& t : {part, std::string("Data"), std::to_string(off), std::to_string(chunk.size())}) {
        map += t;
        map.push_back('\0');
      }
    }
    map.push_back('\0');
    return AddObject("Pic " + key, {{"Feed", key}}, {{"ImageMap", map}});
  }

  // The stored integer property, or -1.
  int ReadInteger(const std::string& object, const char* name) {
    store::Object* o = nullptr;
    store::CreateObject(&o, object.c_str());
    int value = -1;
    if (store::ReadObject(db_, o) == store::kStoreOk) {
      std::int32_t v = 0;
      std::uint32_t size = 4;
      if (store::GetProperty(o, name, store::kTypeInteger, &v, &size) == store::kStoreOk) value = v;
      store::FreeObject(o);
    }
    return value;
  }

  // How many properties the stored object has; -1 when it is missing.
  int PropertyCount(const std::string& object) {
    store::Object* o = nullptr;
    store::CreateObject(&o, object.c_str());
    int count = -1;
    if (store::ReadObject(db_, o) == store::kStoreOk) {
      std::uint32_t n = 0;
      store::GetPropertyCount(o, &n);
      count = static_cast<int>(n);
      store::FreeObject(o);
    } else {
      store::FreeObject(o);
    }
    return count;
  }

 private:
  store::Database* db_ = nullptr;
  bool ok_ = false;
};

// What the plug-in asked the view for.
struct Request {
  int kind;  // 0 content size, 1 scroll position, 2 scroll bars
  int a, b;
};

class RecordingView : public KorvelPluginViewInterface {
 public:
  std::int32_t SetContentSize(std::int32_t w, std::int32_t h) override { return Queue({0, w, h}); }
  std::int32_t ShowScrollBars(std::int32_t h, std::int32_t v) override { return Queue({2, h, v}); }
  std::int32_t ScrollTo(std::int32_t x, std::int32_t y) override { return Queue({1, x, y}); }
  std::int32_t GetFirstCommandId() override { return kPluginFirstCommand; }
  std::int32_t AddMenuItem(const wchar_t* path, std::int32_t) override {
    menu_calls.push_back(std::wstring(L"+") + path);
    return 1;
  }
  std::int32_t RemoveMenuItem(const wchar_t* path) override {
    menu_calls.push_back(std::wstring(L"-") + path);
    return 1;
  }
  std::int32_t HasMenu() override { return 0; }
  std::int32_t HasMenu7() override { return 0; }
  std::int32_t HasMenu8() override { return 0; }
  std::int32_t HasMenu9() override { return 0; }
  std::int32_t SetViewTitle(const wchar_t* title) override {
    this->title = title ? title : L"";
    return 0;
  }
  std::int32_t GoBack() override { return ++backs; }
  std::int32_t GoForward() override { return ++forwards; }
  HWND GetContentWindow() override { return window; }
  std::int32_t SwitchContent(const char*, const char*) override { return 0; }

  std::int32_t Queue(Request r) {
    queue.push_back(r);
    history.push_back(r);
    return 0;
  }

  HWND window = nullptr;
  std::vector<Request> queue;
  std::vector<Request> history;
  std::vector<std::wstring> menu_calls;
  std::wstring title;
  int backs = 0, forwards = 0;
};

inline LRESULT CALLBACK ContentWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class FeedpaneHost {
 public:
  explicit FeedpaneHost(const std::string& volume) : db(volume.c_str()) { services = {&db, &view, nullptr, nullptr}; }
  ~FeedpaneHost() {
    if (services.context && unload) unload(&services, 0, 0);
    db.Close();
    if (view.window) DestroyWindow(view.window);
    if (set_services) set_services(nullptr);
    if (library) FreeLibrary(library);
  }
  FeedpaneHost(const FeedpaneHost&) = delete;
  FeedpaneHost& operator=(const FeedpaneHost&) = delete;

  // Loads the library and makes a content window of width x height.
  bool Start(int width, int height) {
    library = LoadLibraryW(L"Feedpane.dll");
    if (!library) return false;
    load = Resolve<LoadContentProc>("LoadContent");
    unload = Resolve<UnloadContentProc>("UnloadContent");
    scroll = Resolve<ScrollProc>("Scroll");
    refresh = Resolve<RefreshProc>("Refresh");
    button = Resolve<ProcessButtonProc>("ProcessButton");
    message = Resolve<ProcessSystemMessageProc>("ProcessSystemMessage");
    move_focus = Resolve<MoveFocusProc>("MoveFocus");
    activate = Resolve<ActivateFocusedProc>("ActivateFocused");
    set_services = Resolve<SetPlatformServicesProc>(kSetPlatformServicesExport);
    if (!load || !unload || !scroll || !refresh || !button || !message || !move_focus || !activate ||
        !set_services)
      return false;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ContentWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FeedpaneTestContent";
    RegisterClassW(&wc);
    view.window = CreateWindowExW(0, L"FeedpaneTestContent", L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    return view.window != nullptr;
  }

  template <typename Proc>
  Proc Resolve(const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  }

  int ClientHeight() const {
    RECT r;
    GetClientRect(view.window, &r);
    return r.bottom - r.top;
  }

  // Carries out what the plug-in queued, as the content area would.
  void Run() {
    std::vector<Request> pending;
    pending.swap(view.queue);
    for (const Request& r : pending) {
      if (r.kind == 0) {
        content_width = r.a;
        content_height = r.b;
        int top = std::max(0, content_height - ClientHeight());
        if (scroll_y > top) SetScroll(scroll_x, top);
      } else if (r.kind == 1) {
        SetScroll(r.a, r.b);
        scroll(&services, scroll_x, scroll_y, 0);
      }
    }
  }
  void SetScroll(int x, int y) {
    scroll_x = std::max(0, x);
    scroll_y = std::max(0, std::min(y, std::max(0, content_height - ClientHeight())));
  }
  // The user drags the scroll bar.
  void ScrollBy(int dy) {
    SetScroll(scroll_x, scroll_y + dy);
    scroll(&services, scroll_x, scroll_y, 0);
    Run();
  }

  std::int32_t Load(const char* parameter = "News|Channel|Title") {
    std::int32_t r = load(&services, parameter);
    Run();
    return r;
  }
  std::int32_t Unload() {
    std::int32_t r = unload(&services, 0, 0);
    Run();
    return r;
  }
  std::int32_t Refresh() {
    std::int32_t r = refresh(&services, 0, 0);
    Run();
    return r;
  }
  std::int32_t Button(int command) {
    std::int32_t r = button(&services, command, 0);
    Run();
    return r;
  }
  std::int32_t Focus(int direction) {
    std::int32_t r = move_focus(&services, direction, 0);
    Run();
    return r;
  }
  std::int32_t Activate() {
    std::int32_t r = activate(&services, 0, 0);
    Run();
    return r;
  }
  // A pen message at window coordinates; returns the handled flag and the result word.
  std::int32_t Pen(UINT msg, int x, int y, std::int32_t* result = nullptr) {
    std::int32_t word = -7;
    std::int32_t handled = message(&services, view.window, msg, 0, MAKELPARAM(x, y), &word);
    if (result) *result = word;
    Run();
    return handled;
  }
  std::int32_t Tap(int x, int y) {
    std::int32_t result = 0;
    Pen(WM_LBUTTONDOWN, x, y);
    Pen(WM_LBUTTONUP, x, y, &result);
    return result;
  }

  HMODULE library = nullptr;
  plugin::DatabaseService db;
  RecordingView view;
  KorvelPluginServices services;
  LoadContentProc load = nullptr;
  UnloadContentProc unload = nullptr;
  ScrollProc scroll = nullptr;
  RefreshProc refresh = nullptr;
  ProcessButtonProc button = nullptr;
  ProcessSystemMessageProc message = nullptr;
  MoveFocusProc move_focus = nullptr;
  ActivateFocusedProc activate = nullptr;
  SetPlatformServicesProc set_services = nullptr;
  int content_width = 0, content_height = 0;
  int scroll_x = 0, scroll_y = 0;
};

}  // namespace feedpane_test
