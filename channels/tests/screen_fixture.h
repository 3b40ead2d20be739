// The channel screens in a content area of their own, with the program's
// texts, styles and pictures as far as the screens use them; message boxes
// and commands handed on to the application are recorded.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/content_area.h"
#include "app/look.h"
#include "app/path_menu.h"
#include "app/view_title.h"
#include "channels/add_channel.h"
#include "channels/data_sources.h"
#include "channels/list_channels.h"
#include "gui/image_decode.h"
#include "platform/os.h"
#include "platform/screenshot.h"
#include "platform/services.h"
#include "screen_look.h"

namespace channels_test {

struct Messages {
  static std::vector<std::u16string>& Shown() {
    static std::vector<std::u16string> shown;
    return shown;
  }
  static int Box(void*, const std::u16string& text, const std::u16string&, std::uint32_t) {
    Shown().push_back(text);
    return platform::kIdOk;
  }
};

struct Table {
  std::vector<int> commands;
  static int Handle(int command, void* context, int) {
    static_cast<Table*>(context)->commands.push_back(command);
    return 1;
  }
};

class RecordingHost : public CKorvelLifePluginHost {
 public:
  int LoadPlugin(const char* name, const char* database) override {
    loaded.push_back(std::string(name) + "/" + database);
    return 0;
  }
  std::vector<std::string> loaded;
};

inline void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

inline std::u16string U16(const wchar_t* s) { return std::u16string(s, s + wcslen(s)); }

class Screens : public ::testing::Test {
 protected:
  void SetUp() override {
    SetStringSource(Texts);
    SetLookSources(Style, Image);
    TextFieldBox::SetStringSource(Texts);
    ASSERT_EQ(platform::os::MakeTempDirectory("channel-screens", &dir_), 0);
    store_ = CObjectStore(platform::os::JoinPath(dir_, "Reader.vol"));
    services_ = platform::DefaultServices();
    services_.message_box = Messages::Box;
    platform::SetServices(&services_);
    Messages::Shown().clear();
    CKorvelLifeViewInterface::SetTitleBox(&title_);
    area_.SetSize(0, kWidth, nullptr, 1);
    area_.SetSize(1, kHeight, nullptr, 1);
    area_.SetStyle(WS_POPUP);
    ASSERT_TRUE(area_.Create(true, nullptr, nullptr, false));
    area_.SetPluginHost(&host_);
    area_.SetCommandTable(Table::Handle, &table_);
    for (CKorvelLifeViewInterface* v : std::initializer_list<CKorvelLifeViewInterface*>{
             &list_, &delete_, &recommend_, &add_}) {
      v->SetStore(&store_);
      v->SetMenu(&menu_);
    }
    ScopedDatabase cats;
    ASSERT_EQ(store_.Open(cats.Out(), "TavoCats", true), 0);
    StoreRecord("Categories").Text("News", "News").WriteTo(cats.Get());
  }
  void TearDown() override {
    area_.SetView(nullptr, nullptr, 0);
    area_.Close(0);
    CKorvelLifeViewInterface::SetTitleBox(nullptr);
    platform::SetServices(nullptr);
    platform::os::RemoveTree(dir_);
  }

  void Channel(int id, const std::string& name, const char* subscribed = "Yes", bool icon = true,
               const char* plugin = "News") {
    ScopedDatabase rss;
    ASSERT_EQ(store_.Open(rss.Out(), "TavoRss", true), 0);
    StoreRecord r(("Channel " + std::to_string(id)).c_str());
    r.Text("ChName", name).Text("DbName", "Tavo " + std::to_string(id)).Text("Plugin", plugin).Text("Subscr", subscribed);
    if (icon) r.Raw("Icon", store::kTypeBinary, IconBytes().data(), static_cast<std::uint32_t>(IconBytes().size()));
    ASSERT_EQ(r.WriteTo(rss.Get()), 0);
  }
  // The skin's channel picture as a channel's icon bytes.
  static const std::string& IconBytes() {
    static std::string bytes = [] {
      HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(225), L"GIF");
      HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
      const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
      return data ? std::string(data, SizeofResource(nullptr, found)) : std::string("GIF89a");
    }();
    return bytes;
  }
  void Articles(int id, int count, int read) {
    ScopedDatabase d;
    ASSERT_EQ(store_.Open(d.Out(), ("Tavo " + std::to_string(id)).c_str(), true), 0);
    for (int i = 0; i < count; ++i)
      ASSERT_EQ(StoreRecord(("Item " + std::to_string(i)).c_str())
                    .Text("Title", "Article " + std::to_string(i))
                    .Int("READ", i < read ? 1 : 0)
                    .WriteTo(d.Get()),
                0);
  }
  void Setting(const char* object, const char* property, std::int32_t value) {
    ScopedDatabase d;
    ASSERT_EQ(store_.Open(d.Out(), "TavoSavedPrefs", true), 0);
    ASSERT_EQ(StoreRecord(object).Int(property, value).WriteTo(d.Get()), 0);
  }
  std::string Text(const char* db, const char* object, const char* property) {
    ScopedDatabase d;
    if (store_.Open(d.Out(), db, false) != 0) return "<no database>";
    store::Object* o = nullptr;
    store::CreateObject(&o, object);
    std::string text = "<missing>";
    if (store::ReadObject(d.Get(), o) == 0) CObjectStore::ReadText(o, property, &text);
    store::FreeObject(o);
    return text;
  }
  void Show(CKorvelLifeViewInterface* view) {
    area_.SetView(view, nullptr, 0);
    Pump();
  }
  // The focused cell's top and bottom in the area's visible coordinates.
  void FocusedSpan(int* top, int* bottom) {
    Box* focused = list_.GetViewBox()->GetFocused(true);
    ASSERT_NE(focused, nullptr);
    Box* cell = focused->GetParent();
    *top = cell->GetOffsetIn(&area_, 1);
    *bottom = *top + cell->Height();
  }
  int FocusedRow() {
    Box* focused = list_.GetViewBox()->GetFocused(true);
    for (size_t i = 0; i < list_.Rows().size(); ++i)
      if (focused && focused->GetParent() == list_.Cell(static_cast<int>(i))) return static_cast<int>(i);
    return -1;
  }
  void Shot(const char* name) {
    std::string dir = std::string(TIDELARK_TEST_OUTPUT) + "/channels";
    platform::os::MakeDirectories(dir);
    area_.InvalidateAll();
    platform::SaveWindowPng(area_.GetHandle(), dir + "/" + name + ".png");
  }

  std::string dir_;
  CObjectStore store_;
  platform::Services services_;
  Table table_;
  CPathMenu menu_;
  CKorvelLifeViewTitle title_;
  CKorvelLifeContentArea area_;
  RecordingHost host_;
  CKorvelLifeDataSources list_;
  CKorvelDeleteChannel delete_;
  CKorvelRecommendChannels recommend_;
  CKorvelAddChannel add_;
};

}  // namespace channels_test
