// The command table: what each command value of the program does.
#include "app/app.h"
#include "platform/services.h"

void CKorvelLifeApp::Show(CKorvelLifeViewInterface* view, int title, int highlight) {
  const wchar_t* text = GetString(title);
  frame_.ShowView(view, text ? text : L"", highlight, true, true);
}

int CKorvelLifeApp::MessageBox(int text, std::uint32_t flags) {
  const wchar_t* body = GetString(text);
  const wchar_t* caption = GetString(1);
  return platform::GetServices().message_box(frame_.GetHandle(), reinterpret_cast<const char16_t*>(body ? body : L""),
                                             reinterpret_cast<const char16_t*>(caption ? caption : L""), flags);
}

int CKorvelLifeApp::ExecuteCommand(int command) {
  switch (command) {
    case 5011:
    case 3120:
      data_sources_.SetPluginType("News");
      Show(&data_sources_, 92);
      return 1;
    case 5022:
      Show(&add_channel_, 101, 1);
      return 1;
    case 3021:
    case 4020:
      Show(&add_channel_, 101);
      return 1;
    case 3020:
      content_.SetFocus(dynamic_bar_.ButtonAt(0));
      [[fallthrough]];
    case 5015:
      menu_.SetOwner(frame_.GetHandle());
      Show(&alerts_, 106);
      return 1;
    case 5016:
    case 3050:
    case 3062:
    case 3071:
    case 3080:
    case 3090:
    case 3102:
      Show(&options_, 94);
      return 1;
    case 5017:
      Show(&sync_, 98);
      return 1;
    case 5018:
    case 3030:
      Show(&help_, 96);
      return 1;
    case 5021:
      frame_.ToggleInputPanel();
      return 1;
    case 3000:
      content_.SetFocus(dynamic_bar_.ButtonAt(0));
      Show(&shared_items_, 104);
      return 1;
    case 3010: Show(&faq_, 197); return 1;
    case 3011: Show(&manual_, 97); return 1;
    case 3012: Show(&about_, 97); return 1;
    case 3022: Show(&delete_channel_, 111); return 1;
    case 3023:
    case 4031:
      Show(&alerts_settings_, 102);
      return 1;
    case 3024: Show(&sync_settings_, 107); return 1;
    case 3025: Show(&share_channel_, 109); return 1;
    case 3026: Show(&connection_settings_, 99); return 1;
    case 3070: Show(&recommend_, 108); return 1;
    case 3075: Show(&opml_, 237); return 1;
    case 4027: Show(&share_settings_, 100); return 1;
    case 3111:
    case 3112:
    case 4003:
    case 4004:
      MessageBox(6, platform::kMbOk);
      return 1;
    case 4029:
      MessageBox(8, platform::kMbYesNo);  // the answer is not used
      return 1;
    case 4030:
      MessageBox(9, platform::kMbOkCancel);  // the answer is not used
      return 1;
    case 4000:
    case 4001:
    case 4026:
      return content_.HandleCommand(command);
    case 4002:
      if (ads_.GetHandle()) SendMessageW(ads_.GetHandle(), WM_LBUTTONDOWN, 0, 0);
      return 1;
    case 4021:
    case 4022:
    case 4028:
      return 1;
  }
  return 0;
}
