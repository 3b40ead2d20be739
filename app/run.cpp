// Run: the program's whole run, in the order of its steps.
#include "app/app.h"
#include "app/records.h"
#include "platform/device.h"
#include "platform/services.h"
#include "resources/skin_ids.h"

namespace {

// The pictures of the three bars.
const int kBarImages[] = {101, 102, 105, 106, 111, 112, 113, 114, 115, 116,
                          117, 118, 127, 128, 129, 130, 132, 133, 226};

int TableHandler(int command, void* context, int) {
  return static_cast<CKorvelLifeApp*>(context)->ExecuteCommand(command);
}

int ContentAreaHandler(int command, void* context, int) {
  return static_cast<CKorvelLifeContentArea*>(context)->HandleCommand(command);
}

HBITMAP LoadAppImage(int id) { return GetApp().LoadImage(id); }

}  // namespace

void CKorvelLifeApp::LoadBarImages() {
  for (int id : kBarImages) bar_images_[id] = LoadImage(id);
}

void CKorvelLifeApp::FillBars() {
  struct Button {
    CKorvelLifeButtonsBar* bar;
    int command, normal, pressed;
    bool to_content_area;
  } buttons[] = {
      {&dynamic_bar_, commands::kShowChannels, 101, 102, false},
      {&dynamic_bar_, commands::kShowAddChannel, 105, 106, false},
      {&dynamic_bar_, commands::kShowAlerts, 111, 112, false},
      {&static_bar_, commands::kShowOptions, 113, 114, false},
      {&static_bar_, commands::kShowSync, 115, 116, false},
      {&static_bar_, commands::kShowHelp, 117, 118, false},
      {&navigation_bar_, commands::kBack, 127, 128, true},
      {&navigation_bar_, commands::kForward, 129, 130, true},
      {&navigation_bar_, commands::kToggleInputPanel, 132, 133, false},
  };
  for (CKorvelLifeButtonsBar* bar : {&dynamic_bar_, &static_bar_, &navigation_bar_}) bar->SetCentred(true);
  for (const Button& b : buttons) {
    HBITMAP pressed = bar_images_[b.pressed];
    b.bar->AddButton(b.command, bar_images_[b.normal], pressed, pressed, b.bar->Name().c_str());
    if (b.to_content_area)
      b.bar->BindButton(b.command, ContentAreaHandler, &content_, kComponentName);
    else
      b.bar->BindButton(b.command, TableHandler, this, kComponentName);
  }
  // The history is empty: back and forward lead nowhere yet.
  SetBarButtonState(&navigation_bar_, 0, false, false);
  SetBarButtonState(&navigation_bar_, 1, false, false);
}

void CKorvelLifeApp::HandOutParts() {
  CKorvelLifeViewInterface* screens[] = {
      &tools_,          &help_,          &options_,        &about_,           &manual_,        &sync_,
      &recommend_,      &delete_channel_, &connection_settings_, &share_settings_, &add_channel_, &alerts_settings_,
      &display_settings_, &share_article_, &alerts_,       &sync_settings_,   &data_sources_,  &share_channel_,
      &shared_items_,   &faq_,           &opml_,           &plugin_};
  for (CKorvelLifeViewInterface* s : screens) {
    s->SetStore(&store_);
    s->SetMenu(&menu_);
  }
  CKorvelLifeViewInterface::SetTitleBox(&title_);
  content_.SetPluginHost(&plugin_);
  plugin_.SetBannerArea(&ads_);
  plugin_.SetDynamicBar(&dynamic_bar_);
  content_.SetDynamicBar(&dynamic_bar_);
  content_.SetCommandTable(TableHandler, this);
}

void CKorvelLifeApp::ShowFrame() {
  title_.SetStyle(TextStyle(1));
  title_.SetText(GetString(92));
  frame_.SetFocusOrder();
  ads_.Create(true, &frame_, nullptr, false);
  frame_.LoadDecorations(LoadAppImage);
  frame_.Layout();
  ShowWindow(frame_.GetHandle(), SW_SHOW);
  UpdateWindow(frame_.GetHandle());
}

void CKorvelLifeApp::ShowSplash() {
  splash_.Run();
  // Back from full screen: the frame is the foreground window again.
  if (frame_.GetHandle()) SetForegroundWindow(frame_.GetHandle());
}

bool CKorvelLifeApp::AskAgreement() {
  store::Database* db = nullptr;
  if (store_.Open(&db, "TavoPrefs", true) != store::kStoreOk) return true;  // cannot ask: go on
  const bool accepted = CObjectStore::CanRead(db, "EulaAccepted");
  store::CloseDatabase(&db);
  if (accepted) return true;
  CEulaScreen::Look look;
  look.title = GetString(252);
  look.text = GetString(260);
  look.accept = GetString(254);
  look.decline = GetString(255);
  look.body = TextStyle(0);
  look.heading = TextStyle(2);
  look.button = TextStyle(1);
  look.pressed_button = TextStyle(7);
  look.emblem = LoadImage(IDG_EMBLEM);
  const int answer = eula_.Run(look);
  if (look.emblem) DeleteObject(look.emblem);
  if (frame_.GetHandle()) SetForegroundWindow(frame_.GetHandle());
  if (answer != commands::kAcceptAgreement) return false;
  app::AcceptAgreement();
  return true;
}

void CKorvelLifeApp::ShowFirstRunHint() {
  if (!FirstRun()) return;
  platform::GetServices().message_box(GetForegroundWindow(), reinterpret_cast<const char16_t*>(GetString(73)),
                                      reinterpret_cast<const char16_t*>(GetString(74)), platform::kMbOk);
  SetFirstRun(false);
}

void CKorvelLifeApp::EndRun() {
  frame_.DeleteDecorations();
  ads_.Close();
  for (CKorvelLifeButtonsBar* bar : {&dynamic_bar_, &static_bar_, &navigation_bar_})
    bar->RemoveButtons(bar->Name().c_str());
  content_.SetView(nullptr, nullptr, 0);
}

int CKorvelLifeApp::Run() {
  // 1. The frame over the work area.
  const wchar_t* title = GetString(1);
  frame_.CreateFrame(title ? title : L"");
  frame_.SetStore(&store_);
  frame_.SetCommandTable(TableHandler, this);
  // 2, 3. The start, counted.
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  start_tick_ = GetTickCount();
  app::CountStart();
  // 4 to 7. Pictures, databases, bars, the alert button.
  LoadBarImages();
  app::SeedDatabases();
  FillBars();
  frame_.SetParts(&ads_, &dynamic_bar_, &content_, &static_bar_, &title_, &navigation_bar_, &menu_);
  frame_.SetAlertImages(bar_images_[IDG_BAR_ALERTS], bar_images_[IDG_BAR_ALERTS_PRESSED],
                        bar_images_[IDG_BAR_ALERTS_NEW]);
  frame_.SetUpAlertButton();
  // 8, 9. Every part handed out; the frame laid out and shown.
  HandOutParts();
  ShowFrame();
  // 10, 11. The splash.
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  ShowSplash();
  // 12, 13. The agreement, the ad library: either may end the run here.
  bool go_on = AskAgreement() && ads_.Open() != CKorvelLifeAdsArea::kIncompatibleVersion;
  if (go_on) {
    // 14 to 16. The channel list, the loop, and the parts cleared.
    ExecuteCommand(commands::kShowChannels);
    frame_.RunMessageLoop([](void* app) { static_cast<CKorvelLifeApp*>(app)->ShowFirstRunHint(); }, this);
    EndRun();
  }
  // 17. The pictures go (no button shows them any more), the time of use is counted.
  for (CKorvelLifeButtonsBar* bar : {&dynamic_bar_, &static_bar_, &navigation_bar_})
    bar->RemoveButtons(bar->Name().c_str());
  for (auto& image : bar_images_)
    if (image.second) DeleteObject(image.second);
  bar_images_.clear();
  end_tick_ = GetTickCount();
  app::AddTimeUsed(end_tick_ - start_tick_);
  if (frame_.GetHandle()) DestroyWindow(frame_.GetHandle());
  return 0;
}
