// The channel screens in a content area of their own, on a real store
// volume: what the list shows in both display modes, opening a channel,
// keys that scroll the focused row into view, the check-box lists and the
// add form.
#include "screen_fixture.h"

namespace {

using namespace channels_test;
using namespace VexaAppGUISystem;

TEST_F(Screens, ListRowsShowCountsThatFollowReadingAndTheIconViewShowsCells) {
  Channel(1, "Fifty");
  Channel(2, "Empty");
  Articles(1, 50, 7);
  Show(&list_);
  EXPECT_EQ(title_.GetText(), L"Channels");
  ASSERT_EQ(list_.Rows().size(), 2u);
  EXPECT_FALSE(list_.IconView()) << "no display settings: the list";
  IconBox* fifty = list_.Cell(1);  // "Empty" sorts first
  ASSERT_NE(fifty, nullptr);
  ASSERT_NE(fifty->Count(), nullptr);
  EXPECT_STREQ(fifty->Count()->Label().GetText(), L"43/50");
  EXPECT_STREQ(list_.Cell(0)->Count()->Label().GetText(), L"0/0");
  EXPECT_EQ(fifty->Width(), kWidth - 10);
  EXPECT_EQ(fifty->Height(), 20);
  int w = 0, h = 0;
  GetBitmapSize(fifty->Icon()->GetCurrentBitmap(), &w, &h);
  EXPECT_EQ(w, 16);
  Shot("list-counts");

  {
    ScopedDatabase d;
    ASSERT_EQ(store_.Open(d.Out(), "Tavo 1", false), 0);
    ASSERT_EQ(StoreRecord("Item 20").Int("READ", 1).WriteTo(d.Get()), 0);
  }
  Show(&list_);
  EXPECT_STREQ(list_.Cell(1)->Count()->Label().GetText(), L"42/50") << "read from the store at every opening";

  Setting("DisplaySettings", "IconView", 1);
  Show(&list_);
  ASSERT_TRUE(list_.IconView());
  IconBox* cell = list_.Cell(0);
  EXPECT_EQ(cell->Width(), 70);
  EXPECT_EQ(cell->Height(), 80);
  EXPECT_EQ(cell->Count(), nullptr) << "the icon view has no counts";
  GetBitmapSize(cell->Icon()->GetCurrentBitmap(), &w, &h);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(list_.Cell(1)->GetOffsetIn(&area_, 1), cell->GetOffsetIn(&area_, 1)) << "cells side by side";
  Shot("icons");
}

TEST_F(Screens, LongNamesAreShortenedToTwoThirdsOfTheWidth) {
  HFONT font = Style(12).font;
  struct Case {
    std::wstring name;
    bool cut;
  } cases[] = {{L"Short", false},
               {L"WWWWWWWWWWWWWWWWWWWW", false},  // 20 characters stay whole, however wide
               {L"A channel with a rather long name that goes on", true},
               {L"Abcdefghijklmnopqrstu", false}};  // 21 characters that fit
  for (const Case& c : cases) {
    std::wstring shown = CKorvelLifeDataSources::ShortenName(c.name, font, kWidth * 2 / 3);
    EXPECT_EQ(shown != c.name, c.cut) << std::string(c.name.begin(), c.name.end());
    if (!c.cut) continue;
    EXPECT_EQ(shown.back(), L'\x2026');
    EXPECT_EQ(c.name.compare(0, shown.size() - 1, shown, 0, shown.size() - 1), 0) << "a start of the name";
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_LE(size.cx, kWidth * 2 / 3);
  }
  Channel(1, "A channel with a rather long name that goes on");
  Show(&list_);
  const wchar_t* label = list_.Cell(0)->Label()->Label().GetText();
  EXPECT_EQ(label[wcslen(label) - 1], L'\x2026');
}

TEST_F(Screens, OpeningARowSwitchesToItsPluginAndTheListFocusesItNextTime) {
  Channel(1, "Alpha");
  Channel(2, "Beta");
  Channel(3, "Gamma");
  Show(&list_);
  EXPECT_EQ(menu_.Handle() ? GetMenuItemCount(menu_.Handle()) : 0, 2) << "Add channel, Arrange channels";
  area_.RouteCommand(4048);
  ASSERT_EQ(host_.loaded.size(), 1u);
  EXPECT_EQ(host_.loaded[0], "News/Tavo 2");
  EXPECT_EQ(area_.GetView(), &host_);
  EXPECT_EQ(title_.GetText(), L"Beta");
  const CKorvelLifeNavigationHistory::Entry* e = area_.History().At(area_.History().Index());
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->parameter.data(), "News|Tavo 2|Beta");
  EXPECT_EQ(Text("Tavo 2", "ChannelName", "Channel"), "Beta");

  area_.Back();
  EXPECT_EQ(area_.GetView(), &list_);
  EXPECT_EQ(title_.GetText(), L"Channels");
  EXPECT_EQ(FocusedRow(), 1) << "the channel opened last";
  EXPECT_TRUE(table_.commands.empty()) << "row commands are the list's own";
}

TEST_F(Screens, AWeatherListOpensItsFirstChannelAtOnce) {
  Channel(1, "Oslo", "Yes", true, "Weather");
  Channel(2, "Bergen", "Yes", true, "Weather");
  Channel(3, "News only", "Yes", true, "News");
  list_.SetPluginType("Weather");
  Show(&list_);
  ASSERT_EQ(host_.loaded.size(), 1u);
  EXPECT_EQ(host_.loaded[0], "Weather/Tavo 2") << "Bergen sorts first";
  EXPECT_EQ(title_.GetText(), L"Bergen");
  EXPECT_EQ(Text("Tavo 2", "ChannelName", "Channel"), "<no database>") << "nothing is written for weather";
  EXPECT_TRUE(list_.Rows().empty()) << "the list left the area and keeps nothing";
  list_.SetPluginType("News");
}

TEST_F(Screens, KeysMoveTheFocusAndScrollItsRowIntoView) {
  for (int i = 0; i < 30; ++i) Channel(100 + i, "Channel " + std::string(1, static_cast<char>('A' + i / 10)) +
                                                    std::to_string(i % 10));
  for (bool icons : {false, true}) {
    SCOPED_TRACE(icons ? "icon view" : "list view");
    Setting("DisplaySettings", "IconView", icons ? 1 : 0);
    Show(&list_);
    ASSERT_EQ(FocusedRow(), 0);
    EXPECT_EQ(area_.GetScrollPosition(1), 0);
    int top = 0, bottom = 0, last = 0;
    for (int step = 0; step < 29; ++step) {
      ASSERT_EQ(list_.MoveFocus(1, 0), 1) << step;
      FocusedSpan(&top, &bottom);
      EXPECT_GE(top, 0) << step;
      EXPECT_LE(bottom, kHeight) << step;
      last = FocusedRow();
    }
    EXPECT_EQ(last, 29);
    EXPECT_GT(area_.GetScrollPosition(1), 0);
    Shot(icons ? "icons-scrolled" : "list-scrolled");
    for (int step = 0; step < 29; ++step) {
      ASSERT_EQ(list_.MoveFocus(-1, 0), 1) << step;
      FocusedSpan(&top, &bottom);
      EXPECT_GE(top, 0) << step;
      EXPECT_LE(bottom, kHeight) << step;
    }
    EXPECT_EQ(FocusedRow(), 0);
    FocusedSpan(&top, &bottom);
    EXPECT_EQ(top, 0) << "back at the first row, its top meets the top";
    // The channel opened last sits below the fold: the list opens scrolled to it.
    Setting("DSIData", "LastActive", 4047 + 27);
    Show(&list_);
    EXPECT_EQ(FocusedRow(), 27);
    FocusedSpan(&top, &bottom);
    EXPECT_GE(top, 0);
    EXPECT_LE(bottom, kHeight);
    Setting("DSIData", "LastActive", 0);
  }
}

TEST_F(Screens, AnEmptyListSaysWhatToDo) {
  Show(&list_);
  EXPECT_TRUE(list_.Rows().empty());
  EXPECT_EQ(list_.GetViewBox()->GetChildCount(), 2) << "a picture and a text";
  Shot("list-empty");
}

TEST_F(Screens, DeleteUnsubscribesTheCheckedAndTheRecommendationsSubscribe) {
  Channel(1, "Engadget");
  Channel(2, "slashdot");
  Channel(3, "Autoblog");
  Channel(4, "No picture yet", "Yes", false);
  Channel(5, "Offered", "No", false);
  Show(&delete_);
  EXPECT_EQ(title_.GetText(), L"Delete channels");
  ASSERT_EQ(delete_.RowCount(), 4) << "every subscribed channel, with or without an icon";
  EXPECT_EQ(delete_.RowName(0), "Autoblog");
  EXPECT_EQ(delete_.RowName(3), "slashdot") << "sorted ignoring case";
  EXPECT_STREQ(delete_.RowDatabase(0), "Tavo 3");
  EXPECT_EQ(delete_.Row(0)->Width(), 200);
  EXPECT_EQ(delete_.Row(0)->Height(), 20);
  EXPECT_EQ(delete_.Row(0)->GetOffsetIn(&area_, 0), 20);
  Shot("delete");
  // A tap on a row toggles it.
  std::intptr_t at[2] = {5, 5};
  delete_.Row(0)->HandleEvent(delete_.Row(0), EventPenDown, at);
  delete_.Row(3)->SetChecked(true);
  EXPECT_EQ(delete_.CheckedNames(), (std::vector<std::string>{"Autoblog", "slashdot"}));
  area_.RouteCommand(3120);
  ASSERT_EQ(Messages::Shown().size(), 1u);
  EXPECT_EQ(Messages::Shown()[0], U16(Texts(17)));
  EXPECT_EQ(table_.commands, (std::vector<int>{3120})) << "then the channel list";
  EXPECT_EQ(Text("TavoRss", "Channel 3", "Subscr"), "No");
  EXPECT_EQ(Text("TavoRss", "Channel 2", "Subscr"), "No");
  EXPECT_EQ(Text("TavoRss", "Channel 1", "Subscr"), "Yes");

  // Nothing checked: nothing written, nothing said.
  Show(&delete_);
  area_.RouteCommand(3120);
  EXPECT_EQ(Messages::Shown().size(), 1u);

  Show(&recommend_);
  EXPECT_EQ(title_.GetText(), L"Recommended channels");
  ASSERT_EQ(recommend_.RowCount(), 3);
  EXPECT_EQ(recommend_.RowName(0), "Autoblog");
  recommend_.Row(0)->SetChecked(true);
  table_.commands.clear();
  area_.RouteCommand(3140);
  EXPECT_EQ(Messages::Shown().back(), U16(Texts(75)));
  EXPECT_EQ(table_.commands, (std::vector<int>{5017})) << "then the synchronization screen";
  EXPECT_EQ(Text("TavoRss", "Channel 3", "Subscr"), "Yes");
}

TEST_F(Screens, ListsWithoutChannelsSayWhy) {
  Show(&recommend_);
  EXPECT_EQ(recommend_.RowCount(), 0);
  int texts = 0;
  for (int i = 0; i < recommend_.ListBox().GetChildCount(); ++i)
    if (auto* t = dynamic_cast<VexaAppGUISystem::Text*>(recommend_.ListBox().GetChild(i)))
      texts += t->GetText() && std::wstring(t->GetText()) == Texts(77);
  EXPECT_EQ(texts, 1);
  area_.RouteCommand(3140);
  EXPECT_TRUE(Messages::Shown().empty());
}

TEST_F(Screens, TheAddFormRestoresFollowsTheFocusAndAddsAChannel) {
  channels::AddForm saved;
  saved.option = channels::kEnterAddress;
  saved.url = "http://saved.example/rss";
  saved.name = "Saved";
  ASSERT_EQ(channels::SaveAddForm(store_, saved), 0);
  Show(&add_);
  EXPECT_EQ(title_.GetText(), L"Add channel");
  channels::AddForm form = add_.Form();
  EXPECT_EQ(form.option, channels::kEnterAddress);
  EXPECT_EQ(form.url, saved.url);
  EXPECT_EQ(form.name, saved.name);
  Shot("add-form");

  // Focus entering an option's elements selects it.
  add_.GetViewBox()->SetFocus(&add_.Option(0));
  EXPECT_EQ(add_.SelectedOption(), channels::kChooseFromList);
  add_.GetViewBox()->SetFocus(&add_.NameField());
  EXPECT_EQ(add_.SelectedOption(), channels::kEnterAddress);
  area_.RouteCommand(3072);
  EXPECT_EQ(add_.SelectedOption(), channels::kChooseFromList);
  area_.RouteCommand(3073);
  EXPECT_EQ(add_.SelectedOption(), channels::kEnterAddress);

  // A bare address adds nothing and keeps the form.
  add_.AddressField().SetText("http://");
  add_.NameField().SetText("Mine");
  area_.RouteCommand(3071);
  ASSERT_EQ(Messages::Shown().size(), 1u);
  EXPECT_EQ(Messages::Shown()[0], U16(Texts(79)));
  EXPECT_TRUE(table_.commands.empty()) << "the form stays";
  EXPECT_EQ(area_.GetView(), &add_);
  EXPECT_EQ(Text("TavoRss", "x", "URL"), "<no database>");
  channels::AddForm kept;
  ASSERT_TRUE(channels::LoadAddForm(store_, &kept));
  EXPECT_EQ(kept.url, "http://");
  EXPECT_EQ(kept.name, "Mine");

  add_.AddressField().SetText("file:///feeds/mine.xml");
  area_.RouteCommand(3071);
  ASSERT_EQ(Messages::Shown().size(), 2u);
  EXPECT_EQ(Messages::Shown()[1], U16(Texts(75)));
  EXPECT_EQ(table_.commands, (std::vector<int>{5017}));
  ASSERT_FALSE(add_.LastAdded().empty());
  EXPECT_EQ(add_.LastAdded().compare(0, 8, "Channel "), 0);
  EXPECT_EQ(Text("TavoRss", add_.LastAdded().c_str(), "URL"), "file:///feeds/mine.xml");
  EXPECT_EQ(Text("TavoRss", add_.LastAdded().c_str(), "ChName"), "Mine");
  EXPECT_EQ(Text("TavoRss", add_.LastAdded().c_str(), "Subscr"), "Yes");

  // The first option only leads on to the synchronization screen.
  Show(&add_);
  table_.commands.clear();
  area_.RouteCommand(3072);
  area_.RouteCommand(3071);
  EXPECT_EQ(table_.commands, (std::vector<int>{5017}));
  EXPECT_EQ(Messages::Shown().size(), 2u);
}

}  // namespace
