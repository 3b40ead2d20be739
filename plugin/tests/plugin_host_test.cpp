// The host view on real libraries: the small test plug-ins, each in turn
// standing in as "Skypane.dll" (the library of "Weather", which the
// system does not ship), and the real Feedpane.dll for "News", all loaded
// by name from a folder of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "plugin/plugin_host.h"
#include "platform/os.h"
#include "store/store.h"

namespace {

namespace os = platform::os;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class PluginHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, os::MakeTempDirectory("plugin-host", &dir_));
    volume_ = os::JoinPath(dir_, "Reader.vol");
    libraries_ = os::JoinPath(dir_, "lib");
    ASSERT_EQ(0, os::MakeDirectories(libraries_));
    ASSERT_TRUE(SetDllDirectoryW(Wide(libraries_).c_str()));
    store::Database* db = nullptr;
    ASSERT_EQ(store::kStoreOk, store::OpenDatabase(&db, "Chan", 1, 0, store::kCreatorPyra, 0, store::kVersionMajor,
                                                   store::kVersionMinor, volume_.c_str()));
    store::CloseDatabase(&db);
  }
  void TearDown() override {
    host_.reset();
    SetDllDirectoryW(nullptr);
    os::RemoveTree(dir_);
  }

  // Puts a built library into the folder under the name the host loads.
  void Install(const std::string& from, const char* as) {
    std::string bytes;
    ASSERT_EQ(0, os::ReadWholeFile(from, &bytes)) << from << " is missing: build the windows preset";
    ASSERT_EQ(0, os::WriteWholeFile(os::JoinPath(libraries_, as), bytes));
  }
  void InstallTestPlugin(const char* variant) {
    Install(std::string(TIDELARK_TEST_PLUGINS) + "/test_plugin_" + variant + ".dll", "Skypane.dll");
  }

  CKorvelLifePlugin& Host() {
    host_ = std::make_unique<CKorvelLifePlugin>(volume_.c_str());
    return *host_;
  }

  // What reached the loaded test plug-in since the last look.
  static std::string Calls() {
    HMODULE library = GetModuleHandleW(L"Skypane.dll");
    if (!library) return "(not loaded)";
    auto take = reinterpret_cast<const char* (*)()>(GetProcAddress(library, "TakeCalls"));
    return take ? take() : "(no TakeCalls)";
  }

  std::string dir_, volume_, libraries_;
  std::unique_ptr<CKorvelLifePlugin> host_;
};

TEST_F(PluginHostTest, NamesAndLibrariesThatDoNotLoad) {
  InstallTestPlugin("no_focus");
  CKorvelLifePlugin& h = Host();
  const KorvelPluginServices* block = h.Services();
  struct Case {
    const char* name;
    const char* why;
  } cases[] = {{nullptr, "no name"}, {"", "empty name"}, {"Tidelark", "unknown name"}, {"news", "names are exact"}};
  for (const Case& c : cases) {
    EXPECT_EQ(-1, h.LoadPlugin(c.name, "Chan")) << c.why;
    EXPECT_FALSE(h.HasLibrary()) << c.why;
    EXPECT_EQ(nullptr, GetModuleHandleW(L"Skypane.dll")) << c.why;
  }
  // A failing name also unloads what was loaded before.
  ASSERT_EQ(0, h.LoadPlugin("Weather", "Chan"));
  ASSERT_TRUE(h.HasLibrary());
  EXPECT_EQ(-1, h.LoadPlugin("Other", "Chan"));
  EXPECT_FALSE(h.HasLibrary());
  EXPECT_EQ(nullptr, GetModuleHandleW(L"Skypane.dll"));
  EXPECT_EQ("", h.PluginName());

  // A missing library.
  ASSERT_EQ(0, os::RemoveFile(os::JoinPath(libraries_, "Skypane.dll")));
  EXPECT_EQ(-1, h.LoadPlugin("Weather", "Chan"));
  EXPECT_FALSE(h.HasLibrary());
  // Nothing loaded: Activate calls nothing and every forwarding answers 0.
  EXPECT_EQ(0, h.Activate("Weather|Chan|Weather"));
  EXPECT_EQ(0, h.ProcessButton(1000, 0));
  EXPECT_EQ(0, h.Scroll(0, 10, 0));
  EXPECT_EQ(0, h.Refresh(0, 0));
  EXPECT_EQ(0, h.MoveFocus(1, 0));
  EXPECT_EQ(0, h.Deactivate(0, 0));
  EXPECT_EQ(block, h.Services()) << "the service block stays where it is";
}

TEST_F(PluginHostTest, ALibraryWithoutARequiredExportIsRefused) {
  InstallTestPlugin("no_system_message");
  CKorvelLifePlugin& h = Host();
  EXPECT_EQ(-1, h.LoadPlugin("Weather", "Chan"));
  EXPECT_FALSE(h.HasLibrary());
  EXPECT_EQ(nullptr, GetModuleHandleW(L"Skypane.dll")) << "the refused library is freed";
  EXPECT_EQ(0, h.Activate("Weather|Chan|Weather"));
}

TEST_F(PluginHostTest, OptionalFocusExportsMayBeMissing) {
  InstallTestPlugin("no_focus");
  CKorvelLifePlugin& h = Host();
  ASSERT_EQ(0, h.LoadPlugin("Weather", "Chan"));
  EXPECT_EQ("Weather", h.PluginName());
  ASSERT_NE(nullptr, h.Database()->name());
  EXPECT_STREQ("Chan", h.Database()->name());
  EXPECT_EQ(0, h.Activate("Weather|Chan|Forecast"));
  EXPECT_EQ("LoadContent(Weather|Chan|Forecast) 0", Calls());
  EXPECT_EQ(0, h.MoveFocus(1, 0)) << "the arrow keys do nothing inside it";
  EXPECT_EQ(0, h.ActivateFocused(0, 0));
  EXPECT_EQ(0, h.ProcessSystemMessage(nullptr, WM_KEYDOWN, VK_RETURN, 0, nullptr));
  EXPECT_EQ("ProcessSystemMessage(256)", Calls());
  EXPECT_EQ(0, h.Deactivate(0, 0));
  EXPECT_EQ("UnloadContent", Calls());
  EXPECT_EQ(nullptr, h.Database()->database()) << "the database closes with the view";
  EXPECT_TRUE(h.HasLibrary()) << "the library stays until another name loads";
}

TEST_F(PluginHostTest, ForwardingResultsAndBannerRefreshes) {
  InstallTestPlugin("full");
  CKorvelLifePlugin& h = Host();
  ASSERT_EQ(0, h.LoadPlugin("Weather", "Chan"));
  h.Activate("Weather|Chan|Forecast");
  Calls();
  struct Case {
    int answer, passed_on, redraws;
  } buttons[] = {{0, 0, 0}, {100, 100, 0}, {1000, 1000, 1}},
    focus[] = {{0, 0, 0}, {-1, 0, 0}, {1, 1, 0}, {5, 1, 0}, {1000, 1, 1}};
  for (const Case& c : buttons) {
    const int before = h.BannerRedraws();
    EXPECT_EQ(c.passed_on, h.ProcessButton(c.answer, 0)) << "button " << c.answer;
    EXPECT_EQ(c.redraws, h.BannerRedraws() - before) << "button " << c.answer;
  }
  for (const Case& c : focus) {
    const int before = h.BannerRedraws();
    EXPECT_EQ(c.passed_on, h.MoveFocus(c.answer, 0)) << "focus " << c.answer;
    EXPECT_EQ(c.redraws, h.BannerRedraws() - before) << "focus " << c.answer;
  }
  EXPECT_EQ("ProcessButton(0) ProcessButton(100) ProcessButton(1000) MoveFocus(0) MoveFocus(-1) MoveFocus(1) "
            "MoveFocus(5) MoveFocus(1000)",
            Calls());
  // Every ActivateFocused redraws the banner, whatever it answers.
  const int before = h.BannerRedraws();
  h.ActivateFocused(0, 0);
  EXPECT_EQ(1, h.BannerRedraws() - before);
  EXPECT_EQ(0, h.Scroll(3, 40, 0));
  EXPECT_EQ(0, h.ProcessMenuCommand(4021, 0));
  EXPECT_EQ("ActivateFocused Scroll(3,40) ProcessMenuCommand(4021)", Calls());
}

TEST_F(PluginHostTest, SwitchContentTwiceLeavesOnlyTheSecond) {
  InstallTestPlugin("no_focus");
  CKorvelLifePlugin& h = Host();
  ASSERT_EQ(0, h.LoadPlugin("Weather", "Chan"));
  h.Activate("Weather|Chan|Forecast");
  EXPECT_EQ(kPluginHandled, h.ProcessButton(77, 0));
  EXPECT_EQ(1, h.PendingRequests()) << "the second switch discarded the first and the size request";
  EXPECT_EQ("News", h.SwitchPlugin());
  EXPECT_EQ("Second", h.SwitchDatabase());
  h.CheckInvariants();
}

TEST_F(PluginHostTest, ParametersWithFewerThanTwoBarsLoadNothing) {
  InstallTestPlugin("no_focus");
  {
    CKorvelLifePlugin& h = Host();
    EXPECT_EQ(0, h.Activate("Weather|Chan"));
    EXPECT_FALSE(h.HasLibrary());
  }
  // A plug-in still loaded from before gets the parameter as it is.
  CKorvelLifePlugin& h = Host();
  ASSERT_EQ(0, h.LoadPlugin("Weather", "Chan"));
  for (const char* parameter : {"Weather|Chan", "Weather", ""}) {
    EXPECT_EQ(0, h.Activate(parameter));
    EXPECT_EQ(std::string("LoadContent(") + parameter + ") 0", Calls());
    h.Deactivate(0, 0);
    Calls();
    ASSERT_EQ(0, h.LoadPlugin("Weather", "Chan"));
  }
}

TEST_F(PluginHostTest, ADatabaseThatDoesNotOpenKeepsTheLibrary) {
  InstallTestPlugin("no_focus");
  CKorvelLifePlugin& h = Host();
  EXPECT_EQ(-1, h.LoadPlugin("Weather", "Missing"));
  EXPECT_TRUE(h.HasLibrary());
  EXPECT_EQ(nullptr, h.Database()->database());
  // LoadContent still runs; its store calls fail with the store's code.
  EXPECT_EQ(0, h.Activate("Weather|Missing|Nothing"));
  EXPECT_EQ("LoadContent(Weather|Missing|Nothing) " + std::to_string(store::kStoreBadArgument), Calls());
}

TEST_F(PluginHostTest, TheSameNameLoadsAfresh) {
  InstallTestPlugin("no_focus");
  CKorvelLifePlugin& h = Host();
  ASSERT_EQ(0, h.LoadPlugin("Weather", "Chan"));
  h.Refresh(0, 0);
  ASSERT_EQ(0, h.LoadPlugin("Weather", "Chan"));
  EXPECT_EQ("", Calls()) << "a fresh library has heard nothing yet";
  EXPECT_STREQ("Chan", h.Database()->name());
}

TEST_F(PluginHostTest, NewsLoadsFeedpane) {
  Install(std::string(TIDELARK_BIN_DIR) + "/Feedpane.dll", "Feedpane.dll");
  CKorvelLifePlugin& h = Host();
  ASSERT_EQ(0, h.LoadPlugin("News", "Chan"));
  EXPECT_NE(nullptr, GetModuleHandleW(L"Feedpane.dll"));
  // An empty channel: Feedpane's own code for "no articles".
  EXPECT_EQ(200, h.Activate("News|Chan|Empty"));
  EXPECT_EQ(0, h.Deactivate(0, 0));
  host_.reset();
  EXPECT_EQ(nullptr, GetModuleHandleW(L"Feedpane.dll")) << "destroying the view frees the library";
}

}  // namespace
