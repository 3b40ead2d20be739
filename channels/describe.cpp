#include "channels/describe.h"

#include <cstdio>

#include "channels/add_channel.h"
#include "channels/data_sources.h"
#include "channels/list_channels.h"
#include "lang/ansi.h"
#include "platform/os.h"
#include "screen_text.h"

using VexaAppGUISystem::Box;

namespace {

std::string Rect(Box* box, Box* frame) {
  char text[64];
  std::snprintf(text, sizeof text, "%d %d %d %d", box->GetOffsetIn(frame, 0), box->GetOffsetIn(frame, 1),
                box->Width(), box->Height());
  return text;
}

std::string Utf8(const std::u16string& text) { return platform::os::Utf16ToUtf8(text); }

void Line(std::string* out, const std::string& key, const std::string& value) { *out += key + "=" + value + "\n"; }

}  // namespace

std::string DescribeChannelScreen(CKorvelLifeViewInterface* view, Box* frame) {
  std::string out;
  if (auto* list = dynamic_cast<CKorvelLifeDataSources*>(view)) {
    Line(&out, "channel_view", list->IconView() ? "icons" : "list");
    Line(&out, "channels", std::to_string(list->Rows().size()));
    for (size_t i = 0; i < list->Rows().size(); ++i) {
      const channels::ChannelRow& row = list->Rows()[i];
      Line(&out, "channel " + std::to_string(i),
           Rect(list->Cell(static_cast<int>(i)), frame) + "|" + std::to_string(row.unread) + "|" +
               std::to_string(row.total) + "|" + Utf8(row.display_name));
    }
  } else if (auto* checks = dynamic_cast<CKorvelListChannels*>(view)) {
    Line(&out, "checks", std::to_string(checks->RowCount()));
    for (int i = 0; i < checks->RowCount(); ++i)
      Line(&out, "check " + std::to_string(i),
           Rect(checks->Row(i), frame) + "|" + (checks->Row(i)->IsChecked() ? "1" : "0") + "|" +
               Utf8(lang::AnsiToWide(checks->RowName(i))));
    Box& box = checks->ListBox();
    for (int i = 0; i < box.GetChildCount(); ++i)
      if (auto* button = dynamic_cast<VexaAppGUISystem::TextButtonRounded*>(box.GetChild(i)))
        Line(&out, "list_button", Rect(button, frame));
  } else if (auto* form = dynamic_cast<CKorvelAddChannel*>(view)) {
    Line(&out, "add_option", std::to_string(form->SelectedOption()));
    Line(&out, "add_address", Rect(&form->AddressField(), frame));
    Line(&out, "add_name", Rect(&form->NameField(), frame));
    Line(&out, "add_button", Rect(&form->AddButton(), frame));
    Line(&out, "add_second_option", Rect(&form->Option(1), frame));
  }
  return out;
}

std::string DescribeChannelFocus(CKorvelLifeViewInterface* view, Box* focused) {
  auto holds = [focused](Box* element) {
    for (Box* b = focused; b; b = b->GetParent())
      if (b == element) return true;
    return false;
  };
  if (auto* list = dynamic_cast<CKorvelLifeDataSources*>(view)) {
    for (size_t i = 0; i < list->Rows().size(); ++i)
      if (holds(list->Cell(static_cast<int>(i)))) return "channel " + std::to_string(i);
  } else if (auto* checks = dynamic_cast<CKorvelListChannels*>(view)) {
    for (int i = 0; i < checks->RowCount(); ++i)
      if (holds(checks->Row(i))) return "check " + std::to_string(i);
  }
  return std::string();
}
