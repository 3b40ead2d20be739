// The frame's parts in one process: the request queue, the content area's
// routing and history, ShowView's button states, the bars, the options menu
// and the alert button against a real store volume.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/ads_area.h"
#include "app/buttons_bar.h"
#include "app/content_area.h"
#include "app/frame.h"
#include "app/object_store.h"
#include "app/path_menu.h"
#include "app/view.h"
#include "app/view_title.h"
#include "platform/device.h"
#include "platform/os.h"
#include "platform/services.h"

namespace {

// Titles by screen number, as a pack would give them.
const wchar_t* Title(int id) {
  switch (id) {
    case 92: return L"Channels";
    case 94: return L"Options";
    case 101: return L"Add channel";
    case 107: return L"Sync settings";
  }
  return nullptr;
}

// A view that records what the content area calls.
class RecordingView : public CKorvelLifeViewInterface {
 public:
  explicit RecordingView(const wchar_t* title = L"") : title_(title) {}
  int Activate(const char* parameter) override {
    calls.push_back(std::string("activate ") + (parameter ? parameter : "(null)"));
    SetTitle(title_);
    return 0;
  }
  int Deactivate(int, int) override {
    calls.push_back("deactivate");
    return 0;
  }
  int Scroll(int x, int y, int) override {
    calls.push_back("scroll " + std::to_string(x) + " " + std::to_string(y));
    return 0;
  }
  int ProcessButton(int command, int) override {
    calls.push_back("button " + std::to_string(command));
    return handles;
  }
  std::vector<std::string> calls;
  int handles = 0;

 private:
  const wchar_t* title_;
};

class RecordingHost : public CKorvelLifePluginHost {
 public:
  int LoadPlugin(const char* name, const char* database) override {
    loaded.push_back(std::string(name) + "/" + database);
    return 0;
  }
  int Activate(const char* parameter) override {
    activated.push_back(parameter ? parameter : "(null)");
    return 0;
  }
  std::vector<std::string> loaded, activated;
};

struct Table {
  std::vector<int> commands;
  static int Handle(int command, void* context, int) {
    static_cast<Table*>(context)->commands.push_back(command);
    return 1;
  }
};

HBITMAP Picture() {
  HDC screen = GetDC(nullptr);
  HBITMAP b = CreateCompatibleBitmap(screen, 26, 24);
  ReleaseDC(nullptr, screen);
  return b;
}

// A frame with all its parts, as Run builds it, on the device's screen.
class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetStringSource(Title);
    ASSERT_EQ(platform::os::MakeTempDirectory("frame-test", &dir_), 0);
    store_ = CObjectStore(platform::os::JoinPath(dir_, "Reader.vol"));
    for (HBITMAP& b : pictures_) b = Picture();
    int picture = 0;
    struct {
      CKorvelLifeButtonsBar* bar;
      int command;
    } buttons[] = {{&dynamic_, 5011}, {&dynamic_, 5022}, {&dynamic_, 5015}, {&static_, 5016},
                   {&static_, 5017},  {&static_, 5018},  {&navigation_, 5019}, {&navigation_, 5020},
                   {&navigation_, 5021}};
    for (auto& b : buttons) {
      HBITMAP normal = pictures_[picture++ % 4];
      b.bar->AddButton(b.command, normal, pictures_[3], pictures_[3], b.bar->Name().c_str());
      b.bar->BindButton(b.command, Table::Handle, &table_, "Korvel Main Component");
    }
    CKorvelLifeViewInterface::SetTitleBox(&title_);
    ASSERT_TRUE(frame_.CreateFrame(L"Tidelark"));
    frame_.SetStore(&store_);
    frame_.SetCommandTable(Table::Handle, &table_);
    frame_.SetParts(&ads_, &dynamic_, &content_, &static_, &title_, &navigation_, &menu_);
    frame_.SetAlertImages(pictures_[0], pictures_[3], pictures_[2]);
    frame_.SetFocusOrder();
    content_.SetCommandTable(Table::Handle, &table_);
    content_.SetPluginHost(&host_);
    ASSERT_TRUE(content_.Create(true, &frame_, nullptr, false));
    ShowWindow(frame_.GetHandle(), SW_SHOWNOACTIVATE);
    for (RecordingView* v : {&a_, &b_, &c_}) v->SetMenu(&menu_);
  }
  void TearDown() override {
    content_.SetView(nullptr, nullptr, 0);
    frame_.Close(0);
    CKorvelLifeViewInterface::SetTitleBox(nullptr);
    for (HBITMAP b : pictures_) DeleteObject(b);
    platform::os::RemoveTree(dir_);
  }
  bool Visible(CKorvelLifeButtonsBar& bar, int index) { return bar.ButtonAt(index)->IsVisible(); }
  int State(CKorvelLifeButtonsBar& bar, int index) { return bar.ButtonAt(index)->GetState(); }

  std::string dir_;
  CObjectStore store_;
  HBITMAP pictures_[4] = {};
  Table table_;
  CKorvelLifeUIFrame frame_;
  CKorvelLifeAdsArea ads_;
  CKorvelLifeButtonsBar dynamic_{"Dynamic Bar"}, static_{"Static Bar"}, navigation_{"Navigation Bar"};
  CPathMenu menu_;
  CKorvelLifeViewTitle title_;
  CKorvelLifeContentArea content_;
  RecordingHost host_;
  RecordingView a_{L"Channels"}, b_{L"Add channel"}, c_{L"Options"};
};

TEST(RequestQueue, RingGrowsKeepsOrderAndASwitchDiscardsWhatWaits) {
  RecordingView view;
  for (int i = 0; i < 45; ++i) view.QueueScroll(i, -i);
  view.CheckInvariants();
  EXPECT_EQ(view.PendingRequests(), 45);
  for (int i = 0; i < 30; ++i) {
    ViewRequest* r = view.TakeRequest();
    std::int32_t x = -1, y = -1;
    ASSERT_TRUE(ViewRequestValue(r, 0, &x));
    ASSERT_TRUE(ViewRequestValue(r, 1, &y));
    EXPECT_EQ(x, i);
    EXPECT_EQ(y, -i);
    EXPECT_EQ(ViewRequestKind(r), kRequestScroll);
    FreeViewRequest(r);
  }
  for (int i = 0; i < 30; ++i) view.QueueContentSize(i, i);  // wraps around the ring
  view.CheckInvariants();
  view.QueueSwitch("News", "Tavo 1");
  view.QueueSwitch("News", "Tavo 2");
  ASSERT_EQ(view.PendingRequests(), 1) << "only the last switch stays";
  ViewRequest* r = view.TakeRequest();
  EXPECT_EQ(ViewRequestKind(r), kRequestSwitch);
  EXPECT_EQ(ViewRequestCount(r), 0);
  std::int32_t none;
  EXPECT_FALSE(ViewRequestValue(r, 0, &none));
  FreeViewRequest(r);
  EXPECT_EQ(view.SwitchDatabase(), "Tavo 2");
}

TEST_F(FrameTest, RequestsSizeScrollAndSwitchToThePluginHost) {
  frame_.ShowView(&a_, L"Channels", 0, true, true);
  a_.calls.clear();
  a_.QueueContentSize(500, 900);
  a_.QueueScrollBars(2);
  a_.QueueScroll(0, 40);
  content_.ExecuteRequests();
  EXPECT_EQ(a_.GetViewBox()->Width(), 500);
  EXPECT_EQ(a_.GetViewBox()->Height(), 900);
  bool scrollable = false;
  int unused;
  content_.GetScrollInfo(1, &scrollable, &unused, &unused, &unused, &unused, &unused);
  EXPECT_TRUE(scrollable);
  content_.GetScrollInfo(0, &scrollable, &unused, &unused, &unused, &unused, &unused);
  EXPECT_FALSE(scrollable);
  EXPECT_NE(std::find(a_.calls.begin(), a_.calls.end(), "scroll 0 40"), a_.calls.end());

  title_.SetText(L"Slashdot");
  a_.QueueSwitch("News", "Tavo 4931");
  a_.QueueScroll(1, 1);  // behind the switch: dropped with it
  content_.ExecuteRequests();
  ASSERT_EQ(host_.loaded.size(), 1u);
  EXPECT_EQ(host_.loaded[0], "News/Tavo 4931");
  ASSERT_EQ(host_.activated.size(), 1u);
  EXPECT_EQ(host_.activated[0], "(null)");
  EXPECT_EQ(content_.GetView(), &host_);
  const CKorvelLifeNavigationHistory::Entry* e = content_.History().At(content_.History().Index());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(std::string(e->parameter.data()), "News|Tavo 4931|Slashdot");
  EXPECT_EQ(a_.PendingRequests(), 0);
  EXPECT_EQ(a_.calls.back(), "deactivate");

  // A switch without a plug-in name is dropped.
  frame_.ShowView(&b_, L"Add channel", 0, true, true);
  b_.QueueSwitch("", "x");
  content_.ExecuteRequests();
  EXPECT_EQ(content_.GetView(), &b_);
  EXPECT_EQ(host_.loaded.size(), 1u);
}

TEST_F(FrameTest, ShowViewMarksTheScreenAndTheInputPanelButtonFollowsTheTitle) {
  frame_.ShowView(&b_, L"Add channel", 1, false, false);
  EXPECT_EQ(State(navigation_, 0), VexaAppGUISystem::StateDisabled) << "keep back false";
  EXPECT_TRUE(Visible(navigation_, 0));
  EXPECT_EQ(State(navigation_, 1), VexaAppGUISystem::StateDisabled) << "keep forward false";
  EXPECT_EQ(State(dynamic_, 1), VexaAppGUISystem::StateDisabled) << "the highlighted button marks the screen";
  EXPECT_TRUE(Visible(dynamic_, 1));
  EXPECT_EQ(State(dynamic_, 0), VexaAppGUISystem::StateNormal);
  EXPECT_TRUE(Visible(navigation_, 2)) << "a screen with text fields";
  EXPECT_EQ(title_.GetText(), L"Add channel");
  frame_.ShowView(&a_, L"Channels", 0, true, true);
  EXPECT_EQ(State(dynamic_, 1), VexaAppGUISystem::StateNormal);
  EXPECT_FALSE(Visible(navigation_, 2));
  EXPECT_EQ(State(navigation_, 0), VexaAppGUISystem::StateNormal) << "back leads to the first screen";
  EXPECT_EQ(menu_.Handle(), nullptr) << "the options menu is emptied for the new screen";
}

TEST_F(FrameTest, HistoryGoesBackAndForwardAndStartsAgainAfterTwenty) {
  RecordingView* views[] = {&a_, &b_, &c_};
  frame_.ShowView(&a_, L"Channels", 0, true, true);
  frame_.ShowView(&b_, L"Add channel", 0, true, true);
  frame_.ShowView(&c_, L"Options", 0, true, true);
  EXPECT_TRUE(Visible(navigation_, 0));
  EXPECT_FALSE(Visible(navigation_, 1));
  content_.Back();
  EXPECT_EQ(content_.GetView(), &b_);
  EXPECT_EQ(title_.GetText(), L"Add channel");
  EXPECT_TRUE(Visible(navigation_, 2)) << "the input-panel button follows the title on back too";
  EXPECT_TRUE(Visible(navigation_, 1));
  content_.Back();
  EXPECT_EQ(content_.GetView(), &a_);
  EXPECT_FALSE(Visible(navigation_, 0)) << "at the first entry";
  content_.Back();
  EXPECT_EQ(content_.GetView(), &a_) << "nothing before the first";
  content_.Forward();
  content_.Forward();
  EXPECT_EQ(content_.GetView(), &c_);
  EXPECT_FALSE(Visible(navigation_, 1)) << "at the last entry";

  // 21 screens in a row: the history is cleared at 20 and starts again.
  for (int i = 0; i < 21; ++i) frame_.ShowView(views[i % 3], L"", 0, true, true);
  content_.History().CheckInvariants();
  EXPECT_LE(content_.History().Count(), CKorvelLifeNavigationHistory::kHistoryLimit);
  const int recorded = content_.History().Count();
  int steps = 0;
  while (content_.History().Index() > 0) {
    content_.Back();
    ++steps;
  }
  EXPECT_EQ(steps, recorded - 1);
  EXPECT_LT(steps, 20) << "back leads only through the screens since the history was cleared";
  EXPECT_FALSE(Visible(navigation_, 0));
}

TEST_F(FrameTest, CommandsRouteToTheViewAndTheTable) {
  frame_.ShowView(&a_, L"Channels", 0, true, true);
  struct Case {
    int command;
    bool view_sees;
    bool table_sees;
  } cases[] = {{3021, false, true}, {3062, true, true}, {3120, true, true}, {4000, true, false},
               {8500, true, false}, {3085, true, true}};
  for (const Case& c : cases) {
    a_.calls.clear();
    table_.commands.clear();
    content_.RouteCommand(c.command);
    bool view = std::find(a_.calls.begin(), a_.calls.end(), "button " + std::to_string(c.command)) != a_.calls.end();
    bool table = std::find(table_.commands.begin(), table_.commands.end(), c.command) != table_.commands.end();
    EXPECT_EQ(view, c.view_sees) << c.command;
    EXPECT_EQ(table, c.table_sees) << c.command;
  }
  // A view that handles a command keeps it from the table.
  a_.handles = 100;
  table_.commands.clear();
  content_.RouteCommand(3085);
  EXPECT_TRUE(table_.commands.empty());
  // Back offered to the view first: the view handles it, the screen stays.
  frame_.ShowView(&b_, L"Add channel", 0, true, true);
  b_.handles = 100;
  content_.RouteCommand(5019);
  EXPECT_EQ(content_.GetView(), &b_);
}

TEST(ButtonsBar, AddBindRemoveAnswerAsTheirCodesSay) {
  CKorvelLifeButtonsBar bar("Static Bar");
  EXPECT_EQ(bar.AddButton(1, nullptr, nullptr, nullptr, "Static Bar"), CKorvelLifeButtonsBar::kAdded);
  EXPECT_EQ(bar.AddButton(1, nullptr, nullptr, nullptr, nullptr), CKorvelLifeButtonsBar::kExistsOwned);
  EXPECT_EQ(bar.AddButton(1, nullptr, nullptr, nullptr, "Other"), CKorvelLifeButtonsBar::kExistsOtherOwner);
  EXPECT_EQ(bar.BindButton(2, Table::Handle, nullptr, "c"), CKorvelLifeButtonsBar::kNoSuchButton);
  EXPECT_EQ(bar.BindButton(1, Table::Handle, nullptr, "c"), CKorvelLifeButtonsBar::kBound);
  EXPECT_EQ(bar.BindButton(1, Table::Handle, nullptr, "c"), CKorvelLifeButtonsBar::kAlreadyBound);
  EXPECT_EQ(bar.GetFocusCount(), 1);
  bar.AddButton(2, nullptr, nullptr, nullptr, "Other");
  bar.AddButton(3, nullptr, nullptr, nullptr, "Static Bar");
  bar.BindButton(3, Table::Handle, nullptr, "c");
  EXPECT_EQ(bar.RemoveButton(9, "Static Bar"), CKorvelLifeButtonsBar::kNotFound);
  EXPECT_EQ(bar.RemoveButton(1, "Other"), CKorvelLifeButtonsBar::kOtherOwner);
  EXPECT_EQ(bar.RemoveButton(1, nullptr), CKorvelLifeButtonsBar::kOwnerMissing);
  EXPECT_EQ(bar.RemoveButton(1, "Static Bar"), CKorvelLifeButtonsBar::kRemoved);
  bar.RemoveButtons("Static Bar");  // its own and the unbound one go
  EXPECT_EQ(bar.GetChildCount(), 0);
}

TEST(PathMenu, PathsMakeSubmenusOnceAndRemoveWhatTheyName) {
  CPathMenu menu;
  EXPECT_EQ(menu.AddMenuItem(L"", 1), 0);
  EXPECT_EQ(menu.AddMenuItem(L"A//C", 1), 0);
  EXPECT_EQ(menu.AddMenuItem(L"View/Sort/By date", 4021), 1);
  EXPECT_EQ(menu.AddMenuItem(L"View/Sort/By name", 4022), 1);
  EXPECT_EQ(menu.AddMenuItem(L"View/Sort/By name", 4099), 1) << "present counts";
  EXPECT_EQ(menu.AddMenuItem(L"Refresh", 4020), 1);
  ASSERT_NE(menu.Handle(), nullptr);
  EXPECT_EQ(GetMenuItemCount(menu.Handle()), 2);
  HMENU sort = GetSubMenu(GetSubMenu(menu.Handle(), 0), 0);
  ASSERT_NE(sort, nullptr);
  EXPECT_EQ(GetMenuItemCount(sort), 2);
  EXPECT_EQ(GetMenuItemID(sort, 1), 4022u);
  EXPECT_EQ(menu.RemoveMenuItem(L"View/Sort/By date"), 1);
  EXPECT_EQ(GetMenuItemCount(sort), 1);
  EXPECT_EQ(menu.RemoveMenuItem(L"View"), 1);
  EXPECT_EQ(GetMenuItemCount(menu.Handle()), 1);
  CPathMenu::Item items[] = {{L"Two/One", 4023}, {L"Three", 4026}, {nullptr, -1}};
  menu.AddMenuItems(items);
  EXPECT_EQ(GetMenuItemCount(menu.Handle()), 3);
  EXPECT_EQ(menu.RemoveMenuItem(L""), 1);
  EXPECT_EQ(menu.Handle(), nullptr);
  EXPECT_TRUE(menu.IsEmpty());
}

// Alerts for the alert button: name, "New", "NEW_ALERT", "READ".
void WriteAlerts(const CObjectStore& store, std::initializer_list<std::array<int, 3>> alerts) {
  store::Database* db = nullptr;
  ASSERT_EQ(store.Open(&db, "TavoAlerts", true), store::kStoreOk);
  int n = 0;
  for (const auto& a : alerts) {
    store::Object* o = nullptr;
    std::string name = "Alert item " + std::to_string(++n);
    store::CreateObject(&o, name.c_str());
    std::int32_t v[3] = {a[0], a[1], a[2]};
    store::SetProperty(o, "New", store::kTypeInteger, &v[0], 4, 1, 1, 1, 0);
    store::SetProperty(o, "NEW_ALERT", store::kTypeInteger, &v[1], 4, 1, 1, 1, 0);
    store::SetProperty(o, "READ", store::kTypeInteger, &v[2], 4, 1, 1, 1, 0);
    EXPECT_EQ(store::WriteObject(db, o, 1, 1, 1, 1), store::kStoreOk);
    store::FreeObject(o);
  }
  store::CloseDatabase(&db);
}

std::vector<std::u16string> g_sounds;
bool RecordSound(const std::u16string& path) {
  g_sounds.push_back(path);
  return true;
}

TEST_F(FrameTest, AlertButtonShowsUnreadAndNewAlertsAndRings) {
  platform::Services services = platform::DefaultServices();
  services.play_sound = RecordSound;
  const platform::Services* old = platform::SetServices(&services);
  HBITMAP normal = pictures_[0], fresh = pictures_[2];
  auto alert_picture = [this]() {
    HBITMAP n = nullptr;
    dynamic_.ButtonAt(2)->GetImages(&n, nullptr, nullptr, nullptr, nullptr, nullptr);
    return n;
  };
  // No alert database: hidden.
  frame_.SetUpAlertButton();
  EXPECT_FALSE(Visible(dynamic_, 2));
  frame_.RefreshAlertButton(false, 0);
  EXPECT_FALSE(Visible(dynamic_, 2));
  // Read alerts only: still hidden.
  WriteAlerts(store_, {{0, 0, 1}});
  frame_.RefreshAlertButton(false, 0);
  EXPECT_FALSE(Visible(dynamic_, 2));
  // One unread: visible with the normal picture; no sound without a new one.
  WriteAlerts(store_, {{0, 0, 1}, {0, 0, 0}});
  frame_.RefreshAlertButton(false, 0);
  EXPECT_TRUE(Visible(dynamic_, 2));
  EXPECT_EQ(alert_picture(), normal);
  EXPECT_TRUE(g_sounds.empty());
  // A new one at start ("NEW_ALERT"): the new-alerts picture.
  WriteAlerts(store_, {{0, 1, 0}});
  frame_.SetUpAlertButton();
  EXPECT_EQ(alert_picture(), fresh);
  EXPECT_EQ(dynamic_.IndexOf(5015), 2) << "the replaced button keeps its place";
  // A new one on refresh ("New") rings the chosen sound.
  WriteAlerts(store_, {{1, 0, 0}});
  store::Database* prefs = nullptr;
  ASSERT_EQ(store_.Open(&prefs, "TavoSavedPrefs", true), store::kStoreOk);
  store::Object* o = nullptr;
  store::CreateObject(&o, "AlertsSettings");
  std::int32_t play = 1, sound = 1;
  store::SetProperty(o, "PlaySound", store::kTypeInteger, &play, 4, 1, 1, 1, 0);
  store::SetProperty(o, "ComboSelection", store::kTypeInteger, &sound, 4, 1, 1, 1, 0);
  store::WriteObject(prefs, o, 1, 1, 1, 1);
  store::FreeObject(o);
  store::CloseDatabase(&prefs);
  frame_.RefreshAlertButton(false, 0);
  EXPECT_TRUE(Visible(dynamic_, 2));
  EXPECT_EQ(alert_picture(), fresh);
  ASSERT_EQ(g_sounds.size(), 1u);
  EXPECT_NE(g_sounds[0].find(u"MenuPop.wav"), std::u16string::npos);
  // From the alert settings screen with value 0: hidden whatever is unread.
  frame_.RefreshAlertButton(true, 0);
  EXPECT_FALSE(Visible(dynamic_, 2));
  frame_.RefreshAlertButton(true, 1);
  EXPECT_TRUE(Visible(dynamic_, 2));
  platform::SetServices(old);
}

}  // namespace

namespace {

TEST_F(FrameTest, TurningTheScreenLaysTheFrameOutAgain) {
  frame_.ShowView(&a_, L"Channels", 0, true, true);
  platform::device::ScreenMetrics landscape;
  ASSERT_TRUE(platform::device::ParseScreen("landscape", &landscape));
  platform::device::ChangeScreen(landscape);
  EXPECT_EQ(frame_.Width(), 320);
  EXPECT_EQ(content_.Width(), 320 - 4);
  EXPECT_EQ(static_.GetOffsetIn(&frame_, 0), (320 - static_.Width()) / 2);
  platform::device::SetScreenOverride(nullptr);
  SendMessageW(frame_.GetHandle(), WM_SETTINGCHANGE, platform::device::kSettingChangeReset, 0);
  EXPECT_EQ(frame_.Width(), 240);
  EXPECT_EQ(content_.Width(), 240 - 4);
}

TEST_F(FrameTest, TheInputPanelCutsTheContentAreaAtItsTop) {
  frame_.ShowView(&b_, L"Add channel", 0, true, true);
  const int full = content_.Height();
  frame_.ToggleInputPanel();
  EXPECT_TRUE(CKorvelLifeUIFrame::InputPanelFlag());
  SIPINFO sip = {};
  sip.cbSize = sizeof sip;
  ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0));
  ASSERT_TRUE(sip.fdwFlags & SIPF_ON);
  RECT frame;
  GetWindowRect(frame_.GetHandle(), &frame);
  EXPECT_EQ(frame.top + content_.GetOffsetIn(&frame_, 1) + content_.Height(), sip.rcSipRect.top);
  EXPECT_LT(content_.Height(), full);
  frame_.ToggleInputPanel();
  EXPECT_FALSE(CKorvelLifeUIFrame::InputPanelFlag());
  EXPECT_EQ(content_.Height(), full);
}

}  // namespace
