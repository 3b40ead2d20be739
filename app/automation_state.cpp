// The program's state as the automation driver reads it: "key=value" lines.
#include <cstdio>
#include <string>

#include "app/app.h"
#include "channels/describe.h"
#include "platform/aygshell.h"
#include "platform/os.h"

namespace {

std::string Utf8(const std::wstring& text) {
  return platform::os::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::string Rect(VexaAppGUISystem::Box* box, VexaAppGUISystem::Box* frame) {
  char text[64];
  std::snprintf(text, sizeof text, "%d %d %d %d", box->GetOffsetIn(frame, 0), box->GetOffsetIn(frame, 1),
                box->Width(), box->Height());
  return text;
}

// Which part of the frame holds the focus.
std::string FocusName(CKorvelLifeApp& app) {
  VexaAppGUISystem::Box* focused = app.Frame().GetFocused(false);
  if (!focused) return "none";
  if (focused == &app.AdsArea()) return "banner";
  if (focused == &app.ContentArea()) return "content";
  for (CKorvelLifeButtonsBar* bar : {&app.DynamicBar(), &app.StaticBar(), &app.NavigationBar()})
    if (focused->GetParent() == bar) return "button " + std::to_string(focused->GetUserValue());
  for (VexaAppGUISystem::Box* b = focused; b; b = b->GetParent()) {
    if (b != &app.ContentArea()) continue;
    const std::string element = DescribeChannelFocus(app.ContentArea().GetView(), focused);
    return element.empty() ? "inside content" : "inside content: " + element;
  }
  return "other";
}

}  // namespace

std::string DescribeAppState() {
  CKorvelLifeApp& app = GetApp();
  std::string out;
  auto line = [&out](const std::string& key, const std::string& value) { out += key + "=" + value + "\n"; };
  line("title", Utf8(app.TitleBox().GetText()));
  line("frame", Rect(&app.Frame(), &app.Frame()));
  line("content", Rect(&app.ContentArea(), &app.Frame()));
  line("banner", Rect(&app.AdsArea(), &app.Frame()));
  line("title_box", Rect(&app.TitleBox(), &app.Frame()));
  line("focus_mode", CKorvelLifeUIFrame::FocusMode() ? "1" : "0");
  line("focus", FocusName(app));
  line("first_run", app.FirstRun() ? "1" : "0");
  // The plug-in the host view has loaded, and whether it is the screen shown.
  line("plugin", app.PluginHost().PluginName());
  line("plugin_shown", app.ContentArea().GetView() == &app.PluginHost() ? "1" : "0");
  line("plugin_content", std::to_string(app.PluginHost().GetViewBox()->Width()) + " " +
                             std::to_string(app.PluginHost().GetViewBox()->Height()));
  line("history", std::to_string(app.ContentArea().History().Index()) + " " +
                      std::to_string(app.ContentArea().History().Count()));
  SIPINFO sip = {};
  sip.cbSize = sizeof sip;
  line("splash", app.Splash().GetHandle() ? std::to_string(app.Splash().ShownPicture()) : "0");
  line("eula", app.Eula().GetHandle() ? "1" : "0");
  if (app.Eula().GetHandle()) {
    line("eula_accept", Rect(&app.Eula().AcceptButton(), &app.Eula()));
    line("eula_decline", Rect(&app.Eula().DeclineButton(), &app.Eula()));
  }
  line("input_panel", SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0) && (sip.fdwFlags & SIPF_ON) ? "1" : "0");
  // Every bar button: "<x> <y> <w> <h> <visible> <state>" in frame coordinates.
  for (CKorvelLifeButtonsBar* bar : {&app.DynamicBar(), &app.StaticBar(), &app.NavigationBar()}) {
    for (int i = 0; i < bar->GetChildCount(); ++i) {
      VexaAppGUISystem::ImageButton* b = bar->ButtonAt(i);
      line("button " + std::to_string(b->GetUserValue()),
           Rect(b, &app.Frame()) + " " + (b->IsVisible() ? "1" : "0") + " " + std::to_string(b->GetState()));
    }
  }
  out += DescribeChannelScreen(app.ContentArea().GetView(), &app.Frame());
  return out;
}

// A command value as a button of the current screen sends it.
void RunAutomationCommand(int command) { GetApp().ContentArea().RouteCommand(command); }
